#include "platform/runloop/detail/DelayedDispatch.h"

#include <chrono>
#include <limits>
#include <system_error>
#include <thread>

#include "platform/log/Log.h"
#include "platform/runloop/Clock.h"

namespace hx::detail {

DelayedDispatch& DelayedDispatch::instance() {
    // Never destroyed: its watcher thread may still be waiting when the process exits.
    static DelayedDispatch* const dispatch = new DelayedDispatch;
    return *dispatch;
}

void DelayedDispatch::schedule(std::int64_t dueNanoseconds, std::shared_ptr<QueueCore> queue,
                               Task task) {
    if (dueNanoseconds <= Clock::nowNanoseconds()) {
        queue->enqueue(std::move(task));
        return;
    }
    {
        std::lock_guard lock(mutex_);
        entries_.emplace(Key{dueNanoseconds, nextSequence_++},
                         Entry{std::move(queue), std::move(task)});
        if (!watcherStarted_) {
            try {
                std::thread([this] { watchRealClock(); }).detach();
                watcherStarted_ = true;
            } catch (const std::system_error& error) {
                hxLog("Cannot start the delayed-dispatch thread: %s", error.what());
            }
        }
    }
    changed_.notify_all();
}

std::int64_t DelayedDispatch::nextDue() {
    std::lock_guard lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end(); it = entries_.erase(it))
        if (!it->second.task.token.isCancelled()) return it->first.first;
    return std::numeric_limits<std::int64_t>::max();
}

void DelayedDispatch::clockChanged() {
    std::vector<Entry> due;
    {
        std::lock_guard lock(mutex_);
        if (Clock::isManual()) due = takeDueLocked(Clock::nowNanoseconds());
    }
    changed_.notify_all();
    handOver(due);
}

void DelayedDispatch::watchRealClock() {
    setCurrentQueue(nullptr);
    std::unique_lock lock(mutex_);
    while (!isShuttingDown()) {
        if (entries_.empty() || Clock::isManual()) {
            changed_.wait(lock);
            continue;
        }
        const std::int64_t due = entries_.begin()->first.first;
        const std::int64_t now = Clock::nowNanoseconds();
        if (due > now) {
            // The real clock reads steady_clock, so a due time converts to its time point.
            changed_.wait_until(
                lock, std::chrono::steady_clock::time_point(std::chrono::nanoseconds(due)));
            continue;
        }
        std::vector<Entry> ready = takeDueLocked(now);
        lock.unlock();
        handOver(ready);
        lock.lock();
    }
}

std::vector<DelayedDispatch::Entry> DelayedDispatch::takeDueLocked(std::int64_t now) {
    std::vector<Entry> due;
    while (!entries_.empty() && entries_.begin()->first.first <= now) {
        due.push_back(std::move(entries_.begin()->second));
        entries_.erase(entries_.begin());
    }
    return due;
}

void DelayedDispatch::handOver(std::vector<Entry>& entries) {
    for (Entry& entry : entries)
        if (!entry.task.token.isCancelled()) entry.queue->enqueue(std::move(entry.task));
}

}  // namespace hx::detail
