#include "platform/runloop/detail/QueueCore.h"

#include <atomic>
#include <exception>

#include "platform/log/Log.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/Semaphore.h"
#include "platform/runloop/detail/DelayedDispatch.h"

namespace hx::detail {
namespace {

thread_local const QueueCore* tlsCurrentQueue = nullptr;
std::atomic<bool> shuttingDown{false};

}  // namespace

void QueueCore::runSync(const std::function<void()>& block) {
    if (isCurrent()) {
        runGuarded(block, label_);
        return;
    }
    Semaphore finished(0);
    enqueue(Task{[&] {
                     runGuarded(block, label_);
                     finished.signal();
                 },
                 {}});
    finished.wait();
}

CancelToken QueueCore::enqueueAfter(double seconds, std::function<void()> block) {
    CancelToken token = CancelToken::create();
    DelayedDispatch::instance().schedule(Clock::nowNanoseconds() + Clock::toNanoseconds(seconds),
                                         shared_from_this(), Task{std::move(block), token});
    return token;
}

bool QueueCore::isCurrent() const {
    return tlsCurrentQueue == this;
}

void runTask(const Task& task, const std::string& queueLabel) {
    if (task.token.isCancelled()) return;
    runGuarded(task.block, queueLabel);
}

void runGuarded(const std::function<void()>& block, const std::string& queueLabel) {
    try {
        if (block) block();
    } catch (const std::exception& error) {
        hxLog("Uncaught exception in a block on %s: %s", queueLabel.c_str(), error.what());
    } catch (...) {
        hxLog("Uncaught exception in a block on %s", queueLabel.c_str());
    }
}

void setCurrentQueue(const QueueCore* queue) {
    tlsCurrentQueue = queue;
}

const QueueCore* currentQueue() {
    return tlsCurrentQueue;
}

bool isShuttingDown() {
    return shuttingDown.load(std::memory_order_acquire);
}
void beginShutdown() {
    shuttingDown.store(true, std::memory_order_release);
}

}  // namespace hx::detail
