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

// The AddressSanitizer options for a program started with a library preloaded ahead of the
// sanitizer's runtime on purpose (PipeWire's V4L2 compatibility library): the check that the
// runtime is loaded first is off, and so is symbolising. The library's mmap starts PipeWire, whose
// dlopen re-enters the symboliser the runtime is starting: a deadlock before main. Stacks stay
// readable with their module and offset.
inline std::string asanOptionsAllowingPreload() {
    const char* options = std::getenv("ASAN_OPTIONS");
    std::string all = options ? options : "";
    if (!all.empty()) all += ":";
    return all + "verify_asan_link_order=0:symbolize=0";
}

// The LeakSanitizer options for such a program: scripts/sanitize.sh names a suppression list that
// adds the compatibility library's own PipeWire connection, which it keeps for the life of the
// process and never frees, to the usual list.
inline std::string lsanOptionsAllowingPreload() {
    const char* preload = std::getenv("HX_LSAN_OPTIONS_WITH_PRELOAD");
    if (preload && *preload) return preload;
    const char* options = std::getenv("LSAN_OPTIONS");
    return options ? options : "";
}

// How many times longer a wait for background work may take before a test calls it a hang.
inline constexpr double kSlowdown = kSanitizerBuild ? 6 : 1;

}  // namespace hx::testing
