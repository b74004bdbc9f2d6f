#include "platform/image/ImageDrawing.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <type_traits>
#include <vector>

#include "platform/image/PixelConversion.h"
#include "platform/log/Log.h"

namespace hx::image {
namespace {

// Transforms closer than this to a whole-pixel, unit-scale mapping take the exact copy path.
constexpr double kWholePixelTolerance = 1e-6;
// Shrinking by more than this per axis is averaged from a capped number of samples.
constexpr int kMaxSubsamples = 16;

template <PixelFormat Format>
using FormatConstant = std::integral_constant<PixelFormat, Format>;

template <PixelFormat Format>
constexpr size_t kBytes = Format == PixelFormat::Grey8  ? 1
                          : Format == PixelFormat::RGB8 ? 3
                                                        : 4;

// Calls body(source, destination) with both formats as compile-time constants. Destinations are
// the surface formats only.
template <typename Body>
void withFormats(PixelFormat source, PixelFormat destination, Body&& body) {
    auto forDestination = [&](auto sourceConstant) {
        switch (destination) {
            case PixelFormat::Grey8:
                body(sourceConstant, FormatConstant<PixelFormat::Grey8>{});
                break;
            case PixelFormat::RGB8:
                body(sourceConstant, FormatConstant<PixelFormat::RGB8>{});
                break;
            case PixelFormat::BGRA8:
                body(sourceConstant, FormatConstant<PixelFormat::BGRA8>{});
                break;
            case PixelFormat::RGBA8:
                break;
        }
    };
    switch (source) {
        case PixelFormat::Grey8:
            forDestination(FormatConstant<PixelFormat::Grey8>{});
            break;
        case PixelFormat::RGB8:
            forDestination(FormatConstant<PixelFormat::RGB8>{});
            break;
        case PixelFormat::BGRA8:
            forDestination(FormatConstant<PixelFormat::BGRA8>{});
            break;
        case PixelFormat::RGBA8:
            forDestination(FormatConstant<PixelFormat::RGBA8>{});
            break;
    }
}

// ---- Exact copies -------------------------------------------------------------------------

bool isOpaqueSpan(const uint8_t* fourBytePixels, size_t count) {
    uint8_t all = 255;
    for (size_t i = 0; i < count; ++i) all &= fourBytePixels[i * 4 + 3];
    return all == 255;
}

inline uint8_t over(uint8_t source, uint8_t destination, uint32_t keep) {
    const uint32_t value = source + divideBy255(destination * keep);
    return static_cast<uint8_t>(value > 255 ? 255 : value);
}

// Source over with premultiplied BGRA pixels.
void blendPremultipliedSpan(const uint8_t* bgra, PixelFormat format, uint8_t* destination,
                            size_t count) {
    const size_t destinationBytes = bytesPerPixel(format);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* s = bgra + i * 4;
        uint8_t* d = destination + i * destinationBytes;
        const uint8_t alpha = s[3];
        if (alpha == 0) continue;
        const uint32_t keep = 255u - alpha;
        switch (format) {
            case PixelFormat::BGRA8:
                for (int k = 0; k < 4; ++k) d[k] = over(s[k], d[k], keep);
                break;
            case PixelFormat::RGB8:
                d[0] = over(s[2], d[0], keep);
                d[1] = over(s[1], d[1], keep);
                d[2] = over(s[0], d[2], keep);
                break;
            case PixelFormat::Grey8:
                d[0] = over(luma(s[2], s[1], s[0]), d[0], keep);
                break;
            case PixelFormat::RGBA8:
                break;
        }
    }
}

void compositeSpan(PixelFormat sourceFormat, const uint8_t* source, PixelFormat destinationFormat,
                   uint8_t* destination, size_t count, uint8_t* scratch) {
    if (!hasAlpha(sourceFormat) || isOpaqueSpan(source, count)) {
        convertPixels(sourceFormat, source, destinationFormat, destination, count);
        return;
    }
    const uint8_t* premultiplied = source;
    if (sourceFormat != PixelFormat::BGRA8) {
        convertPixels(sourceFormat, source, PixelFormat::BGRA8, scratch, count);
        premultiplied = scratch;
    }
    blendPremultipliedSpan(premultiplied, destinationFormat, destination, count);
}

// Image column x lands on surface column x + offsetX; image row y on row offsetY + y, or on
// row offsetY - 1 - y when flipped.
void drawUnscaled(const PixelSurface& surface, const Image& image, int offsetX, int offsetY,
                  bool flipped) {
    const int firstColumn = std::max(0, -offsetX);
    const int endColumn = std::min(image.width(), surface.width - offsetX);
    if (firstColumn >= endColumn) return;
    const size_t count = static_cast<size_t>(endColumn - firstColumn);
    std::vector<uint8_t> scratch;
    if (image.hasAlpha()) {
        try {
            scratch.resize(count * 4);
        } catch (const std::bad_alloc&) {
            hxLog("drawImage: out of memory");
            return;
        }
    }
    const size_t sourceOffset = static_cast<size_t>(firstColumn) * image.bytesPerPixel();
    const size_t destinationOffset =
        static_cast<size_t>(firstColumn + offsetX) * bytesPerPixel(surface.format);
    for (int y = 0; y < image.height(); ++y) {
        const int64_t surfaceRow = flipped ? int64_t{offsetY} - 1 - y : int64_t{offsetY} + y;
        if (surfaceRow < 0 || surfaceRow >= surface.height) continue;
        compositeSpan(image.pixelFormat(), image.row(y) + sourceOffset, surface.format,
                      surface.row(static_cast<int>(surfaceRow)) + destinationOffset, count,
                      scratch.data());
    }
}

// ---- Resampling ---------------------------------------------------------------------------

// Adds a weighted pixel, premultiplied, as r g b a in 0...255.
template <PixelFormat Format>
inline void accumulate(const uint8_t* p, float weight, float* sum) {
    if constexpr (Format == PixelFormat::Grey8) {
        const float grey = weight * p[0];
        sum[0] += grey;
        sum[1] += grey;
        sum[2] += grey;
        sum[3] += weight * 255.0f;
    } else if constexpr (Format == PixelFormat::RGB8) {
        sum[0] += weight * p[0];
        sum[1] += weight * p[1];
        sum[2] += weight * p[2];
        sum[3] += weight * 255.0f;
    } else if constexpr (Format == PixelFormat::BGRA8) {
        sum[0] += weight * p[2];
        sum[1] += weight * p[1];
        sum[2] += weight * p[0];
        sum[3] += weight * p[3];
    } else {
        const float weightedAlpha = weight * p[3];
        const float colourWeight = weightedAlpha * (1.0f / 255.0f);
        sum[0] += colourWeight * p[0];
        sum[1] += colourWeight * p[1];
        sum[2] += colourWeight * p[2];
        sum[3] += weightedAlpha;
    }
}

inline uint8_t toByte(float value) {
    return static_cast<uint8_t>(std::clamp(value, 0.0f, 255.0f) + 0.5f);
}

// Source over with a premultiplied r g b a sample.
template <PixelFormat Format>
inline void blendSample(const float* sample, uint8_t* d) {
    const float keep = 1.0f - sample[3] * (1.0f / 255.0f);
    if constexpr (Format == PixelFormat::BGRA8) {
        d[0] = toByte(sample[2] + d[0] * keep);
        d[1] = toByte(sample[1] + d[1] * keep);
        d[2] = toByte(sample[0] + d[2] * keep);
        d[3] = toByte(sample[3] + d[3] * keep);
    } else if constexpr (Format == PixelFormat::RGB8) {
        d[0] = toByte(sample[0] + d[0] * keep);
        d[1] = toByte(sample[1] + d[1] * keep);
        d[2] = toByte(sample[2] + d[2] * keep);
    } else if constexpr (Format == PixelFormat::Grey8) {
        const float grey = (77.0f * sample[0] + 150.0f * sample[1] + 29.0f * sample[2]) / 256.0f;
        d[0] = toByte(grey + d[0] * keep);
    }
}

// The source pixels, with weights summing to one, that make up each drawn surface pixel along
// one axis. Surface index `first + k` uses weights[offsets[k] .. offsets[k + 1]) over source
// indices starting at starts[k].
struct AxisTaps {
    int first = 0;
    std::vector<int> starts;
    std::vector<size_t> offsets{0};
    std::vector<float> weights;

    int size() const { return static_cast<int>(starts.size()); }
};

int clampIndex(double index, int size) {
    return static_cast<int>(std::clamp(index, 0.0, static_cast<double>(size - 1)));
}

// Along one axis the image maps as surface = scale * source + offset.
AxisTaps buildAxisTaps(double scale, double offset, int sourceSize, int surfaceSize) {
    AxisTaps taps;
    const double edgeA = offset;
    const double edgeB = offset + scale * sourceSize;
    // Pixels whose centres fall inside the mapped image.
    const double first = std::ceil(std::min(edgeA, edgeB) - 0.5);
    const double end = std::ceil(std::max(edgeA, edgeB) - 0.5);
    taps.first = static_cast<int>(std::clamp(first, 0.0, static_cast<double>(surfaceSize)));
    const int last = static_cast<int>(std::clamp(end, 0.0, static_cast<double>(surfaceSize)));
    const double footprint = 1.0 / std::abs(scale);

    for (int index = taps.first; index < last; ++index) {
        const double centre = (index + 0.5 - offset) / scale;
        if (footprint <= 1.0 + kWholePixelTolerance) {
            const double position = centre - 0.5;
            const double left = std::floor(position);
            const double fraction = position - left;
            const int a = clampIndex(left, sourceSize);
            const int b = clampIndex(left + 1, sourceSize);
            if (fraction < kWholePixelTolerance || a == b) {
                taps.starts.push_back(a);
                taps.weights.push_back(1.0f);
            } else if (fraction > 1.0 - kWholePixelTolerance) {
                taps.starts.push_back(b);
                taps.weights.push_back(1.0f);
            } else {
                taps.starts.push_back(a);
                taps.weights.push_back(static_cast<float>(1.0 - fraction));
                taps.weights.push_back(static_cast<float>(fraction));
            }
        } else {
            // Area average over the pixel's footprint, cut to the image.
            const double low = std::max(0.0, centre - footprint / 2);
            const double high = std::min(static_cast<double>(sourceSize), centre + footprint / 2);
            const int start = clampIndex(std::floor(low), sourceSize);
            const int stop = std::max(start + 1, std::min(sourceSize, int(std::ceil(high))));
            const size_t weightStart = taps.weights.size();
            double total = 0;
            for (int source = start; source < stop; ++source) {
                const double weight =
                    std::max(0.0, std::min(high, source + 1.0) - std::max(low, double(source)));
                taps.weights.push_back(static_cast<float>(weight));
                total += weight;
            }
            taps.starts.push_back(start);
            if (total <= 0) {
                taps.weights.resize(weightStart);
                taps.weights.push_back(1.0f);
            } else {
                for (size_t k = weightStart; k < taps.weights.size(); ++k) {
                    taps.weights[k] = static_cast<float>(taps.weights[k] / total);
                }
            }
        }
        taps.offsets.push_back(taps.weights.size());
    }
    return taps;
}

// Images that map with no rotation or shear: weights are worked out once per column and row.
template <PixelFormat Source, PixelFormat Destination>
void drawSeparable(const PixelSurface& surface, const Image& image, const AxisTaps& columns,
                   const AxisTaps& rows) {
    for (int r = 0; r < rows.size(); ++r) {
        uint8_t* destinationRow = surface.row(rows.first + r);
        for (int c = 0; c < columns.size(); ++c) {
            float sample[4] = {0, 0, 0, 0};
            for (size_t j = rows.offsets[r]; j < rows.offsets[r + 1]; ++j) {
                const int sourceRow = rows.starts[r] + static_cast<int>(j - rows.offsets[r]);
                const uint8_t* source =
                    image.row(sourceRow) + static_cast<size_t>(columns.starts[c]) * kBytes<Source>;
                float rowSum[4] = {0, 0, 0, 0};
                for (size_t i = columns.offsets[c]; i < columns.offsets[c + 1]; ++i) {
                    accumulate<Source>(source, columns.weights[i], rowSum);
                    source += kBytes<Source>;
                }
                const float rowWeight = rows.weights[j];
                for (int k = 0; k < 4; ++k) sample[k] += rowWeight * rowSum[k];
            }
            blendSample<Destination>(
                sample,
                destinationRow + static_cast<size_t>(columns.first + c) * kBytes<Destination>);
        }
    }
}

template <PixelFormat Format>
void accumulateBilinear(const Image& image, double x, double y, float weight, float* sum) {
    const double px = x - 0.5;
    const double py = y - 0.5;
    const double left = std::floor(px);
    const double top = std::floor(py);
    const float fx = static_cast<float>(px - left);
    const float fy = static_cast<float>(py - top);
    const size_t x0 = static_cast<size_t>(clampIndex(left, image.width())) * kBytes<Format>;
    const size_t x1 = static_cast<size_t>(clampIndex(left + 1, image.width())) * kBytes<Format>;
    const uint8_t* row0 = image.row(clampIndex(top, image.height()));
    const uint8_t* row1 = image.row(clampIndex(top + 1, image.height()));
    accumulate<Format>(row0 + x0, weight * (1 - fx) * (1 - fy), sum);
    accumulate<Format>(row0 + x1, weight * fx * (1 - fy), sum);
    accumulate<Format>(row1 + x0, weight * (1 - fx) * fy, sum);
    accumulate<Format>(row1 + x1, weight * fx * fy, sum);
}

struct PixelRange {
    int firstColumn, endColumn, firstRow, endRow;
};

// Rotated or sheared images: each surface pixel is sampled on its own, on a grid of bilinear
// samples fine enough to cover its footprint in the image.
template <PixelFormat Source, PixelFormat Destination>
void drawTransformed(const PixelSurface& surface, const Image& image,
                     const CGAffineTransform& surfaceToImage, const PixelRange& range) {
    const CGAffineTransform& m = surfaceToImage;
    auto subsamples = [](double step) {
        return std::clamp(static_cast<int>(std::ceil(step - kWholePixelTolerance)), 1,
                          kMaxSubsamples);
    };
    const int across = subsamples(std::hypot(m.a, m.b));
    const int down = subsamples(std::hypot(m.c, m.d));
    const float weight = 1.0f / static_cast<float>(across * down);
    for (int row = range.firstRow; row < range.endRow; ++row) {
        uint8_t* destinationRow = surface.row(row);
        for (int column = range.firstColumn; column < range.endColumn; ++column) {
            const CGPoint centre = m.apply(CGPoint{column + 0.5, row + 0.5});
            if (!(centre.x >= 0 && centre.x < image.width() && centre.y >= 0 &&
                  centre.y < image.height())) {
                continue;
            }
            float sample[4] = {0, 0, 0, 0};
            for (int j = 0; j < down; ++j) {
                for (int i = 0; i < across; ++i) {
                    const CGPoint at =
                        m.apply(CGPoint{column + (i + 0.5) / across, row + (j + 0.5) / down});
                    accumulateBilinear<Source>(image, at.x, at.y, weight, sample);
                }
            }
            blendSample<Destination>(
                sample, destinationRow + static_cast<size_t>(column) * kBytes<Destination>);
        }
    }
}

bool isWhole(double value) {
    return std::abs(value - std::round(value)) <= kWholePixelTolerance;
}

bool isFinite(const CGAffineTransform& t) {
    return std::isfinite(t.a) && std::isfinite(t.b) && std::isfinite(t.c) && std::isfinite(t.d) &&
           std::isfinite(t.tx) && std::isfinite(t.ty);
}

}  // namespace

void drawImagePixels(const PixelSurface& surface, const Image& image,
                     const CGAffineTransform& imageToSurface) {
    if (surface.format == PixelFormat::RGBA8 || surface.data == nullptr) return;
    if (!isFinite(imageToSurface)) return;
    const std::optional<CGAffineTransform> surfaceToImage = imageToSurface.inverted();
    if (!surfaceToImage || !isFinite(*surfaceToImage)) return;

    const CGRect bounds =
        imageToSurface.applyToRect(CGRectMake(0, 0, double(image.width()), double(image.height())));
    const PixelRange range{
        static_cast<int>(std::clamp(std::floor(bounds.minX()), 0.0, double(surface.width))),
        static_cast<int>(std::clamp(std::ceil(bounds.maxX()), 0.0, double(surface.width))),
        static_cast<int>(std::clamp(std::floor(bounds.minY()), 0.0, double(surface.height))),
        static_cast<int>(std::clamp(std::ceil(bounds.maxY()), 0.0, double(surface.height))),
    };
    if (range.firstColumn >= range.endColumn || range.firstRow >= range.endRow) return;

    const CGAffineTransform& m = imageToSurface;
    const bool axisAligned = m.b == 0 && m.c == 0;
    if (axisAligned && std::abs(m.a - 1) <= kWholePixelTolerance &&
        std::abs(std::abs(m.d) - 1) <= kWholePixelTolerance && isWhole(m.tx) && isWhole(m.ty)) {
        // Both offsets are within a few image sizes of the surface here, so they fit an int.
        drawUnscaled(surface, image, static_cast<int>(std::round(m.tx)),
                     static_cast<int>(std::round(m.ty)), m.d < 0);
        return;
    }
    try {
        if (axisAligned) {
            const AxisTaps columns = buildAxisTaps(m.a, m.tx, image.width(), surface.width);
            const AxisTaps rows = buildAxisTaps(m.d, m.ty, image.height(), surface.height);
            withFormats(image.pixelFormat(), surface.format, [&](auto source, auto destination) {
                drawSeparable<decltype(source)::value, decltype(destination)::value>(surface, image,
                                                                                     columns, rows);
            });
        } else {
            withFormats(image.pixelFormat(), surface.format, [&](auto source, auto destination) {
                drawTransformed<decltype(source)::value, decltype(destination)::value>(
                    surface, image, *surfaceToImage, range);
            });
        }
    } catch (const std::bad_alloc&) {
        hxLog("drawImage: out of memory");
    }
}

}  // namespace hx::image
