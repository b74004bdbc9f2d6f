// A launch of halidex as far as the single instance goes, for the tests: takes part in the
// election in DIRECTORY, then as primary prints "primary" and each request it receives
// ("request LINE") for HOLD seconds, or as secondary forwards REQUEST and prints "forwarded" or
// "failed: REASON".
//
//   hx_single_instance_helper DIRECTORY REQUEST HOLD

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/shell/SingleInstance.h"
#include "platform/runloop/RunLoop.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: hx_single_instance_helper DIRECTORY REQUEST HOLD\n");
        return 2;
    }
    hx::RunLoop::main().bindToCurrentThread();
    std::string error;
    auto instance = hx::app::SingleInstance::acquireIn(argv[1], &error);
    if (!instance) {
        std::printf("error: %s\n", error.c_str());
        return 1;
    }
    if (!instance->isPrimary()) {
        bool sent = instance->forward(argv[2], &error);
        std::printf(sent ? "forwarded\n" : "failed: %s\n", error.c_str());
        return sent ? 0 : 1;
    }
    std::printf("primary\n");
    std::fflush(stdout);
    instance->setRequestHandler([](const std::string& request) {
        std::printf("request %s%s\n", request.c_str(),
                    hx::RunLoop::isMainThread() ? "" : " (not on the main thread)");
        std::fflush(stdout);
    });
    hx::RunLoop::main().runUntil([] { return false; }, std::atof(argv[3]));
    return 0;
}
