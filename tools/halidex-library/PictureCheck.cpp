#include "tools/halidex-library/PictureCheck.h"

#include <new>

#include "platform/image/ImageLimits.h"
#include "platform/image/ImageTypes.h"
#include "platform/image/heic/HeicCodec.h"
#include "platform/image/io/PngInfo.h"
#include "platform/image/jpeg/JpegCodec.h"
#include "platform/image/png/PngCodec.h"
#include "platform/image/tiff/TiffCodec.h"

namespace hx::library_tool {

namespace {

// A long side this small makes the JPEG decoder scale by 1/8 for any camera picture.
constexpr int kJpegCheckSide = 64;

struct Size {
    uint64_t width = 0, height = 0;
    std::string error;
};

Size storedSize(const std::string& type, const uint8_t* data, size_t size) {
    Size result;
    auto take = [&](const auto& info) {
        if (info) {
            result.width = uint64_t(info->width);
            result.height = uint64_t(info->height);
        }
    };
    if (type == image::kUTTypeJPEG) take(image::probeJpeg(data, size, &result.error));
    if (type == image::kUTTypeTIFF) take(image::probeTiff(data, size, &result.error));
    if (type == image::kUTTypePNG) take(image::probePng(data, size, &result.error));
    if (type == image::kUTTypeHEIC) take(image::probeHeic(data, size, &result.error));
    return result;
}

}  // namespace

std::string pictureProblem(const std::vector<uint8_t>& bytes) {
    const uint8_t* data = bytes.data();
    const size_t size = bytes.size();
    const std::string type = image::typeOfData(data, size);
    if (type.empty()) return "it is not a JPEG, PNG, TIFF or HEIC picture";
    const Size stored = storedSize(type, data, size);
    if (stored.width == 0 || stored.height == 0) return stored.error;
    if (stored.width * stored.height > image::decodePixelLimit()) {
        return "it is " + std::to_string(stored.width) + "x" + std::to_string(stored.height) +
               " pixels, more than the limit of " + std::to_string(image::decodePixelLimit()) +
               " (--max-pixels N raises it)";
    }
    std::string error;
    image::ImageRef decoded;
    try {
        if (type == image::kUTTypeJPEG)
            decoded = image::decodeJpeg(data, size, kJpegCheckSide, &error);
        if (type == image::kUTTypeTIFF) decoded = image::decodeTiff(data, size, 0, &error);
        if (type == image::kUTTypePNG) decoded = image::readPng(data, size, &error);
        if (type == image::kUTTypeHEIC) decoded = image::decodeHeic(data, size, 0, &error);
    } catch (const std::bad_alloc&) {
        return "out of memory while decoding it";
    }
    if (!decoded) return error.empty() ? "its pixels cannot be read" : error;
    return {};
}

}  // namespace hx::library_tool
