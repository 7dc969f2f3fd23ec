// The searches' preferences dialog and the search editor, driven by messages on a real (Xvfb) display.
#include "WebqueryFixture.h"

#include "SearchEditDlg.h"
#include "WebqueryPrefs.h"
#include "resource.h"
#include "support/ShellCapture.h"
#include "support/UrlConfirmCapture.h"

#include <commctrl.h>

#include <memory>

namespace {

void pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

std::string windowText(HWND window) {
    char text[256] = {};
    ::GetWindowTextA(window, text, sizeof(text));
    return text;
}

// What the next modal editor is to do: type into its edits, pick an icon, then press a button.
struct EditorScript {
    std::vector<std::pair<int, std::string>> typed;
    int iconItem = -1; // -1 leaves the choice alone
    int button = IDOK;
    std::string keywordShown; // the keyword the editor opened with
    int editors = 0;
};
EditorScript script;

// Runs as the modal editor finishes its WM_INITDIALOG. What it posts is handled before the dialog loop
// first goes idle, so the editor is never shown: hiding a shown window costs Wine two seconds without a
// window manager.
LRESULT CALLBACK driveEditor(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_INITDIALOG && windowText(call->hwnd) == "Edit Search") {
        HWND editor = call->hwnd;
        ++script.editors;
        script.keywordShown = windowText(::GetDlgItem(editor, IDC_KEYWORD));
        for (const auto& field : script.typed)
            ::SetDlgItemTextA(editor, field.first, field.second.c_str());
        if (script.iconItem >= 0)
            ::SendDlgItemMessageA(editor, IDC_ICON_COMBO, CB_SETCURSEL, static_cast<WPARAM>(script.iconItem),
                                  0);
        ::PostMessageA(editor, WM_COMMAND, MAKEWPARAM(script.button, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(editor, script.button)));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

class WebqueryPrefsTest : public WebqueryTest {
protected:
    void SetUp() override {
        WebqueryTest::SetUp();
        script = EditorScript();
        for (const char* keyword : {"alpha", "beta", "gamma"}) {
            auto* search = new VSearchAction(plugin);
            search->setName(std::string("Name ") + keyword);
            search->setKeyword(keyword);
            search->setDescription(std::string("About ") + keyword);
            search->setUrl(std::string("https://") + keyword + ".example/?q=");
            search->setIconPath(imagesFolder() + "google.ico");
            plugin->addAction(search);
        }
    }
    void TearDown() override {
        prefs.reset();
        editor.reset();
        WebqueryTest::TearDown();
    }
    HWND open() {
        prefs = std::make_unique<WebqueryPrefs>(plugin);
        HWND window = prefs->create(nullptr, false);
        pump();
        return window;
    }
    HWND item(int id) const { return ::GetDlgItem(prefs->getHwnd(), id); }
    bool enabled(HWND window) const { return ::IsWindowEnabled(window) != FALSE; }
    void click(HWND button) {
        ::SendMessageA(button, BM_CLICK, 0, 0);
        pump();
    }
    // Presses the button (or sends the notice) that runs a modal editor, which the script then drives.
    template <class Start> void withEditor(Start start) {
        HHOOK hook = ::SetWindowsHookExA(WH_CALLWNDPROCRET, &driveEditor, nullptr, ::GetCurrentThreadId());
        ASSERT_NE(hook, nullptr);
        start();
        ::UnhookWindowsHookEx(hook);
        EXPECT_EQ(script.editors, 1) << "the editor never appeared";
    }
    void select(int row) {
        // The macro is a block of its own: no if/else around it.
        const UINT state = row < 0 ? 0 : LVIS_SELECTED;
        ListView_SetItemState(prefs->getList(), row, state, LVIS_SELECTED);
        pump();
    }
    std::string cell(int row, int column) const {
        char text[256] = {};
        ListView_GetItemText(prefs->getList(), row, column, text, sizeof(text));
        return text;
    }
    std::vector<std::string> rows() const {
        std::vector<std::string> out;
        for (int i = 0; i < ListView_GetItemCount(prefs->getList()); ++i)
            out.push_back(cell(i, 1));
        return out;
    }
    int selectedRow() const { return ListView_GetNextItem(prefs->getList(), -1, LVNI_SELECTED); }

    std::unique_ptr<WebqueryPrefs> prefs;
    std::unique_ptr<SearchEditDlg> editor;
};

} // namespace

TEST_F(WebqueryPrefsTest, OpensWithEverySearchInOrderAndTheButtonsFollowTheSelection) {
    HWND window = open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(windowText(window), "Search Preferences");
    HWND list = prefs->getList();
    EXPECT_EQ(rows(), (std::vector<std::string>{"alpha", "beta", "gamma"}));
    EXPECT_EQ(cell(1, 0), "Name beta");
    EXPECT_EQ(cell(1, 2), "About beta");
    LVITEMA row{};
    row.mask = LVIF_IMAGE;
    row.iItem = 2;
    ASSERT_TRUE(ListView_GetItem(list, &row));
    EXPECT_EQ(row.iImage, plugin->findIcon(imagesFolder() + "google.ico"));
    EXPECT_EQ(ListView_GetImageList(list, LVSIL_SMALL), plugin->getImageList());

    EXPECT_FALSE(enabled(item(IDC_DELETE)));
    EXPECT_FALSE(enabled(item(IDC_EDIT)));
    select(1);
    EXPECT_EQ(prefs->getSelectedAction(), plugin->getActions()[1]);
    EXPECT_TRUE(enabled(item(IDC_DELETE)));
    EXPECT_TRUE(enabled(item(IDC_EDIT)));
    select(-1);
    EXPECT_FALSE(enabled(item(IDC_EDIT)));
}

TEST_F(WebqueryPrefsTest, DeletingSelectsTheSamePositionOrTheNewLastRow) {
    open();
    select(0);
    click(item(IDC_DELETE));
    EXPECT_EQ(rows(), (std::vector<std::string>{"beta", "gamma"}));
    EXPECT_EQ(selectedRow(), 0);
    EXPECT_EQ(core->getAction("alpha", false), nullptr) << "unregistered at once";

    select(1);
    click(item(IDC_DELETE));
    EXPECT_EQ(rows(), std::vector<std::string>{"beta"});
    EXPECT_EQ(selectedRow(), 0);
    click(item(IDC_DELETE));
    EXPECT_TRUE(rows().empty());
    EXPECT_TRUE(plugin->getActions().empty());
    EXPECT_FALSE(enabled(item(IDC_DELETE)));
    EXPECT_FALSE(enabled(item(IDC_EDIT)));
}

TEST_F(WebqueryPrefsTest, AddedEditedAndDeletedSearchesSurviveSavingAndLoading) {
    open();
    const int googleItem = plugin->findIcon(imagesFolder() + "google.ico") + 1;
    script.typed = {{IDC_SEARCH_NAME, "Docs"},
                    {IDC_KEYWORD, "docs"},
                    {IDC_BASE_URL, "https://docs.example/?q="},
                    {IDC_URL_SUFFIX, "&x=1"},
                    {IDC_DESCRIPTION, "Docs search"}};
    script.iconItem = googleItem;
    withEditor([&] { click(item(IDC_ADD)); });
    EXPECT_EQ(rows(), (std::vector<std::string>{"alpha", "beta", "gamma", "docs"}));
    EXPECT_EQ(script.keywordShown, "") << "a new search starts empty";
    ASSERT_NE(core->getAction("docs", false), nullptr) << "registered at once";

    // A double click on the first row edits it.
    script = EditorScript();
    script.typed = {{IDC_KEYWORD, "alpha2"}, {IDC_DESCRIPTION, "changed"}};
    script.iconItem = 0;
    NMITEMACTIVATE notice{};
    notice.hdr.hwndFrom = prefs->getList();
    notice.hdr.idFrom = IDC_SEARCH_LIST;
    notice.hdr.code = NM_DBLCLK;
    notice.iItem = 0;
    select(0);
    withEditor([&] {
        ::SendMessageA(prefs->getHwnd(), WM_NOTIFY, IDC_SEARCH_LIST, reinterpret_cast<LPARAM>(&notice));
    });
    EXPECT_EQ(script.keywordShown, "alpha");
    EXPECT_EQ(cell(0, 1), "alpha2");
    EXPECT_EQ(cell(0, 2), "changed");

    select(1);
    click(item(IDC_DELETE));
    click(item(IDOK));
    EXPECT_EQ(prefs->getHwnd(), nullptr) << "Close";

    reloadThroughFile();
    ASSERT_EQ(keywords(), (std::vector<std::string>{"alpha2", "gamma", "docs"}));
    EXPECT_EQ(
        fields(plugin->getActions()[0]),
        (std::vector<std::string>{"Name alpha", "alpha2", "changed", "", "https://alpha.example/?q=", ""}))
        << "\"<None>\" chosen";
    EXPECT_EQ(fields(plugin->getActions()[2]),
              (std::vector<std::string>{"Docs", "docs", "Docs search", imagesFolder() + "google.ico",
                                        "https://docs.example/?q=", "&x=1"}));
    ShellCapture shell;
    EXPECT_TRUE(core->getAction("docs", false)->execute("a b"));
    EXPECT_EQ(ShellCapture::requests().at(0).file, "https://docs.example/?q=a+b&x=1");
}

TEST_F(WebqueryPrefsTest, CancelledEditorsChangeNothing) {
    open();
    const int actions = core->getNumActions();
    script.typed = {{IDC_KEYWORD, "never"}, {IDC_BASE_URL, "https://never.example/"}};
    script.button = IDCANCEL;
    withEditor([&] { click(item(IDC_ADD)); });
    EXPECT_EQ(rows().size(), 3u);
    EXPECT_EQ(plugin->getActions().size(), 3u);
    EXPECT_EQ(core->getNumActions(), actions);

    script.editors = 0;
    select(2);
    withEditor([&] { click(item(IDC_EDIT)); });
    EXPECT_EQ(plugin->getActions()[2]->getKeyword(), "gamma");
    EXPECT_EQ(cell(2, 1), "gamma");
}

TEST_F(WebqueryPrefsTest, TheEditorOffersTheImagesFolderAndNeedsAKeywordAndAnAddress) {
    VSearchAction* beta = plugin->getActions()[1];
    beta->setSuffix("&s=1");
    editor = std::make_unique<SearchEditDlg>(plugin, beta);
    HWND window = editor->create(nullptr, false);
    ASSERT_NE(window, nullptr);
    pump();
    EXPECT_EQ(windowText(window), "Edit Search");
    EXPECT_EQ(windowText(::GetDlgItem(window, IDC_BASE_URL)), "https://beta.example/?q=");
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(window, IDC_PRESETS)));

    HWND combo = ::GetDlgItem(window, IDC_ICON_COMBO);
    ASSERT_EQ(::SendMessageA(combo, CB_GETCOUNT, 0, 0), 1 + 13);
    const int google = plugin->findIcon(imagesFolder() + "google.ico") + 1;
    EXPECT_EQ(::SendMessageA(combo, CB_GETCURSEL, 0, 0), google);
    for (const auto& item : std::vector<std::pair<int, const char*>>{{0, "<None>"}, {google, "Google"}}) {
        char title[64] = {};
        COMBOBOXEXITEMA entry{};
        entry.mask = CBEIF_TEXT;
        entry.iItem = item.first;
        entry.pszText = title;
        entry.cchTextMax = sizeof(title);
        ASSERT_TRUE(::SendMessageA(combo, CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(&entry)));
        EXPECT_STREQ(title, item.second);
    }

    HWND ok = ::GetDlgItem(window, IDOK), test = ::GetDlgItem(window, IDC_TEST);
    ::SetDlgItemTextA(window, IDC_KEYWORD, "  ");
    EXPECT_FALSE(::IsWindowEnabled(ok));
    EXPECT_FALSE(::IsWindowEnabled(test));
    ::SetDlgItemTextA(window, IDC_KEYWORD, " b2 ");
    EXPECT_TRUE(::IsWindowEnabled(ok));
    ::SetDlgItemTextA(window, IDC_BASE_URL, "");
    EXPECT_FALSE(::IsWindowEnabled(test));
    ::SetDlgItemTextA(window, IDC_BASE_URL, "https://b2.example/find?q=");
    EXPECT_TRUE(::IsWindowEnabled(test));

    ShellCapture shell;
    click(test);
    ASSERT_EQ(ShellCapture::requests().size(), 1u);
    EXPECT_EQ(ShellCapture::requests()[0].file, "https://b2.example/find?q=Verbinox&s=1");
    EXPECT_EQ(beta->getUrl(), "https://beta.example/?q=") << "nothing applied before OK";

    ::SendMessageA(combo, CB_SETCURSEL, 0, 0);
    click(ok);
    EXPECT_TRUE(editor->isAccepted());
    EXPECT_EQ(editor->getHwnd(), nullptr);
    EXPECT_EQ(beta->getKeyword(), "b2");
    EXPECT_EQ(beta->getUrl(), "https://b2.example/find?q=");
    EXPECT_EQ(beta->getIconPath(), "");
    EXPECT_EQ(beta->getIcon(), nullptr);
}

TEST_F(WebqueryPrefsTest, TheTestButtonAsksBeforeAnAddressThatMayStartAProgram) {
    editor = std::make_unique<SearchEditDlg>(plugin, plugin->getActions()[0]);
    HWND window = editor->create(nullptr, false);
    ASSERT_NE(window, nullptr);
    pump();
    ShellCapture shell;
    UrlConfirmCapture user;
    ::SetDlgItemTextW(window, IDC_BASE_URL, L"search-ms:query=");
    click(::GetDlgItem(window, IDC_TEST));
    EXPECT_TRUE(ShellCapture::requests().empty()) << "the user said no";
    EXPECT_EQ(UrlConfirmCapture::asked(), (std::vector<std::string>{"search-ms:query=Verbinox"}));
}
