#include "platform/photos/store/ImageFileInfo.h"

#include <cstdio>
#include <ctime>

#include "platform/image/PropertyDictionary.h"
#include "platform/image/io/ImageSource.h"

namespace hx::photos {

std::optional<ImageFileInfo> inspectImageFile(std::shared_ptr<const std::vector<uint8_t>> bytes) {
    if (!bytes || bytes->empty()) return std::nullopt;
    auto source = image::ImageSource::createWithData(std::move(bytes));
    if (!source) return std::nullopt;
    image::PropertyDictionary properties = source->copyPropertiesAtIndex(0);
    if (properties.empty()) return std::nullopt;
    ImageFileInfo info;
    info.typeIdentifier = source->type();
    info.pixelWidth = int(properties.integer(image::kCGImagePropertyPixelWidth).value_or(0));
    info.pixelHeight = int(properties.integer(image::kCGImagePropertyPixelHeight).value_or(0));
    int orientation = int(properties.integer(image::kCGImagePropertyOrientation).value_or(1));
    info.orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
    if (info.pixelWidth <= 0 || info.pixelHeight <= 0) return std::nullopt;
    auto taken = properties.dictionary(image::kCGImagePropertyExifDictionary)
                     .string(image::kCGImagePropertyExifDateTimeOriginal);
    if (taken) info.dateTaken = parseExifDate(*taken);
    return info;
}

std::optional<double> parseExifDate(const std::string& text) {
    std::tm tm{};
    if (std::sscanf(text.c_str(), "%d:%d:%d %d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec) != 6) {
        return std::nullopt;
    }
    if (tm.tm_year < 1 || tm.tm_mon < 1 || tm.tm_mon > 12 || tm.tm_mday < 1) return std::nullopt;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    std::time_t time = std::mktime(&tm);
    if (time == std::time_t(-1)) return std::nullopt;
    return double(time);
}

std::string extensionForType(const std::string& type) {
    if (type == "public.jpeg") return "jpg";
    if (type == "public.png") return "png";
    if (type == "public.tiff") return "tiff";
    if (type == "public.heic") return "heic";
    return "dat";
}

}  // namespace hx::photos
