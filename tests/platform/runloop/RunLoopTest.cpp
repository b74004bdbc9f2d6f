#include "platform/runloop/RunLoop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ManualClockTest.h"
#include "platform/log/CaptureScope.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/DispatchQueue.h"
#include "platform/runloop/Perform.h"

namespace hx {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

using MainQueue = testing::ManualClockTest;
using DelayedWork = testing::ManualClockTest;
using PerformRequests = testing::ManualClockTest;
using RunUntil = testing::ManualClockTest;
using RunLoopHooks = testing::ManualClockTest;

TEST_F(MainQueue, BlocksRunInPostOrderAndBlocksTheyPostWaitForTheNextPass) {
    std::vector<std::string> order;
    DispatchQueue::main().async([&] {
        order.push_back("a");
        DispatchQueue::main().async([&] { order.push_back("c"); });
    });
    DispatchQueue::main().async([&] { order.push_back("b"); });
    EXPECT_THAT(order, IsEmpty());

    EXPECT_TRUE(loop().runOnce(0));
    EXPECT_THAT(order, ElementsAre("a", "b"));
    EXPECT_TRUE(loop().runOnce(0));
    EXPECT_THAT(order, ElementsAre("a", "b", "c"));
    EXPECT_FALSE(loop().runOnce(0));
}

TEST_F(MainQueue, SyncFromTheMainThreadRunsInline) {
    std::vector<int> order;
    DispatchQueue::main().async([&] { order.push_back(2); });
    DispatchQueue::main().sync([&] {
        EXPECT_TRUE(RunLoop::isMainThread());
        order.push_back(1);
    });
    loop().runOnce(0);
    EXPECT_THAT(order, ElementsAre(1, 2));
}

TEST_F(DelayedWork, FiresInTimeOrderAndNotBeforeItsTime) {
    std::vector<std::pair<std::string, double>> fired;
    auto record = [&](std::string name) {
        return [&fired, name] { fired.emplace_back(name, Clock::now()); };
    };
    DispatchQueue::main().asyncAfter(2.0, record("two"));
    DispatchQueue::main().asyncAfter(0.5, record("half"));
    DispatchQueue::main().asyncAfter(2.0, record("two again"));

    loop().advance(0.4);
    EXPECT_THAT(fired, IsEmpty());
    loop().advance(0.1);
    EXPECT_THAT(fired, ElementsAre(Pair("half", 0.5)));
    loop().advance(1.4);
    EXPECT_EQ(fired.size(), 1u);
    loop().advance(0.1);
    EXPECT_THAT(fired, ElementsAre(Pair("half", 0.5), Pair("two", 2.0), Pair("two again", 2.0)));
}

TEST_F(DelayedWork, WorkPostedDuringAnAdvanceRunsWithinItInTimeOrder) {
    std::vector<std::pair<std::string, double>> fired;
    auto note = [&](const char* name) { fired.emplace_back(name, Clock::now()); };
    DispatchQueue::main().asyncAfter(1.0, [&] {
        note("first");
        DispatchQueue::main().async([&] { note("posted by first"); });
        DispatchQueue::main().asyncAfter(1.0, [&] { note("one after first"); });
    });
    DispatchQueue::main().asyncAfter(1.5, [&] { note("second"); });

    loop().advance(3);
    EXPECT_THAT(fired, ElementsAre(Pair("first", 1.0), Pair("posted by first", 1.0),
                                   Pair("second", 1.5), Pair("one after first", 2.0)));
    EXPECT_EQ(Clock::now(), 3.0);
}

TEST_F(DelayedWork, CancelledWorkNeverRuns) {
    std::vector<std::string> fired;
    CancelToken later = DispatchQueue::main().asyncAfter(2, [&] { fired.push_back("later"); });
    CancelToken sameTime = DispatchQueue::main().asyncAfter(1, [&] { fired.push_back("same"); });
    DispatchQueue::main().asyncAfter(1, [&] { fired.push_back("kept"); });
    // Cancelled by a block due at the same moment, ahead of it.
    DispatchQueue::main().asyncAfter(0.5, [&] {
        fired.push_back("canceller");
        sameTime.cancel();
    });
    later.cancel();

    loop().advance(5);
    EXPECT_THAT(fired, ElementsAre("canceller", "kept"));
    EXPECT_TRUE(later.isCancelled());
}

TEST_F(DelayedWork, CancellingAfterItRanChangesNothing) {
    int runs = 0;
    CancelToken token = DispatchQueue::main().asyncAfter(1, [&] { ++runs; });
    loop().advance(1);
    token.cancel();
    loop().advance(1);
    EXPECT_EQ(runs, 1);
}

TEST_F(PerformRequests, CancellingATargetLeavesOtherTargetsAlone) {
    int target = 0, otherTarget = 0;
    std::vector<std::string> fired;
    performAfterDelay(&target, 1, [&] { fired.push_back("target 1s"); });
    performAfterDelay(&target, 2, [&] { fired.push_back("target 2s"); });
    performAfterDelay(&otherTarget, 1, [&] { fired.push_back("other 1s"); });
    performAfterDelay(nullptr, 1, [&] { fired.push_back("no target"); });

    loop().advance(0.5);
    cancelPreviousPerformRequests(&target);
    cancelPreviousPerformRequests(nullptr);
    loop().advance(5);
    EXPECT_THAT(fired, ElementsAre("other 1s", "no target"));

    performAfterDelay(&target, 1, [&] { fired.push_back("target again"); });
    loop().advance(1);
    EXPECT_EQ(fired.back(), "target again");
}

TEST_F(PerformRequests, RescheduledRequestFiresOnceAfterTheLastReschedule) {
    int hides = 0;
    double hiddenAt = -1;
    int controls = 0;
    for (int touch = 0; touch < 5; ++touch) {
        cancelPreviousPerformRequests(&controls);
        performAfterDelay(&controls, 3, [&] {
            ++hides;
            hiddenAt = Clock::now();
        });
        loop().advance(1);
    }
    loop().advance(10);
    EXPECT_EQ(hides, 1);
    EXPECT_EQ(hiddenAt, 7.0);
}

TEST_F(RunUntil, ReturnsOnceOnlyTheClockCouldMakeProgress) {
    bool fired = false;
    DispatchQueue::main().asyncAfter(10, [&] { fired = true; });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(loop().runUntil([&] { return fired; }, 600));
    // Generous: it must return at once, and a hang would take the full time-out.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
    EXPECT_FALSE(fired);
    EXPECT_EQ(Clock::now(), 0.0);
}

TEST_F(RunUntil, RunsQueuedWorkUntilDone) {
    int step = 0;
    std::function<void()> next = [&] {
        if (++step < 10) DispatchQueue::main().async(next);
    };
    DispatchQueue::main().async(next);
    EXPECT_TRUE(loop().runUntil([&] { return step == 10; }, 600));
    EXPECT_TRUE(loop().runUntil([] { return true; }, 0));
}

TEST_F(RunUntil, WaitsForWorkAnotherThreadHasInFlight) {
    std::atomic<bool> done{false};
    RunLoop::PendingWork pending;
    std::thread worker([&, pending = std::move(pending)]() mutable {
        // Gives the main thread time to find the main queue empty.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        DispatchQueue::main().async([&] { done = true; });
    });
    EXPECT_TRUE(loop().runUntil([&] { return done.load(); }, 60));
    worker.join();
}

TEST_F(RunLoopHooks, NextDueInFollowsTheClock) {
    EXPECT_EQ(loop().nextDueIn(), std::numeric_limits<double>::infinity());
    CancelToken token = DispatchQueue::main().asyncAfter(2.5, [] {});
    EXPECT_DOUBLE_EQ(loop().nextDueIn(), 2.5);
    loop().advance(1);
    EXPECT_DOUBLE_EQ(loop().nextDueIn(), 1.5);
    token.cancel();
    EXPECT_EQ(loop().nextDueIn(), std::numeric_limits<double>::infinity());
    DispatchQueue::main().async([] {});
    EXPECT_EQ(loop().nextDueIn(), 0.0);
}

TEST_F(RunLoopHooks, WakeUpHandlerHearsPostsFromOtherThreads) {
    std::atomic<int> wakeUps{0};
    loop().setWakeUpHandler([&] { ++wakeUps; });
    std::thread poster([] { DispatchQueue::main().async([] {}); });
    poster.join();
    EXPECT_GE(wakeUps.load(), 1);
    EXPECT_TRUE(loop().runOnce(0));
    loop().setWakeUpHandler(nullptr);
}

TEST_F(RunLoopHooks, RunReturnsWhenStopped) {
    bool ranBeforeStop = false;
    DispatchQueue::global().async([&] {
        DispatchQueue::main().async([&] {
            ranBeforeStop = true;
            RunLoop::main().stop();
        });
    });
    loop().run();
    EXPECT_TRUE(ranBeforeStop);

    // A stop that comes first is not lost.
    loop().stop();
    loop().run();
}

TEST_F(RunLoopHooks, OnlyTheMainThreadRunsTheLoop) {
    bool ran = false;
    DispatchQueue::main().async([&] { ran = true; });
    log::CaptureScope capture;
    std::thread intruder([] {
        EXPECT_FALSE(RunLoop::isMainThread());
        EXPECT_FALSE(RunLoop::main().runOnce(0));
    });
    intruder.join();
    EXPECT_FALSE(ran);
    EXPECT_TRUE(capture.contains("off the main thread"));
    EXPECT_TRUE(loop().runOnce(0));
    EXPECT_TRUE(ran);
}

TEST_F(RunLoopHooks, AThrowingBlockIsLoggedAndTheLoopCarriesOn) {
    log::CaptureScope capture;
    bool after = false;
    DispatchQueue::main().async([] { throw std::runtime_error("lens cap on"); });
    DispatchQueue::main().async([&] { after = true; });
    loop().runOnce(0);
    EXPECT_TRUE(after);
    EXPECT_TRUE(capture.contains("lens cap on"));
}

class RealClock : public ::testing::Test {
  protected:
    void SetUp() override {
        RunLoop::main().bindToCurrentThread();
        RunLoop::main().discardPendingWork();
        Clock::useRealTime();
    }
    void TearDown() override { RunLoop::main().discardPendingWork(); }
};

TEST_F(RealClock, RunUntilSleepsUntilDelayedAndBackgroundWorkArrive) {
    bool delayedRan = false;
    bool backgroundArrived = false;
    const double start = Clock::now();
    DispatchQueue::main().asyncAfter(0.02, [&] { delayedRan = true; });
    DispatchQueue::global().async(
        [&] { DispatchQueue::main().async([&] { backgroundArrived = true; }); });
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return delayedRan && backgroundArrived; }, 60));
    EXPECT_GE(Clock::now() - start, 0.02);
}

TEST_F(RealClock, AStopMeantForRunDoesNotCutShortOtherWaits) {
    RunLoop::main().stop();
    bool ran = false;
    DispatchQueue::main().asyncAfter(0.01, [&] { ran = true; });
    EXPECT_TRUE(RunLoop::main().runOnce(60));
    EXPECT_TRUE(ran);
    RunLoop::main().run();  // Returns at once: the stop was still pending.
}

}  // namespace
}  // namespace hx
