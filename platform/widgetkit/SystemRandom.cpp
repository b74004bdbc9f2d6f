#include "platform/widgetkit/SystemRandom.h"

#include <mutex>
#include <random>

namespace hx {

namespace {

std::mutex generatorMutex;

std::mt19937_64& generator() {
    static std::mt19937_64 engine{std::random_device{}()};
    return engine;
}

}  // namespace

std::size_t SystemRandom::uniformIndex(std::size_t upperBound) {
    if (upperBound == 0) return 0;
    std::lock_guard lock(generatorMutex);
    // The standard distributions differ between libraries; this one is the same everywhere,
    // which keeps seeded renderings the same on every machine. Rejection removes the bias.
    const std::uint64_t bound = upperBound;
    const std::uint64_t limit = UINT64_MAX - UINT64_MAX % bound;
    std::uint64_t value = 0;
    do {
        value = generator()();
    } while (value >= limit);
    return static_cast<std::size_t>(value % bound);
}

void SystemRandom::seed(std::uint64_t seed) {
    std::lock_guard lock(generatorMutex);
    generator().seed(seed);
}

}  // namespace hx
