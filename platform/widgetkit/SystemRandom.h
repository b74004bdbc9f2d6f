#pragma once
// The random numbers widgets pick with: uniform, from the system's entropy unless a seed was
// set (the widget host's --seed, so that a rendering can be repeated exactly).
//
// Threads: any.

#include <cstddef>
#include <cstdint>

namespace hx {

class SystemRandom {
  public:
    // An index uniformly in [0, upperBound); 0 when upperBound is 0.
    static std::size_t uniformIndex(std::size_t upperBound);
    // From now on the numbers follow this seed.
    static void seed(std::uint64_t seed);
};

}  // namespace hx
