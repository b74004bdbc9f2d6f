#include "platform/gpu/cpu/WorkerPool.h"

#include <algorithm>

#include "platform/runloop/DispatchQueue.h"

namespace hx::gpu::cpu {

WorkerPool::WorkerPool() : threads_(DispatchQueue::parallelWidth()) {}

WorkerPool::WorkerPool(size_t maxThreads)
    : threads_(std::clamp<size_t>(maxThreads, 1, DispatchQueue::parallelWidth())) {}

void WorkerPool::parallelFor(size_t count, const std::function<void(size_t)>& task) const {
    if (count == 0) return;
    if (count == 1 || threads_ == 1) {
        // In order on the caller, without touching the pool.
        for (size_t i = 0; i < count; ++i) task(i);
        return;
    }
    DispatchQueue::concurrentPerform(count, task, threads_);
}

}  // namespace hx::gpu::cpu
