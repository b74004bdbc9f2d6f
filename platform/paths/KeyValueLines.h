#pragma once
// The line format of the programs' hand-editable files (user defaults, device profiles):
//
//     # a comment
//     KEY = VALUE
//
// one setting a line. KEY is bare (letters, digits, '_', '.', '-') or a quoted string (see
// quoteString); VALUE is the rest of the line after '=', without surrounding blanks, and each
// file gives it its own meaning. Blank lines and lines starting with '#' are ignored; lines may
// end in "\r\n". A damaged line (garbage, a line cut short, a NUL byte) spoils only itself: the
// reader reports it with its number and goes on, so every other setting survives.
//
// Threads: free functions without shared state; any thread may call them.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hx::paths {

struct KeyValueLine {
    int number = 0;  // 1-based line number
    std::string key;
    std::string_view value;  // points into the text that was read
};

struct BadLine {
    int number = 0;
    std::string problem;
};

struct KeyValueText {
    std::vector<KeyValueLine> lines;  // in file order; a repeated key appears each time
    std::vector<BadLine> bad;
};

KeyValueText readKeyValueLines(std::string_view text);

// Whether a key can be written without quotes.
bool isBareKey(std::string_view key);

// A string in double quotes with backslash escapes for quotes, backslashes and control
// characters (\" \\ \n \r \t \uXXXX), so that any string fits on one line.
std::string quoteString(std::string_view text);
// Reads a quoted string at the start of text and moves text past it; nothing when malformed.
std::optional<std::string> unquoteString(std::string_view& text);

// "line 3: missing '=' after the key; line 7: ..." for at most `limit` lines, "and N more".
std::string describeBadLines(const std::vector<BadLine>& bad, size_t limit = 5);

}  // namespace hx::paths
