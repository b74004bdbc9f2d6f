#include "platform/vimage/detail/Common.h"

#include <algorithm>
#include <atomic>

#include "platform/runloop/DispatchQueue.h"

namespace hx::vimage::detail {

namespace {

const bool kHasAvx2 = __builtin_cpu_supports("avx2");
// -1: automatic; otherwise a forced Path.
std::atomic<int> forced{-1};

// Below this many bytes a picture is done on one thread: splitting costs more than it saves.
constexpr size_t kParallelBytes = 256 * 1024;
// Rows per band at least, so that convolutions do not re-read too many rows at band edges.
constexpr size_t kMinimumBandRows = 32;

}  // namespace

bool vectorPathAvailable() {
    return kHasAvx2;
}

Path activePath() {
    const int f = forced.load(std::memory_order_relaxed);
    if (f == int(Path::Portable)) return Path::Portable;
    return kHasAvx2 ? Path::Vector : Path::Portable;
}

void forcePath(Path path) {
    forced.store(int(path), std::memory_order_relaxed);
}

void clearForcedPath() {
    forced.store(-1, std::memory_order_relaxed);
}

Divider::Divider(int32_t d) : divisor(d) {
    uint32_t l = 0;
    while ((uint64_t(1) << l) < uint64_t(d)) ++l;
    shift = 31 + l;
    const uint64_t power = uint64_t(1) << shift;
    multiplier = uint32_t((power + uint64_t(d) - 1) / uint64_t(d));
}

vImage_Error checkBuffer(const vImage_Buffer* buffer, size_t bytesPerPixel) {
    if (!buffer || !buffer->data) return kvImageNullPointerArgument;
    // Sides are limited so that byte counts and int32 coordinates never overflow.
    constexpr vImagePixelCount kMaxSide = vImagePixelCount(1) << 24;
    if (buffer->width == 0 || buffer->height == 0 || buffer->width > kMaxSide ||
        buffer->height > kMaxSide)
        return kvImageInvalidParameter;
    if (buffer->rowBytes < buffer->width * bytesPerPixel) return kvImageInvalidParameter;
    return kvImageNoError;
}

vImage_Error checkFlags(vImage_Flags flags, vImage_Flags allowed) {
    return (flags & ~allowed) ? kvImageUnknownFlagsBit : kvImageNoError;
}

void forEachBand(size_t rows, size_t bytesPerRow, vImage_Flags flags,
                 const std::function<void(size_t, size_t)>& body) {
    const size_t width = DispatchQueue::parallelWidth();
    if ((flags & kvImageDoNotTile) || width < 2 || rows * bytesPerRow < kParallelBytes ||
        rows < 2 * kMinimumBandRows) {
        body(0, rows);
        return;
    }
    // One band per thread: each band is a contiguous run of rows, so neighbouring output rows
    // share their source rows inside it.
    const size_t bands = std::min(width, rows / kMinimumBandRows);
    DispatchQueue::concurrentPerform(
        bands, [&](size_t band) { body(rows * band / bands, rows * (band + 1) / bands); });
}

}  // namespace hx::vimage::detail

namespace hx::vimage {

const char* vImageErrorDescription(vImage_Error error) {
    switch (error) {
        case kvImageNoError:
            return "kvImageNoError: done";
        case kvImageRoiLargerThanInputBuffer:
            return "kvImageRoiLargerThanInputBuffer: the destination reaches outside the source";
        case kvImageInvalidKernelSize:
            return "kvImageInvalidKernelSize: kernel sides must be odd, from 1 to 9";
        case kvImageInvalidEdgeStyle:
            return "kvImageInvalidEdgeStyle: a convolution needs kvImageEdgeExtend";
        case kvImageInvalidOffset_X:
            return "kvImageInvalidOffset_X: the x offset is too large";
        case kvImageInvalidOffset_Y:
            return "kvImageInvalidOffset_Y: the y offset is too large";
        case kvImageMemoryAllocationError:
            return "kvImageMemoryAllocationError: out of memory";
        case kvImageNullPointerArgument:
            return "kvImageNullPointerArgument: a required pointer is null";
        case kvImageInvalidParameter:
            return "kvImageInvalidParameter: a parameter is out of range";
        case kvImageBufferSizeMismatch:
            return "kvImageBufferSizeMismatch: the destination's size does not fit the source's";
        case kvImageUnknownFlagsBit:
            return "kvImageUnknownFlagsBit: a flag this operation does not take";
        default:
            return "unknown vImage error";
    }
}

}  // namespace hx::vimage
