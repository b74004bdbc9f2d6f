#include "widget/intents/hxConfigurationIntentResponse.h"

namespace hx {

std::optional<hxConfigurationIntentResponseCode> hxConfigurationIntentResponseCodeFromRawValue(
    std::int64_t rawValue) {
    if (rawValue < 0 || rawValue > 6) return std::nullopt;
    return static_cast<hxConfigurationIntentResponseCode>(rawValue);
}

hxConfigurationIntentResponse::hxConfigurationIntentResponse(const NSCoder& coder)
    : INIntentResponse(coder),
      code_(hxConfigurationIntentResponseCodeFromRawValue(coder.decodeIntegerForKey("code"))
                .value_or(hxConfigurationIntentResponseCode::Unspecified)) {}

hxConfigurationIntentResponse::hxConfigurationIntentResponse(
    hxConfigurationIntentResponseCode code, std::optional<NSUserActivity> userActivity)
    : code_(code) {
    setUserActivity(std::move(userActivity));
}

void hxConfigurationIntentResponse::encodeWithCoder(NSCoder& coder) const {
    INIntentResponse::encodeWithCoder(coder);
    coder.encodeInteger(static_cast<std::int64_t>(code_), "code");
}

}  // namespace hx
