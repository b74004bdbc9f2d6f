// The monochrome main pass: grey mix, tone table, optional sharpening after the tone table.
// Red, green and blue of the output are always equal, so any one byte of a pixel is its grey.

#include "core/film/shaders/cpu/FilmShaders.h"
#include "core/film/shaders/cpu/ShaderCommon.h"

namespace hx::shaders {

namespace {

// Grey, then tone, for `count` texels.
HX_SHADER_CLONES
void toneRow(const uint8_t* texels, size_t count, const GreyMix& mix, const ToneTable& table,
             uint8_t* out) {
    const int32_t w0 = mix.w[0], w1 = mix.w[1], w2 = mix.w[2];
    if (!mix.clamps) {
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* t = texels + i * 4;
            out[i] = table.entries[(w0 * t[0] + w1 * t[1] + w2 * t[2] + 8192) >> 14];
        }
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* t = texels + i * 4;
        int32_t v = (w0 * t[0] + w1 * t[1] + w2 * t[2] + 8192) >> 14;
        out[i] = table.entries[std::clamp(v, 0, 255)];
    }
}

// Writes grey values as opaque pixels; red, green and blue are equal, so the target's
// channel order does not matter.
HX_SHADER_CLONES
void storeGrey(const uint8_t* grey, size_t count, uint8_t* target) {
    auto* out = reinterpret_cast<uint32_t*>(target);
    for (size_t i = 0; i < count; ++i) out[i] = uint32_t(grey[i]) * 0x010101u | 0xff000000u;
}

HX_SHADER_CLONES
void sharpenRow(const uint8_t* up, const uint8_t* mid, const uint8_t* down, size_t count,
                int strength, uint8_t* out) {
    // Rows carry one extra pixel on each side; pixel i of the output is entry i + 1.
    for (size_t i = 0; i < count; ++i)
        out[i] = sharpen(mid[i + 1], mid[i], mid[i + 2], up[i + 1], down[i + 1], strength);
}

}  // namespace

void monochromeFragment(const ShaderBindings& b, const RenderTarget& target,
                        const FragmentBand& band) {
    thread_local std::vector<uint8_t> texelScratch, greyScratch, outScratch;
    const size_t n = band.x1 - band.x0;
    const gpu::PixelFormat sourceFormat = b.fragmentTextures[kSource]
                                              ? b.fragmentTextures[kSource].format
                                              : gpu::PixelFormat::RGBA8Unorm;
    const GreyMix mix(b, sourceFormat);
    const ToneTable table(b);
    const int strength = flag(b, kMonoSharpFlag) ? sharpnessFixed(b) : 0;
    uint8_t* texels = scratch(texelScratch, (n + 2) * 4);

    if (strength == 0) {
        SourceRows sourceRows(b, band, 0, n);
        uint8_t* grey = scratch(greyScratch, n);
        for (size_t y = band.y0; y < band.y1; ++y) {
            toneRow(sourceRows.row(long(y), texels), n, mix, table, grey);
            storeGrey(grey, n, target.row(y) + band.x0 * 4);
        }
        return;
    }

    // Three toned rows (above, this, below), each one pixel wider on both sides.
    const size_t width = n + 2;
    uint8_t* rows = scratch(greyScratch, width * 3);
    uint8_t* out = scratch(outScratch, n);
    uint8_t* ring[3] = {rows, rows + width, rows + 2 * width};
    SourceRows sourceRows(b, band, 1, width);
    auto tone = [&](long y, uint8_t* dest) {
        toneRow(sourceRows.row(y, texels), width, mix, table, dest);
    };
    tone(long(band.y0) - 1, ring[0]);
    tone(long(band.y0), ring[1]);
    for (size_t y = band.y0; y < band.y1; ++y) {
        tone(long(y) + 1, ring[2]);
        sharpenRow(ring[0], ring[1], ring[2], n, strength, out);
        storeGrey(out, n, target.row(y) + band.x0 * 4);
        std::rotate(ring, ring + 1, ring + 3);
    }
}

}  // namespace hx::shaders
