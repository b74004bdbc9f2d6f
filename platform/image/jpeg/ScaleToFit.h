#pragma once
// Shrinking decoded pictures to thumbnail size, shared by the JPEG and TIFF decoders. Header-only
// so that each codec library stays free of the other.

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "platform/image/Image.h"
#include "platform/image/ImageLimits.h"

namespace hx::image {
namespace area_scaling {

// Weights in 2.14 fixed point; the weights of every output pixel sum to exactly 1 << 14, so a
// constant picture stays exactly constant.
constexpr int kWeightBits = 14;
// Horizontally averaged samples keep 8 fractional bits until the vertical pass.
constexpr int kIntermediateShift = kWeightBits - 8;

// For each output pixel along one axis: the first source pixel and the weights of the source
// pixels it covers. Output pixel i covers [i·S/T, (i+1)·S/T) of the source; measured in units of
// 1/T source pixel every overlap is a whole number, so the weights are exact up to rounding.
struct AxisWeights {
    std::vector<int> first;
    std::vector<size_t> offset;  // into weights; one more entry than outputs
    std::vector<uint16_t> weights;
};

inline AxisWeights axisWeights(int source, int target) {
    AxisWeights axis;
    axis.first.reserve(size_t(target));
    axis.offset.reserve(size_t(target) + 1);
    axis.offset.push_back(0);
    const int64_t s = source, t = target;
    for (int64_t i = 0; i < t; ++i) {
        const int64_t low = i * s, high = (i + 1) * s;
        const int64_t begin = low / t, end = std::min<int64_t>(source, (high + t - 1) / t);
        // Rounding the running total rather than each weight makes them sum to exactly one.
        int64_t covered = 0, previous = 0;
        for (int64_t j = begin; j < end; ++j) {
            covered += std::min((j + 1) * t, high) - std::max(j * t, low);
            const int64_t scaled = (covered * (int64_t{1} << kWeightBits) + s / 2) / s;
            axis.weights.push_back(uint16_t(scaled - previous));
            previous = scaled;
        }
        axis.first.push_back(int(begin));
        axis.offset.push_back(axis.weights.size());
    }
    return axis;
}

// Exact area averaging, one axis after the other.
template <int Components>
void shrink(const Image& image, uint8_t* out, int width, int height) {
    const AxisWeights columns = axisWeights(image.width(), width);
    const AxisWeights rows = axisWeights(image.height(), height);
    const size_t outRow = size_t(width) * Components;
    std::vector<uint16_t> across(outRow * size_t(image.height()));
    for (int y = 0; y < image.height(); ++y) {
        const uint8_t* source = image.row(y);
        uint16_t* destination = across.data() + outRow * size_t(y);
        for (int x = 0; x < width; ++x) {
            uint32_t sum[Components] = {};
            const uint8_t* p = source + size_t(columns.first[size_t(x)]) * Components;
            for (size_t k = columns.offset[size_t(x)]; k < columns.offset[size_t(x) + 1]; ++k) {
                const uint32_t weight = columns.weights[k];
                for (int c = 0; c < Components; ++c) sum[c] += weight * p[c];
                p += Components;
            }
            for (int c = 0; c < Components; ++c) {
                destination[x * Components + c] =
                    uint16_t((sum[c] + (1u << (kIntermediateShift - 1))) >> kIntermediateShift);
            }
        }
    }
    std::vector<uint32_t> sums(outRow);
    for (int y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        const uint16_t* source = across.data() + outRow * size_t(rows.first[size_t(y)]);
        for (size_t k = rows.offset[size_t(y)]; k < rows.offset[size_t(y) + 1]; ++k) {
            const uint32_t weight = rows.weights[k];
            for (size_t i = 0; i < outRow; ++i) sums[i] += weight * source[i];
            source += outRow;
        }
        uint8_t* destination = out + outRow * size_t(y);
        constexpr int shift = kWeightBits + 8;
        for (size_t i = 0; i < outRow; ++i) {
            destination[i] =
                uint8_t(std::min<uint32_t>(255, (sums[i] + (1u << (shift - 1))) >> shift));
        }
    }
}

}  // namespace area_scaling

// A Grey8 or RGB8 `image` shrunk to exactly fitWithin(originalWidth, originalHeight,
// maxPixelSize), each new pixel the average of the area it covers; `image` itself when it
// already has that size. Null, with a message in `error`, for another format or when memory
// runs out.
inline ImageRef scaleToFit(const ImageRef& image, int originalWidth, int originalHeight,
                           int maxPixelSize, std::string* error) {
    const ScaledSize target = fitWithin(originalWidth, originalHeight, maxPixelSize);
    if (target.width == image->width() && target.height == image->height()) return image;
    const PixelFormat format = image->pixelFormat();
    if (format != PixelFormat::Grey8 && format != PixelFormat::RGB8) {
        if (error != nullptr) *error = "cannot scale this pixel format";
        return nullptr;
    }
    const size_t rowBytes = size_t(target.width) * bytesPerPixel(format);
    try {
        std::vector<uint8_t> pixels(rowBytes * size_t(target.height));
        if (format == PixelFormat::Grey8) {
            area_scaling::shrink<1>(*image, pixels.data(), target.width, target.height);
        } else {
            area_scaling::shrink<3>(*image, pixels.data(), target.width, target.height);
        }
        ImageRef scaled =
            Image::adopt(format, target.width, target.height, std::move(pixels), rowBytes);
        if (scaled) return scaled;
    } catch (const std::bad_alloc&) {
    }
    if (error != nullptr) *error = "out of memory for the scaled image";
    return nullptr;
}

}  // namespace hx::image
