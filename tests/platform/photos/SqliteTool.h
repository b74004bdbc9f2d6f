#pragma once
// The sqlite3 command-line tool as an independent reader of a library's database.

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace hx::photos::testing {

// The first line the sqlite3 tool prints for `sql` on `database`; nothing when the tool is
// missing.
inline std::optional<std::string> sqliteTool(const std::string& database, const std::string& sql) {
    if (std::system("command -v sqlite3 >/dev/null 2>&1") != 0) return std::nullopt;
    std::string command = "sqlite3 '" + database + "' '" + sql + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    char line[512] = {};
    std::string output = std::fgets(line, sizeof line, pipe) ? line : "";
    pclose(pipe);
    while (!output.empty() && output.back() == '\n') output.pop_back();
    return output;
}

}  // namespace hx::photos::testing
