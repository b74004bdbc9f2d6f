#include <algorithm>
#include <new>
#include <utility>

#include "platform/image/Resample.h"
#include "platform/image/tiff/TiffCodec.h"
#include "platform/image/tiff/TiffMemoryFile.h"

namespace hx::image {
namespace {

void setError(std::string* error, std::string message) {
    if (error != nullptr) *error = std::move(message);
}

// Tiles bigger than this are not something any writer produces; refusing them keeps a crafted
// file from asking for a huge scratch buffer.
constexpr uint64_t kMaxTilePixels = uint64_t{1} << 24;

struct Layout {
    uint32_t width = 0, height = 0;
    uint16_t bitsPerSample = 1, samplesPerPixel = 1, sampleFormat = SAMPLEFORMAT_UINT;
    uint16_t photometric = PHOTOMETRIC_MINISBLACK, planar = PLANARCONFIG_CONTIG;
    bool tiled = false;
};

bool readLayout(TIFF* tiff, Layout& layout) {
    if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &layout.width) ||
        !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &layout.height)) {
        return false;
    }
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &layout.bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &layout.samplesPerPixel);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &layout.sampleFormat);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &layout.planar);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &layout.photometric)) {
        layout.photometric = layout.samplesPerPixel >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    }
    layout.tiled = TIFFIsTiled(tiff) != 0;
    return true;
}

bool isGrey(const Layout& layout) {
    return layout.photometric == PHOTOMETRIC_MINISBLACK ||
           layout.photometric == PHOTOMETRIC_MINISWHITE;
}

int colourComponents(const Layout& layout) {
    if (isGrey(layout)) return 1;
    if (layout.photometric == PHOTOMETRIC_SEPARATED) return 4;
    return 3;
}

// ---- Direct path: 8-bit grey or RGB with contiguous samples -----------------------------------

// Grey or RGB with a few extra samples (alpha and the like); anything wider is left to libtiff.
constexpr uint16_t kMaxDirectSamples = 8;

bool readsDirectly(const Layout& layout) {
    const int colours = isGrey(layout) ? 1 : 3;
    return layout.bitsPerSample == 8 && layout.sampleFormat == SAMPLEFORMAT_UINT &&
           layout.planar == PLANARCONFIG_CONTIG &&
           (isGrey(layout) || layout.photometric == PHOTOMETRIC_RGB) &&
           layout.samplesPerPixel >= colours && layout.samplesPerPixel <= kMaxDirectSamples;
}

// Copies `count` pixels of `samples` bytes each, keeping the first `colours` of each and turning
// min-is-white grey around.
void copyPixels(const uint8_t* source, int samples, int colours, bool invert, uint8_t* destination,
                size_t count) {
    if (samples == colours && !invert) {
        std::copy(source, source + count * size_t(colours), destination);
        return;
    }
    const uint8_t flip = invert ? 0xFF : 0x00;
    for (size_t i = 0; i < count; ++i, source += samples, destination += colours) {
        for (int c = 0; c < colours; ++c) destination[c] = source[c] ^ flip;
    }
}

struct DirectTarget {
    uint8_t* pixels;
    size_t rowBytes;
    int colours;
    bool invert;
};

bool readStrips(TIFF* tiff, const Layout& layout, const DirectTarget& target,
                std::vector<uint8_t>& scratch) {
    const int samples = layout.samplesPerPixel;
    if (samples != target.colours || target.invert) {
        // Row by row through a one-row buffer, so odd layouts never need a whole strip of scratch.
        scratch.resize(size_t{layout.width} * samples);
        for (uint32_t y = 0; y < layout.height; ++y) {
            if (TIFFReadScanline(tiff, scratch.data(), y, 0) < 0) return false;
            copyPixels(scratch.data(), samples, target.colours, target.invert,
                       target.pixels + target.rowBytes * y, layout.width);
        }
        return true;
    }
    // Strips laid out exactly like the result are decoded straight into it.
    uint32_t rowsPerStrip = layout.height;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, layout.height);
    for (uint32_t first = 0; first < layout.height; first += rowsPerStrip) {
        const uint32_t rows = std::min(rowsPerStrip, layout.height - first);
        const tmsize_t bytes = tmsize_t(target.rowBytes * rows);
        if (TIFFReadEncodedStrip(tiff, TIFFComputeStrip(tiff, first, 0),
                                 target.pixels + target.rowBytes * first, bytes) != bytes) {
            return false;
        }
    }
    return true;
}

bool readTiles(TIFF* tiff, const Layout& layout, const DirectTarget& target,
               std::vector<uint8_t>& scratch) {
    uint32_t tileWidth = 0, tileHeight = 0;
    if (!TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth) ||
        !TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight) || tileWidth == 0 || tileHeight == 0 ||
        uint64_t{tileWidth} * tileHeight > kMaxTilePixels) {
        return false;
    }
    const int samples = layout.samplesPerPixel;
    const size_t tileRowBytes = size_t{tileWidth} * samples;
    const tmsize_t tileBytes = tmsize_t(tileRowBytes * tileHeight);
    scratch.resize(size_t(tileBytes));
    for (uint32_t top = 0; top < layout.height; top += tileHeight) {
        const uint32_t rows = std::min(tileHeight, layout.height - top);
        for (uint32_t left = 0; left < layout.width; left += tileWidth) {
            const uint32_t columns = std::min(tileWidth, layout.width - left);
            if (TIFFReadEncodedTile(tiff, TIFFComputeTile(tiff, left, top, 0, 0), scratch.data(),
                                    tileBytes) != tileBytes) {
                return false;
            }
            for (uint32_t k = 0; k < rows; ++k) {
                copyPixels(
                    scratch.data() + tileRowBytes * k, samples, target.colours, target.invert,
                    target.pixels + target.rowBytes * (top + k) + size_t{left} * target.colours,
                    columns);
            }
        }
    }
    return true;
}

// ---- Everything else through libtiff's RGBA reader --------------------------------------------

class RgbaReader {
  public:
    ~RgbaReader() {
        if (started_) TIFFRGBAImageEnd(&image_);
    }
    bool begin(TIFF* tiff, std::string& message) {
        char text[1024] = {};
        if (!TIFFRGBAImageOK(tiff, text) || !TIFFRGBAImageBegin(&image_, tiff, 1, text)) {
            message = text;
            return false;
        }
        started_ = true;
        // Ask for the orientation the file already has, so rows come back as stored.
        image_.req_orientation = image_.orientation;
        return true;
    }
    // Reads `rows` rows from `first` into `raster`, one ABGR word per pixel.
    bool read(uint32_t first, uint32_t rows, uint32_t* raster) {
        image_.row_offset = int(first);
        image_.col_offset = 0;
        return TIFFRGBAImageGet(&image_, raster, image_.width, rows) != 0;
    }

  private:
    TIFFRGBAImage image_{};
    bool started_ = false;
};

bool readThroughRgba(TIFF* tiff, const Layout& layout, const DirectTarget& target,
                     std::string& message) {
    RgbaReader reader;
    if (!reader.begin(tiff, message)) return false;
    // Whole strips or tiles per band, about a million pixels at a time.
    uint32_t unit = layout.height;
    if (layout.tiled) {
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &unit);
    } else {
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &unit);
    }
    unit = std::clamp<uint32_t>(unit, 1, layout.height);
    const uint32_t unitsPerBand =
        std::max<uint32_t>(1, uint32_t((uint64_t{1} << 20) / (uint64_t{layout.width} * unit + 1)));
    const uint32_t bandRows =
        uint32_t(std::min<uint64_t>(uint64_t{unit} * unitsPerBand, layout.height));
    std::vector<uint32_t> raster(size_t{layout.width} * bandRows);
    for (uint32_t first = 0; first < layout.height; first += bandRows) {
        const uint32_t rows = std::min(bandRows, layout.height - first);
        if (!reader.read(first, rows, raster.data())) return false;
        for (uint32_t k = 0; k < rows; ++k) {
            const uint32_t* source = raster.data() + size_t{layout.width} * k;
            uint8_t* destination = target.pixels + target.rowBytes * (first + k);
            for (uint32_t x = 0; x < layout.width; ++x, destination += target.colours) {
                const uint32_t pixel = source[x];
                destination[0] = uint8_t(TIFFGetR(pixel));
                if (target.colours == 3) {
                    destination[1] = uint8_t(TIFFGetG(pixel));
                    destination[2] = uint8_t(TIFFGetB(pixel));
                }
            }
        }
    }
    return true;
}

}  // namespace

std::optional<ImageInfo> probeTiff(const uint8_t* data, size_t size, std::string* error) {
    if (data == nullptr || size == 0) {
        setError(error, "no TIFF data");
        return std::nullopt;
    }
    tiff::TiffMemoryFile file(data, size);
    Layout layout;
    if (file.tiff() == nullptr || !readLayout(file.tiff(), layout)) {
        setError(error, "not a readable TIFF file: " + file.errorText("no image size"));
        return std::nullopt;
    }
    if (layout.width == 0 || layout.height == 0 || layout.width > uint32_t(INT32_MAX) ||
        layout.height > uint32_t(INT32_MAX)) {
        setError(error, "TIFF image has an invalid size");
        return std::nullopt;
    }
    return ImageInfo{int(layout.width), int(layout.height), colourComponents(layout)};
}

ImageRef decodeTiff(const uint8_t* data, size_t size, int maxPixelSize, std::string* error) {
    if (data == nullptr || size == 0) {
        setError(error, "no TIFF data");
        return nullptr;
    }
    tiff::TiffMemoryFile file(data, size);
    TIFF* tiff = file.tiff();
    Layout layout;
    if (tiff == nullptr || !readLayout(tiff, layout)) {
        setError(error, "not a readable TIFF file: " + file.errorText("no image size"));
        return nullptr;
    }
    if (!decodeSizeAllowed(layout.width, layout.height)) {
        setError(error, "TIFF image is too large or empty (" + std::to_string(layout.width) + "x" +
                            std::to_string(layout.height) + ")");
        return nullptr;
    }
    const bool grey = isGrey(layout);
    const PixelFormat format = grey ? PixelFormat::Grey8 : PixelFormat::RGB8;
    const int colours = grey ? 1 : 3;
    const size_t rowBytes = size_t{layout.width} * colours;
    std::vector<uint8_t> pixels;
    std::vector<uint8_t> scratch;
    bool ok = false;
    std::string message;
    try {
        pixels.resize(rowBytes * layout.height);
        const DirectTarget target{pixels.data(), rowBytes, colours,
                                  layout.photometric == PHOTOMETRIC_MINISWHITE};
        if (readsDirectly(layout)) {
            ok = layout.tiled ? readTiles(tiff, layout, target, scratch)
                              : readStrips(tiff, layout, target, scratch);
        } else {
            ok = readThroughRgba(tiff, layout, target, message);
        }
    } catch (const std::bad_alloc&) {
        setError(error, "out of memory for a " + std::to_string(layout.width) + "x" +
                            std::to_string(layout.height) + " TIFF image");
        return nullptr;
    }
    // Some codecs complain and still return data; a complaint means the pixels are not whole.
    if (!ok || file.hadError()) {
        if (message.empty()) message = file.errorText("cannot read the pixels");
        setError(error, "invalid TIFF data: " + message);
        return nullptr;
    }
    const int width = int(layout.width), height = int(layout.height);
    ImageRef image = Image::adopt(format, width, height, std::move(pixels), rowBytes);
    if (!image) {
        setError(error, "out of memory for the decoded TIFF image");
        return nullptr;
    }
    return maxPixelSize > 0 ? scaleToFit(image, width, height, maxPixelSize, error) : image;
}

}  // namespace hx::image
