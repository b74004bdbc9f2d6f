#include "platform/capture/scene/Scene.h"

#include <array>
#include <cmath>
#include <vector>

#include "platform/capture/scene/Paint.h"

namespace hx::capture::scene {

namespace {

const std::array<float, 256>& linearTable() {
    static const std::array<float, 256> table = [] {
        std::array<float, 256> values{};
        for (int i = 0; i < 256; ++i) {
            double c = i / 255.0;
            values[i] =
                static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        return values;
    }();
    return table;
}

// Linear light in 4096 steps to sRGB bytes.
const std::array<uint8_t, 4097>& encodeTable() {
    static const std::array<uint8_t, 4097> table = [] {
        std::array<uint8_t, 4097> values{};
        for (int i = 0; i <= 4096; ++i) {
            double l = i / 4096.0;
            double c = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
            values[i] = static_cast<uint8_t>(std::lround(std::clamp(c, 0.0, 1.0) * 255));
        }
        return values;
    }();
    return table;
}

}  // namespace

float linearFromByte(uint8_t value) {
    return linearTable()[value];
}

uint8_t byteFromLinear(float linear) {
    return encodeTable()[static_cast<int>(std::clamp(linear, 0.0f, 1.0f) * 4096.0f)];
}

double Scene::meanLuminance(double x, double y, double halfSize, double time) const {
    constexpr int kSamples = 16;
    const double step = 2 * halfSize / kSamples;
    std::vector<uint8_t> row(kSamples * 4);
    double sum = 0;
    for (int j = 0; j < kSamples; ++j) {
        SceneSpan span{x - halfSize + step / 2,
                       y - halfSize + step * (j + 0.5),
                       step,
                       0,
                       kSamples,
                       step,
                       time};
        renderSpan(span, row.data());
        for (int i = 0; i < kSamples; ++i) {
            const uint8_t* p = &row[i * 4];
            sum += 0.0722 * linearFromByte(p[0]) + 0.7152 * linearFromByte(p[1]) +
                   0.2126 * linearFromByte(p[2]);
        }
    }
    return sum / (kSamples * kSamples);
}

}  // namespace hx::capture::scene
