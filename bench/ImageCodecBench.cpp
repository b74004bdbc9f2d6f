// Encoding and decoding a 4032 × 3024 photo through the image layer, next to the same work done
// by the Debian command-line tools in the same run. Prints each of ours as a ratio to its tool.
// The tools' times include starting the process and reading and writing files; ours work in
// memory, as the camera does.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "bench/RatioReporter.h"
#include "platform/bundle/Bundle.h"
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
HX_BENCH(thumbnailJpeg, "ours/jpeg_thumbnail_200");
HX_BENCH(resampleTo200, "ours/resample_rgb_to_200");
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
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nOurs as a multiple of the tool's time:\n");
    reporter.printRatio("ours/jpeg_encode_colour_q90", "tool/cjpeg_colour_q90", "within 1.2x");
    reporter.printRatio("ours/jpeg_encode_grey_q90", "tool/cjpeg_grey_q90", "within 1.2x");
    reporter.printRatio("ours/jpeg_decode", "tool/djpeg", "-");
    reporter.printRatio("ours/heic_encode_q90", "tool/heif_enc_q90", "-");
    reporter.printRatio("ours/jpeg_thumbnail_200", "tool/vipsthumbnail_200", "at most 1x");
    std::error_code ec;
    fs::remove_all(workFolder(), ec);
    benchmark::Shutdown();
    return 0;
}
