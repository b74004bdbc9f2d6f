// Integer convolution with edge extension, one or four interleaved channels.
//
// Each band of output rows keeps the source rows it needs as 16-bit rows already extended at
// both ends (kernelWidth / 2 pixels repeated), one slot per kernel row, each source row
// converted once per band. The portable path sums kernel row by kernel row into 32-bit
// accumulators. The vector path first folds what the kernel's symmetry allows (rows that equal
// their mirror image add their two source rows, taps that equal their mirror add their two
// pixels: for the 9 x 9 softening kernel 81 products become 22) and then sums pairs of taps
// with 16-bit multiply-adds into 32-bit lanes, 16 values at a time. Integer sums do not depend
// on their order, so both paths give the same bits.

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <vector>

#include "platform/vimage/detail/Avx2.h"
#include "platform/vimage/detail/Common.h"
#include "platform/vimage/vImage.h"

namespace hx::vimage {

namespace {

using detail::Divider;

constexpr uint32_t kMaxKernelSide = 9;

struct Term {
    uint32_t row;     // index into the rows the vector loop reads
    int32_t offsetA;  // elements from the output element
    int32_t offsetB;  // a second element with the same coefficient, or -1
    int16_t coefficient;
};

struct Plan {
    const vImage_Buffer* src;
    const vImage_Buffer* dest;
    size_t offsetX, offsetY;
    const int16_t* kernel;
    int kw, kh, rx, ry;
    int channels;
    int32_t divisor;
    Divider divider;
    size_t paddedLength;  // elements of one extended row
    bool foldRows;        // kernel row j equals row kh - 1 - j for every j
    std::vector<Term> terms;
};

bool rowIsSymmetric(const int16_t* row, int width) {
    for (int i = 0; i < width / 2; ++i)
        if (row[i] != row[width - 1 - i]) return false;
    return true;
}

void buildTerms(Plan& plan) {
    const int16_t* k = plan.kernel;
    plan.foldRows = true;
    for (int j = 0; j < plan.kh / 2; ++j)
        if (std::memcmp(k + j * plan.kw, k + (plan.kh - 1 - j) * plan.kw,
                        sizeof(int16_t) * size_t(plan.kw)) != 0)
            plan.foldRows = false;
    const int rows = plan.foldRows ? plan.ry + 1 : plan.kh;
    for (int j = 0; j < rows; ++j) {
        const int16_t* row = k + j * plan.kw;
        const bool foldTaps = rowIsSymmetric(row, plan.kw);
        const int taps = foldTaps ? plan.rx + 1 : plan.kw;
        for (int i = 0; i < taps; ++i) {
            if (row[i] == 0) continue;
            const bool pair = foldTaps && i < plan.rx;
            plan.terms.push_back({uint32_t(j), i * plan.channels,
                                  pair ? (plan.kw - 1 - i) * plan.channels : -1, row[i]});
        }
    }
}

// Source row `sy` as 16-bit values, extended by rx pixels at both ends, for the destination's
// columns.
void extendRow(const Plan& plan, size_t sy, int16_t* out) {
    const uint8_t* in = detail::rowOf(*plan.src, sy);
    const long ws = long(plan.src->width);
    const long wd = long(plan.dest->width);
    const long first = long(plan.offsetX) - plan.rx;  // source x of out's first pixel
    const int ch = plan.channels;
    const long count = wd + 2 * plan.rx;
    long xx = 0;
    for (; xx < count && first + xx < 0; ++xx)
        for (int c = 0; c < ch; ++c) out[xx * ch + c] = in[c];
    const long middleEnd = std::min(count, ws - first);
    {
        const uint8_t* from = in + (first + xx) * ch;
        int16_t* to = out + xx * ch;
        const long n = (middleEnd - xx) * ch;
        for (long e = 0; e < n; ++e) to[e] = from[e];
        xx = std::max(xx, middleEnd);
    }
    for (; xx < count; ++xx)
        for (int c = 0; c < ch; ++c) out[xx * ch + c] = in[(ws - 1) * ch + c];
}

// The portable sum of elements [first, end) of one output row; rows[j] is kernel row j's
// extended source row.
void convolvePortable(const Plan& plan, const int16_t* const* rows, uint8_t* out, size_t first,
                      size_t end, int32_t* sums) {
    std::fill(sums + first, sums + end, 0);
    for (int j = 0; j < plan.kh; ++j) {
        const int16_t* kernelRow = plan.kernel + j * plan.kw;
        const int16_t* source = rows[j];
        for (int i = 0; i < plan.kw; ++i) {
            const int32_t c = kernelRow[i];
            if (c == 0) continue;
            const int16_t* s = source + i * plan.channels;
            for (size_t e = first; e < end; ++e) sums[e] += c * s[e];
        }
    }
    for (size_t e = first; e < end; ++e) out[e] = detail::roundAndClamp(sums[e], plan.divisor);
}

// Sixteen elements of a term's source: its pixel, or the sum of its two mirrored pixels.
HX_VIMAGE_AVX2 __m256i loadTerm(const int16_t* const* rows, const Term& t, size_t e) {
    const int16_t* base = rows[t.row] + e;
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + t.offsetA));
    if (t.offsetB >= 0)
        v = _mm256_add_epi16(
            v, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + t.offsetB)));
    return v;
}

// Sixteen output elements at a time; returns how many elements were done.
__attribute__((target("avx2"))) size_t convolveAvx2(const Plan& plan, const int16_t* const* rows,
                                                    uint8_t* out, size_t count) {
    const __m256i half = _mm256_set1_epi32(plan.divisor / 2);
    const __m256i multiplier = _mm256_set1_epi32(int32_t(plan.divider.multiplier));
    const __m128i shift = _mm_cvtsi32_si128(int(plan.divider.shift));
    const Term* terms = plan.terms.data();
    const size_t termCount = plan.terms.size();
    size_t e = 0;
    for (; e + 16 <= count; e += 16) {
        __m256i low = _mm256_setzero_si256();
        __m256i high = _mm256_setzero_si256();
        size_t t = 0;
        for (; t + 2 <= termCount; t += 2) {
            const __m256i a = loadTerm(rows, terms[t], e);
            const __m256i b = loadTerm(rows, terms[t + 1], e);
            const __m256i weights =
                _mm256_set1_epi32(int32_t(uint16_t(terms[t].coefficient)) |
                                  int32_t(uint32_t(uint16_t(terms[t + 1].coefficient)) << 16));
            low = _mm256_add_epi32(low, _mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), weights));
            high = _mm256_add_epi32(high, _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), weights));
        }
        if (t < termCount) {
            const __m256i a = loadTerm(rows, terms[t], e);
            const __m256i zero = _mm256_setzero_si256();
            const __m256i weights = _mm256_set1_epi32(int32_t(uint16_t(terms[t].coefficient)));
            low = _mm256_add_epi32(low, _mm256_madd_epi16(_mm256_unpacklo_epi16(a, zero), weights));
            high =
                _mm256_add_epi32(high, _mm256_madd_epi16(_mm256_unpackhi_epi16(a, zero), weights));
        }
        // The unpacks left elements 0-3, 8-11 in `low` and 4-7, 12-15 in `high`; packing the
        // two back together restores their order.
        low = detail::roundAndClampAvx2(low, half, multiplier, shift);
        high = detail::roundAndClampAvx2(high, half, multiplier, shift);
        const __m256i words = _mm256_packs_epi32(low, high);
        const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(words, words), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + e), _mm256_castsi256_si128(bytes));
    }
    return e;
}

// Row j of the folded rows: the sum of the extended rows a and b.
__attribute__((target("avx2"))) void addRowsAvx2(const int16_t* a, const int16_t* b, int16_t* sum,
                                                 size_t count) {
    size_t e = 0;
    for (; e + 16 <= count; e += 16)
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(sum + e),
            _mm256_add_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + e)),
                             _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + e))));
    for (; e < count; ++e) sum[e] = int16_t(a[e] + b[e]);
}

void convolveBand(const Plan& plan, size_t firstRow, size_t endRow, bool vector) {
    const size_t kh = size_t(plan.kh);
    const size_t length = plan.paddedLength;
    const size_t elements = plan.dest->width * size_t(plan.channels);
    std::vector<int16_t> slots(kh * length);
    std::vector<long> slotRow(kh, -1);
    std::vector<int16_t> folded(vector && plan.foldRows ? size_t(plan.ry) * length : 0);
    std::vector<int32_t> sums(elements);
    const int16_t* rows[kMaxKernelSide];
    const int16_t* vectorRows[kMaxKernelSide];
    const long hs = long(plan.src->height);
    for (size_t y = firstRow; y < endRow; ++y) {
        for (size_t j = 0; j < kh; ++j) {
            const long sy = std::clamp(long(y + plan.offsetY) - plan.ry + long(j), 0L, hs - 1);
            const size_t slot = size_t(sy) % kh;
            int16_t* row = slots.data() + slot * length;
            if (slotRow[slot] != sy) {
                extendRow(plan, size_t(sy), row);
                slotRow[slot] = sy;
            }
            rows[j] = row;
        }
        uint8_t* out = detail::rowOf(*plan.dest, y);
        size_t done = 0;
        if (vector) {
            if (plan.foldRows) {
                for (int j = 0; j < plan.ry; ++j) {
                    int16_t* sum = folded.data() + size_t(j) * length;
                    addRowsAvx2(rows[j], rows[kh - 1 - size_t(j)], sum, length);
                    vectorRows[j] = sum;
                }
                vectorRows[plan.ry] = rows[plan.ry];
            } else {
                std::copy(rows, rows + kh, vectorRows);
            }
            done = convolveAvx2(plan, vectorRows, out, elements);
        }
        if (done < elements) convolvePortable(plan, rows, out, done, elements, sums.data());
    }
}

vImage_Error convolve(const vImage_Buffer* src, const vImage_Buffer* dest, size_t offsetX,
                      size_t offsetY, const int16_t* kernel, uint32_t kernelHeight,
                      uint32_t kernelWidth, int32_t divisor, vImage_Flags flags, int channels) {
    if (vImage_Error e = detail::checkBuffer(src, size_t(channels))) return e;
    if (vImage_Error e = detail::checkBuffer(dest, size_t(channels))) return e;
    if (vImage_Error e = detail::checkFlags(flags, kvImageEdgeExtend | kvImageDoNotTile)) return e;
    if (!kernel) return kvImageNullPointerArgument;
    if (kernelWidth == 0 || kernelHeight == 0 || kernelWidth > kMaxKernelSide ||
        kernelHeight > kMaxKernelSide || kernelWidth % 2 == 0 || kernelHeight % 2 == 0)
        return kvImageInvalidKernelSize;
    if (!(flags & kvImageEdgeExtend)) return kvImageInvalidEdgeStyle;
    // Sums stay under 255 * 32768 * 81 < 2^30, so half the divisor may be up to 2^30 too.
    if (divisor <= 0 || divisor > (1 << 30)) return kvImageInvalidParameter;
    if (src->data == dest->data) return kvImageInvalidParameter;
    if (offsetX >= src->width) return kvImageInvalidOffset_X;
    if (offsetY >= src->height) return kvImageInvalidOffset_Y;
    if (offsetX + dest->width > src->width || offsetY + dest->height > src->height)
        return kvImageRoiLargerThanInputBuffer;

    Plan plan{src,
              dest,
              offsetX,
              offsetY,
              kernel,
              int(kernelWidth),
              int(kernelHeight),
              int(kernelWidth / 2),
              int(kernelHeight / 2),
              channels,
              divisor,
              Divider(divisor),
              (dest->width + kernelWidth - 1) * size_t(channels),
              false,
              {}};
    buildTerms(plan);
    const bool vector = detail::activePath() == detail::Path::Vector;
    std::atomic<bool> outOfMemory{false};
    detail::forEachBand(dest->height, dest->width * size_t(channels) * kernelHeight, flags,
                        [&](size_t first, size_t end) {
                            try {
                                convolveBand(plan, first, end, vector);
                            } catch (const std::bad_alloc&) {
                                outOfMemory = true;
                            }
                        });
    return outOfMemory ? kvImageMemoryAllocationError : kvImageNoError;
}

}  // namespace

vImage_Error vImageConvolve_Planar8(const vImage_Buffer* src, const vImage_Buffer* dest, void*,
                                    vImagePixelCount srcOffsetToROI_X,
                                    vImagePixelCount srcOffsetToROI_Y, const int16_t* kernel,
                                    uint32_t kernelHeight, uint32_t kernelWidth, int32_t divisor,
                                    uint8_t, vImage_Flags flags) {
    return convolve(src, dest, srcOffsetToROI_X, srcOffsetToROI_Y, kernel, kernelHeight,
                    kernelWidth, divisor, flags, 1);
}

vImage_Error vImageConvolve_ARGB8888(const vImage_Buffer* src, const vImage_Buffer* dest, void*,
                                     vImagePixelCount srcOffsetToROI_X,
                                     vImagePixelCount srcOffsetToROI_Y, const int16_t* kernel,
                                     uint32_t kernelHeight, uint32_t kernelWidth, int32_t divisor,
                                     const uint8_t*, vImage_Flags flags) {
    return convolve(src, dest, srcOffsetToROI_X, srcOffsetToROI_Y, kernel, kernelHeight,
                    kernelWidth, divisor, flags, 4);
}

}  // namespace hx::vimage
