// File names in the programs' messages: one line whatever bytes the name holds, UTF-8 text kept.

#include <gtest/gtest.h>

#include <string>

#include "tools/ExitStatus.h"

namespace hx::tools {
namespace {

using namespace std::string_literals;

TEST(Printable, ControlCharactersAndBytesThatAreNotUtf8AreEscaped) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain name.jpg", "plain name.jpg"},
        {"quotes 'and' \"these\"", "quotes 'and' \"these\""},
        {"line\nfeed\ttab\rreturn\\slash", "line\\nfeed\\ttab\\rreturn\\\\slash"},
        {"nul\0bell\x07"
         "del\x7f"s,
         "nul\\x00bell\\x07del\\x7f"},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB7", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB7"},
        {"latin-1 caf\xE9", "latin-1 caf\\xe9"},
        {"stray \x80 continuation", "stray \\x80 continuation"},
        {"overlong \xC0\xAF slash", "overlong \\xc0\\xaf slash"},
        {"overlong \xE0\x80\xAF three", "overlong \\xe0\\x80\\xaf three"},
        {"surrogate \xED\xA0\x80", "surrogate \\xed\\xa0\\x80"},
        {"beyond \xF4\x90\x80\x80", "beyond \\xf4\\x90\\x80\\x80"},
        {"cut off \xE2\x82", "cut off \\xe2\\x82"},
        {"\xFF\xFE", "\\xff\\xfe"},
    };
    for (const auto& [name, shown] : cases) {
        EXPECT_EQ(printable(name), shown) << shown;
        EXPECT_EQ(printable(name).find('\n'), std::string::npos);
    }
}

TEST(Printable, TheStatusesAreTheDocumentedOnes) {
    // Scripts and the README rely on these numbers; they never change.
    EXPECT_EQ(kExitOk, 0);
    EXPECT_EQ(kExitFailure, 1);
    EXPECT_EQ(kExitBadInput, 2);
    EXPECT_EQ(kExitBusy, 3);
}

}  // namespace
}  // namespace hx::tools
