// Matrix multiply and table lookup: work on each pixel alone, so they may run in place.

#include <array>
#include <cstdlib>
#include <cstring>

#include "platform/vimage/detail/Avx2.h"
#include "platform/vimage/detail/Common.h"
#include "platform/vimage/vImage.h"

namespace hx::vimage {

namespace {

using detail::Divider;

// A matrix with the biases folded into one constant per output channel.
struct MatrixSetup {
    int16_t m[16];
    int32_t constant[4];  // postBias[j] + sum over i of preBias[i] * m[i][j]
    int32_t divisor;
    Divider divider;
};

void matrixRowPortable(const uint8_t* src, uint8_t* dst, size_t first, size_t count,
                       const MatrixSetup& s) {
    for (size_t x = first; x < count; ++x) {
        const uint8_t* p = src + 4 * x;
        uint8_t out[4];
        for (int j = 0; j < 4; ++j) {
            int32_t sum = s.constant[j];
            for (int i = 0; i < 4; ++i) sum += int32_t(p[i]) * s.m[i * 4 + j];
            out[j] = detail::roundAndClamp(sum, s.divisor);
        }
        uint8_t* q = dst + 4 * x;
        q[0] = out[0], q[1] = out[1], q[2] = out[2], q[3] = out[3];
    }
}

// Eight pixels at a time: the even bytes of each pixel (channels 0 and 2) and the odd ones
// (1 and 3) as 16-bit pairs, each pair multiplied and summed against its two matrix entries.
__attribute__((target("avx2"))) size_t matrixRowAvx2(const uint8_t* src, uint8_t* dst, size_t count,
                                                     const MatrixSetup& s) {
    __m256i evenWeights[4], oddWeights[4], constants[4];
    for (int j = 0; j < 4; ++j) {
        evenWeights[j] = _mm256_set1_epi32(int32_t(uint16_t(s.m[0 * 4 + j])) |
                                           int32_t(uint32_t(uint16_t(s.m[2 * 4 + j])) << 16));
        oddWeights[j] = _mm256_set1_epi32(int32_t(uint16_t(s.m[1 * 4 + j])) |
                                          int32_t(uint32_t(uint16_t(s.m[3 * 4 + j])) << 16));
        constants[j] = _mm256_set1_epi32(s.constant[j]);
    }
    const __m256i half = _mm256_set1_epi32(s.divisor / 2);
    const __m256i multiplier = _mm256_set1_epi32(int32_t(s.divider.multiplier));
    const __m128i shift = _mm_cvtsi32_si128(int(s.divider.shift));
    const __m256i lowBytes = _mm256_set1_epi32(0x00FF00FF);
    size_t x = 0;
    for (; x + 8 <= count; x += 8) {
        const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * x));
        const __m256i even = _mm256_and_si256(pixels, lowBytes);
        const __m256i odd = _mm256_srli_epi16(pixels, 8);
        __m256i out = _mm256_setzero_si256();
        for (int j = 0; j < 4; ++j) {
            __m256i sum = _mm256_add_epi32(_mm256_madd_epi16(even, evenWeights[j]),
                                           _mm256_madd_epi16(odd, oddWeights[j]));
            sum = _mm256_add_epi32(sum, constants[j]);
            const __m256i value = detail::roundAndClampAvx2(sum, half, multiplier, shift);
            out = _mm256_or_si256(out, _mm256_slli_epi32(value, 8 * j));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * x), out);
    }
    return x;
}

void planarRowPortable(const uint8_t* src, uint8_t* dst, size_t first, size_t count,
                       const MatrixSetup& s) {
    for (size_t x = first; x < count; ++x) {
        const uint8_t* p = src + 4 * x;
        int32_t sum = s.constant[0];
        for (int i = 0; i < 4; ++i) sum += int32_t(p[i]) * s.m[i * 4];
        dst[x] = detail::roundAndClamp(sum, s.divisor);
    }
}

// Eight pixels at a time into eight bytes, as matrixRowAvx2 computes its column 0.
__attribute__((target("avx2"))) size_t planarRowAvx2(const uint8_t* src, uint8_t* dst, size_t count,
                                                     const MatrixSetup& s) {
    const __m256i evenWeights =
        _mm256_set1_epi32(int32_t(uint16_t(s.m[0])) | int32_t(uint32_t(uint16_t(s.m[8])) << 16));
    const __m256i oddWeights =
        _mm256_set1_epi32(int32_t(uint16_t(s.m[4])) | int32_t(uint32_t(uint16_t(s.m[12])) << 16));
    const __m256i constant = _mm256_set1_epi32(s.constant[0]);
    const __m256i half = _mm256_set1_epi32(s.divisor / 2);
    const __m256i multiplier = _mm256_set1_epi32(int32_t(s.divider.multiplier));
    const __m128i shift = _mm_cvtsi32_si128(int(s.divider.shift));
    const __m256i lowBytes = _mm256_set1_epi32(0x00FF00FF);
    size_t x = 0;
    for (; x + 8 <= count; x += 8) {
        const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * x));
        __m256i sum =
            _mm256_add_epi32(_mm256_madd_epi16(_mm256_and_si256(pixels, lowBytes), evenWeights),
                             _mm256_madd_epi16(_mm256_srli_epi16(pixels, 8), oddWeights));
        const __m256i value =
            detail::roundAndClampAvx2(_mm256_add_epi32(sum, constant), half, multiplier, shift);
        // Eight values 0...255 in int32 lanes to eight bytes.
        const __m256i words = _mm256_packs_epi32(value, value);
        const __m256i bytes = _mm256_packus_epi16(words, words);
        const uint32_t low = uint32_t(_mm256_cvtsi256_si32(bytes));
        const uint32_t high = uint32_t(_mm256_extract_epi32(bytes, 4));
        std::memcpy(dst + x, &low, 4);
        std::memcpy(dst + x + 4, &high, 4);
    }
    return x;
}

vImage_Error checkSameShape(const vImage_Buffer* src, const vImage_Buffer* dest,
                            size_t bytesPerPixel) {
    if (vImage_Error e = detail::checkBuffer(src, bytesPerPixel)) return e;
    if (vImage_Error e = detail::checkBuffer(dest, bytesPerPixel)) return e;
    if (src->width != dest->width || src->height != dest->height) return kvImageBufferSizeMismatch;
    return kvImageNoError;
}

}  // namespace

vImage_Error vImageMatrixMultiply_ARGB8888(const vImage_Buffer* src, const vImage_Buffer* dest,
                                           const int16_t matrix[16], int32_t divisor,
                                           const int16_t* preBias, const int32_t* postBias,
                                           vImage_Flags flags) {
    if (vImage_Error e = checkSameShape(src, dest, 4)) return e;
    if (vImage_Error e = detail::checkFlags(flags, kvImageDoNotTile)) return e;
    if (!matrix) return kvImageNullPointerArgument;
    if (divisor <= 0) return kvImageInvalidParameter;
    MatrixSetup s{{}, {}, divisor, Divider(divisor)};
    for (int k = 0; k < 16; ++k) s.m[k] = matrix[k];
    for (int j = 0; j < 4; ++j) {
        int64_t constant = postBias ? postBias[j] : 0;
        for (int i = 0; i < 4; ++i)
            constant += int64_t(preBias ? preBias[i] : 0) * matrix[i * 4 + j];
        // Products of bytes with the matrix stay under 2^25; with the constant and half the
        // divisor the sum must stay an int32.
        if (std::llabs(constant) > (int64_t(1) << 30) || divisor > (1 << 30))
            return kvImageInvalidParameter;
        s.constant[j] = int32_t(constant);
    }
    const bool vector = detail::activePath() == detail::Path::Vector;
    detail::forEachBand(src->height, src->width * 4, flags, [&](size_t first, size_t end) {
        for (size_t y = first; y < end; ++y) {
            const uint8_t* in = detail::rowOf(*src, y);
            uint8_t* out = detail::rowOf(*dest, y);
            const size_t done = vector ? matrixRowAvx2(in, out, src->width, s) : 0;
            matrixRowPortable(in, out, done, src->width, s);
        }
    });
    return kvImageNoError;
}

vImage_Error vImageMatrixMultiply_ARGB8888ToPlanar8(const vImage_Buffer* src,
                                                    const vImage_Buffer* dest,
                                                    const int16_t matrix[4], int32_t divisor,
                                                    const int16_t* preBias, int32_t postBias,
                                                    vImage_Flags flags) {
    if (vImage_Error e = detail::checkBuffer(src, 4)) return e;
    if (vImage_Error e = detail::checkBuffer(dest, 1)) return e;
    if (src->width != dest->width || src->height != dest->height) return kvImageBufferSizeMismatch;
    if (vImage_Error e = detail::checkFlags(flags, kvImageDoNotTile)) return e;
    if (!matrix) return kvImageNullPointerArgument;
    if (divisor <= 0 || divisor > (1 << 30)) return kvImageInvalidParameter;
    // The column in the place of column 0 of a four-channel matrix.
    MatrixSetup s{{}, {}, divisor, Divider(divisor)};
    int64_t constant = postBias;
    for (int i = 0; i < 4; ++i) {
        s.m[i * 4] = matrix[i];
        constant += int64_t(preBias ? preBias[i] : 0) * matrix[i];
    }
    if (std::llabs(constant) > (int64_t(1) << 30)) return kvImageInvalidParameter;
    s.constant[0] = int32_t(constant);
    const bool vector = detail::activePath() == detail::Path::Vector;
    detail::forEachBand(src->height, src->width * 4, flags, [&](size_t first, size_t end) {
        for (size_t y = first; y < end; ++y) {
            const uint8_t* in = detail::rowOf(*src, y);
            uint8_t* out = detail::rowOf(*dest, y);
            const size_t done = vector ? planarRowAvx2(in, out, src->width, s) : 0;
            planarRowPortable(in, out, done, src->width, s);
        }
    });
    return kvImageNoError;
}

vImage_Error vImageTableLookUp_Planar8(const vImage_Buffer* src, const vImage_Buffer* dest,
                                       const uint8_t table[256], vImage_Flags flags) {
    if (vImage_Error e = checkSameShape(src, dest, 1)) return e;
    if (vImage_Error e = detail::checkFlags(flags, kvImageDoNotTile)) return e;
    if (!table) return kvImageNullPointerArgument;
    detail::forEachBand(src->height, src->width, flags, [&](size_t first, size_t end) {
        for (size_t y = first; y < end; ++y) {
            const uint8_t* in = detail::rowOf(*src, y);
            uint8_t* out = detail::rowOf(*dest, y);
            for (size_t x = 0; x < src->width; ++x) out[x] = table[in[x]];
        }
    });
    return kvImageNoError;
}

vImage_Error vImageTableLookUp_ARGB8888(const vImage_Buffer* src, const vImage_Buffer* dest,
                                        const uint8_t table0[256], const uint8_t table1[256],
                                        const uint8_t table2[256], const uint8_t table3[256],
                                        vImage_Flags flags) {
    if (vImage_Error e = checkSameShape(src, dest, 4)) return e;
    if (vImage_Error e = detail::checkFlags(flags, kvImageDoNotTile)) return e;
    // A missing table passes its channel through; one combined table of four per-channel
    // columns keeps the inner loop free of tests. A table lookup is a gather either way, so the
    // one loop serves both paths.
    static const std::array<uint8_t, 256> identity = [] {
        std::array<uint8_t, 256> t{};
        for (int i = 0; i < 256; ++i) t[size_t(i)] = uint8_t(i);
        return t;
    }();
    const uint8_t* tables[4] = {
        table0 ? table0 : identity.data(), table1 ? table1 : identity.data(),
        table2 ? table2 : identity.data(), table3 ? table3 : identity.data()};
    detail::forEachBand(src->height, src->width * 4, flags, [&](size_t first, size_t end) {
        for (size_t y = first; y < end; ++y) {
            const uint8_t* in = detail::rowOf(*src, y);
            uint8_t* out = detail::rowOf(*dest, y);
            for (size_t x = 0; x < src->width; ++x) {
                const uint8_t* p = in + 4 * x;
                uint8_t* q = out + 4 * x;
                const uint8_t a = tables[0][p[0]], b = tables[1][p[1]], c = tables[2][p[2]],
                              d = tables[3][p[3]];
                q[0] = a, q[1] = b, q[2] = c, q[3] = d;
            }
        }
    });
    return kvImageNoError;
}

}  // namespace hx::vimage
