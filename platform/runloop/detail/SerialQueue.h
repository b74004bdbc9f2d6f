#pragma once

// A serial background queue: one thread of its own, started when the first block arrives, runs
// the blocks one at a time in the order they were queued. A dedicated thread (rather than a slot
// in the global pool) means a block that blocks or waits synchronously on another queue can
// never starve the queues it waits for.
//
// Thread safety: every member may be called from any thread. close() lets the thread finish the
// queued blocks and end; the thread keeps the queue alive until then, so dropping the last
// DispatchQueue handle, even from inside one of its own blocks, is safe.

#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/runloop/RunLoop.h"
#include "platform/runloop/detail/QueueCore.h"

namespace hx::detail {

class SerialQueue final : public QueueCore {
  public:
    explicit SerialQueue(std::string label) : QueueCore(std::move(label)) {}

    void enqueue(Task task) override;
    void close() override;

  private:
    struct Queued {
        Task task;
        RunLoop::PendingWork pending;
    };

    void work();

    std::mutex mutex_;
    std::condition_variable available_;
    std::deque<Queued> queue_;
    bool threadRunning_ = false;
    bool closed_ = false;
};

}  // namespace hx::detail
