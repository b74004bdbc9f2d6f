#include "platform/image/ImageTypes.h"

#include <algorithm>
#include <cstring>

namespace hx::image {

std::string typeOfData(const uint8_t* data, size_t size) {
    if (!data) return {};
    auto startsWith = [&](const char* magic, size_t length, size_t at = 0) {
        return size >= at + length && std::memcmp(data + at, magic, length) == 0;
    };
    if (startsWith("\xff\xd8\xff", 3)) return kUTTypeJPEG;
    if (startsWith("\x89PNG\r\n\x1a\n", 8)) return kUTTypePNG;
    if (startsWith("II*\0", 4) || startsWith("MM\0*", 4)) return kUTTypeTIFF;
    // An ISO media file whose brand is one of the HEIF still-image brands.
    if (startsWith("ftyp", 4, 4) && size >= 12) {
        static const char* const kBrands[] = {"heic", "heix", "heim", "heis", "mif1", "msf1"};
        for (const char* brand : kBrands)
            if (startsWith(brand, 4, 8)) return kUTTypeHEIC;
    }
    return {};
}

std::string typeForPath(const std::string& path) {
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (ext == "jpg" || ext == "jpeg") return kUTTypeJPEG;
    if (ext == "tif" || ext == "tiff") return kUTTypeTIFF;
    if (ext == "heic" || ext == "heif") return kUTTypeHEIC;
    if (ext == "png") return kUTTypePNG;
    return {};
}

bool isSupportedType(const std::string& type) {
    return type == kUTTypeJPEG || type == kUTTypeTIFF || type == kUTTypeHEIC || type == kUTTypePNG;
}

}  // namespace hx::image
