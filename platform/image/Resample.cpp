#include "platform/image/Resample.h"

#include <algorithm>
#include <new>

#include "platform/image/ImageLimits.h"
#include "platform/image/PixelConversion.h"

namespace hx::image {

namespace {

// Horizontally resampled samples keep 8 fractional bits until the vertical pass.
constexpr int kIntermediateShift = Resampler::kWeightBits - 8;
constexpr int64_t kOne = int64_t{1} << Resampler::kWeightBits;

// Shrinking: target pixel i covers [i·S/T, (i+1)·S/T) of the source. Measured in units of 1/T
// source pixel every overlap is a whole number, so the weights are exact up to rounding.
void addAreaWeights(Resampler::AxisWeights& axis, int64_t s, int64_t t) {
    for (int64_t i = 0; i < t; ++i) {
        const int64_t low = i * s, high = (i + 1) * s;
        const int64_t begin = low / t, end = std::min<int64_t>(s, (high + t - 1) / t);
        // Rounding the running total rather than each weight makes them sum to exactly one.
        int64_t covered = 0, previous = 0;
        for (int64_t j = begin; j < end; ++j) {
            covered += std::min((j + 1) * t, high) - std::max(j * t, low);
            const int64_t scaled = (covered * kOne + s / 2) / s;
            axis.weights.push_back(uint16_t(scaled - previous));
            previous = scaled;
        }
        axis.first.push_back(int(begin));
        axis.offset.push_back(axis.weights.size());
    }
}

// Enlarging: target pixel i's centre lies at source position (i + 1/2)·S/T − 1/2, which in units
// of 1/(2T) source pixel is the whole number (2i + 1)·S − T. Outside the outermost centres the
// edge pixel is held.
void addLinearWeights(Resampler::AxisWeights& axis, int64_t s, int64_t t) {
    for (int64_t i = 0; i < t; ++i) {
        const int64_t at = (2 * i + 1) * s - t;
        const int64_t lower = at <= 0 ? 0 : std::min(at / (2 * t), s - 1);
        const int64_t fraction = at <= 0 || lower == s - 1 ? 0 : at % (2 * t);
        axis.first.push_back(int(lower));
        if (fraction == 0) {
            axis.weights.push_back(uint16_t(kOne));
        } else {
            const int64_t upper = (fraction * kOne + t) / (2 * t);
            axis.weights.push_back(uint16_t(kOne - upper));
            axis.weights.push_back(uint16_t(upper));
        }
        axis.offset.push_back(axis.weights.size());
    }
}

template <int Components>
void resampleRows(const uint8_t* source, size_t sourceRowBytes, int sourceHeight, uint8_t* target,
                  size_t targetRowBytes, int width, const Resampler::AxisWeights& columns,
                  const Resampler::AxisWeights& rows, int firstRow, int endRow) {
    // The source rows these target rows read.
    int sourceFirst = sourceHeight, sourceEnd = 0;
    for (int y = firstRow; y < endRow; ++y) {
        const size_t taps = rows.offset[size_t(y) + 1] - rows.offset[size_t(y)];
        sourceFirst = std::min(sourceFirst, rows.first[size_t(y)]);
        sourceEnd = std::max(sourceEnd, rows.first[size_t(y)] + int(taps));
    }
    if (sourceFirst >= sourceEnd) return;

    const size_t outRow = size_t(width) * Components;
    std::vector<uint16_t> across(outRow * size_t(sourceEnd - sourceFirst));
    for (int y = sourceFirst; y < sourceEnd; ++y) {
        const uint8_t* sourceRow = source + sourceRowBytes * size_t(y);
        uint16_t* destination = across.data() + outRow * size_t(y - sourceFirst);
        for (int x = 0; x < width; ++x) {
            uint32_t sum[Components] = {};
            const uint8_t* p = sourceRow + size_t(columns.first[size_t(x)]) * Components;
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
    constexpr int shift = Resampler::kWeightBits + 8;
    for (int y = firstRow; y < endRow; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        const uint16_t* row = across.data() + outRow * size_t(rows.first[size_t(y)] - sourceFirst);
        for (size_t k = rows.offset[size_t(y)]; k < rows.offset[size_t(y) + 1]; ++k) {
            const uint32_t weight = rows.weights[k];
            for (size_t i = 0; i < outRow; ++i) sums[i] += weight * row[i];
            row += outRow;
        }
        uint8_t* destination = target + targetRowBytes * size_t(y);
        for (size_t i = 0; i < outRow; ++i) {
            destination[i] =
                uint8_t(std::min<uint32_t>(255, (sums[i] + (1u << (shift - 1))) >> shift));
        }
    }
}

// The same resampling with the passes the other way round: down the columns first, then across
// each target row. Across is the pass the compiler cannot vectorise (its taps vary per pixel), so
// a picture that loses rows runs it on the fewer target rows instead of on every source row.
template <int Components>
void resampleColumnsFirst(const uint8_t* source, size_t sourceRowBytes, int sourceWidth,
                          uint8_t* target, size_t targetRowBytes, int width,
                          const Resampler::AxisWeights& columns, const Resampler::AxisWeights& rows,
                          int firstRow, int endRow) {
    const size_t inRow = size_t(sourceWidth) * Components;
    std::vector<uint32_t> sums(inRow);
    std::vector<uint16_t> down(inRow);
    constexpr int shift = Resampler::kWeightBits + 8;
    for (int y = firstRow; y < endRow; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        const uint8_t* row = source + sourceRowBytes * size_t(rows.first[size_t(y)]);
        for (size_t k = rows.offset[size_t(y)]; k < rows.offset[size_t(y) + 1]; ++k) {
            const uint32_t weight = rows.weights[k];
            for (size_t i = 0; i < inRow; ++i) sums[i] += weight * row[i];
            row += sourceRowBytes;
        }
        for (size_t i = 0; i < inRow; ++i)
            down[i] = uint16_t((sums[i] + (1u << (kIntermediateShift - 1))) >> kIntermediateShift);

        uint8_t* destination = target + targetRowBytes * size_t(y);
        for (int x = 0; x < width; ++x) {
            uint32_t sum[Components] = {};
            const uint16_t* p = down.data() + size_t(columns.first[size_t(x)]) * Components;
            for (size_t k = columns.offset[size_t(x)]; k < columns.offset[size_t(x) + 1]; ++k) {
                const uint32_t weight = columns.weights[k];
                for (int c = 0; c < Components; ++c) sum[c] += weight * p[c];
                p += Components;
            }
            for (int c = 0; c < Components; ++c) {
                destination[x * Components + c] =
                    uint8_t(std::min<uint32_t>(255, (sum[c] + (1u << (shift - 1))) >> shift));
            }
        }
    }
}

}  // namespace

Resampler::AxisWeights Resampler::axisWeights(int source, int target) {
    AxisWeights axis;
    axis.first.reserve(size_t(target));
    axis.offset.reserve(size_t(target) + 1);
    axis.offset.push_back(0);
    if (target <= source) {
        addAreaWeights(axis, source, target);
    } else {
        addLinearWeights(axis, source, target);
    }
    return axis;
}

Resampler::Resampler(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight,
                     int components)
    : sourceWidth_(sourceWidth),
      sourceHeight_(sourceHeight),
      targetWidth_(targetWidth),
      targetHeight_(targetHeight),
      components_(components),
      columns_(axisWeights(sourceWidth, targetWidth)),
      rows_(axisWeights(sourceHeight, targetHeight)) {}

void Resampler::run(const uint8_t* source, size_t sourceRowBytes, uint8_t* target,
                    size_t targetRowBytes, int firstRow, int endRow) const {
    firstRow = std::max(firstRow, 0);
    endRow = std::min(endRow, targetHeight_);
    if (firstRow >= endRow) return;
    // Whichever order runs the pass across on fewer rows.
    const bool columnsFirst = targetHeight_ < sourceHeight_;
    auto rows = [&]<int Components>() {
        if (columnsFirst) {
            resampleColumnsFirst<Components>(source, sourceRowBytes, sourceWidth_, target,
                                             targetRowBytes, targetWidth_, columns_, rows_,
                                             firstRow, endRow);
        } else {
            resampleRows<Components>(source, sourceRowBytes, sourceHeight_, target, targetRowBytes,
                                     targetWidth_, columns_, rows_, firstRow, endRow);
        }
    };
    switch (components_) {
        case 1:
            rows.template operator()<1>();
            break;
        case 2:
            rows.template operator()<2>();
            break;
        case 3:
            rows.template operator()<3>();
            break;
        case 4:
            rows.template operator()<4>();
            break;
        default:
            break;
    }
}

ImageRef resampleImage(const ImageRef& image, int width, int height, std::string* error) {
    auto fail = [&](const char* message) -> ImageRef {
        if (error != nullptr) *error = message;
        return nullptr;
    };
    if (!image) return fail("no image to scale");
    if (width < 1 || height < 1) return fail("cannot scale to an empty size");
    if (width == image->width() && height == image->height()) return image;
    ImageRef source = image;
    if (source->pixelFormat() == PixelFormat::RGBA8) source = convert(source, PixelFormat::BGRA8);
    if (!source) return fail("out of memory for the scaled image");
    const PixelFormat format = source->pixelFormat();
    const int components = int(bytesPerPixel(format));
    const size_t rowBytes = size_t(width) * size_t(components);
    try {
        const Resampler resampler(source->width(), source->height(), width, height, components);
        std::vector<uint8_t> pixels(rowBytes * size_t(height));
        resampler.run(source->data(), source->bytesPerRow(), pixels.data(), rowBytes);
        if (ImageRef scaled = Image::adopt(format, width, height, std::move(pixels), rowBytes))
            return scaled;
    } catch (const std::bad_alloc&) {
    }
    return fail("out of memory for the scaled image");
}

ImageRef scaleToFit(const ImageRef& image, int originalWidth, int originalHeight, int maxPixelSize,
                    std::string* error) {
    const ScaledSize target = fitWithin(originalWidth, originalHeight, maxPixelSize);
    return resampleImage(image, target.width, target.height, error);
}

}  // namespace hx::image
