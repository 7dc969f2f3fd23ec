#include "support/CoreFixture.h"
#include "support/Watchdog.h"

#include "util/Win32Handle.h"

#include <windows.h>

#include <atomic>
#include <new>

namespace {

// Counts what its builder does. The first build may be held at a gate, and builds may throw.
class BuilderProbe : public VIndexer {
public:
    BuilderProbe() : VIndexer(nullptr) { gate.Attach(::CreateEventW(nullptr, TRUE, TRUE, nullptr)); }
    ~BuilderProbe() override { stopWorker(); }
    bool reservedFlag() override { return false; }
    void holdBuilds() { ::ResetEvent(gate.Get()); }
    void releaseBuilds() { ::SetEvent(gate.Get()); }

    std::atomic<int> builds{0}, buildsEntered{0}, follows{0}, throwsLeft{0};
    std::atomic<bool> builtOnBuilder{true};
    std::atomic<DWORD> interval{INFINITE};

protected:
    void search() override {}
    void rebuild(const std::function<bool()>& stop) override {
        ++buildsEntered;
        if (!isBuilderThread())
            builtOnBuilder = false;
        while (::WaitForSingleObject(gate.Get(), 5) == WAIT_TIMEOUT) {
            if (stop())
                return;
        }
        if (throwsLeft.load() > 0) {
            --throwsLeft;
            throw std::bad_alloc();
        }
        ++builds;
    }
    DWORD followInterval() const override { return interval.load(); }
    void follow(const std::function<bool()>&) override { ++follows; }

private:
    vx::CHandle gate;
};

} // namespace

using IndexerBuilder = CoreTest;

TEST_F(IndexerBuilder, RequestsMadeDuringABuildMakeOneMoreBuildAfterItAndNeverBlockTheCaller) {
    BuilderProbe probe;
    probe.holdBuilds();
    probe.requestRebuild();
    for (int waited = 0; waited < 5000 && probe.buildsEntered.load() == 0; waited += 5)
        ::Sleep(5);
    ASSERT_EQ(probe.buildsEntered.load(), 1);
    const auto before = std::chrono::steady_clock::now();
    for (int i = 0; i < 3; ++i)
        probe.requestRebuild();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(50));
    EXPECT_FALSE(probe.waitForRebuild(50)) << "a held build counted as done";
    probe.releaseBuilds();
    ASSERT_TRUE(probe.waitForRebuild(5000));
    EXPECT_EQ(probe.builds.load(), 2) << "requests made during a build are one build after it";
    EXPECT_TRUE(probe.builtOnBuilder.load());
}

TEST_F(IndexerBuilder, ABuildThatThrowsLeavesTheBuilderServingLaterRequests) {
    BuilderProbe probe;
    probe.throwsLeft = 1;
    probe.requestRebuild();
    ASSERT_TRUE(probe.waitForRebuild(5000));
    EXPECT_EQ(probe.builds.load(), 0);
    probe.requestRebuild();
    ASSERT_TRUE(probe.waitForRebuild(5000));
    EXPECT_EQ(probe.builds.load(), 1);
}

TEST_F(IndexerBuilder, StoppingEndsAHeldBuildAndFollowingUntilTheNextRequest) {
    BuilderProbe probe;
    probe.interval = 10;
    probe.requestRebuild();
    ASSERT_TRUE(probe.waitForRebuild(5000));
    for (int waited = 0; waited < 5000 && probe.follows.load() < 3; waited += 5)
        ::Sleep(5);
    EXPECT_GE(probe.follows.load(), 3) << "an idle builder did not follow its source";

    probe.holdBuilds();
    probe.requestRebuild();
    for (int waited = 0; waited < 5000 && probe.buildsEntered.load() < 2; waited += 5)
        ::Sleep(5);
    mustFinishWithin(2000, "stopping a held build", [&] { probe.stopWorker(); });
    EXPECT_TRUE(probe.waitForRebuild(0)) << "a stopped build still counts as running";
    const int follows = probe.follows.load();
    ::Sleep(100);
    EXPECT_EQ(probe.follows.load(), follows) << "a stopped builder went on following";

    probe.releaseBuilds();
    probe.requestRebuild();
    ASSERT_TRUE(probe.waitForRebuild(5000)) << "no builder after a stop";
    EXPECT_EQ(probe.builds.load(), 2);
}
