// Encoding of captured photos with the JPEG fallback.

#include "app/capture/PhotoEncoding.h"

#include <mutex>
#include <string>

#include "platform/image/heic/HeicCodec.h"
#include "platform/image/io/ImageDestination.h"
#include "platform/log/Log.h"

namespace hx::app {

using namespace hx::image;

namespace {

std::mutex probeMutex;
std::optional<bool> probeAnswer;

std::mutex observerMutex;
std::function<void(const EncodedPhoto&)> encodedObserver;

bool probeHevcEncoder() {
    auto picture = Image::adopt(PixelFormat::Grey8, 16, 16, std::vector<uint8_t>(16 * 16, 128));
    if (!picture) return false;
    std::vector<uint8_t> out;
    std::string error;
    if (encodeHeic(*picture, HeicEncodeOptions{}, out, &error) && !out.empty()) return true;
    hxLog("No HEVC encoder: %s", error.c_str());
    return false;
}

std::shared_ptr<const std::vector<uint8_t>> encodeAs(const ImageRef& picture,
                                                     const PropertyDictionary& metadata,
                                                     PhotoFormat format) {
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    auto destination = ImageDestination::createWithData(bytes.get(), photoFormatType(format), 1);
    if (!destination) return nullptr;
    PropertyDictionary properties = metadata;
    properties.set(kCGImageDestinationLossyCompressionQuality, kPhotoQuality);
    destination->addImage(picture, properties);
    if (!destination->finalize() || bytes->empty()) return nullptr;
    return bytes;
}

EncodedPhoto observed(EncodedPhoto photo) {
    std::function<void(const EncodedPhoto&)> observer;
    {
        std::lock_guard<std::mutex> lock(observerMutex);
        observer = encodedObserver;
    }
    if (observer) observer(photo);
    return photo;
}

}  // namespace

bool hevcEncoderAvailable() {
    std::lock_guard<std::mutex> lock(probeMutex);
    if (!probeAnswer) probeAnswer = probeHevcEncoder();
    return *probeAnswer;
}

void overrideHevcEncoderProbe(std::optional<bool> available) {
    std::lock_guard<std::mutex> lock(probeMutex);
    probeAnswer = available;
}

EncodedPhoto encodePhoto(const ImageRef& picture, const PropertyDictionary& metadata,
                         PhotoFormat wanted) {
    if (!picture) return observed({});
    PhotoFormat format = wanted;
    if (format == PhotoFormat::HEIC && !hevcEncoderAvailable()) {
        hxLog("No HEVC encoder: the HEIC photo is written as JPEG");
        format = PhotoFormat::JPEG;
    }
    auto bytes = encodeAs(picture, metadata, format);
    if (!bytes && format != PhotoFormat::JPEG) {
        hxLog("The %s photo could not be encoded: writing it as JPEG", photoFormatName(format));
        format = PhotoFormat::JPEG;
        bytes = encodeAs(picture, metadata, format);
    }
    if (!bytes) hxLog("The photo could not be encoded");
    return observed({bytes, format});
}

void setEncodedPhotoObserver(std::function<void(const EncodedPhoto&)> observer) {
    std::lock_guard<std::mutex> lock(observerMutex);
    encodedObserver = std::move(observer);
}

}  // namespace hx::app
