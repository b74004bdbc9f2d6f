#include "platform/runloop/DispatchQueue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <thread>
#include <vector>

#include "ManualClockTest.h"
#include "platform/log/CaptureScope.h"
#include "platform/runloop/Semaphore.h"

namespace hx {
namespace {

using BackgroundQueues = testing::ManualClockTest;
using SerialQueues = testing::ManualClockTest;
using ConcurrentPerform = testing::ManualClockTest;

TEST_F(BackgroundQueues, BlocksFromTheGlobalQueueReachTheMainQueue) {
    constexpr int kBlocks = 20;
    int arrived = 0;  // Touched on the main thread only.
    std::atomic<int> offMain{0};
    for (int i = 0; i < kBlocks; ++i)
        DispatchQueue::global().async([&] {
            if (!RunLoop::isMainThread() && DispatchQueue::global().isCurrent()) ++offMain;
            DispatchQueue::main().async([&] {
                EXPECT_TRUE(RunLoop::isMainThread());
                ++arrived;
            });
        });
    EXPECT_TRUE(loop().runUntil([&] { return arrived == kBlocks; }, 60));
    EXPECT_EQ(offMain.load(), kBlocks);
}

TEST_F(BackgroundQueues, SyncOntoTheMainQueueWaitsForTheMainLoop) {
    bool finished = false;
    std::atomic<bool> ranOnMain{false};
    DispatchQueue::global().async([&] {
        DispatchQueue::main().sync([&] { ranOnMain = RunLoop::isMainThread(); });
        DispatchQueue::main().async([&] { finished = true; });
    });
    EXPECT_TRUE(loop().runUntil([&] { return finished; }, 60));
    EXPECT_TRUE(ranOnMain.load());
}

TEST_F(BackgroundQueues, DelayedBackgroundBlocksFollowTheManualClock) {
    auto queue = DispatchQueue::makeSerial("delayed work");
    bool ran = false;
    bool cancelledRan = false;
    queue->asyncAfter(1.0, [&] { DispatchQueue::main().async([&] { ran = true; }); });
    CancelToken cancelled =
        queue->asyncAfter(1.0, [&] { DispatchQueue::main().async([&] { cancelledRan = true; }); });
    cancelled.cancel();

    EXPECT_FALSE(loop().runUntil([&] { return ran; }, 60));
    loop().advance(0.9);
    EXPECT_FALSE(loop().runUntil([&] { return ran; }, 60));
    loop().advance(0.1);
    EXPECT_TRUE(loop().runUntil([&] { return ran; }, 60));
    queue->sync([] {});
    loop().runOnce(0);
    EXPECT_FALSE(cancelledRan);
}

TEST_F(BackgroundQueues, RunUntilWaitsForASlowBackgroundBlock) {
    auto queue = DispatchQueue::makeSerial("slow work");
    bool done = false;
    queue->async([&] {
        // Gives the main thread time to find the main queue empty.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        DispatchQueue::main().async([&] { done = true; });
    });
    EXPECT_TRUE(loop().runUntil([&] { return done; }, 60));
}

TEST_F(SerialQueues, BlocksRunOneAtATimeInFifoOrder) {
    auto queue = DispatchQueue::makeSerial("fifo");
    constexpr int kProducers = 4;
    constexpr int kBlocksEach = 500;
    std::vector<std::pair<int, int>> order;  // Touched only on the queue.
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p)
        producers.emplace_back([&, p] {
            for (int i = 0; i < kBlocksEach; ++i)
                queue->async([&, p, i] {
                    if (running.fetch_add(1) != 0) overlapped = true;
                    order.emplace_back(p, i);
                    running.fetch_sub(1);
                });
        });
    for (auto& producer : producers) producer.join();
    queue->sync([] {});

    ASSERT_EQ(order.size(), static_cast<size_t>(kProducers * kBlocksEach));
    EXPECT_FALSE(overlapped.load());
    std::vector<int> nextFrom(kProducers, 0);
    for (auto [producer, index] : order) EXPECT_EQ(index, nextFrom[producer]++);
}

TEST_F(SerialQueues, SyncNestsAcrossQueuesAndRunsInlineOnItsOwnQueue) {
    auto outer = DispatchQueue::makeSerial("outer");
    auto inner = DispatchQueue::makeSerial("inner");
    std::vector<std::string> steps;
    outer->sync([&] {
        EXPECT_TRUE(outer->isCurrent());
        EXPECT_FALSE(inner->isCurrent());
        steps.push_back("outer");
        inner->sync([&] {
            EXPECT_TRUE(inner->isCurrent());
            steps.push_back("inner");
        });
        outer->sync([&] { steps.push_back("outer again, inline"); });
    });
    EXPECT_FALSE(outer->isCurrent());
    EXPECT_THAT(steps, ::testing::ElementsAre("outer", "inner", "outer again, inline"));
}

TEST_F(SerialQueues, QueuedWorkFinishesAfterTheLastHandleIsDropped) {
    auto queue = DispatchQueue::makeSerial("dropped");
    Semaphore finished(0);
    std::atomic<int> ran{0};
    for (int i = 0; i < 100; ++i) queue->async([&] { ++ran; });
    queue->async([&, keep = std::weak_ptr<DispatchQueue>(queue)] { finished.signal(); });
    queue.reset();
    finished.wait();
    EXPECT_EQ(ran.load(), 100);
}

TEST_F(SerialQueues, AThrowingBlockIsLoggedAndTheQueueCarriesOn) {
    log::CaptureScope capture;
    auto queue = DispatchQueue::makeSerial("throwing");
    queue->async([] { throw std::runtime_error("shutter jammed"); });
    bool ranAfter = false;
    queue->sync([&] { ranAfter = true; });
    EXPECT_TRUE(ranAfter);
    EXPECT_TRUE(capture.contains("shutter jammed"));
    EXPECT_TRUE(capture.contains("throwing"));
}

TEST_F(ConcurrentPerform, CoversEveryIndexExactlyOnce) {
    constexpr std::size_t kIterations = 10'000;
    std::vector<std::atomic<int>> hits(kIterations);
    DispatchQueue::concurrentPerform(kIterations, [&](std::size_t i) { ++hits[i]; });
    for (std::size_t i = 0; i < kIterations; ++i) ASSERT_EQ(hits[i].load(), 1) << "index " << i;

    int calls = 0;
    DispatchQueue::concurrentPerform(0, [&](std::size_t) { ++calls; });
    EXPECT_EQ(calls, 0);
    DispatchQueue::concurrentPerform(1, [&](std::size_t i) {
        EXPECT_TRUE(RunLoop::isMainThread());
        calls += static_cast<int>(i) + 1;
    });
    EXPECT_EQ(calls, 1);
}

TEST_F(ConcurrentPerform, NestsWithoutDeadlock) {
    std::atomic<int> total{0};
    DispatchQueue::concurrentPerform(8, [&](std::size_t) {
        DispatchQueue::concurrentPerform(100, [&](std::size_t) { ++total; });
    });
    EXPECT_EQ(total.load(), 800);
}

TEST_F(ConcurrentPerform, CallsFromEveryPoolThreadAtOnceStillFinish) {
    // More callers than pool threads: every worker is inside concurrentPerform at once.
    const int callers = static_cast<int>(2 * std::thread::hardware_concurrency() + 4);
    Semaphore finished(0);
    std::atomic<int> total{0};
    for (int c = 0; c < callers; ++c)
        DispatchQueue::global().async([&] {
            DispatchQueue::concurrentPerform(50, [&](std::size_t) { ++total; });
            finished.signal();
        });
    for (int c = 0; c < callers; ++c) finished.wait();
    EXPECT_EQ(total.load(), callers * 50);
}

TEST(ProcessExit, ExitsCleanlyWhileQueueThreadsAreBusy) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // Leaked: destroying a condition variable that threads wait on would itself hang.
            static Semaphore& never = *new Semaphore(0);
            static auto serial = DispatchQueue::makeSerial("busy at exit");
            serial->async([] { never.wait(); });
            for (int i = 0; i < 16; ++i) DispatchQueue::global().async([] { never.wait(); });
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace hx
