#pragma once
// Runs a piece of code in a child process whose address space may grow only a little beyond
// what it uses at the start, so that large allocations fail there as they do on a machine that
// runs out of memory, without touching the test process.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <functional>

#include "tests/support/Sanitizers.h"

namespace hx::testing {

// Under AddressSanitizer and ThreadSanitizer an operator new that finds no memory ends the
// process instead of throwing std::bad_alloc (their allocators never throw), so the
// running-out-of-memory cases cannot run in those builds; the normal build runs them.
inline constexpr bool kAllocationFailureThrows = !kSanitizerBuild;

// What the child's code returned (0 to 255), or -1 when it died of a signal (an abort, as on an
// uncaught exception) or could not be started.
inline int exitStatusWithAddressSpaceLimit(uint64_t headroomBytes,
                                           const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        unsigned long long pages = 0;
        if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%llu", &pages) != 1) pages = 0;
            std::fclose(statm);
        }
        const uint64_t used = uint64_t(pages) * uint64_t(::sysconf(_SC_PAGESIZE));
        const rlimit limit{used + headroomBytes, used + headroomBytes};
        if (pages == 0 || ::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(254);
        ::_exit(body() & 0xFF);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace hx::testing
