// The camera screen's geometry, its views and their places, the settings panel's views, and the
// turning of the controls by the accelerometer.
//
// The screen itself always stays portrait. Two layouts: the scaled one (phones at least 568
// points high) multiplies a 320-point design by _uiScale and hangs the bar from the bottom
// inset; the fixed one (tablets, shorter phones) places everything at its 320 × 480 position.

#include <cmath>
#include <numbers>

#include "app/camera/Localized.h"
#include "app/camera/hxAppDelegate.h"
#include "app/camera/hxViewController.h"
#include "platform/device/UIDevice.h"
#include "platform/runloop/DispatchQueue.h"
#include "platform/ui/drawing/UIFont.h"
#include "platform/ui/drawing/UIImage.h"
#include "platform/ui/window/UIScreen.h"
#include "platform/ui/window/UIWindow.h"

namespace hx::app {

namespace {

constexpr double kPi = std::numbers::pi;

UIImageRef image(const char* name) {
    return UIImage::imageNamed(name);
}

std::shared_ptr<UIButton> customButton(const CGRect& frame) {
    return std::make_shared<UIButton>(frame, UIButtonType::Custom);
}

// Places a control at the frame, then turns it a quarter to the right about its centre: its
// bounds keep the frame's size and the turned control stands upright on the screen.
void placeTurned(UIView& view, const CGRect& frame) {
    view.setTransform(CGAffineTransformIdentity);
    view.setFrame(frame);
    view.setTransform(CGAffineTransformMakeRotation(kPi / 2));
}

// In the scaled layout a bar button's image fits inside the button and fills it both ways.
void fitImage(UIButton& button) {
    button.imageView()->setContentMode(UIViewContentMode::ScaleAspectFit);
    button.setContentHorizontalAlignment(UIControlContentHorizontalAlignment::Fill);
    button.setContentVerticalAlignment(UIControlContentVerticalAlignment::Fill);
}

}  // namespace

void hxViewController::computeGeometry() {
    UIScreen& screen = UIScreen::mainScreen();
    CGRect bounds = screen.bounds();
    double a = bounds.size.width, b = bounds.size.height;
    _screenWidth = float(std::min(a, b));
    _screenHeight = float(std::max(a, b));
    _previewWidth = _screenWidth;
    _previewHeight = _screenWidth / 3 * 4;
    _uiScale = _screenWidth / 320;

    _iPad = UIDevice::currentDevice().userInterfaceIdiom() == UserInterfaceIdiom::Pad;
    _Wide = !_iPad && (a >= 568 || b >= 568);

    // The insets of the window the screen lives in. Start-up runs while the view is loaded,
    // before the window shows it: then the screen's portrait insets are the window's.
    std::shared_ptr<UIWindow> window;
    if (hxAppDelegate* appDelegate = sharedAppDelegate()) window = appDelegate->window();
    if (!window && isViewLoaded()) window = view()->window();
    UIEdgeInsets insets = window ? window->windowSafeAreaInsets() : screen.portraitSafeAreaInsets();
    _topSubSpace = float(insets.top);
    _bottomSpace = float(insets.bottom);
    // The preview is centred in the height left after the 44-point top row and the 98-point
    // bottom controls of the design.
    if (_iPad) {
        // A tablet's screen is nearly 3:4 itself: a preview as wide as the screen would leave
        // no room for the bar. The screen is laid out as a phone in a centred column as wide
        // as lets the preview, the top row and the bar fit one above the other.
        const double room = _screenHeight - _topSubSpace - _bottomSpace;
        const float column = float(std::min<double>(_screenWidth, room / (4.0 / 3 + 186.0 / 320)));
        _columnX = (_screenWidth - column) / 2;
        _screenWidth = column;
        _previewWidth = column;
        _previewHeight = column / 3 * 4;
        _uiScale = column / 320;
    }
    _topSpace = _topSubSpace + (_screenHeight - _previewHeight - 44 * _uiScale - 98 * _uiScale) / 2;
}

CGRect hxViewController::previewFrame() const {
    return CGRectMake(0, _topSpace, _previewWidth, _previewHeight);
}

bool hxViewController::usesScaledLayout() const {
    // A tablet lays out as a large phone (see computeGeometry): the 320 x 480 design with a
    // 640 x 852 preview at the corner would leave most of its screen empty and put the bar
    // across the picture.
    return _Wide || _iPad;
}

void hxViewController::createViews() {
    const bool scaled = usesScaledLayout();
    const float s = _uiScale;
    const std::shared_ptr<UIView>& root = view();
    root->setTag(1);
    root->setBackgroundColor(UIColor::blackColor());
    std::weak_ptr<hxViewController> self =
        std::static_pointer_cast<hxViewController>(weak_from_this().lock());
    const CGRect overlayFrame = CGRectMake(0, _topSpace, _previewWidth, _previewHeight);

    // Over the preview: the format bands and the grid.
    _overlayView = std::make_shared<hxOverlayView>(overlayFrame);
    _overlayView->setBackgroundColor(UIColor::clearColor());
    _overlayView->setOpaque(false);
    _overlayView->setMultipleTouchEnabled(true);
    _overlayView->setAspect(_currentFrame);
    _overlayView->setMaskTranslucent(false);
    setGridSetting(_grid);

    // The photo just taken, shown landscape over the preview.
    _resultView = std::make_shared<UIImageView>(CGRectMake(0, 0, _previewHeight, _previewWidth));
    _resultView->setCenter(CGPointMake(overlayFrame.midX(), overlayFrame.midY()));
    _resultView->setTransform(CGAffineTransformMakeRotation(kPi / 2));
    _resultView->setBackgroundColor(UIColor::blackColor());
    _resultView->setContentMode(UIViewContentMode::ScaleAspectFit);
    _resultView->setHidden(true);

    // The bar and the controls in it, in the bar's coordinates.
    const float barHeight = scaled ? 142 * s : 54;
    if (scaled) {
        _backimage = std::make_shared<UIImageView>(
            CGRectMake(0, _screenHeight - 142 * s - _bottomSpace, 320 * s, 142 * s));
        _backimage->setImage(image("back-568h.png"));
    } else {
        _backimage = std::make_shared<UIImageView>(CGRectMake(0, 426, 320, 54));
        _backimage->setImage(image("back.png"));
    }
    _backimage->setUserInteractionEnabled(true);

    if (_shutterButton) {
        if (scaled) {
            _shutterButton->setFrame(
                CGRectMake((320 * s - 108 * s) / 2, (barHeight - 108 * s) / 2, 108 * s, 108 * s));
            _shutterButton->setImage(image("shutter-568h.png"), UIControlStateNormal);
            _shutterButton->setImage(image("shutterp-568h.png"), UIControlStateHighlighted);
            fitImage(*_shutterButton);
        } else {
            _shutterButton->setFrame(CGRectMake(133, 0, 54, 54));
            _shutterButton->setImage(image("shutter.png"), UIControlStateNormal);
            _shutterButton->setImage(image("shutterp.png"), UIControlStateHighlighted);
        }
    }

    _filmButton = customButton(scaled ? CGRectMake(60 * s, (barHeight - 54 * s) / 2, 29 * s, 54 * s)
                                      : CGRectMake(55, 0, 29, 54));
    _filmButton->setImage(image("film_npan"), UIControlStateNormal);

    _pvButton = customButton(scaled ? CGRectMake(5 * s, (barHeight - 44 * s) / 2, 44 * s, 44 * s)
                                    : CGRectMake(5, 5, 44, 44));
    _pvButton->setEnabled(false);
    // The newest photo of the album fills the button.
    _pvButtonImage = std::make_shared<UIImageView>(scaled ? CGRectMake(0, 0, 44 * s, 44 * s)
                                                          : CGRectMake(0, 0, 44, 44));
    _pvButtonImage->setContentMode(UIViewContentMode::ScaleAspectFill);
    _pvButtonImage->setClipsToBounds(true);
    _pvButton->addSubview(_pvButtonImage);

    // The two sliders and the EV button stand upright in the bar, turned a quarter.
    auto sliderFrame = [&](float x) {
        return scaled ? CGRectMake(x * s, (barHeight - 54 * s) / 2 + 14.5 * s, 54 * s, 29 * s)
                      : CGRectMake(x, 14, 54, 29);
    };
    if (_formatSlider) {
        placeTurned(*_formatSlider, sliderFrame(238));
        _formatSlider->setValue(_currentFrame == 1 ? 0 : 1);
    }
    if (_flashSlider) {
        placeTurned(*_flashSlider, sliderFrame(275));
        // The views come before the start-up turns a stored 3 into off; show it as off already.
        _flashSlider->setValue(float(_currentFlash == 3 ? 0 : _currentFlash));
        _flashSlider->setEnabled(_hasFlash);
    }
    _evButton = customButton(CGRectZero);
    placeTurned(*_evButton, sliderFrame(201));
    _evButton->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
    _evButton->setBackgroundColor(UIColor::blackColor());

    if (_helpButton)
        _helpButton->setFrame(scaled ? CGRectMake(0, barHeight - 30 * s, 30 * s, 30 * s)
                                     : CGRectMake(96, 12, 30, 30));
    if (scaled) {
        fitImage(*_filmButton);
        fitImage(*_pvButton);
        if (_helpButton) fitImage(*_helpButton);
    }

    // The film picker: hidden; doRotateUI gives it its place and turn.
    if (_filmCollectionView) {
        _filmCollectionView->setAlpha(0);
        _filmCollectionView->setHidden(true);
        placeTurned(*_filmCollectionView,
                    CGRectMake(0, overlayFrame.origin.y, 72, overlayFrame.size.height));
    }

    // The top row, at the same places in both layouts.
    const float topY = _topSubSpace + 5;
    _lensSelect = std::make_shared<hxLensSelect>();
    placeTurned(*_lensSelect, CGRectMake(205, topY, 30, 30));
    _lensSelect->setBackgroundColor(UIColor::colorWithWhite(0.4, 1));
    _lensSelect->setUserInteractionEnabled(true);
    _lensSelect->setOri(3);
    _lensSelect->setLensSet(_lensSet);
    _lensSelect->setSelectedPreset(_currentLens);
    _lensSelect->setDelegate(this);
    _lensSelect->setNeedsDisplay();

    if (_focalLabel) {
        _focalLabel->setFrame(CGRectMake(165, topY, 30, 30));
        _focalLabel->setText("x1.0");
    }

    _changeCameraButton = customButton(CGRectMake(245, topY, 30, 30));
    _changeCameraButton->setImage(image("changecamera"), UIControlStateNormal);
    _changeCameraButton->addTarget(self, &hxViewController::switchCameraTapped,
                                   UIControlEventTouchUpInside);

    _settingButton = customButton(CGRectMake(285, topY, 30, 30));
    _settingButton->setImage(image("settingButton"), UIControlStateNormal);
    _settingButton->addTarget(self, &hxViewController::settingAction, UIControlEventTouchUpInside);

    // The exposure slider on its base above the bottom of the preview; one unit is a third of
    // a stop.
    _evBase = std::make_shared<UIImageView>(
        scaled ? CGRectMake(10, _topSpace + _previewHeight - 40 * s, 300 * s, 27 * s)
               : CGRectMake(10, 386, 300, 27));
    _evBase->setImage(image("sliderbg.png"));
    _evBase->setUserInteractionEnabled(true);
    _evBase->setHidden(true);
    _evSlider = UISlider::make(
        CGRectMake(0, 0, _evBase->bounds().size.width, _evBase->bounds().size.height));
    _evSlider->setUserInteractionEnabled(true);
    _evSlider->setMinimumValue(_minEV * 3);
    _evSlider->setMaximumValue(_maxEV * 3);
    _evSlider->setValue(_currentEV * 3);
    _evSlider->setMinimumTrackTintColor(UIColor::lightGrayColor());
    _evSlider->setMaximumTrackTintColor(UIColor::lightGrayColor());
    _evSlider->setThumbImage(image("sliderthumb.png"), UIControlStateNormal);
    _evSlider->setThumbImage(image("sliderthumb.png"), UIControlStateHighlighted);
    _evBase->addSubview(_evSlider);
    setEvButton(_currentEV);

    // Focus and exposure marks, centred on the preview until touchReset places them.
    const CGPoint centre = CGPointMake(overlayFrame.midX(), overlayFrame.midY());
    _afImage = std::make_shared<UIImageView>(CGRectMake(0, 0, 60, 60));
    _afImage->setImage(image("targetfocus0"));
    _afImage->setTag(100);
    _afImage->setCenter(centre);
    _afImage->setUserInteractionEnabled(true);
    _aeImage = std::make_shared<UIImageView>(CGRectMake(0, 0, 60, 60));
    _aeImage->setImage(image("targetexposure0"));
    _aeImage->setTag(101);
    _aeImage->setCenter(centre);
    _aeImage->setUserInteractionEnabled(true);
    _aeImage->setHidden(true);
}

void hxViewController::placePreviewView() {
    const std::shared_ptr<UIView>& root = view();
    if (metalView) {
        // The live preview lies under everything else.
        if (_previewPlaceholder) {
            _previewPlaceholder->removeFromSuperview();
            _previewPlaceholder.reset();
        }
        if (metalView->superview() != root)
            root->insertSubview(metalView, 0);
        else
            root->sendSubviewToBack(metalView);
        return;
    }
    // No camera to show (denied, or none): a black area where the preview would be, so the
    // screen keeps its shape.
    if (!_previewPlaceholder) {
        _previewPlaceholder = UIView::make(previewFrame());
        _previewPlaceholder->setBackgroundColor(UIColor::blackColor());
        _previewPlaceholder->setUserInteractionEnabled(false);
        // A device without a camera says so where the picture would be.
        if (_privCamera && !_device) {
            auto label = UILabel::make(_previewPlaceholder->bounds());
            label->setText(localizedString("no_camera"));
            label->setTextColor(UIColor::colorWithWhite(0.7, 1));
            label->setTextAlignment(NSTextAlignment::Center);
            _previewPlaceholder->addSubview(label);
        }
    }
    root->insertSubview(_previewPlaceholder, 0);
}

void hxViewController::arrangeViews() {
    const std::shared_ptr<UIView>& root = view();
    if (!_overlayView) createViews();

    placePreviewView();
    root->addSubview(_overlayView);
    root->addSubview(_resultView);
    root->addSubview(_backimage);
    if (_filmCollectionView) root->addSubview(_filmCollectionView);
    root->addSubview(_evBase);

    // The bottom controls live in the bar, above its picture.
    for (const std::shared_ptr<UIView>& control : std::initializer_list<std::shared_ptr<UIView>>{
             _shutterButton, _filmButton, _pvButton, _formatSlider, _flashSlider, _evButton,
             _helpButton}) {
        if (!control) continue;
        _backimage->addSubview(control);
        _backimage->bringSubviewToFront(control);
    }

    // The busy display, centred on the overlay.
    _hud = UIView::make(CGRectMake(0, 0, 70, 70));
    _hud->setCenter(_overlayView->center());
    _hud->setBackgroundColor(UIColor::colorWithWhite(0, 0.5));
    _hud->layer().setCornerRadius(10);
    _hud->setClipsToBounds(true);
    _hud->setHidden(true);
    _indicator = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyle::Large);
    _indicator->setFrame(CGRectMake(16.5, 16.5, 37, 37));
    _indicator->setBackgroundColor(UIColor::clearColor());
    _indicator->setHidesWhenStopped(true);
    _hud->addSubview(_indicator);

    // Above the preview and the overlay.
    for (const std::shared_ptr<UIView>& top : std::initializer_list<std::shared_ptr<UIView>>{
             _resultView, _focalLabel, _lensSelect, _changeCameraButton, _settingButton, _afImage,
             _aeImage, _hud}) {
        if (!top) continue;
        if (top->superview() != root) root->addSubview(top);
        root->bringSubviewToFront(top);
    }

    _evButton->setHidden(!_hasCustomExposure);
}

void hxViewController::buildSettingPanel() {
    _settingView = std::make_shared<UIImageView>(CGRectMake(0, _topSubSpace, 320, 53));
    _settingView->setBackgroundColor(UIColor::colorWithWhite(0, 1));
    _settingView->layer().setBorderColor(UIColor::colorWithWhite(0.5, 1));
    _settingView->layer().setBorderWidth(2);
    _settingView->setUserInteractionEnabled(true);
    _settingView->setAlpha(0);
    _settingView->setHidden(true);

    std::weak_ptr<hxViewController> self =
        std::static_pointer_cast<hxViewController>(weak_from_this().lock());
    auto toggle = [&](float x, const char* normal, const char* selected,
                      void (hxViewController::*action)(UIControl*)) {
        auto button = customButton(CGRectMake(x, 5, 44, 44));
        button->setImage(image(normal), UIControlStateNormal);
        if (selected) button->setImage(image(selected), UIControlStateSelected);
        button->addTarget(self, action, UIControlEventTouchUpInside);
        _settingView->addSubview(button);
        return button;
    };
    _gridButton = toggle(98, "grid_off", "grid_on", &hxViewController::gridAction);
    _heicButton = toggle(142, "heic_off", "heic_on", &hxViewController::heicAction);
    _tiffButton = toggle(186, "tiff_off", "tiff_on", &hxViewController::tiffAction);
    _geoTagButton = toggle(230, "geoTag_off", "geoTag_on", &hxViewController::geoTagAction);
    _settingCloseButton = toggle(274, "close", nullptr, &hxViewController::closeSetting);
}

void hxViewController::doRotateUI(int64_t orientation) {
    if (orientation == _beforeOrientation) return;
    _beforeOrientation = orientation;
    if (orientation < 1 || orientation > 4) return;

    double angle = 0, shift = 0;
    const double wideShift = _iPad ? -212 : -106;
    switch (orientation) {
        case 1:
            _tempOrientation = 3, angle = 0, shift = 0;
            break;
        case 2:
            _tempOrientation = 2, angle = kPi, shift = wideShift;
            break;
        case 3:
            _tempOrientation = 0, angle = kPi / 2, shift = 0;
            break;
        case 4:
            _tempOrientation = 1, angle = 3 * kPi / 2, shift = wideShift;
            break;
    }
    const CGAffineTransform turn = CGAffineTransformMakeRotation(angle);
    const CGAffineTransform pickerTransform =
        CGAffineTransformConcat(turn, CGAffineTransformMakeTranslation(shift, 0));

    // The controls that stand upright for the user turn with the device; the screen stays.
    std::weak_ptr<UIView> root = view();
    std::vector<std::shared_ptr<UIView>> turned;
    for (const std::shared_ptr<UIView>& control : std::initializer_list<std::shared_ptr<UIView>>{
             _shutterButton, _pvButton, _helpButton, _geoTagButton, _tiffButton, _heicButton,
             _gridButton, _focalLabel})
        if (control) turned.push_back(control);
    UIView::animateWithDuration(
        0.2, 0, UIViewAnimationOptionCurveEaseOut,
        [turned, turn, root] {
            for (const auto& control : turned) control->setTransform(turn);
            if (auto main = root.lock()) main->setTransform(CGAffineTransformIdentity);
        },
        [](bool) {});

    // The film picker jumps to its strip: above the bar when upright, beside the preview on
    // its side.
    if (!_filmCollectionView) return;
    UIView::performWithoutAnimation([&] {
        _filmCollectionView->setTransform(pickerTransform);
        if (orientation == 1 || orientation == 2) {
            double barY = _backimage ? _backimage->frame().origin.y : _topSpace + _previewHeight;
            double width = _overlayView ? _overlayView->frame().size.width : _previewWidth;
            _filmCollectionView->setFrame(CGRectMake(0, barY - 72, width, 72));
        } else {
            CGRect overlay = _overlayView ? _overlayView->frame()
                                          : CGRectMake(0, _topSpace, _previewWidth, _previewHeight);
            _filmCollectionView->setFrame(CGRectMake(0, overlay.origin.y, 72, overlay.size.height));
        }
    });
}

void hxViewController::setupCoreMotion() {
    _cmmanager = std::make_unique<MotionManager>();
    if (!_cmmanager->isAccelerometerAvailable()) return;
    _cmmanager->setAccelerometerUpdateInterval(0.3);
    std::weak_ptr<bool> alive = alive_;
    _cmmanager->startAccelerometerUpdatesToQueue(
        DispatchQueue::main(), [this, alive](const std::optional<AccelerometerData>& data,
                                             const std::optional<MotionError>&) {
            auto living = alive.lock();
            if (!living || !*living || !data) return;
            judgeAcceleration(data->x, data->y);
        });
}

void hxViewController::judgeAcceleration(double x, double y) {
    // Half-way thresholds on both sides make a hysteresis: a position is left only when the
    // device is tilted at least half-way into another.
    int64_t next = 0;  // 0: stay
    switch (_beforeOrientation) {
        case 1:
            if (y >= 0.5)
                next = 2;
            else if (y <= -0.5)
                next = 0;
            else if (x >= 0.5)
                next = 4;
            else if (x <= -0.5)
                next = 3;
            break;
        case 2:
            if (y <= -0.5)
                next = 1;
            else if (y >= 0.5)
                next = 0;
            else if (x >= 0.5)
                next = 4;
            else if (x <= -0.5)
                next = 3;
            break;
        case 3:
            if (x >= 0.5)
                next = 4;
            else if (x < -0.5)
                next = 0;
            else if (y >= 0.5)
                next = 2;
            else if (y <= -0.5)
                next = 1;
            break;
        case 4:
            if (x <= -0.5)
                next = 3;
            else if (x > 0.5)
                next = 0;
            else if (y >= 0.5)
                next = 2;
            else if (y <= -0.5)
                next = 1;
            break;
        default:
            next = 1;
            _beforeOrientation = 1;
            break;
    }
    if (next != 0) doRotateUI(next);
}

}  // namespace hx::app
