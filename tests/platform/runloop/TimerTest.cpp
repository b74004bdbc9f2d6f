#include "platform/runloop/Timer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "ManualClockTest.h"
#include "platform/runloop/Clock.h"

namespace hx {
namespace {

using ::testing::ElementsAre;
using Timers = testing::ManualClockTest;

TEST_F(Timers, RepeatingTimerFiresOncePerIntervalWithoutDrift) {
    std::vector<std::int64_t> firedAt;
    auto timer =
        Timer::scheduled(0.1, true, [&](Timer&) { firedAt.push_back(Clock::nowNanoseconds()); });
    loop().advance(3.0);
    ASSERT_EQ(firedAt.size(), 30u);
    for (std::size_t n = 0; n < firedAt.size(); ++n)
        EXPECT_EQ(firedAt[n], static_cast<std::int64_t>(n + 1) * 100'000'000) << "firing " << n;

    loop().advance(0.05);
    EXPECT_EQ(firedAt.size(), 30u);
    loop().advance(0.05);
    EXPECT_EQ(firedAt.size(), 31u);
    EXPECT_DOUBLE_EQ(timer->fireDate(), 3.2);
    timer->invalidate();
}

TEST_F(Timers, IntervalCountsFromWhenTheTimerWasScheduled) {
    loop().advance(0.25);
    std::vector<double> firedAt;
    auto timer = Timer::scheduled(1, true, [&](Timer&) { firedAt.push_back(Clock::now()); });
    loop().advance(2);
    EXPECT_THAT(firedAt, ElementsAre(1.25, 2.25));
    timer->invalidate();
}

TEST_F(Timers, OneShotTimerFiresOnceAndThenIsInvalid) {
    int firings = 0;
    auto timer = Timer::scheduled(1.5, false, [&](Timer&) { ++firings; });
    EXPECT_TRUE(timer->isValid());
    loop().advance(1.4);
    EXPECT_EQ(firings, 0);
    loop().advance(10);
    EXPECT_EQ(firings, 1);
    EXPECT_FALSE(timer->isValid());
    EXPECT_EQ(timer->fireDate(), std::numeric_limits<double>::infinity());
}

TEST_F(Timers, InvalidatingInsideTheCallbackStopsFurtherFirings) {
    int firings = 0;
    Timer::scheduled(0.5, true, [&](Timer& timer) {
        if (++firings == 3) timer.invalidate();
    });
    loop().advance(10);
    EXPECT_EQ(firings, 3);
}

TEST_F(Timers, InvalidatedBeforeItsFirstFiringItNeverFires) {
    int firings = 0;
    auto timer = Timer::scheduled(1, true, [&](Timer&) { ++firings; });
    loop().advance(0.5);
    timer->invalidate();
    loop().advance(10);
    EXPECT_EQ(firings, 0);
    EXPECT_FALSE(timer->isValid());
}

TEST_F(Timers, RunLoopKeepsTimersAliveAndReleasesThemOnInvalidate) {
    auto captured = std::make_shared<int>(0);
    std::weak_ptr<int> watch = captured;
    int firings = 0;
    std::weak_ptr<Timer> weakTimer;
    {
        auto timer = Timer::scheduled(1, true, [&firings, captured](Timer&) { ++firings; });
        weakTimer = timer;
    }
    captured.reset();
    loop().advance(5);
    EXPECT_EQ(firings, 5);
    ASSERT_FALSE(weakTimer.expired());
    EXPECT_FALSE(watch.expired());

    weakTimer.lock()->invalidate();
    EXPECT_TRUE(watch.expired());  // The callback and what it captured are gone at once.
    loop().advance(5);
    EXPECT_EQ(firings, 5);
    EXPECT_TRUE(weakTimer.expired());
}

TEST(TimersOnTheRealClock, ALateTimerFiresOnceAndStaysOnItsGrid) {
    RunLoop::main().bindToCurrentThread();
    RunLoop::main().discardPendingWork();
    Clock::useRealTime();
    int firings = 0;
    auto timer = Timer::scheduled(0.02, true, [&](Timer&) { ++firings; });
    const double start = timer->fireDate() - 0.02;
    // The main thread is busy past several firings.
    std::this_thread::sleep_for(std::chrono::milliseconds(110));
    RunLoop::main().runOnce(0);
    EXPECT_EQ(firings, 1);
    const double periods = (timer->fireDate() - start) / 0.02;
    EXPECT_NEAR(periods, std::round(periods), 1e-6);
    EXPECT_GT(timer->fireDate(), Clock::now() - 0.02);
    timer->invalidate();
}

}  // namespace
}  // namespace hx
