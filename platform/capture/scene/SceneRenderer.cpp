#include "platform/capture/scene/SceneRenderer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "platform/capture/scene/BoxBlur.h"
#include "platform/capture/scene/Paint.h"
#include "platform/capture/scene/Upscale.h"
#include "platform/geometry/AffineTransform.h"
#include "platform/runloop/DispatchQueue.h"

namespace hx::capture::scene {

namespace {

constexpr size_t kRowsPerBand = 16;
// The most blur, as a share of the buffer's short side.
constexpr double kMaxBlurShare = 0.012;
// Defocused pictures are painted at most this many times smaller, keeping at least this much
// blur at the smaller size so that the enlargement stays smooth.
constexpr size_t kMaxShrink = 4;
constexpr int kMinShrunkRadius = 4;

// Linear light from 0 to 4 in 16384 steps to sRGB bytes, rolling off softly above 0.8 so that
// overexposure burns out gradually, as film and sensors do.
const std::array<uint8_t, 16385>& shoulderTable() {
    static const std::array<uint8_t, 16385> table = [] {
        std::array<uint8_t, 16385> values{};
        for (size_t i = 0; i < values.size(); ++i) {
            const double l = static_cast<double>(i) / 4096.0;
            const double shaped = l < 0.8 ? l : 0.8 + 0.2 * (1 - std::exp(-(l - 0.8) / 0.2));
            values[i] = byteFromLinear(static_cast<float>(shaped));
        }
        return values;
    }();
    return table;
}

inline uint8_t encode(float linear) {
    return shoulderTable()[static_cast<size_t>(std::clamp(linear * 4096.0f, 0.0f, 16384.0f))];
}

// Maps a buffer pixel (column, row) to the upright view's (u, v), both counted 0 to 1 from the
// view's top left: u = a * column + c * row + tx, v = b * column + d * row + ty.
CGAffineTransform mappingFor(CaptureVideoOrientation orientation, double width, double height) {
    switch (orientation) {
        case AVCaptureVideoOrientationPortraitUpsideDown:
            return {-1 / width, 0, 0, -1 / height, 1 - 0.5 / width, 1 - 0.5 / height};
        case AVCaptureVideoOrientationLandscapeRight:
            return {0, 1 / width, -1 / height, 0, 1 - 0.5 / height, 0.5 / width};
        case AVCaptureVideoOrientationLandscapeLeft:
            return {0, -1 / width, 1 / height, 0, 0.5 / height, 1 - 0.5 / width};
        case AVCaptureVideoOrientationPortrait:
        default:
            return {1 / width, 0, 0, 1 / height, 0.5 / width, 0.5 / height};
    }
}

// Exposure (and the flash's extra light) applied to one painted row.
struct Exposure {
    // With a flash the gain varies over the picture: a table from byte to byte for each of
    // kGainSteps gains between the least and the most this picture needs.
    static constexpr int kGainSteps = 256;

    std::array<uint8_t, 256> table{};  // without flash: one lookup per channel
    std::vector<uint8_t> tables;
    double gain = 1;
    double flash = 0;
    float lowest = 1, perStep = 1;

    explicit Exposure(const RenderView& view) : gain(view.exposureGain), flash(view.flash) {
        for (int i = 0; i < 256; ++i)
            table[i] = encode(linearFromByte(static_cast<uint8_t>(i)) * static_cast<float>(gain));
        if (flash <= 0) return;
        // The flash reaches a fifth as far into the corners as into the middle.
        lowest = static_cast<float>(gain * (1 - 0.25 * flash + flash / 5) * (1 - 0.05 * flash));
        const float highest = static_cast<float>(gain * (1 + 0.75 * flash) * (1 + 0.05 * flash));
        perStep = (kGainSteps - 1) / std::max(highest - lowest, 1e-6f);
        tables.resize(size_t{kGainSteps} * 256);
        for (int step = 0; step < kGainSteps; ++step) {
            const float g = lowest + step / perStep;
            for (int i = 0; i < 256; ++i)
                tables[size_t(step) * 256 + i] =
                    encode(linearFromByte(static_cast<uint8_t>(i)) * g);
        }
    }

    void apply(uint8_t* row, size_t count, const CGAffineTransform& m, size_t rowIndex) const {
        if (flash <= 0) {
            for (size_t i = 0; i < 4 * count; i += 4) {
                row[i] = table[row[i]];
                row[i + 1] = table[row[i + 1]];
                row[i + 2] = table[row[i + 2]];
            }
            return;
        }
        // A flash next to the lens lights the middle most, with a slightly cool light.
        const float u0 = static_cast<float>(m.tx + m.c * rowIndex - 0.5);
        const float v0 = static_cast<float>(m.ty + m.d * rowIndex - 0.5);
        const float uc = static_cast<float>(m.a), vc = static_cast<float>(m.b);
        const float ambient = static_cast<float>(gain * (1 - 0.25 * flash));
        const float lit = static_cast<float>(gain * flash);
        const float cool = 0.05f * static_cast<float>(flash);
        const uint8_t* lookup = tables.data();
        auto tableFor = [&](float g) {
            const float step = std::clamp((g - lowest) * perStep + 0.5f, 0.0f, kGainSteps - 1.0f);
            return lookup + static_cast<size_t>(step) * 256;
        };
        // The light changes slowly across the picture: one gain serves a run of pixels.
        constexpr size_t kRun = 8;
        for (size_t start = 0; start < count; start += kRun) {
            const float middle = static_cast<float>(start) + kRun / 2;
            const float u = u0 + uc * middle, v = v0 + vc * middle;
            const float reach = 1 / (1 + 8 * (u * u + v * v));
            const float g = ambient + lit * reach;
            const uint8_t* blue = tableFor(g * (1 + cool * reach));
            const uint8_t* green = tableFor(g);
            const uint8_t* red = tableFor(g * (1 - cool * reach));
            const size_t end = std::min(count, start + kRun);
            for (uint8_t* p = row + 4 * start; p < row + 4 * end; p += 4) {
                p[0] = blue[p[0]];
                p[1] = green[p[1]];
                p[2] = red[p[2]];
            }
        }
    }
};

// Paints the scene with its exposure into the buffer, sharp.
void paint(const Scene& scene, const RenderView& view, gpu::PixelBuffer& buffer);

}  // namespace

int blurRadius(double defocus, size_t width, size_t height) {
    return static_cast<int>(std::lround(std::clamp(defocus, 0.0, 1.0) * kMaxBlurShare *
                                        static_cast<double>(std::min(width, height))));
}

void scenePointOfPixel(const RenderView& view, size_t width, size_t height, double column,
                       double row, double& x, double& y) {
    const CGAffineTransform m =
        mappingFor(view.orientation, static_cast<double>(width), static_cast<double>(height));
    const CGPoint uv = m.apply({column, row});
    x = view.centreX + (uv.x - 0.5) * view.fieldWidth;
    y = view.centreY + (uv.y - 0.5) * view.fieldHeight;
}

void renderScene(const Scene& scene, const RenderView& view, gpu::PixelBuffer& buffer) {
    const size_t width = buffer.width(), height = buffer.height();
    // A strongly defocused picture is painted at a half or a quarter of the size and enlarged.
    const int radius = blurRadius(view.defocus, width, height);
    size_t shrink = 1;
    while (shrink < kMaxShrink && radius >= static_cast<int>(shrink) * 2 * kMinShrunkRadius)
        shrink *= 2;
    if (shrink > 1) {
        gpu::PixelBufferRef small;
        if (gpu::PixelBuffer::create((width + shrink - 1) / shrink, (height + shrink - 1) / shrink,
                                     buffer.pixelFormatType(), {},
                                     &small) == gpu::VideoStatusSuccess) {
            paint(scene, view, *small);
            boxBlur(small->baseAddress(), small->width(), small->height(), small->bytesPerRow(),
                    radius / static_cast<int>(shrink));
            upscale(*small, buffer);
            return;
        }
    }
    paint(scene, view, buffer);
    boxBlur(buffer.baseAddress(), width, height, buffer.bytesPerRow(), radius);
}

namespace {

void paint(const Scene& scene, const RenderView& view, gpu::PixelBuffer& buffer) {
    const size_t width = buffer.width(), height = buffer.height();
    const CGAffineTransform m =
        mappingFor(view.orientation, static_cast<double>(width), static_cast<double>(height));
    const Exposure exposure(view);
    const double longSide = static_cast<double>(std::max(width, height));
    const double shortSide = static_cast<double>(std::min(width, height));
    const double footprint = std::max(view.fieldHeight / longSide, view.fieldWidth / shortSide);
    uint8_t* base = buffer.baseAddress();
    const size_t bytesPerRow = buffer.bytesPerRow();
    const size_t bands = (height + kRowsPerBand - 1) / kRowsPerBand;
    DispatchQueue::concurrentPerform(bands, [&](size_t band) {
        const size_t end = std::min(height, (band + 1) * kRowsPerBand);
        for (size_t row = band * kRowsPerBand; row < end; ++row) {
            const double r = static_cast<double>(row);
            SceneSpan span;
            span.x = view.centreX + (m.tx + m.c * r - 0.5) * view.fieldWidth;
            span.y = view.centreY + (m.ty + m.d * r - 0.5) * view.fieldHeight;
            span.stepX = m.a * view.fieldWidth;
            span.stepY = m.b * view.fieldHeight;
            span.count = static_cast<int>(width);
            span.footprint = footprint;
            span.time = view.time;
            uint8_t* target = base + row * bytesPerRow;
            scene.renderSpan(span, target);
            exposure.apply(target, width, m, row);
        }
    });
}

}  // namespace

}  // namespace hx::capture::scene
