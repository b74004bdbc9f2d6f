#include "platform/image/heic/HeicCodec.h"

#include <libheif/heif.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "platform/image/ImageLimits.h"
#include "platform/image/Resample.h"
#include "platform/image/heic/HeifBoxes.h"
#include "platform/image/heic/HeifOrientation.h"
#include "platform/image/heic/LibheifSupport.h"

namespace hx::image {
namespace {

using namespace heif;

struct OpenedFile {
    ContextPtr context;
    HandlePtr primary;
    PrimaryItemProperties properties;
    int orientation = 1;
    int width = 0, height = 0;  // as stored
};

bool refuseSize(int64_t width, int64_t height, std::string* error) {
    return failWith(error, "HEIC image is empty or too large (" + std::to_string(width) + "x" +
                               std::to_string(height) + ")");
}

bool openPrimary(const uint8_t* data, size_t size, OpenedFile& file, std::string* error) {
    if (!data || size == 0) return failWith(error, "empty HEIC data");
    if (size < 12 ||
        heif_check_filetype(data, int(std::min<size_t>(size, INT_MAX))) == heif_filetype_no)
        return failWith(error, "not a HEIF file");
    if (!initialiseLibheif(error)) return false;
    // The boxes are read here first: libheif does not report the transform properties, and a
    // picture too large to decode is refused before libheif sees it.
    std::optional<PrimaryItemProperties> properties = readPrimaryItemProperties(data, size, error);
    if (!properties) return false;
    file.properties = std::move(*properties);
    const PrimaryItemProperties& props = file.properties;
    if (props.width && props.height && !decodeSizeAllowed(*props.width, *props.height))
        return refuseSize(*props.width, *props.height, error);

    file.context.reset(heif_context_alloc());
    if (!file.context) return failWith(error, "cannot allocate a libheif context");
    // Grid tiles and auxiliary images are checked by libheif itself against the same side limit.
    heif_context_set_maximum_image_size_limit(file.context.get(), kMaxDecodeSide);
    heif_error result =
        heif_context_read_from_memory_without_copy(file.context.get(), data, size, nullptr);
    if (!succeeded(result)) return failWith(error, "cannot read the HEIC file", result);
    heif_image_handle* primary = nullptr;
    result = heif_context_get_primary_image_handle(file.context.get(), &primary);
    file.primary.reset(primary);
    if (!succeeded(result)) return failWith(error, "the HEIC file has no primary image", result);

    // libheif reports the size as shown (cropped, then turned); turning it back gives the stored
    // size. 'ispe' alone is not enough: libheif 1.15 writes the turned size there when it adds
    // the transforms itself.
    file.orientation = orientationForTransformSteps(file.properties.transforms);
    file.width = heif_image_handle_get_width(file.primary.get());
    file.height = heif_image_handle_get_height(file.primary.get());
    if (displaySymmetry(file.orientation).swapsAxes()) std::swap(file.width, file.height);
    if (file.width <= 0 || file.height <= 0 || !decodeSizeAllowed(file.width, file.height))
        return refuseSize(file.width, file.height, error);
    return true;
}

bool isTiffHeader(const uint8_t* bytes, size_t size) {
    return size >= 8 &&
           (std::memcmp(bytes, "II\x2A\x00", 4) == 0 || std::memcmp(bytes, "MM\x00\x2A", 4) == 0);
}

// The Exif item starts with the distance from its fifth byte to the TIFF header; some writers
// also leave the JPEG-style "Exif\0\0" prefix in front of the header.
std::vector<uint8_t> exifBlockOf(const heif_image_handle* handle) {
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1) return {};
    const size_t size = heif_image_handle_get_metadata_size(handle, id);
    if (size < 4) return {};
    std::vector<uint8_t> item(size);
    if (!succeeded(heif_image_handle_get_metadata(handle, id, item.data()))) return {};
    const uint32_t offset = uint32_t(item[0]) << 24 | uint32_t(item[1]) << 16 |
                            uint32_t(item[2]) << 8 | uint32_t(item[3]);
    if (offset > size - 4) return {};
    size_t start = 4 + size_t(offset);
    if (!isTiffHeader(item.data() + start, size - start) && size - start > 6 &&
        std::memcmp(item.data() + start, "Exif\0\0", 6) == 0)
        start += 6;
    if (!isTiffHeader(item.data() + start, size - start)) return {};
    return {item.begin() + std::ptrdiff_t(start), item.end()};
}

// Decodes to 8-bit interleaved RGB, keeping libheif's buffer as the image's memory.
ImageRef decodeHandle(const heif_image_handle* handle, bool applyTransforms, std::string* error) {
    DecodingOptionsPtr options(heif_decoding_options_alloc());
    if (!options) {
        failWith(error, "cannot allocate libheif decoding options");
        return nullptr;
    }
    options->ignore_transformations = applyTransforms ? 0 : 1;
    options->convert_hdr_to_8bit = 1;
    heif_image* decodedImage = nullptr;
    const heif_error result = heif_decode_image(handle, &decodedImage, heif_colorspace_RGB,
                                                heif_chroma_interleaved_RGB, options.get());
    std::shared_ptr<const heif_image> decoded(decodedImage, heif_image_release);
    if (!succeeded(result) || !decodedImage) {
        failWith(error, "cannot decode the HEIC image", result);
        return nullptr;
    }
    int stride = 0;
    const uint8_t* plane =
        heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(decoded.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(decoded.get(), heif_channel_interleaved);
    ImageRef image;
    if (plane && width > 0 && height > 0 && stride >= width * 3 &&
        heif_image_get_bits_per_pixel(decoded.get(), heif_channel_interleaved) == 24)
        image = Image::wrap(PixelFormat::RGB8, width, height, plane, size_t(stride), decoded);
    if (!image) failWith(error, "the decoded HEIC image has an unexpected layout");
    return image;
}

// `image` (as shown) scaled by the image resampler and turned back by the inverse of `shown`,
// ending at width x height.
ImageRef redraw(const ImageRef& image, const Symmetry& shown, int width, int height,
                std::string* error) {
    const Symmetry back = shown.inverse();
    const int shownWidth = back.swapsAxes() ? height : width;
    const int shownHeight = back.swapsAxes() ? width : height;
    ImageRef scaled = resampleImage(image, shownWidth, shownHeight, error);
    if (scaled) scaled = applySymmetry(scaled, back);
    if (!scaled) failWith(error, "out of memory while scaling the HEIC image");
    return scaled;
}

// A thumbnail no smaller than the requested size, turned back to the stored orientation and
// scaled to `target`; null when there is none (or it cannot be decoded).
ImageRef fromThumbnail(const OpenedFile& file, int maxPixelSize, ScaledSize target) {
    const int count = heif_image_handle_get_number_of_thumbnails(file.primary.get());
    if (count <= 0) return nullptr;
    std::vector<heif_item_id> ids(static_cast<size_t>(count));
    const int listed =
        heif_image_handle_get_list_of_thumbnail_IDs(file.primary.get(), ids.data(), count);
    const Symmetry shown = displaySymmetry(file.orientation);
    const long shownWidth = shown.swapsAxes() ? file.height : file.width;
    const long shownHeight = shown.swapsAxes() ? file.width : file.height;

    HandlePtr best;
    for (int i = 0; i < listed; ++i) {
        heif_image_handle* thumbnail = nullptr;
        if (!succeeded(
                heif_image_handle_get_thumbnail(file.primary.get(), ids[size_t(i)], &thumbnail)))
            continue;
        HandlePtr candidate(thumbnail);
        // Thumbnails carry the primary image's transforms; their size is as shown.
        const long width = heif_image_handle_get_width(thumbnail);
        const long height = heif_image_handle_get_height(thumbnail);
        const long longSide = std::max(width, height);
        if (width <= 0 || height <= 0 || longSide < maxPixelSize ||
            longSide >= std::max(shownWidth, shownHeight) || !decodeSizeAllowed(width, height))
            continue;
        // Only a picture of the same shape as the primary one, give or take rounding.
        if (std::labs(width * shownHeight - height * shownWidth) > shownWidth + shownHeight)
            continue;
        if (!best || longSide < std::max(heif_image_handle_get_width(best.get()),
                                         heif_image_handle_get_height(best.get())))
            best = std::move(candidate);
    }
    if (!best) return nullptr;
    const ImageRef decoded = decodeHandle(best.get(), /*applyTransforms=*/true, nullptr);
    if (!decoded) return nullptr;
    return redraw(decoded, shown, target.width, target.height, nullptr);
}

// The full primary image as stored.
ImageRef decodeStored(const OpenedFile& file, std::string* error) {
    // Without a crop, libheif can skip the transforms and hand over the coded pixels. A crop
    // ('clap') is only applied together with them, so then the turn is undone here.
    const bool applyTransforms = file.properties.hasCleanAperture;
    ImageRef image = decodeHandle(file.primary.get(), applyTransforms, error);
    if (image && applyTransforms) {
        image = applySymmetry(image, displaySymmetry(file.orientation).inverse());
        if (!image) failWith(error, "out of memory while decoding HEIC");
    }
    if (image && (image->width() != file.width || image->height() != file.height)) {
        failWith(error, "the decoded HEIC image does not have the size its file states");
        return nullptr;
    }
    return image;
}

ImageRef decode(const uint8_t* data, size_t size, int maxPixelSize, std::string* error) {
    OpenedFile file;
    if (!openPrimary(data, size, file, error)) return nullptr;
    const ScaledSize target = fitWithin(file.width, file.height, maxPixelSize);
    const bool shrinking = target.width != file.width || target.height != file.height;
    if (shrinking)
        if (ImageRef thumbnail = fromThumbnail(file, maxPixelSize, target)) return thumbnail;
    ImageRef image = decodeStored(file, error);
    if (!image || !shrinking) return image;
    return redraw(image, Symmetry{}, target.width, target.height, error);
}

}  // namespace

std::optional<HeicInfo> probeHeic(const uint8_t* data, size_t size, std::string* error) {
    try {
        OpenedFile file;
        if (!openPrimary(data, size, file, error)) return std::nullopt;
        return HeicInfo{file.width, file.height, file.orientation, exifBlockOf(file.primary.get())};
    } catch (const std::bad_alloc&) {
        failWith(error, "out of memory while reading HEIC");
        return std::nullopt;
    }
}

ImageRef decodeHeic(const uint8_t* data, size_t size, int maxPixelSize, std::string* error) {
    try {
        return decode(data, size, maxPixelSize, error);
    } catch (const std::bad_alloc&) {
        failWith(error, "out of memory while decoding HEIC");
        return nullptr;
    }
}

}  // namespace hx::image
