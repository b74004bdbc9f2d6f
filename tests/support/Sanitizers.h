#pragma once
// Whether this test program is built with AddressSanitizer or ThreadSanitizer
// (scripts/sanitize.sh): those builds run several times slower, and their allocators end the
// process where operator new would throw std::bad_alloc.

#include <cstdlib>
#include <string>

namespace hx::testing {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitizerBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kSanitizerBuild = true;
#else
inline constexpr bool kSanitizerBuild = false;
#endif
#else
inline constexpr bool kSanitizerBuild = false;
#endif

// The AddressSanitizer options in force, with the check that its runtime is loaded first turned
// off: for a program started with a library preloaded ahead of it on purpose.
inline std::string asanOptionsAllowingPreload() {
    const char* options = std::getenv("ASAN_OPTIONS");
    std::string all = options ? options : "";
    if (!all.empty()) all += ":";
    return all + "verify_asan_link_order=0";
}

// How many times longer a wait for background work may take before a test calls it a hang.
inline constexpr double kSlowdown = kSanitizerBuild ? 6 : 1;

}  // namespace hx::testing
