#include "platform/bundle/StringsTable.h"

#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>

namespace hx::strings {

namespace {

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16 text (with its byte-order mark) as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    auto unitAt = [&](size_t i) -> uint32_t {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        uint32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
            const uint32_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        appendUtf8(out, unit);
    }
    return out;
}

bool isWordCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.' || c == '-' || c == '$' || c == ':' || c == '/';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class Parser {
  public:
    explicit Parser(std::string_view text) : text_(text) {}

    Table run() {
        Table table;
        while (skipSpaceAndComments()) {
            const int startLine = line_;
            const size_t startPos = pos_;
            std::string error;
            if (!statement(table, error)) {
                // Skip the line the damaged statement starts on; the next line is read afresh,
                // so a missing ';' costs only its own entry.
                table.problems.push_back({startLine, error});
                pos_ = startPos;
                line_ = startLine;
                skipRestOfLine();
            }
        }
        if (!commentError_.empty()) table.problems.push_back({commentLine_, commentError_});
        return table;
    }

  private:
    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return text_[pos_]; }
    void advance() {
        if (text_[pos_] == '\n') ++line_;
        ++pos_;
    }

    // Moves to the next statement; false at the end of the text.
    bool skipSpaceAndComments() {
        while (!atEnd()) {
            const char c = peek();
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                advance();
            } else if (text_.substr(pos_, 2) == "//") {
                while (!atEnd() && peek() != '\n') advance();
            } else if (text_.substr(pos_, 2) == "/*") {
                const int startLine = line_;
                const size_t end = text_.find("*/", pos_ + 2);
                if (end == std::string_view::npos) {
                    commentLine_ = startLine;
                    commentError_ = "comment not closed";
                    while (!atEnd()) advance();
                    return false;
                }
                while (pos_ < end + 2) advance();
            } else {
                return true;
            }
        }
        return false;
    }

    // Skips spaces and comments within a statement, which must not run into the end.
    bool skipInside(std::string& error, const char* expected) {
        if (!skipSpaceAndComments()) {
            error = std::string("text ends where ") + expected + " should follow";
            return false;
        }
        return true;
    }

    void skipRestOfLine() {
        while (!atEnd() && peek() != '\n') advance();
    }

    std::optional<std::string> quoted(std::string& error) {
        const int startLine = line_;
        const size_t startPos = pos_;
        advance();  // opening quote
        std::string out;
        while (!atEnd()) {
            char c = peek();
            if (c == '"') {
                advance();
                return out;
            }
            if (c != '\\') {
                out += c;
                advance();
                continue;
            }
            advance();
            if (atEnd()) break;
            c = peek();
            advance();
            switch (c) {
                case 'n':
                    out += '\n';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case '0':
                    out += '\0';
                    break;
                case 'a':
                    out += '\a';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'v':
                    out += '\v';
                    break;
                case 'u':
                case 'U': {
                    auto unit = hexUnit();
                    if (!unit) {
                        error = "\\u needs four hex digits";
                        return std::nullopt;
                    }
                    uint32_t cp = *unit;
                    if (cp >= 0xD800 && cp <= 0xDBFF && text_.substr(pos_, 2) == "\\u") {
                        const size_t save = pos_;
                        pos_ += 2;
                        auto low = hexUnit();
                        if (low && *low >= 0xDC00 && *low <= 0xDFFF)
                            cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
                        else
                            pos_ = save;
                    }
                    appendUtf8(out, cp);
                    break;
                }
                default:
                    out += c;
                    break;  // \" \\ \' and any other character stand for themselves
            }
        }
        // Resume after the opening quote's line, so one stray quote costs one line only.
        pos_ = startPos + 1;
        line_ = startLine;
        error = "string not closed";
        return std::nullopt;
    }

    std::optional<uint32_t> hexUnit() {
        if (pos_ + 4 > text_.size()) return std::nullopt;
        uint32_t value = 0;
        for (size_t i = 0; i < 4; ++i) {
            const int digit = hexValue(text_[pos_ + i]);
            if (digit < 0) return std::nullopt;
            value = value * 16 + static_cast<uint32_t>(digit);
        }
        pos_ += 4;
        return value;
    }

    std::optional<std::string> token(std::string& error, const char* what) {
        if (peek() == '"') return quoted(error);
        std::string word;
        while (!atEnd() && isWordCharacter(peek())) {
            word += peek();
            advance();
        }
        if (word.empty()) {
            error = std::string("expected ") + what + ", found '" + std::string(1, peek()) + "'";
            return std::nullopt;
        }
        return word;
    }

    bool statement(Table& table, std::string& error) {
        auto key = token(error, "a key");
        if (!key) return false;
        if (!skipInside(error, "'=' or ';'")) return false;
        if (peek() == ';') {
            advance();
            table.entries[*key] = *key;
            return true;
        }
        if (peek() != '=') {
            error = "expected '=' after the key \"" + *key + "\"";
            return false;
        }
        advance();
        if (!skipInside(error, "a value")) return false;
        auto value = token(error, "a value");
        if (!value) return false;
        if (!skipInside(error, "';'")) return false;
        if (peek() != ';') {
            error = "expected ';' after the value of \"" + *key + "\"";
            return false;
        }
        advance();
        table.entries[*key] = std::move(*value);
        return true;
    }

    std::string_view text_;
    size_t pos_ = 0;
    int line_ = 1;
    int commentLine_ = 0;
    std::string commentError_;
};

}  // namespace

Table parse(std::string_view text) {
    if (text.size() >= 2) {
        const auto b0 = static_cast<unsigned char>(text[0]);
        const auto b1 = static_cast<unsigned char>(text[1]);
        if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) {
            const std::string utf8 = utf16ToUtf8(text, b0 == 0xFE);
            return Parser(utf8).run();
        }
    }
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    return Parser(text).run();
}

Table parseFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        Table table;
        table.problems.push_back({0, "cannot be read"});
        return table;
    }
    std::ostringstream contents;
    contents << in.rdbuf();
    if (in.bad()) {
        Table table;
        table.problems.push_back({0, "cannot be read"});
        return table;
    }
    return parse(contents.str());
}

}  // namespace hx::strings
