#pragma once
// The response to hxConfigurationIntent, with the usual codes of an intent's response. Nothing
// in the widget makes one; it belongs to the intent's declaration.

#include <cstdint>
#include <optional>

#include "platform/intents/INIntentResponse.h"

namespace hx {

enum class hxConfigurationIntentResponseCode : std::int64_t {
    Unspecified = 0,
    Ready = 1,
    ContinueInApp = 2,
    InProgress = 3,
    Success = 4,
    Failure = 5,
    FailureRequiringAppLaunch = 6,
};

// The case of a raw value; none outside 0 to 6.
std::optional<hxConfigurationIntentResponseCode> hxConfigurationIntentResponseCodeFromRawValue(
    std::int64_t rawValue);

class hxConfigurationIntentResponse : public INIntentResponse {
  public:
    hxConfigurationIntentResponse() = default;
    // initWithCoder: a stored code outside the enumeration reads as Unspecified.
    explicit hxConfigurationIntentResponse(const NSCoder& coder);
    // initWithCode:userActivity: stores the code, then sets the user activity.
    hxConfigurationIntentResponse(hxConfigurationIntentResponseCode code,
                                  std::optional<NSUserActivity> userActivity);

    hxConfigurationIntentResponseCode code() const { return code_; }

    void encodeWithCoder(NSCoder& coder) const override;

  private:
    hxConfigurationIntentResponseCode code_ = hxConfigurationIntentResponseCode::Unspecified;
};

}  // namespace hx
