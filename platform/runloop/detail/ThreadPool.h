#pragma once

// The global concurrent queue: a fixed pool of worker threads, started on first use, as many as
// the machine has hardware threads and at least two. Blocks start in FIFO order and run
// concurrently. It is the only pool of the process: concurrentPerform, and through it the CPU
// GPU backend, queue their helpers here.
//
// Thread safety: every member may be called from any thread. At process exit the workers stop
// taking blocks and are left to the exit; they are never joined, so a block that is still
// running cannot make the exit hang.

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "platform/runloop/RunLoop.h"
#include "platform/runloop/detail/QueueCore.h"

namespace hx::detail {

class ThreadPool final : public QueueCore {
  public:
    static std::shared_ptr<ThreadPool> global();
    // The machine's hardware threads, at least one; read once.
    static std::size_t hardwareThreads();

    void enqueue(Task task) override;
    // A concurrent queue runs a synchronous block on the calling thread.
    void runSync(const std::function<void()>& block) override;

    std::size_t threadCount() const { return threadCount_; }
    // Workers finish the block they are running and take no other.
    void stop();

    explicit ThreadPool(std::size_t threadCount);

  private:
    struct Queued {
        Task task;
        RunLoop::PendingWork pending;
    };

    void startWorkersLocked();
    void work();

    std::mutex mutex_;
    std::condition_variable available_;
    std::deque<Queued> queue_;
    const std::size_t threadCount_;
    bool started_ = false;
    bool stopping_ = false;
};

}  // namespace hx::detail
