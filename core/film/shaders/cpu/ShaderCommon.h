#pragma once
// Pieces shared by the film shaders: reading the per-pass parameters, walking a band row by
// row with a window of neighbouring rows, and integer pixel arithmetic.
//
// Neighbourhoods (sharpening, softening) are taken on the target's pixel grid: the neighbour
// of a pixel is what the adjacent target pixel samples, one texelWidth/texelHeight away, so
// the look is the same at preview and at full resolution.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/gpu/cpu/Sampling.h"
#include "platform/gpu/cpu/ShaderABI.h"
#include "resources/shaders/ShaderTypes.h"

namespace hx::shaders {

using gpu::cpu::BoundTexture;
using gpu::cpu::FragmentBand;
using gpu::cpu::RenderTarget;
using gpu::cpu::ShaderBindings;

constexpr size_t kSource = kSourceTexture;
constexpr size_t kTable = kTableTexture;

inline bool flag(const ShaderBindings& b, size_t fragmentSlot) {
    return b.fragmentBuffers[fragmentSlot].as<uint8_t>(0) != 0;
}

inline float sharpness(const ShaderBindings& b) {
    return b.vertexBuffers[kVertexSharpness].as<float>(0.0f);
}

// Grey weights in 2.14 fixed point, applied in the source texel's channel order.
struct GreyMix {
    int32_t w[4] = {0, 0, 0, 0};
    bool clamps = false;  // negative weights or a sum above 1 can leave 0..255
    GreyMix(const ShaderBindings& b, gpu::PixelFormat sourceFormat) {
        struct Mix {
            float r, g, b;
        };
        Mix mix = b.fragmentBuffers[kMonoChannelMix].as<Mix>({0.3086f, 0.6094f, 0.0820f});
        auto order = gpu::cpu::channelOrder(sourceFormat);
        auto q = [](float v) { return int32_t(std::lround(double(v) * 16384.0)); };
        w[order.r] = q(mix.r);
        w[order.g] = q(mix.g);
        w[order.b] = q(mix.b);
        clamps = w[0] < 0 || w[1] < 0 || w[2] < 0 || w[0] + w[1] + w[2] > 16384;
    }
    // Whether the weights fit signed 16 bits, as the vector code needs.
    bool fitsSixteenBits() const {
        for (int i = 0; i < 3; ++i)
            if (w[i] < -32768 || w[i] > 32767) return false;
        return true;
    }
    uint8_t apply(const uint8_t* texel) const {
        int32_t v = (w[0] * texel[0] + w[1] * texel[1] + w[2] * texel[2] + 8192) >> 14;
        return uint8_t(std::clamp(v, 0, 255));
    }
};

#if defined(__x86_64__)
// The grey mix of eight 4-byte texels before clamping, as 16-bit multiply-adds: the same integer
// sums as GreyMix::apply. Needs mix.fitsSixteenBits().
__attribute__((target("avx2"), always_inline)) inline __m256i greyAvx2(__m256i texels,
                                                                       const GreyMix& mix) {
    const __m256i lowBytes = _mm256_set1_epi32(0x00ff00ff);
    // Channels 0 and 2 pair with weights 0 and 2, channels 1 and 3 with weight 1 and nothing.
    const __m256i evenWeights =
        _mm256_set1_epi32(int32_t(uint32_t(uint16_t(mix.w[0])) | uint32_t(mix.w[2]) << 16));
    const __m256i oddWeights = _mm256_set1_epi32(int32_t(uint16_t(mix.w[1])));
    const __m256i even = _mm256_madd_epi16(_mm256_and_si256(texels, lowBytes), evenWeights);
    const __m256i odd =
        _mm256_madd_epi16(_mm256_and_si256(_mm256_srli_epi32(texels, 8), lowBytes), oddWeights);
    return _mm256_srai_epi32(_mm256_add_epi32(_mm256_add_epi32(even, odd), _mm256_set1_epi32(8192)),
                             14);
}
#endif

// The 256-entry tone table bound at fragment texture 1, or the identity when none is bound.
struct ToneTable {
    uint8_t entries[256];
    explicit ToneTable(const ShaderBindings& b) {
        const BoundTexture& t = b.fragmentTextures[kTable];
        if (t && t.format == gpu::PixelFormat::R8Unorm && t.width >= 256) {
            std::memcpy(entries, t.data, 256);
        } else {
            for (int i = 0; i < 256; ++i) entries[i] = uint8_t(i);
        }
    }
};

// Per-thread scratch reused across bands and draws, so shading never allocates per pixel.
template <typename T>
T* scratch(std::vector<T>& storage, size_t count) {
    if (storage.size() < count) storage.resize(count);
    return storage.data();
}

// Samples `count` source texels along target rows of one band, starting `pad` pixels left of
// the band; black when no source is bound.
class SourceRows {
  public:
    SourceRows(const ShaderBindings& b, const FragmentBand& band, size_t pad, size_t count)
        : bound_(bool(b.fragmentTextures[kSource])),
          count_(count),
          sampler_(b.fragmentTextures[kSource], band, pad, count) {}
    const uint8_t* row(long y, uint8_t* scratchBytes) {
        if (bound_) return sampler_.row(y, scratchBytes);
        std::memset(scratchBytes, 0, count_ * 4);
        return scratchBytes;
    }

  private:
    bool bound_;
    size_t count_;
    gpu::cpu::RowSampler sampler_;
};

// Applies `3 × 3` Laplacian sharpening to one channel: c + s·(4c − left − right − up − down).
// `strength` is in 8.8 fixed point.
inline uint8_t sharpen(int c, int left, int right, int up, int down, int strength) {
    int v = c + ((strength * (4 * c - left - right - up - down) + 128) >> 8);
    return uint8_t(std::clamp(v, 0, 255));
}

inline int sharpnessFixed(const ShaderBindings& b) {
    return int(std::lround(double(sharpness(b)) * 256.0));
}

}  // namespace hx::shaders
