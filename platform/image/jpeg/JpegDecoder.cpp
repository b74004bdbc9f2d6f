#include <algorithm>
#include <new>
#include <utility>

#include "platform/image/PixelConversion.h"
#include "platform/image/Resample.h"
#include "platform/image/jpeg/JpegCodec.h"
#include "platform/image/jpeg/JpegErrorHandling.h"

namespace hx::image {
namespace {

using jpeg::ErrorState;
using jpeg::runGuarded;

void setError(std::string* error, std::string message) {
    if (error != nullptr) *error = std::move(message);
}

// Ordinary progressive files have around ten scans; a crafted one with thousands would keep the
// decoder busy for minutes re-reading the same coefficients.
constexpr int kMaxScans = 1000;

void limitScans(j_common_ptr info) {
    if (info->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans) {
        jpeg::fail(info, "too many scans in a progressive JPEG");
    }
}

// Owns the decompressor; destroying a zeroed or partly created one is safe.
struct Decompressor {
    jpeg_decompress_struct info{};
    ErrorState error{};
    jpeg_progress_mgr progress{};

    Decompressor() {
        jpeg::installErrorHandling(reinterpret_cast<j_common_ptr>(&info), &error);
        progress.progress_monitor = limitScans;
    }
    ~Decompressor() { jpeg_destroy_decompress(&info); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    std::string message() const { return error.message; }
};

// ---- Guarded steps ----------------------------------------------------------------------------

struct HeaderJob {
    Decompressor* decompressor;
    const uint8_t* data;
    size_t size;
};

void readHeaderStep(HeaderJob* job) {
    jpeg_decompress_struct* info = &job->decompressor->info;
    jpeg_create_decompress(info);
    info->progress = &job->decompressor->progress;
    jpeg_mem_src(info, job->data, static_cast<unsigned long>(job->size));
    jpeg_read_header(info, TRUE);
}

struct ScaleJob {
    jpeg_decompress_struct* info;
    int minimumLongSide;  // 0: full size
};

// The smallest of 1/8, 1/4, 1/2 whose long side still reaches the minimum, else full size.
void chooseScaleStep(ScaleJob* job) {
    jpeg_decompress_struct* info = job->info;
    info->scale_num = 1;
    for (unsigned int denominator : {8u, 4u, 2u}) {
        if (job->minimumLongSide <= 0) break;
        info->scale_denom = denominator;
        jpeg_calc_output_dimensions(info);
        if (int(std::max(info->output_width, info->output_height)) >= job->minimumLongSide) return;
    }
    info->scale_denom = 1;
    jpeg_calc_output_dimensions(info);
}

struct PixelsJob {
    jpeg_decompress_struct* info;
    uint8_t* pixels;
    size_t rowBytes;
    JDIMENSION width, height;
    int components;
    uint8_t* cmykRow;  // one CMYK row when the file is CMYK or YCCK, else null
};

// Adobe's CMYK JPEGs store every ink inverted (255 means no ink); others store it plainly.
void cmykToRgb(const uint8_t* cmyk, uint8_t* rgb, JDIMENSION count, bool inverted) {
    for (JDIMENSION i = 0; i < count; ++i, cmyk += 4, rgb += 3) {
        const uint32_t k = inverted ? cmyk[3] : 255u - cmyk[3];
        for (int c = 0; c < 3; ++c) {
            const uint32_t ink = inverted ? cmyk[c] : 255u - cmyk[c];
            rgb[c] = static_cast<uint8_t>(divideBy255(ink * k));
        }
    }
}

void readPixelsStep(PixelsJob* job) {
    jpeg_decompress_struct* info = job->info;
    jpeg_start_decompress(info);
    // The buffer was sized from the same parameters; make sure libjpeg agrees.
    if (info->output_width != job->width || info->output_height != job->height ||
        info->output_components != (job->cmykRow != nullptr ? 4 : job->components)) {
        jpeg::fail(reinterpret_cast<j_common_ptr>(info), "unexpected JPEG output layout");
    }
    constexpr JDIMENSION kRowsPerCall = 16;
    JSAMPROW rows[kRowsPerCall];
    while (info->output_scanline < info->output_height) {
        const JDIMENSION first = info->output_scanline;
        uint8_t* destination = job->pixels + job->rowBytes * first;
        JDIMENSION count = 0;
        if (job->cmykRow != nullptr) {
            rows[0] = job->cmykRow;
            count = jpeg_read_scanlines(info, rows, 1);
            if (count == 1)
                cmykToRgb(job->cmykRow, destination, job->width, info->saw_Adobe_marker);
        } else {
            const JDIMENSION wanted = std::min(kRowsPerCall, info->output_height - first);
            for (JDIMENSION k = 0; k < wanted; ++k) rows[k] = destination + job->rowBytes * k;
            count = jpeg_read_scanlines(info, rows, wanted);
        }
        if (count == 0) jpeg::fail(reinterpret_cast<j_common_ptr>(info), "JPEG data ends early");
    }
    // jpeg_finish_decompress is skipped: every pixel has been read, and whatever follows the
    // image data is of no interest here.
}

// ---- Output choice ----------------------------------------------------------------------------

struct OutputPlan {
    J_COLOR_SPACE space;
    PixelFormat format;
    bool cmyk;
};

std::optional<OutputPlan> planOutput(const jpeg_decompress_struct& info) {
    switch (info.jpeg_color_space) {
        case JCS_GRAYSCALE:
            return OutputPlan{JCS_GRAYSCALE, PixelFormat::Grey8, false};
        case JCS_YCbCr:
        case JCS_RGB:
            return OutputPlan{JCS_RGB, PixelFormat::RGB8, false};
        case JCS_CMYK:
        case JCS_YCCK:
            // libjpeg turns YCCK into CMYK but has no CMYK to RGB conversion; ours follows.
            return OutputPlan{JCS_CMYK, PixelFormat::RGB8, true};
        default:
            return std::nullopt;
    }
}

int storedComponents(const jpeg_decompress_struct& info) {
    switch (info.jpeg_color_space) {
        case JCS_GRAYSCALE:
            return 1;
        case JCS_CMYK:
        case JCS_YCCK:
            return 4;
        case JCS_YCbCr:
        case JCS_RGB:
            return 3;
        default:
            return info.num_components;
    }
}

bool hasJpegSignature(const uint8_t* data, size_t size) {
    return data != nullptr && size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

bool readHeader(Decompressor& decompressor, const uint8_t* data, size_t size, std::string* error) {
    if (data == nullptr || size == 0) {
        setError(error, "no JPEG data");
        return false;
    }
    if (!hasJpegSignature(data, size)) {
        setError(error, "not a JPEG file (no start-of-image marker)");
        return false;
    }
    HeaderJob job{&decompressor, data, size};
    if (!runGuarded(decompressor.error, readHeaderStep, &job)) {
        setError(error, "invalid JPEG data: " + decompressor.message());
        return false;
    }
    return true;
}

}  // namespace

std::optional<ImageInfo> probeJpeg(const uint8_t* data, size_t size, std::string* error) {
    Decompressor decompressor;
    if (!readHeader(decompressor, data, size, error)) return std::nullopt;
    const jpeg_decompress_struct& info = decompressor.info;
    return ImageInfo{int(info.image_width), int(info.image_height), storedComponents(info)};
}

ImageRef decodeJpeg(const uint8_t* data, size_t size, int maxPixelSize, std::string* error) {
    return decodeJpeg(data, size, maxPixelSize, error, nullptr);
}

ImageRef decodeJpeg(const uint8_t* data, size_t size, int maxPixelSize, std::string* error,
                    ImageRef recycled) {
    Decompressor decompressor;
    if (!readHeader(decompressor, data, size, error)) return nullptr;
    jpeg_decompress_struct& info = decompressor.info;
    const int width = static_cast<int>(info.image_width);
    const int height = static_cast<int>(info.image_height);
    if (!decodeSizeAllowed(info.image_width, info.image_height)) {
        setError(error, "JPEG image is too large or empty (" + std::to_string(width) + "x" +
                            std::to_string(height) + ")");
        return nullptr;
    }
    const std::optional<OutputPlan> plan = planOutput(info);
    if (!plan) {
        setError(error, "unsupported JPEG colour space (" + std::to_string(info.num_components) +
                            " components)");
        return nullptr;
    }
    info.out_color_space = plan->space;

    const ScaledSize target = fitWithin(width, height, std::max(0, maxPixelSize));
    const bool shrinking = target.width != width || target.height != height;
    // The accurate transform costs no measurable time, and a thumbnail should match the one the
    // resampler makes from the same picture stored losslessly.
    info.dct_method = JDCT_ISLOW;
    // The result is averaged down afterwards, which hides the small losses of this.
    if (shrinking) info.do_fancy_upsampling = FALSE;
    // Decoding at 1/2, 1/4 or 1/8 size filters differently from an area average; decoding at
    // least 4 times the thumbnail's size, so that the resampler averages 4 or more decoded pixels
    // across into each one, keeps the thumbnail within ±2 of the one made from the full picture.
    constexpr int kResamplerShare = 4;
    ScaleJob scaleJob{&info,
                      shrinking ? kResamplerShare * std::max(target.width, target.height) : 0};
    if (!runGuarded(decompressor.error, chooseScaleStep, &scaleJob)) {
        setError(error, "invalid JPEG data: " + decompressor.message());
        return nullptr;
    }

    const int components = static_cast<int>(bytesPerPixel(plan->format));
    const size_t rowBytes = size_t{info.output_width} * components;
    // Every byte is written by the decoder: no zero-filling first.
    PixelMemory pixels = PixelMemory::allocate(rowBytes * info.output_height, std::move(recycled));
    std::vector<uint8_t> cmykRow;
    try {
        if (plan->cmyk) cmykRow.resize(size_t{info.output_width} * 4);
    } catch (const std::bad_alloc&) {
        pixels = PixelMemory();
    }
    if (!pixels) {
        setError(error, "out of memory for a " + std::to_string(info.output_width) + "x" +
                            std::to_string(info.output_height) + " JPEG image");
        return nullptr;
    }
    PixelsJob pixelsJob{&info,
                        pixels.data(),
                        rowBytes,
                        info.output_width,
                        info.output_height,
                        components,
                        plan->cmyk ? cmykRow.data() : nullptr};
    if (!runGuarded(decompressor.error, readPixelsStep, &pixelsJob)) {
        setError(error, "invalid JPEG data: " + decompressor.message());
        return nullptr;
    }
    ImageRef image = Image::adopt(plan->format, int(pixelsJob.width), int(pixelsJob.height),
                                  std::move(pixels), rowBytes);
    if (!image) {
        setError(error, "out of memory for the decoded JPEG image");
        return nullptr;
    }
    return shrinking ? scaleToFit(image, width, height, maxPixelSize, error) : image;
}

}  // namespace hx::image
