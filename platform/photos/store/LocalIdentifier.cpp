#include "platform/photos/store/LocalIdentifier.h"

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <random>

namespace hx::photos {

std::string makeUUID() {
    static std::mutex mutex;
    static std::mt19937_64 generator{[] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }()};
    uint64_t high, low;
    {
        std::lock_guard lock(mutex);
        high = generator();
        low = generator();
    }
    high = (high & ~uint64_t{0xF000}) | 0x4000;                    // version 4
    low = (low & ~(uint64_t{0xC} << 60)) | (uint64_t{0x8} << 60);  // RFC 4122 variant
    char text[37];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%04X-%012llX", unsigned(high >> 32),
                  unsigned((high >> 16) & 0xFFFF), unsigned(high & 0xFFFF), unsigned(low >> 48),
                  static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
    return text;
}

std::string uuidOfLocalIdentifier(const std::string& identifier) {
    return identifier.substr(0, identifier.find('/'));
}

}  // namespace hx::photos
