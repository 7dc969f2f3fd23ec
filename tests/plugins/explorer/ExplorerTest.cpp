#include "ExplorerFixture.h"

#include "ExplorerFavoritesIndexer.h"
#include "ExplorerHistoryIndexer.h"
#include "ExplorerModule.h"
#include "model/VFileResult.h"
#include "model/VPreferences.h"

#include <thread>

namespace {

// Runs f on a new thread that has not touched COM, and waits for it.
template <class F> void onFreshThread(F f) {
    std::thread t(f);
    t.join();
}

} // namespace

TEST_F(ExplorerTest, FavoritesInSubFoldersAreFoundByTitleAndAddressInBothModes) {
    ASSERT_TRUE(temp.makeDir("Favorites\\Links"));
    ASSERT_TRUE(temp.makeDir("Favorites\\Links\\Deeper"));
    ASSERT_TRUE(writeFavorite("Links\\Deeper\\News.URL", "http://paper.example/today"));
    ASSERT_TRUE(writeFavorite("Weather.url", "http://forecast.example/"));
    ASSERT_TRUE(writeFavorite("Radio-url", "http://radio.example/")) << "no dot: still tried";
    ASSERT_TRUE(temp.writeFile("Favorites\\Brokenurl", "not a shortcut"));
    ASSERT_TRUE(temp.writeFile("Favorites\\Notes.txt", FavoritesFolder::shortcut("http://notes.example/")));
    plugin->loadPrefs(nullptr);
    ASSERT_NE(plugin->getFavoritesIndexer(), nullptr);
    EXPECT_EQ(plugin->getFavoritesIndexer()->getCachedCount(), 3u);
    for (bool live : {false, true}) {
        core->setLiveSearching(live);
        EXPECT_EQ(search("news"), (Names{"News"})) << "live " << live;
        EXPECT_EQ(search("paper.exa"), (Names{"News"})) << "by the address's domain";
        EXPECT_EQ(search("today"), Names{}) << "the path is not part of the domain";
        EXPECT_EQ(search("forecast"), (Names{"Weather"}));
        EXPECT_EQ(search("radio"), (Names{"Radio-url"}));
        EXPECT_EQ(search("notes"), Names{}) << "only files ending in url are shortcuts";
        EXPECT_EQ(search("broken"), Names{}) << "an unreadable shortcut is skipped";
    }
}

TEST_F(ExplorerTest, ResultsCarryAddressTitleAndTheLibrarysIconNeverTheShortcutsOwn) {
    // An icon on a share would be fetched over the network if anyone looked it up.
    ASSERT_TRUE(temp.writeFile("Favorites\\Shared.url",
                               "[InternetShortcut]\r\nURL=http://shared.example/x\r\n"
                               "IconFile=\\\\no-such-server\\icons\\shared.ico\r\nIconIndex=3\r\n"));
    addVisit(L"http://visited.example/", L"Visited page");
    plugin->setSearchFavorites(true);
    plugin->setSearchHistory(true);
    EXPECT_NE(plugin->getIcon(), nullptr);
    ASSERT_NE(explorer::resultIcon(), nullptr);
    core->setSearchUrlDomainOnly(false);
    for (bool live : {false, true}) {
        core->setLiveSearching(live);
        search("example/");
        std::map<std::string, std::string> found;
        for (VResult* result : listener->results()) {
            const auto* url = static_cast<const VUrlResult*>(result);
            found[url->getUrl()] = url->getDescription();
            EXPECT_EQ(result->getIcon(), explorer::resultIcon()) << url->getUrl();
            EXPECT_EQ(result->getPlugin(), plugin);
        }
        EXPECT_EQ(found, (std::map<std::string, std::string>{{"http://shared.example/x", "Shared"},
                                                             {"http://visited.example/", "Visited page"}}));
    }
}

TEST_F(ExplorerTest, WhenTheShortcutObjectCannotLoadAFileItsUrlLineIsRead) {
    ASSERT_TRUE(writeFavorite("Plain.url", "http://plain.example/"));
    ASSERT_TRUE(temp.writeFile("Favorites\\Other.url", "[Other]\r\nURL=http://other.example/\r\n"));
    EXPECT_EQ(VExplorerFavoritesIndexer::readShortcutUrl(temp.sub("Favorites\\Plain.url")),
              "http://plain.example/");
    // Without COM on the thread the shortcut object cannot even be created.
    std::string plain = "unread", other = "unread";
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
    EXPECT_EQ(plugin->getHistoryIndexer()->getCachedCount(), 3u);
    for (bool live : {false, true}) {
        core->setLiveSearching(live);
        core->setSearchUrlDescriptionsOnly(false);
        EXPECT_EQ(search("example"), (Names{"Alpha news", "http://beta.example/", "Gamma title"}))
            << "live " << live;
        EXPECT_EQ(listener->texts().size(), 3u) << "an address visited twice is listed once";
        EXPECT_EQ(search("again"), Names{}) << "the first title stays";
        EXPECT_EQ(search("beta"), (Names{"http://beta.example/"})) << "untitled: shown by its address";
        core->setSearchUrlDescriptionsOnly(true);
        EXPECT_EQ(search("beta"), Names{}) << "untitled entries are found only through their address";
        EXPECT_EQ(search("gamma"), (Names{"Gamma title"})) << "a later visit gave the title";
        EXPECT_EQ(search("address"), Names{}) << "a record without an address is dropped";
    }
    EXPECT_EQ(FakeHistory::state().wrongSizes.load(), 0) << "records must be sized for this platform";
}

TEST_F(ExplorerTest, EveryLiveSearchListsTheWholeHistoryAgain) {
    addVisit(L"http://alpha.example/", L"Alpha");
    plugin->setSearchHistory(true);
    EXPECT_EQ(FakeHistory::state().creations.load(), 1) << "the cache was built at construction";
    search("alpha");
    search("alpha");
    EXPECT_EQ(FakeHistory::state().creations.load(), 1) << "cached searches do not list it again";
    core->setLiveSearching(true);
    EXPECT_EQ(search("alpha"), (Names{"Alpha"}));
    EXPECT_EQ(search("alpha"), (Names{"Alpha"}));
    EXPECT_EQ(FakeHistory::state().creations.load(), 3);
    EXPECT_EQ(FakeHistory::state().creationsWithCom.load(), 3) << "the search threads held COM";
}

TEST_F(ExplorerTest, AFailingHistoryServiceListsWhatItCouldAndTheIndexerStays) {
    addVisit(L"http://alpha.example/", L"Alpha");
    addVisit(L"http://beta.example/", L"Beta");
    FakeHistory& fake = FakeHistory::state();
    CExplorerUrlList list;
    fake.createResult = REGDB_E_CLASSNOTREG;
    EXPECT_FALSE(list.enumerate());
    plugin->setSearchHistory(true);
    ASSERT_NE(plugin->getHistoryIndexer(), nullptr) << "registered whatever its source";
    EXPECT_EQ(plugin->getHistoryIndexer()->getCachedCount(), 0u);
    EXPECT_EQ(search("alpha"), Names{});

    fake.createResult = S_OK;
    fake.enumResult = E_NOTIMPL; // what Wine answers
    EXPECT_FALSE(list.enumerate());
    EXPECT_TRUE(list.empty());

    fake.enumResult = S_OK;
    fake.failAfter = 1;
    EXPECT_TRUE(list.enumerate()) << "a record that cannot be fetched only ends the list";
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].url, "http://alpha.example/");
    core->setLiveSearching(true);
    EXPECT_EQ(search("example"), (Names{"Alpha"}));
}

TEST_F(ExplorerTest, RecordsAreCopiedWithTheirTimesAndUnconvertibleTimesFlagged) {
    addVisit(L"http://alpha.example/", nullptr);
    FakeHistory::state().visits.push_back(
        {L"http://beta.example/", L"Caf\u00E9", {0xFE39E000u, 0x01D5C09Au}});
    CExplorerUrlList list;
    ASSERT_TRUE(list.enumerate());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].title, "") << "a null title is an empty one";
    EXPECT_DOUBLE_EQ(list[0].lastVisited, 43831.5) << "noon, 1 January 2020";
    EXPECT_FALSE(list[0].lastVisitedInvalid);
    EXPECT_DOUBLE_EQ(list[0].lastUpdated, 43831.5);
    EXPECT_TRUE(list[0].expiresInvalid) << "listed all the same";
    EXPECT_EQ(list[0].expires, 0.0);
    EXPECT_EQ(list[1].title, "Caf\xE9") << "converted to the active code page, 1252 here";
    EXPECT_FALSE(list[1].expiresInvalid);
    EXPECT_EQ(StringLedger::instance().unfreed(), 0u);
}

TEST_F(ExplorerTest, ListingHoldsComOnTheCallingThreadAndGivesItBack) {
    addVisit(L"http://alpha.example/", L"Alpha");
    HRESULT after = E_FAIL;
    std::size_t listed = 0;
    onFreshThread([&] {
        CExplorerUrlList list;
        list.enumerate();
        listed = list.size();
        // S_OK: the thread had no COM left.
        after = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(after))
            ::CoUninitialize();
    });
    EXPECT_EQ(listed, 1u);
    EXPECT_EQ(FakeHistory::state().creationsWithCom.load(), 1);
    EXPECT_EQ(after, S_OK) << "COM was not given back";

    // A thread in the multithreaded apartment keeps it: that refusal holds nothing to give back.
    onFreshThread([&] {
        ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        CExplorerUrlList list;
        list.enumerate();
        listed = list.size();
        after = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(after))
            ::CoUninitialize();
        ::CoUninitialize();
    });
    EXPECT_EQ(listed, 1u);
    EXPECT_EQ(after, S_FALSE) << "the thread's own COM was taken away";
}

TEST_F(ExplorerTest, SettingsSwitchTheIndexersAndSurviveTheFile) {
    plugin->loadPrefs(nullptr);
    EXPECT_NE(plugin->getFavoritesIndexer(), nullptr) << "favorites are on by default";
    EXPECT_EQ(plugin->getHistoryIndexer(), nullptr) << "history is off by default";
    EXPECT_EQ(core->getNumIndexers(), 1);

    VPreferencesNode* root = VPreferencesNode::createInstance("PluginMgr");
    VPreferencesNode* mine = VPreferencesNode::createInstance("Explorer");
    mine->setParam("SearchHistory", true);
    root->addChild(mine);
    plugin->loadPrefs(root);
    root->deleteThis();
    EXPECT_NE(plugin->getFavoritesIndexer(), nullptr) << "a missing key leaves favorites on";
    ASSERT_NE(plugin->getHistoryIndexer(), nullptr);
    EXPECT_EQ(core->getNumIndexers(), 2);

    // Through the file and a fresh plug-in, as a restart does; the history is empty all along.
    plugin->setSearchFavorites(false);
    root = VPreferencesNode::createInstance("PluginMgr");
    plugin->savePrefs(root);
    ASSERT_TRUE(VPreferences::save(temp.sub("Verbinox.xml"), root));
    root->deleteThis();
    core->unregisterPlugin(plugin);
    plugin->deleteThis();
    EXPECT_EQ(core->getNumIndexers(), 0);
    plugin = new VExplorerPlugin();
    VPreferencesNode* loaded = VPreferences::load(temp.sub("Verbinox.xml"));
    ASSERT_NE(loaded, nullptr);
    plugin->loadPrefs(loaded->getChild("PluginMgr"));
    loaded->deleteThis();
    EXPECT_EQ(plugin->getFavoritesIndexer(), nullptr);
    EXPECT_NE(plugin->getHistoryIndexer(), nullptr);
    EXPECT_EQ(core->getNumIndexers(), 1);
}
