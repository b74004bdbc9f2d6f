#pragma once
// Vector image operations on 8-bit buffers: matrix multiply, table lookup, integer convolution
// with edge extension, quarter-turn rotation and reflection, for one-channel (Planar8) and
// four-channel (ARGB8888: four interleaved bytes per pixel, channel 0 first in memory, whatever
// colours they hold) pictures.
//
// Results are exact integers: a sum of products, plus any bias, divided by the divisor rounded
// to nearest (halves up), then clamped to 0...255. Every path (the AVX2 one where the machine
// has it, the portable one elsewhere) computes the same bits.
//
// Buffers describe memory the caller owns; rows may be padded (rowBytes at least width times
// the bytes per pixel). Unless an operation says otherwise, source and destination must not
// overlap; the per-pixel operations (matrix multiply and table lookup) may work in place.
//
// Threads: every function may be called from any thread at once on different destinations.
// Large pictures are split into bands of rows run on the global pool (both cores here);
// kvImageDoNotTile keeps the work on the calling thread.

#include <sys/types.h>
#include <cstddef>
#include <cstdint>

namespace hx::vimage {

using vImagePixelCount = unsigned long;

struct vImage_Buffer {
    void* data;
    vImagePixelCount height;
    vImagePixelCount width;
    size_t rowBytes;
};

using vImage_Error = ssize_t;
enum : vImage_Error {
    kvImageNoError = 0,
    kvImageRoiLargerThanInputBuffer = -21766,
    kvImageInvalidKernelSize = -21767,
    kvImageInvalidEdgeStyle = -21768,
    kvImageInvalidOffset_X = -21769,
    kvImageInvalidOffset_Y = -21770,
    kvImageMemoryAllocationError = -21771,
    kvImageNullPointerArgument = -21772,
    kvImageInvalidParameter = -21773,
    kvImageBufferSizeMismatch = -21774,
    kvImageUnknownFlagsBit = -21775,
};

using vImage_Flags = uint32_t;
enum : vImage_Flags {
    kvImageNoFlags = 0,
    // Convolution: pixels outside the source repeat its nearest edge pixel. The only edge
    // style offered; a convolution without it is refused with kvImageInvalidEdgeStyle.
    kvImageEdgeExtend = 8,
    // Run on the calling thread only.
    kvImageDoNotTile = 16,
};

// Rotation constants: quarter turns counter-clockwise.
enum : uint8_t {
    kRotate0DegreesClockwise = 0,
    kRotate90DegreesCounterClockwise = 1,
    kRotate180DegreesClockwise = 2,
    kRotate90DegreesClockwise = 3,
};

// A short description of an error code ("kvImageInvalidKernelSize: ..."); never null.
const char* vImageErrorDescription(vImage_Error error);

// dest[j] = clamp(round((sum over i of (src[i] + preBias[i]) * matrix[i * 4 + j] + postBias[j])
//                 / divisor)) for the four channels of every pixel: the pixel is a row vector
// multiplied by the 4 x 4 matrix. preBias and postBias may be null (no bias). divisor > 0; the
// biases are limited so that sums stay within 2^30 (kvImageInvalidParameter otherwise). Sizes
// of source and destination must match.
vImage_Error vImageMatrixMultiply_ARGB8888(const vImage_Buffer* src, const vImage_Buffer* dest,
                                           const int16_t matrix[16], int32_t divisor,
                                           const int16_t* preBias, const int32_t* postBias,
                                           vImage_Flags flags);

// One channel from four: dest = clamp(round((sum over i of (src[i] + preBias[i]) * matrix[i]
// + postBias) / divisor)) for every pixel, the same arithmetic as one column of the four-channel
// multiply. preBias may be null; limits as above.
vImage_Error vImageMatrixMultiply_ARGB8888ToPlanar8(const vImage_Buffer* src,
                                                    const vImage_Buffer* dest,
                                                    const int16_t matrix[4], int32_t divisor,
                                                    const int16_t* preBias, int32_t postBias,
                                                    vImage_Flags flags);

// dest = table[src] for every byte.
vImage_Error vImageTableLookUp_Planar8(const vImage_Buffer* src, const vImage_Buffer* dest,
                                       const uint8_t table[256], vImage_Flags flags);

// Channel 0 of every pixel through table0, channel 1 through table1, and so on (channel 0 first
// in memory). A null table copies its channel unchanged.
vImage_Error vImageTableLookUp_ARGB8888(const vImage_Buffer* src, const vImage_Buffer* dest,
                                        const uint8_t table0[256], const uint8_t table1[256],
                                        const uint8_t table2[256], const uint8_t table3[256],
                                        vImage_Flags flags);

// Integer convolution: dest(x, y) = clamp(round(sum over the kernel of
// kernel[j * kernelWidth + i] * src(x + srcOffsetToROI_X + i - kernelWidth / 2,
//                                   y + srcOffsetToROI_Y + j - kernelHeight / 2) / divisor)),
// the kernel's first row over the rows above. Kernel sides odd, 1 to 9; divisor > 0; the
// destination is the region of the source at the offsets (it must fit inside the source).
// flags must hold kvImageEdgeExtend. `backgroundColor` is unused by edge extension and may be
// null. The four-channel form convolves each channel on its own with the same kernel.
vImage_Error vImageConvolve_Planar8(const vImage_Buffer* src, const vImage_Buffer* dest,
                                    void* tempBuffer, vImagePixelCount srcOffsetToROI_X,
                                    vImagePixelCount srcOffsetToROI_Y, const int16_t* kernel,
                                    uint32_t kernelHeight, uint32_t kernelWidth, int32_t divisor,
                                    uint8_t backgroundColor, vImage_Flags flags);
vImage_Error vImageConvolve_ARGB8888(const vImage_Buffer* src, const vImage_Buffer* dest,
                                     void* tempBuffer, vImagePixelCount srcOffsetToROI_X,
                                     vImagePixelCount srcOffsetToROI_Y, const int16_t* kernel,
                                     uint32_t kernelHeight, uint32_t kernelWidth, int32_t divisor,
                                     const uint8_t backgroundColor[4], vImage_Flags flags);

// Turns the picture by `rotationConstant` quarter turns counter-clockwise (the constants
// above). For one or three quarter turns the destination is src.height wide and src.width
// high, otherwise the source's size (kvImageBufferSizeMismatch when not). `backColor` is unused
// (every destination pixel comes from the source) and may be null.
vImage_Error vImageRotate90_Planar8(const vImage_Buffer* src, const vImage_Buffer* dest,
                                    uint8_t rotationConstant, uint8_t backColor,
                                    vImage_Flags flags);
vImage_Error vImageRotate90_ARGB8888(const vImage_Buffer* src, const vImage_Buffer* dest,
                                     uint8_t rotationConstant, const uint8_t backColor[4],
                                     vImage_Flags flags);

// Left-right reflection: dest(x, y) = src(width - 1 - x, y).
vImage_Error vImageHorizontalReflect_Planar8(const vImage_Buffer* src, const vImage_Buffer* dest,
                                             vImage_Flags flags);
vImage_Error vImageHorizontalReflect_ARGB8888(const vImage_Buffer* src, const vImage_Buffer* dest,
                                              vImage_Flags flags);
// Top-bottom reflection: dest(x, y) = src(x, height - 1 - y).
vImage_Error vImageVerticalReflect_Planar8(const vImage_Buffer* src, const vImage_Buffer* dest,
                                           vImage_Flags flags);
vImage_Error vImageVerticalReflect_ARGB8888(const vImage_Buffer* src, const vImage_Buffer* dest,
                                            vImage_Flags flags);

}  // namespace hx::vimage
