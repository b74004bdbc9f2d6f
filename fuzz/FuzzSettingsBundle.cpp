// Any bytes as the settings bundle: preferences or a reason, and every preference read can say
// what values it allows.
#include <string>
#include <string_view>

#include "tools/halidex-settings/SettingsBundle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    auto bundle = hx::settings::SettingsBundle::parse(text, &error);
    if (!bundle) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    for (const auto& preference : bundle->preferences) {
        (void)preference.allowedValues();
        if (bundle->find(preference.key) == nullptr) __builtin_trap();
    }
    return 0;
}
