#include "platform/image/png/PngCodec.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "platform/image/FileIO.h"
#include "platform/image/PixelConversion.h"

namespace hx::image {
namespace {

// libpng reports errors by longjmp. It only ever jumps back into runGuarded(), and everything
// between that frame and libpng (the steps below and the I/O callbacks) holds plain data only,
// so no destructor is ever skipped. The C++ objects that own libpng's structures and the pixel
// memory live in the callers of runGuarded().

struct PngMessage {
    char text[256];
};

[[noreturn]] void recordError(png_structp png, png_const_charp message) {
    auto* target = static_cast<PngMessage*>(png_get_error_ptr(png));
    if (target != nullptr) {
        std::snprintf(target->text, sizeof target->text, "%s",
                      message != nullptr ? message : "unknown libpng error");
    }
    png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

template <typename Argument>
bool runGuarded(png_structp png, void (*step)(png_structp, Argument*), Argument* argument) {
    if (setjmp(png_jmpbuf(png))) return false;
    step(png, argument);
    return true;
}

void setError(std::string* error, std::string message) {
    if (error != nullptr) *error = std::move(message);
}

// ---- Decoding -----------------------------------------------------------------------------

struct PngInput {
    const uint8_t* bytes;
    size_t size;
    size_t offset;
};

void readFromMemory(png_structp png, png_bytep destination, size_t length) {
    auto* input = static_cast<PngInput*>(png_get_io_ptr(png));
    if (length > input->size - input->offset) png_error(png, "the data ends early (truncated)");
    std::memcpy(destination, input->bytes + input->offset, length);
    input->offset += length;
}

struct PngLayout {
    png_uint_32 width;
    png_uint_32 height;
    int channels;
    size_t rowBytes;
};

struct LayoutStepArgument {
    png_infop info;
    PngLayout layout;
};

// Reads the header and asks libpng for 8-bit grey, RGB or RGBA rows.
void readLayoutStep(png_structp png, LayoutStepArgument* argument) {
    png_infop info = argument->info;
    PngLayout* layout = &argument->layout;
    png_read_info(png, info);
    const int colorType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    const bool hasTransparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (hasTransparency) png_set_tRNS_to_alpha(png);
    if (bitDepth == 16) png_set_scale_16(png);
    const bool isColour = (colorType & PNG_COLOR_MASK_COLOR) != 0;
    if (!isColour && (hasTransparency || (colorType & PNG_COLOR_MASK_ALPHA) != 0)) {
        png_set_gray_to_rgb(png);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    layout->width = png_get_image_width(png, info);
    layout->height = png_get_image_height(png, info);
    layout->channels = png_get_channels(png, info);
    layout->rowBytes = png_get_rowbytes(png, info);
}

struct PngRows {
    png_bytepp rows;
};

void readRowsStep(png_structp png, PngRows* rows) {
    png_read_image(png, rows->rows);
    png_read_end(png, nullptr);
}

class PngReadHandle {
  public:
    PngReadHandle(PngInput* input, PngMessage* message) {
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, message, recordError, ignoreWarning);
        if (png_ == nullptr) return;
        info_ = png_create_info_struct(png_);
        png_set_read_fn(png_, input, readFromMemory);
    }
    ~PngReadHandle() {
        if (png_ != nullptr)
            png_destroy_read_struct(&png_, info_ != nullptr ? &info_ : nullptr, nullptr);
    }
    PngReadHandle(const PngReadHandle&) = delete;
    PngReadHandle& operator=(const PngReadHandle&) = delete;

    bool isValid() const { return png_ != nullptr && info_ != nullptr; }
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

  private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

PixelFormat formatForChannels(int channels) {
    switch (channels) {
        case 1:
            return PixelFormat::Grey8;
        case 3:
            return PixelFormat::RGB8;
        default:
            return PixelFormat::RGBA8;
    }
}

// ---- Encoding -----------------------------------------------------------------------------

bool appendBytes(std::vector<uint8_t>& output, const uint8_t* data, size_t length) noexcept {
    try {
        output.insert(output.end(), data, data + length);
        return true;
    } catch (...) {
        return false;
    }
}

void writeToVector(png_structp png, png_bytep data, size_t length) {
    auto* output = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    if (!appendBytes(*output, data, length)) png_error(png, "out of memory");
}

void flushNothing(png_structp) {}

struct PngEncodeJob {
    png_infop info;
    const Image* image;
    int colorType;
    uint8_t* scratch;  // one RGBA row when the image is BGRA8, else null
    int filters;       // libpng's filter mask
    int level;
    int strategy;  // zlib's
};

int filterMask(PngCompression::Filter filter) {
    switch (filter) {
        case PngCompression::Filter::None:
            return PNG_FILTER_NONE;
        case PngCompression::Filter::Sub:
            return PNG_FILTER_SUB;
        case PngCompression::Filter::Up:
            return PNG_FILTER_UP;
        case PngCompression::Filter::Average:
            return PNG_FILTER_AVG;
        case PngCompression::Filter::Paeth:
            return PNG_FILTER_PAETH;
        case PngCompression::Filter::Adaptive:
            return PNG_ALL_FILTERS;
    }
    return PNG_ALL_FILTERS;
}

void writeStep(png_structp png, PngEncodeJob* job) {
    const Image& image = *job->image;
    png_set_IHDR(png, job->info, static_cast<png_uint_32>(image.width()),
                 static_cast<png_uint_32>(image.height()), 8, job->colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, job->filters);
    png_set_compression_level(png, job->level);
    png_set_compression_strategy(png, job->strategy);
    png_set_sRGB_gAMA_and_cHRM(png, job->info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_write_info(png, job->info);
    for (int y = 0; y < image.height(); ++y) {
        const uint8_t* row = image.row(y);
        if (job->scratch != nullptr) {
            convertPixels(PixelFormat::BGRA8, row, PixelFormat::RGBA8, job->scratch,
                          static_cast<size_t>(image.width()));
            row = job->scratch;
        }
        png_write_row(png, row);
    }
    png_write_end(png, job->info);
}

class PngWriteHandle {
  public:
    PngWriteHandle(std::vector<uint8_t>* output, PngMessage* message) {
        png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, message, recordError, ignoreWarning);
        if (png_ == nullptr) return;
        info_ = png_create_info_struct(png_);
        png_set_write_fn(png_, output, writeToVector, flushNothing);
    }
    ~PngWriteHandle() {
        if (png_ != nullptr) png_destroy_write_struct(&png_, info_ != nullptr ? &info_ : nullptr);
    }
    PngWriteHandle(const PngWriteHandle&) = delete;
    PngWriteHandle& operator=(const PngWriteHandle&) = delete;

    bool isValid() const { return png_ != nullptr && info_ != nullptr; }
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

  private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

int colorTypeFor(PixelFormat format) {
    switch (format) {
        case PixelFormat::Grey8:
            return PNG_COLOR_TYPE_GRAY;
        case PixelFormat::RGB8:
            return PNG_COLOR_TYPE_RGB;
        case PixelFormat::BGRA8:
        case PixelFormat::RGBA8:
            return PNG_COLOR_TYPE_RGB_ALPHA;
    }
    return -1;
}

}  // namespace

ImageRef readPng(const uint8_t* bytes, size_t size, std::string* error) {
    constexpr size_t kSignatureBytes = 8;
    if (bytes == nullptr || size < kSignatureBytes || png_sig_cmp(bytes, 0, kSignatureBytes) != 0) {
        setError(error, "not a PNG file (no PNG signature)");
        return nullptr;
    }
    PngInput input{bytes, size, 0};
    PngMessage message{};
    PngReadHandle handle(&input, &message);
    if (!handle.isValid()) {
        setError(error, "cannot start the PNG decoder (out of memory)");
        return nullptr;
    }

    LayoutStepArgument layoutStepArgument{handle.info(), {}};
    if (!runGuarded(handle.png(), readLayoutStep, &layoutStepArgument)) {
        setError(error, std::string("invalid PNG data: ") + message.text);
        return nullptr;
    }
    const PngLayout& layout = layoutStepArgument.layout;
    if (!decodeSizeAllowed(layout.width, layout.height)) {
        setError(error, "PNG image is too large (" + std::to_string(layout.width) + "x" +
                            std::to_string(layout.height) + ")");
        return nullptr;
    }
    const PixelFormat format = formatForChannels(layout.channels);
    const int width = static_cast<int>(layout.width);
    const int height = static_cast<int>(layout.height);
    if (layout.rowBytes != static_cast<size_t>(width) * bytesPerPixel(format)) {
        setError(error, "unsupported PNG layout (" + std::to_string(layout.channels) +
                            " channels, " + std::to_string(layout.rowBytes) + " bytes per row)");
        return nullptr;
    }

    std::vector<uint8_t> pixels;
    std::vector<png_bytep> rowPointers;
    try {
        pixels.resize(layout.rowBytes * layout.height);
        rowPointers.resize(layout.height);
    } catch (const std::bad_alloc&) {
        setError(error, "out of memory for a " + std::to_string(width) + "x" +
                            std::to_string(height) + " PNG image");
        return nullptr;
    }
    for (size_t y = 0; y < rowPointers.size(); ++y) {
        rowPointers[y] = pixels.data() + y * layout.rowBytes;
    }
    PngRows rows{rowPointers.data()};
    if (!runGuarded(handle.png(), readRowsStep, &rows)) {
        setError(error, std::string("invalid PNG data: ") + message.text);
        return nullptr;
    }
    ImageRef image = Image::adopt(format, width, height, std::move(pixels), layout.rowBytes);
    if (!image) setError(error, "out of memory for the decoded PNG image");
    return image;
}

ImageRef readPng(const std::string& path, std::string* error) {
    std::vector<uint8_t> contents;
    std::string readError;
    if (!readFileContents(path, contents, &readError)) {
        setError(error, std::move(readError));
        return nullptr;
    }
    std::string decodeError;
    ImageRef image = readPng(contents.data(), contents.size(), &decodeError);
    if (!image) setError(error, "'" + path + "': " + decodeError);
    return image;
}

bool writePng(const Image& image, std::vector<uint8_t>& output, std::string* error) {
    return writePng(image, output, error, PngCompression{});
}

bool writePng(const Image& image, std::vector<uint8_t>& output, std::string* error,
              const PngCompression& compression) {
    if (compression.level < 0 || compression.level > 9) {
        setError(error, "PNG compression level " + std::to_string(compression.level) +
                            " is outside 0...9");
        return false;
    }
    const int colorType = colorTypeFor(image.pixelFormat());
    if (colorType < 0) {
        setError(error, "cannot encode a PNG from an invalid pixel format");
        return false;
    }
    std::vector<uint8_t> encoded;
    std::vector<uint8_t> scratch;
    try {
        encoded.reserve(1024);
        if (image.pixelFormat() == PixelFormat::BGRA8) {
            scratch.resize(static_cast<size_t>(image.width()) * 4);
        }
    } catch (const std::bad_alloc&) {
        setError(error, "out of memory while encoding a PNG");
        return false;
    }
    PngMessage message{};
    PngWriteHandle handle(&encoded, &message);
    if (!handle.isValid()) {
        setError(error, "cannot start the PNG encoder (out of memory)");
        return false;
    }
    PngEncodeJob job{handle.info(),
                     &image,
                     colorType,
                     scratch.empty() ? nullptr : scratch.data(),
                     filterMask(compression.filter),
                     compression.level,
                     compression.filteredStrategy ? Z_FILTERED : Z_DEFAULT_STRATEGY};
    if (!runGuarded(handle.png(), writeStep, &job)) {
        setError(error, std::string("PNG encoding failed: ") + message.text);
        return false;
    }
    output = std::move(encoded);
    return true;
}

bool writePng(const Image& image, const std::string& path, std::string* error) {
    std::vector<uint8_t> encoded;
    std::string encodeError;
    if (!writePng(image, encoded, &encodeError)) {
        setError(error, "'" + path + "': " + encodeError);
        return false;
    }
    return writeFileAtomically(path, encoded.data(), encoded.size(), error);
}

}  // namespace hx::image
