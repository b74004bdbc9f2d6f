// The actions of the camera screen's controls: the EV button and slider, the format and flash
// sliders, the help picture with its support mail, the photo-viewer button, and the re-filter
// screen's closing. Every change of a stored setting is saved at once.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <initializer_list>
#include <string>
#include <string_view>

#include "app/camera/Localized.h"
#include "app/camera/hxFilmCollectionCell.h"
#include "app/camera/hxViewController.h"
#include "platform/device/UIDevice.h"
#include "platform/ui/controls/UILabel.h"
#include "platform/ui/drawing/UIColor.h"
#include "platform/ui/drawing/UIFont.h"
#include "platform/ui/drawing/UIImage.h"
#include "platform/ui/interface/UINib.h"
#include "platform/ui/navigation/UIBarButtonItem.h"
#include "platform/ui/navigation/UINavigationBar.h"
#include "platform/ui/navigation/UINavigationController.h"
#include "platform/ui/navigation/UINavigationItem.h"
#include "platform/ui/sharing/NSURL.h"
#include "platform/ui/window/UIApplication.h"
#include "platform/ui/window/UIWindow.h"

namespace hx::app {

namespace {

constexpr const char* kSupportAddress = "support@halidex.example";
constexpr const char* kSupportSubject = "Support Request:Halidex Camera";
// The free band of the help picture, as fractions of its height.
constexpr double kHelpKeysTop = 0.76;
constexpr double kHelpKeysHeight = 0.11;

// A query value as a mail client reads it back: everything but the unreserved characters
// escaped, so '&', '=', '+' and '#' in the text cannot end or change the value.
std::string encodeQueryValue(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

// The text with each "%@" replaced by the next argument, in order.
std::string fillPlaceholders(std::string text, std::initializer_list<std::string> args) {
    size_t from = 0;
    for (const auto& arg : args) {
        auto at = text.find("%@", from);
        if (at == std::string::npos) break;
        text.replace(at, 2, arg);
        from = at + arg.size();
    }
    return text;
}

}  // namespace

std::string mailtoURL(const std::string& address, const std::string& subject,
                      const std::string& body) {
    return "mailto:" + address + "?subject=" + encodeQueryValue(subject) +
           "&body=" + encodeQueryValue(body);
}

void hxViewController::wireControls() {
    std::weak_ptr<hxViewController> self =
        std::static_pointer_cast<hxViewController>(weak_from_this().lock());
    if (_filmButton)
        _filmButton->addTarget(self, &hxViewController::filmAction, UIControlEventTouchUpInside);
    if (_pvButton)
        _pvButton->addTarget(self, &hxViewController::pvAction, UIControlEventTouchUpInside);
    if (_evButton)
        _evButton->addTarget(self, &hxViewController::evButtonAction, UIControlEventTouchUpInside);
    if (_evSlider) {
        _evSlider->setContinuous(true);
        _evSlider->addTarget(self, &hxViewController::evSliderAction, UIControlEventValueChanged);
    }
    if (_formatSlider) {
        _formatSlider->addTarget(self, &hxViewController::sliderChanging,
                                 UIControlEventValueChanged);
        _formatSlider->addTarget(self, &hxViewController::formatSliderHasChanged,
                                 UIControlEventTouchUpInside | UIControlEventTouchUpOutside);
    }
    if (_flashSlider) {
        _flashSlider->addTarget(self, &hxViewController::sliderChanging,
                                UIControlEventValueChanged);
        _flashSlider->addTarget(self, &hxViewController::flashSliderHasChanged,
                                UIControlEventTouchUpInside | UIControlEventTouchUpOutside);
    }
    if (_helpButton)
        _helpButton->addTarget(self, &hxViewController::helpAction, UIControlEventTouchUpInside);

    if (_filmCollectionView) {
        hxFilmCollectionCell::registerInterfaceClass();
        _filmCollectionView->registerNib(UINib::nibWithNibName("hxFilmCollectionCell"), "Cell");
        _filmCollectionView->setAllowsMultipleSelection(false);
        _filmCollectionView->setAllowsSelection(true);
        _filmCollectionView->setDataSource(this);
        _filmCollectionView->setDelegate(this);
    }
}

// ---- exposure compensation

void hxViewController::evButtonAction(UIControl*) {
    if (_evBase) _evBase->setHidden(!_evBase->isHidden());
}

void hxViewController::evSliderAction(UISlider* slider) {
    if (!slider) return;
    const float units = std::round(slider->value());
    slider->setValue(units);
    _currentEV = units / 3;
    setEvButton(_currentEV);
    if (_device && _device->lockForConfiguration()) {
        const float bias = std::clamp(_currentEV, _device->minExposureTargetBias(),
                                      _device->maxExposureTargetBias());
        _device->setExposureTargetBias(bias, nullptr);
        _device->unlockForConfiguration();
    }
    saveSettings();
}

// ---- format and flash sliders

void hxViewController::sliderChanging(UISlider* slider) {
    if (slider) slider->setValue(std::round(slider->value()));
}

void hxViewController::formatSliderHasChanged(UISlider* slider) {
    if (!slider) return;
    _currentFrame = slider->value() == 0 ? 1 : 2;
    if (_overlayView) {
        _overlayView->setAspect(_currentFrame);
        _overlayView->setNeedsDisplay();
    }
    saveSettings();
}

void hxViewController::flashSliderHasChanged(UISlider* slider) {
    if (!slider) return;
    const float value = slider->value();
    if (value == 0 || value == 1 || value == 2) _currentFlash = static_cast<int32_t>(value);
    applyFlash(_currentFlash);
    saveSettings();
}

// ---- help and support mail

void hxViewController::helpAction(UIControl*) {
    std::weak_ptr<hxViewController> self =
        std::static_pointer_cast<hxViewController>(weak_from_this().lock());
    if (!_helpImageView) {
        _helpImageView =
            std::make_shared<UIImageView>(CGRectMake(0, _topSpace, _previewWidth, _previewHeight));
        _helpImageView->setUserInteractionEnabled(true);
        _helpImageView->setAlpha(0);
        _helpImageView->setHidden(true);
        _helpImageView->addGestureRecognizer(
            std::make_shared<UITapGestureRecognizer>(this, [self](UIGestureRecognizer*) {
                if (auto controller = self.lock()) controller->doneHelp();
            }));
        auto mail = std::make_shared<UIButton>(CGRectMake(2, 2, 64, 64), UIButtonType::Custom);
        mail->setImage(UIImage::imageNamed("mail"), UIControlStateNormal);
        mail->addTarget(self, &hxViewController::mailAction, UIControlEventTouchUpInside);
        _helpImageView->addSubview(mail);
        // The keyboard's keys, in the band the picture leaves free above its foot.
        auto keys = std::make_shared<UILabel>(CGRectMake(8, _previewHeight * kHelpKeysTop,
                                                         _previewWidth - 16,
                                                         _previewHeight * kHelpKeysHeight));
        keys->setText(localizedString("help_keys"));
        keys->setNumberOfLines(0);
        keys->setFont(UIFont::systemFontOfSize(11));
        keys->setTextColor(UIColor::whiteColor());
        keys->setTextAlignment(NSTextAlignment::Center);
        _helpImageView->addSubview(keys);
    }
    if (_helpImageView->isHidden()) {
        auto window = UIApplication::sharedApplication().keyWindow();
        if (!window) return;
        _helpImageView->setImage(UIImage::imageNamed("help_image"));
        _helpImageView->setHidden(false);
        window->addSubview(_helpImageView);
        auto help = _helpImageView;
        UIView::animateWithDuration(0.4, [help] { help->setAlpha(1); });
    } else {
        doneHelp();
    }
}

void hxViewController::doneHelp() {
    auto help = _helpImageView;
    if (!help || help->isHidden()) return;
    UIView::animateWithDuration(
        0.4, [help] { help->setAlpha(0); },
        [help](bool finished) {
            if (!finished) return;
            help->setHidden(true);
            help->removeFromSuperview();
        });
}

std::string hxViewController::supportMailURL() const {
    const auto& device = UIDevice::currentDevice();
    const std::string body = fillPlaceholders(localizedString("support_mailmsg"),
                                              {device.systemVersion(), device.modelName()});
    return mailtoURL(kSupportAddress, kSupportSubject, body);
}

void hxViewController::mailAction(UIControl*) {
    if (auto url = NSURL::URLWithString(supportMailURL()))
        UIApplication::sharedApplication().openURL(*url);
}

// ---- photo viewer and the re-filter screen

void hxViewController::willCloseFilterView(const void*) {
    setupOfflineWidth(_photoWidth, _photoHeight);
    changeToneCurve(_currentFilm);
}

}  // namespace hx::app
