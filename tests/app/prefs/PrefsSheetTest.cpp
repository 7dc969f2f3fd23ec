// The preferences sheet of the real search window, made without a loop of its own and driven by
// messages on this thread; message boxes and the font dialog answer through hooks.
#include "prefs/PrefsPageGeneral.h"
#include "prefs/PrefsPagePlugins.h"
#include "prefs/PrefsPageSearching.h"
#include "prefs/PrefsPageShortcuts.h"
#include "prefs/PrefsSheet.h"
#include "window/Dpi.h"
#include "window/SearchWindow.h"
#include "Startup.h"
#include "model/VAction.h"
#include "res/prefs_resource.h"
#include "res/resource.h"
#include "util/SystemText.h"
#include "support/BalloonCapture.h"
#include "support/CoreFixture.h"
#include "support/ForeignNames.h"
#include "support/TempFolder.h"
#include "support/Watchdog.h"
#include "support/MessagePump.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>

namespace {

// Hot-keys are shared by every process on the desktop: these tests keep to Ctrl+Alt+Shift with keys
// nothing else here uses (F14 at start).
const UINT kMods = MOD_CONTROL | MOD_ALT | MOD_SHIFT;
const UINT kStartKey = VK_F14;

std::vector<std::string> boxes;
int boxAnswer = IDYES;
int answerBox(HWND, const char* text, UINT) {
    boxes.push_back(text);
    return boxAnswer;
}
void captureWindowBox(const char* text) {
    boxes.push_back(text);
}

bool chooseCourier(HWND, LOGFONTA& font, COLORREF& color) {
    font = LOGFONTA{};
    font.lfHeight = -20;
    font.lfWeight = FW_BOLD;
    std::strcpy(font.lfFaceName, "Courier New");
    color = RGB(200, 0, 0);
    return true;
}

// A Japanese face name, as the font dialog gives it.
const wchar_t kGothic[] = L"\uFF2D\uFF33 \u30B4\u30B7\u30C3\u30AF";
bool chooseGothic(HWND, LOGFONTA& font, COLORREF&) {
    font = LOGFONTA{};
    font.lfHeight = -16;
    std::strcpy(font.lfFaceName, vx::narrowed(kGothic).c_str());
    return true;
}

class PlainAction : public VAction {
public:
    explicit PlainAction(const std::string& name)
        : VAction(name, name, "Does nothing at all, at length", nullptr) {}
    bool execute(const std::string&) override { return true; }
};

class ScopedAppData {
public:
    explicit ScopedAppData(const std::string& value) {
        char old[1024];
        const DWORD n = ::GetEnvironmentVariableA("APPDATA", old, sizeof(old));
        had = n > 0 && n < sizeof(old);
        if (had)
            previous = old;
        ::SetEnvironmentVariableA("APPDATA", value.c_str());
    }
    ~ScopedAppData() { ::SetEnvironmentVariableA("APPDATA", had ? previous.c_str() : nullptr); }

private:
    bool had = false;
    std::string previous;
};

class PrefsSheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Hot-keys are global to the desktop, and CTest runs each test in a process of its own, side by
        // side: two of these tests registering Ctrl+Alt+Shift+F14 at once would fail each other.
        hotKeyTurn = ::CreateMutexA(nullptr, FALSE, "Local\\VerbinoxPrefsSheetTestHotKeys");
        ASSERT_NE(hotKeyTurn, nullptr);
        const DWORD waited = ::WaitForSingleObject(hotKeyTurn, 150000);
        ASSERT_TRUE(waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) << "another test kept the hot-keys";
        ownsTurn = true;
        FakeCounters::reset();
        boxes.clear();
        boxAnswer = IDYES;
        previousWindowHook = CVerbinoxDlg::setMessageHook(&captureWindowBox);
        previousBoxHook = PrefsPage::setMessageBoxHook(&answerBox);
        previousChooser = PrefsPageGeneral::setFontChooser(&chooseCourier);
        VVerbinoxCore* core = VVerbinoxCore::instance();
        core->setPluginsPath(core->getAppLocation() + "no-plugins-here\\");
        ASSERT_TRUE(folder.writeFile("Verbinox.xml", "<Verbinox><Verbinox><Window HotKey=\"" +
                                                         std::to_string(kStartKey) + "\" HotKeyModifier=\"" +
                                                         std::to_string(kMods) +
                                                         "\" HideOnDeactivate=\"false\" />"
                                                         "</Verbinox></Verbinox>"));
        for (const char* d : {"AppData", "AppData\\Microsoft", "AppData\\Microsoft\\Internet Explorer",
                              "AppData\\Microsoft\\Internet Explorer\\Quick Launch"})
            ASSERT_TRUE(folder.makeDir(d));
    }
    void TearDown() override {
        if (dialog)
            close();
        CVerbinoxDlg::setMessageHook(previousWindowHook);
        PrefsPage::setMessageBoxHook(previousBoxHook);
        PrefsPageGeneral::setFontChooser(previousChooser);
        EXPECT_EQ(FakeCounters::results.load(), 0) << "results leaked";
        EXPECT_EQ(FakeCounters::indexers.load(), 0) << "indexers leaked";
        EXPECT_EQ(VIndexer::getRunningWorkerCount(), 0) << "workers still running";
        if (ownsTurn)
            ::ReleaseMutex(hotKeyTurn);
        if (hotKeyTurn)
            ::CloseHandle(hotKeyTurn);
    }

    void open() {
        dialog.reset(new CVerbinoxDlg());
        dialog->setPreferencesPath(folder.sub("Verbinox.xml"));
        ASSERT_TRUE(dialog->create(nullptr));
        dialog->getCommandLine().setDelay(0);
        pumpMessages(50);
        ASSERT_TRUE(dialog->isHotKeyRegistered());
    }
    void close() {
        dialog->exit();
        dialog.reset();
    }
    PrefsSheet* openSheet() {
        PrefsSheet* sheet = dialog->createPreferences();
        EXPECT_NE(sheet, nullptr);
        return sheet;
    }
    VVerbinoxCore* core() const { return VVerbinoxCore::instance(); }
    static HWND control(PrefsPage* page, int id) { return ::GetDlgItem(page->getHwnd(), id); }
    // What a click on a check box does: the box changes, then its page hears of it.
    static void setCheck(PrefsPage* page, int id, bool checked) {
        ::CheckDlgButton(page->getHwnd(), id, checked ? BST_CHECKED : BST_UNCHECKED);
        ::SendMessageW(page->getHwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(control(page, id)));
    }
    static void setText(PrefsPage* page, int id, const char* text) {
        ::SetDlgItemTextA(page->getHwnd(), id, text);
    }
    static std::string text(PrefsPage* page, int id) {
        char buffer[256] = {};
        ::GetDlgItemTextA(page->getHwnd(), id, buffer, sizeof(buffer));
        return buffer;
    }
    static void keyDown(PrefsPage* page, UINT key) {
        ::SendMessageW(control(page, IDC_PREFS_HOTKEY), WM_KEYDOWN, key, 1);
    }
    // OK as the button gives it: true when the sheet closed.
    bool pressOk(PrefsSheet* sheet) {
        HWND window = sheet->getHwnd();
        ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return !::IsWindow(window);
    }
    void assignShortcut(PrefsPageShortcuts* page, const std::string& action, const char* shortcut) {
        const int row = page->findRow(action);
        ASSERT_GE(row, 0) << action;
        page->selectRow(row);
        setText(page, IDC_PREFS_SHORTCUT, shortcut);
        ::SendMessageW(page->getHwnd(), WM_COMMAND, MAKEWPARAM(IDC_PREFS_ASSIGN, BN_CLICKED),
                       reinterpret_cast<LPARAM>(control(page, IDC_PREFS_ASSIGN)));
    }
    // A key pressed in control as the sheet's modal loop hands it on: to the dialog manager first, and
    // the character the key makes after it. False when the sheet closed.
    static bool pressKey(PrefsSheet* sheet, HWND control, UINT key) {
        HWND window = sheet->getHwnd();
        ::SetFocus(control);
        MSG msg{control, WM_KEYDOWN, key, 1, 0, {}};
        if (!::IsDialogMessageW(window, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        while (::PeekMessageW(&msg, nullptr, WM_CHAR, WM_CHAR, PM_REMOVE)) {
            if (!::IsWindow(window) || !::IsDialogMessageW(window, &msg))
                ::DispatchMessageW(&msg);
        }
        return ::IsWindow(window) != FALSE;
    }
    std::string quickLaunchShortcut() const {
        return folder.sub("AppData\\Microsoft\\Internet Explorer\\Quick Launch\\Verbinox.lnk");
    }
    // Changes something on every page, as the user would before pressing OK or Cancel.
    void changeEveryPage(PrefsSheet* sheet) {
        PrefsPage* general = sheet->getGeneralPage();
        ASSERT_NE(general, nullptr) << "the first page shows at once";
        setCheck(general, IDC_PREFS_QUICKLAUNCH, true);
        setCheck(general, IDC_PREFS_AUTOHIDE, false);
        setCheck(general, IDC_PREFS_HIDEONDEACTIVATE, true);
        setCheck(general, IDC_PREFS_ALWAYSSHOWLIST, true);
        setCheck(general, IDC_PREFS_SHOWICONS, false);
        setCheck(general, IDC_PREFS_TWOLINES, false);
        setCheck(general, IDC_PREFS_UPDATESONSTART, false);
        setCheck(general, IDC_PREFS_PLUGINSBROWSER, true);
        keyDown(general, VK_F15);
        sheet->getGeneralPage()->chooseFont(IDC_PREFS_FONTLINE1);

        sheet->selectPage(PrefsSheet::Searching);
        PrefsPage* searching = sheet->getSearchingPage();
        ASSERT_NE(searching, nullptr);
        setCheck(searching, IDC_PREFS_OFFLINE, false);
        setCheck(searching, IDC_PREFS_REALTIME, true);
        setCheck(searching, IDC_PREFS_CASESENSITIVE, true);
        setCheck(searching, IDC_PREFS_STRINGSTART, true);
        setCheck(searching, IDC_PREFS_TITLESONLY, true);
        setCheck(searching, IDC_PREFS_MATCHAFTERBLANK, true);
        setText(searching, IDC_PREFS_MINCHARS, "5");
        ::SendMessageW(control(searching, IDC_PREFS_DELAY), TBM_SETPOS, TRUE, 300);

        sheet->selectPage(PrefsSheet::Shortcuts);
        ASSERT_NE(sheet->getShortcutsPage(), nullptr);
        assignShortcut(sheet->getShortcutsPage(), "Copy", "cc");
    }

    TempFolder folder;
    ScopedAppData appData{folder.sub("AppData")};
    std::unique_ptr<CVerbinoxDlg> dialog;
    CVerbinoxDlg::MessageHook previousWindowHook = nullptr;
    PrefsPage::MessageBoxHook previousBoxHook = nullptr;
    PrefsPageGeneral::FontChooser previousChooser = nullptr;
    HANDLE hotKeyTurn = nullptr;
    bool ownsTurn = false;
};

// The timer callback of the modal test: what it saw while the sheet's own loop ran.
CVerbinoxDlg* modalWindow = nullptr;
bool sheetWasOpen = false, windowShownByHotKey = false, treeHadFocus = false;
void CALLBACK whileModal(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    PrefsSheet* sheet = modalWindow->getOpenPreferences();
    sheetWasOpen = sheet != nullptr;
    treeHadFocus = sheet && ::GetFocus() == ::GetDlgItem(sheet->getHwnd(), IDC_PREFS_TREE);
    ::SendMessageW(modalWindow->getHwnd(), WM_HOTKEY, 1, 0);
    windowShownByHotKey = ::IsWindowVisible(modalWindow->getHwnd()) != FALSE;
    if (sheet)
        ::PostMessageW(sheet->getHwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

} // namespace

TEST_F(PrefsSheetTest, OkAppliesTheSettingsOfEveryPageThatWasShown) {
    open();
    PrefsSheet* sheet = openSheet();
    changeEveryPage(sheet);
    ASSERT_TRUE(pressOk(sheet));
    EXPECT_EQ(dialog->getOpenPreferences(), nullptr);

    const VWindowSettings& settings = dialog->getSettings();
    EXPECT_TRUE(startup::shortcutExists(quickLaunchShortcut()));
    EXPECT_FALSE(settings.autoHide);
    EXPECT_TRUE(::IsWindowVisible(dialog->getHwnd())) << "turning auto-hide off shows the window";
    EXPECT_TRUE(settings.hideOnDeactivate);
    EXPECT_TRUE(settings.alwaysShowList);
    EXPECT_FALSE(dialog->getList().getShowIcons());
    EXPECT_FALSE(dialog->getList().getTwoLines());
    EXPECT_EQ(dialog->getList().getRowHeight(), dialog->getList().computeRowHeight(false));
    EXPECT_FALSE(settings.checkForUpdates);
    EXPECT_TRUE(core()->getOpenUrlsInPluginsBrowser());
    EXPECT_EQ(settings.hotKey, static_cast<UINT>(VK_F15));
    EXPECT_EQ(settings.hotKeyModifier, kMods);
    EXPECT_TRUE(dialog->isHotKeyRegistered());
    LOGFONTA font{};
    ASSERT_TRUE(core()->getFont1(&font));
    EXPECT_STREQ(font.lfFaceName, "Courier New");
    EXPECT_EQ(core()->getTextColor1(), RGB(200, 0, 0));

    EXPECT_TRUE(core()->getLiveSearching());
    EXPECT_TRUE(core()->getSearchCaseSensitive());
    EXPECT_TRUE(core()->getSearchStringStart());
    EXPECT_TRUE(core()->getSearchUrlDescriptionsOnly());
    EXPECT_TRUE(dialog->getMatchActionsAfterBlank());
    EXPECT_EQ(core()->getSearchMinChars(), 5);
    EXPECT_EQ(dialog->getCommandLine().getDelay(), 300);

    VAction* copy = core()->getAction("cc", true);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getName(), "Copy");
}

TEST_F(PrefsSheetTest, FontButtonsDrawTheirLabelsAndTheChosenFacesAsThemselves) {
    ASSERT_EQ(::GetACP(), static_cast<UINT>(CP_UTF8));
    DrawnTexts drawn(::GetModuleHandleW(L"VerbinoxCore.dll"));
    ASSERT_TRUE(drawn.installed());
    PrefsPageGeneral::setFontChooser(&chooseGothic);
    open();
    PrefsSheet* sheet = openSheet();
    PrefsPageGeneral* general = sheet->getGeneralPage();
    HWND button = control(general, IDC_PREFS_FONTLINE1);
    HDC dc = ::CreateCompatibleDC(nullptr);
    for (const ForeignName& name : foreignNames()) {
        // A template translated into another language names its buttons so.
        ::SetWindowTextW(button, name.wide.c_str());
        DrawnTexts::texts().clear();
        ::SendMessageW(button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        EXPECT_EQ(DrawnTexts::texts(), std::vector<std::wstring>{name.wide});
    }
    ::DeleteDC(dc);
    general->chooseFont(IDC_PREFS_FONTLINE1);
    ASSERT_TRUE(pressOk(sheet));
    LOGFONTW face{};
    ASSERT_EQ(::GetObjectW(core()->getFont1(), sizeof(face), &face), static_cast<int>(sizeof(face)));
    EXPECT_STREQ(face.lfFaceName, kGothic);
}

TEST_F(PrefsSheetTest, CancelLeavesEverySettingAsItWas) {
    open();
    LOGFONTA before{};
    ASSERT_TRUE(core()->getFont1(&before));
    const COLORREF colorBefore = core()->getTextColor1();
    PrefsSheet* sheet = openSheet();
    changeEveryPage(sheet);
    HWND window = sheet->getHwnd();
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_FALSE(::IsWindow(window));

    const VWindowSettings& settings = dialog->getSettings();
    EXPECT_FALSE(startup::shortcutExists(quickLaunchShortcut()));
    EXPECT_TRUE(settings.autoHide);
    EXPECT_FALSE(settings.hideOnDeactivate);
    EXPECT_FALSE(settings.alwaysShowList);
    EXPECT_TRUE(dialog->getList().getShowIcons());
    EXPECT_TRUE(settings.checkForUpdates);
    EXPECT_EQ(settings.hotKey, kStartKey);
    LOGFONTA after{};
    ASSERT_TRUE(core()->getFont1(&after));
    EXPECT_STREQ(after.lfFaceName, before.lfFaceName) << "a font chosen on the page waits for OK";
    EXPECT_EQ(core()->getTextColor1(), colorBefore);
    EXPECT_FALSE(core()->getLiveSearching());
    EXPECT_EQ(core()->getSearchMinChars(), 3);
    EXPECT_EQ(dialog->getCommandLine().getDelay(), 0);
    EXPECT_EQ(core()->getAction("cc", true), nullptr);
}

TEST_F(PrefsSheetTest, SettingsChosenInTheSheetSurviveARestart) {
    open();
    PrefsSheet* sheet = openSheet();
    changeEveryPage(sheet);
    ASSERT_TRUE(pressOk(sheet));
    close();

    open();
    const VWindowSettings& settings = dialog->getSettings();
    EXPECT_FALSE(settings.autoHide);
    EXPECT_TRUE(settings.hideOnDeactivate);
    EXPECT_TRUE(settings.alwaysShowList);
    EXPECT_FALSE(settings.checkForUpdates);
    EXPECT_EQ(settings.hotKey, static_cast<UINT>(VK_F15));
    EXPECT_EQ(settings.hotKeyModifier, kMods);
    EXPECT_FALSE(dialog->getList().getShowIcons());
    EXPECT_FALSE(dialog->getList().getTwoLines());
    EXPECT_TRUE(core()->getOpenUrlsInPluginsBrowser());
    EXPECT_TRUE(core()->getLiveSearching());
    EXPECT_TRUE(core()->getSearchCaseSensitive());
    EXPECT_TRUE(core()->getSearchStringStart());
    EXPECT_TRUE(core()->getSearchUrlDescriptionsOnly());
    EXPECT_EQ(core()->getSearchMinChars(), 5);
    LOGFONTA font{};
    ASSERT_TRUE(core()->getFont1(&font));
    EXPECT_STREQ(font.lfFaceName, "Courier New");
    EXPECT_EQ(core()->getTextColor1(), RGB(200, 0, 0));
    VAction* copy = core()->getAction("cc", true);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getName(), "Copy");
    EXPECT_FALSE(dialog->getMatchActionsAfterBlank()) << "not stored";
}

TEST_F(PrefsSheetTest, OkWritesTheSettingsToTheFileAtOnce) {
    open();
    PrefsSheet* sheet = openSheet();
    setCheck(sheet->getGeneralPage(), IDC_PREFS_ALWAYSSHOWLIST, true);
    sheet->selectPage(PrefsSheet::Searching);
    setText(sheet->getSearchingPage(), IDC_PREFS_MINCHARS, "7");
    ASSERT_TRUE(pressOk(sheet));
    // Read while the program still runs: a crash or a forced end from here on keeps them.
    const std::string saved = folder.readFile("Verbinox.xml");
    EXPECT_NE(saved.find("AlwaysShowList=\"true\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("MinSearchChars=\"7\""), std::string::npos) << saved;
}

TEST_F(PrefsSheetTest, TheBoxTextSizeShowsTheCurrentSizeAndOkResizesTheBoxAtOnceAndSavesIt) {
    open();
    PrefsSheet* sheet = openSheet();
    PrefsPage* general = sheet->getGeneralPage();
    EXPECT_EQ(text(general, IDC_PREFS_BOXFONTSIZE), "14");
    EXPECT_EQ(::SendMessageW(control(general, IDC_PREFS_BOXFONTSIZESPIN), UDM_GETPOS32, 0, 0), 14);
    setText(general, IDC_PREFS_BOXFONTSIZE, "22");
    ASSERT_TRUE(pressOk(sheet));
    EXPECT_EQ(dialog->getSettings().boxFontSize, 22);
    HWND box = dialog->getCommandLine().getHwnd();
    LOGFONTW face{};
    ::GetObjectW(reinterpret_cast<HGDIOBJ>(::SendMessageW(box, WM_GETFONT, 0, 0)), sizeof(face), &face);
    EXPECT_EQ(face.lfHeight, -::MulDiv(22, static_cast<int>(dpiOf(dialog->getHwnd())), 72));
    EXPECT_NE(folder.readFile("Verbinox.xml").find("BoxFontSize=\"22\""), std::string::npos);
    close();

    open();
    EXPECT_EQ(dialog->getSettings().boxFontSize, 22);
    EXPECT_EQ(text(openSheet()->getGeneralPage(), IDC_PREFS_BOXFONTSIZE), "22");
}

TEST_F(PrefsSheetTest, ATypedBoxTextSizeIsBroughtWithinBoundsAndOneThatIsNoNumberKeepsTheSize) {
    open();
    const struct {
        const char* typed;
        int size;
    } cases[] = {{"20", 20}, {"", 20}, {"abc", 20}, {"100", 48}, {"99999999999999999999", 48}, {"0", 6}};
    for (const auto& typed : cases) {
        PrefsSheet* sheet = openSheet();
        setText(sheet->getGeneralPage(), IDC_PREFS_BOXFONTSIZE, typed.typed);
        ASSERT_TRUE(pressOk(sheet)) << "'" << typed.typed << "'";
        EXPECT_EQ(dialog->getSettings().boxFontSize, typed.size) << "'" << typed.typed << "'";
    }
}

TEST_F(PrefsSheetTest, AFailedSaveIsToldOnceKeepsTheOldFileAndIsTriedAgainAtTheNextChangeAndAtExit) {
    BalloonCapture balloons;
    open();
    const std::string file = folder.sub("Verbinox.xml");
    const std::string before = folder.readFile("Verbinox.xml");
    const std::string told = "Verbinox could not save its settings to " + file + ": " +
                             startup::systemMessage(ERROR_ACCESS_DENIED) + ".";
    ASSERT_TRUE(::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
    PrefsSheet* sheet = openSheet();
    setCheck(sheet->getGeneralPage(), IDC_PREFS_ALWAYSSHOWLIST, true);
    ASSERT_TRUE(pressOk(sheet)) << "the settings apply even though they cannot be written";
    EXPECT_EQ(balloons.texts(), std::vector<std::string>{told + " It will try again."});
    EXPECT_FALSE(dialog->saveSettings());
    EXPECT_EQ(balloons.texts().size(), 1u) << "not told again for every try";
    EXPECT_EQ(folder.readFile("Verbinox.xml"), before);

    ASSERT_TRUE(::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(pressOk(openSheet())) << "the next change";
    EXPECT_NE(folder.readFile("Verbinox.xml").find("AlwaysShowList=\"true\""), std::string::npos);

    // A failure after a success is news again; at exit the icon goes with the program, so a box says it.
    const std::string written = folder.readFile("Verbinox.xml");
    ASSERT_TRUE(::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
    boxes.clear();
    close();
    ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(boxes, std::vector<std::string>{told + " The file keeps the settings it had."});
    EXPECT_EQ(folder.readFile("Verbinox.xml"), written);
}

TEST_F(PrefsSheetTest, AMinimumLengthOutsideOneToTenKeepsTheSheetOpenAndAppliesNothing) {
    open();
    PrefsSheet* sheet = openSheet();
    setCheck(sheet->getGeneralPage(), IDC_PREFS_ALWAYSSHOWLIST, true);
    sheet->selectPage(PrefsSheet::Searching);
    PrefsPage* searching = sheet->getSearchingPage();
    for (const char* bad : {"0", "11", ""}) {
        boxes.clear();
        setText(searching, IDC_PREFS_MINCHARS, bad);
        sheet->selectPage(PrefsSheet::General);
        EXPECT_FALSE(pressOk(sheet)) << "'" << bad << "'";
        ASSERT_EQ(boxes.size(), 1u) << "'" << bad << "'";
        EXPECT_NE(boxes[0].find("1 to 10"), std::string::npos) << boxes[0];
        EXPECT_EQ(sheet->getSelectedPage(), PrefsSheet::Searching) << "the page at fault comes forward";
        EXPECT_EQ(::GetFocus(), control(searching, IDC_PREFS_MINCHARS));
    }
    EXPECT_EQ(core()->getSearchMinChars(), 3);
    EXPECT_FALSE(dialog->getSettings().alwaysShowList) << "no page applies while one is refused";
    setText(searching, IDC_PREFS_MINCHARS, "10");
    EXPECT_TRUE(pressOk(sheet));
    EXPECT_EQ(core()->getSearchMinChars(), 10);
    EXPECT_TRUE(dialog->getSettings().alwaysShowList);
}

TEST_F(PrefsSheetTest, TheRankingAndLearningSettingsShowOnTheSearchingPageAndOkAppliesThem) {
    open();
    core()->setRankResults(false);
    core()->setSearchFoldAccents(true);
    core()->setLearnChoices(false);
    core()->setResultsPerSource(50);
    PrefsSheet* sheet = openSheet();
    sheet->selectPage(PrefsSheet::Searching);
    PrefsPage* searching = sheet->getSearchingPage();
    EXPECT_EQ(::IsDlgButtonChecked(searching->getHwnd(), IDC_PREFS_RANKRESULTS), BST_UNCHECKED);
    EXPECT_EQ(::IsDlgButtonChecked(searching->getHwnd(), IDC_PREFS_FOLDACCENTS), BST_CHECKED);
    EXPECT_EQ(::IsDlgButtonChecked(searching->getHwnd(), IDC_PREFS_LEARNCHOICES), BST_UNCHECKED);
    EXPECT_EQ(text(searching, IDC_PREFS_PERSOURCE), "50");
    wchar_t label[64] = {};
    ::GetDlgItemTextW(searching->getHwnd(), IDC_PREFS_FOLDACCENTS, label, 64);
    EXPECT_STREQ(label, L"Ignore accents (cafe finds Caf\u00E9)");
    EXPECT_FALSE(::IsWindowEnabled(control(searching, IDC_PREFS_FORGETCHOICES)))
        << "nothing to forget while off";

    setCheck(searching, IDC_PREFS_RANKRESULTS, true);
    setCheck(searching, IDC_PREFS_FOLDACCENTS, false);
    setCheck(searching, IDC_PREFS_LEARNCHOICES, true);
    EXPECT_TRUE(::IsWindowEnabled(control(searching, IDC_PREFS_FORGETCHOICES)));
    setText(searching, IDC_PREFS_PERSOURCE, "1200");
    ASSERT_TRUE(pressOk(sheet));
    EXPECT_TRUE(core()->getRankResults());
    EXPECT_FALSE(core()->getSearchFoldAccents());
    EXPECT_TRUE(core()->getLearnChoices());
    EXPECT_EQ(core()->getResultsPerSource(), 1200);
    EXPECT_TRUE(boxes.empty());
    close();
}

TEST_F(PrefsSheetTest, ResultsPerSourceOutsideOneToTenThousandKeepsTheSheetOpenAndAppliesNothing) {
    open();
    core()->setResultsPerSource(200);
    PrefsSheet* sheet = openSheet();
    sheet->selectPage(PrefsSheet::Searching);
    PrefsPage* searching = sheet->getSearchingPage();
    setCheck(searching, IDC_PREFS_RANKRESULTS, false);
    for (const char* bad : {"0", "10001", "", "99999999999"}) {
        boxes.clear();
        setText(searching, IDC_PREFS_PERSOURCE, bad);
        sheet->selectPage(PrefsSheet::General);
        EXPECT_FALSE(pressOk(sheet)) << "'" << bad << "'";
        ASSERT_EQ(boxes.size(), 1u) << "'" << bad << "'";
        EXPECT_NE(boxes[0].find("Results per source"), std::string::npos) << boxes[0];
        EXPECT_NE(boxes[0].find("1 to 10000"), std::string::npos) << boxes[0];
        EXPECT_EQ(sheet->getSelectedPage(), PrefsSheet::Searching) << "the page at fault comes forward";
        EXPECT_EQ(::GetFocus(), control(searching, IDC_PREFS_PERSOURCE));
    }
    EXPECT_EQ(core()->getResultsPerSource(), 200);
    EXPECT_TRUE(core()->getRankResults()) << "no setting applies while one is refused";
    setText(searching, IDC_PREFS_PERSOURCE, "10000");
    EXPECT_TRUE(pressOk(sheet));
    EXPECT_EQ(core()->getResultsPerSource(), 10000);
    EXPECT_FALSE(core()->getRankResults());
    close();
}

TEST_F(PrefsSheetTest, ForgetWhatIChoseAsksFirstAndThenEmptiesTheMemoryAtOnce) {
    open();
    core()->setLearnChoices(true);
    core()->setChoiceFile(folder.sub("Choices.vxc"));
    core()->getChoiceMemory().record("notes", VProperty::FileType, "C:\\notes.txt",
                                     VChoiceMemory::currentTime());
    ASSERT_TRUE(core()->getChoiceMemory().save());
    PrefsSheet* sheet = openSheet();
    sheet->selectPage(PrefsSheet::Searching);
    PrefsPage* searching = sheet->getSearchingPage();
    const auto clickForget = [&] {
        ::SendMessageW(searching->getHwnd(), WM_COMMAND, MAKEWPARAM(IDC_PREFS_FORGETCHOICES, BN_CLICKED),
                       reinterpret_cast<LPARAM>(control(searching, IDC_PREFS_FORGETCHOICES)));
    };

    boxAnswer = IDNO;
    clickForget();
    EXPECT_EQ(boxes, std::vector<std::string>{"Forget every choice Verbinox has learned?"});
    EXPECT_EQ(core()->getChoiceMemory().size(), 1u) << "forgotten without a yes";

    boxAnswer = IDYES;
    clickForget();
    EXPECT_EQ(core()->getChoiceMemory().size(), 0u);
    EXPECT_EQ(::GetFileAttributesA(folder.sub("Choices.vxc").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(dialog->getOpenPreferences(), nullptr) << "at once, before OK";
    ::SendMessageW(sheet->getHwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(core()->getChoiceMemory().size(), 0u) << "Cancel does not bring it back";
    close();
}

TEST_F(PrefsSheetTest, AShortcutHeldByAnotherActionMovesOnlyAfterAYes) {
    open();
    PrefsSheet* sheet = openSheet();
    sheet->selectPage(PrefsSheet::Shortcuts);
    PrefsPageShortcuts* page = sheet->getShortcutsPage();
    assignShortcut(page, "Copy", "x");
    EXPECT_TRUE(boxes.empty()) << "a free shortcut is assigned without asking";

    boxAnswer = IDNO;
    assignShortcut(page, "Email", "x");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "x is already assigned to \"Copy\".\nDo you want to replace it?");
    EXPECT_EQ(page->getRowShortcut(page->findRow("Copy")), "x");
    EXPECT_EQ(page->getRowShortcut(page->findRow("Email")), "");

    boxAnswer = IDYES;
    assignShortcut(page, "Email", "x");
    EXPECT_EQ(page->getRowShortcut(page->findRow("Copy")), "");
    EXPECT_EQ(page->getRowShortcut(page->findRow("Email")), "x");
    ASSERT_TRUE(pressOk(sheet));
    EXPECT_EQ(core()->getAction("x", true), core()->getAction("email", false));
    EXPECT_EQ(core()->getShortcut(core()->getAction("copy", false)), "");
}

TEST_F(PrefsSheetTest, AssigningAnEmptyShortcutRemovesTheActionsShortcut) {
    open();
    core()->setShortcut("r", core()->getAction("run", false));
    PrefsSheet* sheet = openSheet();
    sheet->selectPage(PrefsSheet::Shortcuts);
    PrefsPageShortcuts* page = sheet->getShortcutsPage();
    page->selectRow(page->findRow("Run"));
    EXPECT_EQ(text(page, IDC_PREFS_SHORTCUT), "r") << "the selected action's shortcut is offered for editing";
    EXPECT_TRUE(::IsWindowEnabled(control(page, IDC_PREFS_SHORTCUT)));
    assignShortcut(page, "Run", "  ");
    EXPECT_EQ(page->getRowShortcut(page->findRow("Run")), "");
    ASSERT_TRUE(pressOk(sheet));
    EXPECT_EQ(core()->getAction("r", true), nullptr);
    EXPECT_EQ(core()->getShortcut(core()->getAction("run", false)), "");
}

TEST_F(PrefsSheetTest, TheHotKeyBoxTakesAKeyPressButNeverAModifierAlone) {
    open();
    PrefsSheet* sheet = openSheet();
    PrefsPageGeneral* general = sheet->getGeneralPage();
    EXPECT_EQ(text(general, IDC_PREFS_HOTKEY), "F14");
    for (UINT modifier : {VK_SHIFT, VK_CONTROL, VK_MENU, VK_LWIN, VK_RWIN})
        keyDown(general, modifier);
    EXPECT_EQ(text(general, IDC_PREFS_HOTKEY), "F14");
    EXPECT_EQ(general->getHotKey(), kStartKey);
    keyDown(general, VK_F5);
    EXPECT_EQ(text(general, IDC_PREFS_HOTKEY), "F5");
    ::SendMessageW(control(general, IDC_PREFS_HOTKEY), WM_CHAR, 'q', 1);
    ::SendMessageW(control(general, IDC_PREFS_HOTKEY), WM_KEYUP, VK_F5, 1);
    EXPECT_EQ(text(general, IDC_PREFS_HOTKEY), "F5") << "characters and key-ups change nothing";
    EXPECT_TRUE(pressKey(sheet, control(general, IDC_PREFS_HOTKEY), VK_F6))
        << "through the dialog manager too";
    EXPECT_EQ(text(general, IDC_PREFS_HOTKEY), "F6");
    ASSERT_TRUE(pressOk(sheet));
    EXPECT_EQ(dialog->getSettings().hotKey, static_cast<UINT>(VK_F6));
    EXPECT_TRUE(dialog->isHotKeyRegistered());
}

TEST_F(PrefsSheetTest, TabAndShiftTabMoveTheFocusOutOfTheHotKeyBox) {
    open();
    PrefsSheet* sheet = openSheet();
    PrefsPageGeneral* general = sheet->getGeneralPage();
    HWND box = control(general, IDC_PREFS_HOTKEY);
    ASSERT_TRUE(pressKey(sheet, box, VK_TAB));
    EXPECT_EQ(::GetFocus(), control(general, IDC_PREFS_HOTKEYCTRL));
    BYTE keys[256] = {}, shifted[256] = {};
    ASSERT_TRUE(::GetKeyboardState(keys));
    std::memcpy(shifted, keys, sizeof(keys));
    shifted[VK_SHIFT] = 0x80;
    ASSERT_TRUE(::SetKeyboardState(shifted));
    const bool open = pressKey(sheet, box, VK_TAB);
    ::SetKeyboardState(keys);
    ASSERT_TRUE(open);
    EXPECT_EQ(::GetFocus(), control(general, IDC_PREFS_NEWWINDOW));
    EXPECT_EQ(text(general, IDC_PREFS_HOTKEY), "F14");
    EXPECT_EQ(general->getHotKey(), kStartKey) << "Tab is no hot-key";
}

TEST_F(PrefsSheetTest, EscapeInTheHotKeyBoxCancelsTheSheetAndEnterConfirmsIt) {
    open();
    PrefsSheet* sheet = openSheet();
    HWND box = control(sheet->getGeneralPage(), IDC_PREFS_HOTKEY);
    ASSERT_TRUE(pressKey(sheet, box, VK_F5));
    EXPECT_FALSE(pressKey(sheet, box, VK_ESCAPE));
    EXPECT_EQ(dialog->getOpenPreferences(), nullptr);
    EXPECT_EQ(dialog->getSettings().hotKey, kStartKey);

    sheet = openSheet();
    box = control(sheet->getGeneralPage(), IDC_PREFS_HOTKEY);
    ASSERT_TRUE(pressKey(sheet, box, VK_F5));
    EXPECT_FALSE(pressKey(sheet, box, VK_RETURN));
    EXPECT_EQ(dialog->getOpenPreferences(), nullptr);
    EXPECT_EQ(dialog->getSettings().hotKey, static_cast<UINT>(VK_F5));
    EXPECT_TRUE(dialog->isHotKeyRegistered());
}

TEST_F(PrefsSheetTest, EnterInTheShortcutBoxAssignsItAndTheSheetStaysOpen) {
    open();
    PrefsSheet* sheet = openSheet();
    sheet->selectPage(PrefsSheet::Shortcuts);
    PrefsPageShortcuts* page = sheet->getShortcutsPage();
    page->selectRow(page->findRow("Copy"));
    setText(page, IDC_PREFS_SHORTCUT, "cp");
    ASSERT_TRUE(pressKey(sheet, control(page, IDC_PREFS_SHORTCUT), VK_RETURN));
    EXPECT_EQ(page->getRowShortcut(page->findRow("Copy")), "cp");
    EXPECT_EQ(text(page, IDC_PREFS_SHORTCUT), "cp");
    EXPECT_EQ(core()->getAction("cp", true), nullptr) << "applied only by OK";
    ASSERT_TRUE(pressOk(sheet));
    EXPECT_EQ(core()->getAction("cp", true), core()->getAction("copy", false));
}

TEST_F(PrefsSheetTest, TheSheetOpensWithItsFirstPageSelectedInTheTree) {
    open();
    PrefsSheet* sheet = openSheet();
    HWND tree = ::GetDlgItem(sheet->getHwnd(), IDC_PREFS_TREE);
    EXPECT_EQ(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0),
              ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    // Only where the tree has the focus does its choice show in the highlight colour.
    EXPECT_EQ(::GetFocus(), tree);
    EXPECT_TRUE(::IsWindowVisible(sheet->getGeneralPage()->getHwnd()));
}

TEST_F(PrefsSheetTest, TheShortcutsListFitsItsColumnsWithoutAHorizontalScrollBar) {
    open();
    // Enough rows for a vertical scroll bar, which takes its width from the columns' room.
    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(core()->registerAction(new PlainAction("Plain " + std::to_string(i))));
    PrefsSheet* sheet = openSheet();
    sheet->selectPage(PrefsSheet::Shortcuts);
    HWND list = control(sheet->getShortcutsPage(), IDC_PREFS_SHORTCUTLIST);
    RECT client{};
    ::GetClientRect(list, &client);
    int total = 0;
    for (int column = 0; column < 3; ++column)
        total += static_cast<int>(::SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
    EXPECT_LE(total, client.right);
    EXPECT_GT(total, client.right * 3 / 4) << "the columns still use the room there is";
    EXPECT_EQ(::GetWindowLongW(list, GWL_STYLE) & WS_HSCROLL, 0);
    EXPECT_NE(::GetWindowLongW(list, GWL_STYLE) & WS_VSCROLL, 0) << "the case the fit must allow for";
}

TEST_F(PrefsSheetTest, AHotKeyWithoutAModifierIsRefusedAndTheSheetStaysOpen) {
    open();
    PrefsSheet* sheet = openSheet();
    PrefsPageGeneral* general = sheet->getGeneralPage();
    keyDown(general, VK_F16);
    for (int box : {IDC_PREFS_HOTKEYCTRL, IDC_PREFS_HOTKEYALT, IDC_PREFS_HOTKEYSHIFT, IDC_PREFS_HOTKEYWIN})
        setCheck(general, box, false);
    EXPECT_FALSE(pressOk(sheet));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("at least one of Ctrl, Alt, Shift or Win"), std::string::npos) << boxes[0];
    EXPECT_EQ(dialog->getSettings().hotKey, kStartKey);
    EXPECT_EQ(dialog->getSettings().hotKeyModifier, kMods);
    EXPECT_TRUE(dialog->isHotKeyRegistered());
}

TEST_F(PrefsSheetTest, AHotKeyThatCannotBeRegisteredKeepsThePreviousOne) {
    HWND holder = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(::RegisterHotKey(holder, 1, kMods, VK_F17));
    open();
    PrefsSheet* sheet = openSheet();
    PrefsPageGeneral* general = sheet->getGeneralPage();
    setCheck(general, IDC_PREFS_AUTOHIDE, false);
    keyDown(general, VK_F17);
    EXPECT_FALSE(pressOk(sheet));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].find("Couldn't register global hot-key Ctrl+Alt+Shift+F17"), 0u) << boxes[0];
    EXPECT_NE(boxes[0].find("Ctrl+Alt+Shift+F14"), std::string::npos) << "names the one kept: " << boxes[0];
    EXPECT_EQ(dialog->getSettings().hotKey, kStartKey);
    EXPECT_TRUE(dialog->isHotKeyRegistered());
    EXPECT_FALSE(::RegisterHotKey(holder, 2, kMods, kStartKey)) << "the previous combination is ours again";
    EXPECT_TRUE(dialog->getSettings().autoHide) << "nothing else applied";
    ::UnregisterHotKey(holder, 1);
    ::DestroyWindow(holder);
}

TEST_F(PrefsSheetTest, AnOptionThatOverridesAnotherDisablesIt) {
    open();
    PrefsSheet* sheet = openSheet();
    PrefsPage* general = sheet->getGeneralPage();
    EXPECT_TRUE(::IsWindowEnabled(control(general, IDC_PREFS_NEWWINDOW)));
    setCheck(general, IDC_PREFS_PLUGINSBROWSER, true);
    EXPECT_FALSE(::IsWindowEnabled(control(general, IDC_PREFS_NEWWINDOW)));
    setCheck(general, IDC_PREFS_PLUGINSBROWSER, false);
    EXPECT_TRUE(::IsWindowEnabled(control(general, IDC_PREFS_NEWWINDOW)));

    sheet->selectPage(PrefsSheet::Searching);
    PrefsPage* searching = sheet->getSearchingPage();
    setCheck(searching, IDC_PREFS_TITLESONLY, true);
    EXPECT_FALSE(::IsWindowEnabled(control(searching, IDC_PREFS_DOMAINONLY)));
    setCheck(searching, IDC_PREFS_TITLESONLY, false);
    EXPECT_TRUE(::IsWindowEnabled(control(searching, IDC_PREFS_DOMAINONLY)));
}

TEST_F(PrefsSheetTest, AnOptionItsParentSwitchesOffShowsUncheckedAndGreyedAndKeepsItsValue) {
    open();
    core()->setOpenUrlsInPluginsBrowser(true);
    core()->setOpenUrlsInNewWindow(true);
    core()->setSearchUrlDescriptionsOnly(true);
    core()->setSearchUrlDomainOnly(true);
    PrefsSheet* sheet = openSheet();
    sheet->selectPage(PrefsSheet::Searching);
    const struct {
        PrefsPage* page;
        int parent, option;
    } pairs[] = {{sheet->getGeneralPage(), IDC_PREFS_PLUGINSBROWSER, IDC_PREFS_NEWWINDOW},
                 {sheet->getSearchingPage(), IDC_PREFS_TITLESONLY, IDC_PREFS_DOMAINONLY}};
    for (const auto& pair : pairs) {
        HWND page = pair.page->getHwnd();
        EXPECT_EQ(::IsDlgButtonChecked(page, pair.option), BST_UNCHECKED) << pair.option;
        EXPECT_FALSE(::IsWindowEnabled(control(pair.page, pair.option))) << pair.option;
        setCheck(pair.page, pair.parent, false);
        EXPECT_EQ(::IsDlgButtonChecked(page, pair.option), BST_CHECKED) << "its own value is back";
        EXPECT_TRUE(::IsWindowEnabled(control(pair.page, pair.option))) << pair.option;
        setCheck(pair.page, pair.parent, true);
        EXPECT_EQ(::IsDlgButtonChecked(page, pair.option), BST_UNCHECKED) << pair.option;
    }
    ASSERT_TRUE(pressOk(sheet));
    EXPECT_TRUE(core()->getOpenUrlsInNewWindow()) << "kept while it did not apply";
    EXPECT_TRUE(core()->getSearchUrlDomainOnly()) << "kept while it did not apply";

    // What the user set while it applied is what it keeps.
    PrefsPage* general = (sheet = openSheet())->getGeneralPage();
    setCheck(general, IDC_PREFS_PLUGINSBROWSER, false);
    setCheck(general, IDC_PREFS_NEWWINDOW, false);
    setCheck(general, IDC_PREFS_PLUGINSBROWSER, true);
    ASSERT_TRUE(pressOk(sheet));
    EXPECT_FALSE(core()->getOpenUrlsInNewWindow());
}

TEST_F(PrefsSheetTest, APluginDialogThatRecreatesItsActionsLeavesTheShortcutsPageOnLiveActions) {
    ASSERT_TRUE(folder.makeDir("Plugins"));
    ASSERT_TRUE(::CopyFileA((programFolder() + "vx_test_plugin.vll").c_str(),
                            folder.sub("Plugins\\recreate.vll").c_str(), FALSE));
    core()->setPluginsPath(folder.sub("Plugins\\"));
    open();
    PrefsSheet* sheet = openSheet();
    sheet->selectPage(PrefsSheet::Shortcuts);
    PrefsPageShortcuts* shortcuts = sheet->getShortcutsPage();
    assignShortcut(shortcuts, "Test kw_recreate", "rc");
    VAction* before = core()->getAction("kw_recreate", false);
    ASSERT_NE(before, nullptr);

    sheet->selectPage(PrefsSheet::Plugins);
    PrefsPagePlugins* plugins = sheet->getPluginsPage();
    EXPECT_FALSE(::IsWindowEnabled(control(plugins, IDC_PREFS_CONFIGURE)));
    plugins->selectRow(plugins->findRow("recreate"));
    ASSERT_TRUE(::IsWindowEnabled(control(plugins, IDC_PREFS_CONFIGURE)));
    ::SendMessageW(plugins->getHwnd(), WM_COMMAND, MAKEWPARAM(IDC_PREFS_CONFIGURE, BN_CLICKED),
                   reinterpret_cast<LPARAM>(control(plugins, IDC_PREFS_CONFIGURE)));
    EXPECT_EQ(FakeCounters::actions.load(), 1) << "the plug-in's dialog replaced its action";

    // Every row names an action the core holds now, without the page having been shown again.
    ASSERT_EQ(shortcuts->getRowCount(), core()->getNumActions());
    for (int row = 0; row < shortcuts->getRowCount(); ++row)
        EXPECT_EQ(shortcuts->getRowAction(row), core()->getAction(row)) << row;
    ASSERT_TRUE(pressOk(sheet));
    EXPECT_EQ(core()->getAction("rc", true), nullptr) << "no shortcut leads to the destroyed action";
}

TEST_F(PrefsSheetTest, OpeningTheSheetStopsTheRunningSearchAndEmptiesTheList) {
    open();
    auto* endless = new NameIndexer(nullptr, {"abc1", "abc2"});
    endless->setEndless(true);
    endless->updateCache();
    core()->registerIndexer(endless);
    auto* quick = new NameIndexer(nullptr, {"abc-quick"});
    quick->updateCache();
    core()->registerIndexer(quick);
    vx::setWindowText(dialog->getCommandLine().getHwnd(), "abc");
    pumpMessages(100);
    ASSERT_EQ(dialog->getList().getCount(), 1) << "the quick source delivered";
    ASSERT_EQ(VIndexer::getRunningWorkerCount(), 1) << "the endless one still runs";
    ASSERT_NE(openSheet(), nullptr);
    EXPECT_EQ(VIndexer::getRunningWorkerCount(), 0);
    EXPECT_EQ(dialog->getList().getCount(), 0);
    EXPECT_EQ(dialog->getMode(), CVerbinoxDlg::Idle);
    pumpMessages(50);
    EXPECT_EQ(dialog->getList().getCount(), 0) << "nothing queued arrives later";
}

TEST_F(PrefsSheetTest, TheMenuOpensTheSheetModallyAndTheHotKeyThenOnlyBringsItForward) {
    mustFinishWithin(60000, "the modal preferences sheet", [&] {
        open();
        dialog->hideWindow();
        modalWindow = dialog.get();
        sheetWasOpen = windowShownByHotKey = false;
        ::SetTimer(nullptr, 0, 100, &whileModal);
        ::SendMessageW(dialog->getHwnd(), WM_COMMAND, MAKEWPARAM(ID_TRAY_PREFERENCES, 0), 0);
        EXPECT_TRUE(sheetWasOpen);
        EXPECT_TRUE(treeHadFocus) << "the modal loop keeps the focus where the sheet put it";
        EXPECT_FALSE(windowShownByHotKey);
        EXPECT_EQ(dialog->getOpenPreferences(), nullptr);
        ::SendMessageW(dialog->getHwnd(), WM_HOTKEY, 1, 0);
        EXPECT_TRUE(::IsWindowVisible(dialog->getHwnd()))
            << "with the sheet closed the hot-key shows the window";
        close(); // on the thread that made the window
    });
}
