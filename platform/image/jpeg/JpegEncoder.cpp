#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

#include "platform/image/jpeg/JpegCodec.h"
#include "platform/image/jpeg/JpegErrorHandling.h"

namespace hx::image {
namespace {

using jpeg::ErrorState;
using jpeg::runGuarded;

void setError(std::string* error, std::string message) {
    if (error != nullptr) *error = std::move(message);
}

// ---- Destination: libjpeg writes straight into the output vector ------------------------------

struct VectorDestination {
    jpeg_destination_mgr manager;  // first, so libjpeg's pointer to it points to the whole struct
    std::vector<uint8_t>* output;
    size_t initialSize;
};

VectorDestination* destinationOf(j_compress_ptr info) {
    return reinterpret_cast<VectorDestination*>(info->dest);
}

// Resizes without letting an exception into libjpeg; the caller raises the error afterwards so
// that no handler frame is live when libjpeg longjmps.
bool resizeOutput(std::vector<uint8_t>& output, size_t size) noexcept {
    try {
        output.resize(size);
        return true;
    } catch (...) {
        return false;
    }
}

void initDestination(j_compress_ptr info) {
    VectorDestination* destination = destinationOf(info);
    if (!resizeOutput(*destination->output, destination->initialSize)) {
        jpeg::fail(reinterpret_cast<j_common_ptr>(info), "out of memory for the JPEG data");
    }
    destination->manager.next_output_byte = destination->output->data();
    destination->manager.free_in_buffer = destination->output->size();
}

// libjpeg calls this when the whole buffer is full.
boolean growDestination(j_compress_ptr info) {
    VectorDestination* destination = destinationOf(info);
    std::vector<uint8_t>& output = *destination->output;
    const size_t used = output.size();
    if (!resizeOutput(output, used * 2)) {
        jpeg::fail(reinterpret_cast<j_common_ptr>(info), "out of memory for the JPEG data");
    }
    destination->manager.next_output_byte = output.data() + used;
    destination->manager.free_in_buffer = output.size() - used;
    return TRUE;
}

void termDestination(j_compress_ptr info) {
    VectorDestination* destination = destinationOf(info);
    destination->output->resize(destination->output->size() - destination->manager.free_in_buffer);
}

// ---- Encoding ---------------------------------------------------------------------------------

struct EncodeJob {
    jpeg_compress_struct* info;
    VectorDestination* destination;
    const Image* image;
    J_COLOR_SPACE inputSpace;
    int inputComponents;
    int quality;
    const uint8_t* exif;
    size_t exifSize;
};

constexpr uint8_t kExifPrefix[6] = {'E', 'x', 'i', 'f', 0, 0};

void encodeStep(EncodeJob* job) {
    jpeg_compress_struct* info = job->info;
    jpeg_create_compress(info);
    info->dest = &job->destination->manager;
    info->image_width = static_cast<JDIMENSION>(job->image->width());
    info->image_height = static_cast<JDIMENSION>(job->image->height());
    info->input_components = job->inputComponents;
    info->in_color_space = job->inputSpace;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, job->quality, TRUE);
    if (info->num_components == 3) {
        // 4:2:0: the luma at full size, both chroma planes at half size each way.
        info->comp_info[0].h_samp_factor = 2;
        info->comp_info[0].v_samp_factor = 2;
        for (int c = 1; c < 3; ++c) {
            info->comp_info[c].h_samp_factor = 1;
            info->comp_info[c].v_samp_factor = 1;
        }
    }
    // Accurate integer DCT: with libjpeg-turbo's SIMD it costs about the same as the fast one,
    // which loses detail at the camera's high quality settings.
    info->dct_method = JDCT_ISLOW;
    info->optimize_coding = FALSE;
    // The Exif APP1 segment must follow SOI directly, so there is no room for JFIF's APP0.
    if (job->exifSize > 0) info->write_JFIF_header = FALSE;

    jpeg_start_compress(info, TRUE);
    if (job->exifSize > 0) {
        jpeg_write_m_header(info, JPEG_APP0 + 1,
                            static_cast<unsigned int>(sizeof kExifPrefix + job->exifSize));
        for (uint8_t byte : kExifPrefix) jpeg_write_m_byte(info, byte);
        for (size_t i = 0; i < job->exifSize; ++i) jpeg_write_m_byte(info, job->exif[i]);
    }
    constexpr int kRowsPerCall = 16;
    JSAMPROW rows[kRowsPerCall];
    const Image& image = *job->image;
    while (info->next_scanline < info->image_height) {
        const int first = static_cast<int>(info->next_scanline);
        const int count = std::min(kRowsPerCall, image.height() - first);
        // libjpeg only reads the rows; its API just lacks const.
        for (int k = 0; k < count; ++k) rows[k] = const_cast<JSAMPROW>(image.row(first + k));
        jpeg_write_scanlines(info, rows, static_cast<JDIMENSION>(count));
    }
    jpeg_finish_compress(info);
}

// Owns the compressor; destroying a zeroed or partly created one is safe.
struct Compressor {
    jpeg_compress_struct info{};
    ErrorState error{};

    Compressor() { jpeg::installErrorHandling(reinterpret_cast<j_common_ptr>(&info), &error); }
    ~Compressor() { jpeg_destroy_compress(&info); }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;
};

bool inputLayout(PixelFormat format, J_COLOR_SPACE& space, int& components) {
    switch (format) {
        case PixelFormat::Grey8:
            space = JCS_GRAYSCALE;
            components = 1;
            return true;
        case PixelFormat::RGB8:
            space = JCS_RGB;
            components = 3;
            return true;
        case PixelFormat::RGBA8:
            space = JCS_EXT_RGBX;
            components = 4;
            return true;
        case PixelFormat::BGRA8:
            space = JCS_EXT_BGRX;
            components = 4;
            return true;
    }
    return false;
}

// A first guess at the encoded size: camera pictures at high quality take about two bits a pixel.
size_t initialOutputSize(const Image& image, size_t exifSize) {
    const size_t pixels = static_cast<size_t>(image.width()) * static_cast<size_t>(image.height());
    return std::max<size_t>(16384, pixels / 4 + exifSize + 4096);
}

}  // namespace

bool encodeJpeg(const Image& image, double quality, const std::vector<uint8_t>& exifBlock,
                std::vector<uint8_t>& out, std::string* error) {
    J_COLOR_SPACE space = JCS_UNKNOWN;
    int components = 0;
    if (!inputLayout(image.pixelFormat(), space, components) || image.data() == nullptr) {
        setError(error, "cannot encode a JPEG from an invalid image");
        return false;
    }
    if (!std::isfinite(quality)) {
        setError(error, "JPEG quality is not a number");
        return false;
    }
    if (exifBlock.size() > kMaxJpegExifBlockBytes) {
        setError(error, "the Exif block (" + std::to_string(exifBlock.size()) +
                            " bytes) does not fit a JPEG APP1 segment (at most " +
                            std::to_string(kMaxJpegExifBlockBytes) + " bytes)");
        return false;
    }
    const int libjpegQuality =
        std::clamp(static_cast<int>(std::lround(std::clamp(quality, 0.0, 1.0) * 100)), 1, 100);

    std::vector<uint8_t> encoded;
    VectorDestination destination{};
    destination.manager.init_destination = initDestination;
    destination.manager.empty_output_buffer = growDestination;
    destination.manager.term_destination = termDestination;
    destination.output = &encoded;
    destination.initialSize = initialOutputSize(image, exifBlock.size());

    Compressor compressor;
    EncodeJob job{&compressor.info, &destination,   &image,           space,
                  components,       libjpegQuality, exifBlock.data(), exifBlock.size()};
    if (!runGuarded(compressor.error, encodeStep, &job)) {
        setError(error, std::string("JPEG encoding failed: ") + compressor.error.message);
        return false;
    }
    out = std::move(encoded);
    return true;
}

}  // namespace hx::image
