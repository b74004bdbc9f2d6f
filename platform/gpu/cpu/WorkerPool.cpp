#include "platform/gpu/cpu/WorkerPool.h"

namespace hx::gpu::cpu {

WorkerPool::WorkerPool(size_t threads) {
    size_t workers = threads > 1 ? threads - 1 : 0;
    for (size_t i = 0; i < workers; ++i) workers_.emplace_back([this] { workerLoop(); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (auto& worker : workers_) worker.join();
}

void WorkerPool::Job::run() {
    for (size_t i = next.fetch_add(1); i < count; i = next.fetch_add(1)) (*task)(i);
}

void WorkerPool::workerLoop() {
    uint64_t seen = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || (job_ && generation_ != seen); });
        if (stopping_) return;
        seen = generation_;
        Job* job = job_;
        ++busy_;
        lock.unlock();
        job->run();
        lock.lock();
        if (--busy_ == 0) done_.notify_all();
    }
}

void WorkerPool::parallelFor(size_t count, const std::function<void(size_t)>& task) {
    if (count == 0) return;
    if (count == 1 || workers_.empty()) {
        for (size_t i = 0; i < count; ++i) task(i);
        return;
    }
    std::lock_guard oneJob(jobMutex_);
    Job job{&task, count};
    {
        std::lock_guard lock(mutex_);
        job_ = &job;
        ++generation_;
    }
    wake_.notify_all();
    job.run();
    // A worker that picked the job up may still be inside a task; the job lives on this
    // stack, so nobody may hold it once we return.
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return busy_ == 0; });
    job_ = nullptr;
}

}  // namespace hx::gpu::cpu
