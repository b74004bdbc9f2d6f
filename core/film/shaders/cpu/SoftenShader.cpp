// The softening pre-pass: the grey mix of the source, blurred with a 9 × 9 Gaussian of
// standard deviation 1 (separable: one horizontal and one vertical 9-tap pass), written as
// opaque grey. The main pass then tones and mixes it again; the film mixes that soften sum to
// one, so the second mix leaves the grey unchanged.

#include "core/film/shaders/cpu/FilmShaders.h"
#include "core/film/shaders/cpu/ShaderCommon.h"

namespace hx::shaders {

namespace {

constexpr int kRadius = 4;
constexpr int kTaps = 2 * kRadius + 1;
// exp(−x²/2)/√(2π) scaled to sum to 4096.
constexpr uint32_t kKernel[kTaps] = {1, 18, 221, 991, 1634, 991, 221, 18, 1};

HX_SHADER_CLONES
void greyRowPortable(const uint8_t* texels, size_t count, const GreyMix& mix, uint8_t* out) {
    const int32_t w0 = mix.w[0], w1 = mix.w[1], w2 = mix.w[2];
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* t = texels + i * 4;
        int32_t v = (w0 * t[0] + w1 * t[1] + w2 * t[2] + 8192) >> 14;
        out[i] = uint8_t(std::clamp(v, 0, 255));
    }
}

#if defined(__x86_64__)
// Eight texels at a time; returns how many it did.
__attribute__((target("avx2"))) size_t greyRowAvx2(const uint8_t* texels, size_t count,
                                                   const GreyMix& mix, uint8_t* out) {
    const __m256i zero = _mm256_setzero_si256();
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(texels + i * 4));
        // Saturating packs clamp to 0..255; four bytes land at the start of each half.
        const __m256i grey = _mm256_packus_epi16(_mm256_packs_epi32(greyAvx2(px, mix), zero), zero);
        const uint32_t lo = uint32_t(_mm256_cvtsi256_si32(grey));
        const uint32_t hi = uint32_t(_mm256_extract_epi32(grey, 4));
        std::memcpy(out + i, &lo, 4);
        std::memcpy(out + i + 4, &hi, 4);
    }
    return i;
}
#endif

void greyRow(const uint8_t* texels, size_t count, const GreyMix& mix, uint8_t* out) {
    size_t done = 0;
#if defined(__x86_64__)
    if (gpu::cpu::avx2Allowed() && mix.fitsSixteenBits())
        done = greyRowAvx2(texels, count, mix, out);
#endif
    greyRowPortable(texels + done * 4, count - done, mix, out + done);
}

// Horizontal taps; the result is grey × 256 (16 bits). `grey` has kRadius extra on each side.
HX_SHADER_CLONES
void blurRowHorizontal(const uint8_t* grey, size_t count, uint16_t* out) {
    for (size_t i = 0; i < count; ++i) {
        uint32_t sum = 0;
        for (int k = 0; k < kTaps; ++k) sum += kKernel[k] * grey[i + size_t(k)];
        out[i] = uint16_t((sum + 8) >> 4);
    }
}

HX_SHADER_CLONES
void blurColumns(uint16_t* const* rows, size_t count, uint8_t* target) {
    auto* out = reinterpret_cast<uint32_t*>(target);
    for (size_t i = 0; i < count; ++i) {
        uint32_t sum = 0;
        for (int k = 0; k < kTaps; ++k) sum += kKernel[k] * rows[k][i];
        const uint32_t grey = (sum + (1u << 19)) >> 20;
        out[i] = grey * 0x010101u | 0xff000000u;
    }
}

}  // namespace

void softenFragment(const ShaderBindings& b, const RenderTarget& target, const FragmentBand& band) {
    thread_local std::vector<uint8_t> texelScratch, greyScratch;
    thread_local std::vector<uint16_t> rowScratch;
    const size_t n = band.x1 - band.x0;
    const size_t width = n + 2 * kRadius;
    const gpu::PixelFormat sourceFormat = b.fragmentTextures[kSource]
                                              ? b.fragmentTextures[kSource].format
                                              : gpu::PixelFormat::RGBA8Unorm;
    const GreyMix mix(b, sourceFormat);
    uint8_t* texels = scratch(texelScratch, width * 4);
    uint8_t* grey = scratch(greyScratch, width);
    uint16_t* storage = scratch(rowScratch, n * kTaps);
    uint16_t* ring[kTaps];
    for (int k = 0; k < kTaps; ++k) ring[k] = storage + size_t(k) * n;

    SourceRows sourceRows(b, band, kRadius, width);
    auto blurredRow = [&](long y, uint16_t* dest) {
        greyRow(sourceRows.row(y, texels), width, mix, grey);
        blurRowHorizontal(grey, n, dest);
    };
    for (int k = 0; k < kTaps - 1; ++k) blurredRow(long(band.y0) - kRadius + k, ring[k + 1]);
    for (size_t y = band.y0; y < band.y1; ++y) {
        std::rotate(ring, ring + 1, ring + kTaps);
        blurredRow(long(y) + kRadius, ring[kTaps - 1]);
        blurColumns(ring, n, target.row(y) + band.x0 * 4);
    }
}

}  // namespace hx::shaders
