#pragma once

// Queues of blocks: the main queue (run by the main run loop on the main thread), the global
// concurrent queue (a pool of worker threads) and serial background queues (one thread each,
// FIFO).
//
// Thread safety: every member may be called from any thread, with these rules:
// - sync() on the queue the caller is already running on runs the block inline instead of
//   deadlocking; on the main queue from the main thread that is the normal case.
// - sync() onto the main queue from another thread waits until the main run loop runs the block;
//   the main thread must therefore not be waiting on that thread at the same time.
// - A block that throws has its exception logged; the queue carries on.
// - Blocks of the global queue that are still queued at process exit are abandoned.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/runloop/CancelToken.h"

namespace hx {

namespace detail {
class QueueCore;
}

class DispatchQueue {
  public:
    static DispatchQueue& main();
    static DispatchQueue& global();
    static std::shared_ptr<DispatchQueue> makeSerial(std::string label);

    ~DispatchQueue();
    DispatchQueue(const DispatchQueue&) = delete;
    DispatchQueue& operator=(const DispatchQueue&) = delete;

    const std::string& label() const;

    void async(std::function<void()> block);
    // Runs the block and returns once it has finished; see the rules above.
    void sync(const std::function<void()>& block);
    // Queues the block once `seconds` have passed on the clock.
    CancelToken asyncAfter(double seconds, std::function<void()> block);

    // Whether the calling thread is running this queue's blocks.
    bool isCurrent() const;

    // Calls body(i) for every i in [0, iterations) on the global pool and returns when all have
    // finished. This is the one way the process runs work in parallel (the CPU GPU backend, the
    // scene renderer, image work): however many callers there are, iterations run on at most
    // parallelWidth() threads at once. The calling thread takes iterations too, so this may be
    // called from a pool thread or nested without deadlocking: a call made from inside an
    // iteration runs on the place its caller already holds, and when the pool is busy the caller
    // does the work itself. `maxThreads` (at least 1) caps how many threads run this call.
    static void concurrentPerform(std::size_t iterations,
                                  const std::function<void(std::size_t)>& body,
                                  std::size_t maxThreads = SIZE_MAX);
    // How many threads may run iterations at once: one for each hardware thread.
    static std::size_t parallelWidth();

  private:
    explicit DispatchQueue(std::shared_ptr<detail::QueueCore> core);

    std::shared_ptr<detail::QueueCore> core_;
};

}  // namespace hx
