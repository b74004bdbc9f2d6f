#include <algorithm>
#include <new>
#include <utility>

#include "platform/image/PixelConversion.h"
#include "platform/image/tiff/TiffCodec.h"
#include "platform/image/tiff/TiffMemoryFile.h"

namespace hx::image {
namespace {

void setError(std::string* error, std::string message) {
    if (error != nullptr) *error = std::move(message);
}

// Big enough that per-strip overhead vanishes, small enough for a reader to hold one cheaply.
constexpr size_t kStripBytes = 64 * 1024;

bool writeTags(TIFF* tiff, const Image& image, int samples, uint32_t rowsPerStrip) {
    const bool grey = samples == 1;
    return TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(image.width())) &&
           TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(image.height())) &&
           TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t{8}) &&
           TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples)) &&
           TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
                        grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB) &&
           TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
           TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
           TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rowsPerStrip) &&
           TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 72.0) &&
           TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 72.0) &&
           TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
}

}  // namespace

bool encodeTiff(const Image& image, std::vector<uint8_t>& out, std::string* error) {
    const PixelFormat format = image.pixelFormat();
    if (!isValid(format) || image.data() == nullptr) {
        setError(error, "cannot encode a TIFF from an invalid image");
        return false;
    }
    const int samples = format == PixelFormat::Grey8 ? 1 : 3;
    const PixelFormat stored = samples == 1 ? PixelFormat::Grey8 : PixelFormat::RGB8;
    const size_t rowBytes = static_cast<size_t>(image.width()) * samples;
    const int height = image.height();
    const uint32_t rowsPerStrip =
        uint32_t(std::clamp<size_t>(kStripBytes / rowBytes, 1, size_t(height)));
    // Rows already stored as the file wants them are handed to libtiff in place.
    const bool inPlace = format == stored && image.bytesPerRow() == rowBytes;

    std::vector<uint8_t> encoded;
    std::vector<uint8_t> strip;
    try {
        encoded.reserve(rowBytes * size_t(height) + 4096);
        if (!inPlace) strip.resize(rowBytes * rowsPerStrip);
    } catch (const std::bad_alloc&) {
        setError(error, "out of memory while encoding a TIFF");
        return false;
    }
    tiff::TiffMemoryFile file(encoded);
    TIFF* tiff = file.tiff();
    if (tiff == nullptr || !writeTags(tiff, image, samples, rowsPerStrip)) {
        setError(error, "TIFF encoding failed: " + file.errorText("cannot set up the file"));
        return false;
    }
    uint32_t stripIndex = 0;
    for (int first = 0; first < height; first += int(rowsPerStrip), ++stripIndex) {
        const int rows = std::min(int(rowsPerStrip), height - first);
        const size_t bytes = rowBytes * size_t(rows);
        const uint8_t* data = image.row(first);
        if (!inPlace) {
            for (int k = 0; k < rows; ++k) {
                convertPixels(format, image.row(first + k), stored, strip.data() + rowBytes * k,
                              size_t(image.width()));
            }
            data = strip.data();
        }
        // Uncompressed strips go out as raw bytes, which libtiff only reads.
        if (TIFFWriteRawStrip(tiff, stripIndex, const_cast<uint8_t*>(data), tmsize_t(bytes)) !=
            tmsize_t(bytes)) {
            setError(error, "TIFF encoding failed: " + file.errorText("cannot write a strip"));
            return false;
        }
    }
    if (!TIFFWriteDirectory(tiff) || !file.close()) {
        setError(error, "TIFF encoding failed: " + file.errorText("cannot write the directory"));
        return false;
    }
    out = std::move(encoded);
    return true;
}

}  // namespace hx::image
