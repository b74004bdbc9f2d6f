#include "platform/gpu/cpu/Sampling.h"

#include <atomic>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace hx::gpu::cpu {

namespace {
std::atomic<CodePaths> currentPaths{CodePaths::All};
#if defined(__x86_64__)
const bool kHasAvx2 = __builtin_cpu_supports("avx2");
#endif
}  // namespace

CodePaths setCodePaths(CodePaths paths) {
    return currentPaths.exchange(paths);
}

CodePaths codePaths() {
    return currentPaths.load(std::memory_order_relaxed);
}

bool avx2Allowed() {
#if defined(__x86_64__)
    return kHasAvx2 && codePaths() == CodePaths::All;
#else
    return false;
#endif
}

namespace {

// Horizontal taps of one source row for samples [begin, end): per channel
// left × (256 − w) + right × w, with the right texel the left one's neighbour or, at the edge,
// the left one itself.
void filterPortable(const uint8_t* row, const uint32_t* left, const uint32_t* weight, long maxX,
                    size_t begin, size_t end, uint16_t* out) {
    for (size_t i = begin; i < end; ++i) {
        const uint32_t x0 = left[i], x1 = uint32_t(std::min(long(x0) + 1, maxX));
        const uint32_t wl = weight[i] & 0xffff, wr = weight[i] >> 16;
        for (int c = 0; c < 4; ++c)
            out[i * 4 + c] = uint16_t(row[x0 * 4 + c] * wl + row[x1 * 4 + c] * wr);
    }
}

// (top × (256 − w) + bottom × w + 32768) >> 16 for every channel value.
HX_SHADER_CLONES
void blendPortable(const uint16_t* top, const uint16_t* bottom, uint32_t w, size_t begin,
                   size_t end, uint8_t* out) {
    for (size_t k = begin; k < end; ++k)
        out[k] = uint8_t((uint32_t(top[k]) * (256 - w) + uint32_t(bottom[k]) * w + 32768) >> 16);
}

#if defined(__x86_64__)

// Four samples at a time, each reading its two texels as one 8-byte load; the samples must all
// have their right texel directly after the left one. Returns where it stopped.
__attribute__((target("avx2"))) size_t filterAvx2(const uint8_t* row, const uint32_t* left,
                                                  const uint32_t* weight, size_t begin, size_t end,
                                                  uint16_t* out) {
    // Left and right texel of a channel side by side in 16-bit lanes, for the first and the
    // second sample in each 128-bit half.
    const __m256i first = _mm256_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1,
                                           0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1);
    const __m256i second =
        _mm256_setr_epi8(8, -1, 12, -1, 9, -1, 13, -1, 10, -1, 14, -1, 11, -1, 15, -1, 8, -1, 12,
                         -1, 9, -1, 13, -1, 10, -1, 14, -1, 11, -1, 15, -1);
    auto pair = [&](size_t i) {
        long long texels;
        std::memcpy(&texels, row + size_t(left[i]) * 4, 8);
        return texels;
    };
    size_t i = begin;
    for (; i + 4 <= end; i += 4) {
        const __m256i px = _mm256_set_epi64x(pair(i + 3), pair(i + 2), pair(i + 1), pair(i));
        const __m256i wa =
            _mm256_set_m128i(_mm_set1_epi32(int(weight[i + 2])), _mm_set1_epi32(int(weight[i])));
        const __m256i wb = _mm256_set_m128i(_mm_set1_epi32(int(weight[i + 3])),
                                            _mm_set1_epi32(int(weight[i + 1])));
        const __m256i a = _mm256_madd_epi16(_mm256_shuffle_epi8(px, first), wa);
        const __m256i b = _mm256_madd_epi16(_mm256_shuffle_epi8(px, second), wb);
        // Lanes come out as samples i, i + 1 | i + 2, i + 3: in order.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i * 4), _mm256_packus_epi32(a, b));
    }
    return i;
}

// Sixteen channel values of (top × (256 − w) + bottom × w + 32768) >> 16, in 16-bit lanes.
// Values above 32767 are offset into signed range for the multiply-add; the bias adds the
// offset back along with the rounding.
__attribute__((target("avx2"), always_inline)) inline __m256i blendSixteen(const uint16_t* top,
                                                                           const uint16_t* bottom,
                                                                           __m256i weights) {
    const __m256i sign = _mm256_set1_epi16(int16_t(0x8000));
    const __m256i bias = _mm256_set1_epi32(32768 * 256 + 32768);
    const __m256i t =
        _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(top)), sign);
    const __m256i b =
        _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(bottom)), sign);
    const __m256i lo = _mm256_srli_epi32(
        _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(t, b), weights), bias), 16);
    const __m256i hi = _mm256_srli_epi32(
        _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(t, b), weights), bias), 16);
    return _mm256_packus_epi32(lo, hi);  // undoes the unpack's lane order
}

// 32 channel values at a time. Returns where it stopped.
__attribute__((target("avx2"))) size_t blendAvx2(const uint16_t* top, const uint16_t* bottom,
                                                 uint32_t w, size_t end, uint8_t* out) {
    const __m256i weights = _mm256_set1_epi32(int((256 - w) | w << 16));
    size_t k = 0;
    for (; k + 32 <= end; k += 32) {
        const __m256i bytes =
            _mm256_packus_epi16(blendSixteen(top + k, bottom + k, weights),
                                blendSixteen(top + k + 16, bottom + k + 16, weights));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k),
                            _mm256_permute4x64_epi64(bytes, 0xd8));
    }
    return k;
}
#endif

}  // namespace

std::shared_ptr<const RowSampler::Taps> RowSampler::taps(size_t width, double u, double du,
                                                         size_t count) {
    // Every band of a draw, and every draw at one size, has the same taps: keep the last ones.
    thread_local std::shared_ptr<const Taps> last;
    if (last && last->width == width && last->u == u && last->du == du && last->count == count)
        return last;
    auto t = std::make_shared<Taps>();
    t->width = width;
    t->u = u;
    t->du = du;
    t->count = count;
    t->left.resize(count);
    t->weight.resize(count);
    const double w = double(width);
    const long maxX = long(width) - 1;
    bool fastSeen = false, fastEnded = false, contiguous = true;
    for (size_t i = 0; i < count; ++i) {
        const double sx = std::clamp((u + double(i) * du) * w - 0.5, 0.0, double(maxX));
        const long x0 = long(sx);
        const uint32_t wx = uint32_t((sx - double(x0)) * 256.0 + 0.5);
        t->left[i] = uint32_t(x0);
        t->weight[i] = (256 - wx) | wx << 16;
        const bool fast = x0 + 1 <= maxX;
        if (fast && !fastSeen) fastSeen = true, t->fastBegin = i;
        if (fast && fastEnded) contiguous = false;
        if (!fast && fastSeen && !fastEnded) fastEnded = true, t->fastEnd = i;
    }
    if (fastSeen && !fastEnded) t->fastEnd = count;
    if (!fastSeen || !contiguous) t->fastBegin = t->fastEnd = 0;
    last = t;
    return t;
}

RowSampler::RowSampler(const BoundTexture& texture, const FragmentBand& band, size_t pad,
                       size_t count)
    : texture_(texture), band_(band), x_(double(band.x0) - double(pad)), count_(count) {
    separable_ = texture_ && texture_.width > 0 && texture_.height > 0 && band.dvdx == 0.0 &&
                 band.dudy == 0.0 && count > 0 && codePaths() != CodePaths::PerPixel;
    if (!separable_) return;
    // u does not change from row to row, so the horizontal taps are those of any row.
    taps_ = taps(texture.width, band.u(x_, double(band.y0)), band.dudx, count);
    for (auto& r : rows_) r.values.resize(count * 4);
}

const uint16_t* RowSampler::filtered(long sourceRow, long alsoNeeded) {
    for (auto& r : rows_)
        if (r.sourceRow == sourceRow) return r.values.data();
    Filtered& slot = rows_[0].sourceRow == alsoNeeded ? rows_[1] : rows_[0];
    slot.sourceRow = sourceRow;
    const uint8_t* row = texture_.data + size_t(sourceRow) * texture_.bytesPerRow;
    const long maxX = long(texture_.width) - 1;
    uint16_t* out = slot.values.data();
    const Taps& t = *taps_;
    size_t fastFrom = t.fastBegin;
#if defined(__x86_64__)
    if (avx2Allowed())
        fastFrom = filterAvx2(row, t.left.data(), t.weight.data(), t.fastBegin, t.fastEnd, out);
#endif
    filterPortable(row, t.left.data(), t.weight.data(), maxX, 0, t.fastBegin, out);
    filterPortable(row, t.left.data(), t.weight.data(), maxX, fastFrom, count_, out);
    return out;
}

const uint8_t* RowSampler::row(long y, uint8_t* scratch) {
    const double u = band_.u(x_, double(y)), v = band_.v(x_, double(y));
    if (!separable_) return sampleRow(texture_, u, v, band_.dudx, band_.dvdx, count_, scratch);
    if (const uint8_t* texels =
            detail::alignedRow(texture_, u, v, band_.dudx, band_.dvdx, count_, scratch))
        return texels;
    // v is the same for every sample of the row (dv = 0), so is the vertical filtering.
    const long maxY = long(texture_.height) - 1;
    const double sy = std::clamp((v + 0.0) * double(texture_.height) - 0.5, 0.0, double(maxY));
    const long y0 = long(sy), y1 = std::min(y0 + 1, maxY);
    const uint32_t wy = uint32_t((sy - double(y0)) * 256.0 + 0.5);
    const uint16_t* top = filtered(y0, y1);
    const uint16_t* bottom = y1 == y0 ? top : filtered(y1, y0);
    size_t done = 0;
#if defined(__x86_64__)
    if (avx2Allowed()) done = blendAvx2(top, bottom, wy, count_ * 4, scratch);
#endif
    blendPortable(top, bottom, wy, done, count_ * 4, scratch);
    return scratch;
}

}  // namespace hx::gpu::cpu
