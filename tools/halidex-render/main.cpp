// halidex-render: renders pictures through the camera's films exactly as a captured photo of
// that film is rendered and read back.

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "core/film/FilmRenderer.h"
#include "platform/bundle/Bundle.h"
#include "platform/image/ImageLimits.h"
#include "platform/image/ImageTypes.h"
#include "platform/image/PixelConversion.h"
#include "platform/image/io/ImageDestination.h"
#include "platform/image/io/ImageSource.h"
#include "platform/log/CaptureScope.h"
#include "tools/ExitStatus.h"

namespace {

using namespace hx;

using tools::kExitBadInput;
using tools::kExitFailure;
using tools::printable;

void printUsage(FILE* out) {
    std::fputs(
        "usage: halidex-render --film N [--frame F] [--front] [--quality Q] [--max-pixels N]\n"
        "                      [--] INPUT OUTPUT\n"
        "       halidex-render --all-films [--frame F] [--front] [--input INPUT]\n"
        "                      [--max-pixels N] OUTDIR\n"
        "       halidex-render --list-films\n"
        "       halidex-render --gpu-info\n"
        "\n"
        "  --film N      film 0 to 12 (0-8 monochrome, 9-12 colour)\n"
        "  --frame F     crop as frame mode F: 1 = 2:3, 2 = square, 3 = 16:9, 4 = 17:6;\n"
        "                anything else keeps the whole picture (default)\n"
        "  --front       render as a photo of the front camera (mirrored top to bottom)\n"
        "  --quality Q   JPEG and HEIC quality from 0 to 1 (default 0.9)\n"
        "  --all-films   render every film into OUTDIR as PNG (default input: the built-in\n"
        "                sample)\n"
        "  --list-films  print the film table\n"
        "  --gpu-info    print the GPU backend the renders run on (HALIDEX_GPU=cpu|gl|auto\n"
        "                picks it), with EGL's vendor, the renderer and the GL version\n"
        "  --max-pixels N\n"
        "                refuse input pictures of more than N pixels (default 100000000,\n"
        "                at most 268435456)\n"
        "  --            what follows is a file name, even when it starts with -\n"
        "Files are JPEG, TIFF, HEIC or PNG, chosen by the extension (.jpg, .tif, .heic, .png).\n"
        "Monochrome films write 8-bit grey pictures (RGB in HEIC), colour films RGB. The output\n"
        "keeps the input's metadata and orientation.\n",
        out);
}

int fail(int status, const std::string& message) {
    std::fprintf(stderr, "halidex-render: %s\n", message.c_str());
    return status;
}

int fail(const std::string& message) {
    return fail(kExitBadInput, message);
}

// The cause the image reader or writer logged last, without its "Image source: " prefix and
// without the file name it repeats, so that the tool's one line says it once.
std::string loggedCause(const log::CaptureScope& capture, const std::string& path) {
    const std::vector<std::string> messages = capture.messages();
    if (messages.empty()) return "unknown error";
    std::string cause = messages.back();
    if (size_t colon = cause.find(": ");
        colon != std::string::npos && cause.compare(0, 6, "Image ") == 0)
        cause.erase(0, colon + 2);
    for (const std::string& lead : {"cannot read " + path + ": ", "cannot write " + path + ": "})
        if (cause.compare(0, lead.size(), lead) == 0) cause.erase(0, lead.size());
    return printable(cause);
}

// Why `path` cannot be read as an input file, before any decoding; empty when it can be opened.
std::string inputFileProblem(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec) return ec.message();
    if (std::filesystem::is_directory(status)) return "it is a folder, not a picture";
    if (!std::filesystem::is_regular_file(status)) return "it is not a regular file";
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        std::fclose(file);
    } else {
        return std::strerror(errno);
    }
    if (std::filesystem::file_size(path, ec) == 0 && !ec) return "the file is empty";
    return {};
}

bool parseInt(std::string_view text, int* value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parseCount(std::string_view text, uint64_t* value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return ec == std::errc() && end == text.data() + text.size();
}

const char* toneTableName(const film::ToneTable* table) {
    if (table == &film::toneTableStrongS) return "strong S";
    if (table == &film::toneTableSoft) return "soft";
    if (table == &film::toneTableLifted) return "lifted";
    if (table == &film::toneTableHard) return "hard";
    if (table == &film::toneTableDark) return "dark";
    if (table == &film::toneTableLinear) return "linear";
    return "-";
}

// The backend HALIDEX_GPU led to, or why the one it named cannot be had (status 2).
int printGpuInfo() {
    gpu::DeviceRef device = gpu::createSystemDefaultDevice();
    const std::string problem = gpu::systemDeviceProblem();
    if (!problem.empty()) return fail("GPU backend " + problem);
    const gpu::DeviceDescription d = gpu::describeDevice(*device);
    std::printf("backend: %s\n", d.backend.c_str());
    if (d.backend == "gl") {
        std::printf("EGL platform: %s\n", d.platform.c_str());
        std::printf("EGL vendor: %s\n", d.eglVendor.c_str());
        std::printf("vendor: %s\n", d.vendor.c_str());
        std::printf("renderer: %s%s\n", d.renderer.c_str(), d.software ? " (software)" : "");
        std::printf("version: %s\n", d.version.c_str());
    } else {
        std::printf("renderer: %s\n", device->name().c_str());
    }
    return 0;
}

void listFilms() {
    std::printf("%-5s %-10s %-9s %-27s %-9s %-6s %s\n", "film", "kind", "tone", "channel mix",
                "sharpen", "soften", "lookup");
    for (int f = 0; f < film::kFilmCount; ++f) {
        const auto& p = film::filmParameters(f);
        char mix[64], sharpen[16];
        std::snprintf(mix, sizeof mix, "(%.4f, %.4f, %.4f)", double(p.channelMix[0]),
                      double(p.channelMix[1]), double(p.channelMix[2]));
        std::snprintf(sharpen, sizeof sharpen, "%s", p.sharpen ? "" : "off");
        if (p.sharpen) std::snprintf(sharpen, sizeof sharpen, "%.1f", double(p.sharpness));
        bool color = film::isColorFilm(f);
        std::printf("%-5d %-10s %-9s %-27s %-9s %-6s %s\n", f, color ? "colour" : "monochrome",
                    color ? "-" : toneTableName(p.toneTable), color ? "-" : mix, sharpen,
                    p.soften ? "on" : "off", color ? p.lookupImage : "-");
    }
}

// The picture as the camera would hand it over: a BGRA pixel buffer.
gpu::PixelBufferRef photoFromImage(const image::ImageRef& picture) {
    gpu::PixelBufferRef buffer;
    if (gpu::PixelBuffer::create(size_t(picture->width()), size_t(picture->height()),
                                 gpu::PixelFormatType32BGRA, {true, true, true}, &buffer))
        return nullptr;
    for (int y = 0; y < picture->height(); ++y)
        image::convertPixels(picture->pixelFormat(), picture->row(y), image::PixelFormat::BGRA8,
                             buffer->baseAddress() + size_t(y) * buffer->bytesPerRow(),
                             size_t(picture->width()));
    return buffer;
}

struct Job {
    int frame = 0;
    bool front = false;
    double quality = 0.9;
};

// The input's metadata for the rendered picture: same orientation and tags, new pixel sizes.
image::PropertyDictionary outputProperties(const image::PropertyDictionary& input,
                                           const image::Image& result, const Job& job) {
    image::PropertyDictionary properties = input;
    for (const char* key : {image::kCGImagePropertyPixelWidth, image::kCGImagePropertyPixelHeight,
                            image::kCGImagePropertyDepth, image::kCGImagePropertyColorModel})
        properties.remove(key);
    image::PropertyDictionary exif = input.dictionary(image::kCGImagePropertyExifDictionary);
    exif.set(image::kCGImagePropertyExifPixelXDimension, result.width());
    exif.set(image::kCGImagePropertyExifPixelYDimension, result.height());
    properties.set(image::kCGImagePropertyExifDictionary, exif);
    properties.set(image::kCGImageDestinationLossyCompressionQuality, job.quality);
    return properties;
}

struct Problem {
    int status = 0;
    std::string message;  // empty when there is none
};

// Renders one film and writes the file; the problem when it cannot: a film resource that is
// missing or damaged is bad input, like a damaged picture; a file that cannot be written is a
// failure of the work.
Problem renderFilm(film::hxFilmRenderer& renderer, const gpu::PixelBufferRef& photo, int film,
                   const Job& job, const image::PropertyDictionary& metadata,
                   const std::string& output) {
    renderer._currentFrame = job.frame;
    renderer._currentCameraPosition = job.front ? 2 : 1;
    renderer.selectFilm(film);
    // The renderer would show such a film's colours unchanged; a picture asked for through a
    // film must have that film's look or not be written.
    if (!renderer.missingFilmResource().empty())
        return {kExitBadInput, "film " + std::to_string(film) +
                                   " cannot be rendered: " + renderer.missingFilmResource()};
    image::ImageRef result = renderer.renderPhoto(photo);
    if (!result) return {kExitFailure, "rendering failed"};
    if (result->pixelFormat() == image::PixelFormat::BGRA8)
        result = image::convert(result, image::PixelFormat::RGB8);
    if (!result) return {kExitFailure, "out of memory"};
    log::CaptureScope capture;
    auto destination =
        image::ImageDestination::createWithURL(output, image::typeForPath(output), 1);
    if (!destination) return {kExitBadInput, "cannot write " + printable(output)};
    destination->addImage(result, outputProperties(metadata, *result, job));
    // The destination writes a temporary file and renames it into place, so a failure (a full
    // disk, a read-only folder) leaves neither a partial picture nor a changed old one.
    if (!destination->finalize())
        return {kExitFailure,
                "cannot write " + printable(output) + ": " + loggedCause(capture, output)};
    return {};
}

// A picture larger than the decode limit is refused from its header, before any decoding.
std::string sizeProblem(const image::ImageSource& source, const std::string& input) {
    const image::PropertyDictionary properties = source.copyPropertiesAtIndex(0);
    const uint64_t width =
        uint64_t(properties.integer(image::kCGImagePropertyPixelWidth).value_or(0));
    const uint64_t height =
        uint64_t(properties.integer(image::kCGImagePropertyPixelHeight).value_or(0));
    if (width * height <= image::decodePixelLimit()) return {};
    return printable(input) + " is " + std::to_string(width) + "x" + std::to_string(height) +
           " pixels, more than the limit of " + std::to_string(image::decodePixelLimit()) +
           " (--max-pixels N raises it)";
}

int renderMain(int argc, char** argv) {
    image::setDecodePixelLimit(image::kToolDecodePixels);
    int filmIndex = -1;
    bool allFilms = false;
    Job job;
    std::string input;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (optionsEnded) {
            positional.emplace_back(arg);
            continue;
        }
        auto value = [&](const char* what) -> const char* {
            if (i + 1 >= argc) return nullptr;
            (void)what;
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            printUsage(stdout);
            return 0;
        } else if (arg == "--list-films") {
            listFilms();
            return 0;
        } else if (arg == "--gpu-info") {
            return printGpuInfo();
        } else if (arg == "--film") {
            const char* v = value("film");
            if (!v || !parseInt(v, &filmIndex) || filmIndex < 0 || filmIndex >= film::kFilmCount)
                return fail("--film needs a number from 0 to 12");
        } else if (arg == "--frame") {
            const char* v = value("frame");
            if (!v || !parseInt(v, &job.frame)) return fail("--frame needs a whole number");
        } else if (arg == "--quality") {
            const char* v = value("quality");
            char* end = nullptr;
            job.quality = v ? std::strtod(v, &end) : -1;
            if (!v || end == v || *end || !(job.quality >= 0 && job.quality <= 1))
                return fail("--quality needs a number from 0 to 1");
        } else if (arg == "--front") {
            job.front = true;
        } else if (arg == "--all-films") {
            allFilms = true;
        } else if (arg == "--max-pixels") {
            const char* v = value("max-pixels");
            uint64_t pixels = 0;
            if (!v || !parseCount(v, &pixels) || pixels == 0 || pixels > image::kMaxDecodePixels)
                return fail("--max-pixels needs a number from 1 to " +
                            std::to_string(image::kMaxDecodePixels));
            image::setDecodePixelLimit(pixels);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--input") {
            const char* v = value("input");
            if (!v) return fail("--input needs a file");
            input = v;
        } else if (arg.size() > 1 && arg[0] == '-') {
            printUsage(stderr);
            return fail("unknown option " + printable(arg));
        } else {
            positional.emplace_back(arg);
        }
    }

    std::string output;
    if (allFilms) {
        if (positional.size() > 1) return fail("--all-films takes one output folder");
        output = positional.empty() ? "out" : positional[0];
        if (input.empty()) {
            auto sample = Bundle::main().pathForResource("sample.png");
            if (!sample)
                return fail("the built-in sample photo is missing from " +
                            Bundle::main().resourcePath());
            input = *sample;
        }
    } else {
        if (filmIndex < 0) {
            printUsage(stderr);
            return fail("choose a film with --film N (or --all-films)");
        }
        if (positional.size() != 2) {
            printUsage(stderr);
            return fail("give one input and one output file");
        }
        input = positional[0];
        output = positional[1];
        if (image::typeForPath(output).empty())
            return fail("the output must end in .jpg, .jpeg, .tif, .tiff, .heic, .heif or .png");
        // An output that cannot be written fails the work (status 1), whether its folder is
        // missing, read-only or full; a missing folder is found before any rendering.
        const std::filesystem::path folder = std::filesystem::path(output).parent_path();
        std::error_code ec;
        if (!folder.empty() && !std::filesystem::is_directory(folder, ec))
            return fail(kExitFailure, "cannot write " + printable(output) + ": the folder " +
                                          printable(folder.string()) + " does not exist");
    }

    if (std::string problem = inputFileProblem(input); !problem.empty())
        return fail("cannot read " + printable(input) + ": " + problem);
    std::shared_ptr<image::ImageSource> source;
    image::ImageRef picture;
    {
        // What the reader logs becomes the cause in the tool's one line.
        log::CaptureScope capture;
        source = image::ImageSource::createWithURL(input);
        if (source) {
            if (std::string problem = sizeProblem(*source, input); !problem.empty())
                return fail(problem);
        }
        picture = source ? source->createImageAtIndex(0) : nullptr;
        if (!picture)
            return fail("cannot read " + printable(input) + ": " + loggedCause(capture, input));
    }
    const image::PropertyDictionary metadata = source->copyPropertiesAtIndex(0);
    gpu::PixelBufferRef photo = photoFromImage(picture);
    if (!photo) return fail(printable(input) + " is too large to render");

    // A backend asked for by name that cannot be had is an error here, not a quiet fallback:
    // whoever asked wants to know what the pictures were rendered on.
    if (std::string problem = gpu::systemDeviceProblem(); !problem.empty())
        return fail("GPU backend " + problem);
    film::hxFilmRenderer renderer;
    renderer._photoWidth = picture->width();
    renderer._photoHeight = picture->height();
    renderer.setupOfflineWidth(renderer._photoWidth, renderer._photoHeight);

    if (!allFilms) {
        Problem problem = renderFilm(renderer, photo, filmIndex, job, metadata, output);
        if (problem.status) return fail(problem.status, problem.message);
        std::printf("%s\n", printable(output).c_str());
        return 0;
    }

    std::error_code ec;
    std::filesystem::create_directories(output, ec);
    if (ec) return fail(kExitFailure, "cannot create " + printable(output) + ": " + ec.message());
    std::printf("Rendering %s through %d films into %s/\n", input.c_str(), film::kFilmCount,
                output.c_str());
    for (int f = 0; f < film::kFilmCount; ++f) {
        std::string path = output + "/film_" + std::to_string(f) + ".png";
        Problem problem = renderFilm(renderer, photo, f, job, metadata, path);
        if (problem.status) return fail(problem.status, problem.message);
        std::printf("  film %2d  %s\n", f, path.c_str());
    }
    return 0;
}

}  // namespace

// Whatever reaches here (memory running out where nothing expected it) ends the program with a
// message and status 1 rather than an abort.
int main(int argc, char** argv) {
    try {
        return renderMain(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "halidex-render: out of memory\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "halidex-render: %s\n", e.what());
    }
    return 1;
}
