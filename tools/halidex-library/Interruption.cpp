#include "tools/halidex-library/Interruption.h"

#include <signal.h>

#include <cstdio>

namespace hx::library_tool {

void deferInterruptions() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int pendingInterruption() {
    sigset_t pending;
    sigemptyset(&pending);
    if (sigpending(&pending) != 0) return 0;
    if (sigismember(&pending, SIGTERM)) return SIGTERM;
    if (sigismember(&pending, SIGINT)) return SIGINT;
    return 0;
}

int interrupted(int signal, const char* what) {
    std::fprintf(stderr, "halidex-library: interrupted (%s); %s\n",
                 signal == SIGINT ? "SIGINT" : "SIGTERM", what);
    return 128 + signal;
}

}  // namespace hx::library_tool
