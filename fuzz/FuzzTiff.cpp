// Any bytes through the TIFF probe and decoder.
#include "platform/image/tiff/TiffCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    hx::image::probeTiff(data, size, &error);
    hx::image::decodeTiff(data, size, 0, &error);
    return 0;
}
