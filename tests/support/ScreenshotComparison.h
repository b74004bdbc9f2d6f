#pragma once
// Compares a screenshot with its stored reference within a small tolerance, and draws where
// they differ.

#include <QColor>
#include <QImage>
#include <algorithm>
#include <cstdlib>

namespace hx::testsupport {

// A pixel differs when one of its channels is further off than this (fonts and edges may be
// smoothed a little differently by another Qt or FreeType build)...
constexpr int kChannelTolerance = 24;
// ...and the images match while at most this share of the pixels differ and the mean
// difference per channel stays below the second figure.
constexpr double kDifferingShare = 0.005;
constexpr double kMeanDifference = 1.5;

struct Comparison {
    double differingShare = 0;
    double meanDifference = 0;
    QImage diff;
};

// Per pixel, the largest channel difference; the diff image shows it four times brighter in
// grey, and the pixels beyond the tolerance in red.
inline Comparison compare(const QImage& actual, const QImage& expected) {
    Comparison result;
    QImage a = actual.convertToFormat(QImage::Format_ARGB32);
    QImage e = expected.convertToFormat(QImage::Format_ARGB32);
    result.diff = QImage(a.size(), QImage::Format_RGB32);
    long long differing = 0;
    double total = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            QColor p = QColor::fromRgba(a.pixel(x, y));
            QColor q = QColor::fromRgba(e.pixel(x, y));
            int channels[4] = {std::abs(p.red() - q.red()), std::abs(p.green() - q.green()),
                               std::abs(p.blue() - q.blue()), std::abs(p.alpha() - q.alpha())};
            int worst = *std::max_element(channels, channels + 4);
            total += channels[0] + channels[1] + channels[2] + channels[3];
            if (worst > kChannelTolerance) {
                ++differing;
                result.diff.setPixel(x, y, qRgb(255, 0, 0));
            } else {
                int grey = std::min(255, worst * 4);
                result.diff.setPixel(x, y, qRgb(grey, grey, grey));
            }
        }
    }
    double pixels = static_cast<double>(a.width()) * a.height();
    result.differingShare = differing / pixels;
    result.meanDifference = total / (pixels * 4);
    return result;
}

}  // namespace hx::testsupport
