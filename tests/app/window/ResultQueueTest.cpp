#include "window/ResultQueue.h"
#include "model/VAction.h"
#include "support/CoreFixture.h"

#include <windows.h>

namespace {

const UINT kDrain = WM_APP + 40;

NameIndexer* cachedIndexer(std::vector<std::string> names) {
    auto* indexer = new NameIndexer(nullptr, std::move(names));
    indexer->updateCache();
    return indexer;
}

class ResultQueueTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        queue = new VResultQueue(window, kDrain);
        ASSERT_TRUE(core->registerResultListener(queue));
        core->registerActionListener(queue);
    }
    void TearDown() override {
        core->cancelSearch(core->getCurrentSearchId());
        waitForWorkers();
        core->unregisterResultListener(queue);
        core->unregisterActionListener(queue);
        delete queue; // destroys whatever is still queued
        ::DestroyWindow(window);
        for (VResult* r : shown)
            r->deleteThis();
        CoreTest::TearDown();
    }
    // The window thread's side: counts the drain messages waiting and drains once for the id on show.
    int drainMessages(uint32_t shownId) {
        int messages = 0;
        MSG msg;
        while (::PeekMessageW(&msg, window, kDrain, kDrain, PM_REMOVE))
            ++messages;
        queue->drain(
            shownId,
            [&](VResult** results, int count) { shown.insert(shown.end(), results, results + count); },
            [&](VAction* action) { actions.push_back(action); });
        return messages;
    }

    HWND window = nullptr;
    VResultQueue* queue = nullptr;
    std::vector<VResult*> shown;
    std::vector<VAction*> actions;
};

} // namespace

TEST_F(ResultQueueTest, BatchesOfTheShownSearchAreHandedOnAndOthersDestroyed) {
    for (int i = 0; i < 4; ++i)
        core->registerIndexer(cachedIndexer({"note-" + std::to_string(i), "other"}));
    const long cached = FakeCounters::results.load();
    uint32_t first = 0, second = 0;
    core->startSeach("note", first);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(queue->pending(), 4u);
    core->startSeach("note-1", second);
    ASSERT_TRUE(waitForWorkers());

    EXPECT_EQ(drainMessages(second), 1) << "one message while a drain is pending, not one per batch";
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0]->getDisplayText(), "note-1");
    EXPECT_EQ(FakeCounters::results.load(), cached + 1) << "the first search's four results were destroyed";
    EXPECT_EQ(queue->pending(), 0u);
}

TEST_F(ResultQueueTest, ActionsOfAStartingSearchArriveOnlyThroughTheQueue) {
    uint32_t id = 0;
    core->startSeach("cop", id);
    EXPECT_TRUE(actions.empty()) << "nothing reaches the window inside startSeach";
    EXPECT_EQ(drainMessages(id), 1);
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0]->getKeyword(), "copy");
    core->startSeach("cop", id);
    EXPECT_EQ(drainMessages(0), 1);
    EXPECT_EQ(actions.size(), 1u) << "with nothing on show (after Escape or Enter) nothing is handed on";
}

TEST_F(ResultQueueTest, ActionsOfAnotherSearchAreDroppedAndStayTheCores) {
    uint32_t first = 0, second = 0;
    core->startSeach("cop", first);
    core->startSeach("co", second);
    EXPECT_EQ(queue->pending(), 2u);
    drainMessages(second);
    ASSERT_EQ(actions.size(), 1u) << "only the shown search's copy of the action";
    EXPECT_EQ(actions[0], core->getAction("copy", false));
    EXPECT_EQ(core->getAction("copy", false)->getKeyword(), "copy") << "the dropped one was not destroyed";
}

TEST_F(ResultQueueTest, WhatIsQueuedAtExitIsDestroyed) {
    core->registerIndexer(cachedIndexer({"abc1", "abc2", "abc3"}));
    const long cached = FakeCounters::results.load();
    uint32_t id = 0;
    core->startSeach("abc", id);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(FakeCounters::results.load(), cached + 3);
    queue->discard();
    EXPECT_EQ(FakeCounters::results.load(), cached);
    EXPECT_EQ(queue->pending(), 0u);
}

TEST_F(ResultQueueTest, CountsOfMoreResultsFollowTheirBatchesAndOnlyTheShownSearchsReachTheWindow) {
    VResult* found[] = {new FakeResult(nullptr, "found")};
    queue->onResults(7, found, 1);
    queue->onOverflow(7, 4000);
    queue->onOverflow(8, 99);
    queue->onOverflow(7, 812);
    std::vector<std::string> order;
    uint64_t more = 0;
    MSG msg;
    int messages = 0;
    while (::PeekMessageW(&msg, window, kDrain, kDrain, PM_REMOVE))
        ++messages;
    EXPECT_EQ(messages, 1) << "posted once, as for batches";
    queue->drain(
        7,
        [&](VResult** results, int count) {
            for (int i = 0; i < count; ++i) {
                order.push_back("result");
                shown.push_back(results[i]);
            }
        },
        [&](VAction*) { order.push_back("action"); },
        [&](uint64_t count) {
            order.push_back("more");
            more += count;
        });
    EXPECT_EQ(order, (std::vector<std::string>{"result", "more", "more"}));
    EXPECT_EQ(more, 4812u) << "the other search's count is dropped";
    EXPECT_EQ(queue->pending(), 0u);
}
