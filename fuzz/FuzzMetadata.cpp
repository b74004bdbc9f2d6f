// Any bytes as a file's metadata and as an Exif block.
#include "platform/image/metadata/ImageMetadata.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    hx::image::metadata::readMetadata(data, size, &error);
    hx::image::metadata::decodeExifBlock(data, size, &error);
    return 0;
}
