#include "CodecTestSupport.h"

#include <cmath>
#include <limits>
#include <sstream>

namespace hx::image::test {

ImageRef makeSmoothPicture(PixelFormat format, int width, int height, size_t bytesPerRow) {
    const size_t pixelBytes = bytesPerPixel(format);
    if (bytesPerRow == 0) bytesPerRow = size_t(width) * pixelBytes;
    std::vector<uint8_t> pixels(bytesPerRow * size_t(height), 0xEE);
    const double cx = width * 0.6, cy = height * 0.4, radius = 0.3 * std::min(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            const double disc = std::hypot(x - cx, y - cy) < radius ? 60 : 0;
            const uint8_t r = uint8_t(40 + 150 * u + disc);
            const uint8_t g = uint8_t(30 + 120 * v + 60 * std::sin(6 * u));
            const uint8_t b = uint8_t(200 - 140 * u * v - disc / 2);
            uint8_t* p = pixels.data() + bytesPerRow * y + pixelBytes * x;
            switch (format) {
                case PixelFormat::Grey8:
                    p[0] = uint8_t((77 * r + 150 * g + 29 * b + 128) >> 8);
                    break;
                case PixelFormat::RGB8:
                    p[0] = r, p[1] = g, p[2] = b;
                    break;
                case PixelFormat::RGBA8:
                    p[0] = r, p[1] = g, p[2] = b, p[3] = 255;
                    break;
                case PixelFormat::BGRA8:
                    p[0] = b, p[1] = g, p[2] = r, p[3] = 255;
                    break;
            }
        }
    }
    return Image::adopt(format, width, height, std::move(pixels), bytesPerRow);
}

double psnr(const Image& a, const Image& b) {
    if (a.pixelFormat() != b.pixelFormat() || a.width() != b.width() || a.height() != b.height())
        return -1;
    double squares = 0;
    const size_t rowBytes = size_t(a.width()) * a.bytesPerPixel();
    for (int y = 0; y < a.height(); ++y) {
        for (size_t i = 0; i < rowBytes; ++i) {
            const double d = double(a.row(y)[i]) - double(b.row(y)[i]);
            squares += d * d;
        }
    }
    if (squares == 0) return std::numeric_limits<double>::infinity();
    const double mean = squares / (double(rowBytes) * a.height());
    return 10 * std::log10(255.0 * 255.0 / mean);
}

ImageRef parsePnm(const std::vector<uint8_t>& bytes) {
    std::string header(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), 64));
    std::istringstream in(header);
    std::string magic;
    int width = 0, height = 0, maximum = 0;
    in >> magic >> width >> height >> maximum;
    if ((magic != "P5" && magic != "P6") || width <= 0 || height <= 0 || maximum != 255)
        return nullptr;
    const size_t offset = size_t(in.tellg()) + 1;  // one whitespace byte ends the header
    const PixelFormat format = magic == "P5" ? PixelFormat::Grey8 : PixelFormat::RGB8;
    const size_t size = size_t(width) * height * bytesPerPixel(format);
    if (bytes.size() < offset + size) return nullptr;
    return Image::copy(format, width, height, bytes.data() + offset,
                       size_t(width) * bytesPerPixel(format));
}

std::vector<uint8_t> makePnm(const Image& image) {
    const bool grey = image.pixelFormat() == PixelFormat::Grey8;
    const std::string header = std::string(grey ? "P5" : "P6") + "\n" +
                               std::to_string(image.width()) + " " +
                               std::to_string(image.height()) + "\n255\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    const size_t rowBytes = size_t(image.width()) * image.bytesPerPixel();
    for (int y = 0; y < image.height(); ++y)
        bytes.insert(bytes.end(), image.row(y), image.row(y) + rowBytes);
    return bytes;
}

std::vector<uint8_t> makeExifBlock(const std::string& make, size_t paddingBytes) {
    std::vector<uint8_t> block = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto put16 = [&](uint16_t v) { block.insert(block.end(), {uint8_t(v), uint8_t(v >> 8)}); };
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) block.push_back(uint8_t(v >> (8 * i)));
    };
    const uint32_t count = uint32_t(make.size() + 1);
    put16(1);       // one entry
    put16(0x010F);  // Make
    put16(2);       // ASCII
    put32(count);
    put32(8 + 2 + 12 + 4);  // the text follows the IFD
    put32(0);               // no next IFD
    block.insert(block.end(), make.begin(), make.end());
    block.push_back(0);
    block.insert(block.end(), paddingBytes, 0);
    return block;
}

}  // namespace hx::image::test
