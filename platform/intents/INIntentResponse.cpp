#include "platform/intents/INIntentResponse.h"

namespace hx {

INIntentResponse::INIntentResponse(const NSCoder& coder) {
    if (auto type = coder.decodeObjectForKey("userActivity.activityType")) {
        userActivity_ =
            NSUserActivity{*type, coder.decodeObjectForKey("userActivity.title").value_or("")};
    }
}

void INIntentResponse::encodeWithCoder(NSCoder& coder) const {
    if (!userActivity_) return;
    coder.encodeObject(userActivity_->activityType, "userActivity.activityType");
    coder.encodeObject(userActivity_->title, "userActivity.title");
}

}  // namespace hx
