#include "tools/halidex-library/OutputText.h"

namespace hx::library_tool {

std::string escapedForLine(std::string_view text) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (byte < 0x20 || byte == 0x7f) {
                    out += "\\x";
                    out += digits[byte >> 4];
                    out += digits[byte & 15];
                } else {
                    out += c;
                }
        }
    }
    return out;
}

}  // namespace hx::library_tool
