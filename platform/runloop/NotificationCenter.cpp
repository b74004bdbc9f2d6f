#include "platform/runloop/NotificationCenter.h"

#include <atomic>
#include <vector>

#include "platform/runloop/DispatchQueue.h"

namespace hx {

struct NotificationCenter::Observer {
    std::string name;
    const void* object;
    DispatchQueue* queue;
    Block block;
    // Cleared by removeObserver; queued deliveries check it before running.
    std::atomic<bool> active{true};
    // Held while the block runs, so removal waits for a synchronous delivery on another thread.
    std::recursive_mutex running;

    void deliver(const Notification& notification) {
        std::lock_guard lock(running);
        if (active.load()) block(notification);
    }
};

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

NotificationCenter::ObserverToken NotificationCenter::addObserverForName(const std::string& name,
                                                                         const void* object,
                                                                         DispatchQueue* queue,
                                                                         Block block) {
    auto observer = std::make_shared<Observer>();
    observer->name = name;
    observer->object = object;
    observer->queue = queue;
    observer->block = std::move(block);
    std::lock_guard lock(mutex_);
    ObserverToken token = nextToken_++;
    observers_.emplace(token, std::move(observer));
    return token;
}

void NotificationCenter::removeObserver(ObserverToken token) {
    std::shared_ptr<Observer> observer;
    {
        std::lock_guard lock(mutex_);
        auto found = observers_.find(token);
        if (found == observers_.end()) return;
        observer = std::move(found->second);
        observers_.erase(found);
    }
    observer->active.store(false);
    // Waits for a delivery in progress on another thread; a block that removes its own observer
    // holds the (recursive) lock already and passes straight through.
    std::lock_guard wait(observer->running);
}

double Notification::numberValue(const std::string& key) const {
    auto found = userInfo.find(key);
    if (found == userInfo.end()) return 0;
    const double* number = std::get_if<double>(&found->second);
    return number ? *number : 0;
}

std::string Notification::textValue(const std::string& key) const {
    auto found = userInfo.find(key);
    if (found == userInfo.end()) return {};
    const std::string* text = std::get_if<std::string>(&found->second);
    return text ? *text : std::string();
}

void NotificationCenter::postNotificationName(const std::string& name, const void* object) {
    postNotificationName(name, object, {});
}

void NotificationCenter::postNotificationName(const std::string& name, const void* object,
                                              NotificationUserInfo userInfo) {
    std::vector<std::shared_ptr<Observer>> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [token, observer] : observers_) {
            if (!observer->name.empty() && observer->name != name) continue;
            if (observer->object && observer->object != object) continue;
            matching.push_back(observer);
        }
    }
    Notification notification{name, object, std::move(userInfo)};
    for (auto& observer : matching) {
        if (observer->queue)
            observer->queue->async([observer, notification] { observer->deliver(notification); });
        else
            observer->deliver(notification);
    }
}

}  // namespace hx
