#include "window/CommandLine.h"
#include "window/Messages.h"
#include "model/VPreferences.h"
#include "support/ForeignNames.h"
#include "support/MessagePump.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

namespace {

// The search window's part: records the private messages and answers the mode questions.
class Host : public VCommandLineOwner, public VEditBoxResultsList {
public:
    Host() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &Host::proc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "VxCommandLineHost";
        ::RegisterClassA(&wc);
        window = ::CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPEDWINDOW, 0, 0, 300, 60, nullptr,
                                   nullptr, wc.hInstance, this);
        HWND edit = ::CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0, 200, 20,
                                      window, reinterpret_cast<HMENU>(1000), wc.hInstance, nullptr);
        attached = line.attach(edit, this, this);
    }
    ~Host() { ::DestroyWindow(window); }

    bool isSearchingMode() const override { return mode == 1; }
    bool isActionMode() const override { return mode == 2; }
    bool isBrowseMode() const override { return mode == 3; }
    void resetSearch(bool clear) override {
        resets.push_back(clear);
        if (clear)
            line.setTextProgrammatically("");
        mode = 0;
    }
    void textEdited() override { ++edits; }
    bool onListKey(UINT key) override {
        listKeys.push_back(key);
        return listTakes;
    }
    bool onListWheel(int delta) override {
        wheels.push_back(delta);
        return listTakes;
    }
    void loadListPrefs(const VPreferencesNode* commandLine) override { listLoadedFrom = commandLine; }
    void saveListPrefs(VPreferencesNode* commandLine) const override {
        commandLine->addChild(VPreferencesNode::createInstance("List"));
    }

    // Keys as the message loop delivers them: key down, then the character TranslateMessage makes.
    void press(UINT key, char character = 0) {
        ::SendMessageA(line.getHwnd(), WM_KEYDOWN, key, 1);
        if (character)
            ::SendMessageA(line.getHwnd(), WM_CHAR, static_cast<unsigned char>(character), 1);
    }
    int count(UINT message) const {
        int n = 0;
        for (UINT m : messages)
            n += m == message;
        return n;
    }

    HWND window = nullptr;
    VCommandLine line;
    bool attached = false;
    int mode = 0;
    int edits = 0;
    bool listTakes = false;
    std::vector<UINT> messages;
    std::vector<bool> resets;
    std::vector<UINT> listKeys;
    std::vector<int> wheels;
    const VPreferencesNode* listLoadedFrom = nullptr;

private:
    static LRESULT CALLBACK proc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE)
            ::SetWindowLongPtrA(
                w, GWLP_USERDATA,
                reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
        auto* self = reinterpret_cast<Host*>(::GetWindowLongPtrA(w, GWLP_USERDATA));
        if (self && message >= UM_TEXTCHANGED && message <= UM_PROPERTYCHOSEN) {
            EXPECT_EQ(lParam, 1000) << "the sender's control identifier";
            self->messages.push_back(message);
            return 0;
        }
        if (self && message == WM_COMMAND && HIWORD(wParam) == EN_CHANGE)
            self->line.onTextChanged();
        return ::DefWindowProcA(w, message, wParam, lParam);
    }
};

} // namespace

TEST(CommandLine, FiveQuickKeystrokesGiveOneSettledTextMessage) {
    Host host;
    ASSERT_TRUE(host.attached);
    host.line.setDelay(150);
    for (char c : std::string("notes")) {
        host.press(c, c);
        pumpMessages(20);
    }
    EXPECT_EQ(host.count(UM_TEXTCHANGED), 0) << "not while typing";
    pumpMessages(400);
    EXPECT_EQ(host.count(UM_TEXTCHANGED), 1);
    EXPECT_EQ(host.line.getText(), "notes");
}

TEST(CommandLine, TextSetByTheProgramStartsNothingAndBrowseModeNotifiesAtOnce) {
    Host host;
    host.line.setDelay(0);
    host.line.setTextProgrammatically("Loading...");
    pumpMessages(100);
    EXPECT_EQ(host.count(UM_TEXTCHANGED), 0);
    host.mode = 3;
    host.press('x', 'x');
    EXPECT_EQ(host.count(UM_TEXTCHANGED), 1) << "browsing lists at every keystroke, without the delay";
}

TEST(CommandLine, TypedNamesComeBackInTheProgramsCodePageAndNamesSetShowAsThemselves) {
    ASSERT_EQ(::GetACP(), static_cast<UINT>(CP_UTF8));
    Host host;
    // A Unicode edit box, as the search window's template makes it.
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 20, 200, 20,
                                  host.window, reinterpret_cast<HMENU>(1000), nullptr, nullptr);
    VCommandLine line;
    ASSERT_TRUE(line.attach(edit, &host, &host));
    for (const ForeignName& name : foreignNames()) {
        line.setTextProgrammatically("");
        for (wchar_t unit : name.wide) // an emoji arrives as its two surrogates
            ::SendMessageW(edit, WM_CHAR, unit, 1);
        EXPECT_EQ(line.getText(), name.narrow);
        line.setTextProgrammatically(name.narrow + " x");
        wchar_t shown[64] = {};
        ::GetWindowTextW(edit, shown, 64);
        EXPECT_EQ(shown, name.wide + L" x");
    }
}

TEST(CommandLine, ControlBackspaceEmptiesAndCancelsInOneStepWithoutAControlCharacter) {
    Host host;
    host.line.setTextProgrammatically("notes");
    host.mode = 1;
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    ::SetKeyboardState(keys);
    host.press(VK_BACK, 0x7F); // Ctrl+Backspace's character is DEL
    keys[VK_CONTROL] = 0;
    ::SetKeyboardState(keys);
    EXPECT_EQ(host.resets, std::vector<bool>{true});
    EXPECT_EQ(host.line.getText(), "") << "nothing inserted after the reset";

    host.line.setTextProgrammatically("note");
    ::SendMessageA(host.line.getHwnd(), EM_SETSEL, 4, 4);
    host.mode = 1;
    host.press(VK_BACK, '\b');
    EXPECT_EQ(host.resets, (std::vector<bool>{true, false}));
    EXPECT_EQ(host.line.getText(), "not") << "plain Backspace deletes as usual";

    host.mode = 2;
    host.line.setTextProgrammatically("");
    host.press(VK_BACK, '\b');
    EXPECT_EQ(host.count(UM_ESCAPE), 1) << "Backspace on an empty argument leaves action mode";
}

TEST(CommandLine, CommandKeysGoToTheListFirstAndNavigationOnlyToIt) {
    Host host;
    host.press(VK_RETURN, '\r');
    host.press(VK_ESCAPE, 0x1B);
    host.press(VK_TAB, '\t');
    EXPECT_EQ(host.messages, (std::vector<UINT>{UM_ENTER, UM_ESCAPE, UM_TAB}));
    EXPECT_EQ(host.line.getText(), "") << "no tab or line break typed into the box";
    host.listTakes = true;
    host.press(VK_RETURN, '\r');
    host.press(VK_DOWN);
    EXPECT_EQ(host.messages.size(), 3u) << "the list took Enter";
    EXPECT_EQ(host.listKeys, (std::vector<UINT>{VK_RETURN, VK_ESCAPE, VK_TAB, VK_RETURN, VK_DOWN}));
}

TEST(CommandLine, WordAndSelectionKeysStayInTheBoxAndHomeEndReachTheListOnlyWithControl) {
    Host host;
    host.listTakes = true;
    host.line.setTextProgrammatically("one two");
    ::SendMessageA(host.line.getHwnd(), EM_SETSEL, 7, 7);
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    const auto hold = [&](int key, bool down) {
        keys[key] = down ? 0x80 : 0;
        ::SetKeyboardState(keys);
    };
    hold(VK_CONTROL, true);
    host.press(VK_LEFT);
    hold(VK_CONTROL, false);
    DWORD start = 0, end = 0;
    ::SendMessageA(host.line.getHwnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 4u) << "Control+Left went a word back";
    hold(VK_SHIFT, true);
    host.press(VK_RIGHT);
    host.press(VK_HOME);
    hold(VK_SHIFT, false);
    host.press(VK_END);
    EXPECT_TRUE(host.listKeys.empty());

    host.press(VK_LEFT);
    hold(VK_CONTROL, true);
    host.press(VK_HOME);
    host.press(VK_END);
    hold(VK_CONTROL, false);
    EXPECT_EQ(host.listKeys, (std::vector<UINT>{VK_LEFT, VK_HOME, VK_END}));
}

TEST(CommandLine, WhileTheTextSettlesEnterAndTabGoToTheWindowAndNoRowCanBePicked) {
    Host host;
    host.listTakes = true;
    host.line.setDelay(5000);
    host.press('x', 'x');
    EXPECT_EQ(host.edits, 1);
    EXPECT_TRUE(host.line.isSettling());
    host.press(VK_DOWN);
    host.press(VK_RETURN, '\r');
    host.press(VK_TAB, '\t');
    EXPECT_TRUE(host.listKeys.empty()) << "the list shows what an older text found";
    EXPECT_EQ(host.messages, (std::vector<UINT>{UM_ENTER, UM_TAB})) << "one message per key";
    EXPECT_EQ(host.line.getText(), "x");
    host.line.stopTypingTimer();
    host.press(VK_RETURN, '\r');
    EXPECT_EQ(host.listKeys, std::vector<UINT>{VK_RETURN}) << "settled, the list is offered Enter again";
}

TEST(CommandLine, DelayAndTheListsNodeLiveInCommandLine) {
    Host host;
    host.line.setDelay(250);
    VPreferencesNode* window = VPreferencesNode::createInstance("Window");
    host.line.savePrefs(window);
    VPreferencesNode* node = window->getChild("CommandLine");
    ASSERT_NE(node, nullptr);
    int delay = 0;
    EXPECT_TRUE(node->getParam("Delay", delay));
    EXPECT_EQ(delay, 250);
    EXPECT_NE(node->getChild("List"), nullptr);
    Host other;
    other.line.loadPrefs(window);
    EXPECT_EQ(other.line.getDelay(), 250);
    EXPECT_EQ(other.listLoadedFrom, node);
    window->deleteThis();
}
