// What assistive technology reads of the results list and its pop-ups, through the platform's own
// entry points, and the colours the lists take under a high-contrast theme.
#include "support/CoreFixture.h"

#include "window/ListAccessible.h"
#include "window/ListWindow.h"
#include "window/VElementListCtrl.h"
#include "support/Canvas.h"
#include "support/MessagePump.h"
#include "util/HighContrast.h"

#include <oleacc.h>

#include <map>
#include <string>
#include <vector>

namespace {

// Stands in for the search window: a hidden strip with the edit box.
class Strip : public VFolderBrowseHost {
public:
    Strip() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "VxAccessibilityTestStrip";
        ::RegisterClassA(&wc);
        window = ::CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 100, 100, 400, 24, nullptr, nullptr,
                                   wc.hInstance, nullptr);
        edit = ::CreateWindowExA(0, "EDIT", "typed text", WS_CHILD | WS_VISIBLE, 0, 0, 400, 24, window,
                                 nullptr, wc.hInstance, nullptr);
        ::SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), 0);
    }
    ~Strip() { ::DestroyWindow(window); }
    bool isBrowseMode() const override { return false; }
    void setEditText(const std::string&) override {}

    HWND window;
    HWND edit;
};

// A result shown on two lines, leading to its own place.
class Document : public VResult {
public:
    Document(const std::string& name, const std::string& folder)
        : VResult(nullptr), name(name), folder(folder), path(VProperty::TextType, folder + "\\" + name) {
        addProperty(&path);
    }
    std::string getDisplayText() const override { return name; }
    std::string getDisplayText1() const override { return name; }
    std::string getDisplayText2() const override { return folder; }
    bool select() override { return true; }

private:
    std::string name, folder;
    VProperty path;
};

// Someone to write to: the e-mail action and the copy action both take them, and with a second
// address the e-mail action asks which.
class Person : public VResult {
public:
    Person(const std::string& who, const std::string& address, const std::string& other = "")
        : VResult(nullptr), name(VProperty::NameType, who), mail(VProperty::EmailType, address),
          otherMail(VProperty::EmailType, other) {
        addProperty(&name);
        addProperty(&mail);
        if (!other.empty())
            addProperty(&otherMail);
    }
    std::string getDisplayText() const override { return name.getValue(); }
    std::string getDisplayText1() const override { return name.getValue(); }
    std::string getDisplayText2() const override { return mail.getValue(); }
    bool select() override { return true; }

private:
    VProperty name, mail, otherMail;
};

VARIANT child(long id) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

struct Access {
    IAccessible* object = nullptr;
    explicit Access(HWND hwnd) {
        ::AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, kIidAccessible, reinterpret_cast<void**>(&object));
    }
    ~Access() {
        if (object)
            object->Release();
    }
    Access(const Access&) = delete;
    Access& operator=(const Access&) = delete;

    long count() const {
        long n = -1;
        object->get_accChildCount(&n);
        return n;
    }
    std::wstring name(long id) const {
        BSTR text = nullptr;
        object->get_accName(child(id), &text);
        std::wstring out = text ? text : L"";
        ::SysFreeString(text);
        return out;
    }
    long role(long id) const {
        VARIANT v;
        v.vt = VT_EMPTY;
        object->get_accRole(child(id), &v);
        return v.vt == VT_I4 ? v.lVal : -1;
    }
    long state(long id) const {
        VARIANT v;
        v.vt = VT_EMPTY;
        object->get_accState(child(id), &v);
        return v.vt == VT_I4 ? v.lVal : -1;
    }
    // The child id a getter answers, or 0 for none.
    long chosen(HRESULT (STDMETHODCALLTYPE IAccessible::*getter)(VARIANT*)) const {
        VARIANT v;
        v.vt = VT_EMPTY;
        (object->*getter)(&v);
        return v.vt == VT_I4 ? v.lVal : 0;
    }
};

struct Event {
    DWORD event;
    HWND hwnd;
    LONG child;
    bool operator==(const Event& other) const {
        return event == other.event && hwnd == other.hwnd && child == other.child;
    }
};
std::vector<Event> events;

void CALLBACK recordEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG childId, DWORD, DWORD) {
    if (object == OBJID_CLIENT)
        events.push_back({event, hwnd, childId});
}

class ListAccessibility : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        core->loadPrefs(nullptr); // the fonts
        ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
        ASSERT_TRUE(list.create(strip.window, strip.edit, &strip));
        events.clear();
    }
    void TearDown() override {
        if (hook)
            ::UnhookWinEvent(hook);
        list.clear();
        vx::setHighContrastHook(nullptr);
        ::CoUninitialize();
        CoreTest::TearDown();
    }
    void addDocuments() {
        VElement* rows[] = {new Document("report.pdf", "C:\\Docs"), new Document("notes.txt", "C:\\Docs"),
                            new Document("plan.doc", "D:\\Work")};
        list.addElements(rows, 3);
    }
    // This process's list events from now on, as an out-of-context hook receives them.
    void watchEvents() {
        hook = ::SetWinEventHook(EVENT_OBJECT_REORDER, EVENT_OBJECT_SELECTION, nullptr, &recordEvent,
                                 ::GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
        ASSERT_NE(hook, nullptr);
        pumpMessages(20);
        events.clear();
    }
    std::vector<Event> eventsSeen() {
        pumpMessages(50);
        std::vector<Event> seen;
        seen.swap(events);
        return seen;
    }

    Strip strip;
    VElementListCtrl list;
    HWINEVENTHOOK hook = nullptr;
};

bool contains(const std::vector<Event>& seen, const Event& wanted) {
    for (const Event& e : seen) {
        if (e == wanted)
            return true;
    }
    return false;
}

} // namespace

TEST_F(ListAccessibility, TheResultsListReadsBackAsAListOfItemsNamedByBothLines) {
    addDocuments();
    list.addMore(4812);
    Access access(list.getHwnd());
    ASSERT_NE(access.object, nullptr);
    EXPECT_EQ(access.role(CHILDID_SELF), ROLE_SYSTEM_LIST);
    EXPECT_EQ(access.name(CHILDID_SELF), L"Results");
    ASSERT_EQ(access.count(), 4) << "three results and the row of more";
    EXPECT_EQ(access.name(1), L"report.pdf, C:\\Docs");
    EXPECT_EQ(access.name(3), L"plan.doc, D:\\Work");
    EXPECT_EQ(access.role(2), ROLE_SYSTEM_LISTITEM);
    EXPECT_EQ(access.name(4), L"and 4,812 more");
    EXPECT_EQ(access.state(4) & STATE_SYSTEM_SELECTABLE, 0) << "no key or click reaches it";
    EXPECT_NE(access.state(3) & STATE_SYSTEM_SELECTABLE, 0);
    EXPECT_EQ(access.state(CHILDID_SELF) & STATE_SYSTEM_INVISIBLE, 0);

    list.suspend();
    EXPECT_NE(access.state(CHILDID_SELF) & STATE_SYSTEM_INVISIBLE, 0)
        << "kept mapped, but hidden by its region";
    EXPECT_NE(access.state(1) & STATE_SYSTEM_INVISIBLE, 0);

    list.clear();
    EXPECT_EQ(access.count(), 0) << "a client's object follows the list";
}

TEST_F(ListAccessibility, TheSelectedRowIsSelectedAndFocusedAndSelectingAChildMovesTheSelection) {
    addDocuments();
    list.select(1);
    Access access(list.getHwnd());
    ASSERT_NE(access.object, nullptr);
    const long selected = STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED;
    EXPECT_EQ(access.state(2) & selected, selected);
    EXPECT_EQ(access.state(1) & selected, 0);
    EXPECT_EQ(access.chosen(&IAccessible::get_accSelection), 2);
    EXPECT_EQ(access.chosen(&IAccessible::get_accFocus), 2);

    EXPECT_EQ(access.object->accSelect(SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION, child(3)), S_OK);
    EXPECT_EQ(list.getSelectedIndex(), 2);
    EXPECT_EQ(access.state(3) & selected, selected);

    list.select(-1);
    EXPECT_EQ(access.chosen(&IAccessible::get_accSelection), 0) << "the focus is the edit box's";
}

TEST_F(ListAccessibility, ARowIsLocatedWhereItIsDrawnAndAHitTestThereFindsIt) {
    addDocuments();
    Access access(list.getHwnd());
    ASSERT_NE(access.object, nullptr);
    long left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(access.object->accLocation(&left, &top, &width, &height, child(2)), S_OK);
    POINT origin{0, 0};
    ::ClientToScreen(list.getHwnd(), &origin);
    EXPECT_EQ(left, origin.x);
    EXPECT_EQ(top, origin.y + list.getRowHeight());
    EXPECT_EQ(height, list.getRowHeight());
    EXPECT_GT(width, 0);

    VARIANT hit;
    hit.vt = VT_EMPTY;
    ASSERT_EQ(access.object->accHitTest(left + 5, top + height / 2, &hit), S_OK);
    ASSERT_EQ(hit.vt, VT_I4);
    EXPECT_EQ(hit.lVal, 2);
}

TEST_F(ListAccessibility, ArrivingRowsAndAMovedSelectionRaiseEventsAndStepOffTheEndFocusesTheBox) {
    watchEvents();
    addDocuments();
    std::vector<Event> seen = eventsSeen();
    const HWND hwnd = list.getHwnd();
    EXPECT_TRUE(contains(seen, {EVENT_OBJECT_REORDER, hwnd, CHILDID_SELF}));
    EXPECT_TRUE(contains(seen, {EVENT_OBJECT_FOCUS, hwnd, 1})) << "a batch selects its first row";
    EXPECT_TRUE(contains(seen, {EVENT_OBJECT_SELECTION, hwnd, 1}));

    ASSERT_TRUE(list.key(VK_DOWN));
    seen = eventsSeen();
    EXPECT_TRUE(contains(seen, {EVENT_OBJECT_FOCUS, hwnd, 2}));
    EXPECT_TRUE(contains(seen, {EVENT_OBJECT_SELECTION, hwnd, 2}));
    EXPECT_FALSE(contains(seen, {EVENT_OBJECT_FOCUS, hwnd, 1}));

    ASSERT_TRUE(list.key(VK_UP));
    ASSERT_TRUE(list.key(VK_UP));
    seen = eventsSeen();
    EXPECT_TRUE(contains(seen, {EVENT_OBJECT_FOCUS, strip.edit, CHILDID_SELF})) << "back in the edit box";
}

TEST_F(ListAccessibility, TheActionPopupReadsBackItsActionsAndAnnouncesItsSelectionAndEscapeTheRowBehindIt) {
    VElement* person = new Person("Ann", "ann@example.com");
    list.addElements(&person, 1);
    watchEvents();
    ASSERT_TRUE(list.key(VK_TAB));
    VActionListCtrl& actions = list.getActionList();
    ASSERT_TRUE(actions.isOnScreen());
    ASSERT_GE(actions.getItems().size(), 2u);
    std::vector<Event> seen = eventsSeen();
    const long first = actions.getSelectedIndex() + 1;
    EXPECT_TRUE(contains(seen, {EVENT_OBJECT_FOCUS, actions.getHwnd(), first}));

    Access access(actions.getHwnd());
    ASSERT_NE(access.object, nullptr);
    EXPECT_EQ(access.role(CHILDID_SELF), ROLE_SYSTEM_LIST);
    EXPECT_EQ(access.count(), static_cast<long>(actions.getItems().size()));
    EXPECT_EQ(access.name(1),
              std::wstring(actions.getItems()[0].text.begin(), actions.getItems()[0].text.end()));
    EXPECT_EQ(access.role(1), ROLE_SYSTEM_LISTITEM);
    EXPECT_NE(access.state(first) & STATE_SYSTEM_SELECTED, 0);

    ASSERT_TRUE(list.key(VK_DOWN));
    seen = eventsSeen();
    const long next = actions.getSelectedIndex() + 1;
    EXPECT_NE(next, first);
    EXPECT_TRUE(contains(seen, {EVENT_OBJECT_FOCUS, actions.getHwnd(), next}));
    EXPECT_TRUE(contains(seen, {EVENT_OBJECT_SELECTION, actions.getHwnd(), next}));

    ASSERT_TRUE(list.key(VK_ESCAPE));
    ASSERT_FALSE(actions.isOnScreen());
    seen = eventsSeen();
    EXPECT_TRUE(contains(seen, {EVENT_OBJECT_FOCUS, list.getHwnd(), 1}))
        << "back on the row it was opened for";
}

namespace {

bool highContrastOn() {
    return true;
}

// Whether any pixel of the rectangle has the colour.
bool anyPixel(HDC dc, const RECT& r, COLORREF color) {
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            if (::GetPixel(dc, x, y) == color)
                return true;
        }
    }
    return false;
}

} // namespace

TEST_F(ListAccessibility, UnderHighContrastRowsAreUnshadedAndTheTextTakesTheSystemsColour) {
    const COLORREF chosen = RGB(250, 0, 0);
    core->setTextColor1(chosen);
    core->setTextColor2(chosen);
    addDocuments();
    list.select(0);
    const RECT client = Canvas::clientOf(list.getHwnd());
    const int h = list.getRowHeight();
    const RECT oddRow{0, h, client.right - 30, 2 * h};
    Canvas canvas(client.right, client.bottom);

    canvas.printClient(list.getHwnd());
    EXPECT_TRUE(anyPixel(canvas.dc, oddRow, chosen)) << "the user's colour, without high contrast";

    vx::setHighContrastHook(&highContrastOn);
    canvas.printClient(list.getHwnd());
    EXPECT_EQ(canvas.at(client.right - 40, h + h / 2), ::GetSysColor(COLOR_WINDOW));
    EXPECT_FALSE(anyPixel(canvas.dc, oddRow, chosen));
    EXPECT_TRUE(anyPixel(canvas.dc, oddRow, ::GetSysColor(COLOR_WINDOWTEXT)));
    EXPECT_EQ(canvas.at(client.right - 40, h / 2), ::GetSysColor(COLOR_HIGHLIGHT));
}

TEST_F(ListAccessibility, TheAddressPopupReadsBackAndEscapeFromItTheActionBehindIt) {
    VElement* person = new Person("Ann", "ann@home.example", "ann@work.example");
    list.addElements(&person, 1);
    ASSERT_TRUE(list.key(VK_TAB));
    VActionListCtrl& actions = list.getActionList();
    ASSERT_TRUE(actions.getItems().at(0).offersProperties);
    watchEvents();
    ASSERT_TRUE(list.key(VK_TAB));
    VPropertyListCtrl& addresses = actions.getPropertyList();
    ASSERT_TRUE(addresses.isOnScreen());
    std::vector<Event> seen = eventsSeen();
    EXPECT_TRUE(contains(seen, {EVENT_OBJECT_FOCUS, addresses.getHwnd(), 1}));
    {
        Access access(addresses.getHwnd());
        ASSERT_NE(access.object, nullptr);
        EXPECT_EQ(access.name(CHILDID_SELF), L"Properties");
        ASSERT_EQ(access.count(), 2);
        EXPECT_EQ(access.name(2), L"ann@work.example");
    }

    ASSERT_TRUE(list.key(VK_ESCAPE));
    ASSERT_FALSE(addresses.isOnScreen());
    seen = eventsSeen();
    EXPECT_TRUE(contains(seen, {EVENT_OBJECT_FOCUS, actions.getHwnd(), actions.getSelectedIndex() + 1}));
}

TEST_F(ListAccessibility, AChangeOfColoursOrOfTheHighContrastSettingRepaintsTheList) {
    addDocuments();
    const HWND hwnd = list.getHwnd();
    for (UINT message : {static_cast<UINT>(WM_SYSCOLORCHANGE), static_cast<UINT>(WM_SETTINGCHANGE)}) {
        ::ValidateRect(hwnd, nullptr);
        ::SendMessageA(hwnd, message, message == WM_SETTINGCHANGE ? SPI_SETHIGHCONTRAST : 0, 0);
        EXPECT_TRUE(::GetUpdateRect(hwnd, nullptr, FALSE)) << message;
    }
}

namespace {

// A theme's colours, as GetSysColor would answer them.
std::map<int, COLORREF> palette;
COLORREF paletteColor(int index) {
    const auto found = palette.find(index);
    return found != palette.end() ? found->second : RGB(1, 2, 3);
}

} // namespace

TEST(ListColors, TheThumbNeverTakesItsTracksColourAndHighContrastColoursAreTakenAsTheyAre) {
    const COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255), cyan = RGB(0, 255, 255);
    // A high-contrast theme whose shadows are its face colour.
    palette = {{COLOR_WINDOW, black},        {COLOR_WINDOWTEXT, white},        {COLOR_HIGHLIGHT, cyan},
               {COLOR_HIGHLIGHTTEXT, black}, {COLOR_GRAYTEXT, RGB(0, 255, 0)}, {COLOR_BTNFACE, black},
               {COLOR_BTNSHADOW, black},     {COLOR_3DDKSHADOW, black},        {COLOR_BTNTEXT, white}};
    VListColors contrast = listColors(true, &paletteColor);
    EXPECT_EQ(contrast.shaded, black);
    EXPECT_EQ(contrast.text, white);
    EXPECT_EQ(contrast.highlight, cyan);
    EXPECT_NE(contrast.thumb, contrast.track);
    EXPECT_NE(contrast.thumbDragged, contrast.track);

    // The same colours without high contrast: shaded rows, and still a thumb that shows.
    VListColors plain = listColors(false, &paletteColor);
    EXPECT_EQ(plain.shaded, RGB(10, 10, 10));
    EXPECT_NE(plain.thumb, plain.track);
    EXPECT_NE(plain.thumbDragged, plain.track);

    // Not even a fallback differs: the track's colour inverted.
    palette[COLOR_BTNTEXT] = black;
    palette[COLOR_WINDOWTEXT] = black;
    contrast = listColors(true, &paletteColor);
    EXPECT_EQ(contrast.thumb, white);
    EXPECT_NE(contrast.thumbDragged, contrast.track);
}
