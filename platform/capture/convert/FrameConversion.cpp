#include "platform/capture/convert/FrameConversion.h"

#include <libyuv.h>

#include <algorithm>
#include <vector>

namespace hx::capture {

namespace {

bool fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

int bytesPerPixel(CameraPixelFormat format) {
    switch (format) {
        case CameraPixelFormat::YUY2:
            return 2;
        case CameraPixelFormat::RGB:
        case CameraPixelFormat::BGR:
            return 3;
        case CameraPixelFormat::BGRA:
        case CameraPixelFormat::RGBA:
            return 4;
        default:
            return 1;
    }
}

// Converts the whole frame to BGRA of the frame's own size at `out`.
bool toBGRA(const CameraFrame& f, uint8_t* out, int outStride, std::string* error) {
    const int w = f.width, h = f.height;
    if (f.format == CameraPixelFormat::MJPEG) {
        if (libyuv::MJPGToARGB(f.data, f.size, out, outStride, w, h, w, h) != 0)
            return fail(error, "the JPEG frame could not be decoded");
        return true;
    }
    const int stride = f.stride > 0 ? f.stride : w * bytesPerPixel(f.format);
    const int chromaRows = (h + 1) / 2;
    size_t needed = size_t(stride) * h;
    int chromaStride = f.chromaStride > 0 ? f.chromaStride : stride;
    if (f.format == CameraPixelFormat::NV12 && !f.chroma) needed += size_t(stride) * chromaRows;
    if (f.format == CameraPixelFormat::I420) {
        if (!f.chroma) chromaStride = (stride + 1) / 2;
        if (!f.chroma) needed += 2 * size_t(chromaStride) * chromaRows;
    }
    if (stride < w * bytesPerPixel(f.format) || f.size < needed)
        return fail(error, "the frame is shorter than its size says");
    const uint8_t* chroma = f.chroma ? f.chroma : f.data + size_t(stride) * h;
    int result = -1;
    switch (f.format) {
        case CameraPixelFormat::YUY2:
            result = libyuv::YUY2ToARGB(f.data, stride, out, outStride, w, h);
            break;
        case CameraPixelFormat::NV12:
            result = libyuv::NV12ToARGB(f.data, stride, chroma, chromaStride, out, outStride, w, h);
            break;
        case CameraPixelFormat::I420: {
            const uint8_t* v = chroma + size_t(chromaStride) * chromaRows;
            result = libyuv::I420ToARGB(f.data, stride, chroma, chromaStride, v, chromaStride, out,
                                        outStride, w, h);
            break;
        }
        case CameraPixelFormat::RGB:  // R, G, B in memory: libyuv's RAW
            result = libyuv::RAWToARGB(f.data, stride, out, outStride, w, h);
            break;
        case CameraPixelFormat::BGR:  // B, G, R in memory: libyuv's RGB24
            result = libyuv::RGB24ToARGB(f.data, stride, out, outStride, w, h);
            break;
        case CameraPixelFormat::BGRA:
            result = libyuv::ARGBCopy(f.data, stride, out, outStride, w, h);
            break;
        case CameraPixelFormat::RGBA:  // R, G, B, A in memory: libyuv's ABGR
            result = libyuv::ABGRToARGB(f.data, stride, out, outStride, w, h);
            break;
        case CameraPixelFormat::MJPEG:
            break;
    }
    if (result != 0) return fail(error, "the frame could not be converted");
    return true;
}

libyuv::RotationMode rotationFor(CaptureVideoOrientation orientation) {
    switch (orientation) {
        case AVCaptureVideoOrientationPortrait:
            return libyuv::kRotate90;
        case AVCaptureVideoOrientationPortraitUpsideDown:
            return libyuv::kRotate270;
        case AVCaptureVideoOrientationLandscapeLeft:
            return libyuv::kRotate180;
        case AVCaptureVideoOrientationLandscapeRight:
        default:
            return libyuv::kRotate0;
    }
}

}  // namespace

const char* cameraPixelFormatName(CameraPixelFormat format) {
    switch (format) {
        case CameraPixelFormat::YUY2:
            return "YUY2";
        case CameraPixelFormat::NV12:
            return "NV12";
        case CameraPixelFormat::I420:
            return "I420";
        case CameraPixelFormat::RGB:
            return "RGB";
        case CameraPixelFormat::BGR:
            return "BGR";
        case CameraPixelFormat::BGRA:
            return "BGRA";
        case CameraPixelFormat::RGBA:
            return "RGBA";
        case CameraPixelFormat::MJPEG:
            return "MJPEG";
    }
    return "?";
}

bool convertFrame(const CameraFrame& frame, CaptureVideoOrientation orientation,
                  gpu::PixelBuffer& destination, std::string* error, double zoom) {
    if (!frame.data || frame.width <= 0 || frame.height <= 0)
        return fail(error, "the frame is empty");
    if (destination.pixelFormatType() != gpu::PixelFormatType32BGRA)
        return fail(error, "the destination is not BGRA");
    const int dw = int(destination.width()), dh = int(destination.height());
    const int ds = int(destination.bytesPerRow());
    uint8_t* out = destination.baseAddress();
    const libyuv::RotationMode rotation = rotationFor(orientation);

    // The common case: the frame fills the buffer as it is.
    zoom = std::max(zoom, 1.0);
    if (rotation == libyuv::kRotate0 && frame.width == dw && frame.height == dh && zoom == 1)
        return toBGRA(frame, out, ds, error);

    const int w = frame.width, h = frame.height;
    std::vector<uint8_t> converted(size_t(w) * h * 4);
    if (!toBGRA(frame, converted.data(), w * 4, error)) return false;

    const uint8_t* turned = converted.data();
    int tw = w, th = h;
    std::vector<uint8_t> rotated;
    if (rotation != libyuv::kRotate0) {
        if (rotation != libyuv::kRotate180) std::swap(tw, th);
        rotated.resize(converted.size());
        libyuv::ARGBRotate(converted.data(), w * 4, rotated.data(), tw * 4, w, h, rotation);
        turned = rotated.data();
    }

    // The largest part of the turned frame with the buffer's shape, around its centre.
    int cw = tw, ch = th;
    if (int64_t{tw} * dh > int64_t{th} * dw)
        cw = std::max(1, int(int64_t{th} * dw / dh));
    else
        ch = std::max(1, int(int64_t{tw} * dh / dw));
    cw = std::max(1, int(cw / zoom));
    ch = std::max(1, int(ch / zoom));
    const uint8_t* crop = turned + size_t((th - ch) / 2) * tw * 4 + size_t((tw - cw) / 2) * 4;
    if (libyuv::ARGBScale(crop, tw * 4, cw, ch, out, ds, dw, dh, libyuv::kFilterBilinear) != 0)
        return fail(error, "the frame could not be scaled");
    return true;
}

}  // namespace hx::capture
