// The colour main pass: every colour goes through a 64 × 64 × 64 colour cube stored as a
// 512 × 512 lookup image (8 × 8 tiles of 64 × 64; blue picks the tile in reading order, red is
// the column and green the row inside it), with trilinear interpolation between cube entries.
// Sharpening, when on, works on the looked-up colours.

#include "resources/shaders/cpu/FilmShaders.h"
#include "resources/shaders/cpu/ShaderCommon.h"

namespace hx::shaders {

namespace {

constexpr int kCubeSize = 64;
constexpr int kLookupSide = 512;

// For each 8-bit level: the cube entry below it, and the weight of the entry above in 1/256.
struct CubeAxis {
    uint8_t index[256];
    uint16_t weight[256];
    CubeAxis() {
        for (int v = 0; v < 256; ++v) {
            int scaled = v * (kCubeSize - 1);  // position × 255
            index[v] = uint8_t(scaled / 255);
            weight[v] = uint16_t((scaled % 255 * 256 + 127) / 255);
        }
    }
};
const CubeAxis kAxis;

// Texel offsets of cube entries along each axis inside the lookup image.
struct CubeOffsets {
    uint32_t red[kCubeSize], green[kCubeSize], blue[kCubeSize];
    CubeOffsets() {
        for (int i = 0; i < kCubeSize; ++i) {
            red[i] = uint32_t(i);
            green[i] = uint32_t(i * kLookupSide);
            blue[i] = uint32_t((i / 8) * kCubeSize * kLookupSide + (i % 8) * kCubeSize);
        }
    }
};
const CubeOffsets kOffsets;

// Red, green and blue of an RGBA8 texel spread into 16-bit lanes, so one multiply blends all
// three channels.
inline uint64_t spread(uint32_t rgba) {
    return (rgba & 0xffu) | uint64_t(rgba & 0xff00u) << 8 | uint64_t(rgba & 0xff0000u) << 16;
}
inline uint64_t blend(uint64_t a, uint64_t b, uint32_t w) {
    return ((a * (256 - w) + b * w + 0x0000008000800080ull) >> 8) & 0x000000ff00ff00ffull;
}

// Looks up `count` texels into packed lanes.
HX_SHADER_CLONES
void lookupRow(const uint8_t* texels, gpu::PixelFormat sourceFormat, const uint32_t* cube,
               size_t count, uint64_t* out) {
    const auto order = gpu::cpu::channelOrder(sourceFormat);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* t = texels + i * 4;
        const uint8_t r = t[order.r], g = t[order.g], b = t[order.b];
        const uint32_t ri = kAxis.index[r], gi = kAxis.index[g], bi = kAxis.index[b];
        const uint32_t wr = kAxis.weight[r], wg = kAxis.weight[g], wb = kAxis.weight[b];
        const uint32_t r1 = std::min<uint32_t>(ri + 1, kCubeSize - 1);
        const uint32_t g1 = std::min<uint32_t>(gi + 1, kCubeSize - 1);
        const uint32_t b1 = std::min<uint32_t>(bi + 1, kCubeSize - 1);
        const uint32_t* lo = cube + kOffsets.blue[bi];
        const uint32_t* hi = cube + kOffsets.blue[b1];
        const uint32_t g0o = kOffsets.green[gi], g1o = kOffsets.green[g1];
        uint64_t lo0 = blend(spread(lo[g0o + ri]), spread(lo[g0o + r1]), wr);
        uint64_t lo1 = blend(spread(lo[g1o + ri]), spread(lo[g1o + r1]), wr);
        uint64_t hi0 = blend(spread(hi[g0o + ri]), spread(hi[g0o + r1]), wr);
        uint64_t hi1 = blend(spread(hi[g1o + ri]), spread(hi[g1o + r1]), wr);
        out[i] = blend(blend(lo0, lo1, wg), blend(hi0, hi1, wg), wb);
    }
}

// Without a usable lookup image colours pass through unchanged.
HX_SHADER_CLONES
void passThroughRow(const uint8_t* texels, gpu::PixelFormat sourceFormat, size_t count,
                    uint64_t* out) {
    const auto order = gpu::cpu::channelOrder(sourceFormat);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* t = texels + i * 4;
        out[i] = uint64_t(t[order.r]) | uint64_t(t[order.g]) << 16 | uint64_t(t[order.b]) << 32;
    }
}

HX_SHADER_CLONES
void storeColor(const uint64_t* lanes, size_t count, gpu::PixelFormat format, uint8_t* target) {
    auto* out = reinterpret_cast<uint32_t*>(target);
    for (size_t i = 0; i < count; ++i) {
        const uint64_t c = lanes[i];
        out[i] = gpu::cpu::packOpaque(format, uint32_t(c & 0xff), uint32_t(c >> 16 & 0xff),
                                      uint32_t(c >> 32 & 0xff));
    }
}

void sharpenColorRow(const uint64_t* up, const uint64_t* mid, const uint64_t* down, size_t count,
                     int strength, uint64_t* out) {
    for (size_t i = 0; i < count; ++i) {
        uint64_t result = 0;
        for (int lane = 0; lane < 3; ++lane) {
            auto at = [&](const uint64_t* row, size_t x) { return int(row[x] >> (16 * lane) & 0xff); };
            result |= uint64_t(sharpen(at(mid, i + 1), at(mid, i), at(mid, i + 2), at(up, i + 1),
                                       at(down, i + 1), strength))
                      << (16 * lane);
        }
        out[i] = result;
    }
}

}  // namespace

void colorFragment(const ShaderBindings& b, const RenderTarget& target,
                   const FragmentBand& band) {
    thread_local std::vector<uint8_t> texelScratch;
    thread_local std::vector<uint64_t> laneScratch, outScratch;
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

    auto look = [&](long y, uint64_t* dest) {
        const uint8_t* row = sourceRow(b, band, y, pad, width, texels);
        if (usableLookup)
            lookupRow(row, sourceFormat, cube, width, dest);
        else
            passThroughRow(row, sourceFormat, width, dest);
    };

    if (strength == 0) {
        uint64_t* lanes = scratch(laneScratch, n);
        for (size_t y = band.y0; y < band.y1; ++y) {
            look(long(y), lanes);
            storeColor(lanes, n, target.format, target.row(y) + band.x0 * 4);
        }
        return;
    }

    uint64_t* rows = scratch(laneScratch, width * 3);
    uint64_t* out = scratch(outScratch, n);
    uint64_t* ring[3] = {rows, rows + width, rows + 2 * width};
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
