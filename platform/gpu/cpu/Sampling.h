#pragma once
// Texture reads for CPU shaders: bilinear filtering with clamped edges, with a fast path for
// the common case where target pixels land exactly on source texels, and a row sampler that
// filters whole bands of a scaled draw at once with the same results.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/gpu/cpu/ShaderABI.h"

namespace hx::gpu::cpu {

// Byte positions of the red, green and blue channels inside one 4-byte texel.
struct ChannelOrder {
    int r, g, b;
};
inline ChannelOrder channelOrder(PixelFormat format) {
    return format == PixelFormat::BGRA8Unorm ? ChannelOrder{2, 1, 0} : ChannelOrder{0, 1, 2};
}

// Packs a colour into one 4-byte texel of the target's format, alpha opaque.
inline uint32_t packOpaque(PixelFormat format, uint32_t r, uint32_t g, uint32_t b) {
    return format == PixelFormat::BGRA8Unorm ? (b | g << 8 | r << 16 | 0xff000000u)
                                             : (r | g << 8 | b << 16 | 0xff000000u);
}

namespace detail {
inline bool nearInteger(double value, double* rounded) {
    *rounded = std::nearbyint(value);
    return std::fabs(value - *rounded) < 1e-6;
}

// The samples of one row when they are whole texels of one texture row, stepping one texel
// left or right: a pointer straight into the texture when they all lie inside it, else copied
// with clamped edges into `scratch`. Null when the samples are not whole texels.
inline const uint8_t* alignedRow(const BoundTexture& texture, double u, double v, double du,
                                 double dv, size_t count, uint8_t* scratch) {
    const double w = double(texture.width), h = double(texture.height);
    const long maxX = long(texture.width) - 1, maxY = long(texture.height) - 1;
    double fx0, fy, step;
    const bool aligned = dv == 0.0 && nearInteger(u * w - 0.5, &fx0) &&
                         nearInteger(v * h - 0.5, &fy) && nearInteger(du * w, &step) &&
                         std::fabs(step) == 1.0;
    if (!aligned) return nullptr;
    const long x0 = long(fx0), y = std::clamp(long(fy), 0L, maxY);
    const uint8_t* row = texture.data + size_t(y) * texture.bytesPerRow;
    if (step > 0 && x0 >= 0 && x0 + long(count) - 1 <= maxX) return row + x0 * 4;
    // Samples left of the texture repeat its first texel, those right of it its last; the
    // ones in between are a straight or a reversed run of texels.
    auto* out = reinterpret_cast<uint32_t*>(scratch);
    const long dx = long(step), n = long(count);
    uint32_t first, last;
    std::memcpy(&first, row, 4);
    std::memcpy(&last, row + maxX * 4, 4);
    // Sample i reads texel x0 + i·dx: inside for i in [from, to).
    const long from = std::clamp(dx > 0 ? -x0 : x0 - maxX, 0L, n);
    const long to = std::clamp(dx > 0 ? maxX - x0 + 1 : x0 + 1, from, n);
    std::fill(out, out + from, dx > 0 ? first : last);
    if (dx > 0) {
        std::memcpy(out + from, row + (x0 + from) * 4, size_t(to - from) * 4);
    } else {
        for (long i = from; i < to; ++i) std::memcpy(out + i, row + (x0 - i) * 4, 4);
    }
    std::fill(out + to, out + n, dx > 0 ? last : first);
    return scratch;
}
}  // namespace detail

// Samples `count` texels of a 4-byte texture starting at (u, v) and stepping by (du, dv).
// Returns texels in the texture's own channel order: a pointer straight into the texture when
// the samples are whole texels of one row inside it, else into `scratch` (4 × count bytes).
inline const uint8_t* sampleRow(const BoundTexture& texture, double u, double v, double du,
                                double dv, size_t count, uint8_t* scratch) {
    if (const uint8_t* texels = detail::alignedRow(texture, u, v, du, dv, count, scratch))
        return texels;
    const double w = double(texture.width), h = double(texture.height);
    const long maxX = long(texture.width) - 1, maxY = long(texture.height) - 1;

    // Bilinear with 8-bit fixed-point weights; coordinates outside clamp to the edge texels.
    for (size_t i = 0; i < count; ++i) {
        double sx = std::clamp((u + double(i) * du) * w - 0.5, 0.0, double(maxX));
        double sy = std::clamp((v + double(i) * dv) * h - 0.5, 0.0, double(maxY));
        long x0 = long(sx), y0 = long(sy);
        long x1 = std::min(x0 + 1, maxX), y1 = std::min(y0 + 1, maxY);
        uint32_t wx = uint32_t((sx - double(x0)) * 256.0 + 0.5);
        uint32_t wy = uint32_t((sy - double(y0)) * 256.0 + 0.5);
        const uint8_t* r0 = texture.data + size_t(y0) * texture.bytesPerRow;
        const uint8_t* r1 = texture.data + size_t(y1) * texture.bytesPerRow;
        for (int c = 0; c < 4; ++c) {
            uint32_t top = r0[x0 * 4 + c] * (256 - wx) + r0[x1 * 4 + c] * wx;
            uint32_t bottom = r1[x0 * 4 + c] * (256 - wx) + r1[x1 * 4 + c] * wx;
            scratch[i * 4 + c] = uint8_t((top * (256 - wy) + bottom * wy + 32768) >> 16);
        }
    }
    return scratch;
}

// Which of the CPU backend's shading shortcuts run. Every setting gives the same bytes; the
// narrower ones exist to compare the shortcuts with the plain code.
enum class CodePaths {
    All,       // hand-written vector code where the machine has AVX2, separable filtering
    Portable,  // no hand-written vector code
    PerPixel,  // no hand-written vector code, and every sample filtered on its own by
               // sampleRow()
};
// Sets the code paths for all later shading and returns the previous setting.
CodePaths setCodePaths(CodePaths paths);
CodePaths codePaths();
// Whether vector code may run: the setting allows it and the machine has AVX2.
bool avx2Allowed();

// Samples the rows of one band in turn, each row giving the same bytes as sampleRow() with the
// band's coordinates for that row. When the band's texture coordinates follow the target's
// axes (u along rows, v down columns), bilinear filtering separates: the horizontal taps and
// weights are the same for every row and are worked out once, each source row is filtered
// horizontally once however many target rows use it, and a target row is then one vertical
// blend of two filtered source rows. Other mappings fall back to sampleRow().
class RowSampler {
  public:
    // Rows of `count` samples starting `pad` pixels left of the band.
    RowSampler(const BoundTexture& texture, const FragmentBand& band, size_t pad, size_t count);
    // Samples target row y (it may lie outside the band, for neighbourhoods). The result points
    // into the texture or into `scratch` (4 × count bytes).
    const uint8_t* row(long y, uint8_t* scratch);

  private:
    struct Filtered {
        long sourceRow = -1;
        std::vector<uint16_t> values;  // 4 channels per sample, each a × (256 − w) + b × w
    };
    // Source row `sourceRow` filtered horizontally, computed unless cached; the cached row
    // `alsoNeeded` is kept.
    const uint16_t* filtered(long sourceRow, long alsoNeeded);

    BoundTexture texture_;
    FragmentBand band_;
    double x_ = 0;  // target x of the first sample
    size_t count_ = 0;
    bool separable_ = false;
    // Per sample: left texel, weights of the left and the right texel (16 bits each, summing
    // to 256); samples [fastBegin, fastEnd) have their right texel directly after the left.
    struct Taps {
        size_t width = 0, count = 0;
        double u = 0, du = 0;
        std::vector<uint32_t> left, weight;
        size_t fastBegin = 0, fastEnd = 0;
    };
    static std::shared_ptr<const Taps> taps(size_t width, double u, double du, size_t count);
    std::shared_ptr<const Taps> taps_;
    Filtered rows_[2];
};

}  // namespace hx::gpu::cpu
