#include "platform/image/heic/HeicCodec.h"

#include <libheif/heif.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "platform/image/ImageLimits.h"
#include "platform/image/PixelConversion.h"
#include "platform/image/heic/HeifBoxes.h"
#include "platform/image/heic/HeifOrientation.h"
#include "platform/image/heic/LibheifSupport.h"

namespace hx::image {
namespace {

using namespace heif;

// x265 at libheif's default ("slow") spends about fifteen CPU seconds on a clean 12-megapixel
// photo. "ultrafast" with one level of intra transform splitting (the preset's own choice, which
// libheif otherwise overrides with two) needs about two, and at the camera's quality its files
// are within a few per cent of the slow preset's in size and fidelity. The "veryfast" and
// "superfast" presets still search far more and cost three to four times as much.
constexpr std::pair<const char*, const char*> kEncoderParameters[] = {
    {"preset", "ultrafast"},
    {"tu-intra-depth", "1"},
    {"chroma", "420"},
};

bool isExifBlock(const std::vector<uint8_t>& block) {
    static const uint8_t kLittleEndian[] = {'I', 'I', 0x2A, 0x00};
    static const uint8_t kBigEndian[] = {'M', 'M', 0x00, 0x2A};
    return block.size() >= 8 && (std::memcmp(block.data(), kLittleEndian, 4) == 0 ||
                                 std::memcmp(block.data(), kBigEndian, 4) == 0);
}

// libheif's interleaved RGB image holding `image`'s pixels.
ImagePtr makeRgbImage(const Image& image, std::string* error) {
    heif_image* created = nullptr;
    heif_error result = heif_image_create(image.width(), image.height(), heif_colorspace_RGB,
                                          heif_chroma_interleaved_RGB, &created);
    ImagePtr rgb(created);
    if (succeeded(result))
        result = heif_image_add_plane(rgb.get(), heif_channel_interleaved, image.width(),
                                      image.height(), 8);
    if (!succeeded(result)) {
        failWith(error, "cannot allocate the HEIC image", result);
        return nullptr;
    }
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(rgb.get(), heif_channel_interleaved, &stride);
    if (!plane) {
        failWith(error, "cannot allocate the HEIC image");
        return nullptr;
    }
    for (int y = 0; y < image.height(); ++y) {
        convertPixels(image.pixelFormat(), image.row(y), PixelFormat::RGB8,
                      plane + static_cast<size_t>(stride) * y, static_cast<size_t>(image.width()));
    }
    return rgb;
}

constexpr double kQualityScale = 65.0;

EncoderPtr makeEncoder(heif_context* context, double quality, std::string* error) {
    heif_encoder* created = nullptr;
    heif_error result =
        heif_context_get_encoder_for_format(context, heif_compression_HEVC, &created);
    EncoderPtr encoder(created);
    if (!succeeded(result)) {
        failWith(error, "no HEVC encoder available", result);
        return nullptr;
    }
    // x265 at libheif quality 90 is close to lossless (6 MB for a noisy 12-megapixel photo). A
    // photo's quality 0.9 means "high quality, sensibly sized", so the scale is compressed:
    // 0.9 becomes 59, about 43 dB and 1 to 1.5 MB for a camera picture.
    result =
        heif_encoder_set_lossy_quality(encoder.get(), int(std::lround(quality * kQualityScale)));
    // x265 reports on stderr unless told otherwise; failures come back as errors anyway.
    if (succeeded(result)) result = heif_encoder_set_logging_level(encoder.get(), 0);
    for (const auto& [name, value] : kEncoderParameters) {
        if (!succeeded(result)) break;
        result = heif_encoder_set_parameter(encoder.get(), name, value);
    }
    if (!succeeded(result)) {
        failWith(error, "cannot configure the HEVC encoder", result);
        return nullptr;
    }
    return encoder;
}

heif_error appendToVector(heif_context*, const void* data, size_t size, void* userdata) {
    try {
        auto* out = static_cast<std::vector<uint8_t>*>(userdata);
        const auto* bytes = static_cast<const uint8_t*>(data);
        out->insert(out->end(), bytes, bytes + size);
        return {heif_error_Ok, heif_suberror_Unspecified, "Success"};
    } catch (const std::bad_alloc&) {
        return {heif_error_Memory_allocation_error, heif_suberror_Cannot_write_output_data,
                "out of memory"};
    }
}

bool encode(const Image& image, const HeicEncodeOptions& options, std::vector<uint8_t>& out,
            std::string* error) {
    if (!std::isfinite(options.quality) || options.quality < 0 || options.quality > 1)
        return failWith(error, "HEIC quality must be between 0 and 1");
    if (!isValidOrientation(options.orientation))
        return failWith(error, "HEIC orientation must be an Exif value from 1 to 8");
    if (!options.exifBlock.empty() && !isExifBlock(options.exifBlock))
        return failWith(error, "the Exif block does not start with a TIFF header");
    if (options.exifBlock.size() > size_t(std::numeric_limits<int>::max()))
        return failWith(error, "the Exif block is too large");
    if (!isValid(image.pixelFormat()) || !decodeSizeAllowed(image.width(), image.height()))
        return failWith(error, "image too large for HEIC");
    if (!initialiseLibheif(error)) return false;

    ImagePtr rgb = makeRgbImage(image, error);
    if (!rgb) return false;
    ContextPtr context(heif_context_alloc());
    if (!context) return failWith(error, "cannot allocate a libheif context");
    EncoderPtr encoder = makeEncoder(context.get(), options.quality, error);
    if (!encoder) return false;

    EncodingOptionsPtr encoding(heif_encoding_options_alloc());
    if (!encoding) return failWith(error, "cannot allocate libheif encoding options");
    encoding->save_alpha_channel = 0;
    // The orientation is added afterwards (addTransformProperties): libheif's own option stores
    // the turned size in 'ispe' and leaves the transforms optional for readers.
    heif_image_handle* encodedHandle = nullptr;
    heif_error result = heif_context_encode_image(context.get(), rgb.get(), encoder.get(),
                                                  encoding.get(), &encodedHandle);
    HandlePtr handle(encodedHandle);
    if (!succeeded(result)) return failWith(error, "HEVC encoding failed", result);
    rgb.reset();  // the pixels are coded; free them before the file is assembled

    if (!options.exifBlock.empty()) {
        result =
            heif_context_add_exif_metadata(context.get(), handle.get(), options.exifBlock.data(),
                                           static_cast<int>(options.exifBlock.size()));
        if (!succeeded(result)) return failWith(error, "cannot attach the Exif block", result);
    }

    std::vector<uint8_t> file;
    heif_writer writer{1, appendToVector};
    result = heif_context_write(context.get(), &writer, &file);
    if (!succeeded(result)) return failWith(error, "cannot write the HEIC file", result);
    if (!addTransformProperties(file, transformStepsForOrientation(options.orientation), error))
        return false;
    out.swap(file);
    return true;
}

}  // namespace

bool encodeHeic(const Image& image, const HeicEncodeOptions& options, std::vector<uint8_t>& out,
                std::string* error) {
    try {
        return encode(image, options, out, error);
    } catch (const std::bad_alloc&) {
        return failWith(error, "out of memory while encoding HEIC");
    }
}

}  // namespace hx::image
