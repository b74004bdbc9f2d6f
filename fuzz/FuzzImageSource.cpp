// Any bytes through an image source: type, properties, picture and thumbnail.
#include "platform/image/io/ImageSource.h"
#include "platform/log/Log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        hx::log::setSink([](std::string_view) {});
        return true;
    }();
    (void)quiet;
    auto source = hx::image::ImageSource::createWithData(std::vector<uint8_t>(data, data + size));
    if (!source) return 0;
    source->copyPropertiesAtIndex(0);
    source->createThumbnailAtIndex(0, 48);
    return 0;
}
