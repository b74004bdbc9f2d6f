#include "platform/gpu/cpu/WorkerPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "platform/runloop/DispatchQueue.h"
#include "platform/runloop/Semaphore.h"

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
    EXPECT_EQ(pool.concurrency(), std::min<size_t>(4, DispatchQueue::parallelWidth()));
    EXPECT_EQ(WorkerPool().concurrency(), DispatchQueue::parallelWidth());
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

// Counts the threads inside an iteration at once and remembers the most.
struct Occupancy {
    std::atomic<int> inside{0};
    std::atomic<int> most{0};

    void enter() {
        const int now = inside.fetch_add(1) + 1;
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
    }
    void leave() { inside.fetch_sub(1); }
};

// Enough arithmetic that iterations started by different callers overlap.
void work(std::atomic<uint64_t>& sink) {
    uint64_t x = sink.load(std::memory_order_relaxed) | 1;
    for (int i = 0; i < 20000; ++i) x = x * 6364136223846793005u + 1442695040888963407u;
    sink.fetch_add(x & 1, std::memory_order_relaxed);
}

TEST(SharedPool, RendersAndBackgroundJobsTogetherNeverRunMoreThreadsThanTheMachineHas) {
    const size_t width = DispatchQueue::parallelWidth();
    Occupancy occupancy;
    std::atomic<uint64_t> sink{0};
    std::atomic<int> iterations{0};
    auto body = [&](size_t) {
        occupancy.enter();
        work(sink);
        iterations.fetch_add(1);
        occupancy.leave();
    };
    constexpr int kRounds = 40;
    constexpr size_t kCount = 64;
    // The GPU backend draws from its own thread through the worker pool ...
    std::thread renderer([&] {
        WorkerPool pool;
        for (int round = 0; round < kRounds; ++round) pool.parallelFor(kCount, body);
    });
    // ... while background jobs on the global queue and the main thread split work of their own.
    Semaphore jobsDone(0);
    constexpr int kJobs = 4;
    for (int job = 0; job < kJobs; ++job) {
        DispatchQueue::global().async([&] {
            for (int round = 0; round < kRounds / 4; ++round)
                DispatchQueue::concurrentPerform(kCount, body);
            jobsDone.signal();
        });
    }
    for (int round = 0; round < kRounds / 4; ++round)
        DispatchQueue::concurrentPerform(kCount, body);
    renderer.join();
    for (int job = 0; job < kJobs; ++job) jobsDone.wait();
    EXPECT_EQ(iterations.load(), int(kCount) * (kRounds + kJobs * (kRounds / 4) + kRounds / 4));
    EXPECT_LE(occupancy.most.load(), int(width));
    EXPECT_GE(occupancy.most.load(), 1);
}

TEST(SharedPool, JobsWaitingOnNestedParallelLoopsFinishWhenEveryWorkerIsBusy) {
    // More jobs than pool threads, each waiting on a parallel loop whose iterations run parallel
    // loops of their own, while the GPU backend's thread does the same: the waiters run the
    // nested work themselves instead of waiting for a free worker.
    const int jobs = int(2 * DispatchQueue::parallelWidth() + 4);
    std::atomic<int> total{0};
    Semaphore finished(0);
    WorkerPool pool;
    auto nested = [&] {
        pool.parallelFor(6, [&](size_t) {
            DispatchQueue::concurrentPerform(
                5, [&](size_t) { pool.parallelFor(3, [&](size_t) { total.fetch_add(1); }); });
        });
    };
    for (int job = 0; job < jobs; ++job) {
        DispatchQueue::global().async([&] {
            nested();
            finished.signal();
        });
    }
    std::thread renderer(nested);
    nested();
    renderer.join();
    for (int job = 0; job < jobs; ++job) finished.wait();
    EXPECT_EQ(total.load(), (jobs + 2) * 6 * 5 * 3);
}

TEST(SharedPool, ACappedJobUsesAtMostItsThreads) {
    WorkerPool pool(2);
    Occupancy occupancy;
    std::atomic<uint64_t> sink{0};
    pool.parallelFor(200, [&](size_t) {
        occupancy.enter();
        work(sink);
        occupancy.leave();
    });
    EXPECT_LE(occupancy.most.load(), 2);
}

}  // namespace
}  // namespace hx::gpu::cpu
