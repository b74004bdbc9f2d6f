#include "platform/runloop/DispatchQueue.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>

#include "platform/log/Log.h"
#include "platform/runloop/detail/MainQueue.h"
#include "platform/runloop/detail/SerialQueue.h"
#include "platform/runloop/detail/ThreadPool.h"

namespace hx {
namespace {

// The state of one concurrentPerform call. Helpers queued on the pool may start after the call
// has returned; they share ownership and find no iteration left to take.
struct ParallelLoop {
    std::atomic<std::size_t> nextIteration{0};
    std::atomic<std::size_t> finishedIterations{0};
    std::size_t iterations = 0;
    const std::function<void(std::size_t)>* body = nullptr;
    std::mutex mutex;
    std::condition_variable allFinished;

    void takeIterations() {
        for (std::size_t i = nextIteration.fetch_add(1); i < iterations;
             i = nextIteration.fetch_add(1)) {
            try {
                (*body)(i);
            } catch (const std::exception& error) {
                hxLog("Uncaught exception in concurrentPerform iteration %zu: %s", i, error.what());
            } catch (...) {
                hxLog("Uncaught exception in concurrentPerform iteration %zu", i);
            }
            if (finishedIterations.fetch_add(1) + 1 == iterations) {
                std::lock_guard lock(mutex);
                allFinished.notify_all();
            }
        }
    }
};

}  // namespace

DispatchQueue::DispatchQueue(std::shared_ptr<detail::QueueCore> core) : core_(std::move(core)) {}

DispatchQueue::~DispatchQueue() {
    core_->close();
}

DispatchQueue& DispatchQueue::main() {
    // Never destroyed, like the queues it stands for.
    static DispatchQueue* const queue = new DispatchQueue(std::make_shared<detail::MainQueue>());
    return *queue;
}

DispatchQueue& DispatchQueue::global() {
    static DispatchQueue* const queue = new DispatchQueue(detail::ThreadPool::global());
    return *queue;
}

std::shared_ptr<DispatchQueue> DispatchQueue::makeSerial(std::string label) {
    return std::shared_ptr<DispatchQueue>(
        new DispatchQueue(std::make_shared<detail::SerialQueue>(std::move(label))));
}

const std::string& DispatchQueue::label() const {
    return core_->label();
}

void DispatchQueue::async(std::function<void()> block) {
    core_->enqueue(detail::Task{std::move(block), {}});
}

void DispatchQueue::sync(const std::function<void()>& block) {
    core_->runSync(block);
}

CancelToken DispatchQueue::asyncAfter(double seconds, std::function<void()> block) {
    return core_->enqueueAfter(seconds, std::move(block));
}

bool DispatchQueue::isCurrent() const {
    return core_->isCurrent();
}

void DispatchQueue::concurrentPerform(std::size_t iterations,
                                      const std::function<void(std::size_t)>& body) {
    if (iterations == 0 || !body) return;
    auto loop = std::make_shared<ParallelLoop>();
    loop->iterations = iterations;
    loop->body = &body;
    if (iterations > 1) {
        auto pool = detail::ThreadPool::global();
        const std::size_t helpers = std::min(iterations - 1, pool->threadCount());
        for (std::size_t i = 0; i < helpers; ++i)
            pool->enqueue(detail::Task{[loop] { loop->takeIterations(); }, {}});
    }
    loop->takeIterations();
    std::unique_lock lock(loop->mutex);
    loop->allFinished.wait(lock, [&] { return loop->finishedIterations.load() == iterations; });
}

}  // namespace hx
