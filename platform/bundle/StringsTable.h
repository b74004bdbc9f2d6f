#pragma once
// Localised string tables: the text files "<table>.strings" of a language folder
// ("en.lproj/Localizable.strings"), one entry a statement:
//
//     /* The alert shown when the camera may not be used. */
//     "authorize_camera_titile" = "Halidex Camera needs the camera.\nAllow it in Settings.";
//     // a line comment
//     "same_as_key";                      (the value is the key itself)
//
// Keys and values are double-quoted strings with the escapes \" \\ \n \t \r \0 \' and \uXXXX /
// \UXXXX (a UTF-16 unit; pairs of surrogates make one character); a word of letters, digits and
// _ . - $ : / may stand unquoted. Files are UTF-8 (a leading byte-order mark is dropped) or
// UTF-16 with a byte-order mark. A later entry replaces an earlier one of the same key.
//
// Parsing never fails as a whole: a damaged statement is reported with its line and skipped up
// to the next line, and every good entry around it is kept.

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace hx::strings {

struct ParseProblem {
    int line = 0;         // 1-based line where the damaged statement starts
    std::string message;  // what was wrong, in a few words
};

struct Table {
    std::map<std::string, std::string> entries;
    std::vector<ParseProblem> problems;
};

// Parses the contents of a strings file.
Table parse(std::string_view text);

// Reads and parses the file; a missing or unreadable file gives an empty table with one problem
// (line 0) that says why.
Table parseFile(const std::string& path);

}  // namespace hx::strings
