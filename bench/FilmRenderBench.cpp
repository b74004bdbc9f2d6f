// Full-resolution and live-size film renders, with read-back, against plain reference loops.
// Prints megapixels per second for each, then each render's time as a ratio to its reference.
//
// --backend=cpu|gl|both (default both) picks the GPU backends the renders run on; each render is
// reported under its backend's name, and with both, the GL time as a multiple of the CPU time.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
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

// One renderer per backend, drawing on a device of its own.
std::map<std::string, std::unique_ptr<film::hxFilmRenderer>>& renderers() {
    static std::map<std::string, std::unique_ptr<film::hxFilmRenderer>> made;
    return made;
}

void renderFilm(benchmark::State& state, const std::string& backend, int film, int width,
                int height) {
    film::hxFilmRenderer& renderer = *renderers().at(backend);
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
namespace {

struct Render {
    const char* name;
    int film, width, height;
};
constexpr Render kRenders[] = {
    {"photo_film0_mono", 0, kPhotoWidth, kPhotoHeight},
    {"photo_film3_sharpened", 3, kPhotoWidth, kPhotoHeight},
    {"photo_film7_softened", 7, kPhotoWidth, kPhotoHeight},
    {"photo_film10_colour", 10, kPhotoWidth, kPhotoHeight},
    {"live_film0_mono", 0, kLiveWidth, kLiveHeight},
    {"live_film3_sharpened", 3, kLiveWidth, kLiveHeight},
    {"live_film7_softened", 7, kLiveWidth, kLiveHeight},
    {"live_film10_colour", 10, kLiveWidth, kLiveHeight},
};

// Takes --backend=... out of the arguments; empty when its value is not one of the choices.
std::vector<std::string> backendsFromArguments(int& argc, char** argv) {
    std::string choice = "both";
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--backend=", 10) == 0)
            choice = argv[i] + 10;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    if (choice == "both") return {"cpu", "gl"};
    if (choice == "cpu" || choice == "gl") return {choice};
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> backends = backendsFromArguments(argc, argv);
    if (backends.empty()) {
        std::fprintf(stderr, "hx_film_bench: --backend takes cpu, gl or both\n");
        return 2;
    }
    for (const std::string& backend : backends) {
        std::string error;
        gpu::DeviceRef device = gpu::createDevice(backend, &error);
        if (!device) {
            std::fprintf(stderr, "hx_film_bench: no %s backend: %s\n", backend.c_str(),
                         error.c_str());
            return 2;
        }
        const gpu::DeviceDescription d = gpu::describeDevice(*device);
        std::printf("%s backend: %s%s\n", backend.c_str(), device->name().c_str(),
                    d.version.empty() ? "" : (", " + d.version).c_str());
        auto renderer = std::make_unique<film::hxFilmRenderer>();
        renderer->metaldevice = device;
        renderer->commandQueue = device->newCommandQueue();
        renderers()[backend] = std::move(renderer);
        for (const Render& r : kRenders)
            benchmark::RegisterBenchmark(("renderFilm/" + backend + "/" + r.name).c_str(),
                                         [backend, r](benchmark::State& state) {
                                             renderFilm(state, backend, r.film, r.width, r.height);
                                         })
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
    }
    if (!bench::initialize(argc, argv)) return 1;
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printFigures();
    const std::string grey = "reference/fused_grey_tone_4032x3024";
    const std::string trilinear = "reference/float_trilinear_4032x3024";
    std::printf(
        "\nMedian render plus read-back time as a multiple of the reference loop's median:\n");
    const bool cpu = renderers().count("cpu") != 0, gl = renderers().count("gl") != 0;
    if (cpu) {
        reporter.printRatio("renderFilm/cpu/photo_film0_mono", grey, "within 2x");
        reporter.printRatio("renderFilm/cpu/photo_film3_sharpened", grey, "within 2.5x");
        reporter.printRatio("renderFilm/cpu/photo_film7_softened", grey, "within 5x");
        reporter.printRatio("renderFilm/cpu/photo_film10_colour", trilinear, "at most 0.5x");
    }
    if (cpu && gl) {
        std::printf("\nMedian GL render plus read-back time as a multiple of the CPU backend's:\n");
        for (const Render& r : kRenders)
            reporter.printRatio(std::string("renderFilm/gl/") + r.name,
                                std::string("renderFilm/cpu/") + r.name,
                                "below 1x on a GPU; a software GL is slower");
    }
    benchmark::Shutdown();
    return 0;
}
