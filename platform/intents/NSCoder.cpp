#include "platform/intents/NSCoder.h"

#include <charconv>
#include <sstream>

namespace hx {

namespace {

// Tabs, line ends and backslashes would break the line form.
std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::optional<std::string> unescaped(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        switch (text[i]) {
            case '\\':
                out += '\\';
                break;
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            default:
                return std::nullopt;
        }
    }
    return out;
}

}  // namespace

void NSCoder::encodeInteger(std::int64_t value, const std::string& key) {
    values_[key] = value;
}

void NSCoder::encodeObject(const std::string& value, const std::string& key) {
    values_[key] = value;
}

bool NSCoder::containsValueForKey(const std::string& key) const {
    return values_.count(key) != 0;
}

std::int64_t NSCoder::decodeIntegerForKey(const std::string& key) const {
    auto it = values_.find(key);
    if (it == values_.end()) return 0;
    const auto* value = std::get_if<std::int64_t>(&it->second);
    return value ? *value : 0;
}

std::optional<std::string> NSCoder::decodeObjectForKey(const std::string& key) const {
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    const auto* value = std::get_if<std::string>(&it->second);
    if (!value) return std::nullopt;
    return *value;
}

std::string NSCoder::archivedString() const {
    std::string out;
    for (const auto& [key, value] : values_) {
        out += escaped(key);
        if (const auto* number = std::get_if<std::int64_t>(&value))
            out += "\ti\t" + std::to_string(*number);
        else
            out += "\ts\t" + escaped(std::get<std::string>(value));
        out += '\n';
    }
    return out;
}

std::optional<NSCoder> NSCoder::fromArchivedString(const std::string& text) {
    NSCoder coder;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const size_t first = line.find('\t');
        if (first == std::string::npos || first + 2 >= line.size() || line[first + 2] != '\t')
            return std::nullopt;
        auto key = unescaped(line.substr(0, first));
        const char type = line[first + 1];
        const std::string value = line.substr(first + 3);
        if (!key) return std::nullopt;
        if (type == 'i') {
            std::int64_t number = 0;
            auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
            if (error != std::errc() || end != value.data() + value.size()) return std::nullopt;
            coder.encodeInteger(number, *key);
        } else if (type == 's') {
            auto decoded = unescaped(value);
            if (!decoded) return std::nullopt;
            coder.encodeObject(*decoded, *key);
        } else {
            return std::nullopt;
        }
    }
    return coder;
}

}  // namespace hx
