// The colour main pass: every colour goes through a 64 × 64 × 64 colour cube stored as a
// 512 × 512 lookup image (8 × 8 tiles of 64 × 64; blue picks the tile in reading order, red is
// the column and green the row inside it), with trilinear interpolation between cube entries.
// Sharpening, when on, works on the looked-up colours.
//
// Colours between shading steps are packed RGBA words (red in the lowest byte). Interpolation
// is integer with 8-bit weights; the AVX2 path and the portable path compute the same bits.

#include <immintrin.h>

#include "core/film/shaders/cpu/FilmShaders.h"
#include "core/film/shaders/cpu/ShaderCommon.h"

namespace hx::shaders {

namespace {

constexpr int kCubeSize = 64;
constexpr int kLookupSide = 512;

// For each 8-bit level: the cube entry below it and the weight of the entry above, in 1/256.
// The top level uses entry 62 with full weight on 63, so the entry above always exists.
struct CubeAxis {
    uint8_t index[256];
    uint16_t weight[256];
    CubeAxis() {
        for (int v = 0; v < 256; ++v) {
            int scaled = v * (kCubeSize - 1);  // position × 255
            int i = std::min(scaled / 255, kCubeSize - 2);
            index[v] = uint8_t(i);
            weight[v] = uint16_t(((scaled - i * 255) * 256 + 127) / 255);
        }
    }
};
const CubeAxis kAxis;

// Texel offset of cube entry (0, 0, b) inside the lookup image.
constexpr uint32_t blueOffset(uint32_t b) {
    return (b >> 3) * kCubeSize * kLookupSide + (b & 7) * kCubeSize;
}

// Red, green and blue of a packed texel spread into 16-bit lanes, so one multiply blends all
// three channels.
inline uint64_t spread(uint32_t rgba) {
    return (rgba & 0xffu) | uint64_t(rgba & 0xff00u) << 8 | uint64_t(rgba & 0xff0000u) << 16;
}
inline uint64_t blend(uint64_t a, uint64_t b, uint32_t w) {
    return ((a * (256 - w) + b * w + 0x0000008000800080ull) >> 8) & 0x000000ff00ff00ffull;
}
inline uint32_t pack(uint64_t lanes) {
    return uint32_t(lanes & 0xff) | uint32_t(lanes >> 8 & 0xff00) |
           uint32_t(lanes >> 16 & 0xff0000) | 0xff000000u;
}

void lookupRowPortable(const uint8_t* texels, gpu::cpu::ChannelOrder order, const uint32_t* cube,
                       size_t count, uint32_t* out) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* t = texels + i * 4;
        const uint8_t r = t[order.r], g = t[order.g], b = t[order.b];
        const uint32_t ri = kAxis.index[r], gi = kAxis.index[g], bi = kAxis.index[b];
        const uint32_t wr = kAxis.weight[r], wg = kAxis.weight[g], wb = kAxis.weight[b];
        const uint32_t* lo = cube + blueOffset(bi) + ri;
        const uint32_t* hi = cube + blueOffset(bi + 1) + ri;
        const uint32_t g0 = gi * kLookupSide, g1 = g0 + kLookupSide;
        auto along = [&](const uint32_t* e) { return blend(spread(e[0]), spread(e[1]), wr); };
        const uint64_t low = blend(along(lo + g0), along(lo + g1), wg);
        const uint64_t high = blend(along(hi + g0), along(hi + g1), wg);
        out[i] = pack(blend(low, high, wb));
    }
}

#if defined(__x86_64__)
#define HX_AVX2 __attribute__((target("avx2"), always_inline)) inline

struct AxisLanes {
    __m256i index, weight, inverse;  // weights in both 16-bit halves of each word
};
struct ColorLanes {
    __m256i rb, ga;  // red and blue, green and alpha, in 16-bit lanes
};

// Cube entry below each level and the weights towards the entry above, as in CubeAxis.
HX_AVX2 AxisLanes axisLanes(__m256i v) {
    // (x · 0x8081) >> 23 = x / 255 for the 16-bit x here; the high half of the product comes
    // from one 16-bit multiply, the upper 16 bits of each word being zero.
    const __m256i divide255 = _mm256_set1_epi32(0x8081);
    const __m256i scaled = _mm256_sub_epi32(_mm256_slli_epi32(v, 6), v);  // v · 63
    __m256i index = _mm256_srli_epi32(_mm256_mulhi_epu16(scaled, divide255), 7);
    index = _mm256_min_epi32(index, _mm256_set1_epi32(kCubeSize - 2));
    const __m256i below = _mm256_sub_epi32(_mm256_slli_epi32(index, 8), index);  // index · 255
    const __m256i fraction = _mm256_add_epi32(_mm256_slli_epi32(_mm256_sub_epi32(scaled, below), 8),
                                              _mm256_set1_epi32(127));
    const __m256i weight = _mm256_srli_epi32(_mm256_mulhi_epu16(fraction, divide255), 7);
    const __m256i both = _mm256_or_si256(weight, _mm256_slli_epi32(weight, 16));
    return {index, both, _mm256_sub_epi16(_mm256_set1_epi32(0x01000100), both)};
}

HX_AVX2 ColorLanes fetchLanes(const int* entries, __m256i offset) {
    const __m256i laneMask = _mm256_set1_epi32(0x00ff00ff);
    const __m256i t = _mm256_i32gather_epi32(entries, offset, 4);
    return {_mm256_and_si256(t, laneMask), _mm256_and_si256(_mm256_srli_epi32(t, 8), laneMask)};
}

HX_AVX2 __m256i mixLanes(__m256i a, __m256i b, const AxisLanes& w) {
    const __m256i sum =
        _mm256_add_epi16(_mm256_mullo_epi16(a, w.inverse), _mm256_mullo_epi16(b, w.weight));
    return _mm256_srli_epi16(_mm256_add_epi16(sum, _mm256_set1_epi16(0x80)), 8);
}

HX_AVX2 ColorLanes blendLanes(const ColorLanes& a, const ColorLanes& b, const AxisLanes& w) {
    return {mixLanes(a.rb, b.rb, w), mixLanes(a.ga, b.ga, w)};
}

HX_AVX2 __m256i blueOffsets(__m256i b) {
    return _mm256_add_epi32(_mm256_slli_epi32(_mm256_srli_epi32(b, 3), 15),
                            _mm256_slli_epi32(_mm256_and_si256(b, _mm256_set1_epi32(7)), 6));
}

// Two neighbouring red entries from `at`, blended by the red weights.
HX_AVX2 ColorLanes alongRed(const int* entries, __m256i at, const AxisLanes& r) {
    return blendLanes(fetchLanes(entries, at),
                      fetchLanes(entries, _mm256_add_epi32(at, _mm256_set1_epi32(1))), r);
}

// Eight pixels at a time, cube entries fetched with gathers. Returns how many pixels it did.
__attribute__((target("avx2"))) size_t lookupRowAvx2(const uint8_t* texels,
                                                     gpu::cpu::ChannelOrder order,
                                                     const uint32_t* cube, size_t count,
                                                     uint32_t* out) {
    const int* entries = reinterpret_cast<const int*>(cube);
    const __m256i byteMask = _mm256_set1_epi32(0xff);
    const __m256i shiftR = _mm256_set1_epi32(8 * order.r), shiftG = _mm256_set1_epi32(8 * order.g),
                  shiftB = _mm256_set1_epi32(8 * order.b);
    const __m256i row = _mm256_set1_epi32(kLookupSide);
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(texels + i * 4));
        const AxisLanes r = axisLanes(_mm256_and_si256(_mm256_srlv_epi32(px, shiftR), byteMask));
        const AxisLanes g = axisLanes(_mm256_and_si256(_mm256_srlv_epi32(px, shiftG), byteMask));
        const AxisLanes b = axisLanes(_mm256_and_si256(_mm256_srlv_epi32(px, shiftB), byteMask));
        const __m256i rg = _mm256_add_epi32(r.index, _mm256_slli_epi32(g.index, 9));
        const __m256i lo = _mm256_add_epi32(rg, blueOffsets(b.index));
        const __m256i hi =
            _mm256_add_epi32(rg, blueOffsets(_mm256_add_epi32(b.index, _mm256_set1_epi32(1))));
        const ColorLanes low = blendLanes(alongRed(entries, lo, r),
                                          alongRed(entries, _mm256_add_epi32(lo, row), r), g);
        const ColorLanes high = blendLanes(alongRed(entries, hi, r),
                                           alongRed(entries, _mm256_add_epi32(hi, row), r), g);
        const ColorLanes c = blendLanes(low, high, b);
        const __m256i packed = _mm256_or_si256(_mm256_or_si256(c.rb, _mm256_slli_epi32(c.ga, 8)),
                                               _mm256_set1_epi32(int(0xff000000u)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), packed);
    }
    return i;
}

#endif

void lookupRow(const uint8_t* texels, gpu::PixelFormat sourceFormat, const uint32_t* cube,
               size_t count, uint32_t* out) {
    const auto order = gpu::cpu::channelOrder(sourceFormat);
    size_t done = 0;
#if defined(__x86_64__)
    if (gpu::cpu::avx2Allowed()) done = lookupRowAvx2(texels, order, cube, count, out);
#endif
    lookupRowPortable(texels + done * 4, order, cube, count - done, out + done);
}

// Without a usable lookup image colours pass through unchanged.
HX_SHADER_CLONES
void passThroughRow(const uint8_t* texels, gpu::PixelFormat sourceFormat, size_t count,
                    uint32_t* out) {
    const auto order = gpu::cpu::channelOrder(sourceFormat);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* t = texels + i * 4;
        out[i] = uint32_t(t[order.r]) | uint32_t(t[order.g]) << 8 | uint32_t(t[order.b]) << 16 |
                 0xff000000u;
    }
}

HX_SHADER_CLONES
void storeColor(const uint32_t* rgba, size_t count, gpu::PixelFormat format, uint8_t* target) {
    auto* out = reinterpret_cast<uint32_t*>(target);
    if (format != gpu::PixelFormat::BGRA8Unorm) {
        std::memcpy(out, rgba, count * 4);
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        const uint32_t c = rgba[i];
        out[i] = (c & 0xff00ff00u) | (c & 0xffu) << 16 | (c >> 16 & 0xffu);
    }
}

void sharpenColorRow(const uint32_t* up, const uint32_t* mid, const uint32_t* down, size_t count,
                     int strength, uint32_t* out) {
    for (size_t i = 0; i < count; ++i) {
        uint32_t result = 0xff000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            auto at = [&](const uint32_t* row, size_t x) { return int(row[x] >> shift & 0xff); };
            result |= uint32_t(sharpen(at(mid, i + 1), at(mid, i), at(mid, i + 2), at(up, i + 1),
                                       at(down, i + 1), strength))
                      << shift;
        }
        out[i] = result;
    }
}

}  // namespace

void colorFragment(const ShaderBindings& b, const RenderTarget& target, const FragmentBand& band) {
    thread_local std::vector<uint8_t> texelScratch;
    thread_local std::vector<uint32_t> colorScratch, outScratch;
    const size_t n = band.x1 - band.x0;
    const BoundTexture& source = b.fragmentTextures[kSource];
    const gpu::PixelFormat sourceFormat = source ? source.format : gpu::PixelFormat::RGBA8Unorm;
    const BoundTexture& lookup = b.fragmentTextures[kTable];
    const bool usableLookup = lookup && lookup.format == gpu::PixelFormat::RGBA8Unorm &&
                              lookup.width == kLookupSide && lookup.height == kLookupSide &&
                              lookup.bytesPerRow == kLookupSide * 4;
    const auto* cube = reinterpret_cast<const uint32_t*>(lookup.data);
    const int strength = flag(b, kColorSharpFlag) ? sharpnessFixed(b) : 0;
    const size_t pad = strength != 0 ? 1 : 0;
    const size_t width = n + 2 * pad;
    uint8_t* texels = scratch(texelScratch, width * 4);

    SourceRows sourceRows(b, band, pad, width);
    auto look = [&](long y, uint32_t* dest) {
        const uint8_t* row = sourceRows.row(y, texels);
        if (usableLookup)
            lookupRow(row, sourceFormat, cube, width, dest);
        else
            passThroughRow(row, sourceFormat, width, dest);
    };

    if (strength == 0) {
        uint32_t* colors = scratch(colorScratch, n);
        for (size_t y = band.y0; y < band.y1; ++y) {
            look(long(y), colors);
            storeColor(colors, n, target.format, target.row(y) + band.x0 * 4);
        }
        return;
    }

    uint32_t* rows = scratch(colorScratch, width * 3);
    uint32_t* out = scratch(outScratch, n);
    uint32_t* ring[3] = {rows, rows + width, rows + 2 * width};
    look(long(band.y0) - 1, ring[0]);
    look(long(band.y0), ring[1]);
    for (size_t y = band.y0; y < band.y1; ++y) {
        look(long(y) + 1, ring[2]);
        sharpenColorRow(ring[0], ring[1], ring[2], n, strength, out);
        storeColor(out, n, target.format, target.row(y) + band.x0 * 4);
        std::rotate(ring, ring + 1, ring + 3);
    }
}

}  // namespace hx::shaders
