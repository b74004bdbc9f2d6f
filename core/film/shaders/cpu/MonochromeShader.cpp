// The monochrome main pass: grey mix, tone table, optional sharpening after the tone table.
// Red, green and blue of the output are always equal, so any one byte of a pixel is its grey.

#include "core/film/shaders/cpu/FilmShaders.h"
#include "core/film/shaders/cpu/ShaderCommon.h"

namespace hx::shaders {

namespace {

// The tone table widened for lookups: as grey values and as opaque grey pixels (red, green
// and blue equal, so the target's channel order does not matter).
struct ToneLookup {
    uint32_t grey[256];
    uint32_t pixel[256];
    explicit ToneLookup(const ToneTable& table) {
        for (int i = 0; i < 256; ++i) {
            grey[i] = table.entries[i];
            pixel[i] = uint32_t(table.entries[i]) * 0x010101u | 0xff000000u;
        }
    }
};

// Grey, then tone, for `count` texels: out[i] = lookup[tone index of texel i].
template <typename Out>
HX_SHADER_CLONES void tonePortable(const uint8_t* texels, size_t count, const GreyMix& mix,
                                   const uint32_t* lookup, Out* out) {
    const int32_t w0 = mix.w[0], w1 = mix.w[1], w2 = mix.w[2];
    if (!mix.clamps) {
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* t = texels + i * 4;
            out[i] = Out(lookup[(w0 * t[0] + w1 * t[1] + w2 * t[2] + 8192) >> 14]);
        }
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* t = texels + i * 4;
        int32_t v = (w0 * t[0] + w1 * t[1] + w2 * t[2] + 8192) >> 14;
        out[i] = Out(lookup[std::clamp(v, 0, 255)]);
    }
}

#if defined(__x86_64__)
// Eight texels at a time: the grey mix as 16-bit multiply-adds (the same integer sums as the
// portable loop), the tone by gathering from the lookup. Needs weights that fit 16 bits.
// Returns how many texels it did.
template <typename Out>
__attribute__((target("avx2"))) size_t toneAvx2(const uint8_t* texels, size_t count,
                                                const GreyMix& mix, const uint32_t* lookup,
                                                Out* out) {
    const __m256i zero = _mm256_setzero_si256(), top = _mm256_set1_epi32(255);
    const int* entries = reinterpret_cast<const int*>(lookup);
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(texels + i * 4));
        __m256i v = greyAvx2(px, mix);
        if (mix.clamps) v = _mm256_min_epi32(_mm256_max_epi32(v, zero), top);
        const __m256i toned = _mm256_i32gather_epi32(entries, v, 4);
        if constexpr (sizeof(Out) == 4) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), toned);
        } else {
            const __m256i bytes =
                _mm256_packus_epi16(_mm256_packus_epi32(toned, zero), zero);  // 4 per half
            const uint32_t lo = uint32_t(_mm256_cvtsi256_si32(bytes));
            const uint32_t hi = uint32_t(_mm256_extract_epi32(bytes, 4));
            std::memcpy(out + i, &lo, 4);
            std::memcpy(out + i + 4, &hi, 4);
        }
    }
    return i;
}
#endif

template <typename Out>
void tone(const uint8_t* texels, size_t count, const GreyMix& mix, const uint32_t* lookup,
          Out* out) {
    size_t done = 0;
#if defined(__x86_64__)
    if (gpu::cpu::avx2Allowed() && mix.fitsSixteenBits())
        done = toneAvx2(texels, count, mix, lookup, out);
#endif
    tonePortable(texels + done * 4, count - done, mix, lookup, out + done);
}

// Grey, then tone, for `count` texels, as grey values.
void toneRow(const uint8_t* texels, size_t count, const GreyMix& mix, const ToneLookup& lookup,
             uint8_t* out) {
    tone(texels, count, mix, lookup.grey, out);
}

// Grey, then tone, for `count` texels, written straight to the target as opaque pixels.
void toneRowToTarget(const uint8_t* texels, size_t count, const GreyMix& mix,
                     const ToneLookup& lookup, uint8_t* target) {
    tone(texels, count, mix, lookup.pixel, reinterpret_cast<uint32_t*>(target));
}

// Sharpens one row of grey values and writes it to the target as opaque pixels; red, green and
// blue are equal, so the target's channel order does not matter.
HX_SHADER_CLONES
void sharpenRowToTarget(const uint8_t* up, const uint8_t* mid, const uint8_t* down, size_t count,
                        int strength, uint8_t* target) {
    auto* out = reinterpret_cast<uint32_t*>(target);
    // Rows carry one extra pixel on each side; pixel i of the output is entry i + 1.
    for (size_t i = 0; i < count; ++i) {
        const uint32_t grey =
            sharpen(mid[i + 1], mid[i], mid[i + 2], up[i + 1], down[i + 1], strength);
        out[i] = grey * 0x010101u | 0xff000000u;
    }
}

}  // namespace

void monochromeFragment(const ShaderBindings& b, const RenderTarget& target,
                        const FragmentBand& band) {
    thread_local std::vector<uint8_t> texelScratch, greyScratch;
    const size_t n = band.x1 - band.x0;
    const gpu::PixelFormat sourceFormat = b.fragmentTextures[kSource]
                                              ? b.fragmentTextures[kSource].format
                                              : gpu::PixelFormat::RGBA8Unorm;
    const GreyMix mix(b, sourceFormat);
    const ToneLookup table{ToneTable(b)};
    const int strength = flag(b, kMonoSharpFlag) ? sharpnessFixed(b) : 0;
    uint8_t* texels = scratch(texelScratch, (n + 2) * 4);

    if (strength == 0) {
        SourceRows sourceRows(b, band, 0, n);
        for (size_t y = band.y0; y < band.y1; ++y)
            toneRowToTarget(sourceRows.row(long(y), texels), n, mix, table,
                            target.row(y) + band.x0 * 4);
        return;
    }

    // Three toned rows (above, this, below), each one pixel wider on both sides.
    const size_t width = n + 2;
    uint8_t* rows = scratch(greyScratch, width * 3);
    uint8_t* ring[3] = {rows, rows + width, rows + 2 * width};
    SourceRows sourceRows(b, band, 1, width);
    auto tone = [&](long y, uint8_t* dest) {
        toneRow(sourceRows.row(y, texels), width, mix, table, dest);
    };
    tone(long(band.y0) - 1, ring[0]);
    tone(long(band.y0), ring[1]);
    for (size_t y = band.y0; y < band.y1; ++y) {
        tone(long(y) + 1, ring[2]);
        sharpenRowToTarget(ring[0], ring[1], ring[2], n, strength, target.row(y) + band.x0 * 4);
        std::rotate(ring, ring + 1, ring + 3);
    }
}

}  // namespace hx::shaders
