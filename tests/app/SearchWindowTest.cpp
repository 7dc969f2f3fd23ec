// The real search window, driven by messages on this thread, with fake sources registered in the core.
#include "Messages.h"
#include "SearchWindow.h"
#include "model/VAction.h"
#include "model/VPreferences.h"
#include "support/BalloonCapture.h"
#include "support/CoreFixture.h"
#include "support/ShellCapture.h"
#include "support/TempFolder.h"
#include "support/Watchdog.h"
#include "support/MessagePump.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

std::vector<std::string> boxes;
void captureBox(const char* text) {
    boxes.push_back(text);
}

class SearchWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        FakeCounters::reset();
        boxes.clear();
        previousHook = CVerbinoxDlg::setMessageHook(&captureBox);
        VVerbinoxCore* core = VVerbinoxCore::instance();
        core->setPluginsPath(core->getAppLocation() + "no-plugins-here\\");
        // Hot-keys are shared by every process on the desktop, and tests run side by side: all but the
        // hot-key test ask for a combination nobody uses, and only mind its failure through the hook.
        // No update check: it would ask the maker's real server.
        ASSERT_TRUE(folder.writeFile("Verbinox.xml",
                                     "<Verbinox><Verbinox><Window HotKey=\"124\" HotKeyModifier=\"7\" "
                                     "CheckForUpdates=\"false\" /></Verbinox></Verbinox>"));
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
        if (fastTyping)
            dialog->getCommandLine().setDelay(0);
        pumpMessages(50);
    }
    void close() {
        dialog->exit();
        dialog.reset();
    }
    VVerbinoxCore* core() const { return VVerbinoxCore::instance(); }
    NameIndexer* addSource(std::vector<std::string> names) {
        auto* indexer = new NameIndexer(nullptr, std::move(names));
        indexer->updateCache();
        core()->registerIndexer(indexer);
        return indexer;
    }
    // Types text as the user would: the box changes, then the settled-text message follows.
    void type(const std::string& text) {
        ::SetWindowTextA(dialog->getCommandLine().getHwnd(), text.c_str());
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
    const uint32_t first = dialog->getShownSearchId();
    EXPECT_NE(first, 0u);
    slow->setCandidateDelayMicros(0);
    type("notebook");
    settle();
    EXPECT_GT(dialog->getShownSearchId(), first);
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

TEST_F(SearchWindowTest, EnterOnTextThatIsNeitherAnActionNorOpenableSearchesAtOnce) {
    ShellCapture shell;
    ShellCapture::answer() = false;
    open();
    addSource({"zzfind-me"});
    dialog->getCommandLine().setDelay(5000);
    type("zzfind");
    EXPECT_EQ(dialog->getMode(), CVerbinoxDlg::Idle) << "still waiting for the typing to settle";
    press(VK_RETURN);
    EXPECT_EQ(dialog->getMode(), CVerbinoxDlg::Searching);
    ASSERT_EQ(ShellCapture::requests().size(), 1u);
    EXPECT_EQ(ShellCapture::requests()[0].file, "zzfind");
    settle();
    EXPECT_EQ(shown(), std::vector<std::string>{"zzfind-me"});
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

    // The first run's shortcut settles into action mode; the words then follow on their own.
    dialog->getCommandLine().setDelay(0);
    type("g");
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
            ::SetWindowTextA(dialog->getCommandLine().getHwnd(), text.c_str());
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
        "HotKey=\"124\" HotKeyModifier=\"7\" CheckForUpdates=\"false\" PosX=\"40\" PosY=\"30\">"
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
    for (const auto& expected : std::vector<std::pair<const char*, const char*>>{{"AutoHide", "false"},
                                                                                 {"AlwaysOnTop", "false"},
                                                                                 {"AlwaysShowList", "true"},
                                                                                 {"HotKey", "124"},
                                                                                 {"HotKeyModifier", "7"},
                                                                                 {"CheckForUpdates", "false"},
                                                                                 {"PosX", "40"},
                                                                                 {"PosY", "30"}}) {
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
