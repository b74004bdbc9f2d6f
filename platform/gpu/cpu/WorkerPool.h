#pragma once

#include <cstddef>
#include <functional>

namespace hx::gpu::cpu {

// The CPU backend's shader cores. They are the process's one pool of workers, which the run
// loop's concurrentPerform also hands scene and image work to, so a render and a background job
// together never run on more threads than the machine has. parallelFor() may be called from any
// thread, including from inside another parallel loop; the calling thread takes part.
class WorkerPool {
  public:
    // As many threads as the shared pool runs at once.
    WorkerPool();
    // At most `maxThreads` threads for each job (0 or 1: the caller alone), and never more than
    // the shared pool runs at once.
    explicit WorkerPool(size_t maxThreads);

    size_t concurrency() const { return threads_; }
    // Calls task(i) for every i in [0, count) and returns when all calls are done.
    void parallelFor(size_t count, const std::function<void(size_t)>& task) const;

  private:
    size_t threads_;
};

}  // namespace hx::gpu::cpu
