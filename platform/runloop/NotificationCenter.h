#pragma once

// Broadcasts of named events inside one process: application lifecycle changes, library
// changes, settings changes. Observers register for a name (and optionally one sender) and get
// each matching notification either at once on the posting thread or queued on a queue.
//
// Thread safety: every member may be called from any thread. After removeObserver() returns, the
// observer's block is never started again, including deliveries already queued; a delivery that
// is running on another thread at that moment finishes.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <variant>

namespace hx {

class DispatchQueue;

// Extra facts a notification carries, by key: a number or a text.
using NotificationValue = std::variant<double, std::string>;
using NotificationUserInfo = std::map<std::string, NotificationValue>;

struct Notification {
    std::string name;
    const void* object = nullptr;  // the sender, compared by address only
    NotificationUserInfo userInfo = {};

    // The number under `key`; 0 when the entry is missing or is not a number.
    double numberValue(const std::string& key) const;
    // The text under `key`; empty when the entry is missing or is not a text.
    std::string textValue(const std::string& key) const;
};

class NotificationCenter {
  public:
    using ObserverToken = std::uint64_t;
    using Block = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // `name` empty matches every name; `object` null matches every sender. `queue` null delivers
    // synchronously on the posting thread; otherwise the queue must outlive the registration.
    // The token is never 0.
    ObserverToken addObserverForName(const std::string& name, const void* object,
                                     DispatchQueue* queue, Block block);
    void removeObserver(ObserverToken token);

    // Delivers to every matching observer, in the order they registered.
    void postNotificationName(const std::string& name, const void* object = nullptr);
    // The same, with user info that every observer receives.
    void postNotificationName(const std::string& name, const void* object,
                              NotificationUserInfo userInfo);

  private:
    struct Observer;

    std::mutex mutex_;
    std::map<ObserverToken, std::shared_ptr<Observer>> observers_;
    ObserverToken nextToken_ = 1;
};

}  // namespace hx
