// The real search window, driven by messages on this thread, with fake sources registered in the core.
#include "window/ListAccessible.h"
#include "window/Messages.h"
#include "prefs/PrefsSheet.h"
#include "window/SearchWindow.h"
#include "Startup.h"
#include "window/Theme.h"
#include "engine/VChoiceMemory.h"
#include "model/VAction.h"
#include "model/VFileResult.h"
#include "model/VPreferences.h"
#include "res/resource.h"
#include "util/SystemText.h"
#include "support/BalloonCapture.h"
#include "support/CoreFixture.h"
#include "support/ShellCapture.h"
#include "support/TempFolder.h"
#include "support/Watchdog.h"
#include "support/MessagePump.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <oleacc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

namespace {

std::vector<std::string> boxes;
void captureBox(const char* text) {
    boxes.push_back(text);
}

// Records what it is run on instead of copying or opening it: "text:" and the typed argument, or the
// value of the result's property.
std::vector<std::string> executed;
class RecordingAction : public VAction {
public:
    RecordingAction() : VAction("Record", "zzrecord", "Records", nullptr) {
        addSupportedType(VProperty::TextType);
    }
    bool execute(VResult*, VProperty* property, const std::string&) override {
        executed.push_back(property->getValue());
        return true;
    }
    bool execute(const std::string& text) override {
        executed.push_back("text:" + text);
        return true;
    }
};

// An action during whose run the session ends, as when the shell or a box it shows dispatches
// WM_ENDSESSION: it notes what of the window is left right after.
HWND endingWindow = nullptr;
VElementListCtrl* endingList = nullptr;
bool windowLeftDuringTheRun = false;
int rowsLeftDuringTheRun = -1;
class SessionEndingAction : public VAction {
public:
    SessionEndingAction() : VAction("End", "zzend", "Ends the session", nullptr) {
        addSupportedType(VProperty::TextType);
    }
    bool execute(VResult*, VProperty* property, const std::string&) override {
        ::SendMessageW(endingWindow, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP);
        ::SendMessageW(endingWindow, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
        windowLeftDuringTheRun = ::IsWindow(endingWindow) != FALSE;
        rowsLeftDuringTheRun = endingList->getCount();
        executed.push_back(property->getValue());
        return true;
    }
    bool execute(const std::string&) override { return false; }
};

// A source whose results carry the keys a ranking source would give them: it waits a little, as a
// source that reads a disk does, then hands on each name the text is found in, one batch per name, in
// the order given.
class KeyedSource : public VIndexer {
public:
    explicit KeyedSource(std::vector<std::pair<std::string, uint64_t>> names)
        : VIndexer(nullptr), names(std::move(names)) {}
    bool reservedFlag() override { return false; }

protected:
    void search() override {
        ::Sleep(150);
        for (const auto& name : names) {
            if (isCancelled() || name.first.find(searchString) == std::string::npos)
                continue;
            VResultBatch batch;
            auto* result = new FakeResult(nullptr, name.first);
            result->setRankKey(name.second);
            batch.add(result);
            batch.deliver(searchId);
        }
    }

private:
    std::vector<std::pair<std::string, uint64_t>> names;
};

// Fails every run, so nothing it is run on may be remembered.
class FailingAction : public VAction {
public:
    FailingAction() : VAction("Fail", "zzfail", "Fails", nullptr) { addSupportedType(VProperty::TextType); }
    bool execute(VResult*, VProperty*, const std::string&) override { return false; }
    bool execute(const std::string&) override { return false; }
};

// stem100, stem101, ...: count names that all match stem.
std::vector<std::string> numberedNames(const char* stem, int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        names.push_back(stem + std::to_string(100 + i));
    return names;
}

class SearchWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        FakeCounters::reset();
        boxes.clear();
        executed.clear();
        previousHook = CVerbinoxDlg::setMessageHook(&captureBox);
        VVerbinoxCore* core = VVerbinoxCore::instance();
        core->setPluginsPath(core->getAppLocation() + "no-plugins-here\\");
        // What the user chose is remembered in the test's own folder, never in the prefix's profile.
        core->setChoiceFile(folder.sub("Choices.vxc"));
        // Hot-keys are shared by every process on the desktop, and tests run side by side: all but the
        // hot-key test ask for a combination nobody uses, and only mind its failure through the hook.
        // No update check: it would ask the maker's real server. The other test programs' windows take
        // the activation at any moment: only the test of hiding on it hides then.
        ASSERT_TRUE(folder.writeFile("Verbinox.xml",
                                     "<Verbinox><Verbinox><Window HotKey=\"124\" HotKeyModifier=\"7\" "
                                     "CheckForUpdates=\"false\" HideOnDeactivate=\"false\" />"
                                     "</Verbinox></Verbinox>"));
    }
    void TearDown() override {
        if (dialog)
            close();
        if (hotKeyTurn) {
            ::ReleaseMutex(hotKeyTurn);
            ::CloseHandle(hotKeyTurn);
        }
        CVerbinoxDlg::setMessageHook(previousHook);
        EXPECT_EQ(FakeCounters::results.load(), 0) << "results leaked";
        EXPECT_EQ(FakeCounters::indexers.load(), 0) << "indexers leaked";
        EXPECT_EQ(VIndexer::getRunningWorkerCount(), 0) << "workers still running";
    }

    // With fastTyping, the typing delay is 0 instead of the file's.
    void open(bool fastTyping = true) {
        dialog.reset(new CVerbinoxDlg());
        dialog->setPreferencesPath(folder.sub("Verbinox.xml"));
        ASSERT_TRUE(dialog->create(nullptr));
        // What a run leads to is seen at once; the moment the box says what opens has a test of its own.
        dialog->setOpeningSignTime(0);
        if (fastTyping)
            dialog->getCommandLine().setDelay(0);
        pumpMessages(50);
    }
    void close() {
        dialog->exit();
        dialog.reset();
    }
    VVerbinoxCore* core() const { return VVerbinoxCore::instance(); }
    // Registered as the default action of text results, so opening a fake result records it.
    RecordingAction* addRecorder() {
        auto* action = new RecordingAction();
        EXPECT_TRUE(core()->registerAction(action));
        core()->setDefaultAction(VProperty::TextType, action);
        return action;
    }
    NameIndexer* addSource(std::vector<std::string> names) {
        auto* indexer = new NameIndexer(nullptr, std::move(names));
        indexer->updateCache();
        core()->registerIndexer(indexer);
        return indexer;
    }
    // Types text as the user would: the box changes, then the settled-text message follows.
    void type(const std::string& text) {
        vx::setWindowText(dialog->getCommandLine().getHwnd(), text);
        pumpMessages(60);
    }
    void press(UINT key) {
        ::SendMessageW(dialog->getCommandLine().getHwnd(), WM_KEYDOWN, key, 1);
        pumpMessages(30);
    }
    // Pumps until the workers ended and what they queued reached the list.
    void settle() {
        waitForWorkers();
        pumpMessages(60);
    }
    // Opens and shows the window, and types stem with count results found for it: the settled list.
    VElementListCtrl& showResultsFor(const char* stem, int count) {
        open();
        dialog->showWindow();
        addSource(numberedNames(stem, count));
        type(stem);
        settle();
        return dialog->getList();
    }
    std::vector<std::string> shown() {
        std::vector<std::string> texts;
        VElementListCtrl& list = dialog->getList();
        for (int i = 0; i < list.getCount(); ++i)
            texts.push_back(list.getElement(i)->getDisplayText());
        return texts;
    }

    // A window without settings registers Control+Space (or Alt+Space): tests that start one take turns,
    // since hot-keys are shared by every process on the desktop and CTest runs tests side by side.
    void takeDefaultHotKeyTurn() {
        hotKeyTurn = ::CreateMutexA(nullptr, FALSE, "Local\\VerbinoxTestDefaultHotKey");
        ASSERT_NE(hotKeyTurn, nullptr);
        const DWORD waited = ::WaitForSingleObject(hotKeyTurn, 150000);
        ASSERT_TRUE(waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) << "another test kept the hot-key";
    }

    TempFolder folder;
    std::unique_ptr<CVerbinoxDlg> dialog;
    CVerbinoxDlg::MessageHook previousHook = nullptr;
    HANDLE hotKeyTurn = nullptr;
};

} // namespace

TEST_F(SearchWindowTest, TypedTextSearchesAndResultsOfAnOlderSearchNeverShow) {
    open();
    NameIndexer* slow = addSource({"note-slow-1", "note-slow-2"});
    slow->setCandidateDelayMicros(200000); // the first search is still running when the text changes
    addSource({"note-fast", "notebook"});
    type("note");
    EXPECT_EQ(dialog->getMode(), CVerbinoxDlg::Searching);
    const uint32_t first = dialog->searchIdWhileSearching();
    EXPECT_NE(first, 0u);
    slow->setCandidateDelayMicros(0);
    type("notebook");
    settle();
    EXPECT_GT(dialog->searchIdWhileSearching(), first);
    EXPECT_EQ(shown(), std::vector<std::string>{"notebook"});
}

TEST_F(SearchWindowTest, AKeywordEntersActionModeAndBackspaceOnTheEmptyBoxLeavesIt) {
    open();
    type("copy");
    EXPECT_EQ(dialog->getMode(), CVerbinoxDlg::ActionMode);
    ASSERT_NE(dialog->getCurrentAction(), nullptr);
    EXPECT_EQ(dialog->getCurrentAction()->getKeyword(), "copy");
    EXPECT_EQ(dialog->getCommandLine().getText(), "");
    press(VK_BACK);
    EXPECT_EQ(dialog->getMode(), CVerbinoxDlg::Idle);
    EXPECT_EQ(dialog->getCurrentAction(), nullptr);
}

TEST_F(SearchWindowTest, ADrivePathListsFoldersBeforeFilesAndEveryKeystrokeListsAgain) {
    for (const char* d : {"browse", "browse\\b-folder", "browse\\a-folder"})
        ASSERT_TRUE(folder.makeDir(d));
    ASSERT_TRUE(folder.writeFile("browse\\a-file.txt", "x"));
    open();
    type(folder.sub("browse\\"));
    EXPECT_EQ(dialog->getMode(), CVerbinoxDlg::Browse);
    dialog->getCommandLine().setDelay(5000); // once browsing, no keystroke waits for it
    std::vector<std::string> entries = shown();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[2], "a-file.txt") << "files after folders";
    type(folder.sub("browse\\a-"));
    EXPECT_EQ(shown().size(), 2u);
}

TEST_F(SearchWindowTest, EnterOnTextThatIsNeitherAnActionNorOpenableOpensTheFirstResultOfItsSearch) {
    ShellCapture shell;
    ShellCapture::answer() = false;
    open();
    addRecorder();
    addSource({"zzfind-me"})->setCandidateDelayMicros(100000);
    dialog->getCommandLine().setDelay(5000);
    type("zzfind");
    EXPECT_EQ(dialog->getMode(), CVerbinoxDlg::Idle) << "still waiting for the typing to settle";
    press(VK_RETURN);
    EXPECT_EQ(dialog->getMode(), CVerbinoxDlg::Searching) << "searched at once";
    ASSERT_EQ(ShellCapture::requests().size(), 1u);
    EXPECT_EQ(ShellCapture::requests()[0].file, "zzfind");
    settle();
    EXPECT_EQ(executed, std::vector<std::string>{"zzfind-me"});
    EXPECT_EQ(dialog->getMode(), CVerbinoxDlg::Idle);
    EXPECT_EQ(dialog->getList().getCount(), 0);
}

TEST_F(SearchWindowTest, AnEngineKeywordAndWordsOpenTheEncodedSearchOfTheRealPlugin) {
    // The build's Webquery.vll alone, in a "Plugins" folder of this test's own.
    ASSERT_TRUE(folder.makeDir("Plugins"));
    ASSERT_TRUE(::CopyFileA((programFolder() + "Plugins\\Webquery.vll").c_str(),
                            folder.sub("Plugins\\Webquery.vll").c_str(), FALSE));
    core()->setPluginsPath(folder.sub("Plugins\\"));
    ShellCapture shell;
    open();
    // Enter before the typing settles, as a quick typist's would come.
    dialog->getCommandLine().setDelay(5000);
    type("google AT&T c++");
    press(VK_RETURN);
    ASSERT_EQ(ShellCapture::requests().size(), 1u);
    EXPECT_EQ(ShellCapture::requests()[0].file,
              "https://www.google.com/search?q=AT%26T+c%2B%2B&sourceid=Verbinox");

    // The first run's one-letter shortcut takes its action once a blank follows; the words then follow
    // on their own.
    dialog->getCommandLine().setDelay(0);
    type("g ");
    ASSERT_EQ(dialog->getMode(), CVerbinoxDlg::ActionMode);
    type("#1 \"new york\"");
    press(VK_RETURN);
    ASSERT_EQ(ShellCapture::requests().size(), 2u);
    EXPECT_EQ(ShellCapture::requests()[1].file,
              "https://www.google.com/search?q=%231+new%20york&sourceid=Verbinox");
}

TEST_F(SearchWindowTest, ExitDuringARunningSearchJoinsItDestroysWhatWasQueuedAndSaves) {
    open();
    NameIndexer* endless = addSource({"abc1", "abc2"});
    endless->setEndless(true);
    addSource({"abc-quick"});
    type("abc");
    ::Sleep(50); // the quick source has queued its batch, the endless one runs on
    ASSERT_EQ(VIndexer::getRunningWorkerCount(), 1);
    close();
    EXPECT_EQ(VIndexer::getRunningWorkerCount(), 0);
    VPreferencesNode* saved = VPreferences::load(folder.sub("Verbinox.xml"));
    ASSERT_NE(saved, nullptr) << "the settings were written at exit";
    EXPECT_NE(saved->getChild("Verbinox")->getChild("Window"), nullptr);
    EXPECT_NE(saved->getChild("Verbinox")->getChild("Core"), nullptr);
    saved->deleteThis();
}

TEST_F(SearchWindowTest, ASettingsFileHeldByAnotherProgramIsNeverSavedOverAndTheBalloonSaysSo) {
    takeDefaultHotKeyTurn();
    BalloonCapture balloons;
    const std::string file = folder.sub("Verbinox.xml");
    const std::string kept = folder.readFile("Verbinox.xml");
    HANDLE held =
        ::CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    open();
    ::CloseHandle(held);
    EXPECT_TRUE(dialog->isFirstRun());
    ASSERT_EQ(balloons.texts().size(), 1u) << "told once, not the first run's hint as well";
    EXPECT_EQ(balloons.texts()[0].find("Verbinox could not read its settings file " + file), 0u)
        << balloons.texts()[0];
    EXPECT_FALSE(dialog->saveSettings());
    close();
    EXPECT_EQ(folder.readFile("Verbinox.xml"), kept) << "let go before the exit, and still not written";
    EXPECT_EQ(::GetFileAttributesA((file + ".bak").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(balloons.texts().size(), 1u);
    for (const std::string& box : boxes)
        EXPECT_EQ(box.find("could not save"), std::string::npos) << "not written, on purpose: " << box;
}

TEST_F(SearchWindowTest, ACorruptSettingsFileIsKeptAsBakAndTheBalloonSaysWhere) {
    takeDefaultHotKeyTurn();
    BalloonCapture balloons;
    const std::string cut = "<Verbinox><Verbinox><Window HotKey=\"124\" HotKeyModifier=\"7\" ";
    ASSERT_TRUE(folder.writeFile("Verbinox.xml", cut));
    open();
    EXPECT_EQ(balloons.texts(),
              std::vector<std::string>{"Verbinox could not read its settings file. It was "
                                       "kept as " +
                                       folder.sub("Verbinox.xml.bak") + "; the settings start afresh."});
    close();
    EXPECT_EQ(folder.readFile("Verbinox.xml.bak"), cut);
    VPreferencesNode* saved = VPreferences::load(folder.sub("Verbinox.xml"));
    ASSERT_NE(saved, nullptr) << "a fresh file in its place";
    saved->deleteThis();
}

TEST_F(SearchWindowTest, OnAFirstRunATakenHotKeyFallsBackToAltAndTheFileRecordsIt) {
    takeDefaultHotKeyTurn();
    ASSERT_TRUE(::DeleteFileA(folder.sub("Verbinox.xml").c_str())) << "a first run has no settings file";
    HWND holder = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(::RegisterHotKey(holder, 1, MOD_CONTROL, VK_SPACE));
    open();
    EXPECT_TRUE(dialog->isFirstRun());
    EXPECT_TRUE(dialog->isHotKeyRegistered());
    EXPECT_EQ(dialog->getSettings().hotKeyModifier, static_cast<UINT>(MOD_ALT));
    EXPECT_TRUE(boxes.empty()) << "silently";
    close();
    // The next start reads Alt from the file; with that taken too, it says so and tries nothing else.
    ::UnregisterHotKey(holder, 1);
    ASSERT_TRUE(::RegisterHotKey(holder, 1, MOD_ALT, VK_SPACE));
    open();
    EXPECT_FALSE(dialog->isFirstRun());
    EXPECT_FALSE(dialog->isHotKeyRegistered());
    EXPECT_EQ(boxes, std::vector<std::string>{"Couldn't register global hot-key"});
    close();
    ::UnregisterHotKey(holder, 1);
    ::DestroyWindow(holder);
}

TEST_F(SearchWindowTest, AThousandRapidTextChangesShowOnlyResultsOfTheCurrentText) {
    mustFinishWithin(170000, "1,000 text changes through the search window", [&] {
        open();
        std::vector<std::string> names;
        for (int i = 0; i < 40; ++i)
            names.push_back("item" + std::to_string(i) + (i % 2 ? "-odd" : "-even"));
        for (int i = 0; i < 8; ++i)
            addSource(names)->setCandidateDelayMicros(i * 20);
        const char* texts[] = {"item1", "odd", "even", "item19", "item7-odd"};
        int wrong = 0, checked = 0;
        for (int change = 0; change < 1000; ++change) {
            const std::string text = texts[change % 5];
            // Typed and settled at once: from here on only this text's results may show.
            vx::setWindowText(dialog->getCommandLine().getHwnd(), text);
            dialog->getCommandLine().stopTypingTimer();
            ::SendMessageW(dialog->getHwnd(), UM_TEXTCHANGED, 0, 1000);
            pumpMessages(change % 50 == 0 ? 80 : 1);
            for (const std::string& shownText : shown()) {
                ++checked;
                if (shownText.find(text) == std::string::npos)
                    ++wrong;
            }
        }
        EXPECT_EQ(wrong, 0) << "a result of an older text was shown";
        EXPECT_GT(checked, 0) << "some searches were left time to deliver";
        close();
    });
}

TEST_F(SearchWindowTest, EveryWindowCommandLineAndListKeySurvivesARestart) {
    const std::string written =
        "<Verbinox><Verbinox><Window AutoHide=\"false\" AlwaysOnTop=\"false\" AlwaysShowList=\"true\" "
        "HotKey=\"124\" HotKeyModifier=\"7\" CheckForUpdates=\"false\" PosX=\"40\" PosY=\"30\" "
        "HideOnDeactivate=\"false\">"
        "<CommandLine Delay=\"250\"><List ShowIcons=\"false\" TwoLines=\"false\" /></CommandLine>"
        "</Window></Verbinox></Verbinox>";
    ASSERT_TRUE(folder.writeFile("Verbinox.xml", written));
    open(false);
    close();
    VPreferencesNode* saved = VPreferences::load(folder.sub("Verbinox.xml"));
    ASSERT_NE(saved, nullptr);
    VPreferencesNode* window = saved->getChild("Verbinox")->getChild("Window");
    ASSERT_NE(window, nullptr);
    std::string value;
    for (const auto& expected :
         std::vector<std::pair<const char*, const char*>>{{"AutoHide", "false"},
                                                          {"AlwaysOnTop", "false"},
                                                          {"AlwaysShowList", "true"},
                                                          {"HotKey", "124"},
                                                          {"HotKeyModifier", "7"},
                                                          {"CheckForUpdates", "false"},
                                                          {"PosX", "40"},
                                                          {"PosY", "30"},
                                                          {"HideOnDeactivate", "false"}}) {
        EXPECT_TRUE(window->getParam(expected.first, value)) << expected.first;
        EXPECT_EQ(value, expected.second) << expected.first;
    }
    VPreferencesNode* commandLine = window->getChild("CommandLine");
    ASSERT_NE(commandLine, nullptr);
    EXPECT_TRUE(commandLine->getParam("Delay", value));
    EXPECT_EQ(value, "250");
    ASSERT_NE(commandLine->getChild("List"), nullptr);
    EXPECT_TRUE(commandLine->getChild("List")->getParam("ShowIcons", value));
    EXPECT_EQ(value, "false");
    EXPECT_TRUE(commandLine->getChild("List")->getParam("TwoLines", value));
    EXPECT_EQ(value, "false");
    saved->deleteThis();
}

TEST_F(SearchWindowTest, ADoubleClickOnTheTrayIconShowsTheWindowAndFocusesTheBox) {
    open();
    dialog->hideWindow();
    ASSERT_FALSE(::IsWindowVisible(dialog->getHwnd()));
    ::SendMessageW(dialog->getHwnd(), UM_TRAYNOTIFY, 2, WM_LBUTTONDBLCLK);
    EXPECT_FALSE(::IsWindowVisible(dialog->getHwnd())) << "another icon's notification";
    ::SendMessageW(dialog->getHwnd(), UM_TRAYNOTIFY, 1, WM_LBUTTONDOWN);
    EXPECT_FALSE(::IsWindowVisible(dialog->getHwnd())) << "a single click does nothing";
    ::SendMessageW(dialog->getHwnd(), UM_TRAYNOTIFY, 1, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(::IsWindowVisible(dialog->getHwnd()));
    EXPECT_EQ(::GetFocus(), dialog->getCommandLine().getHwnd());
}

TEST_F(SearchWindowTest, TheSessionsEndSavesAndShutsDownOnceBeforeTheWindowGoes) {
    open();
    NameIndexer* endless = addSource({"abc1"});
    endless->setEndless(true);
    type("abc");
    ASSERT_EQ(VIndexer::getRunningWorkerCount(), 1);
    EXPECT_EQ(::SendMessageW(dialog->getHwnd(), WM_QUERYENDSESSION, 0, 0), TRUE) << "never vetoes the end";
    ::SendMessageW(dialog->getHwnd(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(VIndexer::getRunningWorkerCount(), 0);
    VPreferencesNode* saved = VPreferences::load(folder.sub("Verbinox.xml"));
    ASSERT_NE(saved, nullptr);
    EXPECT_NE(saved->getChild("Verbinox")->getChild("Core"), nullptr) << "written at the session's end";
    saved->deleteThis();

    // Windows may still destroy the window afterwards: that must not save or shut down again.
    ASSERT_TRUE(folder.writeFile("Verbinox.xml", "changed since"));
    close();
    EXPECT_EQ(folder.readFile("Verbinox.xml"), "changed since");
}

TEST_F(SearchWindowTest, ADraggedWindowSnapsToTheWorkAreasEdgesWithinTenPixels) {
    open();
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ASSERT_TRUE(
        ::GetMonitorInfoW(::MonitorFromWindow(dialog->getHwnd(), MONITOR_DEFAULTTOPRIMARY), &monitor));
    const RECT work = monitor.rcWork;
    auto moving = [&](int left, int top) {
        RECT r{left, top, left + 300, top + 30};
        ::SendMessageW(dialog->getHwnd(), WM_MOVING, WMSZ_TOPLEFT, reinterpret_cast<LPARAM>(&r));
        return r;
    };
    RECT r = moving(work.left + 7, work.top + 200);
    EXPECT_EQ(r.left, work.left);
    EXPECT_EQ(r.top, work.top + 200) << "only the near edge snaps";
    EXPECT_EQ(r.right - r.left, 300);
    r = moving(work.right - 300 + 9, work.bottom - 30 - 8);
    EXPECT_EQ(r.right, work.right);
    EXPECT_EQ(r.bottom, work.bottom);
    r = moving(work.left - 6, work.top - 4);
    EXPECT_EQ(r.left, work.left) << "a little beyond the edge snaps back too";
    EXPECT_EQ(r.top, work.top);
    r = moving(work.left + 40, work.top + 40);
    EXPECT_EQ(r.left, work.left + 40);
    EXPECT_EQ(r.top, work.top + 40);
}

TEST_F(SearchWindowTest, AShortcutShorterThanASearchTakesItsActionOnlyWhenABlankFollows) {
    open();
    RecordingAction* record = addRecorder();
    core()->setShortcut("c", record);
    type("c");
    EXPECT_EQ(dialog->getMode(), CVerbinoxDlg::Searching) << "a pause after the first letter of a word";
    type("cafe");
    EXPECT_EQ(dialog->getMode(), CVerbinoxDlg::Searching);
    EXPECT_EQ(dialog->getCommandLine().getText(), "cafe");
    type("c pizza");
    EXPECT_EQ(dialog->getMode(), CVerbinoxDlg::ActionMode);
    EXPECT_EQ(dialog->getCurrentAction(), record);
    EXPECT_EQ(dialog->getCommandLine().getText(), "pizza");
}

TEST_F(SearchWindowTest, EnterOrTabOnAShortShortcutPicksItsActionOverTheFirstListedOne) {
    open();
    RecordingAction* record = addRecorder();
    core()->setShortcut("c", record);
    for (UINT key : {VK_RETURN, VK_TAB}) {
        type("c");
        settle();
        ASSERT_EQ(dialog->getMode(), CVerbinoxDlg::Searching);
        ASSERT_NE(dialog->getList().getSelectedElement(), nullptr);
        EXPECT_EQ(dialog->getList().getSelectedElement()->getDisplayText(), "Copy")
            << "listed by its keyword";
        press(key);
        EXPECT_EQ(dialog->getMode(), CVerbinoxDlg::ActionMode) << key;
        EXPECT_EQ(dialog->getCurrentAction(), record) << key;
        press(VK_ESCAPE);
        ASSERT_EQ(dialog->getMode(), CVerbinoxDlg::Idle);
    }
    EXPECT_TRUE(executed.empty());
}

TEST_F(SearchWindowTest, AnArgumentTypedAfterTheKeywordSettledLosesTheSeparatingBlank) {
    open();
    addRecorder();
    type("zzrecord");
    ASSERT_EQ(dialog->getMode(), CVerbinoxDlg::ActionMode);
    type(" hello world ");
    press(VK_RETURN);
    EXPECT_EQ(executed, std::vector<std::string>{"text:hello world"});
}

TEST_F(SearchWindowTest, EnterOnAKeywordAndWordsThatSettledIntoASearchRunsTheAction) {
    ShellCapture shell;
    ShellCapture::answer() = false;
    open();
    addRecorder();
    type("zzrecord fast text");
    settle();
    ASSERT_EQ(dialog->getMode(), CVerbinoxDlg::Searching)
        << "with the option off, words after a keyword search";
    press(VK_RETURN);
    EXPECT_EQ(executed, std::vector<std::string>{"text:fast text"});
    EXPECT_TRUE(ShellCapture::requests().empty());
}

TEST_F(SearchWindowTest, EnterDuringTheDelayOpensTheFirstResultOfTheFinalTextNeverAnOlderOne) {
    ShellCapture shell;
    ShellCapture::answer() = false;
    open();
    addRecorder();
    addSource({"note-1", "note-2"});
    addSource({"notepad-x"})->setCandidateDelayMicros(300000);
    type("note");
    settle();
    ASSERT_EQ(dialog->getList().getSelectedIndex(), 0);
    ASSERT_EQ(dialog->getList().getSelectedElement()->getDisplayText(), "note-1");

    // "pad" typed and Enter at once: the slow source has not answered for "notepad" yet.
    dialog->getCommandLine().setDelay(5000);
    vx::setWindowText(dialog->getCommandLine().getHwnd(), "notepad");
    EXPECT_EQ(dialog->getList().getSelectedIndex(), -1) << "no row of the older text is Enter's";
    press(VK_RETURN);
    EXPECT_TRUE(executed.empty()) << "nothing opens before the final text's first result";
    ASSERT_EQ(ShellCapture::requests().size(), 1u);
    EXPECT_EQ(ShellCapture::requests()[0].file, "notepad") << "the typed text is tried first";
    settle();
    EXPECT_EQ(executed, std::vector<std::string>{"notepad-x"});
}

namespace {

// A shell that cannot open the text and dispatches messages while it tries, as a DDE conversation or
// an error box does.
bool slowFailingShell(const std::string& file, const std::string&, const std::string&) {
    ShellCapture::requests().push_back({file, "", ""});
    pumpMessages(500);
    return false;
}

} // namespace

TEST_F(SearchWindowTest, EnterWhileResultsArriveOpensTheFirstOnceEvenWhenTheShellDispatchesMessages) {
    ShellCapture shell;
    vx::setShellOpenHook(&slowFailingShell);
    open();
    addRecorder();
    addSource({"report-fast"});
    addSource({"report-slow"})->setCandidateDelayMicros(300000);
    // Settled, and the fast source's batch is queued but not drawn yet when Enter comes.
    vx::setWindowText(dialog->getCommandLine().getHwnd(), "report");
    dialog->getCommandLine().stopTypingTimer();
    ::SendMessageW(dialog->getHwnd(), UM_TEXTCHANGED, 0, 1000);
    ::Sleep(100);
    ASSERT_EQ(dialog->getList().getCount(), 0);
    press(VK_RETURN);
    EXPECT_EQ(executed, std::vector<std::string>{"report-fast"});
    EXPECT_EQ(ShellCapture::requests().size(), 1u);
    settle();
    press(VK_RETURN);
    EXPECT_EQ(executed.size(), 1u) << "the first Enter was not left for a second one";
}

TEST_F(SearchWindowTest, HidingStopsTheSearchAndNoListShowsOverTheHiddenWindow) {
    open();
    dialog->showWindow();
    addSource({"abc-slow"})->setCandidateDelayMicros(200000);
    type("abc");
    ASSERT_EQ(dialog->getMode(), CVerbinoxDlg::Searching);
    ::SendMessageW(dialog->getHwnd(), WM_COMMAND, ID_TRAY_HIDE, 0);
    settle();
    EXPECT_FALSE(::IsWindowVisible(dialog->getHwnd()));
    EXPECT_FALSE(dialog->getList().isOnScreen());
    EXPECT_EQ(FakeCounters::searchesCancelled.load(), 1);
    EXPECT_EQ(FakeCounters::searchesFinished.load(), 0);
}

namespace {

struct BoxSearch {
    std::vector<HWND>* seen;
    HWND found;
};

BOOL CALLBACK findUnseenBox(HWND w, LPARAM data) {
    auto* search = reinterpret_cast<BoxSearch*>(data);
    // InternalGetWindowText, not GetWindowText: that sends WM_GETTEXT to the window's thread, the test's
    // own, which may be joining this one; both would then wait until the test timed out.
    wchar_t title[32] = {};
    char cls[16] = {};
    ::InternalGetWindowText(w, title, 32);
    ::GetClassNameA(w, cls, sizeof(cls));
    if (std::string(cls) != "#32770" || std::wstring(title) != L"Verbinox" || !::IsWindowVisible(w) ||
        std::find(search->seen->begin(), search->seen->end(), w) != search->seen->end())
        return TRUE;
    search->found = w;
    return FALSE;
}

// A message box of the program on that thread that is not among those seen; it is added to them.
HWND newBox(DWORD thread, std::vector<HWND>& seen) {
    BoxSearch search{&seen, nullptr};
    ::EnumThreadWindows(thread, &findUnseenBox, reinterpret_cast<LPARAM>(&search));
    if (search.found)
        seen.push_back(search.found);
    return search.found;
}

} // namespace

TEST_F(SearchWindowTest, TheAddressConfirmationIsModalToTheWindowAndOneEnterOpensOnce) {
    ShellCapture shell;
    auto previous = VVerbinoxCore::setUrlConfirmHook(&startup::confirmUrlOpening);
    open();
    dialog->showWindow();
    VUrlResult* unusual = VUrlResult::createInstance(nullptr);
    unusual->setUrl("ms-msdt:/id PCWDiagnostic");
    VElement* added = unusual;
    dialog->getList().addElements(&added, 1);
    ASSERT_EQ(dialog->getList().getSelectedElement(), unusual);

    // The user's side: looks at the box, presses Enter again under it, and answers Yes to every box.
    const HWND window = dialog->getHwnd(), edit = dialog->getCommandLine().getHwnd();
    const DWORD windowThread = ::GetCurrentThreadId();
    std::atomic<HWND> owner{nullptr};
    std::atomic<bool> windowEnabled{true}, done{false};
    std::atomic<int> answered{0};
    std::thread user([&] {
        std::vector<HWND> seen;
        while (!done.load()) {
            HWND box = newBox(windowThread, seen);
            if (!box) {
                ::Sleep(20);
                continue;
            }
            if (seen.size() == 1) {
                owner = ::GetWindow(box, GW_OWNER);
                windowEnabled = ::IsWindowEnabled(window) != FALSE;
                ::PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
                ::Sleep(300);
            }
            ++answered;
            ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
        }
    });
    press(VK_RETURN);
    pumpMessages(500);
    done = true;
    user.join();
    VVerbinoxCore::setUrlConfirmHook(previous);
    EXPECT_EQ(owner.load(), window);
    EXPECT_FALSE(windowEnabled.load());
    EXPECT_EQ(answered.load(), 1);
    ASSERT_EQ(ShellCapture::requests().size(), 1u);
    EXPECT_EQ(ShellCapture::requests()[0].file, "ms-msdt:/id PCWDiagnostic");
}

TEST_F(SearchWindowTest, UpdateCacheRebuildsAfterASearchThatFinished) {
    open();
    addSource({"abc1"});
    type("abc");
    settle();
    ASSERT_EQ(shown(), std::vector<std::string>{"abc1"});
    const long builds = FakeCounters::cacheBuilds.load();
    ::SendMessageW(dialog->getHwnd(), WM_COMMAND, ID_TRAY_UPDATECACHE, 0);
    ASSERT_TRUE(VVerbinoxCore::instance()->waitForCaches(5000));
    EXPECT_EQ(FakeCounters::cacheBuilds.load(), builds + 1);
    EXPECT_EQ(dialog->getCommandLine().getText(), "");
    EXPECT_EQ(dialog->getList().getCount(), 0) << "nothing found for a text that is gone";
}

TEST_F(SearchWindowTest, TrayCommandsWaitWhileThePreferencesSheetIsOpen) {
    open();
    addSource({"abc1"});
    dialog->hideWindow();
    ASSERT_NE(dialog->createPreferences(), nullptr);
    const long builds = FakeCounters::cacheBuilds.load();
    ::SendMessageW(dialog->getHwnd(), WM_COMMAND, ID_TRAY_UPDATECACHE, 0);
    ::SendMessageW(dialog->getHwnd(), WM_COMMAND, ID_TRAY_SHOW, 0);
    ASSERT_TRUE(core()->waitForCaches(5000));
    EXPECT_EQ(FakeCounters::cacheBuilds.load(), builds) << "no rebuild under the sheet";
    EXPECT_FALSE(::IsWindowVisible(dialog->getHwnd())) << "the sheet is brought forward instead";
    EXPECT_FALSE(dialog->isCommandAvailable(ID_TRAY_UPDATECACHE)) << "greyed in the tray menu";
    EXPECT_TRUE(dialog->isCommandAvailable(ID_WEB_HOME));
    dialog->getOpenPreferences()->cancel();
    pumpMessages(30);
    ::SendMessageW(dialog->getHwnd(), WM_COMMAND, ID_TRAY_UPDATECACHE, 0);
    ASSERT_TRUE(VVerbinoxCore::instance()->waitForCaches(5000));
    EXPECT_EQ(FakeCounters::cacheBuilds.load(), builds + 1);
}

TEST_F(SearchWindowTest, TheSessionEndingDuringAnActionEndsTheProgramOnlyAfterTheRun) {
    open();
    auto* action = new SessionEndingAction();
    ASSERT_TRUE(core()->registerAction(action));
    core()->setDefaultAction(VProperty::TextType, action);
    addSource({"abc1"});
    type("abc");
    settle();
    ASSERT_EQ(shown(), std::vector<std::string>{"abc1"});
    endingWindow = dialog->getHwnd();
    endingList = &dialog->getList();
    press(VK_DOWN);
    press(VK_RETURN);
    EXPECT_TRUE(windowLeftDuringTheRun) << "the window went while the action ran";
    EXPECT_EQ(rowsLeftDuringTheRun, 1) << "the result being opened was freed under the action";
    EXPECT_EQ(executed, std::vector<std::string>{"abc1"});
    EXPECT_FALSE(::IsWindow(endingWindow)) << "the program ends once the run is over";
    VPreferencesNode* saved = VPreferences::load(folder.sub("Verbinox.xml"));
    ASSERT_NE(saved, nullptr);
    EXPECT_NE(saved->getChild("Verbinox")->getChild("Core"), nullptr) << "saved when the session ended";
    saved->deleteThis();
}

TEST_F(SearchWindowTest, AfterTheSessionEndsTheProgramEndsAndTakesNoFurtherInput) {
    open();
    const HWND window = dialog->getHwnd(), edit = dialog->getCommandLine().getHwnd();
    ::SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP);
    ::SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
    EXPECT_FALSE(::IsWindow(window)) << "no window left for the hot-key, the tray or a key to reach";
    EXPECT_FALSE(::IsWindow(edit));
}

TEST_F(SearchWindowTest, EnterBeforeAnyResultOpensTheBestOfWhatTheFirstDrainBrings) {
    ShellCapture shell;
    ShellCapture::answer() = false;
    open();
    addRecorder();
    core()->registerIndexer(
        new KeyedSource({{"zzbest-worse", 10}, {"zzbest-better", 90}, {"zzbest-mid", 50}}));
    dialog->getCommandLine().setDelay(5000);
    type("zzbest");
    press(VK_RETURN);
    EXPECT_TRUE(executed.empty()) << "no result yet";
    settle();
    EXPECT_EQ(executed, std::vector<std::string>{"zzbest-better"}) << "the best row, not the first to come";
}

TEST_F(SearchWindowTest, ARunThatSucceedsIsRememberedForTheTypedTextAndAFailedOneIsNot) {
    const int64_t now = VChoiceMemory::currentTime();
    ShellCapture shell;
    ShellCapture::answer() = false;
    open();
    RecordingAction* recorder = addRecorder();
    addSource({"zzlearn-one", "zzlearn-two"});
    type("zzlearn");
    settle();
    ASSERT_EQ(shown().size(), 2u);
    dialog->getList().select(1);
    press(VK_RETURN);
    ASSERT_EQ(executed, std::vector<std::string>{"zzlearn-two"});
    std::vector<VLearnedItem> learned = core()->getChoiceMemory().lookup("zzlearn", now);
    ASSERT_EQ(learned.size(), 1u);
    EXPECT_EQ(learned[0].type, VProperty::TextType);
    EXPECT_EQ(learned[0].value, "zzlearn-two");

    // The keyword alone leads to action mode: the run is remembered for the keyword typed.
    type("zzrecord");
    ASSERT_EQ(dialog->getMode(), CVerbinoxDlg::ActionMode);
    type("abc");
    press(VK_RETURN);
    ASSERT_EQ(executed.back(), "text:abc");
    learned = core()->getChoiceMemory().lookup("zzrecord", now);
    ASSERT_EQ(learned.size(), 1u);
    EXPECT_EQ(learned[0].type, static_cast<PropertyType>(0)) << "an action";
    EXPECT_EQ(learned[0].value, "zzrecord");

    // A keyword and its argument typed whole: the action is remembered for the whole text.
    type("zzrecord some words");
    settle();
    press(VK_RETURN);
    ASSERT_EQ(executed.back(), "text:some words");
    learned = core()->getChoiceMemory().lookup("zzrecord some words", now);
    ASSERT_EQ(learned.size(), 1u);
    EXPECT_EQ(learned[0].value, "zzrecord");

    // The pop-up's action on a result is remembered for that result.
    type("zzlearn");
    settle();
    ::SendMessageW(
        dialog->getHwnd(), UM_ACTIONCHOSEN, reinterpret_cast<WPARAM>(recorder),
        reinterpret_cast<LPARAM>(static_cast<VResult*>(dialog->getList().getElement(0))->getProperty(0)));
    learned = core()->getChoiceMemory().lookup("zzlearn", now);
    EXPECT_EQ(learned.size(), 2u) << "zzlearn-one now too";

    auto* failing = new FailingAction();
    ASSERT_TRUE(core()->registerAction(failing));
    core()->setDefaultAction(VProperty::TextType, failing);
    const std::size_t before = core()->getChoiceMemory().size();
    type("zzlearn-o");
    settle();
    press(VK_RETURN);
    EXPECT_EQ(core()->getChoiceMemory().size(), before) << "a failed run teaches nothing";
    EXPECT_TRUE(core()->getChoiceMemory().lookup("zzlearn-o", now).empty());
}

namespace {

// Holds modifier keys down for the thread, as GetKeyState reads them, while it lives.
class HeldKeys {
public:
    explicit HeldKeys(std::initializer_list<int> keys) {
        ::GetKeyboardState(saved);
        BYTE state[256];
        std::copy(saved, saved + 256, state);
        for (int key : keys)
            state[key] = 0x80;
        ::SetKeyboardState(state);
    }
    ~HeldKeys() { ::SetKeyboardState(saved); }
    HeldKeys(const HeldKeys&) = delete;
    HeldKeys& operator=(const HeldKeys&) = delete;

private:
    BYTE saved[256];
};

std::pair<DWORD, DWORD> selectionOf(HWND edit) {
    DWORD start = 0, end = 0;
    ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {start, end};
}

// Where a row of the list begins on the screen.
LONG rowTopOnScreen(VElementListCtrl& list, int row) {
    POINT origin{0, 0};
    ::ClientToScreen(list.getHwnd(), &origin);
    return origin.y + (row - list.getTopIndex()) * list.getRowHeight();
}

// The only modal loop that shows the window by itself is the dialog manager's: the program's own run.
CVerbinoxDlg* modalDialog = nullptr;
int visibleInTheLoop = -1;
int visibleWhenRevealed = -1;
void CALLBACK lookAndEnd(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    visibleInTheLoop = ::IsWindowVisible(modalDialog->getHwnd()) ? 1 : 0;
    modalDialog->reveal();
    visibleWhenRevealed = ::IsWindowVisible(modalDialog->getHwnd()) ? 1 : 0;
    modalDialog->exit();
}

} // namespace

TEST_F(SearchWindowTest, HomeAndEndActInTheBoxWhileTheListTakesUpDownPagesAndControlHomeEnd) {
    VElementListCtrl& list = showResultsFor("abc", 5);
    ASSERT_EQ(list.getCount(), 5);
    ASSERT_TRUE(list.isOnScreen());
    HWND edit = dialog->getCommandLine().getHwnd();
    list.select(2);

    press(VK_HOME);
    EXPECT_EQ(selectionOf(edit), std::make_pair(DWORD{0}, DWORD{0}));
    press(VK_END);
    EXPECT_EQ(selectionOf(edit), std::make_pair(DWORD{3}, DWORD{3}));
    {
        HeldKeys shift({VK_SHIFT});
        press(VK_HOME);
    }
    EXPECT_EQ(selectionOf(edit), std::make_pair(DWORD{0}, DWORD{3})) << "Shift+Home selects to the start";
    EXPECT_EQ(dialog->getCommandLine().getText(), "abc") << "no key typed a character";
    EXPECT_EQ(list.getSelectedIndex(), 2) << "none of these reached the list";

    press(VK_DOWN);
    EXPECT_EQ(list.getSelectedIndex(), 3);
    press(VK_UP);
    EXPECT_EQ(list.getSelectedIndex(), 2);
    press(VK_NEXT);
    EXPECT_EQ(list.getSelectedIndex(), 4);
    press(VK_PRIOR);
    EXPECT_EQ(list.getSelectedIndex(), 0);
    {
        HeldKeys control({VK_CONTROL});
        press(VK_END);
        EXPECT_EQ(list.getSelectedIndex(), 4) << "Control+End goes to the last row";
        press(VK_HOME);
        EXPECT_EQ(list.getSelectedIndex(), 0) << "Control+Home goes to the first row";
    }
}

TEST_F(SearchWindowTest, TheWheelOverTheBoxOrTheWindowScrollsTheListAndLeavesTheSelection) {
    VElementListCtrl& list = showResultsFor("abc", 40);
    ASSERT_EQ(list.getCount(), 40);
    ASSERT_EQ(list.getTopIndex(), 0);
    const int selected = list.getSelectedIndex();
    UINT lines = 3;
    ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    const int perNotch = std::min(static_cast<int>(lines), list.getVisibleRows());

    // Wheel messages go to the focus window, the box: turned towards the user, the rows move up.
    ::SendMessageW(dialog->getCommandLine().getHwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
    EXPECT_EQ(list.getTopIndex(), perNotch);
    ::SendMessageW(dialog->getHwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
    EXPECT_EQ(list.getTopIndex(), 2 * perNotch) << "over the window, with the focus elsewhere";
    ::SendMessageW(dialog->getCommandLine().getHwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA / 2), 0);
    ::SendMessageW(dialog->getCommandLine().getHwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA / 2), 0);
    EXPECT_EQ(list.getTopIndex(), perNotch) << "two half notches make one";
    EXPECT_EQ(list.getSelectedIndex(), selected);
}

TEST_F(SearchWindowTest, TheContextMenuKeyAndShiftF10OpenTheSelectedRowsActionsAtThatRow) {
    VElementListCtrl& list = showResultsFor("abc", 5);
    ASSERT_EQ(list.getCount(), 5);
    list.select(3);
    VActionListCtrl& actions = list.getActionList();

    press(VK_APPS);
    ASSERT_TRUE(actions.isOnScreen());
    EXPECT_EQ(actions.getResult(), list.getSelectedElement());
    RECT popup{};
    ::GetWindowRect(actions.getHwnd(), &popup);
    EXPECT_EQ(popup.top, rowTopOnScreen(list, 3)) << "beside the selected row";
    // Its release brings the keyboard's WM_CONTEXTMENU: the pop-up stays, and no menu of the box opens.
    ::SendMessageW(dialog->getCommandLine().getHwnd(), WM_CONTEXTMENU,
                   reinterpret_cast<WPARAM>(dialog->getCommandLine().getHwnd()), MAKELPARAM(-1, -1));
    EXPECT_TRUE(actions.isOnScreen());
    press(VK_ESCAPE);
    ASSERT_FALSE(actions.isOnScreen());

    list.select(1);
    {
        HeldKeys shift({VK_SHIFT});
        ::SendMessageW(dialog->getCommandLine().getHwnd(), WM_SYSKEYDOWN, VK_F10, 1);
        pumpMessages(30);
    }
    ASSERT_TRUE(actions.isOnScreen());
    ::GetWindowRect(actions.getHwnd(), &popup);
    EXPECT_EQ(popup.top, rowTopOnScreen(list, 1));
}

TEST_F(SearchWindowTest, WithAutoHideAnotherProgramsActivationHidesTheWindowButItsOwnDialogsDoNot) {
    open();
    HWND window = dialog->getHwnd();
    dialog->showWindow();
    // Nothing is pumped while the option is on and the window could hide: the other test programs'
    // windows take the activation at any moment.
    dialog->setHideOnDeactivate(true);
    ::SendMessageW(window, WM_ACTIVATEAPP, FALSE, static_cast<LPARAM>(::GetCurrentThreadId()));
    EXPECT_TRUE(::IsWindowVisible(window)) << "a window of this program";

    PrefsSheet* sheet = dialog->createPreferences();
    ASSERT_NE(sheet, nullptr);
    ::SetForegroundWindow(sheet->getHwnd());
    pumpMessages(30);
    // The user leaves the sheet for another program: the window under it stays.
    ::SendMessageW(window, WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_TRUE(::IsWindowVisible(window)) << "the preferences sheet is open";

    dialog->setHideOnDeactivate(false);
    sheet->cancel();
    pumpMessages(30);
    ASSERT_EQ(dialog->getOpenPreferences(), nullptr);
    ::SendMessageW(window, WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_TRUE(::IsWindowVisible(window)) << "the option is off";
    dialog->setHideOnDeactivate(true);
    dialog->setAutoHide(false);
    ::SendMessageW(window, WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_TRUE(::IsWindowVisible(window)) << "auto-hide is off";

    dialog->setAutoHide(true);
    dialog->showWindow();
    // What Wine and Windows send when a window of another program takes the activation.
    ::SendMessageW(window, WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_FALSE(::IsWindowVisible(window));
}

TEST_F(SearchWindowTest, WithAutoHideTheProgramsOwnRunStartsHiddenUntilItIsShown) {
    auto* run = new CVerbinoxDlg();
    dialog.reset(run);
    run->setPreferencesPath(folder.sub("Verbinox.xml"));
    modalDialog = run;
    visibleInTheLoop = visibleWhenRevealed = -1;
    // Past the start-up timer and the dialog manager's first idle moment.
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 500, &lookAndEnd);
    ASSERT_NE(timer, 0u);
    run->run(nullptr);
    ::KillTimer(nullptr, timer);
    EXPECT_EQ(visibleInTheLoop, 0) << "hidden, as the tray balloon says";
    EXPECT_EQ(visibleWhenRevealed, 1) << "the hot-key still shows it";
    dialog.reset();
}

namespace {

// What assistive technology calls a window's client object.
std::wstring accessibleName(HWND hwnd) {
    IAccessible* object = nullptr;
    if (FAILED(::AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, kIidAccessible,
                                            reinterpret_cast<void**>(&object))))
        return L"(none)";
    VARIANT self;
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    object->get_accName(self, &text);
    std::wstring name = text ? text : L"";
    ::SysFreeString(text);
    object->Release();
    return name;
}

UINT dpiOf96(HWND) {
    return 96;
}
bool darkTheme() {
    return true;
}
bool lightTheme() {
    return false;
}

// Puts a seam back however the test ends.
template <typename Query> class Seam {
public:
    Seam(Query (*set)(Query), Query query) : set(set), previous(set(query)) {}
    ~Seam() { set(previous); }
    Seam(const Seam&) = delete;
    Seam& operator=(const Seam&) = delete;

private:
    Query (*set)(Query);
    Query previous;
};

int iconWidth(HICON icon) {
    ICONINFO info{};
    if (!icon || !::GetIconInfo(icon, &info))
        return 0;
    BITMAP bitmap{};
    ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    for (HBITMAP b : {info.hbmColor, info.hbmMask}) {
        if (b)
            ::DeleteObject(b);
    }
    return bitmap.bmWidth;
}

int fontHeight(HFONT font) {
    LOGFONTW record{};
    return ::GetObjectW(font, sizeof(record), &record) ? std::abs(record.lfHeight) : 0;
}

RECT screenRect(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return r;
}

bool isDark(COLORREF c) {
    return GetRValue(c) < 80 && GetGValue(c) < 80 && GetBValue(c) < 80;
}

} // namespace

TEST_F(SearchWindowTest, TheBoxAndTheMenuButtonAreNamedForWhatTheyAreNotForWhatTheyHold) {
    ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
    open();
    type("report");
    EXPECT_EQ(accessibleName(dialog->getCommandLine().getHwnd()), L"Search");
    EXPECT_EQ(accessibleName(::GetDlgItem(dialog->getHwnd(), IDC_MENUBUTTON)), L"Menu");
    close();
    ::CoUninitialize();
}

TEST_F(SearchWindowTest, OnADpiChangeFontsRowsAndTheStripGrowWithItAndTheFileKeepsTheHeightsAt96Dpi) {
    Seam<vx::DpiQuery> dpi(&vx::setDpiQuery, &dpiOf96);
    open();
    HWND strip = dialog->getHwnd();
    HWND edit = dialog->getCommandLine().getHwnd();
    auto boxFont = [&] { return reinterpret_cast<HFONT>(::SendMessageW(edit, WM_GETFONT, 0, 0)); };
    const RECT before = screenRect(strip);
    const int row = dialog->getList().getRowHeight(), box = fontHeight(boxFont()),
              line = fontHeight(core()->getFont1()),
              editHeight = screenRect(edit).bottom - screenRect(edit).top;
    auto actionIcon = [&] {
        return iconWidth(
            reinterpret_cast<HICON>(::SendDlgItemMessageW(strip, IDC_ACTIONICON, STM_GETICON, 0, 0)));
    };
    const int icon = actionIcon();
    LOGFONTA stored{};
    ASSERT_TRUE(core()->getFont1(&stored));
    ASSERT_GT(row * box * line * editHeight * icon, 0);

    RECT suggested{200, 100, 200 + (before.right - before.left) * 3 / 2,
                   100 + (before.bottom - before.top) * 3 / 2};
    ::SendMessageW(strip, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    pumpMessages(30);
    const RECT after = screenRect(strip);
    auto grew = [](int now, int was) { return static_cast<double>(now) / was; };
    EXPECT_NEAR(grew(dialog->getList().getRowHeight(), row), 1.5, 0.15);
    EXPECT_NEAR(grew(fontHeight(boxFont()), box), 1.5, 0.15);
    EXPECT_NEAR(grew(fontHeight(core()->getFont1()), line), 1.5, 0.15);
    EXPECT_NEAR(grew(after.bottom - after.top, before.bottom - before.top), 1.5, 0.15);
    EXPECT_NEAR(grew(screenRect(edit).bottom - screenRect(edit).top, editHeight), 1.5, 0.15);
    EXPECT_NEAR(grew(actionIcon(), icon), 1.5, 0.15);
    EXPECT_EQ(after.left, suggested.left) << "the suggested rectangle";
    EXPECT_EQ(after.top, suggested.top);
    EXPECT_EQ(after.right - after.left, suggested.right - suggested.left);
    LOGFONTA kept{};
    ASSERT_TRUE(core()->getFont1(&kept));
    EXPECT_EQ(kept.lfHeight, stored.lfHeight) << "the record the file gets stays at 96 DPI";

    // Saved at 144 DPI and opened again at 96: the rows look as they did.
    close();
    open();
    EXPECT_EQ(fontHeight(core()->getFont1()), line);
    EXPECT_EQ(dialog->getList().getRowHeight(), row);
}

TEST_F(SearchWindowTest,
       InTheDarkThemeTheBoxAndTheRowsTextAreLightUnlessTheUserChoseAColourAndAChangeIsFollowed) {
    Seam<vx::DarkThemeQuery> theme(&vx::setDarkThemeQuery, &darkTheme);
    open();
    HWND edit = dialog->getCommandLine().getHwnd();
    HDC dc = ::GetDC(edit);
    auto colourBox = [&] {
        return ::SendMessageW(dialog->getHwnd(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(edit));
    };
    EXPECT_NE(colourBox(), 0);
    EXPECT_TRUE(isDark(::GetBkColor(dc)));
    EXPECT_FALSE(isDark(::GetTextColor(dc)));
    EXPECT_FALSE(isDark(core()->drawnTextColor(RGB(0, 0, 0), false))) << "the default black would not read";
    EXPECT_EQ(core()->drawnTextColor(RGB(200, 0, 0), false), RGB(200, 0, 0)) << "the user's colour stays";

    vx::setDarkThemeQuery(&lightTheme);
    ::SendMessageW(dialog->getHwnd(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));
    EXPECT_EQ(core()->drawnTextColor(RGB(0, 0, 0), false), RGB(0, 0, 0));
    EXPECT_EQ(core()->drawnTextColor(RGB(0, 0, 0), true), ::GetSysColor(COLOR_HIGHLIGHTTEXT));
    colourBox();
    EXPECT_EQ(::GetBkColor(dc), ::GetSysColor(COLOR_WINDOW)) << "the system's colours again";
    ::ReleaseDC(edit, dc);
}
