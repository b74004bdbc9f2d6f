#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace hx::gpu::cpu {

// The CPU backend's shader cores: one worker per hardware thread besides the caller.
// parallelFor() may be called from any thread; jobs from different callers run one after
// another. The calling thread takes part, so a pool on a one-core machine still progresses.
class WorkerPool {
  public:
    explicit WorkerPool(size_t threads = std::thread::hardware_concurrency());
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    size_t concurrency() const { return workers_.size() + 1; }
    // Calls task(i) for every i in [0, count) and returns when all calls are done.
    void parallelFor(size_t count, const std::function<void(size_t)>& task);

  private:
    struct Job {
        const std::function<void(size_t)>* task;
        size_t count;
        std::atomic<size_t> next{0};
        void run();
    };
    void workerLoop();

    std::mutex jobMutex_;  // one job at a time
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    Job* job_ = nullptr;  // set while a job runs, guarded by mutex_
    size_t busy_ = 0;
    uint64_t generation_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace hx::gpu::cpu
