#include "platform/runloop/CancelToken.h"

namespace hx {

CancelToken CancelToken::create() {
    CancelToken token;
    token.state_ = std::make_shared<std::atomic<bool>>(false);
    return token;
}

void CancelToken::cancel() const {
    if (state_) state_->store(true, std::memory_order_release);
}

bool CancelToken::isCancelled() const {
    return state_ && state_->load(std::memory_order_acquire);
}

}  // namespace hx
