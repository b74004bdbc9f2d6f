// Any bytes through the PNG decoder.
#include "platform/image/png/PngCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    hx::image::readPng(data, size, &error);
    return 0;
}
