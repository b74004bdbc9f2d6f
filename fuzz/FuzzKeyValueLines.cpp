// Any bytes as a line file: the shared line reader, the user-defaults file and a device profile.
#include <string_view>

#include "platform/defaults/DefaultsFile.h"
#include "platform/device/DeviceProfile.h"
#include "platform/paths/KeyValueLines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    hx::paths::readKeyValueLines(text);
    const hx::defaults::ParsedDefaults parsed = hx::defaults::parseDefaults(text);
    // What is written back from a damaged file reads back as the same keys, undamaged.
    const std::string written = hx::defaults::serializeDefaults(parsed.entries, "fuzz");
    const hx::defaults::ParsedDefaults again = hx::defaults::parseDefaults(written);
    if (again.damaged || again.entries.size() != parsed.entries.size()) __builtin_trap();
    std::string error;
    hx::DeviceProfile::parse(text, "fuzz", &error);
    return 0;
}
