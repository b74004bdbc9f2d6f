#include "platform/runloop/RunLoop.h"

#include <unistd.h>

#include <algorithm>
#include <limits>
#include <utility>

#include "platform/log/Log.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/detail/DelayedDispatch.h"
#include "platform/runloop/detail/QueueCore.h"

namespace hx {
namespace {

using SteadyTime = std::chrono::steady_clock::time_point;
constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

std::atomic<RunLoop*> mainInstance{nullptr};

const std::string& mainQueueLabel() {
    static const std::string* const label = new std::string("main queue");
    return *label;
}

SteadyTime deadlineAfter(double seconds) {
    const auto now = std::chrono::steady_clock::now();
    if (!(seconds > 0)) return now;
    // Beyond a few decades means "no time-out"; it also keeps the arithmetic from overflowing.
    if (seconds > 1e9) return SteadyTime::max();
    return now + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                     std::chrono::duration<double>(seconds));
}

// The thread the process started on: on Linux its thread id is the process id. Only it claims
// the main run loop by asking for it; threads of their own that other modules start (a folder
// watcher, a camera backend) may ask first, before the program or a test has touched the loop.
bool isInitialThread() {
    return ::gettid() == ::getpid();
}

}  // namespace

// ---- The main thread

RunLoop& RunLoop::main() {
    // Never destroyed: other threads may still post to it while the process exits.
    static RunLoop* const loop = [] {
        auto* created = new RunLoop;
        mainInstance.store(created, std::memory_order_release);
        return created;
    }();
    if (loop->owner_.load(std::memory_order_acquire) == std::thread::id() && isInitialThread()) {
        std::thread::id unclaimed;
        loop->owner_.compare_exchange_strong(unclaimed, std::this_thread::get_id());
    }
    return *loop;
}

bool RunLoop::isMainThread() {
    return main().owner_.load(std::memory_order_acquire) == std::this_thread::get_id();
}

void RunLoop::bindToCurrentThread() {
    owner_.store(std::this_thread::get_id(), std::memory_order_release);
}

bool RunLoop::requireMainThread(const char* what) const {
    if (owner_.load(std::memory_order_acquire) == std::this_thread::get_id()) return true;
    hxLog("RunLoop::%s called off the main thread; nothing was run", what);
    return false;
}

// ---- Posting work

void RunLoop::post(std::function<void()> block) {
    if (!block) return;
    const std::int64_t now = Clock::nowNanoseconds();
    {
        std::lock_guard lock(mutex_);
        queued_.push_back(QueuedBlock{now, nextSequence_++, std::move(block)});
    }
    notifyChanged();
}

CancelToken RunLoop::postAfter(double delaySeconds, std::function<void()> block,
                               const void* target) {
    const std::int64_t delay = Clock::toNanoseconds(std::max(delaySeconds, 0.0));
    return postAt(Clock::nowNanoseconds() + delay, std::move(block), target);
}

CancelToken RunLoop::postAt(std::int64_t dueNanoseconds, std::function<void()> block,
                            const void* target) {
    CancelToken token = CancelToken::create();
    if (!block) return token;
    {
        std::lock_guard lock(mutex_);
        delayed_.emplace(DueKey{dueNanoseconds, nextSequence_++},
                         DelayedBlock{std::move(block), token, target});
    }
    notifyChanged();
    return token;
}

void RunLoop::cancelPerformRequests(const void* target) {
    if (!target) return;
    Discarded discarded;  // Destroyed after the lock is released: captures may post again.
    std::lock_guard lock(mutex_);
    for (auto it = delayed_.begin(); it != delayed_.end();) {
        if (it->second.target != target) {
            ++it;
            continue;
        }
        it->second.token.cancel();
        discarded.push_back(std::move(it->second.block));
        it = delayed_.erase(it);
    }
}

void RunLoop::discardPendingWork() {
    std::deque<QueuedBlock> queued;
    std::map<DueKey, DelayedBlock> delayed;
    {
        std::lock_guard lock(mutex_);
        queued.swap(queued_);
        delayed.swap(delayed_);
    }
    for (auto& [key, entry] : delayed) entry.token.cancel();
}

void RunLoop::setWakeUpHandler(std::function<void()> handler) {
    auto shared =
        handler ? std::make_shared<const std::function<void()>>(std::move(handler)) : nullptr;
    std::lock_guard lock(mutex_);
    wakeUpHandler_ = std::move(shared);
}

void RunLoop::notifyChanged() {
    std::shared_ptr<const std::function<void()>> handler;
    {
        std::lock_guard lock(mutex_);
        handler = wakeUpHandler_;
    }
    changed_.notify_all();
    if (handler) (*handler)();
}

void RunLoop::clockChanged() {
    if (RunLoop* loop = mainInstance.load(std::memory_order_acquire)) loop->notifyChanged();
}

void RunLoop::stop() {
    stopRequested_.store(true, std::memory_order_release);
    notifyChanged();
}

// ---- What is due

bool RunLoop::hasReadyLocked(std::int64_t now) const {
    return !queued_.empty() || nextDelayedDueLocked() <= now;
}

bool RunLoop::hasReady() const {
    const std::int64_t now = Clock::nowNanoseconds();
    std::lock_guard lock(mutex_);
    return hasReadyLocked(now);
}

std::int64_t RunLoop::nextDelayedDueLocked() const {
    for (const auto& [key, entry] : delayed_)
        if (!entry.token.isCancelled()) return key.due;
    return kNever;
}

std::int64_t RunLoop::nextDelayedDue() const {
    std::lock_guard lock(mutex_);
    return nextDelayedDueLocked();
}

double RunLoop::nextDueIn() const {
    const std::int64_t now = Clock::nowNanoseconds();
    std::lock_guard lock(mutex_);
    if (!queued_.empty()) return 0;
    const std::int64_t next = nextDelayedDueLocked();
    if (next == kNever) return std::numeric_limits<double>::infinity();
    return std::max(0.0, Clock::toSeconds(next - now));
}

// Takes the earliest runnable block: queued blocks and due delayed blocks merge by the time
// they were posted or fell due, ties broken by the order they arrived. Only blocks that arrived
// before the batch started are taken, so a block that keeps re-posting itself cannot starve the
// caller.
bool RunLoop::takeReady(std::int64_t now, std::uint64_t sequenceLimit, std::function<void()>& block,
                        Discarded& discarded) {
    while (!delayed_.empty() && delayed_.begin()->second.token.isCancelled()) {
        discarded.push_back(std::move(delayed_.begin()->second.block));
        delayed_.erase(delayed_.begin());
    }
    const bool queuedReady = !queued_.empty() && queued_.front().sequence < sequenceLimit;
    const auto firstDelayed = delayed_.begin();
    const bool delayedReady = firstDelayed != delayed_.end() && firstDelayed->first.due <= now &&
                              firstDelayed->first.sequence < sequenceLimit;
    if (!queuedReady && !delayedReady) return false;
    const bool takeDelayed =
        delayedReady && (!queuedReady || firstDelayed->first < DueKey{queued_.front().postedAt,
                                                                      queued_.front().sequence});
    if (takeDelayed) {
        block = std::move(firstDelayed->second.block);
        delayed_.erase(firstDelayed);
    } else {
        block = std::move(queued_.front().block);
        queued_.pop_front();
    }
    return true;
}

bool RunLoop::runReadyBatch() {
    std::uint64_t sequenceLimit;
    {
        std::lock_guard lock(mutex_);
        sequenceLimit = nextSequence_;
    }
    const std::int64_t now = Clock::nowNanoseconds();
    bool ran = false;
    while (true) {
        std::function<void()> block;
        Discarded discarded;
        {
            std::lock_guard lock(mutex_);
            if (!takeReady(now, sequenceLimit, block, discarded)) break;
        }
        detail::runGuarded(block, mainQueueLabel());
        ran = true;
    }
    return ran;
}

// ---- Running

void RunLoop::waitOnce(SteadyTime deadline, WakeAlsoWhen wakeAlsoWhen) {
    std::unique_lock lock(mutex_);
    if (hasReadyLocked(Clock::nowNanoseconds())) return;
    if (wakeAlsoWhen == WakeAlsoWhen::stopped && stopRequested_.load()) return;
    if (wakeAlsoWhen == WakeAlsoWhen::noPendingWork && pendingWork_.load() == 0) return;
    SteadyTime wake = deadline;
    if (!Clock::isManual()) {
        // The real clock reads steady_clock, so a due time converts to its time point.
        const std::int64_t next = nextDelayedDueLocked();
        if (next != kNever) wake = std::min(wake, SteadyTime(std::chrono::nanoseconds(next)));
    }
    if (std::chrono::steady_clock::now() >= wake) return;
    if (wake == SteadyTime::max())
        changed_.wait(lock);
    else
        changed_.wait_until(lock, wake);
}

bool RunLoop::runOnce(double maxWaitSeconds) {
    if (!requireMainThread("runOnce")) return false;
    if (runReadyBatch()) return true;
    const SteadyTime deadline = deadlineAfter(maxWaitSeconds);
    while (std::chrono::steady_clock::now() < deadline && !hasReady())
        waitOnce(deadline, WakeAlsoWhen::nothingElse);
    return runReadyBatch();
}

bool RunLoop::runUntil(const std::function<bool()>& done, double timeoutSeconds) {
    auto isDone = [&] { return done && done(); };
    if (!requireMainThread("runUntil")) return isDone();
    const SteadyTime deadline = deadlineAfter(timeoutSeconds);
    while (true) {
        if (isDone()) return true;
        if (runReadyBatch()) continue;
        if (std::chrono::steady_clock::now() >= deadline) return isDone();
        // Nothing runnable, nothing on its way: only moving the clock could change anything.
        if (Clock::isManual() && pendingWork_.load() == 0 && !hasReady()) return isDone();
        waitOnce(deadline,
                 Clock::isManual() ? WakeAlsoWhen::noPendingWork : WakeAlsoWhen::nothingElse);
    }
}

void RunLoop::advance(double seconds) {
    if (!requireMainThread("advance")) return;
    if (!Clock::isManual()) {
        runUntil(nullptr, seconds);
        return;
    }
    const std::int64_t target =
        Clock::nowNanoseconds() + Clock::toNanoseconds(std::max(seconds, 0.0));
    while (true) {
        while (runReadyBatch()) {
        }
        const std::int64_t next =
            std::min(nextDelayedDue(), detail::DelayedDispatch::instance().nextDue());
        if (next > target) break;
        // Everything due up to now has run, so the next stop lies ahead; never stand still.
        Clock::setManualNanoseconds(std::max(next, Clock::nowNanoseconds() + 1));
    }
    if (Clock::nowNanoseconds() < target) Clock::setManualNanoseconds(target);
    while (runReadyBatch()) {
    }
}

void RunLoop::run() {
    if (!requireMainThread("run")) return;
    while (!stopRequested_.load()) {
        runReadyBatch();
        if (stopRequested_.load()) break;
        waitOnce(SteadyTime::max(), WakeAlsoWhen::stopped);
    }
    stopRequested_.store(false);
}

// ---- Background work in flight

RunLoop::PendingWork::PendingWork() {
    RunLoop::main().pendingWork_.fetch_add(1);
}

RunLoop::PendingWork::~PendingWork() {
    if (!active_) return;
    RunLoop& loop = RunLoop::main();
    if (loop.pendingWork_.fetch_sub(1) == 1) {
        // Taken so that a runUntil that has just found work in flight is already waiting.
        { std::lock_guard lock(loop.mutex_); }
        loop.changed_.notify_all();
    }
}

RunLoop::PendingWork::PendingWork(PendingWork&& other) noexcept
    : active_(std::exchange(other.active_, false)) {}

RunLoop::PendingWork& RunLoop::PendingWork::operator=(PendingWork&& other) noexcept {
    if (this != &other) {
        PendingWork released(std::move(*this));
        active_ = std::exchange(other.active_, false);
    }
    return *this;
}

}  // namespace hx
