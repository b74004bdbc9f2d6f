#include "platform/runloop/Semaphore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace hx {
namespace {

TEST(Semaphore, HandsTurnsBackAndForthBetweenThreads) {
    Semaphore ping(0), pong(0);
    int shared = 0;  // Guarded by the hand-over itself.
    std::thread partner([&] {
        for (int i = 0; i < 1000; ++i) {
            ping.wait();
            ++shared;
            pong.signal();
        }
    });
    for (int i = 0; i < 1000; ++i) {
        ping.signal();
        pong.wait();
        ASSERT_EQ(shared, i + 1);
    }
    partner.join();
}

TEST(Semaphore, CountsSignalsFromManyThreads) {
    Semaphore arrivals(0);
    std::vector<std::thread> producers;
    for (int p = 0; p < 4; ++p)
        producers.emplace_back([&] {
            for (int i = 0; i < 500; ++i) arrivals.signal();
        });
    for (int i = 0; i < 2000; ++i) arrivals.wait();
    for (auto& producer : producers) producer.join();
    EXPECT_FALSE(arrivals.waitFor(0));
}

TEST(Semaphore, InitialCountAllowsThatManyWaits) {
    Semaphore slots(2);
    EXPECT_TRUE(slots.waitFor(0));
    EXPECT_TRUE(slots.waitFor(0));
    EXPECT_FALSE(slots.waitFor(0));
    slots.signal();
    EXPECT_TRUE(slots.waitFor(0));
}

TEST(Semaphore, NegativeCountNeedsExtraSignals) {
    Semaphore gate(-1);
    gate.signal();
    EXPECT_FALSE(gate.waitFor(0));
    gate.signal();
    EXPECT_TRUE(gate.waitFor(0));
}

TEST(Semaphore, WaitForGivesUpWithoutASignal) {
    Semaphore never(0);
    EXPECT_FALSE(never.waitFor(0.01));
}

TEST(Semaphore, WaitForWakesForALateSignal) {
    Semaphore late(0);
    std::thread signaller([&] { late.signal(); });
    EXPECT_TRUE(late.waitFor(60));
    signaller.join();
}

}  // namespace
}  // namespace hx
