#pragma once

// What a V4L2 camera node is: its card name, driver and bus, where it faces, the frame layouts
// and sizes it offers with their fastest rates, and the controls the capture layer's settings
// map onto. Read once from the node (VIDIOC_QUERYCAP, ENUM_FMT, ENUM_FRAMESIZES,
// ENUM_FRAMEINTERVALS, QUERYCTRL); only nodes that capture video by streaming are cameras.
//
// The choices made from it are plain functions here, so that they can be checked on their own:
// which layout the preview and a still stream in, what a camera reports it can do, and which
// control values a change of the settings writes.
//
// Threads: every function may be called from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/capture/CameraDriver.h"
#include "platform/capture/CaptureDeviceCapabilities.h"
#include "platform/capture/convert/FrameConversion.h"
#include "platform/capture/v4l2/V4l2Io.h"

namespace hx::capture {

// One layout at one size.
struct V4l2Format {
    uint32_t fourcc = 0;
    CameraPixelFormat pixelFormat = CameraPixelFormat::YUY2;
    VideoDimensions size;
    double framesPerSecond = 0;  // the fastest rate at this size; 0 when the camera does not say
};

// One control as the camera describes it.
struct V4l2Control {
    uint32_t id = 0;
    int32_t minimum = 0, maximum = 0, step = 1, defaultValue = 0;
};

struct V4l2Camera {
    std::string path;  // "/dev/video0"
    std::string card;  // what the camera calls itself: its name and its photos' model
    std::string driver, busInfo;
    std::string manufacturer;  // the USB maker's name where the system knows it
    CaptureDevicePosition position = AVCaptureDevicePositionBack;
    std::vector<V4l2Format> formats;

    std::optional<V4l2Control> exposureBias;  // V4L2_CID_AUTO_EXPOSURE_BIAS
    // The bias menu's values in thousandths of a stop, from the control's minimum index on.
    std::vector<int64_t> biasSteps;
    std::optional<V4l2Control> exposureAuto;      // V4L2_CID_EXPOSURE_AUTO
    std::optional<V4l2Control> exposureAbsolute;  // V4L2_CID_EXPOSURE_ABSOLUTE
    std::optional<V4l2Control> focusAuto;         // V4L2_CID_FOCUS_AUTO
    std::optional<V4l2Control> focusAbsolute;     // V4L2_CID_FOCUS_ABSOLUTE
    std::optional<V4l2Control> focusStart;        // V4L2_CID_AUTO_FOCUS_START
    std::optional<V4l2Control> zoomAbsolute;      // V4L2_CID_ZOOM_ABSOLUTE
    std::optional<V4l2Control> whiteBalanceAuto;  // V4L2_CID_AUTO_WHITE_BALANCE
    // The automatic exposure mode the camera starts in, which a bias of 0 returns to.
    int32_t automaticExposure = 0;

    // The same camera however its node is numbered: its bus and card.
    std::string uniqueID() const;
};

// Reads the camera at `path`. Nothing, with the reason, when the node cannot be opened or is not
// a streaming video-capture camera; `errorNumber` (when given) gets the errno of a failed open.
std::optional<V4l2Camera> probeV4l2Camera(V4l2Io& io, const std::string& path, std::string* why,
                                          int* errorNumber = nullptr);

// The layout of a fourcc we convert; nothing for others.
std::optional<CameraPixelFormat> v4l2PixelFormat(uint32_t fourcc);
// "YUYV", "MJPG", ...
std::string v4l2FourccName(uint32_t fourcc);

// The preview's layout for frames of `wanted` (sensor orientation): the smallest size that
// covers it, else the largest; at that size, an uncompressed layout unless only a compressed one
// reaches 15 frames a second. Null when the camera offers nothing we convert.
const V4l2Format* chooseV4l2PreviewFormat(const V4l2Camera& camera, VideoDimensions wanted);
// A still's layout at `size` (the active format), uncompressed where the camera offers it; the
// largest size when the camera has no layout at `size`.
const V4l2Format* chooseV4l2StillFormat(const V4l2Camera& camera, VideoDimensions size);

// What the camera can do, as the capture layer asks.
CaptureDeviceCapabilities v4l2Capabilities(const V4l2Camera& camera);

// The zoom factors the camera's zoom control spans (1 with none), and the control's value for a
// factor.
double v4l2MaxZoomFactor(const V4l2Control& zoom);
int32_t v4l2ZoomValue(const V4l2Control& zoom, double factor);

struct V4l2ControlValue {
    uint32_t id = 0;
    int32_t value = 0;
    friend bool operator==(const V4l2ControlValue&, const V4l2ControlValue&) = default;
};
// The values to write for a change of the settings, in order. `focusPosition` is where the lens
// stands now (read from the camera), which locking focus keeps.
std::vector<V4l2ControlValue> v4l2ControlsFor(const V4l2Camera& camera,
                                              const CaptureDeviceSettings& settings,
                                              SettingsChange change,
                                              std::optional<int32_t> focusPosition = {});

}  // namespace hx::capture
