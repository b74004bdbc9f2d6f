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

// The places for running parallel iterations, one for each hardware thread, shared by every
// concurrentPerform call. A thread runs iterations only while it holds a place, so work started
// from several threads at once (a render, a background decode, the camera's scene) never runs on
// more threads than the machine has. A thread that holds a place keeps it for calls nested in
// its iterations.
class ParallelPlaces {
  public:
    static ParallelPlaces& shared() {
        // Never destroyed: pool threads may still use it while the process exits.
        static ParallelPlaces* const places =
            new ParallelPlaces(detail::ThreadPool::hardwareThreads());
        return *places;
    }

    std::size_t width() const { return width_; }
    static bool heldByThisThread() { return tHolding; }

    // Takes a place when one is free, without waiting.
    bool tryTake() {
        std::lock_guard lock(mutex_);
        if (free_ == 0) return false;
        --free_;
        return true;
    }
    // Waits until `done` holds (false back) or a place is free while `wanted` holds (the place
    // is taken, true back).
    template <typename Done, typename Wanted>
    bool takeUnless(Done done, Wanted wanted) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return done() || (free_ > 0 && wanted()); });
        if (done()) return false;
        --free_;
        return true;
    }
    void release() {
        {
            std::lock_guard lock(mutex_);
            ++free_;
        }
        changed_.notify_all();
    }
    // Wakes the threads waiting in takeUnless or waitFor to check again. Taking the lock orders
    // the wake after a waiter's check, so a change made before this call is never missed.
    void wake() {
        { std::lock_guard lock(mutex_); }
        changed_.notify_all();
    }
    template <typename Done>
    void waitFor(Done done) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, done);
    }

    // Runs `work` as the holder of a place already taken, then gives the place back.
    template <typename Work>
    void runHolding(Work work) {
        tHolding = true;
        work();
        tHolding = false;
        release();
    }

  private:
    explicit ParallelPlaces(std::size_t width) : width_(width), free_(width) {}

    static thread_local bool tHolding;
    const std::size_t width_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t free_;
};

thread_local bool ParallelPlaces::tHolding = false;

// The state of one concurrentPerform call. Helpers queued on the pool may start after the call
// has returned; they share ownership and find no iteration left to take.
struct ParallelLoop {
    std::atomic<std::size_t> nextIteration{0};
    std::atomic<std::size_t> finishedIterations{0};
    std::size_t iterations = 0;
    const std::function<void(std::size_t)>* body = nullptr;

    bool hasIterationsLeft() const { return nextIteration.load() < iterations; }
    bool isFinished() const { return finishedIterations.load() == iterations; }

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
            // The last one wakes the caller; the lock orders the wake after the caller's check.
            if (finishedIterations.fetch_add(1) + 1 == iterations) ParallelPlaces::shared().wake();
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
                                      const std::function<void(std::size_t)>& body,
                                      std::size_t maxThreads) {
    if (iterations == 0 || !body) return;
    auto loop = std::make_shared<ParallelLoop>();
    loop->iterations = iterations;
    loop->body = &body;
    ParallelPlaces& places = ParallelPlaces::shared();
    const std::size_t threads =
        std::min({iterations, places.width(), std::max<std::size_t>(1, maxThreads)});
    if (threads > 1) {
        // Helpers that find every place taken leave the iterations to the threads that hold one.
        auto pool = detail::ThreadPool::global();
        for (std::size_t i = 1; i < threads; ++i) {
            pool->enqueue(detail::Task{[loop] {
                                           ParallelPlaces& shared = ParallelPlaces::shared();
                                           if (!loop->hasIterationsLeft() || !shared.tryTake())
                                               return;
                                           shared.runHolding([&] { loop->takeIterations(); });
                                       },
                                       {}});
        }
    }
    if (ParallelPlaces::heldByThisThread()) {
        // Nested in an iteration: the place this thread holds runs these iterations too.
        loop->takeIterations();
    } else if (places.takeUnless([&] { return loop->isFinished(); },
                                 [&] { return loop->hasIterationsLeft(); })) {
        places.runHolding([&] { loop->takeIterations(); });
    }
    places.waitFor([&] { return loop->isFinished(); });
}

std::size_t DispatchQueue::parallelWidth() {
    return ParallelPlaces::shared().width();
}

}  // namespace hx
