#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/image/Image.h"
#include "platform/image/PixelFormat.h"

namespace hx::image {

// x / 255 rounded to nearest, exact for 0 <= x <= 255 * 255.
constexpr uint32_t divideBy255(uint32_t x) {
    return (x + 128 + ((x + 128) >> 8)) >> 8;
}

constexpr uint8_t premultiply(uint8_t component, uint8_t alpha) {
    return static_cast<uint8_t>(divideBy255(uint32_t{component} * alpha));
}

// Transparent pixels carry no colour, so they come back black.
constexpr uint8_t unpremultiply(uint8_t component, uint8_t alpha) {
    if (alpha == 255) return component;
    if (alpha == 0) return 0;
    const uint32_t value = (uint32_t{component} * 255 + alpha / 2) / alpha;
    return static_cast<uint8_t>(value > 255 ? 255 : value);
}

// Rec. 601 weights in 8.8 fixed point; they sum to 256 so a grey stays exactly the same grey.
constexpr uint8_t luma(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint8_t>((77 * uint32_t{r} + 150 * uint32_t{g} + 29 * uint32_t{b} + 128) >>
                                8);
}

// Converts `count` pixels. Grey spreads to every colour channel; colour to grey uses luma();
// alpha is added as opaque, dropped after un-premultiplying (BGRA8) or as is (RGBA8), and
// premultiplied going into BGRA8. The same format on both sides copies the bytes. `source` and
// `destination` must not overlap.
void convertPixels(PixelFormat from, const uint8_t* source, PixelFormat to, uint8_t* destination,
                   size_t count);

// The image in another format, with tightly packed rows. Returns `image` itself when it already
// has that format (images are immutable, so sharing is safe); null for a null image, an invalid
// format or when memory runs out.
ImageRef convert(const ImageRef& image, PixelFormat format);

}  // namespace hx::image
