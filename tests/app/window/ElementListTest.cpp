// The results list and its pop-ups, driven by messages and keys as the search window drives them.
#include "support/CoreFixture.h"

#include "window/Messages.h"
#include "window/Theme.h"
#include "window/VElementListCtrl.h"
#include "model/VAction.h"
#include "model/VFileResult.h"
#include "model/VPreferences.h"
#include "support/ForeignNames.h"
#include "support/Canvas.h"
#include "support/MessagePump.h"

#include <cstring>
#include <functional>
#include <map>

namespace {

struct Sent {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Stands in for the search window: a hidden strip with the edit box, which notes what the lists send.
class SearchWindow : public VFolderBrowseHost {
public:
    SearchWindow() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &SearchWindow::proc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "VxListTestHost";
        ::RegisterClassA(&wc);
        window = ::CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 100, 100, 400, 24, nullptr, nullptr,
                                   wc.hInstance, nullptr);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        edit = ::CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 400, 24, window, nullptr,
                                 wc.hInstance, nullptr);
        ::SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), 0);
    }
    ~SearchWindow() { ::DestroyWindow(window); }

    bool isBrowseMode() const override { return browsing; }
    void setEditText(const std::string& text) override {
        ::SetWindowTextA(edit, text.c_str());
        if (onText)
            onText(text);
    }

    HWND window;
    HWND edit;
    bool browsing = false;
    std::function<void(const std::string&)> onText;
    // What the search window does with a choice; the reply is 0 for success.
    std::function<LRESULT(UINT)> onChoice;
    std::vector<Sent> sent;

private:
    static LRESULT CALLBACK proc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<SearchWindow*>(::GetWindowLongPtrA(w, GWLP_USERDATA));
        if (self && message >= UM_ELEMENTCHOSEN && message <= UM_PROPERTYCHOSEN) {
            self->sent.push_back({message, wParam, lParam});
            return self->onChoice ? self->onChoice(message) : 0;
        }
        return ::DefWindowProcA(w, message, wParam, lParam);
    }
};

// A folder entry that counts its own end, so tests see each one released exactly once.
class CountedFile : public VFileResult {
public:
    explicit CountedFile(const std::string& path) : VFileResult(nullptr) {
        setFile(CPath(path));
        ++alive;
    }
    ~CountedFile() override { --alive; }
    static int alive;
};
int CountedFile::alive = 0;

// A contact: a name and two e-mail addresses, so the e-mail action can take either address.
class Contact : public VResult {
public:
    Contact(const std::string& who, const std::string& home, const std::string& work)
        : VResult(nullptr), name(VProperty::NameType, who), mail1(VProperty::EmailType, home),
          mail2(VProperty::EmailType, work) {
        addProperty(&name);
        addProperty(&mail1);
        addProperty(&mail2);
        ++alive;
    }
    ~Contact() override { --alive; }
    std::string getDisplayText() const override { return name.getValue(); }
    std::string getDisplayText1() const override { return name.getValue(); }
    std::string getDisplayText2() const override { return mail1.getValue(); }
    bool select() override { return true; }
    static int alive;

private:
    VProperty name, mail1, mail2;
};
int Contact::alive = 0;

class ListTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        core->loadPrefs(nullptr); // the fonts
        CountedFile::alive = 0;
        Contact::alive = 0;
        ASSERT_TRUE(list.create(host.window, host.edit, &host));
    }
    void TearDown() override {
        list.clear();
        EXPECT_EQ(CountedFile::alive, 0);
        EXPECT_EQ(Contact::alive, 0);
        CoreTest::TearDown();
    }

    // Each a result of its own: rows with the same text would lead to the same place and share a row.
    void addFakes(int count) {
        std::vector<VElement*> added;
        for (int i = 0; i < count; ++i)
            added.push_back(new FakeResult(nullptr, "result " + std::to_string(fakesMade++)));
        list.addElements(added.data(), count);
    }
    VAction* coreAction(const char* keyword) { return core->getAction(keyword, false); }
    RECT windowRect(HWND hwnd) {
        RECT r;
        ::GetWindowRect(hwnd, &r);
        return r;
    }
    void moveMouseToRow(int row) {
        const LPARAM at = MAKELPARAM(5, row * list.getRowHeight() + 2);
        ::SendMessageA(list.getHwnd(), WM_MOUSEMOVE, 0, at);
    }

    SearchWindow host;
    VElementListCtrl list;
    int fakesMade = 0;
};

using ElementList = ListTest;
using ActionList = ListTest;

TEST_F(ElementList, TheTwentiethResultGrowsTheListToTwentyRowsAndLaterOnesAddAScrollBar) {
    addFakes(19);
    EXPECT_EQ(list.getVisibleRows(), 19);
    EXPECT_TRUE(list.isOnScreen());
    addFakes(1);
    EXPECT_EQ(list.getVisibleRows(), 20);
    EXPECT_FALSE(list.isScrollBarVisible());
    const RECT twenty = windowRect(list.getHwnd());

    addFakes(5);
    const RECT after = windowRect(list.getHwnd());
    EXPECT_EQ(list.getVisibleRows(), 20);
    EXPECT_EQ(after.bottom - after.top, twenty.bottom - twenty.top);
    EXPECT_TRUE(list.isScrollBarVisible());
    // Hung under the search window, as wide as it.
    const RECT strip = windowRect(host.window);
    EXPECT_EQ(after.top, strip.bottom);
    EXPECT_EQ(after.left, strip.left);
    EXPECT_EQ(after.right, strip.right);
}

TEST_F(ElementList, TheScrollBarPagesOnItsTrackAndFollowsItsThumbWithoutMovingTheSelection) {
    addFakes(100);
    ASSERT_TRUE(list.isScrollBarVisible());
    RECT client;
    ::GetClientRect(list.getHwnd(), &client);
    const int barX = client.right - ::GetSystemMetrics(SM_CXVSCROLL) / 2;
    const int trackBottom = client.bottom - ::GetSystemMetrics(SM_CYHSCROLL) - 1;
    auto press = [&](UINT message, int y) {
        ::SendMessageA(list.getHwnd(), message, 0, MAKELPARAM(barX, y));
    };

    press(WM_MOUSEMOVE, trackBottom);
    press(WM_LBUTTONDOWN, trackBottom);
    press(WM_LBUTTONUP, trackBottom);
    EXPECT_EQ(list.getTopIndex(), 20) << "a click below the thumb pages down";
    EXPECT_EQ(list.getSelectedIndex(), 0) << "the bar is not a row";
    EXPECT_FALSE(list.getActionList().isOnScreen()) << "a click on the bar opens no pop-up";

    // The thumb now sits a fifth of the way down; dragging it to the very bottom shows the last rows.
    const int thumbY = trackBottom * 20 / 80 + 10;
    press(WM_LBUTTONDOWN, thumbY);
    EXPECT_EQ(list.getTopIndex(), 20) << "a press on the thumb does not page";
    press(WM_MOUSEMOVE, client.bottom + 500);
    EXPECT_EQ(list.getTopIndex(), 80);
    press(WM_MOUSEMOVE, -500);
    EXPECT_EQ(list.getTopIndex(), 0);
    press(WM_LBUTTONUP, -500);
    press(WM_LBUTTONDOWN, 0);
    press(WM_LBUTTONUP, 0);
    EXPECT_EQ(list.getTopIndex(), 0) << "paging up stops at the first row";
    EXPECT_EQ(list.getSelectedIndex(), 0);
}

TEST_F(ElementList, AHeldListIsRefilledInPlaceAndHiddenOnlyIfItStaysEmpty) {
    addFakes(3);
    const RECT shown = windowRect(list.getHwnd());
    list.keepShownThroughClear();
    list.clear();
    addFakes(2);
    list.hideIfStillEmpty();
    EXPECT_TRUE(list.isOnScreen());
    EXPECT_EQ(windowRect(list.getHwnd()).top, shown.top);
    EXPECT_EQ(list.getVisibleRows(), 2);

    list.keepShownThroughClear();
    list.clear();
    list.hideIfStillEmpty();
    EXPECT_TRUE(list.isOnScreen()) << "blank for a moment: the next search's results are on their way";
    EXPECT_EQ(list.getCount(), 0);
    pumpMessages(50);
    addFakes(1);
    pumpMessages(200);
    EXPECT_TRUE(list.isOnScreen()) << "results that came in time stop the countdown";

    list.keepShownThroughClear();
    list.clear();
    list.hideIfStillEmpty();
    pumpMessages(200);
    EXPECT_FALSE(list.isOnScreen()) << "nothing came: an empty list is not left on the screen";
    addFakes(1);
    EXPECT_TRUE(list.isOnScreen());
    EXPECT_EQ(windowRect(list.getHwnd()).top, shown.top) << "shown again under the search window";
}

namespace {

// Whether a click at that screen point would reach the window: shown, and the point inside both its
// rectangle and its window region. Asked of the window itself and not through WindowFromPoint, since
// the test programs beside this one share the display and their top-most windows may lie on top.
bool takesClicksAt(HWND window, POINT at) {
    RECT r{};
    if (!::IsWindowVisible(window) || !::GetWindowRect(window, &r) || !::PtInRect(&r, at))
        return false;
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    const int kind = ::GetWindowRgn(window, region);
    const bool inside = kind == ERROR || ::PtInRegion(region, at.x - r.left, at.y - r.top);
    ::DeleteObject(region);
    return inside;
}

} // namespace

// Once shown, an emptied or hidden list stays mapped with an empty region, so the next results show
// without mapping it again; the mouse reaches whatever lies beneath it. Fewer rows keep its size.
TEST_F(ElementList, AnEmptiedOrHiddenListIsHiddenByItsRegionNotUnmappedAndFewerRowsKeepItsSize) {
    ::ShowWindow(host.window, SW_SHOWNOACTIVATE);
    list.premapHidden();
    EXPECT_TRUE(::IsWindowVisible(list.getHwnd())) << "mapped when the search window shows";
    EXPECT_FALSE(list.isOnScreen()) << "but out of sight";

    addFakes(3);
    ASSERT_TRUE(list.isOnScreen());
    const RECT r = windowRect(list.getHwnd());
    const POINT middle{(r.left + r.right) / 2, r.top + 2 * list.getRowHeight()};
    EXPECT_TRUE(takesClicksAt(list.getHwnd(), middle));

    list.clear();
    EXPECT_FALSE(list.isOnScreen());
    EXPECT_TRUE(::IsWindowVisible(list.getHwnd()));
    EXPECT_FALSE(takesClicksAt(list.getHwnd(), middle)) << "a list hidden by its region takes no clicks";

    addFakes(2);
    EXPECT_TRUE(list.isOnScreen());
    EXPECT_EQ(list.getVisibleRows(), 2);
    EXPECT_TRUE(takesClicksAt(list.getHwnd(), POINT{middle.x, r.top + list.getRowHeight() / 2}));
    const RECT two = windowRect(list.getHwnd());
    EXPECT_EQ(two.bottom - two.top, r.bottom - r.top) << "fewer rows keep the window's size";
    EXPECT_FALSE(takesClicksAt(list.getHwnd(), POINT{middle.x, r.top + 3 * list.getRowHeight()}))
        << "below its rows the list shows nothing and takes no clicks";

    list.setShown(false);
    ::ShowWindow(host.window, SW_HIDE);
    EXPECT_FALSE(list.isOnScreen()) << "gone with the search window";
    EXPECT_FALSE(takesClicksAt(list.getHwnd(), POINT{middle.x, r.top + list.getRowHeight() / 2}));
    EXPECT_EQ(list.getCount(), 2) << "hiding keeps the rows";
    list.setShown(true);
    EXPECT_TRUE(list.isOnScreen()) << "and they come back with it";
    EXPECT_TRUE(takesClicksAt(list.getHwnd(), POINT{middle.x, r.top + list.getRowHeight() / 2}));
}

TEST_F(ElementList, TheHeightTheUserDraggedToIsKeptOnceTheListHoldsTwentyRows) {
    addFakes(30);
    const RECT r = windowRect(list.getHwnd());
    const int taller = r.bottom - r.top + 3 * list.getRowHeight();
    ::SendMessageA(list.getHwnd(), WM_ENTERSIZEMOVE, 0, 0);
    ::SetWindowPos(list.getHwnd(), nullptr, 0, 0, r.right - r.left, taller,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageA(list.getHwnd(), WM_EXITSIZEMOVE, 0, 0);
    EXPECT_EQ(list.getVisibleRows(), 23);

    addFakes(1);
    const RECT after = windowRect(list.getHwnd());
    EXPECT_EQ(after.bottom - after.top, taller);
    EXPECT_EQ(list.getVisibleRows(), 23);
}

TEST_F(ElementList, KeysMoveTheSelectionAndStepOffEitherEndIntoTheEditBox) {
    addFakes(30);
    EXPECT_EQ(list.getSelectedIndex(), 0) << "a batch selects its first row";
    EXPECT_TRUE(list.key(VK_END));
    EXPECT_EQ(list.getSelectedIndex(), 29);
    EXPECT_EQ(list.getTopIndex(), 10) << "scrolled into view";
    EXPECT_TRUE(list.key(VK_DOWN));
    EXPECT_EQ(list.getSelectedIndex(), -1) << "Down from the last row";
    EXPECT_TRUE(list.key(VK_UP));
    EXPECT_EQ(list.getSelectedIndex(), 29) << "Up from no selection";
    EXPECT_TRUE(list.key(VK_PRIOR));
    EXPECT_EQ(list.getSelectedIndex(), 9);
    EXPECT_TRUE(list.key(VK_PRIOR));
    EXPECT_EQ(list.getSelectedIndex(), 0) << "a page up stops at the first row";
    EXPECT_EQ(list.getTopIndex(), 0);
    EXPECT_TRUE(list.key(VK_UP));
    EXPECT_EQ(list.getSelectedIndex(), -1) << "Up from the first row";
    EXPECT_TRUE(list.key(VK_DOWN));
    EXPECT_TRUE(list.key(VK_NEXT));
    EXPECT_EQ(list.getSelectedIndex(), 20);
    EXPECT_TRUE(list.key(VK_NEXT));
    EXPECT_EQ(list.getSelectedIndex(), 29) << "a page down stops at the last row";

    list.clear();
    EXPECT_FALSE(list.key(VK_DOWN)) << "a hidden list leaves the keys to the edit box";
}

TEST_F(ElementList, ArrivalSelectsAnActionOrABatchButNotASingleResult) {
    list.addElement(new FakeResult(nullptr, "alone"));
    EXPECT_EQ(list.getSelectedIndex(), -1);
    list.addElement(coreAction("copy"));
    EXPECT_EQ(list.getSelectedIndex(), 0) << "an action selects row 0 when nothing is selected";

    list.clear();
    list.addElement(coreAction("run"));
    EXPECT_EQ(list.getSelectedElement(), coreAction("run"));
    addFakes(2);
    EXPECT_EQ(list.getSelectedIndex(), 0) << "a batch keeps an existing selection";
}

TEST_F(ElementList, NoRowChosenWithTheKeysStaysChosenWhileRowsArrive) {
    addFakes(3);
    EXPECT_TRUE(list.key(VK_UP));
    ASSERT_EQ(list.getSelectedIndex(), -1) << "Up from the first row: open what was typed";
    addFakes(2);
    list.addElement(coreAction("copy"));
    EXPECT_EQ(list.getSelectedIndex(), -1);
    EXPECT_TRUE(list.key(VK_DOWN));
    EXPECT_TRUE(list.key(VK_DOWN));
    addFakes(2);
    EXPECT_EQ(list.getSelectedIndex(), 1) << "a row picked stays picked";
    list.clear();
    addFakes(1);
    EXPECT_EQ(list.getSelectedIndex(), 0) << "the next search starts afresh";
}

TEST_F(ElementList, ResultsArrivingUnderARestingCursorLeaveTheSelectionAlone) {
    addFakes(3);
    moveMouseToRow(2); // the move that follows the arrival is ignored
    addFakes(2);
    moveMouseToRow(2);
    moveMouseToRow(2); // the window changed under the cursor: the system sends the same position again
    EXPECT_EQ(list.getSelectedIndex(), 0);
    moveMouseToRow(1);
    EXPECT_EQ(list.getSelectedIndex(), 1) << "a real move still picks a row";
}

TEST_F(ElementList, AnEmptyListOnShowTakesNoKeys) {
    list.setShown(true);
    ASSERT_TRUE(list.isOnScreen()) << "shown always, as the option asks";
    for (UINT key : {VK_HOME, VK_END, VK_UP, VK_DOWN, VK_PRIOR, VK_NEXT, VK_RETURN, VK_TAB})
        EXPECT_FALSE(list.key(key)) << key;
}

TEST_F(ElementList, TheFileControlEnterCameFromIsSelectedInItsFolderListingOnly) {
    host.onText = [&](const std::string& text) {
        list.clear();
        VFileResult* entries[] = {new CountedFile(text + "a.txt"), new CountedFile(text + "notes.txt")};
        list.addFiles(entries, 2);
    };
    VElement* found[] = {new CountedFile("C:\\data\\notes.txt")};
    list.addElements(found, 1);
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    ::SetKeyboardState(keys);
    const bool taken = list.key(VK_RETURN);
    keys[VK_CONTROL] = 0;
    ::SetKeyboardState(keys);
    ASSERT_TRUE(taken);
    EXPECT_EQ(list.getSelectedIndex(), 1) << "the folder is listed with the file selected";

    list.clear();
    VElement* later[] = {new CountedFile("C:\\other\\x.txt"), new CountedFile("C:\\data\\notes.txt")};
    list.addElements(later, 2);
    EXPECT_EQ(list.getSelectedIndex(), 0) << "a later search that finds the file does not jump to it";
}

TEST_F(ElementList, ClearingReleasesEachResultOnceAndLeavesActionsToTheCore) {
    list.addElement(coreAction("copy"));
    addFakes(3);
    EXPECT_EQ(FakeCounters::results.load(), 3);
    list.clear();
    EXPECT_EQ(FakeCounters::results.load(), 0);
    EXPECT_FALSE(list.isOnScreen());
    EXPECT_EQ(list.getCount(), 0);
    list.clear();
    EXPECT_NE(coreAction("copy"), nullptr);

    {
        VElementListCtrl other;
        ASSERT_TRUE(other.create(host.window, host.edit, &host));
        EXPECT_FALSE(other.create(host.window, host.edit, &host)) << "created twice";
        VElement* two[] = {new FakeResult(nullptr, "a"), new FakeResult(nullptr, "b")};
        other.addElements(two, 2);
    }
    EXPECT_EQ(FakeCounters::results.load(), 0) << "a list that goes releases what it holds";
}

TEST_F(ElementList, EnterSendsTheSelectedElementOnceEvenWhenTheWindowClearsTheList) {
    EXPECT_FALSE(list.key(VK_RETURN)) << "nothing selected";
    addFakes(3);
    list.select(2);
    VElement* chosen = list.getSelectedElement();
    host.onChoice = [this](UINT) {
        list.clear();
        return LRESULT(0);
    };
    EXPECT_TRUE(list.key(VK_RETURN));
    ASSERT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(host.sent[0].message, UM_ELEMENTCHOSEN);
    EXPECT_EQ(host.sent[0].wParam, reinterpret_cast<WPARAM>(chosen));
    EXPECT_EQ(FakeCounters::results.load(), 0);
}

TEST_F(ElementList, TurningTwoLinesOffUsesOneLineOfTheFontOrTheIconWhicheverIsTaller) {
    const int icon = ::GetSystemMetrics(SM_CYSMICON);
    const int two = list.getRowHeight();
    EXPECT_GE(two, 2 * icon + 4);
    list.setTwoLines(false);
    EXPECT_EQ(list.getRowHeight(), icon + 2) << "the default font is shorter than the icon";

    LOGFONTA big{};
    big.lfHeight = -40;
    std::strcpy(big.lfFaceName, "Tahoma");
    core->setFont(&big);
    list.setTwoLines(false);
    EXPECT_GE(list.getRowHeight(), 40);
    list.setTwoLines(true);
    EXPECT_EQ(list.getRowHeight(), two) << "two lines use the fonts of the two lines";
}

TEST_F(ElementList, FolderEntriesShowOneLineUntilClearedAndTheUsersSettingIsSaved) {
    const int two = list.getRowHeight();
    VFileResult* files[] = {new CountedFile("C:\\data\\a.txt"), new CountedFile("C:\\data\\b.txt")};
    list.addFiles(files, 2);
    EXPECT_LT(list.getRowHeight(), two);
    EXPECT_TRUE(list.getTwoLines());

    VPreferencesNode* node = VPreferencesNode::createInstance("CommandLine");
    list.savePrefs(node);
    bool saved = false;
    ASSERT_NE(node->getChild("List"), nullptr);
    EXPECT_TRUE(node->getChild("List")->getParam("TwoLines", saved));
    EXPECT_TRUE(saved) << "files mode is not the user's choice";
    node->deleteThis();

    list.clear();
    EXPECT_EQ(CountedFile::alive, 0);
    EXPECT_EQ(list.getRowHeight(), two);
}

TEST_F(ElementList, ListPreferencesRoundTrip) {
    list.setShowIcons(false);
    list.setTwoLines(false);
    VPreferencesNode* node = VPreferencesNode::createInstance("CommandLine");
    list.savePrefs(node);
    std::string icons, lines;
    ASSERT_NE(node->getChild("List"), nullptr);
    node->getChild("List")->getParam("ShowIcons", icons);
    node->getChild("List")->getParam("TwoLines", lines);
    EXPECT_EQ(icons, "false");
    EXPECT_EQ(lines, "false");

    VElementListCtrl other;
    EXPECT_TRUE(other.getShowIcons());
    EXPECT_TRUE(other.getTwoLines());
    other.loadPrefs(node);
    EXPECT_FALSE(other.getShowIcons());
    EXPECT_FALSE(other.getTwoLines());
    EXPECT_EQ(other.getRowHeight(), list.getRowHeight());
    node->deleteThis();
}

TEST_F(ElementList, BrowsingRightListsAFolderAndLeftGoesUpReselectingIt) {
    const std::map<std::string, std::vector<std::string>> folders = {
        {"C:\\data\\", {"C:\\data\\alpha\\", "C:\\data\\beta\\", "C:\\data\\notes.txt"}},
        {"C:\\data\\beta\\", {"C:\\data\\beta\\inner.txt"}},
    };
    host.browsing = true;
    host.onText = [&](const std::string& text) {
        list.clear();
        std::vector<VFileResult*> entries;
        for (const std::string& path : folders.at(text))
            entries.push_back(new CountedFile(path));
        list.addFiles(entries.data(), static_cast<int>(entries.size()));
    };
    host.setEditText("C:\\data\\");
    ASSERT_EQ(list.getCount(), 3);

    list.select(2);
    EXPECT_FALSE(list.key(VK_RIGHT)) << "a file is not entered";
    list.select(1);
    EXPECT_TRUE(list.key(VK_RIGHT));
    EXPECT_EQ(list.getCount(), 1);
    EXPECT_TRUE(list.key(VK_LEFT));
    ASSERT_EQ(list.getCount(), 3);
    EXPECT_EQ(list.getSelectedIndex(), 1) << "the folder that was left";
    EXPECT_EQ(static_cast<VFileResult*>(list.getSelectedElement())->getFile(), "C:\\data\\beta\\");

    host.browsing = false;
    EXPECT_FALSE(list.key(VK_LEFT)) << "outside browse mode the caret moves";
}

TEST_F(ElementList, RowsAreShadedInTurnAndTheSelectionIsHighlighted) {
    addFakes(3);
    list.select(0);
    const RECT client = Canvas::clientOf(list.getHwnd());
    Canvas canvas(client.right, client.bottom);
    canvas.printClient(list.getHwnd());
    // Right of the short texts and left of the selection's arrow.
    const int x = client.right - 40;
    const int h = list.getRowHeight();
    const COLORREF window = ::GetSysColor(COLOR_WINDOW);
    const int shade = window < RGB(129, 128, 128) ? 10 : -10;
    EXPECT_EQ(canvas.at(x, h / 2), ::GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(canvas.at(x, h + h / 2),
              RGB(GetRValue(window) + shade, GetGValue(window) + shade, GetBValue(window) + shade));
    EXPECT_EQ(canvas.at(x, 2 * h + h / 2), window);
}

namespace {

bool darkTheme() {
    return true;
}

// The colour of the list's client pixel, as it paints now.
COLORREF printedPixel(HWND list, int x, int y) {
    const RECT client = Canvas::clientOf(list);
    Canvas canvas(client.right, client.bottom);
    canvas.printClient(list);
    return canvas.at(x, y);
}

bool isDark(COLORREF c) {
    return GetRValue(c) < 80 && GetGValue(c) < 80 && GetBValue(c) < 80;
}

} // namespace

TEST_F(ElementList, InTheDarkThemeTheRowsAndTheSelectionAreDarkAndTheLightThemeComesBack) {
    addFakes(3);
    list.select(0);
    RECT client;
    ::GetClientRect(list.getHwnd(), &client);
    const int x = client.right - 40;
    const int h = list.getRowHeight();
    const vx::DarkThemeQuery previous = vx::setDarkThemeQuery(&darkTheme);
    const COLORREF even = printedPixel(list.getHwnd(), x, 2 * h + h / 2);
    const COLORREF odd = printedPixel(list.getHwnd(), x, h + h / 2);
    const COLORREF chosen = printedPixel(list.getHwnd(), x, h / 2);
    vx::setDarkThemeQuery(previous);
    EXPECT_TRUE(isDark(even)) << std::hex << even;
    EXPECT_TRUE(isDark(odd)) << std::hex << odd;
    EXPECT_NE(odd, even) << "odd rows are still shaded";
    EXPECT_NE(chosen, even);
    EXPECT_NE(chosen, ::GetSysColor(COLOR_HIGHLIGHT)) << "the selection has a dark-theme colour of its own";
    EXPECT_EQ(printedPixel(list.getHwnd(), x, 2 * h + h / 2), ::GetSysColor(COLOR_WINDOW));
}

TEST_F(ElementList, NearTheBottomOfTheScreenTheRowsOpenAboveTheSearchWindowAndBelowItElsewhere) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(host.window, MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT work = monitor.rcWork;
    // What of the list the user sees, on the screen: its window clipped by its region.
    auto shownPart = [&] {
        RECT r = windowRect(list.getHwnd()), box{};
        if (::GetWindowRgnBox(list.getHwnd(), &box) != ERROR)
            r.bottom = r.top + box.bottom;
        return r;
    };
    ::SetWindowPos(host.window, nullptr, work.left + 50, work.bottom - 40, 400, 24,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    addFakes(5);
    RECT shown = shownPart();
    EXPECT_TRUE(list.isAbove());
    EXPECT_EQ(shown.bottom, work.bottom - 40) << "it ends where the search window begins";
    EXPECT_EQ(shown.bottom - shown.top, 5 * list.getRowHeight() + 2);
    EXPECT_EQ(shown.left, work.left + 50);

    addFakes(40);
    shown = shownPart();
    EXPECT_EQ(shown.bottom, work.bottom - 40);
    EXPECT_GE(shown.top, work.top) << "twenty rows and more stay on the screen";

    ::SetWindowPos(host.window, nullptr, work.left + 50, work.top + 30, 400, 24,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    list.layout();
    shown = shownPart();
    EXPECT_FALSE(list.isAbove());
    EXPECT_EQ(shown.top, work.top + 54) << "under the search window";
}

TEST_F(ElementList, AboveTheSearchWindowTheThumbReachesTheShownBottomAndTheGripIsTheTopCorner) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(host.window, MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT work = monitor.rcWork;
    // Less room above the search window than twenty rows take, and less still below: the window keeps
    // its twenty rows' size, clipped by its region to the room above, and its bottom lies under the strip.
    list.setTwoLines(true);
    const int twenty = 20 * list.getRowHeight() + 2;
    const int stripTop = work.top + twenty - list.getRowHeight();
    ASSERT_LT(work.bottom - (stripTop + 24), stripTop - work.top) << "a screen too small for this test";
    ::SetWindowPos(host.window, nullptr, work.left + 50, stripTop, 400, 24, SWP_NOZORDER | SWP_NOACTIVATE);
    // So many rows that the thumb is at its least height.
    addFakes(1000);
    ASSERT_TRUE(list.isAbove());
    ASSERT_TRUE(list.isScrollBarVisible());
    RECT shown = windowRect(list.getHwnd()), box{};
    ASSERT_NE(::GetWindowRgnBox(list.getHwnd(), &box), ERROR);
    shown.bottom = shown.top + box.bottom;

    auto hit = [&](int x, int y) {
        return ::SendMessageW(list.getHwnd(), WM_NCHITTEST, 0, MAKELPARAM(x, y));
    };
    EXPECT_EQ(hit(shown.right - 3, shown.top + 3), HTTOPRIGHT) << "the corner away from the search window";
    EXPECT_EQ(hit(shown.right - 3, shown.bottom - 3), HTCLIENT) << "the bar's end, beside the search window";

    ASSERT_TRUE(list.wheel(-WHEEL_DELTA * 1000));
    ASSERT_EQ(list.getTopIndex(), 1000 - list.getVisibleRows());
    POINT end{shown.right, shown.bottom};
    ::ScreenToClient(list.getHwnd(), &end);
    RECT client;
    ::GetClientRect(list.getHwnd(), &client);
    const int x = client.right - ::GetSystemMetrics(SM_CXVSCROLL) / 2;
    EXPECT_EQ(printedPixel(list.getHwnd(), x, end.y - 8), listColors().thumb)
        << "at the last top row the thumb ends where the rows shown end, not under the search window";
}

namespace {

// Results as sources hand them on: a name (which is also where the result leads) and a rank key.
std::vector<VElement*> ranked(std::initializer_list<std::pair<const char*, uint64_t>> made) {
    std::vector<VElement*> out;
    for (const auto& m : made) {
        auto* result = new FakeResult(nullptr, m.first);
        result->setRankKey(m.second);
        out.push_back(result);
    }
    return out;
}

std::vector<std::string> texts(const VElementListCtrl& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.getCount(); ++i)
        out.push_back(list.getElement(i)->getDisplayText());
    return out;
}

void add(VElementListCtrl& list, std::vector<VElement*> batch) {
    list.addElements(batch.data(), static_cast<int>(batch.size()));
}

} // namespace

TEST_F(ElementList, ResultsTakeTheirPlaceByKeyAcrossBatchesAndEqualKeysKeepTheirArrivalOrder) {
    add(list, ranked({{"a5", 5}, {"b3", 3}}));
    add(list, ranked({{"c9", 9}, {"d3", 3}, {"e5", 5}}));
    add(list, ranked({{"f3", 3}, {"g1", 1}}));
    EXPECT_EQ(texts(list), (std::vector<std::string>{"c9", "a5", "e5", "b3", "d3", "f3", "g1"}));
    EXPECT_EQ(list.getSelectedIndex(), 0);
    EXPECT_EQ(list.getSelectedElement()->getDisplayText(), "c9") << "before the user moves, the best row";
}

TEST_F(ElementList, WithRankingOffResultsKeepTheirArrivalOrderWhateverTheirKeys) {
    core->setRankResults(false);
    add(list, ranked({{"a5", 5}, {"b3", 3}}));
    add(list, ranked({{"c9", 9}, {"a5", 7}}));
    EXPECT_EQ(texts(list), (std::vector<std::string>{"a5", "b3", "c9"}));
    EXPECT_EQ(list.getElement(0), list.getSelectedElement());
    EXPECT_EQ(static_cast<VResult*>(list.getElement(0))->getRankKey(), 5u) << "the first of the two stays";
}

TEST_F(ElementList, ActionsStayAboveEveryResultInTheOrderTheyCame) {
    add(list, ranked({{"r9", 9}}));
    list.addElement(coreAction("copy"));
    add(list, ranked({{"r20", 20}}));
    list.addElement(coreAction("run"));
    ASSERT_EQ(list.getCount(), 4);
    EXPECT_EQ(list.getElement(0), coreAction("copy"));
    EXPECT_EQ(list.getElement(1), coreAction("run"));
    EXPECT_EQ(list.getElement(2)->getDisplayText(), "r20");
    EXPECT_EQ(list.getElement(3)->getDisplayText(), "r9");
    EXPECT_EQ(list.getSelectedElement(), coreAction("copy"));
}

TEST_F(ElementList, OneAddressFromTwoSourcesIsOneRowWithTheBetterKeyCarryingTheOther) {
    add(list, ranked({{"same", 2}, {"other", 5}}));
    add(list, ranked({{"same", 8}}));
    ASSERT_EQ(texts(list), (std::vector<std::string>{"same", "other"}));
    EXPECT_EQ(static_cast<VResult*>(list.getElement(0))->getRankKey(), 8u);
    ASSERT_EQ(list.getTwins(0).size(), 1u);
    EXPECT_EQ(list.getTwins(0)[0]->getRankKey(), 2u);

    add(list, ranked({{"same", 1}, {"other", 9}}));
    ASSERT_EQ(texts(list), (std::vector<std::string>{"other", "same"})) << "a better twin moves its row up";
    EXPECT_EQ(list.getTwins(0).size(), 1u);
    EXPECT_EQ(list.getTwins(1).size(), 2u) << "a worse twin joins the row and changes nothing";
    EXPECT_EQ(FakeCounters::results.load(), 5);
    list.clear();
    EXPECT_EQ(FakeCounters::results.load(), 0) << "every twin is released with the list";
}

TEST_F(ElementList, TheBestRowStaysSelectedUntilTheUserMovesThenTheirRowStaysSelectedAndInPlace) {
    std::vector<VElement*> first;
    for (int i = 0; i < 30; ++i) {
        auto* result = new FakeResult(nullptr, "mid " + std::to_string(i));
        result->setRankKey(100);
        first.push_back(result);
    }
    add(list, first);
    add(list, ranked({{"better", 200}}));
    EXPECT_EQ(list.getSelectedElement()->getDisplayText(), "better") << "unchosen: the best row";

    for (int i = 0; i < 25; ++i)
        list.key(VK_DOWN);
    VElement* chosen = list.getSelectedElement();
    ASSERT_EQ(chosen->getDisplayText(), "mid 24");
    const int screenRow = list.getSelectedIndex() - list.getTopIndex();
    ASSERT_GT(list.getTopIndex(), 0) << "the list scrolled to the chosen row";

    int batch = 0;
    for (uint64_t key : {300u, 50u, 150u, 100u, 250u}) {
        std::vector<VElement*> more;
        for (int i = 0; i < 3; ++i) {
            auto* result =
                new FakeResult(nullptr, "batch " + std::to_string(batch) + "-" + std::to_string(i));
            result->setRankKey(key);
            more.push_back(result);
        }
        add(list, more);
        EXPECT_EQ(list.getSelectedElement(), chosen) << "after batch " << batch;
        EXPECT_EQ(list.getSelectedIndex() - list.getTopIndex(), screenRow) << "after batch " << batch;
        ++batch;
    }
    EXPECT_EQ(list.getSelectedIndex(), 25 + 9) << "the three batches with better keys went above it";
}

TEST_F(ElementList, TheRowOfMoreResultsShowsTheSumAndNoKeyClickOrEnterReachesIt) {
    addFakes(3);
    list.addMore(4000);
    list.addMore(812);
    EXPECT_EQ(list.getMoreCount(), 4812u);
    EXPECT_EQ(list.getCount(), 3) << "not a row of an element";
    wchar_t separator[8] = L"";
    ASSERT_GT(::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8), 0);
    EXPECT_EQ(VElementListCtrl::moreText(4812), std::wstring(L"and 4") + separator + L"812 more");
    EXPECT_EQ(VElementListCtrl::moreText(1234567),
              std::wstring(L"and 1") + separator + L"234" + separator + L"567 more");
    EXPECT_EQ(VElementListCtrl::moreText(7), L"and 7 more");

    EXPECT_TRUE(list.key(VK_END));
    EXPECT_EQ(list.getSelectedIndex(), 2) << "End goes to the last result";
    EXPECT_TRUE(list.key(VK_DOWN));
    EXPECT_EQ(list.getSelectedIndex(), -1) << "Down from the last result steps into the edit box";
    EXPECT_FALSE(list.key(VK_RETURN)) << "nothing selected: Enter is the edit box's";
    moveMouseToRow(3);
    moveMouseToRow(3);
    EXPECT_EQ(list.getSelectedIndex(), -1) << "the mouse over it selects nothing";
    ::SendMessageA(list.getHwnd(), WM_LBUTTONDBLCLK, 0, MAKELPARAM(5, 3 * list.getRowHeight() + 2));
    EXPECT_TRUE(host.sent.empty()) << "a double click on it runs nothing";

    list.clear();
    EXPECT_EQ(list.getMoreCount(), 0u);
}

TEST_F(ActionList, TabListsTheActionsOfTheResultAndAgainTheAddressesTheEmailActionCanTake) {
    VElement* contact = new Contact("Ann", "ann@home.example", "ann@work.example");
    list.addElements(&contact, 1);
    VActionListCtrl& actions = list.getActionList();
    EXPECT_TRUE(list.key(VK_TAB));
    ASSERT_TRUE(actions.isOnScreen());
    EXPECT_EQ(actions.getResult(), contact);
    ASSERT_EQ(actions.getItems().size(), 2u) << "e-mail and copy; nothing to run";
    EXPECT_EQ(actions.getItems()[0].action, coreAction("email"));
    EXPECT_TRUE(actions.getItems()[0].offersProperties);
    EXPECT_EQ(actions.getSelectedIndex(), 0) << "no default action for a name: the first row";
    EXPECT_GE(windowRect(actions.getHwnd()).left, windowRect(list.getHwnd()).right) << "right of the row";

    EXPECT_TRUE(list.key(VK_TAB));
    VPropertyListCtrl& properties = actions.getPropertyList();
    ASSERT_TRUE(properties.isOnScreen());
    ASSERT_EQ(properties.getProperties().size(), 2u);
    EXPECT_EQ(properties.getProperties()[1]->getValue(), "ann@work.example");
    EXPECT_TRUE(list.key(VK_DOWN));
    EXPECT_EQ(properties.getSelectedIndex(), 1);
    EXPECT_EQ(actions.getSelectedIndex(), 0) << "navigation goes to the open property pop-up";

    EXPECT_TRUE(list.key(VK_ESCAPE));
    EXPECT_FALSE(properties.isOnScreen());
    EXPECT_TRUE(actions.isOnScreen());
    EXPECT_TRUE(list.key(VK_ESCAPE));
    EXPECT_FALSE(actions.isOnScreen());
    EXPECT_FALSE(list.key(VK_ESCAPE));
}

TEST_F(ActionList, MovingTheSelectionReopensThePopupForTheNewRowOrClosesIt) {
    VElement* two[] = {new Contact("Ann", "ann@example", ""), new FakeResult(nullptr, "plain text")};
    list.addElements(two, 2);
    ASSERT_TRUE(list.key(VK_TAB));
    VActionListCtrl& actions = list.getActionList();
    moveMouseToRow(0); // the move that follows a programmatic change is ignored
    moveMouseToRow(1);
    EXPECT_EQ(list.getSelectedIndex(), 1);
    ASSERT_TRUE(actions.isOnScreen());
    EXPECT_EQ(actions.getResult(), two[1]);
    ASSERT_EQ(actions.getItems().size(), 1u);
    EXPECT_EQ(actions.getItems()[0].property->getValue(), "plain text");

    list.select(-1);
    EXPECT_FALSE(actions.isOnScreen());
    EXPECT_EQ(actions.getResult(), nullptr);
}

TEST_F(ActionList, ClearingTheListClosesBothPopups) {
    VElement* contact = new Contact("Ann", "ann@home.example", "ann@work.example");
    list.addElements(&contact, 1);
    ASSERT_TRUE(list.key(VK_TAB));
    ASSERT_TRUE(list.key(VK_TAB));
    ASSERT_TRUE(list.getActionList().getPropertyList().isOnScreen());
    list.clear();
    EXPECT_FALSE(list.getActionList().isOnScreen());
    EXPECT_FALSE(list.getActionList().getPropertyList().isOnScreen());
    EXPECT_EQ(list.getActionList().getResult(), nullptr);
    EXPECT_EQ(Contact::alive, 0);
}

TEST_F(ActionList, EnterInThePropertyPopupSendsOneChoiceWhetherItFailsOrClearsTheList) {
    VElement* contact = new Contact("Ann", "ann@home.example", "ann@work.example");
    list.addElements(&contact, 1);
    ASSERT_TRUE(list.key(VK_TAB));
    ASSERT_TRUE(list.key(VK_TAB));
    host.onChoice = [](UINT) { return LRESULT(1); };
    EXPECT_TRUE(list.key(VK_RETURN));
    ASSERT_EQ(host.sent.size(), 1u) << "no second execution through the action pop-up";
    EXPECT_EQ(host.sent[0].message, UM_PROPERTYCHOSEN);
    EXPECT_EQ(reinterpret_cast<VProperty*>(host.sent[0].wParam)->getValue(), "ann@home.example");
    EXPECT_EQ(host.sent[0].lParam, reinterpret_cast<LPARAM>(coreAction("email")));

    host.onChoice = [this](UINT) {
        list.clear();
        return LRESULT(0);
    };
    EXPECT_TRUE(list.key(VK_RETURN));
    EXPECT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(Contact::alive, 0);
}

TEST_F(ActionList, RowsAreMeasuredAndDrawnWithTheNamesThemselves) {
    ASSERT_EQ(::GetACP(), static_cast<UINT>(CP_UTF8));
    DrawnTexts drawn(::GetModuleHandleW(L"VerbinoxCore.dll"));
    ASSERT_TRUE(drawn.installed());
    HDC dc = ::CreateCompatibleDC(nullptr);
    for (const ForeignName& name : foreignNames()) {
        VElement* result = new FakeResult(nullptr, name.narrow);
        list.addElements(&result, 1);
        DrawnTexts::texts().clear();
        ASSERT_TRUE(list.key(VK_TAB));
        const std::wstring row = L"Copy text to Clipboard: " + name.wide;
        EXPECT_TRUE(DrawnTexts::has(row)) << "measured for the pop-up's width";
        DrawnTexts::texts().clear();
        ::SendMessageW(list.getActionList().getHwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc),
                       PRF_CLIENT);
        EXPECT_TRUE(DrawnTexts::has(row)) << "painted";
        DrawnTexts::texts().clear();
        ::SendMessageW(list.getHwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        EXPECT_TRUE(DrawnTexts::has(name.wide)) << "the result's own row";
        list.clear();
    }
    ::DeleteDC(dc);
}

TEST_F(ActionList, OpensOnTheLeftWhenTheListTouchesTheScreensRightEdge) {
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    ::SetWindowPos(host.window, nullptr, work.right - 400, 100, 400, 24, SWP_NOZORDER | SWP_NOACTIVATE);
    VElement* result = new FakeResult(nullptr, "text");
    list.addElements(&result, 1);
    ASSERT_TRUE(list.key(VK_TAB));
    const RECT popup = windowRect(list.getActionList().getHwnd());
    const RECT rows = windowRect(list.getHwnd());
    EXPECT_EQ(rows.right, work.right);
    EXPECT_LE(popup.right, rows.left);
    EXPECT_GT(popup.right, popup.left);
}

TEST_F(ActionList, BesideAListAsWideAsTheScreenItStaysOnTheScreen) {
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    ::SetWindowPos(host.window, nullptr, work.left + 150, 100, work.right - work.left - 300, 24,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    VElement* result =
        new FakeResult(nullptr, "a name long enough to make the pop-up wider than the room beside");
    list.addElements(&result, 1);
    ASSERT_TRUE(list.key(VK_TAB));
    const RECT popup = windowRect(list.getActionList().getHwnd());
    EXPECT_GE(popup.left, work.left);
    EXPECT_LE(popup.right, work.right);
    EXPECT_GT(popup.right - popup.left, 150) << "wider than the room on either side";
}

TEST_F(ActionList, WithADefaultActionThatDoesNotApplyNothingIsSelectedAndEnterChoosesTheResult) {
    core->setDefaultAction(VProperty::TextType, coreAction("email"));
    VElement* result = new FakeResult(nullptr, "text");
    list.addElements(&result, 1);
    ASSERT_TRUE(list.key(VK_TAB));
    EXPECT_EQ(list.getActionList().getSelectedIndex(), -1);
    EXPECT_TRUE(list.key(VK_RETURN));
    ASSERT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(host.sent[0].message, UM_ELEMENTCHOSEN);
    EXPECT_EQ(host.sent[0].wParam, reinterpret_cast<WPARAM>(result));
}

} // namespace
