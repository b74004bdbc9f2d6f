#pragma once

// The main run loop: runs the main queue's blocks, delayed blocks and timers on the main thread.
// A program calls run() and stop(); a GUI toolkit pumps it with runOnce(0), using the wake-up
// handler and nextDueIn() to know when; tests drive it with runUntil() and advance().
//
// The main thread is the process's initial thread, from the first time it asks for
// RunLoop::main() (no other thread claims the loop by asking for it), or the thread that calls
// bindToCurrentThread().
//
// Thread safety: post(), postAfter(), cancelPerformRequests(), nextDueIn(), stop(),
// setWakeUpHandler(), isMainThread() and PendingWork may be used from any thread. runOnce(),
// runUntil(), advance() and run() only run on the main thread; called elsewhere they log an
// error and return without running anything.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/runloop/CancelToken.h"

namespace hx {

class RunLoop {
  public:
    static RunLoop& main();
    static bool isMainThread();
    void bindToCurrentThread();

    // Runs the work that is due now: queued blocks in the order they were posted, merged in time
    // order with delayed blocks and timer firings whose time has come. Blocks posted meanwhile
    // wait for the next call. When nothing is due, first waits up to maxWaitSeconds (real time)
    // for something to become due. Returns whether anything ran.
    bool runOnce(double maxWaitSeconds = 0);

    // Runs work until done() returns true or the time-out passes; returns done(). done() is
    // checked before and after each batch and whenever the loop wakes: for a post, a clock
    // change, or the end of background work in flight. On the real clock it sleeps on a
    // condition variable between batches. On the manual clock delayed work never becomes due by
    // waiting, so it returns as soon as nothing is runnable and no background work (blocks on the
    // global or serial queues, or a PendingWork) is in flight; while some is, it waits for it, the
    // time-out then counting in real seconds.
    bool runUntil(const std::function<bool()>& done, double timeoutSeconds);

    // Manual clock: moves the clock forward by `seconds`, stopping at every due time on the way
    // to run, in time order, each delayed block and timer firing, and then every block queued
    // meanwhile (including blocks posted by those blocks, and blocks other threads have already
    // posted). Delayed blocks of background queues are handed to their queues at their due
    // times. On the real clock it runs work for `seconds` like runUntil.
    void advance(double seconds);

    // Runs work until stop() is called. A stop() that comes before run() makes it return at once.
    void run();
    void stop();

    // Queues a block to run on the main thread after the blocks already queued.
    void post(std::function<void()> block);

    // Runs a block on the main thread once `delaySeconds` have passed on the clock. A target
    // groups requests so that cancelPerformRequests can cancel them together.
    CancelToken postAfter(double delaySeconds, std::function<void()> block,
                          const void* target = nullptr);

    // Cancels every delayed block posted with this target that has not started yet.
    void cancelPerformRequests(const void* target);

    // Seconds until the next delayed block is due: 0 while queued work is waiting, infinity
    // when there is nothing at all.
    double nextDueIn() const;

    // Called (on the posting thread, without locks held) whenever work is posted or the clock
    // changes, so that a GUI event loop can wake up and call runOnce(0).
    void setWakeUpHandler(std::function<void()> handler);

    // Drops every queued and delayed block (timers included) without running it. For tests,
    // so that no case sees work left over by another.
    void discardPendingWork();

    // Marks work in progress on another thread that will post back to the main queue. While one
    // lives, runUntil on the manual clock keeps waiting for its result instead of returning.
    // The queues of this module count their own blocks; backends with threads of their own
    // (GPU completion, camera frames) hold one of these while a result is on its way.
    class PendingWork {
      public:
        PendingWork();
        ~PendingWork();
        PendingWork(PendingWork&& other) noexcept;
        PendingWork& operator=(PendingWork&& other) noexcept;
        PendingWork(const PendingWork&) = delete;
        PendingWork& operator=(const PendingWork&) = delete;

      private:
        bool active_ = true;
    };

  private:
    friend class Clock;
    friend class Timer;

    RunLoop() = default;

    struct QueuedBlock {
        std::int64_t postedAt;
        std::uint64_t sequence;
        std::function<void()> block;
    };
    struct DueKey {
        std::int64_t due;
        std::uint64_t sequence;
        auto operator<=>(const DueKey&) const = default;
    };
    struct DelayedBlock {
        std::function<void()> block;
        CancelToken token;
        const void* target;
    };

    using Discarded = std::vector<std::function<void()>>;

    CancelToken postAt(std::int64_t dueNanoseconds, std::function<void()> block,
                       const void* target);
    bool requireMainThread(const char* what) const;
    bool runReadyBatch();
    bool takeReady(std::int64_t now, std::uint64_t sequenceLimit, std::function<void()>& block,
                   Discarded& discarded);
    bool hasReady() const;
    bool hasReadyLocked(std::int64_t now) const;
    std::int64_t nextDelayedDueLocked() const;
    std::int64_t nextDelayedDue() const;
    // Sleeps until work may be ready, the clock changes, background work finishes, stop() is
    // called or the deadline passes, whichever comes first; callers re-check what they need.
    // It does not sleep at all while work is ready or the extra condition already holds.
    enum class WakeAlsoWhen { nothingElse, stopped, noPendingWork };
    void waitOnce(std::chrono::steady_clock::time_point deadline, WakeAlsoWhen wakeAlsoWhen);
    void notifyChanged();
    static void clockChanged();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<QueuedBlock> queued_;
    std::map<DueKey, DelayedBlock> delayed_;
    std::uint64_t nextSequence_ = 0;
    std::atomic<bool> stopRequested_{false};
    std::atomic<std::thread::id> owner_{};
    std::atomic<long> pendingWork_{0};
    std::shared_ptr<const std::function<void()>> wakeUpHandler_;
};

}  // namespace hx
