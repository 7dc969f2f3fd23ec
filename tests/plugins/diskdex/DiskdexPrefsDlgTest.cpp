// The preferences dialog and its editable list boxes, driven by messages on a real (Xvfb) display.
#include "CoreFixture.h"
#include "ForeignNames.h"
#include "OwnWindow.h"
#include "TempFolder.h"

#include "DiskdexIndexer.h"
#include "DiskdexPlugin.h"
#include "DiskdexPrefsDlg.h"
#include "EditListBox.h"
#include "model/VPreferences.h"
#include "resource.h"
#include "util/CacheFile.h"

#include <commctrl.h>

#include <memory>

namespace {

// Dispatches what is queued, through the dialog manager as a modal loop would.
void pump(HWND dialog) {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (dialog && ::IsWindow(dialog) && ::IsDialogMessageA(dialog, &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

void pressKey(HWND dialog, HWND target, UINT key) {
    ::PostMessageA(target, WM_KEYDOWN, key, 1);
    pump(dialog);
}

struct Note {
    UINT message;
    int row;
    int id;
    std::string rowText; // the row's text when the note arrived
};

// A plain window holding one list box, which writes down every report it gets.
class ListBoxHost {
public:
    static constexpr int kId = 42;
    explicit ListBoxHost(unsigned buttons) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &ListBoxHost::proc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "VxListBoxHost";
        ::RegisterClassA(&wc);
        window = ::CreateWindowExA(0, "VxListBoxHost", "host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                   nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        ::CreateWindowExA(0, "STATIC", "Things", WS_CHILD, 10, 10, 300, 200, window,
                          reinterpret_cast<HMENU>(kId), wc.hInstance, nullptr);
        created = box.createAt(window, kId, buttons);
    }
    ~ListBoxHost() { ::DestroyWindow(window); }

    HWND window;
    VEditListBox box;
    bool created;
    std::vector<Note> notes;

private:
    static LRESULT CALLBACK proc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<ListBoxHost*>(::GetWindowLongPtrA(w, GWLP_USERDATA));
        if (self && message >= WM_APP + 1 && message <= WM_APP + 7) {
            int row = static_cast<int>(wParam);
            self->notes.push_back({message, row, static_cast<int>(lParam), self->box.getText(row)});
            return 0;
        }
        return ::DefWindowProcA(w, message, wParam, lParam);
    }
};

std::vector<UINT> messagesOf(const std::vector<Note>& notes) {
    std::vector<UINT> out;
    for (const Note& n : notes)
        out.push_back(n.message);
    return out;
}

} // namespace

TEST(EditListBoxTest, AddingReportsTheNewRowThenSelectsIt) {
    ListBoxHost host(VEditListBox::NewButton | VEditListBox::DeleteButton);
    ASSERT_TRUE(host.created);
    EXPECT_EQ(host.box.getCaption(), "Things");
    EXPECT_EQ(host.box.getId(), ListBoxHost::kId);

    // The window's message interface and the method take the same path.
    EXPECT_EQ(
        ::SendMessageA(host.box.getHwnd(), VEditListBox::ELB_ADDROW, 0, reinterpret_cast<LPARAM>("  *.txt ")),
        0);
    EXPECT_EQ(host.box.addRow("*.doc"), 1);

    EXPECT_EQ(host.box.getItems(), (std::vector<std::string>{"*.txt", "*.doc"}));
    ASSERT_EQ(host.notes.size(), 4u);
    EXPECT_EQ(messagesOf(host.notes), (std::vector<UINT>{WM_APP + 1, WM_APP + 7, WM_APP + 1, WM_APP + 7}));
    EXPECT_EQ(host.notes[2].row, 1);
    EXPECT_EQ(host.notes[2].id, ListBoxHost::kId);
    EXPECT_EQ(host.notes[2].rowText, "*.doc");
    EXPECT_EQ(host.box.getSelection(), 1);
}

TEST(EditListBoxTest, DeletingReportsWhileTheRowStillExistsThenAfter) {
    ListBoxHost host(VEditListBox::NewButton | VEditListBox::DeleteButton);
    host.box.setItems({"a", "b", "c"});
    host.box.selectRow(1);
    host.notes.clear();

    ::SendMessageA(host.box.getButton(VEditListBox::DeleteButton), BM_CLICK, 0, 0);

    EXPECT_EQ(host.box.getItems(), (std::vector<std::string>{"a", "c"}));
    ASSERT_EQ(messagesOf(host.notes), (std::vector<UINT>{WM_APP + 2, WM_APP + 3, WM_APP + 7}));
    EXPECT_EQ(host.notes[0].rowText, "b");
    EXPECT_EQ(host.notes[1].row, 1);
    // "c" took the deleted row's place: a different selection at the same index.
    EXPECT_EQ(host.notes[2].row, 1);
    EXPECT_EQ(host.notes[2].rowText, "c");
}

TEST(EditListBoxTest, RenamingReportsTheOldText) {
    ListBoxHost host(VEditListBox::NewButton);
    host.box.setItems({"a", "b"});
    EXPECT_TRUE(host.box.renameRow(1, "B"));
    ASSERT_EQ(messagesOf(host.notes), (std::vector<UINT>{WM_APP + 4}));
    EXPECT_EQ(host.notes[0].row, 1);
    EXPECT_EQ(host.notes[0].rowText, "B");
    EXPECT_EQ(host.box.getOldText(), "b");

    // The same text again is no change.
    EXPECT_TRUE(host.box.renameRow(1, "B"));
    EXPECT_EQ(host.notes.size(), 1u);
}

TEST(EditListBoxTest, MovingReportsTheNewPositionAndCarriesTheRowData) {
    ListBoxHost host(VEditListBox::UpButton | VEditListBox::DownButton);
    host.box.setItems({"a", "b", "c"});
    host.box.setData(0, 100);
    host.box.selectRow(0);
    host.notes.clear();

    ::SendMessageA(host.box.getButton(VEditListBox::DownButton), BM_CLICK, 0, 0);
    EXPECT_TRUE(host.box.moveUp(2));

    EXPECT_EQ(host.box.getItems(), (std::vector<std::string>{"b", "c", "a"}));
    EXPECT_EQ(host.box.getData(2), 100);
    ASSERT_GE(host.notes.size(), 2u);
    EXPECT_EQ(host.notes[0].message, WM_APP + 6u);
    EXPECT_EQ(host.notes[0].row, 1);
    EXPECT_EQ(host.notes[1].message, WM_APP + 5u);
    EXPECT_EQ(host.notes[1].row, 1);
    EXPECT_FALSE(host.box.moveUp(0));
}

TEST(EditListBoxTest, EmptyTextAndDisabledListsChangeNothing) {
    ListBoxHost host(VEditListBox::NewButton | VEditListBox::DeleteButton);
    host.box.setItems({"a"});
    EXPECT_EQ(host.box.addRow("   "), -1);
    EXPECT_FALSE(host.box.renameRow(0, ""));

    ::EnableWindow(host.box.getHwnd(), FALSE);
    EXPECT_EQ(host.box.addRow("b"), -1);
    EXPECT_FALSE(host.box.renameRow(0, "c"));
    EXPECT_FALSE(host.box.deleteRow(0));
    EXPECT_FALSE(::IsWindowEnabled(host.box.getButton(VEditListBox::NewButton)));

    EXPECT_EQ(host.box.getItems(), (std::vector<std::string>{"a"}));
    EXPECT_TRUE(host.notes.empty());
}

TEST(EditListBoxTest, TypingInTheNewRowAddsIt) {
    ListBoxHost host(VEditListBox::NewButton);
    host.box.setItems({"a"});
    ::SendMessageA(host.box.getButton(VEditListBox::NewButton), BM_CLICK, 0, 0);
    HWND edit = ListView_GetEditControl(host.box.getListView());
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(host.box.getPendingRow(), 1);
    EXPECT_TRUE(host.notes.empty()) << "nothing is reported before the text is there";

    ::SetWindowTextA(edit, "*.pdf");
    pressKey(nullptr, edit, VK_RETURN);

    EXPECT_EQ(host.box.getItems(), (std::vector<std::string>{"a", "*.pdf"}));
    EXPECT_EQ(host.box.getPendingRow(), -1);
    ASSERT_FALSE(host.notes.empty());
    EXPECT_EQ(host.notes[0].message, WM_APP + 1u);
    EXPECT_EQ(host.notes[0].rowText, "*.pdf");
}

TEST(EditListBoxTest, AGivenUpNewRowLeavesNoTrace) {
    ListBoxHost host(VEditListBox::NewButton);
    host.box.setItems({"a", "b"});
    host.box.selectRow(0);
    host.notes.clear();

    host.box.beginNewRow();
    HWND edit = ListView_GetEditControl(host.box.getListView());
    ASSERT_NE(edit, nullptr);
    ::SetWindowTextA(edit, "half typed");
    pressKey(nullptr, edit, VK_ESCAPE);

    EXPECT_EQ(host.box.getItems(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(host.box.getSelection(), 0);
    EXPECT_TRUE(host.notes.empty());
}

TEST(EditListBoxTest, NamesOutsideAsciiKeepTheirCharactersInRowsAndInPlaceEdits) {
    ASSERT_EQ(::GetACP(), static_cast<UINT>(CP_UTF8));
    ListBoxHost host(VEditListBox::NewButton);
    std::vector<std::string> names;
    for (const ForeignName& name : foreignNames())
        names.push_back(name.narrow);
    host.box.setItems(names);
    EXPECT_EQ(host.box.getItems(), names);
    for (std::size_t row = 0; row < names.size(); ++row) {
        wchar_t shown[64] = {};
        LVITEMW item{};
        item.pszText = shown;
        item.cchTextMax = 64;
        ::SendMessageW(host.box.getListView(), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(shown, foreignNames()[row].wide);
    }

    for (const ForeignName& name : foreignNames()) {
        host.notes.clear();
        host.box.beginNewRow();
        HWND edit = ListView_GetEditControl(host.box.getListView());
        ASSERT_NE(edit, nullptr);
        ::SetWindowTextW(edit, (name.wide + L"\\").c_str());
        pressKey(nullptr, edit, VK_RETURN);
        ASSERT_FALSE(host.notes.empty());
        EXPECT_EQ(host.notes[0].message, WM_APP + 1u);
        EXPECT_EQ(host.notes[0].rowText, name.narrow + "\\") << "added as typed";
    }
}

class DiskdexPrefsDlgTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        vx::setCacheFolder(caches.path());
        baseIndexers = core->getNumIndexers();
        plugin = new VDiskdexPlugin();
        plugin->startUp();
        temp.makeDir("docs");
        temp.writeFile("docs\\a.txt", "x");
        temp.makeDir("music");
        temp.makeDir("music\\old");
        temp.writeFile("music\\song.mp3", "x");
        temp.writeFile("music\\old\\b.mp3", "x");
        docs = addFolder(temp.sub("docs"), "*.txt", "", true, false);
        music = addFolder(temp.sub("music"), "*.mp3;*.ogg", "*old*", false, true);
        previousPicker = DirectoryListBox::setFolderPicker(
            [this](const DirectoryListBox::PickRequest& request, std::string& chosen) {
                requests.push_back(request);
                chosen = answer;
                return !answer.empty();
            });
    }
    void TearDown() override {
        dialog.reset();
        DirectoryListBox::setFolderPicker(previousPicker);
        core->unregisterPlugin(plugin);
        plugin->deleteThis();
        CoreTest::TearDown();
        vx::setCacheFolder(std::string());
    }

    VDiskdexIndexer* addFolder(const std::string& path, const char* include, const char* exclude,
                               bool recurse, bool matchDirectories) {
        auto* indexer = new VDiskdexIndexer(plugin);
        indexer->setPath(path);
        indexer->setFilterString(include, VDiskdexIndexer::IncludeFilters);
        indexer->setFilterString(exclude, VDiskdexIndexer::ExcludeFilters);
        indexer->setRecurse(recurse);
        indexer->setMatchDirectories(matchDirectories);
        plugin->addIndexer(indexer);
        EXPECT_TRUE(indexer->waitForRebuild(20000));
        return indexer;
    }
    HWND open() {
        dialog = std::make_unique<DiskdexPrefsDlg>(plugin);
        HWND window = dialog->create(nullptr, false);
        pump(window);
        return window;
    }
    HWND item(int id) const { return ::GetDlgItem(dialog->getHwnd(), id); }
    bool checked(int id) const { return ::IsDlgButtonChecked(dialog->getHwnd(), id) == BST_CHECKED; }
    bool enabled(int id) const { return ::IsWindowEnabled(item(id)) != FALSE; }
    void click(HWND button) {
        ::SendMessageA(button, BM_CLICK, 0, 0);
        pump(dialog ? dialog->getHwnd() : nullptr);
    }
    std::vector<std::string> paths() const {
        std::vector<std::string> out;
        for (VDiskdexIndexer* indexer : plugin->getIndexers())
            out.push_back(indexer->getPath());
        return out;
    }
    // The "Path" of every "Indexer" node that the plug-in saves.
    std::vector<std::string> savedPaths() const {
        VPreferencesNode* root = VPreferencesNode::createInstance("PluginMgr");
        plugin->savePrefs(root);
        std::vector<std::string> out;
        VPreferencesNode* mine = root->getChild("Diskdex");
        for (int i = 0; mine && i < mine->getNumChildren(); ++i) {
            std::string path;
            if (mine->getChild(i)->getName() == "Indexer" && mine->getChild(i)->getParam("Path", path))
                out.push_back(path);
        }
        root->deleteThis();
        return out;
    }

    TempFolder caches;
    TempFolder temp;
    VDiskdexPlugin* plugin = nullptr;
    VDiskdexIndexer* docs = nullptr;
    VDiskdexIndexer* music = nullptr;
    int baseIndexers = 0;
    std::unique_ptr<DiskdexPrefsDlg> dialog;
    DirectoryListBox::FolderPicker previousPicker;
    std::vector<DirectoryListBox::PickRequest> requests;
    std::string answer;
};

TEST_F(DiskdexPrefsDlgTest, OpensWithEveryFolderInOrderAndNothingSelected) {
    HWND window = open();
    ASSERT_NE(window, nullptr);
    char title[64] = {};
    ::GetWindowTextA(window, title, sizeof(title));
    EXPECT_STREQ(title, "Diskdex Preferences");

    EXPECT_EQ(dialog->getFolderList().getItems(), paths());
    EXPECT_EQ(dialog->getFolderList().getCaption(), "Search Folders");
    EXPECT_EQ(dialog->getIncludeList().getCaption(), "Filters");
    EXPECT_EQ(dialog->getExcludeList().getCaption(), "Exclude Filters");
    EXPECT_NE(dialog->getFolderList().getButton(VEditListBox::BrowseButton), nullptr);
    EXPECT_EQ(dialog->getIncludeList().getButton(VEditListBox::BrowseButton), nullptr);
    EXPECT_NE(dialog->getExcludeList().getButton(VEditListBox::DeleteButton), nullptr);

    EXPECT_EQ(dialog->getFolderList().getSelection(), -1);
    EXPECT_FALSE(::IsWindowEnabled(dialog->getIncludeList().getHwnd()));
    EXPECT_FALSE(enabled(IDC_RECURSE));
    EXPECT_FALSE(enabled(IDC_MATCH_DIRECTORIES));
    EXPECT_FALSE(enabled(IDC_PRESETS));
}

TEST_F(DiskdexPrefsDlgTest, SelectingAFolderShowsItsFiltersAndSwitches) {
    open();
    dialog->getFolderList().selectRow(1);

    EXPECT_EQ(dialog->getSelectedIndexer(), music);
    EXPECT_EQ(dialog->getIncludeList().getItems(), (std::vector<std::string>{"*.mp3", "*.ogg"}));
    EXPECT_EQ(dialog->getExcludeList().getItems(), (std::vector<std::string>{"*old*"}));
    EXPECT_FALSE(checked(IDC_RECURSE));
    EXPECT_TRUE(checked(IDC_MATCH_DIRECTORIES));
    EXPECT_TRUE(enabled(IDC_RECURSE));
    EXPECT_TRUE(::IsWindowEnabled(dialog->getExcludeList().getHwnd()));
}

TEST_F(DiskdexPrefsDlgTest, WithoutASelectionBothCheckBoxesAreCleared) {
    music->setRecurse(true);
    open();
    dialog->getFolderList().selectRow(1);
    ASSERT_TRUE(checked(IDC_RECURSE));
    ASSERT_TRUE(checked(IDC_MATCH_DIRECTORIES));

    dialog->getFolderList().selectRow(-1);

    EXPECT_FALSE(checked(IDC_RECURSE));
    EXPECT_FALSE(checked(IDC_MATCH_DIRECTORIES));
    EXPECT_FALSE(enabled(IDC_MATCH_DIRECTORIES));
    EXPECT_TRUE(dialog->getIncludeList().getItems().empty());
}

TEST_F(DiskdexPrefsDlgTest, AddingAFolderRegistersAnIndexerWithTheCheckBoxSwitches) {
    temp.makeDir("new");
    temp.writeFile("new\\n.txt", "x");
    open();
    dialog->getFolderList().selectRow(1); // "Search sub-directories" off, "Match directories" on

    int row = dialog->getFolderList().addRow(temp.sub("new"));

    ASSERT_EQ(plugin->getIndexers().size(), 3u);
    VDiskdexIndexer* added = plugin->getIndexers()[2];
    EXPECT_EQ(added->getPath(), temp.sub("new"));
    EXPECT_FALSE(added->getRecurse());
    EXPECT_TRUE(added->getMatchDirectories());
    EXPECT_TRUE(added->getIncludeFilters().empty());
    EXPECT_TRUE(added->waitForRebuild(20000));
    EXPECT_EQ(added->getCachedCount(), 1u) << "the cache is built when the folder is added";
    EXPECT_EQ(core->getNumIndexers(), baseIndexers + 3);
    EXPECT_EQ(dialog->getFolderList().getSelection(), row);
    EXPECT_EQ(dialog->getSelectedIndexer(), added);
    EXPECT_EQ(savedPaths().back(), temp.sub("new"));
}

TEST_F(DiskdexPrefsDlgTest, TheNewButtonAddsTheFolderTypedInPlace) {
    open();
    click(dialog->getFolderList().getButton(VEditListBox::NewButton));
    HWND edit = ListView_GetEditControl(dialog->getFolderList().getListView());
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(plugin->getIndexers().size(), 2u) << "no folder before its text is typed";

    ::SetWindowTextA(edit, temp.sub("typed").c_str());
    pressKey(dialog->getHwnd(), edit, VK_RETURN);

    EXPECT_TRUE(::IsWindow(dialog->getHwnd())) << "Enter ends the edit, not the dialog";
    EXPECT_EQ(paths().back(), temp.sub("typed"));
    EXPECT_EQ(core->getNumIndexers(), baseIndexers + 3);
}

TEST_F(DiskdexPrefsDlgTest, DeletingAFolderUnregistersItsIndexerAtOnce) {
    open();
    dialog->getFolderList().selectRow(0);
    click(dialog->getFolderList().getButton(VEditListBox::DeleteButton));

    EXPECT_EQ(paths(), (std::vector<std::string>{temp.sub("music")}));
    EXPECT_EQ(core->getNumIndexers(), baseIndexers + 1);
    EXPECT_EQ(savedPaths(), (std::vector<std::string>{temp.sub("music")}));
    // The next folder moved into the selection, and the dialog shows it.
    EXPECT_EQ(dialog->getSelectedIndexer(), music);
    EXPECT_EQ(dialog->getIncludeList().getItems(), (std::vector<std::string>{"*.mp3", "*.ogg"}));
    EXPECT_EQ(dialog->getFolderList().getData(0), reinterpret_cast<LPARAM>(music));

    click(item(IDOK));
    open();
    EXPECT_EQ(dialog->getFolderList().getItems(), (std::vector<std::string>{temp.sub("music")}));
}

TEST_F(DiskdexPrefsDlgTest, EnterOnAListsButtonPressesThatButton) {
    HWND window = open();
    dialog->getFolderList().selectRow(1);
    HWND remove = dialog->getFolderList().getButton(VEditListBox::DeleteButton);
    ::SetFocus(remove);
    ASSERT_EQ(::GetFocus(), remove);
    pressKey(window, remove, VK_RETURN);

    EXPECT_TRUE(::IsWindow(window)) << "Enter on the button is not the dialog's Close";
    EXPECT_EQ(paths(), (std::vector<std::string>{temp.sub("docs")}));
}

TEST_F(DiskdexPrefsDlgTest, EditingAFolderInPlaceSetsItsPath) {
    open();
    HWND edit = dialog->getFolderList().beginEdit(0);
    ASSERT_NE(edit, nullptr);
    ::SetWindowTextA(edit, "%MY_DOCUMENTS%");
    pressKey(dialog->getHwnd(), edit, VK_RETURN);

    EXPECT_EQ(docs->getPath(), "%MY_DOCUMENTS%");
    EXPECT_EQ(savedPaths().front(), "%MY_DOCUMENTS%");
    EXPECT_EQ(plugin->getIndexers().size(), 2u);
}

TEST_F(DiskdexPrefsDlgTest, EscapeWhileEditingCancelsTheEditOnly) {
    open();
    HWND edit = dialog->getFolderList().beginEdit(1);
    ASSERT_NE(edit, nullptr);
    ::SetWindowTextA(edit, "elsewhere");
    pressKey(dialog->getHwnd(), edit, VK_ESCAPE);

    EXPECT_TRUE(::IsWindow(dialog->getHwnd()));
    EXPECT_EQ(music->getPath(), temp.sub("music"));
    EXPECT_EQ(dialog->getFolderList().getText(1), temp.sub("music"));
}

TEST_F(DiskdexPrefsDlgTest, IncludeRowsAddReplaceAndRemoveFilters) {
    open();
    dialog->getFolderList().selectRow(1);
    VEditListBox& includes = dialog->getIncludeList();

    includes.addRow("*.FLAC");
    EXPECT_EQ(music->getIncludeFilters(), (std::vector<std::string>{"*.mp3", "*.ogg", "*.FLAC"}));
    includes.renameRow(0, "*.wav");
    EXPECT_EQ(music->getIncludeFilters(), (std::vector<std::string>{"*.wav", "*.ogg", "*.FLAC"}));
    includes.selectRow(1);
    click(includes.getButton(VEditListBox::DeleteButton));
    EXPECT_EQ(music->getIncludeFilters(), (std::vector<std::string>{"*.wav", "*.FLAC"}));
    EXPECT_EQ(music->getExcludeFilters(), (std::vector<std::string>{"*old*"}));
    EXPECT_TRUE(docs->getIncludeFilters() == (std::vector<std::string>{"*.txt"}));
}

TEST_F(DiskdexPrefsDlgTest, ExcludeRowsAddReplaceAndRemoveFilters) {
    open();
    dialog->getFolderList().selectRow(0);
    VEditListBox& excludes = dialog->getExcludeList();

    excludes.addRow("*tmp*");
    excludes.addRow("~*");
    EXPECT_EQ(docs->getExcludeFilters(), (std::vector<std::string>{"*tmp*", "~*"}));
    excludes.renameRow(1, "*.bak");
    excludes.deleteRow(0);
    EXPECT_EQ(docs->getExcludeFilters(), (std::vector<std::string>{"*.bak"}));
    EXPECT_EQ(docs->getIncludeFilters(), (std::vector<std::string>{"*.txt"}));
}

TEST_F(DiskdexPrefsDlgTest, AFilterTypedWithSemicolonsBecomesOnePatternPerRow) {
    open();
    dialog->getFolderList().selectRow(0);
    VEditListBox& includes = dialog->getIncludeList();

    includes.addRow("*.doc; *.pdf;");
    EXPECT_EQ(docs->getIncludeFilters(), (std::vector<std::string>{"*.txt", "*.doc", "*.pdf"}));
    EXPECT_EQ(includes.getItems(), docs->getIncludeFilters());

    includes.renameRow(0, "*.md;*.rst");
    EXPECT_EQ(docs->getIncludeFilters(), (std::vector<std::string>{"*.md", "*.doc", "*.pdf", "*.rst"}));
    EXPECT_EQ(includes.getItems(), docs->getIncludeFilters());
    // What the file keeps reads back the same.
    EXPECT_EQ(docs->getFilterString(VDiskdexIndexer::IncludeFilters), "*.md;*.doc;*.pdf;*.rst");
}

TEST_F(DiskdexPrefsDlgTest, FilterListsRefuseChangesWithoutASelectedFolder) {
    open();
    EXPECT_EQ(dialog->getIncludeList().addRow("*.exe"), -1);
    EXPECT_EQ(docs->getIncludeFilters(), (std::vector<std::string>{"*.txt"}));
    EXPECT_EQ(music->getIncludeFilters(), (std::vector<std::string>{"*.mp3", "*.ogg"}));
}

TEST_F(DiskdexPrefsDlgTest, CheckBoxesSetTheSelectedFoldersSwitches) {
    open();
    dialog->getFolderList().selectRow(0);
    click(item(IDC_RECURSE));
    click(item(IDC_MATCH_DIRECTORIES));

    EXPECT_FALSE(docs->getRecurse());
    EXPECT_TRUE(docs->getMatchDirectories());
    EXPECT_FALSE(music->getRecurse());
    EXPECT_TRUE(music->getMatchDirectories());
}

TEST_F(DiskdexPrefsDlgTest, BrowseRenamesTheSelectedFolder) {
    temp.makeDir("picked");
    open();
    dialog->getFolderList().selectRow(1);
    answer = temp.sub("picked");
    click(dialog->getFolderList().getButton(VEditListBox::BrowseButton));

    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].title, "Browse for folder");
    EXPECT_EQ(requests[0].flags, 0x59u);
    EXPECT_EQ(requests[0].start, temp.sub("music"));
    EXPECT_EQ(requests[0].owner, dialog->getHwnd());
    EXPECT_EQ(music->getPath(), temp.sub("picked"));
    EXPECT_EQ(plugin->getIndexers().size(), 2u);
}

TEST_F(DiskdexPrefsDlgTest, BrowseWithoutASelectionAddsAndSelectsTheFolder) {
    open();
    answer = temp.sub("music\\old");
    ::SendMessageA(dialog->getFolderList().getHwnd(), VEditListBox::ELB_BROWSE, 0, 0);

    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].start, "");
    ASSERT_EQ(paths().size(), 3u);
    EXPECT_EQ(paths()[2], temp.sub("music\\old"));
    EXPECT_EQ(dialog->getFolderList().getSelection(), 2);
    EXPECT_EQ(core->getNumIndexers(), baseIndexers + 3);
}

TEST_F(DiskdexPrefsDlgTest, ACancelledBrowseChangesNothing) {
    open();
    dialog->getFolderList().selectRow(0);
    answer.clear();
    click(dialog->getFolderList().getButton(VEditListBox::BrowseButton));

    EXPECT_EQ(requests.size(), 1u);
    EXPECT_EQ(paths(), (std::vector<std::string>{temp.sub("docs"), temp.sub("music")}));
}

TEST_F(DiskdexPrefsDlgTest, ClosingRebuildsTheCachesWithTheNewSettings) {
    open();
    EXPECT_EQ(music->getCachedCount(), 2u); // song.mp3 and the folder "old"
    dialog->getFolderList().selectRow(1);
    click(item(IDC_RECURSE));
    dialog->getExcludeList().deleteRow(0);
    temp.writeFile("docs\\late.txt", "x");
    EXPECT_EQ(music->getCachedCount(), 2u) << "no rebuild while the dialog is open";

    click(item(IDOK));

    EXPECT_EQ(dialog->getHwnd(), nullptr);
    EXPECT_TRUE(core->waitForCaches(20000));
    EXPECT_EQ(music->getCachedCount(), 3u); // also old\ and old\b.mp3, now that "*old*" is gone
    EXPECT_EQ(docs->getCachedCount(), 2u);
}

TEST_F(DiskdexPrefsDlgTest, EscapeClosesTheDialog) {
    open();
    pressKey(dialog->getHwnd(), dialog->getFolderList().getListView(), VK_ESCAPE);
    EXPECT_EQ(dialog->getHwnd(), nullptr);
}

namespace {
int modalTicks = 0;
bool modalSeen = false;
// Asks the modal dialog to close by a posted command, not a click: the modal loop may run before the
// dialog is shown, and a click on a hidden button does nothing. Keeps asking until it is gone.
void CALLBACK closeModalDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND window = findOwnWindow(nullptr, "Diskdex Preferences");
    if (window) {
        modalSeen = true;
        ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(window, IDOK)));
    } else if (!modalSeen) {
        ++modalTicks;
    }
    if ((modalSeen && !window) || modalTicks > 200)
        ::KillTimer(nullptr, timer);
}
} // namespace

TEST_F(DiskdexPrefsDlgTest, RunShowsTheDialogModallyUntilClose) {
    modalTicks = 0;
    modalSeen = false;
    UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &closeModalDialog);
    ASSERT_NE(timer, 0u);
    temp.writeFile("docs\\late.txt", "x");

    plugin->editPrefs(nullptr);

    EXPECT_TRUE(modalSeen) << "the dialog never appeared";
    EXPECT_TRUE(core->waitForCaches(20000));
    EXPECT_EQ(docs->getCachedCount(), 2u) << "closing rebuilt the cache";
}
