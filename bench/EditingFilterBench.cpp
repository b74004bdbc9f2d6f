// The editing extension's final render of a 4032 x 3024 photo (rows 1, 5 and 8, each with the
// upright turn of orientation 6) against plain int32 loops over the same arithmetic, with the
// vector image library's convolutions alone on both paths, and OpenCV's filter2D with the same
// 9 x 9 kernel when OpenCV is installed.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/EditingReferenceLoops.h"
#include "bench/RatioReporter.h"
#include "core/film/ToneTables.h"
#include "editing/FilterRender.h"
#include "editing/FilterRows.h"
#include "platform/bundle/Bundle.h"
#include "platform/image/PixelConversion.h"
#include "platform/vimage/detail/Common.h"
#include "platform/vimage/vImage.h"

#ifdef HX_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif

namespace {

using namespace hx;

constexpr int kWidth = 4032, kHeight = 3024;
constexpr int kOrientation = 6;

// A camera-sized BGRA photo: the sample picture repeated (a pattern when it is missing).
const image::ImageRef& photo() {
    static const image::ImageRef made = [] {
        std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4);
        auto sample =
            image::convert(Bundle::main().imageNamed("sample.png"), image::PixelFormat::BGRA8);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                uint8_t* p = pixels.data() + (size_t(y) * kWidth + x) * 4;
                if (sample) {
                    std::memcpy(p, sample->row(y % sample->height()) + (x % sample->width()) * 4,
                                4);
                } else {
                    p[0] = uint8_t((x * 3 + y) >> 4), p[1] = uint8_t((x + y * 2) >> 4);
                    p[2] = uint8_t((x ^ y) >> 3), p[3] = 255;
                }
            }
        return image::Image::adopt(image::PixelFormat::BGRA8, kWidth, kHeight, std::move(pixels));
    }();
    return made;
}

void setRate(benchmark::State& state) {
    state.counters["MP/s"] = benchmark::Counter(double(kWidth) * kHeight * 1e-6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

void render(benchmark::State& state, int row) {
    const image::ImageRef& source = photo();
    for (auto _ : state) {
        image::ImageRef result = editing::renderFilter(*source, row, false, kOrientation);
        if (!result) state.SkipWithError("the render failed");
        benchmark::DoNotOptimize(result.get());
    }
    setRate(state);
}

void reference(benchmark::State& state, int row) {
    const image::ImageRef& source = photo();
    const editing::FilterRow film = editing::filterRow(row);
    const int weights[3] = {film.weights[0], film.weights[1], film.weights[2]};
    const int16_t* kernel = film.sharpen  ? editing::kSharpenKernel.data()
                            : film.soften ? editing::kSoftenKernel.data()
                                          : nullptr;
    const int side = film.soften ? 9 : 5;
    const int divisor = film.sharpen  ? editing::kSharpenDivisor
                        : film.soften ? editing::kSoftenDivisor
                                      : 1;
    std::vector<uint8_t> out(size_t(kWidth) * kHeight * 4);
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    for (auto _ : state) {
        bench::editingRenderReference(source->data(), kWidth, kHeight, weights,
                                      film.toneTable->data(), kernel, side, divisor, out.data(),
                                      threads);
        benchmark::DoNotOptimize(out.data());
    }
    setRate(state);
}

// The 9 x 9 convolution alone, four channels or one, on the vector or the portable path.
void convolve(benchmark::State& state, int channels, bool vector) {
    const image::ImageRef& source = photo();
    std::vector<uint8_t> grey(size_t(kWidth) * kHeight);
    if (channels == 1)
        for (size_t i = 0; i < grey.size(); ++i) grey[i] = source->data()[i * 4 + 1];
    std::vector<uint8_t> out(size_t(kWidth) * kHeight * size_t(channels));
    vimage::vImage_Buffer src{channels == 1 ? grey.data() : const_cast<uint8_t*>(source->data()),
                              kHeight, kWidth, size_t(kWidth) * size_t(channels)};
    vimage::vImage_Buffer dest{out.data(), kHeight, kWidth, size_t(kWidth) * size_t(channels)};
    if (vector && !vimage::detail::vectorPathAvailable()) {
        state.SkipWithError("no AVX2 here");
        return;
    }
    vimage::detail::forcePath(vector ? vimage::detail::Path::Vector
                                     : vimage::detail::Path::Portable);
    for (auto _ : state) {
        const auto error =
            channels == 1 ? vimage::vImageConvolve_Planar8(
                                &src, &dest, nullptr, 0, 0, editing::kSoftenKernel.data(), 9, 9,
                                editing::kSoftenDivisor, 0, vimage::kvImageEdgeExtend)
                          : vimage::vImageConvolve_ARGB8888(
                                &src, &dest, nullptr, 0, 0, editing::kSoftenKernel.data(), 9, 9,
                                editing::kSoftenDivisor, nullptr, vimage::kvImageEdgeExtend);
        if (error) state.SkipWithError(vimage::vImageErrorDescription(error));
        benchmark::DoNotOptimize(out.data());
    }
    vimage::detail::clearForcedPath();
    setRate(state);
}

#ifdef HX_HAVE_OPENCV
// The same kernel in floating point (its weights over its divisor), edges replicated, on all
// four channels.
void opencvFilter2D(benchmark::State& state) {
    const image::ImageRef& source = photo();
    cv::Mat src(kHeight, kWidth, CV_8UC4, const_cast<uint8_t*>(source->data()));
    cv::Mat kernel(9, 9, CV_32F);
    for (int j = 0; j < 9; ++j)
        for (int i = 0; i < 9; ++i)
            kernel.at<float>(j, i) =
                float(editing::kSoftenKernel[size_t(j * 9 + i)]) / float(editing::kSoftenDivisor);
    cv::Mat out;
    for (auto _ : state) {
        cv::filter2D(src, out, -1, kernel, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
        benchmark::DoNotOptimize(out.data);
    }
    setRate(state);
}
BENCHMARK(opencvFilter2D)
    ->Name("opencv/filter2D_9x9_argb")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
#endif

}  // namespace

BENCHMARK_CAPTURE(render, row1_mix_tone_upright, 1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(render, row5_sharpen_upright, 5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(render, row8_soften9x9_upright, 8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(reference, row1_int32_loops, 1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(reference, row5_int32_loops, 5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(reference, row8_int32_loops, 8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(convolve, argb_9x9_vector, 4, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(convolve, argb_9x9_portable, 4, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(convolve, planar_9x9_vector, 1, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
    if (!bench::initialize(argc, argv)) return 1;
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printFigures();
    std::printf("\nMedian time as a multiple of another median of this run:\n");
    reporter.printRatio("render/row8_soften9x9_upright", "reference/row8_int32_loops",
                        "at most 0.25x");
    reporter.printRatio("render/row8_soften9x9_upright", "render/row1_mix_tone_upright",
                        "under 2x");
    reporter.printRatio("render/row5_sharpen_upright", "reference/row5_int32_loops", "-");
    reporter.printRatio("render/row1_mix_tone_upright", "reference/row1_int32_loops", "-");
    reporter.printRatio("convolve/argb_9x9_vector", "convolve/argb_9x9_portable", "-");
#ifdef HX_HAVE_OPENCV
    reporter.printRatio("convolve/argb_9x9_vector", "opencv/filter2D_9x9_argb", "-");
#else
    std::printf("  OpenCV is not installed: filter2D was not measured\n");
#endif
    benchmark::Shutdown();
    return 0;
}
