#include "platform/paths/KeyValueLines.h"

#include <charconv>
#include <cstdio>

namespace hx::paths {
namespace {

bool isBareKeyCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.' || c == '-';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

void appendUtf8(std::string& out, unsigned codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// Reads "KEY = VALUE"; the problem when the line is not one.
std::string readLine(std::string_view line, KeyValueLine& entry) {
    if (line.find('\0') != std::string_view::npos) return "contains a NUL byte";
    if (line.front() == '"') {
        std::optional<std::string> quoted = unquoteString(line);
        if (!quoted) return "malformed quoted key";
        entry.key = std::move(*quoted);
    } else {
        size_t length = 0;
        while (length < line.size() && isBareKeyCharacter(line[length])) ++length;
        if (length == 0) return "unexpected character at the start of the line";
        entry.key = line.substr(0, length);
        line.remove_prefix(length);
    }
    line = trimBlanks(line);
    if (line.empty() || line.front() != '=') return "missing '=' after the key";
    entry.value = trimBlanks(line.substr(1));
    return {};
}

}  // namespace

KeyValueText readKeyValueLines(std::string_view text) {
    KeyValueText result;
    int number = 0;
    while (!text.empty()) {
        ++number;
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = trimBlanks(line);
        if (line.empty() || line.front() == '#') continue;
        KeyValueLine entry;
        entry.number = number;
        if (std::string problem = readLine(line, entry); !problem.empty())
            result.bad.push_back({number, std::move(problem)});
        else
            result.lines.push_back(std::move(entry));
    }
    return result;
}

bool isBareKey(std::string_view key) {
    if (key.empty()) return false;
    for (char c : key)
        if (!isBareKeyCharacter(c)) return false;
    return true;
}

std::string quoteString(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", c);
                    out += escape;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
    return out;
}

std::optional<std::string> unquoteString(std::string_view& text) {
    if (text.empty() || text.front() != '"') return std::nullopt;
    std::string out;
    size_t i = 1;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"') {
            text.remove_prefix(i + 1);
            return out;
        }
        // A raw control character means the line was not written by a writer of this format.
        if ((c < 0x20 && c != '\t') || c == 0x7F) return std::nullopt;
        if (c != '\\') {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        if (++i >= text.size()) return std::nullopt;
        switch (text[i]) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                if (i + 4 >= text.size()) return std::nullopt;
                unsigned codePoint = 0;
                auto [end, error] =
                    std::from_chars(text.data() + i + 1, text.data() + i + 5, codePoint, 16);
                if (error != std::errc() || end != text.data() + i + 5) return std::nullopt;
                appendUtf8(out, codePoint);
                i += 4;
                break;
            }
            default:
                return std::nullopt;
        }
        ++i;
    }
    return std::nullopt;
}

std::string describeBadLines(const std::vector<BadLine>& bad, size_t limit) {
    std::string text;
    for (size_t i = 0; i < bad.size() && i < limit; ++i) {
        if (i > 0) text += "; ";
        text += "line " + std::to_string(bad[i].number) + ": " + bad[i].problem;
    }
    if (bad.size() > limit) text += "; and " + std::to_string(bad.size() - limit) + " more";
    return text;
}

}  // namespace hx::paths
