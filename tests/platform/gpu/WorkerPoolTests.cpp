#include "platform/gpu/cpu/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <set>
#include <thread>
#include <vector>

namespace hx::gpu::cpu {
namespace {

// Counts how often each index was handed out.
struct Tally {
    explicit Tally(size_t count) : counts(new std::atomic<int>[count]), size(count) {
        for (size_t i = 0; i < count; ++i) counts[i].store(0);
    }
    bool eachExactlyOnce() const {
        for (size_t i = 0; i < size; ++i)
            if (counts[i].load() != 1) return false;
        return true;
    }
    std::unique_ptr<std::atomic<int>[]> counts;
    size_t size;
};

TEST(WorkerPool, ParallelForCallsEachIndexExactlyOnce) {
    WorkerPool pool(4);
    EXPECT_EQ(pool.concurrency(), 4u);
    for (size_t count : {size_t(0), size_t(1), size_t(2), size_t(3), size_t(1000)}) {
        Tally tally(count);
        pool.parallelFor(count, [&](size_t i) { tally.counts[i].fetch_add(1); });
        EXPECT_TRUE(tally.eachExactlyOnce()) << count;
    }
}

TEST(WorkerPool, TwoCallersAtOnceEachGetEveryIndexExactlyOnce) {
    WorkerPool pool(3);
    constexpr int kRounds = 100;
    constexpr size_t kCount = 4099;
    std::atomic<int> failures{0};
    auto caller = [&](int id) {
        for (int round = 0; round < kRounds; ++round) {
            Tally tally(kCount + size_t(id));
            pool.parallelFor(tally.size, [&](size_t i) { tally.counts[i].fetch_add(1); });
            // parallelFor has returned, so every call for this job is finished and counted.
            if (!tally.eachExactlyOnce()) failures.fetch_add(1);
        }
    };
    std::thread first(caller, 0), second(caller, 1);
    first.join();
    second.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST(WorkerPool, ASingleThreadPoolRunsEverythingOnTheCaller) {
    for (size_t threads : {size_t(0), size_t(1)}) {
        WorkerPool pool(threads);
        EXPECT_EQ(pool.concurrency(), 1u);
        std::set<std::thread::id> seen;  // only the caller touches it, so no lock is needed
        std::vector<int> order;
        pool.parallelFor(5, [&](size_t i) {
            seen.insert(std::this_thread::get_id());
            order.push_back(int(i));
        });
        EXPECT_EQ(seen, std::set<std::thread::id>{std::this_thread::get_id()});
        EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    }
}

TEST(WorkerPool, ManyShortJobsInARowAllFinish) {
    WorkerPool pool(2);
    std::atomic<size_t> total{0};
    for (int round = 0; round < 2000; ++round)
        pool.parallelFor(3, [&](size_t i) { total.fetch_add(i + 1); });
    EXPECT_EQ(total.load(), 2000u * 6u);
}

}  // namespace
}  // namespace hx::gpu::cpu
