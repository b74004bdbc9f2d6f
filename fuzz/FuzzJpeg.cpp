// Any bytes through the JPEG probe, decoder, thumbnail decoder and Exif scan.
#include "platform/image/jpeg/JpegCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    hx::image::probeJpeg(data, size, &error);
    hx::image::decodeJpeg(data, size, 0, &error);
    hx::image::decodeJpeg(data, size, 64, &error);
    hx::image::jpegExifBlock(data, size);
    return 0;
}
