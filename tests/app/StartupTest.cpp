#include "Startup.h"
#include "engine/VVerbinoxCore.h"
#include "model/VPreferences.h"
#include "support/CoreFixture.h"
#include "support/OwnWindow.h"
#include "support/ShellCapture.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <thread>

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        char old[1024];
        DWORD n = ::GetEnvironmentVariableA(name, old, sizeof(old));
        had_ = n > 0 && n < sizeof(old);
        if (had_)
            old_ = old;
        ::SetEnvironmentVariableA(name, value);
    }
    ~ScopedEnvironment() { ::SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

HWND hiddenWindow() {
    return ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
}

} // namespace

TEST(Startup, InstanceNamesFollowTheirScope) {
    const std::string base = "{FC48A9F6-3240-401f-B555-C7CB43CFF0B7}";
    std::string session = startup::uniqueInstanceName(base, startup::PerSession);
    ASSERT_EQ(session.size(), base.size() + 17) << session;
    EXPECT_EQ(session.compare(0, base.size() + 1, base + "-"), 0);
    EXPECT_EQ(session.find_first_not_of("0123456789abcdef", base.size() + 1), std::string::npos) << session;
    EXPECT_EQ(startup::uniqueInstanceName(base, startup::PerSession), session) << "stable within a session";
    EXPECT_GT(startup::uniqueInstanceName(base, startup::PerDesktop).size(), base.size() + 1);
    EXPECT_GT(startup::uniqueInstanceName(base, startup::PerUser).size(), base.size() + 2);
    EXPECT_EQ(startup::uniqueInstanceName(base, 3), base);
}

TEST(Startup, ASecondStartFindsOnlyTheWindowOfTheCopyThatMarkedItself) {
    // Unique per run: the mark is a named object of the session, and tests run side by side.
    const std::string name = "VerbinoxTestCopy-" + std::to_string(::GetCurrentProcessId());
    WNDCLASSW type{};
    type.lpfnWndProc = &::DefWindowProcW;
    type.hInstance = ::GetModuleHandleW(nullptr);
    type.lpszClassName = L"VerbinoxTestCopyWindow";
    ::RegisterClassW(&type);
    HWND titled =
        ::CreateWindowExW(0, L"STATIC", L"Verbinox", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(startup::findRunningCopy(name, type.lpszClassName, 0), nullptr) << "a window titled alike";
    HWND window = ::CreateWindowExW(0, type.lpszClassName, L"Verbinox", 0, 0, 0, 0, 0, nullptr, nullptr,
                                    type.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(startup::findRunningCopy(name, type.lpszClassName, 100), nullptr)
        << "a window of the class in a process that is not the running copy";
    ASSERT_TRUE(startup::markRunningCopy(name));
    EXPECT_EQ(startup::findRunningCopy(name, type.lpszClassName, 0), window);
    ::DestroyWindow(window);
    ::DestroyWindow(titled);
}

TEST(Startup, AnUnreadablePreferencesFileIsKeptAsBakAndNeverOverwritten) {
    TempFolder folder;
    const std::string file = folder.sub("Verbinox.xml");
    startup::PreferencesLoad outcome;
    EXPECT_EQ(startup::loadPreferences(file, outcome), nullptr);
    EXPECT_TRUE(outcome.firstRun) << "no file: a first run";
    EXPECT_FALSE(outcome.unreadable);
    EXPECT_EQ(startup::unreadableNotice(outcome), "");
    EXPECT_EQ(::GetFileAttributesA((file + ".bak").c_str()), INVALID_FILE_ATTRIBUTES);

    ASSERT_TRUE(folder.writeFile("Verbinox.xml.bak", "an older backup"));
    const std::string cut = "<Verbinox>\r\n    <Verbinox>\r\n        <Core MinSearchChars=\"2\">\r\n";
    ASSERT_TRUE(folder.writeFile("Verbinox.xml", cut));
    EXPECT_EQ(startup::loadPreferences(file, outcome), nullptr);
    EXPECT_TRUE(outcome.firstRun);
    EXPECT_TRUE(outcome.unreadable);
    EXPECT_TRUE(outcome.mayWrite);
    EXPECT_EQ(outcome.oldFile, file + ".bak");
    EXPECT_EQ(startup::unreadableNotice(outcome),
              "Verbinox could not read its settings file. It was kept as " + file +
                  ".bak; the settings start afresh.");
    EXPECT_EQ(folder.readFile("Verbinox.xml.bak"), cut) << "the cut file replaced the older backup";
    EXPECT_EQ(::GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES) << "the exit writes a fresh file";

    ASSERT_TRUE(folder.writeFile("Verbinox.xml",
                                 "<Verbinox><Verbinox><Window HotKey=\"65\" /></Verbinox></Verbinox>"));
    VPreferencesNode* root = startup::loadPreferences(file, outcome);
    ASSERT_NE(root, nullptr);
    EXPECT_FALSE(outcome.firstRun);
    EXPECT_FALSE(outcome.unreadable);
    EXPECT_NE(root->getChild("Verbinox")->getChild("Window"), nullptr);
    root->deleteThis();
}

TEST(Startup, APreferencesFileHeldForAMomentIsReadOnceItIsLetGo) {
    TempFolder folder;
    const std::string file = folder.sub("Verbinox.xml");
    ASSERT_TRUE(folder.writeFile("Verbinox.xml", "<Verbinox><Verbinox /></Verbinox>"));
    // A scanner that looks at the file for a moment as the program starts.
    HANDLE held =
        ::CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread scanner([held] {
        ::Sleep(150);
        ::CloseHandle(held);
    });
    startup::PreferencesLoad outcome;
    VPreferencesNode* root = startup::loadPreferences(file, outcome);
    scanner.join();
    ASSERT_NE(root, nullptr);
    EXPECT_FALSE(outcome.unreadable);
    root->deleteThis();
}

TEST(Startup, ShortcutsFollowTheirSettingAndNeedTheirFolder) {
    ::CoInitialize(nullptr);
    TempFolder folder;
    {
        ScopedEnvironment unset("APPDATA", "");
        EXPECT_EQ(startup::quickLaunchShortcutPath(), "");
        EXPECT_FALSE(startup::syncShortcut(startup::quickLaunchShortcutPath(), true, "C:\\x.exe", "C:\\"));
    }
    ScopedEnvironment appData("APPDATA", folder.path().c_str());
    const std::string quick = startup::quickLaunchShortcutPath();
    EXPECT_EQ(quick, folder.sub("Microsoft\\Internet Explorer\\Quick Launch\\Verbinox.lnk"));
    EXPECT_FALSE(startup::syncShortcut(quick, true, "C:\\x.exe", "C:\\")) << "its folder does not exist yet";
    for (const char* d :
         {"Microsoft", "Microsoft\\Internet Explorer", "Microsoft\\Internet Explorer\\Quick Launch"})
        ASSERT_TRUE(folder.makeDir(d));
    const std::string program = programFolder() + "vx_app_tests.exe";
    EXPECT_TRUE(startup::syncShortcut(quick, true, program, programFolder()));
    EXPECT_TRUE(startup::shortcutExists(quick));
    EXPECT_TRUE(startup::syncShortcut(quick, false, program, programFolder()));
    EXPECT_FALSE(startup::shortcutExists(quick));
    EXPECT_FALSE(startup::startupShortcutPath().empty());
    EXPECT_NE(startup::startupShortcutPath().find("\\Verbinox.lnk"), std::string::npos);
    ::CoUninitialize();
}

TEST(Startup, ATakenHotKeyFallsBackToAltOnlyOnAFirstRun) {
    HWND holder = hiddenWindow(), program = hiddenWindow();
    ASSERT_TRUE(::RegisterHotKey(holder, 1, MOD_CONTROL, VK_F9));
    UINT modifiers = MOD_CONTROL;
    EXPECT_FALSE(startup::registerHotKey(program, modifiers, VK_F9, false));
    EXPECT_EQ(modifiers, static_cast<UINT>(MOD_CONTROL)) << "a combination from the file is not changed";
    EXPECT_TRUE(startup::registerHotKey(program, modifiers, VK_F9, true));
    EXPECT_EQ(modifiers, static_cast<UINT>(MOD_ALT)) << "and Alt is what the file will record";
    ::UnregisterHotKey(program, 1);
    ::UnregisterHotKey(holder, 1);
    ::DestroyWindow(program);
    ::DestroyWindow(holder);
}

namespace {

// Waits for the program's message box, keeps its text and default button, and presses button.
struct MessageBoxAnswer {
    std::string text;
    int defaultButton = 0;
};
MessageBoxAnswer answerMessageBox(int button) {
    MessageBoxAnswer seen;
    for (int waited = 0; waited < 20000; waited += 20) {
        if (HWND box = findOwnWindow("#32770", "Verbinox")) {
            char text[2048] = {};
            ::GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
            seen.text = text;
            // Wine's box answers DM_GETDEFID with IDOK whatever it shows: the button's style tells.
            for (int id : {IDYES, IDNO}) {
                const LONG style = ::GetWindowLongA(::GetDlgItem(box, id), GWL_STYLE);
                if ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                    seen.defaultButton = id;
            }
            ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
            return seen;
        }
        ::Sleep(20);
    }
    return seen;
}

class UrlConfirmation : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        previous = VVerbinoxCore::setUrlConfirmHook(&startup::confirmUrlOpening);
    }
    void TearDown() override {
        VVerbinoxCore::setUrlConfirmHook(previous);
        CoreTest::TearDown();
    }
    VVerbinoxCore::UrlConfirmHook previous = nullptr;
    ShellCapture shell;
};

} // namespace

TEST_F(UrlConfirmation, AnAddressThatMayStartAProgramOpensOnlyAfterYesInABoxNamingIt) {
    const std::string risky = "search-ms:query=report&crumb=location:\\\\files.example\\share";
    MessageBoxAnswer no;
    std::thread user([&] { no = answerMessageBox(IDNO); });
    EXPECT_FALSE(core->openUrl(risky, "", VVerbinoxCore::UrlOrigin::DataFile));
    user.join();
    EXPECT_NE(no.text.find("\n" + risky + "\n"), std::string::npos) << no.text;
    EXPECT_NE(no.text.find("may start a program"), std::string::npos) << no.text;
    EXPECT_EQ(no.defaultButton, IDNO) << "Enter must not open it";
    EXPECT_TRUE(ShellCapture::requests().empty());

    user = std::thread([] { answerMessageBox(IDYES); });
    EXPECT_TRUE(core->openUrl("ms-msdt:/id PCWDiagnostic", "", VVerbinoxCore::UrlOrigin::DataFile));
    user.join();
    ASSERT_EQ(ShellCapture::requests().size(), 1u);
    EXPECT_EQ(ShellCapture::requests()[0].file, "ms-msdt:/id PCWDiagnostic");
}

namespace {

// What a result that goes while the box asks does to the address it held.
std::string* heldAddress = nullptr;
void CALLBACK overwriteHeldAddress(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    *heldAddress = "https://elsewhere.example/";
}

} // namespace

TEST_F(UrlConfirmation, TheAddressOpenedIsTheOneAskedAboutWhateverHappensToItsOwnerMeanwhile) {
    std::string address = "ms-msdt:/id PCWDiagnostic";
    heldAddress = &address;
    // Runs inside the box's message loop, as anything the window receives meanwhile would.
    ASSERT_NE(::SetTimer(nullptr, 0, 10, &overwriteHeldAddress), 0u);
    std::thread user([] {
        ::Sleep(300);
        answerMessageBox(IDYES);
    });
    EXPECT_TRUE(core->openUrl(address, "", VVerbinoxCore::UrlOrigin::DataFile));
    user.join();
    EXPECT_EQ(address, "https://elsewhere.example/") << "the timer ran while the box asked";
    ASSERT_EQ(ShellCapture::requests().size(), 1u);
    EXPECT_EQ(ShellCapture::requests()[0].file, "ms-msdt:/id PCWDiagnostic");
}
