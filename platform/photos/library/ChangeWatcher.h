#pragma once
// Notices writes to a library folder's database made by any process: a thread of its own waits
// for inotify events on the folder (the write-ahead log grows with every commit) and calls back
// for each burst of them. Where inotify is unavailable it calls back every
// `pollIntervalSeconds` instead; with inotify, once a second without events as a safety net.
//
// Threads: the callback runs on the watcher's thread; keep it short (schedule the real work
// elsewhere). Destroying the watcher stops the thread and waits for it, unless it is destroyed
// from inside its own callback.

#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace hx::photos {

class ChangeWatcher {
  public:
    ChangeWatcher(const std::string& folder, double pollIntervalSeconds,
                  std::function<void()> changed);
    ~ChangeWatcher();
    ChangeWatcher(const ChangeWatcher&) = delete;
    ChangeWatcher& operator=(const ChangeWatcher&) = delete;

    // Whether file events arrive (false: polling only).
    bool usesFileEvents() const;

  private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace hx::photos
