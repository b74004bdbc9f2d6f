#include "platform/image/PixelConversion.h"

#include <cstring>
#include <new>
#include <vector>

#include "platform/log/Log.h"

namespace hx::image {
namespace {

struct StraightPixel {
    uint8_t r, g, b, a;
};

template <PixelFormat Format>
inline StraightPixel load(const uint8_t* p) {
    if constexpr (Format == PixelFormat::Grey8) {
        return {p[0], p[0], p[0], 255};
    } else if constexpr (Format == PixelFormat::RGB8) {
        return {p[0], p[1], p[2], 255};
    } else if constexpr (Format == PixelFormat::BGRA8) {
        const uint8_t a = p[3];
        if (a == 255) return {p[2], p[1], p[0], 255};
        return {unpremultiply(p[2], a), unpremultiply(p[1], a), unpremultiply(p[0], a), a};
    } else {
        return {p[0], p[1], p[2], p[3]};
    }
}

template <PixelFormat Format>
inline void store(const StraightPixel& pixel, uint8_t* p) {
    if constexpr (Format == PixelFormat::Grey8) {
        p[0] = luma(pixel.r, pixel.g, pixel.b);
    } else if constexpr (Format == PixelFormat::RGB8) {
        p[0] = pixel.r;
        p[1] = pixel.g;
        p[2] = pixel.b;
    } else if constexpr (Format == PixelFormat::BGRA8) {
        const uint8_t a = pixel.a;
        p[0] = premultiply(pixel.b, a);
        p[1] = premultiply(pixel.g, a);
        p[2] = premultiply(pixel.r, a);
        p[3] = a;
    } else {
        p[0] = pixel.r;
        p[1] = pixel.g;
        p[2] = pixel.b;
        p[3] = pixel.a;
    }
}

template <PixelFormat From, PixelFormat To>
void convertLoop(const uint8_t* source, uint8_t* destination, size_t count) {
    constexpr size_t kFromBytes = From == PixelFormat::Grey8  ? 1
                                  : From == PixelFormat::RGB8 ? 3
                                                              : 4;
    constexpr size_t kToBytes = To == PixelFormat::Grey8 ? 1 : To == PixelFormat::RGB8 ? 3 : 4;
    for (size_t i = 0; i < count; ++i) {
        store<To>(load<From>(source + i * kFromBytes), destination + i * kToBytes);
    }
}

using ConvertFunction = void (*)(const uint8_t*, uint8_t*, size_t);

template <PixelFormat From>
ConvertFunction converterTo(PixelFormat to) {
    switch (to) {
        case PixelFormat::Grey8:
            return convertLoop<From, PixelFormat::Grey8>;
        case PixelFormat::RGB8:
            return convertLoop<From, PixelFormat::RGB8>;
        case PixelFormat::BGRA8:
            return convertLoop<From, PixelFormat::BGRA8>;
        case PixelFormat::RGBA8:
            return convertLoop<From, PixelFormat::RGBA8>;
    }
    return nullptr;
}

ConvertFunction converter(PixelFormat from, PixelFormat to) {
    switch (from) {
        case PixelFormat::Grey8:
            return converterTo<PixelFormat::Grey8>(to);
        case PixelFormat::RGB8:
            return converterTo<PixelFormat::RGB8>(to);
        case PixelFormat::BGRA8:
            return converterTo<PixelFormat::BGRA8>(to);
        case PixelFormat::RGBA8:
            return converterTo<PixelFormat::RGBA8>(to);
    }
    return nullptr;
}

}  // namespace

void convertPixels(PixelFormat from, const uint8_t* source, PixelFormat to, uint8_t* destination,
                   size_t count) {
    if (from == to) {
        std::memcpy(destination, source, count * bytesPerPixel(from));
        return;
    }
    if (ConvertFunction function = converter(from, to)) function(source, destination, count);
}

ImageRef convert(const ImageRef& image, PixelFormat format) {
    if (!image || !isValid(format)) return nullptr;
    if (image->pixelFormat() == format) return image;
    const size_t width = static_cast<size_t>(image->width());
    const size_t rowBytes = width * bytesPerPixel(format);
    std::vector<uint8_t> pixels;
    try {
        pixels.resize(rowBytes * static_cast<size_t>(image->height()));
    } catch (const std::bad_alloc&) {
        hxLog("convert: out of memory for a %dx%d image", image->width(), image->height());
        return nullptr;
    }
    ConvertFunction function = converter(image->pixelFormat(), format);
    for (int y = 0; y < image->height(); ++y) {
        function(image->row(y), pixels.data() + rowBytes * static_cast<size_t>(y), width);
    }
    return Image::adopt(format, image->width(), image->height(), std::move(pixels), rowBytes);
}

}  // namespace hx::image
