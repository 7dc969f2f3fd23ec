#include "support/CoreFixture.h"
#include "support/TempFolder.h"
#include "support/Watchdog.h"

#include "model/VBuiltinActions.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>
#include <thread>

namespace {

NameIndexer* makeIndexer(VPlugin* plugin, std::vector<std::string> names) {
    auto* indexer = new NameIndexer(plugin, std::move(names));
    indexer->updateCache();
    return indexer;
}

class TestAction : public VAction {
public:
    TestAction(const std::string& keyword, VPlugin* plugin) : VAction(keyword, keyword, "test", plugin) {}
    bool execute(const std::string&) override { return true; }
};

} // namespace

using SearchDispatch = CoreTest;

TEST_F(SearchDispatch, IdsStartAtOneAndGrowByOnePerSearch) {
    uint32_t first = 0, second = 0;
    core->startSeach("abc", first);
    core->startSeach("abd", second);
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(second, 2u);
    EXPECT_EQ(core->getCurrentSearchId(), 2u);
    EXPECT_TRUE(core->isSearching());
}

TEST_F(SearchDispatch, ResultsOfTheCurrentSearchReachTheListener) {
    auto* listener = new CollectingListener();
    core->registerResultListener(listener);
    ASSERT_TRUE(core->registerIndexer(makeIndexer(nullptr, {"notes.txt", "Notepad", "readme"})));
    uint32_t id = 0;
    core->startSeach("note", id);
    ASSERT_TRUE(waitForWorkers());
    std::vector<std::string> texts = listener->texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "notes.txt");
    EXPECT_EQ(texts[1], "Notepad");
    for (uint32_t got : listener->ids())
        EXPECT_EQ(got, id);
    EXPECT_EQ(listener->batches(), 1) << "a worker posts all its results in one call";
}

TEST_F(SearchDispatch, LateResultsOfAReplacedSearchAreDestroyed) {
    auto* listener = new CollectingListener();
    core->registerResultListener(listener);
    uint32_t old = 0, current = 0;
    core->startSeach("abc", old);
    core->startSeach("abd", current);
    VResult* late[2] = {new FakeResult(nullptr, "a"), new FakeResult(nullptr, "b")};
    core->addResults(old, late, 2);
    core->addResult(old, new FakeResult(nullptr, "c"));
    EXPECT_TRUE(listener->ids().empty());
    EXPECT_EQ(FakeCounters::results.load(), 0);
}

TEST_F(SearchDispatch, CancelOfAnotherIdLeavesTheCurrentSearchRunning) {
    uint32_t old = 0, current = 0;
    core->startSeach("abc", old);
    core->startSeach("abd", current);
    core->cancelSearch(old);
    EXPECT_EQ(core->getCurrentSearchId(), current);
    core->cancelSearch(current);
    EXPECT_FALSE(core->isSearching());
    EXPECT_EQ(core->getCurrentSearchId(), 0u);
    VResult* batch[1] = {new FakeResult(nullptr, "x")};
    core->addResults(current, batch, 1);
    EXPECT_EQ(FakeCounters::results.load(), 0);
}

TEST_F(SearchDispatch, ResultsWithNoListenerRegisteredAreDestroyedByTheCore) {
    uint32_t id = 0;
    core->startSeach("abc", id);
    VResult* batch[3] = {new FakeResult(nullptr, "a"), new FakeResult(nullptr, "b"),
                         new FakeResult(nullptr, "c")};
    core->addResults(id, batch, 3);
    core->addResult(id, new FakeResult(nullptr, "d"));
    EXPECT_EQ(FakeCounters::results.load(), 0);
}

TEST_F(SearchDispatch, CancelStopsARunningWorkerWithoutWaiting) {
    auto* indexer = makeIndexer(nullptr, {"abc"});
    indexer->setEndless(true);
    core->registerIndexer(indexer);
    uint32_t id = 0;
    core->startSeach("abc", id);
    ::Sleep(20);
    EXPECT_TRUE(indexer->isWorkerRunning());
    core->cancelSearch(id);
    ASSERT_TRUE(waitForWorkers(5000)) << "the worker did not notice the cancel flag";
    EXPECT_EQ(FakeCounters::searchesCancelled.load(), 1);
}

TEST_F(SearchDispatch, NewSearchCancelsThePreviousWorkerInsteadOfWaitingForIt) {
    auto* indexer = makeIndexer(nullptr, {"abc"});
    indexer->setEndless(true); // would never end on its own
    core->registerIndexer(indexer);
    uint32_t first = 0, second = 0;
    core->startSeach("abc", first);
    ::Sleep(10);
    auto before = std::chrono::steady_clock::now();
    core->startSeach("abd", second);
    auto blocked = std::chrono::steady_clock::now() - before;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(blocked).count(), 2000);
    // The new worker takes its search once the old one has noticed the flag.
    for (int waited = 0; waited < 5000 && indexer->workersStarted() < 2; waited += 5)
        ::Sleep(5);
    EXPECT_EQ(indexer->workersStarted(), 2);
    EXPECT_EQ(indexer->lastSearchId(), second);
    core->cancelSearch(second);
}

TEST_F(SearchDispatch, ShortOrBlankTextsStartNoWorker) {
    auto* indexer = makeIndexer(nullptr, {"abc"});
    core->registerIndexer(indexer);
    uint32_t id = 0;
    core->startSeach("ab", id);
    EXPECT_FALSE(indexer->isWorkerRunning());
    EXPECT_EQ(indexer->lastSearchId(), 0u);
    core->startSeach("   ", id);
    EXPECT_EQ(indexer->lastSearchId(), 0u) << "blanks at either end are not counted";
    core->setSearchMinChars(0);
    core->startSeach("   ", id);
    EXPECT_EQ(indexer->lastSearchId(), id) << "three spaces pass a length test of none";
    EXPECT_TRUE(indexer->lastTokens().empty());
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(FakeCounters::searchesFinished.load() + FakeCounters::searchesCancelled.load(), 0);
    core->startSeach("a", id);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(FakeCounters::searchesFinished.load(), 1);
}

TEST_F(SearchDispatch, ActionsWhoseKeywordStartsWithTheTrimmedTextAreOffered) {
    auto* actions = new CollectingActionListener();
    core->registerActionListener(actions);
    auto* indexer = makeIndexer(nullptr, {"  co "});
    core->registerIndexer(indexer);
    core->setSearchMinChars(0);
    uint32_t id = 0;
    core->startSeach("  co ", id);
    ASSERT_EQ(actions->actions.size(), 1u);
    EXPECT_EQ(actions->actions[0]->getKeyword(), "copy");
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(indexer->lastTokens(), std::vector<std::string>{"co"});

    actions->actions.clear();
    core->startSeach("", id);
    EXPECT_EQ(actions->actions.size(), static_cast<std::size_t>(core->getNumActions()));
}

TEST_F(SearchDispatch, RegistrationRules) {
    TestAction copy("copy", nullptr);
    EXPECT_FALSE(core->registerAction(&copy)) << "the built-in copy action owns that keyword";
    auto* indexer = makeIndexer(nullptr, {});
    EXPECT_TRUE(core->registerIndexer(indexer));
    EXPECT_FALSE(core->registerIndexer(indexer));
    EXPECT_EQ(core->getNumIndexers(), 1);
    EXPECT_THROW(core->getAction(-1), std::invalid_argument);
    EXPECT_THROW(core->getAction(core->getNumActions()), std::invalid_argument);
    // An indexer that was never registered is still destroyed.
    EXPECT_TRUE(core->unregisterIndexer(makeIndexer(nullptr, {})));
    EXPECT_EQ(FakeCounters::indexers.load(), 1);
}

TEST_F(SearchDispatch, UpdateCacheWhileASearchIsCurrentDoesNothing) {
    auto* indexer = makeIndexer(nullptr, {"abc"});
    core->registerIndexer(indexer);
    const long builds = FakeCounters::cacheBuilds.load();
    uint32_t id = 0;
    core->startSeach("zzz", id);
    core->updateCache();
    EXPECT_EQ(FakeCounters::cacheBuilds.load(), builds) << "a cache was rebuilt under the current search";
    core->cancelSearch(id);
    ASSERT_TRUE(waitForWorkers());
    ASSERT_TRUE(core->waitForCaches(5000));
    EXPECT_EQ(FakeCounters::cacheBuilds.load(), builds) << "a refused rebuild ran later";
    core->updateCache();
    ASSERT_TRUE(core->waitForCaches(5000));
    EXPECT_EQ(FakeCounters::cacheBuilds.load(), builds + 1);
}

TEST_F(SearchDispatch, AStaleCacheIsRebuiltByTheBuilderForCachedSearchesOnly) {
    auto* listener = new CollectingListener();
    core->registerResultListener(listener);
    auto* indexer = makeIndexer(nullptr, {"abc", "abcd"});
    core->registerIndexer(indexer);
    const long builds = FakeCounters::cacheBuilds.load();
    uint32_t id = 0;
    core->startSeach("abc", id);
    ASSERT_TRUE(waitForWorkers());
    ASSERT_TRUE(core->waitForCaches(5000));
    EXPECT_EQ(FakeCounters::cacheBuilds.load(), builds) << "an unchanged source was rebuilt";

    indexer->markSourceChanged();
    core->startSeach("abcd", id);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(listener->texts().back(), "abcd") << "the search did not answer from the cache it had";
    ASSERT_TRUE(core->waitForCaches(5000));
    EXPECT_EQ(FakeCounters::cacheBuilds.load(), builds + 1);
    EXPECT_FALSE(indexer->isCacheStale());

    core->setLiveSearching(true);
    ASSERT_TRUE(core->waitForCaches(5000));
    indexer->markSourceChanged();
    core->startSeach("abc", id);
    ASSERT_TRUE(waitForWorkers());
    ASSERT_TRUE(core->waitForCaches(5000));
    EXPECT_TRUE(indexer->isCacheStale()) << "a live search has no cache to rebuild";
    core->setLiveSearching(false);
    ASSERT_TRUE(core->waitForCaches(5000));
}

TEST_F(SearchDispatch, AKeystrokeNeverWaitsForARebuildThatIgnoresTheCancelFlag) {
    auto* listener = new CollectingListener();
    core->registerResultListener(listener);
    auto* indexer = makeIndexer(nullptr, {"abc", "abcd", "abcde"});
    core->registerIndexer(indexer);
    vx::CHandle gate;
    gate.Attach(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    indexer->setRebuildGate(gate.Get());
    indexer->markSourceChanged();
    // Opened late in any case, so that a window thread that does wait shows as a slow keystroke.
    std::thread opener([&] {
        ::Sleep(1500);
        ::SetEvent(gate.Get());
    });

    uint32_t id = 0;
    core->startSeach("abc", id);
    for (int waited = 0; waited < 5000 && indexer->rebuildsAtTheGate() == 0; waited += 5)
        ::Sleep(5);
    ASSERT_EQ(indexer->rebuildsAtTheGate(), 1) << "the builder never began its rebuild";
    long long slowest = 0;
    long mostWorkers = 0;
    for (const char* text : {"abcd", "abcde", "abcd", "abcde"}) {
        const auto before = std::chrono::steady_clock::now();
        core->startSeach(text, id);
        const auto took = std::chrono::steady_clock::now() - before;
        slowest =
            std::max<long long>(slowest, std::chrono::duration_cast<std::chrono::milliseconds>(took).count());
        mostWorkers = std::max(mostWorkers, VIndexer::getRunningWorkerCount());
    }
    EXPECT_LT(slowest, 100) << "a keystroke waited for the stuck rebuild";
    EXPECT_LE(mostWorkers, 2) << "one searching and one waiting are enough";

    opener.join();
    ASSERT_TRUE(waitForWorkers());
    // The first search answered from the cache it had; of those typed during the rebuild only the last ran.
    const std::vector<uint32_t> ids = listener->ids();
    const std::vector<std::string> texts = listener->texts();
    ASSERT_FALSE(ids.empty());
    EXPECT_EQ(ids.back(), id);
    EXPECT_EQ(texts.back(), "abcde");
    EXPECT_EQ(std::count(ids.begin(), ids.end(), id), 1);
    EXPECT_TRUE(std::all_of(ids.begin(), ids.end(), [&](uint32_t seen) {
        return seen == ids.front() || seen == id;
    })) << "a search typed while the rebuild ran delivered";
}

TEST_F(SearchDispatch, ABuildCutShortByStoppingTheIndexerKeepsTheOldCache) {
    std::vector<std::string> names;
    for (int i = 0; i < 2000; ++i)
        names.push_back("name" + std::to_string(i));
    auto* indexer = makeIndexer(nullptr, names);
    core->registerIndexer(indexer);
    indexer->setRebuildDelayMicros(500); // a second for the whole rebuild
    indexer->markSourceChanged();
    const long builds = FakeCounters::cacheBuilds.load();
    core->updateCache();
    ::Sleep(50);
    const auto before = std::chrono::steady_clock::now();
    indexer->stopWorker();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500))
        << "the build did not notice the stop";
    EXPECT_EQ(FakeCounters::rebuildsCutShort.load(), 1);
    EXPECT_EQ(FakeCounters::cacheBuilds.load(), builds);
    EXPECT_TRUE(indexer->isCacheStale()) << "a cut-short build must be tried again";

    indexer->setRebuildDelayMicros(0);
    core->updateCache();
    ASSERT_TRUE(core->waitForCaches(5000));
    EXPECT_EQ(FakeCounters::cacheBuilds.load(), builds + 1);
    EXPECT_FALSE(indexer->isCacheStale());
}

TEST_F(SearchDispatch, ACacheIsRebuiltOnlyOnceTheSearchReadingItHasEnded) {
    auto* indexer = makeIndexer(nullptr, {"abc", "abcd"});
    indexer->setEndless(true);
    core->registerIndexer(indexer);
    uint32_t id = 0;
    core->startSeach("abc", id);
    ::Sleep(10);
    const long builds = FakeCounters::cacheBuilds.load();
    const auto before = std::chrono::steady_clock::now();
    core->setLiveSearching(true);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(100))
        << "the caller waited";
    EXPECT_FALSE(core->waitForCaches(200)) << "the cache was rebuilt under the running search";
    EXPECT_TRUE(indexer->isWorkerRunning());
    core->cancelSearch(id);
    ASSERT_TRUE(core->waitForCaches(5000));
    core->setLiveSearching(false);
    ASSERT_TRUE(core->waitForCaches(5000));
    EXPECT_EQ(FakeCounters::cacheBuilds.load(), builds + 1) << "going live empties, coming back builds";
    indexer->setEndless(false);
    core->startSeach("abc", id);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(FakeCounters::searchesFinished.load(), 1);
}

TEST_F(SearchDispatch, UnregisteringAnActionForgetsItsShortcutAndDefaultEntries) {
    auto* action = new TestAction("google", nullptr);
    ASSERT_TRUE(core->registerAction(action));
    core->setShortcut("g", action);
    core->setDefaultAction(VProperty::UrlType, action);
    ASSERT_TRUE(core->unregisterAction(action));
    EXPECT_EQ(core->getAction("g", true), nullptr);
    EXPECT_EQ(core->getDefaultAction(VProperty::UrlType), nullptr);
    EXPECT_EQ(core->getShortcut(action), "");
    EXPECT_FALSE(core->unregisterAction(action));
    action->deleteThis();
}

TEST_F(SearchDispatch, UnregisteringAPluginDestroysItsObjectsAndForgetsTheirShortcuts) {
    FakePlugin plugin, other;
    auto* mine = new TestAction("mine", &plugin);
    auto* theirs = new TestAction("theirs", &other);
    core->registerAction(mine);
    core->registerAction(theirs);
    core->registerIndexer(makeIndexer(&plugin, {"a"}));
    core->registerIndexer(makeIndexer(&other, {"b"}));
    core->setShortcut("m", mine);
    core->setDefaultAction(VProperty::PhoneType, mine);
    core->unregisterPlugin(&plugin);
    EXPECT_EQ(core->getAction("m", true), nullptr);
    EXPECT_EQ(core->getDefaultAction(VProperty::PhoneType), nullptr);
    EXPECT_EQ(core->getAction("mine", false), nullptr);
    EXPECT_EQ(core->getAction("theirs", false), theirs);
    EXPECT_EQ(core->getNumIndexers(), 1);
    EXPECT_EQ(FakeCounters::indexers.load(), 1);
    core->unregisterPlugin(&other);
}

TEST_F(SearchDispatch, ShutDownJoinsRunningWorkersBeforeDestroyingIndexersAndListeners) {
    uint32_t showing = 0;
    core->registerResultListener(new CollectingListener());
    for (int i = 0; i < 4; ++i) {
        auto* indexer = makeIndexer(nullptr, {"abc", "abcd", "xabc"});
        indexer->setEndless(true);
        core->registerIndexer(indexer);
    }
    core->startSeach("abc", showing);
    ::Sleep(10);
    EXPECT_EQ(VIndexer::getRunningWorkerCount(), 4);
    core->shutDown(); // TearDown checks that nothing is left
    EXPECT_EQ(VIndexer::getRunningWorkerCount(), 0);
}

TEST_F(SearchDispatch, ThousandRapidSearchCyclesEndCleanWithinAWatchdog) {
    auto* listener = new CollectingListener();
    core->registerResultListener(listener);
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i)
        names.push_back("item" + std::to_string(i) + (i % 3 ? "abc" : "xyz"));
    for (int i = 0; i < 3; ++i) {
        auto* indexer = makeIndexer(nullptr, names);
        indexer->setCandidateDelayMicros(i == 0 ? 5 : 0);
        core->registerIndexer(indexer);
    }

    mustFinishWithin(60000, "1,000 search cycles", [&] {
        // The window thread's part: start, replace and cancel searches as fast as the user could type.
        for (int cycle = 0; cycle < 1000; ++cycle) {
            uint32_t id = 0;
            core->startSeach(cycle % 2 ? "abc" : "item1", id);
            if (cycle % 3 == 0)
                core->cancelSearch(id);
            if (cycle % 7 == 0)
                listener->clear();
            // Now and then a search is left to finish, so deliveries happen among the replacements.
            if (cycle % 50 == 1)
                waitForWorkers();
        }
    });
    ASSERT_TRUE(waitForWorkers());
    EXPECT_GT(listener->everDelivered(), 0) << "the searches left to finish delivered";
    EXPECT_EQ(listener->staleDeliveries(), 0)
        << "a result reached the listener after its search was replaced";
    uint32_t last = core->getCurrentSearchId();
    listener->clear();
    uint32_t id = 0;
    core->startSeach("abc", id);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_GT(id, last);
    for (uint32_t got : listener->ids())
        EXPECT_EQ(got, id);
    EXPECT_EQ(listener->texts().size(), 3u * 200u);
}

TEST_F(SearchDispatch, KeystrokesReuseEachIndexersWorkerInsteadOfStartingThreads) {
    auto* listener = new CollectingListener();
    core->registerResultListener(listener);
    auto* indexer = makeIndexer(nullptr, {"abc", "abcd", "abcde"});
    core->registerIndexer(indexer);
    std::set<DWORD> searchThreads;
    uint32_t id = 0;
    for (const char* text : {"abc", "abcd", "abc", "abcde", "abcd", "abc", "abcde", "abcd"}) {
        core->startSeach(text, id);
        ASSERT_TRUE(waitForWorkers());
        searchThreads.insert(indexer->lastSearchThread());
    }
    EXPECT_EQ(searchThreads.size(), 1u) << "a keystroke started a thread";
    EXPECT_EQ(listener->ids().back(), id);
}

TEST_F(SearchDispatch, OneQueryIsMadePerSearchAndSharedByEveryIndexer) {
    auto* first = makeIndexer(nullptr, {"Visual Studio Code.lnk"});
    auto* second = makeIndexer(nullptr, {"vsc notes.txt"});
    core->registerIndexer(first);
    core->registerIndexer(second);
    uint32_t id = 0;
    core->startSeach("vsc", id);
    ASSERT_TRUE(waitForWorkers());
    ASSERT_NE(first->lastQuery(), nullptr);
    EXPECT_EQ(first->lastQuery(), second->lastQuery());
    EXPECT_EQ(first->lastQuery()->text(), "vsc");
}

TEST_F(SearchDispatch, QueriesCarryWhatWasChosenForTheTextWhileLearningIsOn) {
    TempFolder folder;
    core->setChoiceFile(folder.path() + "choices.vxc");
    core->getChoiceMemory().record("visual", VProperty::FileType, "C:\\vs.lnk", VChoiceMemory::currentTime());
    VSearchQueryPtr query = core->makeQuery("vis");
    ASSERT_TRUE(query->hasLearned()) << "a text the chosen one begins with";
    EXPECT_GT(query->learnedWeight(VProperty::FileType, "C:\\vs.lnk"), 0.0);
    EXPECT_FALSE(core->makeQuery("other")->hasLearned());
    core->setLearnChoices(false);
    EXPECT_FALSE(core->makeQuery("vis")->hasLearned());
}

TEST_F(SearchDispatch, StartUpReadsTheRememberedChoicesOnce) {
    VChoiceMemory kept;
    if (kept.getPath().empty())
        GTEST_SKIP() << "no local application data folder";
    kept.load();
    kept.record("startup probe text", VProperty::FileType, "C:\\probe.lnk", VChoiceMemory::currentTime());
    ASSERT_TRUE(kept.save());
    core->shutDown();
    core->deleteThis();
    core = VVerbinoxCore::instance();
    core->setPluginsPath(core->getAppLocation() + "no-plugins-here\\");
    EXPECT_FALSE(core->makeQuery("startup probe")->hasLearned()) << "nothing read before startUp";
    core->startUp();
    EXPECT_TRUE(core->makeQuery("startup probe")->hasLearned());
    core->forgetChoices();
}
