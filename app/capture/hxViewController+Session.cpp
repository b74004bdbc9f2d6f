// The camera session of the camera screen: which device serves a position and a lens, the
// session with its input, video data output and photo output, the device capabilities the
// other concerns read, the photo size and film limit by hardware model, and the audio session.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/camera/hxViewController.h"
#include "platform/audio/AudioSession.h"
#include "platform/capture/CaptureDeviceDiscoverySession.h"
#include "platform/log/Log.h"
#include "platform/runloop/DispatchQueue.h"
#include "platform/ui/drawing/UIImage.h"

namespace hx::app {

using namespace hx::capture;

namespace {

// The device types asked for at the back position for a lens code, in order; empty for a code
// that names no lens.
std::vector<std::string> deviceTypesForLens(int32_t lens) {
    switch (lens) {
        case kLensUltraWide:
            return {AVCaptureDeviceTypeBuiltInUltraWideCamera};
        case kLensWide:
            return {AVCaptureDeviceTypeBuiltInWideAngleCamera};
        case kLensTele:
            return {AVCaptureDeviceTypeBuiltInTelephotoCamera};
        case kLensMulti:
            return {AVCaptureDeviceTypeBuiltInTripleCamera, AVCaptureDeviceTypeBuiltInDualCamera,
                    AVCaptureDeviceTypeBuiltInDualWideCamera};
        default:
            return {};
    }
}

size_t backDeviceCount(const char* deviceType) {
    return CaptureDeviceDiscoverySession::discoverySessionWithDeviceTypes(
               {deviceType}, AVMediaTypeVideo, AVCaptureDevicePositionBack)
        ->devices()
        .size();
}

// Runs `change` between lockForConfiguration and unlockForConfiguration; a device that cannot
// be locked skips it.
template <typename Change>
void underLock(CaptureDevice& device, Change&& change) {
    if (!device.lockForConfiguration()) return;
    change();
    device.unlockForConfiguration();
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool isOneOf(const std::string& text, std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (text == name) return true;
    return false;
}

// The user's flash choice (0 off, 1 auto, 2 on) applied to photo settings; another value leaves
// them as they are.
void applyFlashChoice(CapturePhotoSettings& settings, int32_t flash) {
    switch (flash) {
        case 0:
            settings.setFlashMode(AVCaptureFlashModeOff);
            break;
        case 1:
            settings.setFlashMode(AVCaptureFlashModeAuto);
            break;
        case 2:
            settings.setFlashMode(AVCaptureFlashModeOn);
            break;
        default:
            break;
    }
}

}  // namespace

void hxViewController::checkCamera() {
    bool tele = backDeviceCount(AVCaptureDeviceTypeBuiltInTelephotoCamera) > 0;
    bool wide = backDeviceCount(AVCaptureDeviceTypeBuiltInWideAngleCamera) > 0;
    bool ultraWide = backDeviceCount(AVCaptureDeviceTypeBuiltInUltraWideCamera) > 0;
    if (tele && wide && ultraWide)
        _lensSet = 1;
    else if (wide && ultraWide)
        _lensSet = 2;
    else if (wide && tele)
        _lensSet = 3;
    else
        _lensSet = 0;
}

CaptureDeviceRef hxViewController::cameraWithPosition(int64_t position, int32_t lens) {
    _currentCameraPosition = position;
    // Photos of the front camera are mirrored by the full-resolution render.
    renderer_->_currentCameraPosition = position;
    std::shared_ptr<CaptureDeviceDiscoverySession> discovery;
    if (position != kPositionBack) {
        discovery = CaptureDeviceDiscoverySession::discoverySessionWithDeviceTypes(
            {AVCaptureDeviceTypeBuiltInWideAngleCamera}, AVMediaTypeVideo,
            AVCaptureDevicePositionFront);
    } else {
        std::vector<std::string> types = deviceTypesForLens(lens);
        if (types.empty()) return nullptr;
        discovery = CaptureDeviceDiscoverySession::discoverySessionWithDeviceTypes(
            types, AVMediaTypeVideo, AVCaptureDevicePositionBack);
    }
    const auto& devices = discovery->devices();
    return devices.empty() ? nullptr : devices.front();
}

void hxViewController::setupCamera() {
    if (_session) {
        _session->stopRunning();
        if (_videoDataOutput) _videoDataOutput->setSampleBufferDelegate(nullptr, nullptr);
    }
    removeDeviceObservers();
    _videoDataOutput.reset();
    _photoOutput.reset();
    _input.reset();
    _session = CaptureSession::create();
    _device = cameraWithPosition(kPositionBack, _currentLens);
    if (!_device) return;
    _aeStatus = 3;
    _afStatus = 0;
    configureDevice(true);
}

void hxViewController::configureExposureBias() {
    CaptureDevice& device = *_device;
    bool biasSet = false;
    if (device.isExposureModeSupported(AVCaptureExposureModeCustom) &&
        device.lockForConfiguration()) {
        device.setExposureTargetBias(_currentEV);
        _minEV = device.minExposureTargetBias();
        _maxEV = device.maxExposureTargetBias();
        device.unlockForConfiguration();
        biasSet = true;
    }
    _hasCustomExposure = true;
    if (biasSet) {
        // A wide device range is offered as -3…+3 EV.
        if (_minEV < -2.0f) _minEV = -3.0f;
        if (_maxEV > 2.0f) _maxEV = 3.0f;
    } else {
        _minEV = -3.0f;
        _maxEV = 3.0f;
    }
    exposureUI(true);
}

void hxViewController::configureDevice(bool firstSetup) {
    CaptureDevice& device = *_device;
    auto lowLightBoost = [&] {
        if (device.isLowLightBoostSupported()) {
            _hasLowLightBoost = true;
            underLock(device,
                      [&] { device.setAutomaticallyEnablesLowLightBoostWhenAvailable(true); });
        } else {
            _hasLowLightBoost = false;
        }
    };
    auto focusAndExposureModes = [&] {
        if (device.isFocusModeSupported(AVCaptureFocusModeContinuousAutoFocus))
            underLock(device, [&] { device.setFocusMode(AVCaptureFocusModeContinuousAutoFocus); });
        if (device.isExposureModeSupported(AVCaptureExposureModeAutoExpose))
            underLock(device, [&] { device.setExposureMode(AVCaptureExposureModeAutoExpose); });
        _hasSpotFocus = device.isFocusPointOfInterestSupported();
        if (firstSetup && _hasSpotFocus) hxLog("AF POI");
        _hasSpotExposure = device.isExposurePointOfInterestSupported();
    };

    if (firstSetup) {
        _hasFlash = device.hasFlash();
        lowLightBoost();
        focusAndExposureModes();
        underLock(device, [&] {
            if (_hasSpotExposure) device.setExposurePointOfInterest(CGPointMake(0.5, 0.5));
            device.setExposureMode(AVCaptureExposureModeContinuousAutoExposure);
        });
        configureExposureBias();
    } else {
        configureExposureBias();
        lowLightBoost();
        focusAndExposureModes();
    }
    if (device.isWhiteBalanceModeSupported(AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance)) {
        underLock(device, [&] {
            device.setWhiteBalanceMode(AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance);
        });
    }
    // Devices are shared objects: one used before may still hold an earlier zoom, while the
    // screen starts every device at 1.0.
    underLock(device, [&] { device.setVideoZoomFactor(1.0); });
    _maxZoom = float(device.maxAvailableVideoZoomFactor());
    attachOutputs();
}

void hxViewController::attachOutputs() {
    CaptureError error;
    _input = CaptureDeviceInput::deviceInputWithDevice(_device, &error);
    if (_input && _session->canAddInput(_input)) _session->addInput(_input);

    image::PropertyDictionary videoSettings;
    videoSettings.set(kCVPixelBufferPixelFormatTypeKey, int64_t{kCVPixelFormatType_32BGRA});
    _videoDataOutput = CaptureVideoDataOutput::create();
    _videoDataOutput->setVideoSettings(videoSettings);
    _videoDataOutput->setSampleBufferDelegate(this, &DispatchQueue::main());

    image::PropertyDictionary photoFormat;
    photoFormat.set(kCVPixelBufferPixelFormatTypeKey, int64_t{kCVPixelFormatType_32BGRA});
    CapturePhotoSettingsRef photoSettings =
        CapturePhotoSettings::photoSettingsWithFormat(photoFormat);
    if (_hasFlash) applyFlashChoice(*photoSettings, _currentFlash);
    photoSettings->setHighResolutionPhotoEnabled(true);
    _photoOutput = CapturePhotoOutput::create();
    _photoOutput->setPhotoSettingsForSceneMonitoring(photoSettings);

    if (_session->canAddOutput(_videoDataOutput)) _session->addOutput(_videoDataOutput);
    if (_session->canAddOutput(_photoOutput)) _session->addOutput(_photoOutput);

    CaptureConnectionRef connection = _videoDataOutput->connectionWithMediaType(AVMediaTypeVideo);
    _session->setSessionPreset(AVCaptureSessionPresetPhoto);
    if (connection && connection->isVideoOrientationSupported())
        connection->setVideoOrientation(AVCaptureVideoOrientationPortrait);

    // Focus and exposure adjustments are reported on the device's queue; they are handled on the
    // main thread, only while this controller lives and the device is still the one in use.
    removeDeviceObservers();
    _observedDevice = _device;
    std::weak_ptr<bool> alive = alive_;
    std::weak_ptr<CaptureDevice> observed = _device;
    for (const char* keyPath : {kAdjustingExposureKeyPath, kAdjustingFocusKeyPath}) {
        auto id = _device->addObserver(
            keyPath, NSKeyValueObservingOptionNew,
            [this, alive, observed](const std::string& path, CaptureDevice&,
                                    const KeyValueChange& change) {
                bool value = change.newValue.value_or(false);
                DispatchQueue::main().async([this, alive, observed, path, value] {
                    auto living = alive.lock();
                    if (!living || !*living) return;
                    auto device = observed.lock();
                    if (!device || device != _device) return;
                    observeValueForKeyPath(path, value);
                });
            });
        if (id != 0) _deviceObserverIds.push_back(id);
    }
}

void hxViewController::removeDeviceObservers() {
    if (_observedDevice) {
        for (auto id : _deviceObserverIds) _observedDevice->removeObserver(id);
    }
    _deviceObserverIds.clear();
    _observedDevice.reset();
}

void hxViewController::observeValueForKeyPath(const std::string& keyPath, bool value) {
    // The focus and exposure marks follow these reports; a pending lock completes once the
    // device has settled. `value` is the report's new value: still adjusting or settled.
    ++_adjustNotifications;
    auto show = [](const std::shared_ptr<UIImageView>& mark, const char* name) {
        if (mark) mark->setImage(UIImage::imageNamed(name));
    };
    auto lock = [this](bool focus) {
        if (!_device) return;
        CaptureError error;
        if (!_device->lockForConfiguration(&error)) return;
        if (focus)
            _device->setFocusMode(AVCaptureFocusModeLocked);
        else
            _device->setExposureMode(AVCaptureExposureModeLocked);
        _device->unlockForConfiguration();
    };
    if (keyPath == kAdjustingFocusKeyPath) {
        if (_afStatus == 1) {
            if (value) {
                show(_afImage, "targetfocusl0");
            } else {
                _afStatus = 2;
                show(_afImage, "targetfocusl1");
                if (_hasSpotFocus) lock(true);
            }
        } else if (_afStatus == 0) {
            show(_afImage, value ? "targetfocus0" : "targetfocus1");
        }
    } else if (keyPath == kAdjustingExposureKeyPath) {
        // Without a focus point the focus mark stands for exposure too.
        const bool own = _hasSpotFocus;
        const auto& mark = own ? _aeImage : _afImage;
        const char* pending = own ? "targetexposurel0" : "targetfocusl0";
        const char* locked = own ? "targetexposurel1" : "targetfocusl1";
        const char* adjusting = own ? "targetexposure0" : "targetfocus0";
        const char* settled = own ? "targetexposure1" : "targetfocus1";
        if (_aeStatus == 4) {
            if (value) {
                show(mark, pending);
            } else {
                _aeStatus = 5;
                if (_haveEPOI) show(mark, locked);
                lock(false);
            }
        } else if (_aeStatus == 3) {
            show(mark, value ? adjusting : settled);
        }
    }
}

void hxViewController::setupFormat(int64_t position) {
    int32_t bestWidth = 0, bestHeight = 0;
    if (_device) {
        int32_t bestProduct = 0;
        for (const auto& format : _device->formats()) {
            VideoDimensions d = CMVideoFormatDescriptionGetDimensions(format->formatDescription());
            int32_t product = d.width * d.height;
            if (product > bestProduct) {
                bestProduct = product;
                bestWidth = d.width;
                bestHeight = d.height;
            }
        }
    }
    _photoWidth = bestWidth;
    _photoHeight = bestHeight;
    _onlyBW = false;

    // Older models are limited to the monochrome films, some only on their back camera.
    const std::string& id = _deviceID;
    bool back = position != kPositionFront;
    if (id == "iPhone1,2") {
    } else if (startsWith(id, "iPhone2")) {
        _onlyBW = true;
    } else if (startsWith(id, "iPhone3")) {
        _onlyBW = true;
        if (back) {
            _photoWidth = 2048;
            _photoHeight = 1536;
        }
    } else if (startsWith(id, "iPhone4")) {
        _onlyBW = true;
    } else if (startsWith(id, "iPhone5") || startsWith(id, "iPhone6") ||
               startsWith(id, "iPhone7")) {
    } else if (id == "iPod4,1") {
        if (back) _onlyBW = true;
    } else if (startsWith(id, "iPod5") || startsWith(id, "iPod7")) {
    } else if (isOneOf(id, {"iPad2,1", "iPad2,2", "iPad2,3", "iPad2,4", "iPad2,5", "iPad2,6",
                            "iPad2,7", "iPad3,1", "iPad3,2", "iPad3,3", "iPad3,4", "iPad3,5",
                            "iPad3,6", "iPad4,1", "iPad4,2", "iPad4,3"})) {
    } else if (isOneOf(id, {"iPad5,3", "iPad5,4", "iPad4,4", "iPad4,5", "iPad4,6", "iPad4,7",
                            "iPad4,8", "iPad4,9"})) {
        if (back) _onlyBW = true;
    } else if (startsWith(id, "iPad")) {
        if (back) _onlyBW = true;
    }
}

void hxViewController::setupFirstTime() {
    setupCamera();
    setupFormat(kPositionBack);
    setupView();
    // Without a camera there is no photo to size the full-resolution render for.
    if (_photoWidth > 0 && _photoHeight > 0) setupOfflineWidth(_photoWidth, _photoHeight);
    _firstPass = false;
}

void hxViewController::changeCameraWithPosition(int64_t position, int32_t lens) {
    _currentZoom = _prevZoom = 1.0f;
    if (_focalLabel) {
        char text[16];
        std::snprintf(text, sizeof text, "x%.1f", double(_currentZoom));
        _focalLabel->setText(text);
    }
    if (!_session) return;

    _session->stopRunning();
    _session->beginConfiguration();
    for (const auto& input : _session->inputs()) _session->removeInput(input);
    if (_videoDataOutput) _session->removeOutput(_videoDataOutput);
    if (_photoOutput) _session->removeOutput(_photoOutput);
    _session->commitConfiguration();
    if (_videoDataOutput) _videoDataOutput->setSampleBufferDelegate(nullptr, nullptr);
    _videoDataOutput.reset();
    _photoOutput.reset();
    _input.reset();
    removeDeviceObservers();
    _device.reset();

    int32_t oldWidth = _photoWidth, oldHeight = _photoHeight;
    _device = cameraWithPosition(position, lens);
    setupFormat(position);
    // The full-resolution render reads back a picture of the photo's size: it follows the new
    // device before any capture can come.
    if ((_photoWidth != oldWidth || _photoHeight != oldHeight) && _photoWidth > 0 &&
        _photoHeight > 0)
        setupOfflineWidth(_photoWidth, _photoHeight);
    if (!_device) return;

    _aeStatus = 3;
    _afStatus = 0;
    if (_device->hasFlash()) {
        _hasFlash = true;
        if (_flashSlider) {
            _flashSlider->setEnabled(true);
            _flashSlider->setValue(float(_currentFlash));
        }
    } else {
        _hasFlash = false;
        if (_flashSlider) _flashSlider->setEnabled(false);
    }
    configureDevice(false);

    std::weak_ptr<bool> alive = alive_;
    CaptureSessionRef session = _session;
    DispatchQueue::main().async([this, alive, session] {
        auto living = alive.lock();
        if (!living || !*living || session != _session) return;
        session->startRunning();
    });
    touchReset();
    changeToneCurve(_currentFilm);
}

void hxViewController::switchCameraTapped(UIControl*) {
    if (!_session) return;
    if (_currentCameraPosition != kPositionBack) {
        changeCameraWithPosition(kPositionBack, _currentLens);
        if (_lensSelect) {
            if (_lensSet != 0) {
                _lensSelect->setHidden(false);
                _lensSelect->setSelectedPreset(_currentLens == kLensUltraWide ? 0
                                               : _currentLens == kLensWide    ? 1
                                                                              : 2);
                _lensSelect->setNeedsDisplay();
            } else {
                _lensSelect->setHidden(true);
            }
        }
    } else {
        changeCameraWithPosition(kPositionFront, _currentLens);
        if (_lensSelect) _lensSelect->setHidden(true);
    }
    // changeCameraWithPosition has already resized the full-resolution render to the new photo
    // size.
}

void hxViewController::setupAudio() {
    AudioSession& audio = AudioSession::sharedInstance();
    audio.setCategory(AVAudioSessionCategoryAmbient, AVAudioSessionCategoryOptionMixWithOthers);
    audio.setActive(true);
}

}  // namespace hx::app
