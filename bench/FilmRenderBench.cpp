// Full-resolution and live-size film renders, with read-back, against plain reference loops.
// Prints megapixels per second for each, then each render's time as a ratio to its reference.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench/RatioReporter.h"
#include "bench/ReferenceLoops.h"
#include "core/film/FilmRenderer.h"
#include "platform/bundle/Bundle.h"
#include "platform/image/PixelConversion.h"

namespace {

using namespace hx;

constexpr int kPhotoWidth = 4032, kPhotoHeight = 3024;
constexpr int kLiveWidth = 828, kLiveHeight = 1104;

// A camera-like photo: the built-in sample picture repeated over the frame (a synthetic
// pattern when the sample is missing).
gpu::PixelBufferRef makePhoto(int width, int height) {
    gpu::PixelBufferRef buffer;
    gpu::PixelBuffer::create(size_t(width), size_t(height), gpu::PixelFormatType32BGRA,
                             {true, true, true}, &buffer);
    auto sample =
        image::convert(Bundle::main().imageNamed("sample.png"), image::PixelFormat::BGRA8);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = buffer->baseAddress() + size_t(y) * buffer->bytesPerRow();
        for (int x = 0; x < width; ++x) {
            if (sample) {
                std::memcpy(row + x * 4,
                            sample->row(y % sample->height()) + (x % sample->width()) * 4, 4);
                continue;
            }
            row[x * 4 + 0] = uint8_t((x * 3 + y) >> 4);
            row[x * 4 + 1] = uint8_t((x + y * 2) >> 4);
            row[x * 4 + 2] = uint8_t((x ^ y) >> 3);
            row[x * 4 + 3] = 255;
        }
    }
    return buffer;
}

void renderFilm(benchmark::State& state, int film, int width, int height) {
    static film::hxFilmRenderer renderer;
    auto photo = makePhoto(width, height);
    renderer._photoWidth = width;
    renderer._photoHeight = height;
    renderer.setupOfflineWidth(width, height);
    renderer.selectFilm(film);
    for (auto _ : state) {
        image::ImageRef image = renderer.renderPhoto(photo);
        benchmark::DoNotOptimize(image.get());
    }
    state.counters["MP/s"] = benchmark::Counter(double(width) * height * 1e-6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

void referenceGrey(benchmark::State& state) {
    auto photo = makePhoto(kPhotoWidth, kPhotoHeight);
    std::vector<uint8_t> grey(size_t(kPhotoWidth) * kPhotoHeight);
    const float mix[3] = {0.3086f, 0.6094f, 0.0820f};
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    for (auto _ : state) {
        bench::fusedGreyToneReference(photo->baseAddress(), kPhotoWidth, kPhotoHeight,
                                      photo->bytesPerRow(), mix, film::toneTableStrongS.data(),
                                      grey.data(), threads);
        benchmark::DoNotOptimize(grey.data());
    }
    state.counters["MP/s"] = benchmark::Counter(double(kPhotoWidth) * kPhotoHeight * 1e-6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

void referenceTrilinear(benchmark::State& state) {
    auto photo = makePhoto(kPhotoWidth, kPhotoHeight);
    auto lookup =
        image::convert(Bundle::main().imageNamed("lookup_3.png"), image::PixelFormat::RGBA8);
    if (!lookup) {
        state.SkipWithError("lookup_3.png is missing");
        return;
    }
    std::vector<uint8_t> out(size_t(kPhotoWidth) * kPhotoHeight * 4);
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    for (auto _ : state) {
        bench::floatTrilinearReference(photo->baseAddress(), kPhotoWidth, kPhotoHeight,
                                       photo->bytesPerRow(), lookup->data(), out.data(), threads);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["MP/s"] = benchmark::Counter(double(kPhotoWidth) * kPhotoHeight * 1e-6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(referenceGrey)
    ->Name("reference/fused_grey_tone_4032x3024")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(referenceTrilinear)
    ->Name("reference/float_trilinear_4032x3024")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(renderFilm, photo_film0_mono, 0, kPhotoWidth, kPhotoHeight)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(renderFilm, photo_film3_sharpened, 3, kPhotoWidth, kPhotoHeight)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(renderFilm, photo_film7_softened, 7, kPhotoWidth, kPhotoHeight)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(renderFilm, photo_film10_colour, 10, kPhotoWidth, kPhotoHeight)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(renderFilm, live_film0_mono, 0, kLiveWidth, kLiveHeight)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(renderFilm, live_film3_sharpened, 3, kLiveWidth, kLiveHeight)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(renderFilm, live_film7_softened, 7, kLiveWidth, kLiveHeight)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(renderFilm, live_film10_colour, 10, kLiveWidth, kLiveHeight)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
    if (!bench::initialize(argc, argv)) return 1;
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printFigures();
    const std::string grey = "reference/fused_grey_tone_4032x3024";
    const std::string trilinear = "reference/float_trilinear_4032x3024";
    std::printf(
        "\nMedian render plus read-back time as a multiple of the reference loop's median:\n");
    reporter.printRatio("renderFilm/photo_film0_mono", grey, "within 2x");
    reporter.printRatio("renderFilm/photo_film3_sharpened", grey, "within 2.5x");
    reporter.printRatio("renderFilm/photo_film7_softened", grey, "within 5x");
    reporter.printRatio("renderFilm/photo_film10_colour", trilinear, "at most 0.5x");
    benchmark::Shutdown();
    return 0;
}
