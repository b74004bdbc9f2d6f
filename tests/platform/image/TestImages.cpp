#include "TestImages.h"

#include <png.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "platform/image/PixelConversion.h"

namespace hx::image::test {

namespace {

uint8_t patternValue(int x, int y, int component) {
    return static_cast<uint8_t>((x * 31 + y * 57 + component * 89 + 13) & 255);
}

uint8_t patternAlpha(int x, int y) {
    return static_cast<uint8_t>((x * 47 + y * 23 + 40) & 255);
}

}  // namespace

ImageRef makePattern(PixelFormat format, int width, int height, size_t bytesPerRow, bool opaque) {
    const size_t pixelBytes = bytesPerPixel(format);
    if (bytesPerRow == 0) bytesPerRow = static_cast<size_t>(width) * pixelBytes;
    // Padding is filled with a marker that must never show up in pixels.
    std::vector<uint8_t> pixels(bytesPerRow * static_cast<size_t>(height), 0xEE);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = pixels.data() + bytesPerRow * y + pixelBytes * x;
            for (size_t k = 0; k < pixelBytes; ++k) p[k] = patternValue(x, y, int(k));
            if (format == PixelFormat::RGBA8) {
                p[3] = opaque ? 255 : patternAlpha(x, y);
            } else if (format == PixelFormat::BGRA8) {
                const uint8_t alpha = opaque ? 255 : patternAlpha(x, y);
                for (int k = 0; k < 3; ++k) p[k] = premultiply(p[k], alpha);
                p[3] = alpha;
            }
        }
    }
    return Image::adopt(format, width, height, std::move(pixels), bytesPerRow);
}

ImageRef makeConstant(PixelFormat format, int width, int height,
                      const std::vector<uint8_t>& pixel) {
    std::vector<uint8_t> pixels;
    for (int i = 0; i < width * height; ++i)
        pixels.insert(pixels.end(), pixel.begin(), pixel.end());
    return Image::adopt(format, width, height, std::move(pixels));
}

std::vector<uint8_t> pixelAt(const Image& image, int x, int y) {
    const uint8_t* p = image.row(y) + image.bytesPerPixel() * static_cast<size_t>(x);
    return std::vector<uint8_t>(p, p + image.bytesPerPixel());
}

::testing::AssertionResult samePixels(const Image& expected, const Image& actual) {
    if (expected.pixelFormat() != actual.pixelFormat() || expected.width() != actual.width() ||
        expected.height() != actual.height()) {
        return ::testing::AssertionFailure()
               << "expected " << pixelFormatName(expected.pixelFormat()) << " " << expected.width()
               << "x" << expected.height() << ", got " << pixelFormatName(actual.pixelFormat())
               << " " << actual.width() << "x" << actual.height();
    }
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            const std::vector<uint8_t> want = pixelAt(expected, x, y);
            const std::vector<uint8_t> got = pixelAt(actual, x, y);
            if (want != got) {
                std::ostringstream message;
                message << "pixel (" << x << ", " << y << ") differs: expected";
                for (uint8_t v : want) message << " " << int(v);
                message << ", got";
                for (uint8_t v : got) message << " " << int(v);
                return ::testing::AssertionFailure() << message.str();
            }
        }
    }
    return ::testing::AssertionSuccess();
}

namespace {

void appendToVector(png_structp png, png_bytep data, size_t length) {
    auto* output = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    output->insert(output->end(), data, data + length);
}

void noFlush(png_structp) {}

struct SpecWrite {
    const PngLayout* layout;
    png_colorp palette;
    png_bytepp rows;
};

// Holds no C++ objects that need destroying, so libpng's longjmp may leave it safely.
bool writeSpec(png_structp png, png_infop info, const SpecWrite* job) {
    if (setjmp(png_jmpbuf(png))) return false;
    const PngLayout& layout = *job->layout;
    png_set_IHDR(png, info, layout.width, layout.height, layout.bitDepth, layout.colorType,
                 layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (job->palette != nullptr) {
        png_set_PLTE(png, info, job->palette, static_cast<int>(layout.palette.size() / 3));
    }
    if (!layout.paletteAlpha.empty()) {
        png_set_tRNS(png, info, layout.paletteAlpha.data(),
                     static_cast<int>(layout.paletteAlpha.size()), nullptr);
    }
    if (layout.hasTransparentColour) {
        png_color_16 colour{};
        colour.gray = layout.transparentGrey;
        colour.red = layout.transparentRed;
        colour.green = layout.transparentGreen;
        colour.blue = layout.transparentBlue;
        png_set_tRNS(png, info, nullptr, 0, &colour);
    }
    png_write_info(png, info);
    png_write_image(png, job->rows);
    png_write_end(png, info);
    return true;
}

}  // namespace

std::vector<uint8_t> encodeWithLibpng(const PngLayout& layout) {
    std::vector<uint8_t> output;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &output, appendToVector, noFlush);

    std::vector<png_color> palette;
    for (size_t i = 0; i + 2 < layout.palette.size(); i += 3) {
        palette.push_back({layout.palette[i], layout.palette[i + 1], layout.palette[i + 2]});
    }
    const size_t rowBytes = layout.rows.size() / static_cast<size_t>(layout.height);
    std::vector<png_bytep> rows;
    for (int y = 0; y < layout.height; ++y) {
        rows.push_back(const_cast<png_bytep>(layout.rows.data()) + rowBytes * y);
    }
    const SpecWrite job{&layout, palette.empty() ? nullptr : palette.data(), rows.data()};
    const bool written = writeSpec(png, info, &job);
    png_destroy_write_struct(&png, &info);
    if (!written) throw std::runtime_error("libpng could not write the test PNG");
    return output;
}

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace hx::image::test
