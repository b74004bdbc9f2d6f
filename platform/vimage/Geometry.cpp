// Quarter-turn rotation and reflection: pure moves of whole pixels, the same code on every path.
// Quarter turns walk the picture in square tiles so that both the rows read and the rows
// written stay in the cache.

#include <algorithm>
#include <cstring>

#include "platform/vimage/detail/Common.h"
#include "platform/vimage/vImage.h"

namespace hx::vimage {

namespace {

constexpr size_t kTile = 64;

template <size_t N>
inline void movePixel(const uint8_t* from, uint8_t* to) {
    std::memcpy(to, from, N);
}

// dest(x, y) = the source pixel at origin + x * stepX + y * stepY (in bytes), over destination
// rows [first, end), in square tiles.
template <size_t N>
void remapRows(const vImage_Buffer& dest, size_t first, size_t end, const uint8_t* origin,
               ptrdiff_t stepX, ptrdiff_t stepY) {
    for (size_t ty = first; ty < end; ty += kTile) {
        const size_t tyEnd = std::min(end, ty + kTile);
        for (size_t tx = 0; tx < dest.width; tx += kTile) {
            const size_t txEnd = std::min<size_t>(dest.width, tx + kTile);
            for (size_t y = ty; y < tyEnd; ++y) {
                uint8_t* out = detail::rowOf(dest, y) + tx * N;
                const uint8_t* in = origin + ptrdiff_t(tx) * stepX + ptrdiff_t(y) * stepY;
                for (size_t x = tx; x < txEnd; ++x, out += N, in += stepX) movePixel<N>(in, out);
            }
        }
    }
}

template <size_t N>
vImage_Error rotate(const vImage_Buffer* src, const vImage_Buffer* dest, uint8_t rotation,
                    vImage_Flags flags) {
    if (vImage_Error e = detail::checkBuffer(src, N)) return e;
    if (vImage_Error e = detail::checkBuffer(dest, N)) return e;
    if (vImage_Error e = detail::checkFlags(flags, kvImageDoNotTile)) return e;
    if (rotation > 3) return kvImageInvalidParameter;
    if (src->data == dest->data) return kvImageInvalidParameter;
    const bool quarter = rotation % 2 == 1;
    const size_t w = src->width, h = src->height;
    if ((quarter ? dest->width != h || dest->height != w : dest->width != w || dest->height != h))
        return kvImageBufferSizeMismatch;
    const uint8_t* top = detail::rowOf(*src, 0);
    const uint8_t* bottom = detail::rowOf(*src, h - 1);
    const ptrdiff_t row = ptrdiff_t(src->rowBytes), pixel = ptrdiff_t(N);
    detail::forEachBand(dest->height, dest->width * N, flags, [&](size_t first, size_t end) {
        switch (rotation) {
            case kRotate0DegreesClockwise:
                for (size_t y = first; y < end; ++y)
                    std::memcpy(detail::rowOf(*dest, y), detail::rowOf(*src, y), w * N);
                break;
            case kRotate90DegreesCounterClockwise:
                // dest(x, y) = src(w - 1 - y, x)
                remapRows<N>(*dest, first, end, top + (w - 1) * N, row, -pixel);
                break;
            case kRotate180DegreesClockwise:
                for (size_t y = first; y < end; ++y) {
                    const uint8_t* in = detail::rowOf(*src, h - 1 - y);
                    uint8_t* out = detail::rowOf(*dest, y);
                    for (size_t x = 0; x < w; ++x) movePixel<N>(in + (w - 1 - x) * N, out + x * N);
                }
                break;
            default:  // kRotate90DegreesClockwise
                // dest(x, y) = src(y, h - 1 - x)
                remapRows<N>(*dest, first, end, bottom, -row, pixel);
                break;
        }
    });
    return kvImageNoError;
}

template <size_t N>
vImage_Error reflect(const vImage_Buffer* src, const vImage_Buffer* dest, bool leftRight,
                     vImage_Flags flags) {
    if (vImage_Error e = detail::checkBuffer(src, N)) return e;
    if (vImage_Error e = detail::checkBuffer(dest, N)) return e;
    if (vImage_Error e = detail::checkFlags(flags, kvImageDoNotTile)) return e;
    if (src->width != dest->width || src->height != dest->height) return kvImageBufferSizeMismatch;
    if (src->data == dest->data) return kvImageInvalidParameter;
    const size_t w = src->width, h = src->height;
    detail::forEachBand(h, w * N, flags, [&](size_t first, size_t end) {
        for (size_t y = first; y < end; ++y) {
            uint8_t* out = detail::rowOf(*dest, y);
            if (leftRight) {
                const uint8_t* in = detail::rowOf(*src, y);
                for (size_t x = 0; x < w; ++x) movePixel<N>(in + (w - 1 - x) * N, out + x * N);
            } else {
                std::memcpy(out, detail::rowOf(*src, h - 1 - y), w * N);
            }
        }
    });
    return kvImageNoError;
}

}  // namespace

vImage_Error vImageRotate90_Planar8(const vImage_Buffer* src, const vImage_Buffer* dest,
                                    uint8_t rotationConstant, uint8_t, vImage_Flags flags) {
    return rotate<1>(src, dest, rotationConstant, flags);
}

vImage_Error vImageRotate90_ARGB8888(const vImage_Buffer* src, const vImage_Buffer* dest,
                                     uint8_t rotationConstant, const uint8_t*, vImage_Flags flags) {
    return rotate<4>(src, dest, rotationConstant, flags);
}

vImage_Error vImageHorizontalReflect_Planar8(const vImage_Buffer* src, const vImage_Buffer* dest,
                                             vImage_Flags flags) {
    return reflect<1>(src, dest, true, flags);
}

vImage_Error vImageHorizontalReflect_ARGB8888(const vImage_Buffer* src, const vImage_Buffer* dest,
                                              vImage_Flags flags) {
    return reflect<4>(src, dest, true, flags);
}

vImage_Error vImageVerticalReflect_Planar8(const vImage_Buffer* src, const vImage_Buffer* dest,
                                           vImage_Flags flags) {
    return reflect<1>(src, dest, false, flags);
}

vImage_Error vImageVerticalReflect_ARGB8888(const vImage_Buffer* src, const vImage_Buffer* dest,
                                            vImage_Flags flags) {
    return reflect<4>(src, dest, false, flags);
}

}  // namespace hx::vimage
