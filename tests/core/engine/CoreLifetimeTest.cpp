// Threads and lifetimes at the core's edges: listeners that post to a window, workers that read the
// registries or throw, a worker that empties its own cache, and the one-listener rule.
#include "support/CoreFixture.h"
#include "support/Watchdog.h"

#include "model/VAction.h"

#include <windows.h>

#include <deque>
#include <mutex>

namespace {

NameIndexer* cachedIndexer(VPlugin* plugin, std::vector<std::string> names) {
    auto* indexer = new NameIndexer(plugin, std::move(names));
    indexer->updateCache();
    return indexer;
}

std::vector<std::string> manyNames(int count, const std::string& stem) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        names.push_back(stem + std::to_string(i));
    return names;
}

const UINT kResultsPosted = WM_APP + 1;

// The listener a window keeps: it queues each batch and posts one message, nothing more.
class PostingListener : public VResultListener {
public:
    explicit PostingListener(HWND window) : window(window) {}
    void deleteThis() override { delete this; }
    void onResult(uint32_t id, VResult* result) override { onResults(id, &result, 1); }
    void onResults(uint32_t id, VResult** results, int count) override {
        {
            std::lock_guard<std::mutex> hold(lock);
            batches.push_back({id, std::vector<VResult*>(results, results + count)});
        }
        ::PostMessageW(window, kResultsPosted, 0, 0);
    }
    // The window thread's side: takes every queued batch; the caller owns the results.
    std::deque<std::pair<uint32_t, std::vector<VResult*>>> take() {
        std::lock_guard<std::mutex> hold(lock);
        std::deque<std::pair<uint32_t, std::vector<VResult*>>> out;
        out.swap(batches);
        return out;
    }

private:
    HWND window;
    std::mutex lock;
    std::deque<std::pair<uint32_t, std::vector<VResult*>>> batches;
};

// A registered indexer whose searches never end by themselves and take the core's reader lock at
// every candidate, as a source that looks up actions while it searches.
NameIndexer* registerRegistryReader(VVerbinoxCore* core, VPlugin* plugin) {
    auto* indexer = cachedIndexer(plugin, manyNames(100, "abc"));
    indexer->setEndless(true);
    indexer->setCandidateDelayMicros(50);
    indexer->setReadsCoreRegistry(true);
    core->registerIndexer(indexer);
    return indexer;
}

} // namespace

using CoreLifetime = CoreTest;

TEST_F(CoreLifetime, AListenerThatPostsToTheWindowThreadNeverHangsItsSearchLoop) {
    for (int i = 0; i < 3; ++i) {
        auto* indexer = cachedIndexer(nullptr, manyNames(400, i == 0 ? "note" : "notes"));
        indexer->setCandidateDelayMicros(i == 0 ? 3 : 0);
        core->registerIndexer(indexer);
    }
    long shown = 0, dropped = 0;
    mustFinishWithin(60000, "the window thread's search loop", [&] {
        // This thread plays the window thread: its window receives the posts, and between them it
        // starts, replaces and cancels searches, as typing does.
        HWND window =
            ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        auto* listener = new PostingListener(window);
        ASSERT_TRUE(core->registerResultListener(listener));
        auto drain = [&] {
            MSG msg;
            while (::PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
                if (msg.message != kResultsPosted)
                    continue;
                for (auto& batch : listener->take()) {
                    // Only the search on show keeps its results; the rest die here.
                    bool current = batch.first == core->getCurrentSearchId();
                    for (VResult* r : batch.second) {
                        ++(current ? shown : dropped);
                        r->deleteThis();
                    }
                }
            }
        };
        for (int cycle = 0; cycle < 400; ++cycle) {
            uint32_t id = 0;
            core->startSeach(cycle % 2 ? "note" : "notes1", id);
            if (cycle % 3 == 0)
                core->cancelSearch(id);
            if (cycle % 40 == 1)
                waitForWorkers();
            drain();
        }
        core->cancelSearch(core->getCurrentSearchId());
        waitForWorkers();
        drain();
        core->unregisterResultListener(listener);
        listener->deleteThis();
        ::DestroyWindow(window);
    });
    EXPECT_GT(shown, 0) << "the searches left to finish reached the window";
}

TEST_F(CoreLifetime, RemovingAnIndexerWhoseSlowWorkerReadsTheRegistryJoinsItOutsideTheLock) {
    NameIndexer* indexer = registerRegistryReader(core, nullptr);
    uint32_t id = 0;
    core->startSeach("abc", id);
    ::Sleep(20);
    ASSERT_TRUE(indexer->isWorkerRunning());
    mustFinishWithin(10000, "unregisterIndexer under a reading worker",
                     [&] { core->unregisterIndexer(indexer); });
    EXPECT_EQ(FakeCounters::indexers.load(), 0);
}

TEST_F(CoreLifetime, RemovingAPluginWhoseSlowWorkersReadTheRegistryJoinsThemOutsideTheLock) {
    FakePlugin plugin;
    registerRegistryReader(core, &plugin);
    registerRegistryReader(core, &plugin);
    uint32_t id = 0;
    core->startSeach("abc", id);
    ::Sleep(20);
    ASSERT_EQ(VIndexer::getRunningWorkerCount(), 2);
    mustFinishWithin(10000, "unregisterPlugin under reading workers",
                     [&] { core->unregisterPlugin(&plugin); });
    EXPECT_EQ(core->getNumIndexers(), 0);
    EXPECT_EQ(FakeCounters::indexers.load(), 0);
}

TEST_F(CoreLifetime, TogglingLiveSearchingUnderASlowWorkerEmptiesTheCacheOnlyAfterItsSearch) {
    auto* indexer = cachedIndexer(nullptr, manyNames(200, "abc"));
    indexer->setCandidateDelayMicros(200);
    indexer->setReadsCoreRegistry(true);
    core->registerIndexer(indexer);
    auto* listener = new CollectingListener();
    core->registerResultListener(listener);
    uint32_t id = 0;
    core->startSeach("abc", id);
    ::Sleep(5);
    ASSERT_TRUE(indexer->isWorkerRunning());
    mustFinishWithin(2000, "setLiveSearching under a slow worker", [&] { core->setLiveSearching(true); });
    ASSERT_TRUE(waitForWorkers(20000));
    ASSERT_TRUE(core->waitForCaches(5000));
    EXPECT_EQ(listener->everDelivered(), 200) << "the search lost part of the cache it read";
    listener->clear();
    core->startSeach("abc19", id);
    ASSERT_TRUE(waitForWorkers(20000));
    EXPECT_EQ(listener->texts().size(), 11u) << "live mode searches the names themselves";
}

TEST_F(CoreLifetime, AnExceptionOnAWorkerEndsThatSearchAsCancelledAndOthersGoOn) {
    auto* listener = new CollectingListener();
    core->registerResultListener(listener);
    auto* throwing = cachedIndexer(nullptr, manyNames(200, "abc"));
    throwing->setThrowAfter(150); // after building 150 results
    core->registerIndexer(throwing);
    core->registerIndexer(cachedIndexer(nullptr, {"abc-other"}));
    const long cached = FakeCounters::results.load();

    uint32_t id = 0;
    core->startSeach("abc", id);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(listener->texts(), std::vector<std::string>{"abc-other"});
    listener->clear();
    EXPECT_EQ(FakeCounters::results.load(), cached) << "the thrown-away search's results were destroyed";

    throwing->setThrowAfter(-1);
    core->startSeach("abc19", id);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(listener->texts().size(), 11u) << "the indexer searches again after its failure";
}

TEST_F(CoreLifetime, ASearchThatEmptiesItsCacheOnItsWorkerNeverJoinsItself) {
    auto* indexer = cachedIndexer(nullptr, {"abc"});
    indexer->setClearsCacheOnWorker(true);
    core->registerIndexer(indexer);
    mustFinishWithin(60000, "searches whose worker calls clearCache", [&] {
        for (int i = 0; i < 300; ++i) {
            uint32_t id = 0;
            core->startSeach("abc", id);
            waitForWorkers();
        }
    });
    EXPECT_EQ(indexer->workersStarted(), 300);
    EXPECT_EQ(indexer->workersThatKnewTheirId(), 300) << "a worker ran before its thread id was stored";
}

TEST_F(CoreLifetime, ASecondResultListenerIsRefusedSoNoResultIsDestroyedTwice) {
    auto* first = new CollectingListener();
    auto* second = new CollectingListener();
    EXPECT_TRUE(core->registerResultListener(first));
    EXPECT_FALSE(core->registerResultListener(second));
    EXPECT_FALSE(core->registerResultListener(nullptr));
    core->registerIndexer(cachedIndexer(nullptr, {"abc"}));
    uint32_t id = 0;
    core->startSeach("abc", id);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(first->texts().size(), 1u);
    EXPECT_EQ(second->everDelivered(), 0);
    second->deleteThis(); // refused, so still ours
    core->unregisterResultListener(first);
    ASSERT_TRUE(core->registerResultListener(second = new CollectingListener()));
    first->deleteThis();
}

TEST_F(CoreLifetime, EveryCoreStartSharesTheBuiltInActionIcons) {
    HICON run = core->getAction("run", false)->getIcon();
    ASSERT_NE(run, nullptr);
    core->shutDown();
    core->deleteThis();
    core = VVerbinoxCore::instance();
    core->setPluginsPath(core->getAppLocation() + "no-plugins-here\\");
    core->startUp();
    EXPECT_EQ(core->getAction("run", false)->getIcon(), run) << "each start loaded the icon anew";
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(run, &info));
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
}
