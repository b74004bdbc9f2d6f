#pragma once
// Small readers the resource tests share: whole files, desktop-entry groups and the first text
// of an XML element.

#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>

namespace hx::resourcestest {

inline const std::string kSource = HX_SOURCE_DIR;
inline const std::string kAppId = "org.halidex.camera";

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// group name -> key -> value of a desktop entry file (no localised keys needed here).
inline std::map<std::string, std::map<std::string, std::string>> desktopGroups(
    const std::string& text) {
    std::map<std::string, std::map<std::string, std::string>> groups;
    std::istringstream in(text);
    std::string line, group;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            group = line.substr(1, line.size() - 2);
            continue;
        }
        const auto eq = line.find('=');
        if (eq != std::string::npos) groups[group][line.substr(0, eq)] = line.substr(eq + 1);
    }
    return groups;
}

// The text between <tag ...> and </tag> at its first occurrence from `from`.
inline std::optional<std::string> elementText(const std::string& xml, const std::string& tag,
                                              size_t from = 0) {
    const size_t open = xml.find("<" + tag, from);
    if (open == std::string::npos) return std::nullopt;
    const size_t start = xml.find('>', open);
    const size_t end = xml.find("</" + tag + ">", start);
    if (start == std::string::npos || end == std::string::npos) return std::nullopt;
    return xml.substr(start + 1, end - start - 1);
}

}  // namespace hx::resourcestest
