// Encoding and decoding a 4032 × 3024 photo through the image layer, next to the same work done
// by the Debian command-line tools in the same run. Prints each of ours as a ratio to its tool.
// The tools' times include starting the process and reading and writing files; ours work in
// memory, as the camera does. The JPEG decode is also compared with the TurboJPEG library
// decoding into a buffer it keeps, which is as fast as the codec itself goes.
//
// PNG output is measured with each row filter and several compression levels, on the sample
// photo and on monochrome films rendered from it and from the simulated camera's still, for
// time and size ("bytes"), next to libpng's default.

#include <benchmark/benchmark.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "bench/RatioReporter.h"
#include "core/film/FilmRenderer.h"
#include "platform/bundle/Bundle.h"
#include "platform/capture/scene/BuiltInScenes.h"
#include "platform/capture/scene/SceneRenderer.h"
#include "platform/gpu/PixelBuffer.h"
#include "platform/image/FileIO.h"
#include "platform/image/PixelConversion.h"
#include "platform/image/Resample.h"
#include "platform/image/heic/HeicCodec.h"
#include "platform/image/io/ImageSource.h"
#include "platform/image/jpeg/JpegCodec.h"
#include "platform/image/png/PngCodec.h"
#include "platform/image/tiff/TiffCodec.h"

namespace {

using namespace hx;
namespace fs = std::filesystem;

constexpr int kWidth = 4032, kHeight = 3024;

// The built-in sample repeated over a camera-sized frame.
image::ImageRef photo(image::PixelFormat format) {
    static image::ImageRef rgb = [] {
        auto sample =
            image::convert(Bundle::main().imageNamed("sample.png"), image::PixelFormat::RGB8);
        std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 3);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                for (int c = 0; c < 3; ++c)
                    pixels[(size_t(y) * kWidth + x) * 3 + c] =
                        sample ? sample->row(y % sample->height())[(x % sample->width()) * 3 + c]
                               : uint8_t((x * (c + 1) + y) >> 4);
        return image::Image::adopt(image::PixelFormat::RGB8, kWidth, kHeight, std::move(pixels));
    }();
    return image::convert(rgb, format);
}

const fs::path& workFolder() {
    static fs::path folder = [] {
        fs::path p = fs::temp_directory_path() / ("hx-image-bench-" + std::to_string(::getpid()));
        fs::create_directories(p);
        return p;
    }();
    return folder;
}

std::string file(const char* name) {
    return (workFolder() / name).string();
}

// Input files for the tools, written once.
void prepareFiles() {
    static bool done = [] {
        auto write = [](const image::Image& picture, const char* magic, int components,
                        const char* name) {
            std::string header = std::string(magic) + "\n" + std::to_string(kWidth) + " " +
                                 std::to_string(kHeight) + "\n255\n";
            std::vector<uint8_t> bytes(header.begin(), header.end());
            for (int y = 0; y < kHeight; ++y)
                bytes.insert(bytes.end(), picture.row(y),
                             picture.row(y) + size_t(kWidth) * components);
            image::writeFileAtomically(file(name), bytes.data(), bytes.size(), nullptr);
        };
        write(*photo(image::PixelFormat::RGB8), "P6", 3, "photo.ppm");
        write(*photo(image::PixelFormat::Grey8), "P5", 1, "photo.pgm");
        image::writePng(*photo(image::PixelFormat::RGB8), file("photo.png"));
        std::vector<uint8_t> jpeg;
        image::encodeJpeg(*photo(image::PixelFormat::RGB8), 0.9, {}, jpeg, nullptr);
        image::writeFileAtomically(file("photo.jpg"), jpeg.data(), jpeg.size(), nullptr);
        return true;
    }();
    (void)done;
}

void encodeJpegColour(benchmark::State& state) {
    auto picture = photo(image::PixelFormat::BGRA8);
    std::vector<uint8_t> out;
    for (auto _ : state) image::encodeJpeg(*picture, 0.9, {}, out, nullptr);
    state.counters["bytes"] = double(out.size());
}

void encodeJpegGrey(benchmark::State& state) {
    auto picture = photo(image::PixelFormat::Grey8);
    std::vector<uint8_t> out;
    for (auto _ : state) image::encodeJpeg(*picture, 0.9, {}, out, nullptr);
    state.counters["bytes"] = double(out.size());
}

void encodeHeic(benchmark::State& state) {
    auto picture = photo(image::PixelFormat::BGRA8);
    std::vector<uint8_t> out;
    for (auto _ : state) image::encodeHeic(*picture, {}, out, nullptr);
    state.counters["bytes"] = double(out.size());
}

void encodeTiff(benchmark::State& state) {
    auto picture = photo(image::PixelFormat::RGB8);
    std::vector<uint8_t> out;
    for (auto _ : state) image::encodeTiff(*picture, out, nullptr);
    state.counters["bytes"] = double(out.size());
}

std::vector<uint8_t> jpegBytes() {
    std::vector<uint8_t> out;
    image::encodeJpeg(*photo(image::PixelFormat::RGB8), 0.9, {}, out, nullptr);
    return out;
}

void decodeJpeg(benchmark::State& state) {
    auto bytes = jpegBytes();
    for (auto _ : state)
        benchmark::DoNotOptimize(image::decodeJpeg(bytes.data(), bytes.size(), 0, nullptr));
}

// Each decode writes into the memory of the one before, as a viewer stepping through photos does.
void decodeJpegRecycling(benchmark::State& state) {
    auto bytes = jpegBytes();
    image::ImageRef previous;
    for (auto _ : state) {
        previous = image::decodeJpeg(bytes.data(), bytes.size(), 0, nullptr, std::move(previous));
        benchmark::DoNotOptimize(previous.get());
    }
}

// The library's own decode into one buffer kept across iterations, with the same output (RGB,
// accurate DCT, smooth chroma upsampling) as ours.
void turboJpegDecode(benchmark::State& state) {
    auto bytes = jpegBytes();
    tjhandle handle = tjInitDecompress();
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 3);
    for (auto _ : state) {
        if (tjDecompress2(handle, bytes.data(), (unsigned long)bytes.size(), pixels.data(), kWidth,
                          0, kHeight, TJPF_RGB, 0) != 0) {
            state.SkipWithError(tjGetErrorStr2(handle));
            break;
        }
        benchmark::DoNotOptimize(pixels.data());
    }
    tjDestroy(handle);
}

void thumbnailJpeg(benchmark::State& state) {
    auto source = image::ImageSource::createWithData(jpegBytes());
    for (auto _ : state) benchmark::DoNotOptimize(source->createThumbnailAtIndex(0, 200));
}

// The resampler alone, on a decoded photo: what every format's thumbnail pays after decoding.
void resampleTo200(benchmark::State& state) {
    auto picture = photo(image::PixelFormat::RGB8);
    for (auto _ : state)
        benchmark::DoNotOptimize(image::scaleToFit(picture, kWidth, kHeight, 200, nullptr));
}

// ---- PNG output ---------------------------------------------------------------------------

// The sample photo at its own size: real picture content, which deflate cannot shortcut the way
// it can the repeats of a tiled frame.
image::ImageRef samplePhoto() {
    static image::ImageRef sample =
        image::convert(Bundle::main().imageNamed("sample.png"), image::PixelFormat::RGB8);
    return sample;
}

// A BGRA picture through the first monochrome film, as halidex-render writes it.
image::ImageRef greyFilm(const gpu::PixelBufferRef& photo) {
    if (!photo) return nullptr;
    const int width = int(photo->width()), height = int(photo->height());
    film::hxFilmRenderer renderer;
    renderer._photoWidth = width;
    renderer._photoHeight = height;
    renderer.setupOfflineWidth(width, height);
    renderer.selectFilm(0);
    return renderer.renderPhoto(photo);
}

image::ImageRef greyFilmOfSample() {
    static image::ImageRef grey = []() -> image::ImageRef {
        auto sample = samplePhoto();
        if (!sample) return nullptr;
        gpu::PixelBufferRef buffer;
        gpu::PixelBuffer::create(size_t(sample->width()), size_t(sample->height()),
                                 gpu::PixelFormatType32BGRA, {true, true, true}, &buffer);
        if (!buffer) return nullptr;
        for (int y = 0; y < sample->height(); ++y)
            image::convertPixels(
                image::PixelFormat::RGB8, sample->row(y), image::PixelFormat::BGRA8,
                buffer->baseAddress() + size_t(y) * buffer->bytesPerRow(), size_t(sample->width()));
        return greyFilm(buffer);
    }();
    return grey;
}

// The simulated camera's 12-megapixel still of its outdoor scene through the same film: the
// smooth, noiseless kind of picture that scripts/run.sh renders.
image::ImageRef greyFilmOfScene() {
    static image::ImageRef grey = []() -> image::ImageRef {
        gpu::PixelBufferRef buffer;
        gpu::PixelBuffer::create(size_t(kWidth), size_t(kHeight), gpu::PixelFormatType32BGRA,
                                 {true, true, true}, &buffer);
        if (!buffer) return nullptr;
        capture::scene::RenderView view;
        view.orientation = capture::AVCaptureVideoOrientationLandscapeRight;
        capture::scene::renderScene(*capture::scene::makeOutdoorScene(), view, *buffer);
        return greyFilm(buffer);
    }();
    return grey;
}

struct PngPicture {
    const char* name;
    image::ImageRef (*make)();
};
constexpr PngPicture kPngPictures[] = {{"sample_photo", samplePhoto},
                                       {"sample_grey_film", greyFilmOfSample},
                                       {"scene_grey_film", greyFilmOfScene}};

using Filter = image::PngCompression::Filter;
struct PngFilter {
    const char* name;
    Filter filter;
};
constexpr PngFilter kPngFilters[] = {{"none", Filter::None},
                                     {"sub", Filter::Sub},
                                     {"up", Filter::Up},
                                     {"paeth", Filter::Paeth},
                                     {"adaptive", Filter::Adaptive}};
constexpr int kPngLevels[] = {1, 3, 4, 6};

struct PngChoice {
    std::string name;
    image::PngCompression compression;
};

// libpng's default first, then every filter and level with zlib's default strategy.
std::vector<PngChoice> pngChoices() {
    std::vector<PngChoice> choices{{"libpng_default", image::PngCompression::libpngDefault()}};
    for (const PngFilter& filter : kPngFilters)
        for (int level : kPngLevels)
            choices.push_back({std::string(filter.name) + "_level" + std::to_string(level),
                               image::PngCompression{filter.filter, level, false}});
    return choices;
}

std::string pngName(const PngPicture& picture, const std::string& choice) {
    return std::string("png/") + picture.name + "/" + choice;
}

bool isDefault(const image::PngCompression& compression) {
    const image::PngCompression chosen;
    return compression.filter == chosen.filter && compression.level == chosen.level &&
           compression.filteredStrategy == chosen.filteredStrategy;
}

void encodePng(benchmark::State& state, image::ImageRef (*picture)(), image::PngCompression how) {
    auto image = picture();
    if (!image) {
        state.SkipWithError("the picture could not be made");
        return;
    }
    std::vector<uint8_t> out;
    for (auto _ : state) image::writePng(*image, out, nullptr, how);
    state.counters["bytes"] = double(out.size());
}

void registerPngChoices() {
    for (const PngPicture& picture : kPngPictures)
        for (const PngChoice& choice : pngChoices())
            benchmark::RegisterBenchmark(pngName(picture, choice.name).c_str(), encodePng,
                                         picture.make, choice.compression)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
}

// Median time and size of every PNG choice that ran, each also as a share of libpng's default.
void printPngTable(const bench::RatioReporter& reporter) {
    for (const PngPicture& picture : kPngPictures) {
        auto image = picture.make();
        auto reference = reporter.figure(pngName(picture, "libpng_default"));
        if (!image || !reference) continue;
        std::vector<uint8_t> out;
        image::writePng(*image, out, nullptr, image::PngCompression::libpngDefault());
        const double referenceBytes = double(out.size());
        std::printf(
            "\nPNG output of %s, %dx%d (median time, file size, both as a share of "
            "libpng's default):\n",
            picture.name, image->width(), image->height());
        for (const PngChoice& choice : pngChoices()) {
            auto figure = reporter.figure(pngName(picture, choice.name));
            if (!figure) continue;
            image::writePng(*image, out, nullptr, choice.compression);
            std::printf("  %-16s %8.1f ms %5.2f  %9zu bytes %5.2f%s\n", choice.name.c_str(),
                        figure->median * 1e3, figure->median / reference->median, out.size(),
                        double(out.size()) / referenceBytes,
                        isDefault(choice.compression) ? "  (writePng's default)" : "");
        }
    }
}

// One run of a command line per iteration; fails the benchmark when the tool is missing.
void tool(benchmark::State& state, const std::string& command) {
    prepareFiles();
    for (auto _ : state) {
        if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) {
            state.SkipWithError(("failed: " + command).c_str());
            return;
        }
    }
}

}  // namespace

#define HX_BENCH(fn, name) BENCHMARK(fn)->Name(name)->Unit(benchmark::kMillisecond)->UseRealTime()
HX_BENCH(encodeJpegColour, "ours/jpeg_encode_colour_q90");
HX_BENCH(encodeJpegGrey, "ours/jpeg_encode_grey_q90");
HX_BENCH(encodeHeic, "ours/heic_encode_q90");
HX_BENCH(encodeTiff, "ours/tiff_encode");
HX_BENCH(decodeJpeg, "ours/jpeg_decode");
HX_BENCH(decodeJpegRecycling, "ours/jpeg_decode_recycling");
HX_BENCH(thumbnailJpeg, "ours/jpeg_thumbnail_200");
HX_BENCH(resampleTo200, "ours/resample_rgb_to_200");
HX_BENCH(turboJpegDecode, "reference/turbojpeg_decode_reused_buffer");
BENCHMARK_CAPTURE(tool, cjpeg_colour_q90,
                  "cjpeg -quality 90 -outfile " + file("c.jpg") + " " + file("photo.ppm"))
    ->Name("tool/cjpeg_colour_q90")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(tool, cjpeg_grey_q90,
                  "cjpeg -quality 90 -outfile " + file("g.jpg") + " " + file("photo.pgm"))
    ->Name("tool/cjpeg_grey_q90")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(tool, djpeg, "djpeg -outfile " + file("d.ppm") + " " + file("photo.jpg"))
    ->Name("tool/djpeg")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(tool, heif_enc, "heif-enc -q 90 -o " + file("h.heic") + " " + file("photo.png"))
    ->Name("tool/heif_enc_q90")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(tool, vipsthumbnail,
                  "vipsthumbnail " + file("photo.jpg") + " --size 200 -o " + file("t.jpg"))
    ->Name("tool/vipsthumbnail_200")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
    registerPngChoices();
    if (!bench::initialize(argc, argv)) return 1;
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printFigures();
    std::printf("\nMedian of ours as a multiple of the median of the tool or reference:\n");
    reporter.printRatio("ours/jpeg_encode_colour_q90", "tool/cjpeg_colour_q90", "within 1.2x");
    reporter.printRatio("ours/jpeg_encode_grey_q90", "tool/cjpeg_grey_q90", "within 1.2x");
    reporter.printRatio("ours/jpeg_decode", "tool/djpeg", "-");
    reporter.printRatio("ours/jpeg_decode", "reference/turbojpeg_decode_reused_buffer", "-");
    reporter.printRatio("ours/jpeg_decode_recycling", "reference/turbojpeg_decode_reused_buffer",
                        "within 1.1x");
    reporter.printRatio("ours/heic_encode_q90", "tool/heif_enc_q90", "-");
    reporter.printRatio("ours/jpeg_thumbnail_200", "tool/vipsthumbnail_200", "at most 1x");
    for (const PngPicture& picture : kPngPictures)
        for (const PngChoice& choice : pngChoices())
            if (isDefault(choice.compression))
                reporter.printRatio(pngName(picture, choice.name),
                                    pngName(picture, "libpng_default"), "-");
    printPngTable(reporter);
    std::error_code ec;
    fs::remove_all(workFolder(), ec);
    benchmark::Shutdown();
    return 0;
}
