#include "ExplorerFixture.h"

#include "ExplorerFavoritesIndexer.h"
#include "ExplorerHistoryIndexer.h"
#include "ExplorerModule.h"
#include "model/VFileResult.h"
#include "model/VPreferences.h"
#include "support/FolderLink.h"
#include "support/RecordingUrlSink.h"
#include "support/Watchdog.h"

#include <map>
#include <thread>

namespace {

// Where the history lookup of the test that wants one points.
std::string historyFileForTest;
std::vector<std::string> testHistoryFiles() {
    return {historyFileForTest};
}

// Searches again every 100 ms until something is found or 5 s have passed: what a user typing again
// a little later would see.
template <class Search> std::set<std::string> firstFound(Search search) {
    std::set<std::string> found;
    for (int waited = 0; waited < 5000 && found.empty(); waited += 100) {
        ::Sleep(100);
        found = search();
    }
    return found;
}

// Runs f on a new thread, which has not touched COM, and waits for it.
template <class F> void onFreshThread(F f) {
    std::thread(f).join();
}

} // namespace

TEST_F(ExplorerTest, FavoritesInSubFoldersAreFoundByTitleAndAddressInBothModes) {
    ASSERT_TRUE(temp.makeDir("Favorites\\Links"));
    ASSERT_TRUE(temp.makeDir("Favorites\\Links\\Deeper"));
    ASSERT_TRUE(writeFavorite("Links\\Deeper\\News.URL", "http://paper.example/today"));
    ASSERT_TRUE(writeFavorite("Radio-url", "http://radio.example/")) << "no dot: still tried";
    ASSERT_TRUE(temp.writeFile("Favorites\\Brokenurl", "not a shortcut"));
    ASSERT_TRUE(temp.writeFile("Favorites\\Notes.txt", FavoritesFolder::shortcut("http://notes.example/")));
    // An icon on a share would be fetched over the network if anyone looked it up.
    ASSERT_TRUE(temp.writeFile("Favorites\\Shared.url", FavoritesFolder::shortcut("http://shared.example/") +
                                                            "IconFile=\\\\no-such-server\\icons\\a.ico\r\n"));
    plugin->loadPrefs(nullptr);
    ASSERT_NE(plugin->getFavoritesIndexer(), nullptr);
    waitForCaches();
    EXPECT_EQ(plugin->getFavoritesIndexer()->getCachedCount(), 3u);
    for (bool live : {false, true}) {
        core->setLiveSearching(live);
        EXPECT_EQ(search("news"), (Names{"News"})) << "live " << live;
        EXPECT_EQ(search("paper.exa"), (Names{"News"})) << "by the address's domain";
        EXPECT_EQ(search("today"), Names{}) << "the path is not part of the domain";
        EXPECT_EQ(search("radio"), (Names{"Radio-url"}));
        EXPECT_EQ(search("notes"), Names{}) << "only files ending in url are shortcuts";
        EXPECT_EQ(search("broken"), Names{}) << "an unreadable shortcut is skipped";
        ASSERT_EQ(search("shared"), (Names{"Shared"}));
        const auto* result = static_cast<const VUrlResult*>(listener->results()[0]);
        EXPECT_EQ(result->getUrl(), "http://shared.example/");
        EXPECT_EQ(result->getIcon(), explorer::resultIcon()) << "the library's icon, never the shortcut's";
    }
}

TEST_F(ExplorerTest, TheFavoritesWalkDoesNotFollowLinksOrJunctions) {
    ASSERT_TRUE(temp.makeDir("Favorites\\A"));
    ASSERT_TRUE(temp.makeDir("Favorites\\B"));
    ASSERT_TRUE(writeFavorite("A\\Once.url", "http://once.example/"));
    // Two links back up the tree: followed, every path through them is walked, 2^depth of them.
    FolderLink fromA(temp.sub("Favorites\\A\\up"), temp.sub("Favorites"));
    FolderLink fromB(temp.sub("Favorites\\B\\up"), temp.sub("Favorites"));
    ASSERT_TRUE(fromA.made() && fromB.made());
    mustFinishWithin(20000, "walks of Favorites with two looping links", [&] {
        plugin->loadPrefs(nullptr);
        ASSERT_NE(plugin->getFavoritesIndexer(), nullptr);
        waitForCaches();
        EXPECT_EQ(plugin->getFavoritesIndexer()->getCachedCount(), 1u);
        core->setLiveSearching(true);
        EXPECT_EQ(search("once"), (Names{"Once"})) << "the live walk does not follow them either";
        core->setLiveSearching(false);
    });
}

TEST_F(ExplorerTest, WhenTheShortcutObjectCannotLoadAFileItsUrlLineIsRead) {
    ASSERT_TRUE(writeFavorite("Plain.url", "http://plain.example/"));
    ASSERT_TRUE(temp.writeFile("Favorites\\Other.url", "[Other]\r\nURL=http://other.example/\r\n"));
    std::string plain = "unread", other = "unread";
    // Without COM on the thread the shortcut object cannot even be created.
    onFreshThread([&] {
        plain = VExplorerFavoritesIndexer::readShortcutUrl(temp.sub("Favorites\\Plain.url"));
        other = VExplorerFavoritesIndexer::readShortcutUrl(temp.sub("Favorites\\Other.url"));
    });
    EXPECT_EQ(plain, "http://plain.example/");
    EXPECT_EQ(other, "") << "only the InternetShortcut section holds the address";
}

TEST_F(ExplorerTest, HistoryIsFoundInBothModesOnceForEachAddress) {
    addVisit(L"http://alpha.example/", L"Alpha news");
    addVisit(L"http://beta.example/", nullptr);
    addVisit(L"http://alpha.example/", L"Alpha again");
    addVisit(L"http://gamma.example/", nullptr);
    addVisit(L"http://gamma.example/", L"Gamma title");
    addVisit(L"", L"No address");
    plugin->setSearchHistory(true);
    ASSERT_NE(plugin->getHistoryIndexer(), nullptr);
    waitForCaches();
    EXPECT_EQ(plugin->getHistoryIndexer()->getCachedCount(), 3u);
    for (bool live : {false, true}) {
        core->setLiveSearching(live);
        core->setSearchUrlDescriptionsOnly(false);
        EXPECT_EQ(search("example"), (Names{"Alpha news", "http://beta.example/", "Gamma title"})) << live;
        EXPECT_EQ(listener->texts().size(), 3u) << "an address visited twice is listed once";
        EXPECT_EQ(listener->results()[0]->getIcon(), explorer::resultIcon());
        EXPECT_EQ(search("again"), Names{}) << "the first title stays";
        core->setSearchUrlDescriptionsOnly(true);
        EXPECT_EQ(search("beta"), Names{}) << "untitled entries are found only through their address";
        EXPECT_EQ(search("gamma"), (Names{"Gamma title"})) << "a later visit gave the title";
        EXPECT_EQ(search("address"), Names{}) << "a record without an address is dropped";
    }
    EXPECT_EQ(fakeHistory->wrongSizes.load(), 0) << "records must be sized for this platform";
}

TEST_F(ExplorerTest, EveryLiveSearchListsTheWholeHistoryAgainOnItsOwnThreadWithCom) {
    addVisit(L"http://alpha.example/", L"Alpha");
    plugin->setSearchHistory(true);
    waitForCaches();
    search("alpha");
    EXPECT_EQ(fakeHistory->creations.load(), 1) << "listed once, for the cache";
    core->setLiveSearching(true);
    EXPECT_EQ(search("alpha"), (Names{"Alpha"}));
    EXPECT_EQ(search("alpha"), (Names{"Alpha"}));
    EXPECT_EQ(fakeHistory->creations.load(), 3);
    EXPECT_EQ(fakeHistory->creationsWithCom.load(), 3);
}

TEST_F(ExplorerTest, AFailingHistoryServiceListsWhatItCouldAndTheIndexerStays) {
    addVisit(L"http://alpha.example/", L"Alpha");
    addVisit(L"http://beta.example/", L"Beta");
    CExplorerUrlList list;
    fakeHistory->createResult = REGDB_E_CLASSNOTREG;
    EXPECT_FALSE(list.enumerate());
    plugin->setSearchHistory(true);
    ASSERT_NE(plugin->getHistoryIndexer(), nullptr) << "registered whatever its source";
    waitForCaches();
    EXPECT_EQ(search("alpha"), Names{});
    fakeHistory->createResult = S_OK;
    fakeHistory->enumResult = E_NOTIMPL; // what Wine answers
    EXPECT_FALSE(list.enumerate());
    EXPECT_TRUE(list.empty());
    fakeHistory->enumResult = S_OK;
    fakeHistory->failAfter = 1;
    EXPECT_TRUE(list.enumerate()) << "a record that cannot be fetched only ends the list";
    ASSERT_EQ(list.size(), 1u);
    core->setLiveSearching(true);
    EXPECT_EQ(search("example"), (Names{"Alpha"}));
}

TEST_F(ExplorerTest, RecordsAreCopiedWithTheirTimesAndUnconvertibleTimesFlagged) {
    addVisit(L"http://alpha.example/", nullptr);
    fakeHistory->visits.push_back({L"http://beta.example/", L"Caf\u00E9", {0xFE39E000u, 0x01D5C09Au}});
    CExplorerUrlList list;
    ASSERT_TRUE(list.enumerate());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].title, "") << "a null title is an empty one";
    EXPECT_DOUBLE_EQ(list[0].lastVisited, 43831.5) << "noon, 1 January 2020";
    EXPECT_DOUBLE_EQ(list[0].lastUpdated, 43831.5);
    EXPECT_FALSE(list[0].lastVisitedInvalid);
    EXPECT_TRUE(list[0].expiresInvalid) << "listed all the same";
    EXPECT_EQ(list[1].title, "Caf\xE9") << "in the active code page, 1252 here";
    EXPECT_FALSE(list[1].expiresInvalid);
}

TEST_F(ExplorerTest, ListingHoldsComOnTheCallingThreadAndGivesItBack) {
    addVisit(L"http://alpha.example/", L"Alpha");
    HRESULT after = E_FAIL;
    onFreshThread([&] {
        CExplorerUrlList().enumerate();
        after = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); // S_OK: no COM was left
        if (SUCCEEDED(after))
            ::CoUninitialize();
    });
    EXPECT_EQ(fakeHistory->creationsWithCom.load(), 1);
    EXPECT_EQ(after, S_OK) << "COM was not given back";
    // A thread of the multithreaded apartment keeps it: that refusal holds nothing to give back.
    onFreshThread([&] {
        ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        CExplorerUrlList().enumerate();
        after = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ::CoUninitialize();
        ::CoUninitialize();
    });
    EXPECT_EQ(fakeHistory->creationsWithCom.load(), 2);
    EXPECT_EQ(after, S_FALSE) << "the thread's own COM was taken away";
}

TEST_F(ExplorerTest, SettingsSwitchTheIndexersAndSurviveTheFile) {
    plugin->loadPrefs(nullptr);
    EXPECT_NE(plugin->getFavoritesIndexer(), nullptr) << "favorites are on by default";
    EXPECT_EQ(plugin->getHistoryIndexer(), nullptr) << "history is off by default";
    VPreferencesNode* root = VPreferencesNode::createInstance("PluginMgr");
    root->addChild(VPreferencesNode::createInstance("Explorer"));
    root->getChild("Explorer")->setParam("SearchHistory", true);
    plugin->loadPrefs(root);
    root->deleteThis();
    EXPECT_NE(plugin->getFavoritesIndexer(), nullptr) << "a missing key leaves favorites on";
    EXPECT_NE(plugin->getHistoryIndexer(), nullptr);
    EXPECT_EQ(core->getNumIndexers(), 2);

    // Through the file and a fresh plug-in, as a restart does; the history is empty all along.
    plugin->setSearchFavorites(false);
    root = VPreferencesNode::createInstance("PluginMgr");
    plugin->savePrefs(root);
    ASSERT_TRUE(VPreferences::save(temp.sub("Verbinox.xml"), root));
    root->deleteThis();
    core->unregisterPlugin(plugin);
    plugin->deleteThis();
    plugin = new VExplorerPlugin();
    VPreferencesNode* loaded = VPreferences::load(temp.sub("Verbinox.xml"));
    ASSERT_NE(loaded, nullptr);
    plugin->loadPrefs(loaded->getChild("PluginMgr"));
    loaded->deleteThis();
    EXPECT_EQ(plugin->getFavoritesIndexer(), nullptr);
    EXPECT_NE(plugin->getHistoryIndexer(), nullptr);
    EXPECT_EQ(core->getNumIndexers(), 1);
}

TEST_F(ExplorerTest, LookAlikeSwitchesInFavoritesAndHistoryStayAddresses) {
    std::string utf16 = "\xFF\xFE";
    for (wchar_t c : std::wstring(L"[InternetShortcut]\r\nURL=\xFF0D\xFF0Dgpu-launcher=x\r\n"))
        utf16 += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    ASSERT_TRUE(temp.writeFile("Favorites\\Wide.url", utf16));
    addVisit(L"\xFF0D\xFF0Drenderer-cmd-prefix=x", L"Wide visit");
    plugin->loadPrefs(nullptr);
    plugin->setSearchHistory(true);
    waitForCaches();
    EXPECT_EQ(search("wide"), (Names{"Wide", "Wide visit"}));
    std::set<std::string> addresses;
    for (VResult* result : listener->results())
        addresses.insert(static_cast<VUrlResult*>(result)->getUrl());
    EXPECT_EQ(addresses, (std::set<std::string>{"%EF%BC%8D%EF%BC%8Dgpu-launcher=x",
                                                "%EF%BC%8D%EF%BC%8Drenderer-cmd-prefix=x"}));
    std::string read;
    onFreshThread(
        [&] { read = VExplorerFavoritesIndexer::readShortcutUrl(temp.sub("Favorites\\Wide.url")); });
    EXPECT_EQ(read, "%EF%BC%8D%EF%BC%8Dgpu-launcher=x") << "read without the shortcut object";
}

TEST_F(ExplorerTest, TheFavoritesReaderHandsOnEveryShortcutUntilStoppedOrFull) {
    ASSERT_TRUE(temp.makeDir("Favorites\\Links"));
    ASSERT_TRUE(writeFavorite("Links\\News.url", "http://news.example/"));
    ASSERT_TRUE(writeFavorite("Radio.url", "http://radio.example/"));
    ASSERT_TRUE(temp.writeFile("Favorites\\Notes.txt", "text"));
    const std::string folder = temp.sub("Favorites");
    auto never = [] { return false; };
    RecordingUrlSink all;
    EXPECT_TRUE(VExplorerFavoritesIndexer::readFavorites(folder, all, never));
    std::set<std::pair<std::string, std::string>> read;
    for (const RecordingUrlSink::Entry& e : all.entries)
        read.insert({e.url, e.title});
    EXPECT_EQ(read, (std::set<std::pair<std::string, std::string>>{{"http://news.example/", "News"},
                                                                   {"http://radio.example/", "Radio"}}));
    RecordingUrlSink stopped;
    StopAfter stop{1};
    EXPECT_FALSE(VExplorerFavoritesIndexer::readFavorites(folder, stopped, stop.get()));
    EXPECT_LE(stopped.entries.size(), 1u);
    RecordingUrlSink full;
    full.room = 1;
    EXPECT_FALSE(VExplorerFavoritesIndexer::readFavorites(folder, full, never));
    EXPECT_EQ(full.entries.size(), 1u);
    RecordingUrlSink none;
    EXPECT_TRUE(VExplorerFavoritesIndexer::readFavorites(temp.sub("Nowhere"), none, never));
    EXPECT_TRUE(none.entries.empty());
}

TEST_F(ExplorerTest, TheTreeTokenChangesWithEveryShortcutAddedRewrittenRenamedOrRemovedAtAnyDepth) {
    ASSERT_TRUE(temp.makeDir("Favorites\\A"));
    ASSERT_TRUE(temp.makeDir("Favorites\\A\\B"));
    const std::string folder = temp.sub("Favorites");
    std::set<std::string> seen;
    auto changed = [&] { return seen.insert(VExplorerFavoritesIndexer::treeToken(folder)).second; };
    EXPECT_TRUE(changed());
    EXPECT_FALSE(changed()) << "nothing changed";
    ASSERT_TRUE(writeFavorite("A\\B\\Deep.url", "http://deep.example/"));
    EXPECT_TRUE(changed()) << "added two levels down";
    ASSERT_TRUE(writeFavorite("A\\B\\Deep.url", "http://deeper.example/"));
    EXPECT_TRUE(changed()) << "rewritten in place: no folder changes";
    ASSERT_TRUE(::MoveFileA(temp.sub("Favorites\\A\\B\\Deep.url").c_str(),
                            temp.sub("Favorites\\A\\B\\Moved.url").c_str()));
    EXPECT_TRUE(changed()) << "renamed";
    ASSERT_TRUE(::DeleteFileA(temp.sub("Favorites\\A\\B\\Moved.url").c_str()));
    EXPECT_TRUE(changed()) << "removed";
    EXPECT_EQ(VExplorerFavoritesIndexer::treeToken(temp.sub("Nowhere")), "");
}

TEST_F(ExplorerTest, AFavoriteSavedDeepInTheTreeIsFoundWithoutAskingForTheCache) {
    ASSERT_TRUE(temp.makeDir("Favorites\\A"));
    ASSERT_TRUE(temp.makeDir("Favorites\\A\\B"));
    plugin->loadPrefs(nullptr);
    waitForCaches();
    ASSERT_EQ(search("deep"), Names{});
    ASSERT_TRUE(writeFavorite("A\\B\\Deep.url", "http://deep.example/"));
    EXPECT_EQ(firstFound([&] { return search("deep"); }), (Names{"Deep"}));
}

TEST_F(ExplorerTest, TheHistoryReaderGivesEachAddressOnceWithItsFirstTitleUntilStopped) {
    addVisit(L"http://alpha.example/", nullptr);
    addVisit(L"http://beta.example/", L"Beta");
    addVisit(L"http://alpha.example/", L"Alpha");
    addVisit(L"http://alpha.example/", L"Alpha again");
    auto never = [] { return false; };
    RecordingUrlSink all;
    EXPECT_TRUE(VExplorerHistoryIndexer::readHistory(all, never));
    EXPECT_EQ(all.entries, (std::vector<RecordingUrlSink::Entry>{{"http://alpha.example/", "Alpha", "", 0},
                                                                 {"http://beta.example/", "Beta", "", 0}}));
    RecordingUrlSink stopped;
    StopAfter stop{2};
    EXPECT_FALSE(VExplorerHistoryIndexer::readHistory(stopped, stop.get()));
    RecordingUrlSink full;
    full.room = 1;
    EXPECT_FALSE(VExplorerHistoryIndexer::readHistory(full, never));
    EXPECT_EQ(full.entries.size(), 1u);
    fakeHistory->enumResult = E_NOTIMPL;
    RecordingUrlSink failed;
    EXPECT_FALSE(VExplorerHistoryIndexer::readHistory(failed, never)) << "no history is no empty one";
}

TEST_F(ExplorerTest, ANewVisitIsFoundOnceTheHistoryFileChanges) {
    ASSERT_TRUE(temp.writeFile("index.dat", "one"));
    historyFileForTest = temp.sub("index.dat");
    const auto previous = CExplorerUrlList::setHistoryFilesLookup(&testHistoryFiles);
    addVisit(L"http://alpha.example/", L"Alpha");
    plugin->setSearchHistory(true);
    waitForCaches();
    addVisit(L"http://omega.example/", L"Omega");
    EXPECT_EQ(search("omega"), Names{}) << "the file did not change";
    ASSERT_TRUE(temp.writeFile("index.dat", "one and two"));
    EXPECT_EQ(firstFound([&] { return search("omega"); }), (Names{"Omega"}));
    CExplorerUrlList::setHistoryFilesLookup(previous);
}

TEST_F(ExplorerTest, AHistoryIsKeptForTheNextStartOnlyWhenAFileTellsOfItsChanges) {
    const auto previous = CExplorerUrlList::setHistoryFilesLookup(&testHistoryFiles);
    auto restart = [&] {
        core->unregisterPlugin(plugin);
        plugin->deleteThis();
        plugin = new VExplorerPlugin();
        plugin->setSearchHistory(true);
        waitForCaches();
    };
    addVisit(L"http://alpha.example/", L"Alpha");
    for (bool followed : {true, false}) {
        SCOPED_TRACE(followed ? "a history file" : "no history file");
        historyFileForTest = temp.sub(followed ? "index.dat" : "missing.dat");
        if (followed) {
            ASSERT_TRUE(temp.writeFile("index.dat", "one"));
        }
        plugin->setSearchHistory(true);
        waitForCaches();
        ASSERT_EQ(search("alpha"), (Names{"Alpha"}));
        const int listed = fakeHistory->creations.load();
        fakeHistory->visits.push_back(
            {followed ? L"http://kept.example/" : L"http://fresh.example/", L"Later"});
        restart();
        EXPECT_EQ(search("alpha"), (Names{"Alpha"}));
        EXPECT_EQ(fakeHistory->creations.load(), followed ? listed : listed + 1);
        EXPECT_EQ(search("later"), followed ? Names{} : Names{"Later"});
        plugin->setSearchHistory(false);
    }
    CExplorerUrlList::setHistoryFilesLookup(previous);
}
