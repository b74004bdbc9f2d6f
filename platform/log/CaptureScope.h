#pragma once

// Collects log messages while it lives and restores the previous sink when it goes, so scopes
// nest. Meant for tests: messages do not reach stderr while a scope is active.
//
// Thread safety: messages may arrive from any thread; messages() and contains() may be called
// from any thread at any time. Create and destroy a scope on one thread, in nested order.

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/log/Log.h"

namespace hx::log {

class CaptureScope {
  public:
    CaptureScope();
    ~CaptureScope();
    CaptureScope(const CaptureScope&) = delete;
    CaptureScope& operator=(const CaptureScope&) = delete;

    // A copy of the messages so far, oldest first.
    std::vector<std::string> messages() const;

    // Whether any message so far contains the given text.
    bool contains(std::string_view text) const;

    void clear();

  private:
    struct Store {
        mutable std::mutex mutex;
        std::vector<std::string> messages;
    };
    // Shared with the sink so that a message arriving from another thread while the scope ends
    // still lands somewhere valid.
    std::shared_ptr<Store> store_;
    Sink previous_;
};

}  // namespace hx::log
