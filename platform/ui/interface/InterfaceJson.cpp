// A small JSON reader for interface files: it keeps the order of object members (properties are
// applied in the order written) and reports where in the file a mistake is.

#include <cmath>
#include <cstdlib>

#include "platform/ui/interface/InterfaceValue.h"

namespace hx::ui {

namespace {

// Deeper nesting than this is certainly a broken file; the limit keeps recursion bounded.
constexpr int kMaxDepth = 64;

class JsonReader {
  public:
    explicit JsonReader(std::string_view text) : text_(text) {}

    std::optional<InterfaceValue> read(std::string* error) {
        skipSpace();
        std::optional<InterfaceValue> value = readValue(0);
        if (value) {
            skipSpace();
            if (pos_ != text_.size()) {
                fail("unexpected text after the end of the document");
                value.reset();
            }
        }
        if (!value && error) *error = error_;
        return value;
    }

  private:
    std::optional<InterfaceValue> readValue(int depth) {
        if (depth > kMaxDepth) return fail("nested too deeply");
        if (pos_ >= text_.size()) return fail("unexpected end of the document");
        int line = line_;
        char c = text_[pos_];
        if (c == '{') return readObject(depth);
        if (c == '[') return readList(depth);
        if (c == '"') {
            std::optional<std::string> text = readString();
            if (!text) return std::nullopt;
            return InterfaceValue::string(std::move(*text), line);
        }
        if (c == '-' || (c >= '0' && c <= '9')) return readNumber();
        if (consumeWord("true")) return InterfaceValue::boolean(true, line);
        if (consumeWord("false")) return InterfaceValue::boolean(false, line);
        if (consumeWord("null")) return InterfaceValue();
        return fail("expected a value");
    }

    std::optional<InterfaceValue> readObject(int depth) {
        int line = line_;
        ++pos_;
        std::vector<InterfaceValue::Member> members;
        skipSpace();
        if (peek() == '}') {
            ++pos_;
            return InterfaceValue::object(std::move(members), line);
        }
        while (true) {
            skipSpace();
            if (peek() != '"') return fail("expected a member name in quotes");
            std::optional<std::string> name = readString();
            if (!name) return std::nullopt;
            for (const auto& member : members)
                if (member.first == *name) return fail("member \"" + *name + "\" appears twice");
            skipSpace();
            if (peek() != ':') return fail("expected ':' after the member name");
            ++pos_;
            skipSpace();
            std::optional<InterfaceValue> value = readValue(depth + 1);
            if (!value) return std::nullopt;
            members.emplace_back(std::move(*name), std::move(*value));
            skipSpace();
            if (peek() == ',') {
                ++pos_;
                continue;
            }
            if (peek() == '}') {
                ++pos_;
                return InterfaceValue::object(std::move(members), line);
            }
            return fail("expected ',' or '}' in an object");
        }
    }

    std::optional<InterfaceValue> readList(int depth) {
        int line = line_;
        ++pos_;
        std::vector<InterfaceValue> items;
        skipSpace();
        if (peek() == ']') {
            ++pos_;
            return InterfaceValue::list(std::move(items), line);
        }
        while (true) {
            skipSpace();
            std::optional<InterfaceValue> value = readValue(depth + 1);
            if (!value) return std::nullopt;
            items.push_back(std::move(*value));
            skipSpace();
            if (peek() == ',') {
                ++pos_;
                continue;
            }
            if (peek() == ']') {
                ++pos_;
                return InterfaceValue::list(std::move(items), line);
            }
            return fail("expected ',' or ']' in a list");
        }
    }

    std::optional<InterfaceValue> readNumber() {
        int line = line_;
        std::size_t start = pos_;
        if (peek() == '-') ++pos_;
        if (!isDigit(peek())) return fail("expected a digit");
        if (peek() == '0' && pos_ + 1 < text_.size() && isDigit(text_[pos_ + 1]))
            return fail("a number may not start with 0");
        while (isDigit(peek())) ++pos_;
        if (peek() == '.') {
            ++pos_;
            if (!isDigit(peek())) return fail("expected a digit after '.'");
            while (isDigit(peek())) ++pos_;
        }
        if (peek() == 'e' || peek() == 'E') {
            ++pos_;
            if (peek() == '+' || peek() == '-') ++pos_;
            if (!isDigit(peek())) return fail("expected a digit in the exponent");
            while (isDigit(peek())) ++pos_;
        }
        std::string digits(text_.substr(start, pos_ - start));
        double value = std::strtod(digits.c_str(), nullptr);
        if (!std::isfinite(value)) return fail("number out of range");
        return InterfaceValue::number(value, line);
    }

    std::optional<std::string> readString() {
        ++pos_;  // the opening quote
        std::string result;
        while (true) {
            if (pos_ >= text_.size()) return failText("unterminated string");
            char c = text_[pos_++];
            if (c == '"') return result;
            if (static_cast<unsigned char>(c) < 0x20)
                return failText("control character in a string");
            if (c != '\\') {
                result += c;
                continue;
            }
            if (pos_ >= text_.size()) return failText("unterminated string");
            char escape = text_[pos_++];
            switch (escape) {
                case '"':
                    result += '"';
                    break;
                case '\\':
                    result += '\\';
                    break;
                case '/':
                    result += '/';
                    break;
                case 'b':
                    result += '\b';
                    break;
                case 'f':
                    result += '\f';
                    break;
                case 'n':
                    result += '\n';
                    break;
                case 'r':
                    result += '\r';
                    break;
                case 't':
                    result += '\t';
                    break;
                case 'u': {
                    std::optional<unsigned> code = readHex4();
                    if (!code) return std::nullopt;
                    if (*code >= 0xD800 && *code < 0xDC00) {
                        if (text_.substr(pos_, 2) != "\\u") return failText("lone surrogate");
                        pos_ += 2;
                        std::optional<unsigned> low = readHex4();
                        if (!low) return std::nullopt;
                        if (*low < 0xDC00 || *low > 0xDFFF) return failText("lone surrogate");
                        *code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
                    } else if (*code >= 0xDC00 && *code < 0xE000) {
                        return failText("lone surrogate");
                    }
                    appendUtf8(result, *code);
                    break;
                }
                default:
                    return failText("unknown escape in a string");
            }
        }
    }

    std::optional<unsigned> readHex4() {
        if (pos_ + 4 > text_.size()) {
            fail("short \\u escape");
            return std::nullopt;
        }
        unsigned code = 0;
        for (int i = 0; i < 4; ++i) {
            char c = text_[pos_++];
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= static_cast<unsigned>(c - 'A' + 10);
            else {
                fail("bad \\u escape");
                return std::nullopt;
            }
        }
        return code;
    }

    static void appendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    bool consumeWord(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }

    void skipSpace() {
        while (pos_ < text_.size()) {
            char c = text_[pos_];
            if (c == '\n') {
                ++line_;
                lineStart_ = pos_ + 1;
            } else if (c != ' ' && c != '\t' && c != '\r') {
                return;
            }
            ++pos_;
        }
    }

    char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    std::nullopt_t fail(const std::string& reason) {
        if (error_.empty()) {
            error_ = "line " + std::to_string(line_) + ", column " +
                     std::to_string(pos_ - lineStart_ + 1) + ": " + reason;
        }
        return std::nullopt;
    }
    std::optional<std::string> failText(const std::string& reason) {
        fail(reason);
        return std::nullopt;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t lineStart_ = 0;
    int line_ = 1;
    std::string error_;
};

}  // namespace

std::optional<InterfaceValue> parseInterfaceJson(std::string_view text, std::string* error) {
    return JsonReader(text).read(error);
}

}  // namespace hx::ui
