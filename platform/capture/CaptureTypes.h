#pragma once

// Names and values of the camera layer, with the platform's names: device types, media types,
// positions, focus, exposure, white-balance and flash modes, session presets, video
// orientations, authorisation states, error codes and the keys of pixel-buffer settings.

#include <cstdint>
#include <string>

#include "platform/gpu/PixelBuffer.h"

namespace hx::capture {

// Device types. Back lenses, the multi-camera devices that combine them, and the front camera
// (a wide-angle camera at the front position).
inline constexpr const char* AVCaptureDeviceTypeBuiltInWideAngleCamera =
    "AVCaptureDeviceTypeBuiltInWideAngleCamera";
inline constexpr const char* AVCaptureDeviceTypeBuiltInUltraWideCamera =
    "AVCaptureDeviceTypeBuiltInUltraWideCamera";
inline constexpr const char* AVCaptureDeviceTypeBuiltInTelephotoCamera =
    "AVCaptureDeviceTypeBuiltInTelephotoCamera";
inline constexpr const char* AVCaptureDeviceTypeBuiltInDualCamera =
    "AVCaptureDeviceTypeBuiltInDualCamera";
inline constexpr const char* AVCaptureDeviceTypeBuiltInDualWideCamera =
    "AVCaptureDeviceTypeBuiltInDualWideCamera";
inline constexpr const char* AVCaptureDeviceTypeBuiltInTripleCamera =
    "AVCaptureDeviceTypeBuiltInTripleCamera";

inline constexpr const char* AVMediaTypeVideo = "vide";
inline constexpr const char* AVMediaTypeAudio = "soun";

enum CaptureDevicePosition : int64_t {
    AVCaptureDevicePositionUnspecified = 0,
    AVCaptureDevicePositionBack = 1,
    AVCaptureDevicePositionFront = 2,
};

enum CaptureFocusMode : int64_t {
    AVCaptureFocusModeLocked = 0,
    AVCaptureFocusModeAutoFocus = 1,
    AVCaptureFocusModeContinuousAutoFocus = 2,
};

enum CaptureExposureMode : int64_t {
    AVCaptureExposureModeLocked = 0,
    AVCaptureExposureModeAutoExpose = 1,
    AVCaptureExposureModeContinuousAutoExposure = 2,
    AVCaptureExposureModeCustom = 3,
};

enum CaptureWhiteBalanceMode : int64_t {
    AVCaptureWhiteBalanceModeLocked = 0,
    AVCaptureWhiteBalanceModeAutoWhiteBalance = 1,
    AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance = 2,
};

enum CaptureFlashMode : int64_t {
    AVCaptureFlashModeOff = 0,
    AVCaptureFlashModeOn = 1,
    AVCaptureFlashModeAuto = 2,
};

// How a connection turns its frames: upright for that hold of the device. Landscape right is
// the sensor's own orientation, in which stills are always delivered.
enum CaptureVideoOrientation : int64_t {
    AVCaptureVideoOrientationPortrait = 1,
    AVCaptureVideoOrientationPortraitUpsideDown = 2,
    AVCaptureVideoOrientationLandscapeRight = 3,
    AVCaptureVideoOrientationLandscapeLeft = 4,
};

enum CaptureAuthorizationStatus : int64_t {
    AVAuthorizationStatusNotDetermined = 0,
    AVAuthorizationStatusRestricted = 1,
    AVAuthorizationStatusDenied = 2,
    AVAuthorizationStatusAuthorized = 3,
};

// Session presets: what size the video data output's frames have.
inline constexpr const char* AVCaptureSessionPresetPhoto = "AVCaptureSessionPresetPhoto";
inline constexpr const char* AVCaptureSessionPresetHigh = "AVCaptureSessionPresetHigh";
inline constexpr const char* AVCaptureSessionPresetMedium = "AVCaptureSessionPresetMedium";
inline constexpr const char* AVCaptureSessionPresetLow = "AVCaptureSessionPresetLow";
inline constexpr const char* AVCaptureSessionPreset640x480 = "AVCaptureSessionPreset640x480";
inline constexpr const char* AVCaptureSessionPreset1280x720 = "AVCaptureSessionPreset1280x720";
inline constexpr const char* AVCaptureSessionPreset1920x1080 = "AVCaptureSessionPreset1920x1080";
inline constexpr const char* AVCaptureSessionPresetInputPriority =
    "AVCaptureSessionPresetInputPriority";

// Key of video and photo settings dictionaries; the value is a four-character pixel format.
inline constexpr const char* kCVPixelBufferPixelFormatTypeKey = "PixelFormatType";
inline constexpr uint32_t kCVPixelFormatType_32BGRA = gpu::PixelFormatType32BGRA;

// Key-value observation: the device's keys and what a change carries.
inline constexpr const char* kAdjustingFocusKeyPath = "adjustingFocus";
inline constexpr const char* kAdjustingExposureKeyPath = "adjustingExposure";
enum KeyValueObservingOptions : uint32_t {
    NSKeyValueObservingOptionNew = 0x01,
    NSKeyValueObservingOptionOld = 0x02,
    NSKeyValueObservingOptionInitial = 0x04,
};

// Notifications of cameras coming and going (NotificationCenter::defaultCenter()). A device
// posts the first two with itself as the object, on its device queue; a backend posts the
// connected one with no object when a camera it had never offered appears. A session posts the
// last two with itself as the object; an interruption carries its reason under
// AVCaptureSessionInterruptionReasonKey as a number.
inline constexpr const char* AVCaptureDeviceWasConnectedNotification =
    "AVCaptureDeviceWasConnectedNotification";
inline constexpr const char* AVCaptureDeviceWasDisconnectedNotification =
    "AVCaptureDeviceWasDisconnectedNotification";
inline constexpr const char* AVCaptureSessionWasInterruptedNotification =
    "AVCaptureSessionWasInterruptedNotification";
inline constexpr const char* AVCaptureSessionInterruptionEndedNotification =
    "AVCaptureSessionInterruptionEndedNotification";
inline constexpr const char* AVCaptureSessionInterruptionReasonKey =
    "AVCaptureSessionInterruptionReasonKey";

enum CaptureSessionInterruptionReason : int64_t {
    AVCaptureSessionInterruptionReasonVideoDeviceNotAvailableInBackground = 1,
    AVCaptureSessionInterruptionReasonAudioDeviceInUseByAnotherClient = 2,
    AVCaptureSessionInterruptionReasonVideoDeviceInUseByAnotherClient = 3,
    AVCaptureSessionInterruptionReasonVideoDeviceNotAvailableWithMultipleForegroundApps = 4,
    AVCaptureSessionInterruptionReasonVideoDeviceNotAvailableDueToSystemPressure = 5,
    // The session's camera was unplugged or its daemon dropped it.
    AVCaptureSessionInterruptionReasonVideoDeviceNotAvailable = 100,
};

// Error codes of CaptureError.
inline constexpr int64_t AVErrorUnknown = -11800;
inline constexpr int64_t AVErrorSessionNotRunning = -11803;
inline constexpr int64_t AVErrorDeviceNotConnected = -11814;
inline constexpr int64_t AVErrorDeviceInUseByAnotherApplication = -11815;
inline constexpr int64_t AVErrorDeviceLockedForConfigurationByAnotherProcess = -11817;
inline constexpr int64_t AVErrorApplicationIsNotAuthorizedToUseDevice = -11852;

struct CaptureError {
    int64_t code = AVErrorUnknown;
    std::string localizedDescription;
};

// The pixel size of a format or a frame.
struct VideoDimensions {
    int32_t width = 0;
    int32_t height = 0;
    friend bool operator==(const VideoDimensions&, const VideoDimensions&) = default;
};

// Short words for messages and listings ("back", "telephoto", "portrait").
const char* positionName(CaptureDevicePosition position);
const char* orientationName(CaptureVideoOrientation orientation);

}  // namespace hx::capture
