#pragma once
// The exit statuses every Halidex program shares: the command-line tools, the UI demo and the
// camera itself (halidex --script). A failing program prints one line on standard error,
// "<program>: <what> <file>: <cause>", and, whatever the status, leaves every file it was given
// as it was and no half-written output behind.
//
//   0  done
//   1  the work failed though what was asked made sense: an output, the photo library or the
//      settings could not be written (a full disk, a read-only folder), the library is damaged,
//      a widget's provider gave no answer
//   2  bad usage, or an input that cannot be used: a file that is missing, unreadable, empty,
//      truncated, of another type or too large, an unknown identifier, a bad script line, or a
//      GPU backend asked for by name that this machine lacks
//   3  the photo library is busy: another program held its write lock for longer than the
//      program waits; nothing was changed, and the same command may be run again later
//
// README.md lists the same table; keep the two together.

#include <string>
#include <string_view>

namespace hx::tools {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitBadInput = 2;
inline constexpr int kExitBusy = 3;

namespace detail {

// The length of the UTF-8 sequence at the start of `text`, 0 when it does not start with one
// (a stray continuation byte, an overlong form, a surrogate, a cut-off sequence).
inline std::size_t utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return length;
}

}  // namespace detail

// `text` (a file name, a title) fit for one line of a message or of tab-separated output:
// backslash, tab, newline and carriage return as \\, \t, \n and \r, other control characters
// and bytes that are not UTF-8 as \xHH; UTF-8 text as it is.
inline std::string printable(std::string_view text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text[0]);
        const std::size_t length = detail::utf8SequenceLength(text);
        if (length > 1) {
            out.append(text.substr(0, length));
            text.remove_prefix(length);
            continue;
        }
        text.remove_prefix(1);
        if (byte == '\\') {
            out += "\\\\";
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\r') {
            out += "\\r";
        } else if (length == 0 || byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out += kDigits[byte >> 4];
            out += kDigits[byte & 15];
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

}  // namespace hx::tools
