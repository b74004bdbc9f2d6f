#include "platform/photos/store/OriginalNames.h"

#include <cstdio>
#include <ctime>

namespace hx::photos {

std::string keptName(const std::string& originalFilename) {
    std::string name = originalFilename.substr(originalFilename.find_last_of('/') + 1);
    if (name.empty() || name.front() == '.' || name.size() > 200) return {};
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7f) return {};
    }
    return name;
}

std::function<std::string(int)> originalNamesFor(const std::string& kept, double date,
                                                 const std::string& extension) {
    if (!kept.empty()) {
        return [kept](int n) {
            if (n == 0) return kept;
            size_t dot = kept.find_last_of('.');
            std::string stem = dot == std::string::npos || dot == 0 ? kept : kept.substr(0, dot);
            std::string suffix = stem.size() == kept.size() ? "" : kept.substr(stem.size());
            return stem + "_" + std::to_string(n) + suffix;
        };
    }
    std::time_t time = std::time_t(date);
    std::tm local{};
    localtime_r(&time, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "HLDX_%Y%m%d_%H%M%S_", &local);
    std::string prefix = stamp;
    std::string suffix = extension.empty() ? "" : "." + extension;
    return [prefix, suffix](int n) {
        char counter[16];
        std::snprintf(counter, sizeof counter, "%03d", n);
        return prefix + counter + suffix;
    };
}

}  // namespace hx::photos
