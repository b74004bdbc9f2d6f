#pragma once
// The intent the widget is configured with. It has no parameters: it exists so that the widget
// is declared as an intent-configured one. Compiled into the widget extension and into the
// camera application alike, from these same files.

#include <string>

#include "platform/intents/INIntent.h"

namespace hx {

class hxConfigurationIntent : public INIntent {
  public:
    // The title people see where the widget is configured.
    static constexpr const char* kTitle = "Configuration";

    hxConfigurationIntent() = default;
    explicit hxConfigurationIntent(const NSCoder& coder) : INIntent(coder) {}  // initWithCoder:

    std::string intentClassName() const override;
};

}  // namespace hx
