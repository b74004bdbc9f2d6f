#include <cstring>

#include "platform/image/jpeg/JpegCodec.h"

namespace hx::image {

std::vector<uint8_t> jpegExifBlock(const uint8_t* data, size_t size) {
    static constexpr uint8_t kExifPrefix[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (data == nullptr || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return {};
    size_t position = 2;
    while (position < size) {
        if (data[position] != 0xFF) return {};  // not at a marker: the segments are damaged
        while (position < size && data[position] == 0xFF) ++position;  // fill bytes
        if (position >= size) return {};
        const uint8_t marker = data[position++];
        // Metadata segments come before the image data; stop at the first scan or the end.
        if (marker == 0xDA || marker == 0xD9) return {};
        const bool standalone = marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8);
        if (standalone) continue;
        if (size - position < 2) return {};
        const size_t length = size_t{data[position]} << 8 | data[position + 1];
        if (length < 2 || length > size - position) return {};
        const uint8_t* payload = data + position + 2;
        const size_t payloadSize = length - 2;
        if (marker == 0xE1 && payloadSize >= sizeof kExifPrefix &&
            std::memcmp(payload, kExifPrefix, sizeof kExifPrefix) == 0) {
            try {
                return std::vector<uint8_t>(payload + sizeof kExifPrefix, payload + payloadSize);
            } catch (...) {
                return {};
            }
        }
        position += length;
    }
    return {};
}

}  // namespace hx::image
