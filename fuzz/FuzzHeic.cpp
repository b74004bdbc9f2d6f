// Any bytes through the HEIC probe and decoder.
#include "platform/image/heic/HeicCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    hx::image::probeHeic(data, size, &error);
    hx::image::decodeHeic(data, size, 64, &error);
    return 0;
}
