#include "platform/runloop/detail/ThreadPool.h"

#include <algorithm>
#include <system_error>
#include <thread>

#include "platform/log/Log.h"

namespace hx::detail {
namespace {

// Stops the workers when static objects are destroyed at exit, so that none starts a block that
// might touch an object already destroyed.
struct ShutdownAtExit {
    std::shared_ptr<ThreadPool> pool;
    ~ShutdownAtExit() {
        beginShutdown();
        pool->stop();
    }
};

}  // namespace

std::shared_ptr<ThreadPool> ThreadPool::global() {
    // Never destroyed: workers may still be inside it while the process exits.
    static auto* const pool = new std::shared_ptr<ThreadPool>(
        std::make_shared<ThreadPool>(std::max<std::size_t>(2, hardwareThreads())));
    static ShutdownAtExit shutdownAtExit{*pool};
    return *pool;
}

std::size_t ThreadPool::hardwareThreads() {
    static const std::size_t threads = std::max(1u, std::thread::hardware_concurrency());
    return threads;
}

ThreadPool::ThreadPool(std::size_t threadCount)
    : QueueCore("global queue"), threadCount_(threadCount) {}

void ThreadPool::enqueue(Task task) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        queue_.push_back(Queued{std::move(task), RunLoop::PendingWork{}});
        if (!started_) startWorkersLocked();
    }
    available_.notify_one();
}

void ThreadPool::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    available_.notify_all();
}

void ThreadPool::runSync(const std::function<void()>& block) {
    runGuarded(block, label());
}

void ThreadPool::startWorkersLocked() {
    started_ = true;
    for (std::size_t i = 0; i < threadCount_; ++i) {
        try {
            std::thread([this] { work(); }).detach();
        } catch (const std::system_error& error) {
            hxLog("Cannot start a worker thread of the global queue: %s", error.what());
            return;
        }
    }
}

void ThreadPool::work() {
    setCurrentQueue(this);
    std::unique_lock lock(mutex_);
    while (true) {
        available_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        {
            Queued next = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            runTask(next.task, label());
        }
        lock.lock();
    }
}

}  // namespace hx::detail
