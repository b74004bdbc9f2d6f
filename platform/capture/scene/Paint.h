#pragma once

// Small helpers for painting scene pixels: colours, blending, coverage of soft edges, hashing
// for textures, and the part of a span that falls inside a box.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/capture/scene/Scene.h"

namespace hx::capture::scene {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

inline uint8_t clampByte(float value) {
    return static_cast<uint8_t>(std::clamp(value, 0.0f, 255.0f) + 0.5f);
}

inline Rgb scaled(Rgb c, float factor) {
    return {clampByte(c.r * factor), clampByte(c.g * factor), clampByte(c.b * factor)};
}

inline Rgb mix(Rgb a, Rgb b, float t) {
    return {clampByte(a.r + (b.r - a.r) * t), clampByte(a.g + (b.g - a.g) * t),
            clampByte(a.b + (b.b - a.b) * t)};
}

// Integer forms for the inner loops: t and factors in 1/256ths, saturating.
inline Rgb mix256(Rgb a, Rgb b, int t) {
    return {static_cast<uint8_t>(a.r + (((b.r - a.r) * t) >> 8)),
            static_cast<uint8_t>(a.g + (((b.g - a.g) * t) >> 8)),
            static_cast<uint8_t>(a.b + (((b.b - a.b) * t) >> 8))};
}

inline Rgb scaled256(Rgb c, int factor) {
    return {static_cast<uint8_t>(std::min(255, (c.r * factor) >> 8)),
            static_cast<uint8_t>(std::min(255, (c.g * factor) >> 8)),
            static_cast<uint8_t>(std::min(255, (c.b * factor) >> 8))};
}

// floor() without a library call (builds target plain x86-64, which has no rounding
// instruction), for values well inside the int range.
inline int floorToInt(double value) {
    const int truncated = static_cast<int>(value);
    return truncated - (value < truncated);
}

inline int to256(float value) {
    return static_cast<int>(value * 256.0f + 0.5f);
}

inline void put(uint8_t* pixel, Rgb c) {
    pixel[0] = c.b;
    pixel[1] = c.g;
    pixel[2] = c.r;
    pixel[3] = 255;
}

// alpha from 0 (keep) to 256 (replace).
inline void blend(uint8_t* pixel, Rgb c, int alpha) {
    pixel[0] = static_cast<uint8_t>(pixel[0] + (((c.b - pixel[0]) * alpha) >> 8));
    pixel[1] = static_cast<uint8_t>(pixel[1] + (((c.g - pixel[1]) * alpha) >> 8));
    pixel[2] = static_cast<uint8_t>(pixel[2] + (((c.r - pixel[2]) * alpha) >> 8));
}

inline int alphaOf(float coverage) {
    return static_cast<int>(std::clamp(coverage, 0.0f, 1.0f) * 256.0f);
}

// Coverage of a pixel by a shape whose edge is `distance` scene units away (negative inside).
inline float edgeCoverage(float distance, float footprint) {
    return std::clamp(0.5f - distance / footprint, 0.0f, 1.0f);
}

inline float smoothstep(float edge0, float edge1, float x) {
    float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

// How much of a pattern with this period survives at this pixel size: 1 when it is well
// resolved, 0 when it is finer than a pixel and only its average can show.
inline float detailContrast(double period, double footprint) {
    return std::clamp(static_cast<float>((period / footprint - 2.0) / 2.0), 0.0f, 1.0f);
}

inline uint32_t hash2(int32_t x, int32_t y) {
    uint32_t h = static_cast<uint32_t>(x) * 0x8da6b343u ^ static_cast<uint32_t>(y) * 0xd8163841u;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    h ^= h >> 15;
    return h;
}

// atan2 within about 0.01 radians, without a library call in the inner loops.
inline float fastAtan2(float y, float x) {
    const float ax = std::fabs(x), ay = std::fabs(y);
    const float big = std::max(ax, ay);
    const float a = big > 0 ? std::min(ax, ay) / big : 0.0f;
    const float s = a * a;
    float r = ((-0.0464964749f * s + 0.15931422f) * s - 0.327622764f) * s * a + a;
    if (ay > ax) r = 1.57079637f - r;
    if (x < 0) r = 3.14159274f - r;
    if (y < 0) r = -r;
    return r;
}

struct Box {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// The pixels [first, last] of the span inside the box; first > last when there are none.
struct PixelRange {
    int first = 0;
    int last = -1;
    bool empty() const { return first > last; }
};

inline PixelRange rangeInside(const SceneSpan& span, const Box& box) {
    double lo = 0, hi = span.count - 1;
    auto clip = [&](double start, double step, double min, double max) {
        if (step == 0) {
            if (start < min || start > max) hi = -1;
            return;
        }
        double a = (min - start) / step, b = (max - start) / step;
        if (a > b) std::swap(a, b);
        lo = std::max(lo, a);
        hi = std::min(hi, b);
    };
    clip(span.x, span.stepX, box.x0, box.x1);
    clip(span.y, span.stepY, box.y0, box.y1);
    if (hi < lo) return {};
    return {static_cast<int>(std::ceil(lo)), static_cast<int>(std::floor(hi))};
}

// sRGB byte to linear light and back.
float linearFromByte(uint8_t value);
uint8_t byteFromLinear(float linear);

}  // namespace hx::capture::scene
