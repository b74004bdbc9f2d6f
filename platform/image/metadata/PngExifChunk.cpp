#include "platform/image/metadata/PngExifChunk.h"

#include <array>
#include <cstring>
#include <string_view>

namespace hx::image::metadata::detail {
namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr uint32_t kMaxChunkLength = 0x7fffffff;
constexpr std::string_view kRawExifKeyword = "Raw profile type exif";

uint32_t readBigEndian(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

void appendBigEndian(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(value >> shift));
}

constexpr std::array<uint32_t, 256> makeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = makeCrcTable();

uint32_t crc(const uint8_t* data, size_t size, uint32_t running = 0xffffffffu) {
    for (size_t i = 0; i < size; ++i)
        running = kCrcTable[(running ^ data[i]) & 0xff] ^ (running >> 8);
    return running;
}

void appendChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    appendBigEndian(out, uint32_t(data.size()));
    const size_t typeStart = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    appendBigEndian(out, crc(out.data() + typeStart, out.size() - typeStart) ^ 0xffffffffu);
}

// Exif kept the old way in a text chunk: its keyword comes first, ended by a NUL.
bool isRawExifTextChunk(std::string_view type, const uint8_t* data, size_t size) {
    if (type != "tEXt" && type != "zTXt" && type != "iTXt") return false;
    return size > kRawExifKeyword.size() && data[kRawExifKeyword.size()] == 0 &&
           std::memcmp(data, kRawExifKeyword.data(), kRawExifKeyword.size()) == 0;
}

}  // namespace

bool replacePngExif(std::vector<uint8_t>& file, const std::vector<uint8_t>& exifBlock,
                    std::string* error) {
    auto fail = [error](const char* message) {
        if (error != nullptr) *error = message;
        return false;
    };
    if (exifBlock.empty() || exifBlock.size() > kMaxChunkLength)
        return fail("the Exif block does not fit a PNG chunk");
    if (file.size() < sizeof kPngSignature ||
        std::memcmp(file.data(), kPngSignature, sizeof kPngSignature) != 0)
        return fail("the data is not a PNG file");

    std::vector<uint8_t> out(file.begin(), file.begin() + sizeof kPngSignature);
    out.reserve(file.size() + exifBlock.size() + 12);
    size_t offset = sizeof kPngSignature;
    bool sawHeader = false;
    bool sawEnd = false;
    while (!sawEnd) {
        if (file.size() - offset < 12) return fail("the PNG file ends inside a chunk");
        const uint32_t length = readBigEndian(file.data() + offset);
        if (length > kMaxChunkLength || file.size() - offset - 12 < length)
            return fail("the PNG file ends inside a chunk");
        const std::string_view type(reinterpret_cast<const char*>(file.data() + offset + 4), 4);
        const uint8_t* data = file.data() + offset + 8;
        const size_t chunkSize = size_t(length) + 12;
        if (!sawHeader && type != "IHDR") return fail("the PNG file does not start with IHDR");
        if (type != "eXIf" && !isRawExifTextChunk(type, data, length))
            out.insert(out.end(), file.begin() + offset, file.begin() + offset + chunkSize);
        if (type == "IHDR" && !sawHeader) {
            sawHeader = true;
            appendChunk(out, "eXIf", exifBlock);
        }
        sawEnd = type == "IEND";
        offset += chunkSize;
    }
    file.swap(out);
    return true;
}

}  // namespace hx::image::metadata::detail
