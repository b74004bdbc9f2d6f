#include "platform/photos/store/StoredNames.h"

#include <filesystem>

namespace hx::photos {

namespace fs = std::filesystem;

std::optional<std::string> safeBaseName(const std::string& stored) {
    if (stored.empty() || stored == "." || stored == "..") return std::nullopt;
    if (stored.find('/') != std::string::npos || stored.find('\0') != std::string::npos)
        return std::nullopt;
    return stored;
}

std::optional<std::string> resolveInsideFolder(const std::string& folder, const std::string& path) {
    std::error_code ec;
    const fs::path base = fs::weakly_canonical(fs::absolute(folder, ec), ec);
    if (ec || base.empty()) return std::nullopt;
    const fs::path resolved = fs::weakly_canonical(fs::absolute(path, ec), ec);
    if (ec) return std::nullopt;
    // Inside means every part of the folder starts the path, and something follows.
    auto b = base.begin(), r = resolved.begin();
    for (; b != base.end(); ++b, ++r) {
        if (b->empty() && std::next(b) == base.end()) break;  // a trailing separator
        if (r == resolved.end() || *b != *r) return std::nullopt;
    }
    if (r == resolved.end()) return std::nullopt;
    return resolved.string();
}

}  // namespace hx::photos
