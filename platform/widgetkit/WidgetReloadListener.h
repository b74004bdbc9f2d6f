#pragma once

// The widget host's side of WidgetCenter::reloadAllTimelines(): a datagram socket in
// <runtime folder>/widget-hosts/ and a thread that waits on it. Each reload request calls the
// handler on the main queue; requests that arrive together are answered with one call.
//
// Threads: start(), stop() and the destructor on one thread (normally the main thread); the
// handler runs on the main thread and never after stop() has returned.

#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace hx {

class WidgetReloadListener {
  public:
    explicit WidgetReloadListener(std::function<void()> onReload);
    ~WidgetReloadListener();
    WidgetReloadListener(const WidgetReloadListener&) = delete;
    WidgetReloadListener& operator=(const WidgetReloadListener&) = delete;

    // Binds the socket and starts listening; false, with the reason, when it cannot.
    bool start(std::string* error = nullptr);
    // Stops listening and removes the socket.
    void stop();

    bool isListening() const { return run_ != nullptr; }
    // The socket's path while listening.
    const std::string& socketPath() const { return path_; }

    struct Run;

  private:
    std::function<void()> onReload_;
    std::string path_;
    std::shared_ptr<Run> run_;
    std::thread thread_;
};

}  // namespace hx
