// What the search window shows of itself: the box's type and hint, the action it is in, what a search
// or a run came to. The real window, driven by messages on this thread, with fake sources in the core.
#include "window/ListWindow.h"
#include "window/Messages.h"
#include "window/SearchWindow.h"
#include "model/VAction.h"
#include "res/resource.h"
#include "support/FakeIndexer.h"
#include "util/SystemText.h"
#include "util/VxText.h"
#include "support/CoreFixture.h"
#include "support/MessagePump.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::string> executed;

// Records what it is run on; fails every run while failing is set.
class LookAction : public VAction {
public:
    LookAction(const std::string& name, const std::string& keyword, bool failing)
        : VAction(name, keyword, name + " what you type", nullptr), failing(failing) {
        addSupportedType(VProperty::TextType);
    }
    bool execute(VResult*, VProperty* property, const std::string&) override {
        executed.push_back(property->getValue());
        return !failing;
    }
    bool execute(const std::string& text) override {
        executed.push_back("text:" + text);
        return !failing;
    }

private:
    bool failing;
};

void ignoreBox(const char*) {}

class SearchWindowLookTest : public ::testing::Test {
protected:
    void SetUp() override {
        FakeCounters::reset();
        executed.clear();
        previousHook = CVerbinoxDlg::setMessageHook(&ignoreBox);
        VVerbinoxCore* core = VVerbinoxCore::instance();
        core->setPluginsPath(core->getAppLocation() + "no-plugins-here\\");
        core->setChoiceFile(folder.sub("Choices.vxc"));
        // A hot-key nobody uses, no update check, and no hiding when the other tests' windows take the
        // activation.
        writeSettings("");
    }
    void TearDown() override {
        if (dialog) {
            dialog->exit();
            dialog.reset();
        }
        CVerbinoxDlg::setMessageHook(previousHook);
        EXPECT_EQ(FakeCounters::results.load(), 0) << "results leaked";
        EXPECT_EQ(VIndexer::getRunningWorkerCount(), 0) << "workers still running";
    }
    void writeSettings(const std::string& more) {
        ASSERT_TRUE(folder.writeFile("Verbinox.xml", "<Verbinox><Verbinox><Window HotKey=\"124\" "
                                                     "HotKeyModifier=\"7\" CheckForUpdates=\"false\" "
                                                     "HideOnDeactivate=\"false\" " +
                                                         more + " /></Verbinox></Verbinox>"));
    }
    void open() {
        dialog.reset(new CVerbinoxDlg());
        dialog->setPreferencesPath(folder.sub("Verbinox.xml"));
        ASSERT_TRUE(dialog->create(nullptr));
        dialog->getCommandLine().setDelay(0);
        pumpMessages(50);
        dialog->showWindow();
        pumpMessages(30);
    }
    VVerbinoxCore* core() const { return VVerbinoxCore::instance(); }
    HWND box() const { return dialog->getCommandLine().getHwnd(); }
    void type(const std::string& text) {
        vx::setWindowText(box(), text);
        pumpMessages(60);
    }
    void press(UINT key) {
        ::SendMessageW(box(), WM_KEYDOWN, key, 1);
        pumpMessages(30);
    }
    // Enter as the message loop hands it on: the key, then its character.
    void pressEnter() {
        ::SendMessageW(box(), WM_KEYDOWN, VK_RETURN, 1);
        ::SendMessageW(box(), WM_CHAR, '\r', 1);
        pumpMessages(30);
    }
    // A child's rectangle in the strip's client coordinates.
    RECT inStrip(HWND child) const {
        RECT rect{};
        ::GetWindowRect(child, &rect);
        ::MapWindowPoints(nullptr, dialog->getHwnd(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    NameIndexer* addSource(std::vector<std::string> names, VPlugin* from = nullptr) {
        auto* indexer = new NameIndexer(from, std::move(names));
        indexer->updateCache();
        core()->registerIndexer(indexer);
        return indexer;
    }
    void settle() {
        waitForWorkers();
        pumpMessages(120);
    }

    // Outlives the window, whose core destroys the indexers that name it.
    FakePlugin plugin;
    TempFolder folder;
    std::unique_ptr<CVerbinoxDlg> dialog;
    CVerbinoxDlg::MessageHook previousHook = nullptr;
};

LOGFONTW fontOf(HWND window) {
    LOGFONTW face{};
    ::GetObjectW(reinterpret_cast<HGDIOBJ>(::SendMessageW(window, WM_GETFONT, 0, 0)), sizeof(face), &face);
    return face;
}

int textHeight(HWND window) {
    HDC dc = ::GetDC(window);
    HGDIOBJ previous =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(window, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, previous);
    ::ReleaseDC(window, dc);
    return metrics.tmHeight;
}

// Pixels of the window's client area in that colour.
int inkedPixels(HWND window, COLORREF ink) {
    ::UpdateWindow(window);
    RECT client{};
    ::GetClientRect(window, &client);
    HDC dc = ::GetDC(window);
    HDC memory = ::CreateCompatibleDC(dc);
    HBITMAP bitmap = ::CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ previous = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    int inked = 0;
    for (int y = 0; y < client.bottom; ++y) {
        for (int x = 0; x < client.right; ++x)
            inked += ::GetPixel(memory, x, y) == ink ? 1 : 0;
    }
    ::SelectObject(memory, previous);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(window, dc);
    return inked;
}

} // namespace

TEST_F(SearchWindowLookTest, TheBoxTakesTheMessageFaceAtItsSetSizeCentredInAStripThatGrowsToFitIt) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0));
    int stripHeights[2] = {};
    const int sizes[2] = {14, 24};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(sizes[i]);
        if (i == 1) {
            dialog->exit();
            dialog.reset();
            writeSettings("BoxFontSize=\"24\"");
        }
        open();
        const int dpi = static_cast<int>(dpiOf(dialog->getHwnd()));
        const LOGFONTW face = fontOf(box());
        EXPECT_EQ(face.lfHeight, -::MulDiv(sizes[i], dpi, 72));
        EXPECT_STREQ(face.lfFaceName, metrics.lfMessageFont.lfFaceName);

        RECT client{};
        ::GetClientRect(dialog->getHwnd(), &client);
        stripHeights[i] = client.bottom;
        const RECT edit = inStrip(box());
        EXPECT_GE(edit.bottom - edit.top, textHeight(box())) << "the text is not cut";
        EXPECT_GE(edit.top, 0);
        EXPECT_LE(edit.bottom, client.bottom);
        EXPECT_NEAR(edit.top + edit.bottom, client.bottom, 1) << "centred in the strip";
        const RECT icon = inStrip(::GetDlgItem(dialog->getHwnd(), IDC_ACTIONICON));
        EXPECT_NEAR(icon.top + icon.bottom, edit.top + edit.bottom, 1) << "level with the icon";
    }
    EXPECT_GT(stripHeights[1], stripHeights[0]);
}

TEST_F(SearchWindowLookTest, AnEmptyBoxShowsAndDrawsTheHintToTypeUntilTextIsTyped) {
    // Emptied with auto-hide, the window would hide.
    writeSettings("AutoHide=\"false\"");
    open();
    wchar_t hint[64] = L"";
    ASSERT_TRUE(::SendMessageW(box(), EM_GETCUEBANNER, reinterpret_cast<WPARAM>(hint), 64));
    EXPECT_STREQ(hint, L"Type to search");
    // Grey, the colour of text that is not there: nothing else in the box is drawn in it.
    const COLORREF grey = ::GetSysColor(COLOR_GRAYTEXT);
    EXPECT_GT(inkedPixels(box(), grey), 0) << "the hint is drawn in the empty box";
    type("a");
    EXPECT_EQ(inkedPixels(box(), grey), 0) << "typed text replaces it";
    type("");
    EXPECT_GT(inkedPixels(box(), grey), 0) << "and it is back once the box is emptied";
}

TEST_F(SearchWindowLookTest, ActionModeNamesItsActionBesideTheIconAndTheHintSaysWhatToType) {
    open();
    ASSERT_TRUE(core()->registerAction(new LookAction("craigslist", "zzcl", false)));
    HWND label = dialog->getActionNameLabel();
    ASSERT_NE(label, nullptr);
    EXPECT_FALSE(::IsWindowVisible(label)) << "no action, no name";

    for (const char* keyword : {"copy", "zzcl"}) {
        type(keyword);
        ASSERT_EQ(dialog->getMode(), CVerbinoxDlg::ActionMode);
        const std::string name = dialog->getCurrentAction()->getName();
        EXPECT_EQ(vx::windowText(label), name);
        EXPECT_TRUE(::IsWindowVisible(label));
        const RECT shown = inStrip(label), edit = inStrip(box());
        const RECT icon = inStrip(::GetDlgItem(dialog->getHwnd(), IDC_ACTIONICON));
        EXPECT_GE(shown.left, icon.right) << "beside the icon";
        EXPECT_LE(shown.right, edit.left) << "the box makes room for it";
        wchar_t hint[128] = L"";
        ::SendMessageW(box(), EM_GETCUEBANNER, reinterpret_cast<WPARAM>(hint), 128);
        EXPECT_EQ(vx::narrowed(hint), dialog->getCurrentAction()->getDescription());
        press(VK_ESCAPE);
        ASSERT_EQ(dialog->getMode(), CVerbinoxDlg::Idle);
        EXPECT_FALSE(::IsWindowVisible(label));
    }
    wchar_t hint[64] = L"";
    ::SendMessageW(box(), EM_GETCUEBANNER, reinterpret_cast<WPARAM>(hint), 64);
    EXPECT_STREQ(hint, L"Type to search") << "back from action mode";
}

TEST_F(SearchWindowLookTest, AFailedRunKeepsTheWindowItsTextAndRowsAndABalloonSaysWhatFailedUntilTheNextKey) {
    open();
    auto* failing = new LookAction("Print", "zzprint", true);
    ASSERT_TRUE(core()->registerAction(failing));
    core()->setDefaultAction(VProperty::TextType, failing);
    addSource({"zzbroken-link"});
    type("zzbroken");
    settle();
    ASSERT_EQ(dialog->getList().getCount(), 1);
    press(VK_RETURN);
    ASSERT_EQ(executed, std::vector<std::string>{"zzbroken-link"});
    EXPECT_TRUE(::IsWindowVisible(dialog->getHwnd())) << "never a silent hide";
    EXPECT_EQ(dialog->getCommandLine().getText(), "zzbroken");
    EXPECT_EQ(dialog->getList().getCount(), 1) << "the row stays for another action";
    HWND tip = dialog->getFailureTip();
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(::IsWindowVisible(tip));
    EXPECT_EQ(dialog->getFailureShown(), "Couldn't open zzbroken-link");
    EXPECT_EQ(vx::windowText(tip), dialog->getFailureShown());

    type("zzbroken-");
    EXPECT_FALSE(::IsWindowVisible(tip)) << "gone at the next keystroke";
    EXPECT_EQ(dialog->getFailureShown(), "");

    // An action typed by its keyword tells its own name.
    type("zzprint");
    ASSERT_EQ(dialog->getMode(), CVerbinoxDlg::ActionMode);
    type("page 2");
    press(VK_RETURN);
    EXPECT_TRUE(::IsWindowVisible(dialog->getHwnd()));
    EXPECT_EQ(dialog->getMode(), CVerbinoxDlg::ActionMode);
    EXPECT_EQ(dialog->getCommandLine().getText(), "page 2");
    EXPECT_TRUE(::IsWindowVisible(tip));
    EXPECT_EQ(dialog->getFailureShown(), "Print failed: page 2");
}

TEST_F(SearchWindowLookTest, ASearchThatEndsWithNothingInEverySourceSaysSoAndWhereUntilTheNextKey) {
    open();
    addSource({"zzfound-one"}, &plugin);
    NameIndexer* slow = addSource({"zzslow-one"}, &plugin);
    addSource({"zznameless"});
    VElementListCtrl& list = dialog->getList();

    slow->setCandidateDelayMicros(300000);
    type("zzqq");
    EXPECT_EQ(list.getNothingFoundText(), L"") << "a source is still searching";
    settle();
    EXPECT_EQ(list.getNothingFoundText(), L"No results for zzqq\nSearched: Fake") << "each source named once";
    EXPECT_TRUE(list.isOnScreen());
    EXPECT_EQ(list.getCount(), 0);
    for (UINT key : {VK_DOWN, VK_NEXT, VK_APPS}) {
        press(key);
        EXPECT_EQ(list.getSelectedIndex(), -1) << key;
    }
    RECT row{};
    ::GetClientRect(list.getHwnd(), &row);
    ::SendMessageW(list.getHwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(row.right / 2, 2));
    pumpMessages(30);
    EXPECT_TRUE(executed.empty()) << "no key or click runs the row";
    EXPECT_EQ(list.getSelectedIndex(), -1);

    // The next keystroke takes the row away, before its text settles.
    dialog->getCommandLine().setDelay(5000);
    vx::setWindowText(box(), "zzq");
    pumpMessages(30);
    EXPECT_EQ(list.getNothingFoundText(), L"");
    dialog->getCommandLine().setDelay(0);

    slow->setCandidateDelayMicros(0);
    type("zzfound");
    settle();
    EXPECT_EQ(list.getCount(), 1);
    EXPECT_EQ(list.getNothingFoundText(), L"") << "found something";
    // From a list on show: the row keeps it shown.
    type("zzqqx");
    settle();
    EXPECT_EQ(list.getNothingFoundText(), L"No results for zzqqx\nSearched: Fake");
    EXPECT_TRUE(list.isOnScreen());
}

TEST_F(SearchWindowLookTest, AnOpenSaysWhatOpensForAMomentBeforeTheWindowHidesAndEnterMeanwhileRunsNothing) {
    open();
    ASSERT_TRUE(core()->registerAction(new LookAction("craigslist", "zzcl", false)));
    type("zzcl");
    type("bikes");
    const DWORD entered = ::GetTickCount();
    pressEnter();
    ASSERT_EQ(executed, std::vector<std::string>{"text:bikes"});
    EXPECT_TRUE(::IsWindowVisible(dialog->getHwnd()));
    EXPECT_EQ(dialog->getCommandLine().getText(), "Opening craigslist...");
    pressEnter();
    ::SendMessageW(box(), WM_CHAR, 'x', 1);
    EXPECT_EQ(executed.size(), 1u) << "one Enter, one run";
    EXPECT_EQ(dialog->getCommandLine().getText(), "Opening craigslist...") << "nothing typed into the sign";
    while (::IsWindowVisible(dialog->getHwnd()) && ::GetTickCount() - entered < 2000)
        pumpMessages(10);
    EXPECT_FALSE(::IsWindowVisible(dialog->getHwnd()));
    EXPECT_GE(::GetTickCount() - entered, 250u) << "long enough to be read";
    EXPECT_EQ(dialog->getCommandLine().getText(), "");
    EXPECT_EQ(dialog->getMode(), CVerbinoxDlg::Idle);

    // The hot-key meanwhile keeps the window, with an empty box that takes typing again.
    dialog->showWindow();
    type("zzcl");
    type("bikes");
    pressEnter();
    dialog->reveal();
    pumpMessages(400);
    EXPECT_TRUE(::IsWindowVisible(dialog->getHwnd()));
    EXPECT_EQ(dialog->getCommandLine().getText(), "");
    ::SendMessageW(box(), WM_CHAR, 'x', 1);
    EXPECT_EQ(dialog->getCommandLine().getText(), "x");
}
