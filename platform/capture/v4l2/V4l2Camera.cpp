#include "platform/capture/v4l2/V4l2Camera.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <tuple>

namespace hx::capture {

namespace {

constexpr double kMaxDigitalZoom = 4;
constexpr double kSmoothPreviewRate = 15;
constexpr float kMaxBias = 8;
// Frame sizes offered for a camera that states a range of sizes instead of a list.
constexpr VideoDimensions kCommonSizes[] = {{640, 480}, {1280, 720}, {1280, 960}, {1920, 1080}};

int64_t area(VideoDimensions d) {
    return int64_t{d.width} * d.height;
}

bool compressed(const V4l2Format& format) {
    return format.pixelFormat == CameraPixelFormat::MJPEG;
}

std::string text(const uint8_t* bytes, size_t size) {
    const auto* chars = reinterpret_cast<const char*>(bytes);
    return std::string(chars, strnlen(chars, size));
}

// A line of a sysfs file, or empty.
std::string firstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// The USB maker's name of a /dev/videoN camera, from the USB device the node belongs to.
std::string usbManufacturer(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string node = path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (node.rfind("video", 0) != 0) return {};
    return firstLine("/sys/class/video4linux/" + node + "/device/../manufacturer");
}

std::optional<V4l2Control> queryControl(V4l2Io& io, int fd, uint32_t id) {
    v4l2_queryctrl query{};
    query.id = id;
    if (v4l2Ioctl(io, fd, VIDIOC_QUERYCTRL, &query) < 0) return std::nullopt;
    if (query.flags & (V4L2_CTRL_FLAG_DISABLED | V4L2_CTRL_FLAG_READ_ONLY)) return std::nullopt;
    return V4l2Control{id, query.minimum, query.maximum, std::max(query.step, 1),
                       query.default_value};
}

double fastestRate(V4l2Io& io, int fd, uint32_t fourcc, VideoDimensions size) {
    double fastest = 0;
    for (uint32_t index = 0; index < 64; ++index) {
        v4l2_frmivalenum interval{};
        interval.index = index;
        interval.pixel_format = fourcc;
        interval.width = uint32_t(size.width);
        interval.height = uint32_t(size.height);
        if (v4l2Ioctl(io, fd, VIDIOC_ENUM_FRAMEINTERVALS, &interval) < 0) break;
        // A range states its shortest interval first.
        const v4l2_fract f =
            interval.type == V4L2_FRMIVAL_TYPE_DISCRETE ? interval.discrete : interval.stepwise.min;
        if (f.numerator > 0) fastest = std::max(fastest, double(f.denominator) / f.numerator);
        if (interval.type != V4L2_FRMIVAL_TYPE_DISCRETE) break;
    }
    return fastest;
}

// The sizes the camera offers in one layout.
std::vector<VideoDimensions> sizesOf(V4l2Io& io, int fd, uint32_t fourcc) {
    std::vector<VideoDimensions> sizes;
    for (uint32_t index = 0; index < 256; ++index) {
        v4l2_frmsizeenum size{};
        size.index = index;
        size.pixel_format = fourcc;
        if (v4l2Ioctl(io, fd, VIDIOC_ENUM_FRAMESIZES, &size) < 0) break;
        if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
            sizes.push_back({int32_t(size.discrete.width), int32_t(size.discrete.height)});
            continue;
        }
        const auto& range = size.stepwise;
        for (VideoDimensions common : kCommonSizes)
            if (uint32_t(common.width) >= range.min_width &&
                uint32_t(common.width) <= range.max_width &&
                uint32_t(common.height) >= range.min_height &&
                uint32_t(common.height) <= range.max_height)
                sizes.push_back(common);
        sizes.push_back({int32_t(range.max_width), int32_t(range.max_height)});
        break;
    }
    if (!sizes.empty()) return sizes;
    // A camera that does not list its sizes: the one it agrees to when asked for a large one.
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    format.fmt.pix.pixelformat = fourcc;
    format.fmt.pix.width = 16384;
    format.fmt.pix.height = 16384;
    format.fmt.pix.field = V4L2_FIELD_NONE;
    if (v4l2Ioctl(io, fd, VIDIOC_TRY_FMT, &format) == 0 && format.fmt.pix.pixelformat == fourcc &&
        format.fmt.pix.width > 0 && format.fmt.pix.height > 0)
        sizes.push_back({int32_t(format.fmt.pix.width), int32_t(format.fmt.pix.height)});
    return sizes;
}

void readControls(V4l2Io& io, int fd, V4l2Camera& camera) {
    camera.exposureBias = queryControl(io, fd, V4L2_CID_AUTO_EXPOSURE_BIAS);
    if (camera.exposureBias) {
        for (int32_t index = camera.exposureBias->minimum; index <= camera.exposureBias->maximum;
             ++index) {
            v4l2_querymenu item{};
            item.id = V4L2_CID_AUTO_EXPOSURE_BIAS;
            item.index = uint32_t(index);
            camera.biasSteps.push_back(v4l2Ioctl(io, fd, VIDIOC_QUERYMENU, &item) == 0 ? item.value
                                                                                       : INT64_MIN);
        }
        if (std::none_of(camera.biasSteps.begin(), camera.biasSteps.end(),
                         [](int64_t v) { return v != INT64_MIN; })) {
            camera.exposureBias.reset();
            camera.biasSteps.clear();
        }
    }
    camera.exposureAuto = queryControl(io, fd, V4L2_CID_EXPOSURE_AUTO);
    camera.exposureAbsolute = queryControl(io, fd, V4L2_CID_EXPOSURE_ABSOLUTE);
    if (camera.exposureAuto) {
        v4l2_control current{V4L2_CID_EXPOSURE_AUTO, 0};
        camera.automaticExposure =
            v4l2Ioctl(io, fd, VIDIOC_G_CTRL, &current) == 0 && current.value != V4L2_EXPOSURE_MANUAL
                ? current.value
                : camera.exposureAuto->defaultValue;
    }
    // An exposure time is a bias only where the camera can leave its automatic exposure for it.
    if (!camera.exposureAuto || camera.exposureAbsolute.value_or(V4l2Control{}).defaultValue <= 0)
        camera.exposureAbsolute.reset();
    camera.focusAuto = queryControl(io, fd, V4L2_CID_FOCUS_AUTO);
    camera.focusAbsolute = queryControl(io, fd, V4L2_CID_FOCUS_ABSOLUTE);
    camera.focusStart = queryControl(io, fd, V4L2_CID_AUTO_FOCUS_START);
    camera.zoomAbsolute = queryControl(io, fd, V4L2_CID_ZOOM_ABSOLUTE);
    if (camera.zoomAbsolute && camera.zoomAbsolute->maximum <= camera.zoomAbsolute->minimum)
        camera.zoomAbsolute.reset();
    camera.whiteBalanceAuto = queryControl(io, fd, V4L2_CID_AUTO_WHITE_BALANCE);

    // Where the camera faces, where it says (a read-only control).
    v4l2_control orientation{V4L2_CID_CAMERA_ORIENTATION, 0};
    if (v4l2Ioctl(io, fd, VIDIOC_G_CTRL, &orientation) == 0 &&
        orientation.value == V4L2_CAMERA_ORIENTATION_FRONT)
        camera.position = AVCaptureDevicePositionFront;
}

}  // namespace

std::string V4l2Camera::uniqueID() const {
    return "v4l2:" + (busInfo.empty() ? path : busInfo) + ":" + card;
}

std::optional<CameraPixelFormat> v4l2PixelFormat(uint32_t fourcc) {
    switch (fourcc) {
        case V4L2_PIX_FMT_YUYV:
            return CameraPixelFormat::YUY2;
        case V4L2_PIX_FMT_NV12:
            return CameraPixelFormat::NV12;
        case V4L2_PIX_FMT_YUV420:
            return CameraPixelFormat::I420;
        case V4L2_PIX_FMT_RGB24:
            return CameraPixelFormat::RGB;
        case V4L2_PIX_FMT_BGR24:
            return CameraPixelFormat::BGR;
        case V4L2_PIX_FMT_XBGR32:
        case V4L2_PIX_FMT_ABGR32:
        case V4L2_PIX_FMT_BGR32:
            return CameraPixelFormat::BGRA;
        case V4L2_PIX_FMT_RGBX32:
        case V4L2_PIX_FMT_RGBA32:
            return CameraPixelFormat::RGBA;
        case V4L2_PIX_FMT_MJPEG:
        case V4L2_PIX_FMT_JPEG:
            return CameraPixelFormat::MJPEG;
        default:
            return std::nullopt;
    }
}

std::string v4l2FourccName(uint32_t fourcc) {
    std::string name;
    for (int shift = 0; shift < 32; shift += 8) {
        const char c = char((fourcc >> shift) & 0xff);
        name += c >= ' ' && c <= '~' ? c : '?';
    }
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
}

std::optional<V4l2Camera> probeV4l2Camera(V4l2Io& io, const std::string& path, std::string* why,
                                          int* errorNumber) {
    auto fail = [&](const std::string& reason) -> std::optional<V4l2Camera> {
        if (why) *why = path + ": " + reason;
        return std::nullopt;
    };
    const int fd = io.open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (errorNumber) *errorNumber = error;
        return fail(std::strerror(error));
    }
    struct Closer {
        V4l2Io& io;
        int fd;
        ~Closer() { io.close(fd); }
    } closer{io, fd};

    v4l2_capability capability{};
    if (v4l2Ioctl(io, fd, VIDIOC_QUERYCAP, &capability) < 0)
        return fail(std::string("not a V4L2 device (") + std::strerror(errno) + ")");
    const uint32_t caps = (capability.capabilities & V4L2_CAP_DEVICE_CAPS)
                              ? capability.device_caps
                              : capability.capabilities;
    if (!(caps & V4L2_CAP_VIDEO_CAPTURE)) return fail("does not capture video");
    if (!(caps & V4L2_CAP_STREAMING)) return fail("does not stream");

    V4l2Camera camera;
    camera.path = path;
    camera.card = text(capability.card, sizeof capability.card);
    camera.driver = text(capability.driver, sizeof capability.driver);
    camera.busInfo = text(capability.bus_info, sizeof capability.bus_info);
    if (camera.card.empty()) camera.card = path;
    camera.manufacturer = usbManufacturer(path);

    for (uint32_t index = 0; index < 64; ++index) {
        v4l2_fmtdesc description{};
        description.index = index;
        description.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (v4l2Ioctl(io, fd, VIDIOC_ENUM_FMT, &description) < 0) break;
        const auto pixel = v4l2PixelFormat(description.pixelformat);
        if (!pixel) continue;
        for (VideoDimensions size : sizesOf(io, fd, description.pixelformat)) {
            const bool known =
                std::any_of(camera.formats.begin(), camera.formats.end(), [&](const auto& f) {
                    return f.fourcc == description.pixelformat && f.size == size;
                });
            if (!known)
                camera.formats.push_back({description.pixelformat, *pixel, size,
                                          fastestRate(io, fd, description.pixelformat, size)});
        }
    }
    if (camera.formats.empty()) return fail("offers no frame layout we can read");
    // A camera that does not list its rates still says the rate of the layout it is set to.
    v4l2_format current{};
    current.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    v4l2_streamparm parameters{};
    parameters.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (v4l2Ioctl(io, fd, VIDIOC_G_FMT, &current) == 0 &&
        v4l2Ioctl(io, fd, VIDIOC_G_PARM, &parameters) == 0 &&
        parameters.parm.capture.timeperframe.numerator > 0)
        for (V4l2Format& format : camera.formats)
            if (format.framesPerSecond == 0 && format.fourcc == current.fmt.pix.pixelformat &&
                format.size == VideoDimensions{int32_t(current.fmt.pix.width),
                                               int32_t(current.fmt.pix.height)})
                format.framesPerSecond = double(parameters.parm.capture.timeperframe.denominator) /
                                         parameters.parm.capture.timeperframe.numerator;
    readControls(io, fd, camera);
    return camera;
}

const V4l2Format* chooseV4l2PreviewFormat(const V4l2Camera& camera, VideoDimensions wanted) {
    std::optional<VideoDimensions> covering, largest;
    for (const V4l2Format& format : camera.formats) {
        const VideoDimensions s = format.size;
        if (!largest || area(s) > area(*largest)) largest = s;
        if (s.width >= wanted.width && s.height >= wanted.height &&
            (!covering || area(s) < area(*covering)))
            covering = s;
    }
    if (!largest) return nullptr;
    const VideoDimensions size = covering ? *covering : *largest;
    // At that size: smooth before uncompressed, uncompressed before compressed, then faster.
    const V4l2Format* best = nullptr;
    auto rank = [](const V4l2Format& f) {
        const bool smooth = f.framesPerSecond == 0 || f.framesPerSecond >= kSmoothPreviewRate;
        return std::tuple(smooth, !compressed(f), f.framesPerSecond);
    };
    for (const V4l2Format& format : camera.formats)
        if (format.size == size && (!best || rank(format) > rank(*best))) best = &format;
    return best;
}

const V4l2Format* chooseV4l2StillFormat(const V4l2Camera& camera, VideoDimensions size) {
    const V4l2Format* best = nullptr;
    for (const V4l2Format& format : camera.formats)
        if (format.size == size && (!best || (compressed(*best) && !compressed(format))))
            best = &format;
    if (best) return best;
    for (const V4l2Format& format : camera.formats)
        if (!best || area(format.size) > area(best->size) ||
            (format.size == best->size && compressed(*best) && !compressed(format)))
            best = &format;
    return best;
}

double v4l2MaxZoomFactor(const V4l2Control& zoom) {
    if (zoom.maximum <= zoom.minimum) return 1;
    // A range from a positive minimum counts magnification (100 to 400: up to four times);
    // one from zero is spread over the usual fourfold.
    if (zoom.minimum > 0) return double(zoom.maximum) / zoom.minimum;
    return kMaxDigitalZoom;
}

int32_t v4l2ZoomValue(const V4l2Control& zoom, double factor) {
    const double most = v4l2MaxZoomFactor(zoom);
    factor = std::clamp(factor, 1.0, most);
    double value = zoom.minimum > 0 ? zoom.minimum * factor
                                    : zoom.minimum + (factor - 1) / (most - 1) *
                                                         double(zoom.maximum - zoom.minimum);
    const double steps = std::round((value - zoom.minimum) / zoom.step);
    value = zoom.minimum + steps * zoom.step;
    return int32_t(std::clamp(value, double(zoom.minimum), double(zoom.maximum)));
}

CaptureDeviceCapabilities v4l2Capabilities(const V4l2Camera& camera) {
    CaptureDeviceCapabilities c;
    c.uniqueID = camera.uniqueID();
    c.localizedName = camera.card;
    c.deviceType = AVCaptureDeviceTypeBuiltInWideAngleCamera;
    c.position = camera.position;
    c.manufacturer = camera.manufacturer;
    c.modelID = camera.card;
    for (const V4l2Format& format : camera.formats)
        if (std::find(c.formats.begin(), c.formats.end(), format.size) == c.formats.end())
            c.formats.push_back(format.size);

    c.focusModes = {AVCaptureFocusModeContinuousAutoFocus};
    if (camera.focusAuto) c.focusModes.push_back(AVCaptureFocusModeLocked);
    if (camera.focusAuto && camera.focusStart) c.focusModes.push_back(AVCaptureFocusModeAutoFocus);
    c.exposureModes = {AVCaptureExposureModeContinuousAutoExposure};
    c.whiteBalanceModes = {AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance};
    if (camera.whiteBalanceAuto) c.whiteBalanceModes.push_back(AVCaptureWhiteBalanceModeLocked);

    c.minExposureTargetBias = c.maxExposureTargetBias = 0;
    if (camera.exposureBias) {
        float low = 0, high = 0;
        for (int64_t step : camera.biasSteps) {
            if (step == INT64_MIN) continue;
            low = std::min(low, float(step) / 1000);
            high = std::max(high, float(step) / 1000);
        }
        c.minExposureTargetBias = std::max(low, -kMaxBias);
        c.maxExposureTargetBias = std::min(high, kMaxBias);
    } else if (camera.exposureAbsolute) {
        const V4l2Control& e = *camera.exposureAbsolute;
        c.minExposureTargetBias = std::clamp(
            float(std::log2(double(std::max(e.minimum, 1)) / e.defaultValue)), -kMaxBias, 0.f);
        c.maxExposureTargetBias = std::clamp(
            float(std::log2(double(std::max(e.maximum, 1)) / e.defaultValue)), 0.f, kMaxBias);
    }
    c.maxAvailableVideoZoomFactor =
        float(camera.zoomAbsolute ? v4l2MaxZoomFactor(*camera.zoomAbsolute) : kMaxDigitalZoom);
    c.lens.model = camera.card;
    return c;
}

std::vector<V4l2ControlValue> v4l2ControlsFor(const V4l2Camera& camera,
                                              const CaptureDeviceSettings& settings,
                                              SettingsChange change,
                                              std::optional<int32_t> focusPosition) {
    std::vector<V4l2ControlValue> out;
    switch (change) {
        case SettingsChange::Exposure: {
            const double bias = settings.exposureTargetBias;
            if (camera.exposureBias) {
                // The menu entry nearest the bias.
                size_t nearest = 0;
                int64_t distance = INT64_MAX;
                for (size_t i = 0; i < camera.biasSteps.size(); ++i) {
                    if (camera.biasSteps[i] == INT64_MIN) continue;
                    const int64_t d = std::llabs(camera.biasSteps[i] - std::llround(bias * 1000));
                    if (d < distance) {
                        distance = d;
                        nearest = i;
                    }
                }
                out.push_back(
                    {V4L2_CID_AUTO_EXPOSURE_BIAS, camera.exposureBias->minimum + int32_t(nearest)});
            } else if (camera.exposureAbsolute) {
                // No bias control: a bias is the camera's usual exposure time, that many stops
                // longer or shorter, held by hand; none gives the camera its own exposure back.
                if (std::abs(bias) < 0.01) {
                    out.push_back({V4L2_CID_EXPOSURE_AUTO, camera.automaticExposure});
                } else {
                    const V4l2Control& e = *camera.exposureAbsolute;
                    const double time = e.defaultValue * std::exp2(bias);
                    out.push_back({V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL});
                    out.push_back({V4L2_CID_EXPOSURE_ABSOLUTE,
                                   int32_t(std::clamp(std::round(time), double(e.minimum),
                                                      double(e.maximum)))});
                }
            }
            break;
        }
        case SettingsChange::Focus:
            if (!camera.focusAuto) break;
            if (settings.focusMode == AVCaptureFocusModeContinuousAutoFocus) {
                out.push_back({V4L2_CID_FOCUS_AUTO, 1});
            } else {
                out.push_back({V4L2_CID_FOCUS_AUTO, 0});
                // Locked where the lens stands now; one focusing run when asked for one.
                if (camera.focusAbsolute && focusPosition)
                    out.push_back({V4L2_CID_FOCUS_ABSOLUTE, *focusPosition});
                if (settings.focusMode == AVCaptureFocusModeAutoFocus && camera.focusStart)
                    out.push_back({V4L2_CID_AUTO_FOCUS_START, 1});
            }
            break;
        case SettingsChange::WhiteBalance:
            if (camera.whiteBalanceAuto)
                out.push_back(
                    {V4L2_CID_AUTO_WHITE_BALANCE,
                     settings.whiteBalanceMode == AVCaptureWhiteBalanceModeLocked ? 0 : 1});
            break;
        case SettingsChange::Zoom:
            if (camera.zoomAbsolute)
                out.push_back({V4L2_CID_ZOOM_ABSOLUTE,
                               v4l2ZoomValue(*camera.zoomAbsolute, settings.videoZoomFactor)});
            break;
        case SettingsChange::LowLightBoost:
        case SettingsChange::Format:
            break;
    }
    return out;
}

}  // namespace hx::capture
