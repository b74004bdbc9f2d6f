#pragma once
// Outside checkers that tests run on what the programs write (exiftool, heif-info, tiffinfo,
// sqlite3, gpsfake, ...). scripts/install-deps.sh provides every one of them, so under
// continuous integration (CI=true) a missing checker fails the test: a skip there would hide
// that nothing was checked. On a developer's machine the test is skipped and says what to
// install.
//
//     HX_REQUIRE_TOOLS("djpeg", "exiftool");        // in SetUp() or a test body
//     if (!answer) HX_TOOL_MISSING("sqlite3");      // where the caller found it missing
//
// Both end the function they are written in (SetUp() ends the test).

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>

namespace hx::testsupport {

// True when CI is set to "true" or "1", as continuous integration services do.
inline bool runningUnderCI() {
    const char* ci = std::getenv("CI");
    if (!ci) return false;
    const std::string_view value = ci;
    return value == "true" || value == "1";
}

// True when an executable of that name is on PATH or in the system folders (gpsd lives in
// /usr/sbin, which a user's PATH may lack).
inline bool toolInstalled(std::string_view name) {
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    path += ":/usr/sbin:/usr/local/sbin:/sbin";
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        std::string folder = path.substr(start, end - start);
        if (!folder.empty() && ::access((folder + "/" + std::string(name)).c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

// The tools of `names` that are not installed, as "a, b"; empty when all are.
inline std::string missingTools(std::initializer_list<std::string_view> names) {
    std::string missing;
    for (std::string_view name : names) {
        if (toolInstalled(name)) continue;
        if (!missing.empty()) missing += ", ";
        missing += name;
    }
    return missing;
}

inline std::string missingToolMessage(const std::string& what) {
    return "not installed: " + what + " (scripts/install-deps.sh installs it)" +
           (runningUnderCI() ? " (CI=true: a checker that cannot run is a failure)"
                             : " (skipped here; under CI=true this fails)");
}

}  // namespace hx::testsupport

// Ends the current function because `what` (a tool name or list) is missing: a fatal failure
// under CI=true, a skip elsewhere. One return statement, like GTEST_SKIP() and FAIL() (whose
// reporting it shares), so it may follow an `if` without braces.
#define HX_TOOL_MISSING(what)                                                               \
    return ::testing::internal::AssertHelper(::hx::testsupport::runningUnderCI()            \
                                                 ? ::testing::TestPartResult::kFatalFailure \
                                                 : ::testing::TestPartResult::kSkip,        \
                                             __FILE__, __LINE__, "") =                      \
               ::testing::Message() << ::hx::testsupport::missingToolMessage(what)

// Ends the current function unless every named tool is installed (see HX_TOOL_MISSING).
#define HX_REQUIRE_TOOLS(...)                                                               \
    if (const std::string hxMissingTools_ = ::hx::testsupport::missingTools({__VA_ARGS__}); \
        !hxMissingTools_.empty())                                                           \
    HX_TOOL_MISSING(hxMissingTools_)
