// Focus, exposure, zoom and flash: the two marks over the preview and their gestures, the
// device's points of interest and modes, the pinch zoom and the flash choice.
//
// Points are kept in preview-view coordinates (origin at the preview's top-left corner); the
// marks are drawn at point + the preview's origin in the main view. The preview always shows
// the sensor upright in portrait (the video connection is portrait and only the controls turn
// with the device), so one mapping to the device serves every rotation of the controls; the
// front camera's preview is mirrored, so its mapping is mirrored too.

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/camera/hxViewController.h"
#include "platform/geometry/AffineTransform.h"
#include "platform/log/Log.h"
#include "platform/ui/drawing/UIImage.h"
#include "platform/ui/events/GestureRecognizers.h"

namespace hx::app {

using namespace hx::capture;

namespace {

constexpr int kMainViewTag = 1;
constexpr int kFocusMarkTag = 100;
constexpr int kExposureMarkTag = 101;
// Double taps on the main view at or below this height (the controls' area) do not reset.
constexpr double kResetTapLimit = 426.0;

void setMarkImage(const std::shared_ptr<UIImageView>& mark, const char* name) {
    if (mark) mark->setImage(UIImage::imageNamed(name));
}

// A short swell of the mark that was double-tapped.
void pulse(const std::shared_ptr<UIImageView>& mark) {
    if (!mark) return;
    std::weak_ptr<UIImageView> weak = mark;
    UIView::animateWithDuration(
        0.1, 0, UIViewAnimationOptionCurveEaseOut,
        [weak] {
            if (auto m = weak.lock()) m->setTransform(CGAffineTransformMakeScale(1.25, 1.25));
        },
        [weak](bool) {
            if (auto m = weak.lock()) m->setTransform(CGAffineTransformIdentity);
        });
}

// Runs `change` on the device inside one configuration lock; nothing without a device or
// when the lock fails.
template <typename Change>
bool configure(const CaptureDeviceRef& device, Change&& change) {
    if (!device) return false;
    CaptureError error;
    if (!device->lockForConfiguration(&error)) {
        hxLog("%s", error.localizedDescription.c_str());
        return false;
    }
    change(*device);
    device->unlockForConfiguration();
    return true;
}

}  // namespace

// The device's point of interest for a point of the preview: the sensor lies on its side
// under the portrait preview, and the front camera's preview is mirrored left to right.
static CGPoint toDevicePoint(CGPoint p, double width, double height, bool front) {
    if (width <= 0 || height <= 0) return CGPointMake(0.5, 0.5);
    double x = std::clamp(p.y / height, 0.0, 1.0);
    double y = std::clamp(front ? p.x / width : 1 - p.x / width, 0.0, 1.0);
    return CGPointMake(x, y);
}

void hxViewController::applyFlash(int32_t flash) {
    if (!_photoOutput) return;
    CapturePhotoSettingsRef settings = _photoOutput->photoSettingsForSceneMonitoring();
    if (!settings) return;
    if (_hasFlash) {
        switch (flash) {
            case 0:
                settings->setFlashMode(AVCaptureFlashModeOff);
                break;
            case 1:
                settings->setFlashMode(AVCaptureFlashModeAuto);
                break;
            case 2:
                settings->setFlashMode(AVCaptureFlashModeOn);
                break;
            default:
                break;
        }
    }
    _photoOutput->setPhotoSettingsForSceneMonitoring(settings);
}

void hxViewController::touchReset() {
    _fPOI = _ePOI = CGPointMake(_previewWidth / 2, _previewHeight / 2);
    _haveEPOI = false;
    _afStatus = 0;
    _aeStatus = 3;
    const CGRect preview = previewFrame();
    const CGPoint centre = CGPointMake(preview.origin.x + _fPOI.x, preview.origin.y + _fPOI.y);
    if (_aeImage) {
        _aeImage->setHidden(true);
        _aeImage->setCenter(centre);
    }
    if (_afImage) _afImage->setCenter(centre);
    setMarkImage(_afImage, "targetfocus0");
    setMarkImage(_aeImage, "targetexposure0");
    configure(_device, [this](CaptureDevice& device) {
        if (_hasSpotFocus) {
            device.setFocusPointOfInterest(CGPointMake(0.5, 0.5));
            device.setFocusMode(AVCaptureFocusModeContinuousAutoFocus);
        }
        if (_hasSpotExposure) {
            device.setExposurePointOfInterest(CGPointMake(0.5, 0.5));
            device.setExposureMode(AVCaptureExposureModeContinuousAutoExposure);
        }
    });
}

void hxViewController::addFocusGestures() {
    std::weak_ptr<hxViewController> self =
        std::static_pointer_cast<hxViewController>(weak_from_this().lock());
    for (const auto& mark : {_afImage, _aeImage}) {
        if (!mark) continue;
        auto doubleTap =
            std::make_shared<UITapGestureRecognizer>(self, &hxViewController::handleDoubleTap);
        doubleTap->setNumberOfTapsRequired(2);
        mark->addGestureRecognizer(doubleTap);
        mark->addGestureRecognizer(
            std::make_shared<UIPanGestureRecognizer>(self, &hxViewController::handlePan));
    }
    const std::shared_ptr<UIView>& root = view();
    auto doubleTap =
        std::make_shared<UITapGestureRecognizer>(self, &hxViewController::handleDoubleTap);
    doubleTap->setNumberOfTapsRequired(2);
    root->addGestureRecognizer(doubleTap);
    auto twoFingers =
        std::make_shared<UITapGestureRecognizer>(self, &hxViewController::handleDoubleTouch);
    twoFingers->setNumberOfTouchesRequired(2);
    root->addGestureRecognizer(twoFingers);
    root->addGestureRecognizer(
        std::make_shared<UIPinchGestureRecognizer>(self, &hxViewController::handlePinchFrom));
}

void hxViewController::handleDoubleTap(UIGestureRecognizer* recognizer) {
    if (!recognizer || recognizer->state() != UIGestureRecognizerState::Ended) return;
    UIView* target = recognizer->view();
    if (!target) return;
    const CaptureDeviceRef device = _device;
    const CGRect preview = previewFrame();
    const bool front = _currentCameraPosition == kPositionFront;
    auto aimFocus = [&](CaptureDevice& d, CGPoint p) {
        d.setFocusPointOfInterest(toDevicePoint(p, preview.size.width, preview.size.height, front));
        d.setFocusMode(AVCaptureFocusModeContinuousAutoFocus);
    };
    auto aimExposure = [&](CaptureDevice& d, CGPoint p) {
        d.setExposurePointOfInterest(
            toDevicePoint(p, preview.size.width, preview.size.height, front));
        d.setExposureMode(AVCaptureExposureModeContinuousAutoExposure);
    };

    switch (target->tag()) {
        case kMainViewTag:
            if (recognizer->locationInView(target).y < kResetTapLimit) touchReset();
            break;
        case kFocusMarkTag: {
            pulse(_afImage);
            if (_afStatus == 0) {
                if (device && device->isAdjustingFocus()) {
                    _afStatus = 1;
                    setMarkImage(_afImage, "targetfocusl0");
                } else {
                    _afStatus = 2;
                    setMarkImage(_afImage, "targetfocusl1");
                    if (_hasSpotFocus)
                        configure(device, [](CaptureDevice& d) {
                            d.setFocusMode(AVCaptureFocusModeLocked);
                        });
                }
            } else {
                _afStatus = 0;
                setMarkImage(_afImage, "targetfocus0");
                configure(device, [&](CaptureDevice& d) {
                    if (_hasSpotFocus) aimFocus(d, _fPOI);
                    if (!_haveEPOI && _hasSpotExposure) aimExposure(d, _fPOI);
                });
            }
            if (!_haveEPOI) {
                if (_aeStatus == 3) {
                    if (device && device->isAdjustingExposure()) {
                        _aeStatus = 4;
                    } else {
                        _aeStatus = 5;
                        if (_hasSpotExposure)
                            configure(device, [](CaptureDevice& d) {
                                d.setExposureMode(AVCaptureExposureModeLocked);
                            });
                    }
                } else {
                    _aeStatus = 3;
                    if (_hasSpotExposure)
                        configure(device, [&](CaptureDevice& d) { aimExposure(d, _fPOI); });
                }
            }
            break;
        }
        case kExposureMarkTag:
            pulse(_aeImage);
            if (_aeStatus == 3) {
                if (device && device->isAdjustingExposure()) {
                    _aeStatus = 4;
                    setMarkImage(_aeImage, "targetexposurel0");
                } else {
                    _aeStatus = 5;
                    setMarkImage(_aeImage, "targetexposurel1");
                    if (_hasSpotExposure)
                        configure(device, [](CaptureDevice& d) {
                            d.setExposureMode(AVCaptureExposureModeLocked);
                        });
                }
            } else {
                _aeStatus = 3;
                setMarkImage(_aeImage, "targetexposure0");
                if (_hasSpotExposure)
                    configure(device, [&](CaptureDevice& d) { aimExposure(d, _ePOI); });
            }
            break;
        default:
            break;
    }
}

void hxViewController::handlePan(UIGestureRecognizer* recognizer) {
    if (!recognizer || !recognizer->view()) return;
    const int tag = recognizer->view()->tag();
    if (tag != kFocusMarkTag && tag != kExposureMarkTag) return;
    const CGRect preview = previewFrame();
    CGPoint finger = recognizer->locationInView(view().get());
    const CGPoint p =
        checkBounds(CGPointMake(finger.x - preview.origin.x, finger.y - preview.origin.y));
    const auto& mark = tag == kFocusMarkTag ? _afImage : _aeImage;
    const auto state = recognizer->state();
    if (state == UIGestureRecognizerState::Began || state == UIGestureRecognizerState::Changed ||
        state == UIGestureRecognizerState::Ended) {
        if (mark) mark->setCenter(CGPointMake(p.x + preview.origin.x, p.y + preview.origin.y));
    }
    if (state != UIGestureRecognizerState::Ended) return;

    const bool front = _currentCameraPosition == kPositionFront;
    const CGPoint devicePoint = toDevicePoint(p, preview.size.width, preview.size.height, front);
    if (tag == kFocusMarkTag) {
        _fPOI = p;
        if (_hasSpotFocus) {
            configure(_device, [&](CaptureDevice& d) {
                d.setFocusPointOfInterest(devicePoint);
                d.setFocusMode(AVCaptureFocusModeContinuousAutoFocus);
            });
            hxLog("AVCaptureFocusModeContinuousAutoFocus");
            if (_afStatus == 2) {
                _afStatus = 1;
                setMarkImage(_afImage, "targetfocusl0");
            } else {
                _afStatus = 0;
            }
        }
        if (!_haveEPOI) {
            if (_hasSpotExposure) {
                if (_aeStatus == 5) _aeStatus = 4;
                configure(_device, [&](CaptureDevice& d) {
                    d.setExposurePointOfInterest(devicePoint);
                    d.setExposureMode(AVCaptureExposureModeContinuousAutoExposure);
                });
            } else {
                _aeStatus = 3;
            }
        }
    } else {
        _ePOI = p;
        _haveEPOI = true;
        if (_hasSpotExposure) {
            if (_aeStatus == 5) {
                setMarkImage(_aeImage, "targetexposurel0");
                _aeStatus = 4;
            } else {
                _aeStatus = 3;
            }
            configure(_device, [&](CaptureDevice& d) {
                d.setExposurePointOfInterest(devicePoint);
                d.setExposureMode(AVCaptureExposureModeContinuousAutoExposure);
            });
        }
    }
}

void hxViewController::handleDoubleTouch(UIGestureRecognizer* recognizer) {
    if (!recognizer) return;
    const CGRect preview = previewFrame();
    const bool front = _currentCameraPosition == kPositionFront;
    if (_hasSpotFocus && _hasSpotExposure) {
        if (recognizer->numberOfTouches() < 2) return;
        const UIView* root = view().get();
        auto inPreview = [&](std::size_t index) {
            CGPoint f = recognizer->locationOfTouch(index, root);
            return checkBounds(CGPointMake(f.x - preview.origin.x, f.y - preview.origin.y));
        };
        const CGPoint p0 = inPreview(0), p1 = inPreview(1);
        if (_afImage)
            _afImage->setCenter(CGPointMake(p0.x + preview.origin.x, p0.y + preview.origin.y));
        if (_aeImage) {
            _aeImage->setCenter(CGPointMake(p1.x + preview.origin.x, p1.y + preview.origin.y));
            _aeImage->setHidden(false);
        }
        _fPOI = p0;
        _ePOI = p1;
        _haveEPOI = true;
        _aeStatus = 3;
        _afStatus = 0;
    }
    if (recognizer->state() != UIGestureRecognizerState::Ended) return;
    // A device with only one of the two aims that one at its stored point.
    if (!_hasSpotFocus && !_hasSpotExposure) return;
    configure(_device, [&](CaptureDevice& d) {
        if (_hasSpotFocus) {
            d.setFocusPointOfInterest(
                toDevicePoint(_fPOI, preview.size.width, preview.size.height, front));
            d.setFocusMode(AVCaptureFocusModeContinuousAutoFocus);
        }
        if (_hasSpotExposure) {
            d.setExposurePointOfInterest(
                toDevicePoint(_ePOI, preview.size.width, preview.size.height, front));
            d.setExposureMode(AVCaptureExposureModeContinuousAutoExposure);
        }
    });
}

void hxViewController::handlePinchFrom(UIGestureRecognizer* recognizer) {
    auto* pinch = dynamic_cast<UIPinchGestureRecognizer*>(recognizer);
    if (!pinch) return;
    setZoom(_prevZoom * float(pinch->scale()));
    if (pinch->state() == UIGestureRecognizerState::Ended) _prevZoom = _currentZoom;
}

void hxViewController::setZoom(float zoom) {
    // From no zoom to the camera's most; a value that is not a number is no zoom.
    _currentZoom = std::isnan(zoom) ? 1.0f : std::clamp(zoom, 1.0f, std::max(1.0f, _maxZoom));
    if (!_session) return;
    configure(_device, [this](CaptureDevice& d) {
        const double factor =
            std::clamp(double(_currentZoom), d.minAvailableVideoZoomFactor(),
                       std::max(d.minAvailableVideoZoomFactor(), d.maxAvailableVideoZoomFactor()));
        d.setVideoZoomFactor(factor);
        if (_focalLabel) {
            char text[32];
            std::snprintf(text, sizeof text, "x%.1f", factor);
            _focalLabel->setText(text);
        }
    });
}

}  // namespace hx::app
