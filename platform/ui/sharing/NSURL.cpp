#include "platform/ui/sharing/NSURL.h"

#include <filesystem>

namespace hx {

namespace {

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The length of "scheme:" at the start, 0 when there is none.
std::size_t schemeLength(std::string_view string) {
    if (string.empty() || !isAsciiLetter(string[0])) return 0;
    for (std::size_t i = 1; i < string.size(); ++i) {
        char c = string[i];
        if (c == ':') return i + 1;
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != '+' && c != '-' && c != '.') return 0;
    }
    return 0;
}

// The path part of a URL: after the scheme and any "//authority", before '?' or '#'.
std::string_view rawPath(std::string_view string) {
    std::string_view rest = string.substr(schemeLength(string));
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        std::size_t slash = rest.find('/');
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    }
    std::size_t end = rest.find_first_of("?#");
    return rest.substr(0, end);
}

}  // namespace

std::optional<NSURL> NSURL::URLWithString(std::string_view string) {
    if (schemeLength(string) == 0) return std::nullopt;
    for (std::size_t i = 0; i < string.size(); ++i) {
        auto c = static_cast<unsigned char>(string[i]);
        if (c <= 0x20 || c == 0x7F) return std::nullopt;
        if (c == '%' &&
            (i + 2 >= string.size() || hexValue(string[i + 1]) < 0 || hexValue(string[i + 2]) < 0))
            return std::nullopt;
    }
    return NSURL(std::string(string));
}

NSURL NSURL::fileURLWithPath(std::string_view path) {
    std::filesystem::path absolute(path);
    if (absolute.is_relative()) {
        std::error_code ec;
        absolute = std::filesystem::absolute(absolute, ec);
    }
    std::string encoded = stringByAddingPercentEncodingWithAllowedCharacters(
        absolute.lexically_normal().string(), NSCharacterSet::URLPathAllowedCharacterSet());
    return NSURL("file://" + encoded);
}

std::string NSURL::scheme() const {
    std::size_t length = schemeLength(string_);
    std::string scheme = string_.substr(0, length ? length - 1 : 0);
    for (char& c : scheme)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return scheme;
}

std::string NSURL::path() const {
    std::string_view raw = rawPath(string_);
    return stringByRemovingPercentEncoding(raw).value_or(std::string(raw));
}

std::string NSURL::lastPathComponent() const {
    std::string full = path();
    while (full.size() > 1 && full.back() == '/') full.pop_back();
    if (full == "/") return "";
    std::size_t slash = full.rfind('/');
    return slash == std::string::npos ? full : full.substr(slash + 1);
}

NSCharacterSet::NSCharacterSet(std::string_view extra) {
    for (int c = 0; c < 256; ++c) {
        char ch = static_cast<char>(c);
        if (isAsciiLetter(ch) || isAsciiDigit(ch)) bytes_.set(static_cast<std::size_t>(c));
    }
    for (char c : std::string_view("-._~")) bytes_.set(static_cast<unsigned char>(c));
    for (char c : extra) bytes_.set(static_cast<unsigned char>(c));
}

NSCharacterSet NSCharacterSet::URLFragmentAllowedCharacterSet() {
    return NSCharacterSet("!$&'()*+,;=:@/?");
}

NSCharacterSet NSCharacterSet::URLQueryAllowedCharacterSet() {
    return NSCharacterSet("!$&'()*+,;=:@/?");
}

NSCharacterSet NSCharacterSet::URLPathAllowedCharacterSet() {
    return NSCharacterSet("!$&'()*+,;=:@/");
}

std::string stringByAddingPercentEncodingWithAllowedCharacters(std::string_view text,
                                                               const NSCharacterSet& allowed) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(text.size());
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (allowed.contains(c)) {
            result += ch;
        } else {
            result += '%';
            result += kHex[c >> 4];
            result += kHex[c & 0x0F];
        }
    }
    return result;
}

std::optional<std::string> stringByRemovingPercentEncoding(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            result += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        int high = hexValue(text[i + 1]);
        int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        result += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return result;
}

}  // namespace hx
