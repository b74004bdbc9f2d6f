#pragma once
// The tool's output is one record per line with tab-separated fields, so text that comes from
// the library (titles, file names) must not carry line breaks or tabs of its own.

#include <string>
#include <string_view>

namespace hx::library_tool {

// The text with backslash, tab, newline and carriage return written as \\, \t, \n and \r, and
// every other control character and every byte that is not UTF-8 as \xHH; UTF-8 text as it is.
std::string escapedForLine(std::string_view text);

}  // namespace hx::library_tool
