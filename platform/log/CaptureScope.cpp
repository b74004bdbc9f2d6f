#include "platform/log/CaptureScope.h"

namespace hx::log {

CaptureScope::CaptureScope() : store_(std::make_shared<Store>()) {
    previous_ = setSink([store = store_](std::string_view message) {
        std::lock_guard lock(store->mutex);
        store->messages.emplace_back(message);
    });
}

CaptureScope::~CaptureScope() {
    setSink(std::move(previous_));
}

std::vector<std::string> CaptureScope::messages() const {
    std::lock_guard lock(store_->mutex);
    return store_->messages;
}

bool CaptureScope::contains(std::string_view text) const {
    std::lock_guard lock(store_->mutex);
    for (const auto& message : store_->messages)
        if (message.find(text) != std::string::npos) return true;
    return false;
}

void CaptureScope::clear() {
    std::lock_guard lock(store_->mutex);
    store_->messages.clear();
}

}  // namespace hx::log
