#pragma once
// A fresh, started core for each test, shut down and destroyed afterwards.
#include "FakeIndexer.h"
#include "engine/VListeners.h"
#include "engine/VVerbinoxCore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

// Waits until every indexer worker of the process has ended; false after the time-out.
inline bool waitForWorkers(int timeoutMs = 10000) {
    for (int waited = 0; waited < timeoutMs; waited += 5) {
        if (VIndexer::getRunningWorkerCount() == 0)
            return true;
        ::Sleep(5);
    }
    return VIndexer::getRunningWorkerCount() == 0;
}

// Keeps what it is given and counts deliveries whose id is not the core's current one at that moment.
class CollectingListener : public VResultListener {
public:
    CollectingListener() = default;
    ~CollectingListener() override { clear(); }
    void deleteThis() override { delete this; }
    void onResult(uint32_t id, VResult* result) override { onResults(id, &result, 1); }
    void onResults(uint32_t id, VResult** results, int count) override {
        std::lock_guard<std::mutex> hold(mutex_);
        ++batches_;
        for (int i = 0; i < count; ++i) {
            ids_.push_back(id);
            ++everDelivered_;
            if (id != VVerbinoxCore::instance()->getCurrentSearchId())
                ++stale_;
            kept_.push_back(results[i]);
        }
    }
    std::vector<uint32_t> ids() {
        std::lock_guard<std::mutex> hold(mutex_);
        return ids_;
    }
    std::vector<std::string> texts() {
        std::lock_guard<std::mutex> hold(mutex_);
        std::vector<std::string> out;
        for (VResult* r : kept_)
            out.push_back(r->getDisplayText());
        return out;
    }
    // The results kept, until clear() destroys them: read them once the search's workers have ended.
    std::vector<VResult*> results() {
        std::lock_guard<std::mutex> hold(mutex_);
        return kept_;
    }
    // Every result ever delivered, whatever clear() dropped since.
    int everDelivered() {
        std::lock_guard<std::mutex> hold(mutex_);
        return everDelivered_;
    }
    int staleDeliveries() {
        std::lock_guard<std::mutex> hold(mutex_);
        return stale_;
    }
    int batches() {
        std::lock_guard<std::mutex> hold(mutex_);
        return batches_;
    }
    void clear() {
        std::lock_guard<std::mutex> hold(mutex_);
        for (VResult* r : kept_)
            r->deleteThis();
        kept_.clear();
        ids_.clear();
        batches_ = 0;
    }

private:
    std::mutex mutex_;
    std::vector<VResult*> kept_;
    std::vector<uint32_t> ids_;
    int batches_ = 0;
    int stale_ = 0;
    int everDelivered_ = 0;
};

// Also counts what the sources said they found beyond the results they handed on.
class CountingListener : public CollectingListener {
public:
    void onOverflow(uint32_t, uint64_t count) override { overflow += count; }
    std::atomic<uint64_t> overflow{0};
};

class CollectingActionListener : public VActionListener {
public:
    void deleteThis() override { delete this; }
    void onAction(uint32_t id, VAction* action) override { actions.push_back(action); }
    std::vector<VAction*> actions;
};

class CoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        FakeCounters::reset();
        core = VVerbinoxCore::instance();
        ASSERT_NE(core, nullptr);
        // Not the build's own "Plugins" folder: the real plug-ins would register their actions too.
        core->setPluginsPath(core->getAppLocation() + "no-plugins-here\\");
        core->startUp();
    }
    void TearDown() override {
        core->shutDown();
        core->deleteThis();
        core = nullptr;
        EXPECT_EQ(FakeCounters::results.load(), 0) << "results leaked";
        EXPECT_EQ(FakeCounters::indexers.load(), 0) << "indexers leaked";
        EXPECT_EQ(VIndexer::getRunningWorkerCount(), 0) << "workers still running";
    }
    VVerbinoxCore* core = nullptr;
};
