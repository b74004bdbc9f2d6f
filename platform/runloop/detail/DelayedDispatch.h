#pragma once

// Holds the delayed blocks of background queues and hands each to its queue when the clock
// reaches its due time: a thread of its own watches the real clock, and under the manual clock
// the hand-over happens inside the call that moves the clock. The main queue keeps its delayed
// blocks in the run loop instead.
//
// Thread safety: every member may be called from any thread.

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/runloop/detail/QueueCore.h"

namespace hx::detail {

class DelayedDispatch {
  public:
    static DelayedDispatch& instance();

    void schedule(std::int64_t dueNanoseconds, std::shared_ptr<QueueCore> queue, Task task);
    // Due time of the earliest block still waiting, or INT64_MAX.
    std::int64_t nextDue();
    void clockChanged();

  private:
    struct Entry {
        std::shared_ptr<QueueCore> queue;
        Task task;
    };
    using Key = std::pair<std::int64_t, std::uint64_t>;

    DelayedDispatch() = default;
    void watchRealClock();
    std::vector<Entry> takeDueLocked(std::int64_t now);
    static void handOver(std::vector<Entry>& entries);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<Key, Entry> entries_;
    std::uint64_t nextSequence_ = 0;
    bool watcherStarted_ = false;
};

}  // namespace hx::detail
