// The lens selector: a rounded square with the current lens's icon that opens, on a touch, into
// a strip of 45-point slots with a selection ring the finger slides along.

#include "app/camera/hxLensSelect.h"

#include <algorithm>

#include "platform/bundle/Bundle.h"
#include "platform/ui/drawing/CGContext.h"
#include "platform/ui/events/UITouch.h"

namespace hx::app {

namespace {

constexpr float kSlot = 45;
constexpr float kCollapsedSide = 30;

UIImageRef loadIcon(const char* fileName) {
    auto path = Bundle::main().pathForResource(fileName);
    return path ? UIImage::imageWithContentsOfFile(*path) : nullptr;
}

// The presets of a lens set from the top of the strip down; empty for a set without a strip.
std::vector<int32_t> stripOf(int32_t lensSet) {
    switch (lensSet) {
        case 1:
            return {2, 1, 0, 100};
        case 2:
            return {1, 0, 100};
        case 3:
            return {2, 1, 100};
        default:
            return {};
    }
}

// The slot (0 at the top) of a preset in the strip; -1 when the set lacks it.
int slotOf(int32_t lensSet, int32_t preset) {
    std::vector<int32_t> strip = stripOf(lensSet);
    auto found = std::find(strip.begin(), strip.end(), preset);
    return found == strip.end() ? -1 : int(found - strip.begin());
}

}  // namespace

hxLensSelect::hxLensSelect(const CGRect& frame) : UIView(frame) {
    layer().setCornerRadius(15);
    layer().setMasksToBounds(true);
    _cref_UltraWide = loadIcon("pre0@2x.png");
    _cref_Wide = loadIcon("pre1@2x.png");
    _cref_Tele = loadIcon("pre2@2x.png");
    _cref_Multi = loadIcon("preMulti@2x.png");
    _cref_Circle = loadIcon("preCircle@2x.png");
}

std::vector<int32_t> hxLensSelect::presetsOf(int32_t lensSet) {
    std::vector<int32_t> presets = stripOf(lensSet);
    std::sort(presets.begin(), presets.end());
    return presets;
}

void hxLensSelect::choosePreset(int32_t preset) {
    if (slotOf(_lensSet, preset) < 0) return;
    _selectedPreset = preset;
    _touch = false;
    _displayFirst = false;
    immediateHide();
    if (delegate_) delegate_->presetSelect(*this, _selectedPreset);
}

void hxLensSelect::setOri(int64_t orientation) {
    if (orientation == _currentOri) return;
    immediateHide();
    _currentOri = orientation;
}

void hxLensSelect::immediateHide() {
    if (_displayed) {
        layer().setCornerRadius(15);
        CGRect f = frame();
        double x = f.origin.x, y = f.origin.y;
        // How far the strip reached past the collapsed square along the screen.
        double reach = _lensSet == 1 ? 100 : 60;
        switch (_currentOri) {
            case 1:
                setFrame(CGRectMake(x, y + reach, kCollapsedSide, kCollapsedSide));
                break;
            case 2:
            case 3:
                setFrame(CGRectMake(x, y, kCollapsedSide, kCollapsedSide));
                break;
            case 4:
                setFrame(CGRectMake(x + reach, y, kCollapsedSide, kCollapsedSide));
                break;
            default:
                setFrame(CGRectZero);
                break;
        }
        _displayed = false;
        _transnow = false;
    }
    setNeedsDisplay();
}

void hxLensSelect::showHidePresets() {
    CGRect f = frame();
    double x = f.origin.x, y = f.origin.y;
    bool longStrip = _lensSet == 1;
    _transnow = true;
    setNeedsDisplay();

    bool expanding = !_displayed;
    CGRect target;
    if (expanding) {
        // The selector is turned a quarter, so a strip that runs down its own y axis lies
        // horizontally on the screen and grows to the left.
        target = longStrip ? CGRectMake(x - 135, y, 180, kSlot) : CGRectMake(x - 90, y, 135, kSlot);
    } else {
        target = longStrip ? CGRectMake(x + 135, y, kCollapsedSide, kCollapsedSide)
                           : CGRectMake(x + 90, y, kCollapsedSide, kCollapsedSide);
    }
    std::weak_ptr<UIView> weak = weak_from_this();
    UIView::animateWithDuration(
        0.1, 0, UIViewAnimationOptionCurveEaseOut, [this, target] { setFrame(target); },
        [this, weak, expanding](bool) {
            if (!weak.lock()) return;
            _displayed = expanding;
            _transnow = false;
            setNeedsDisplay();
        });
}

void hxLensSelect::drawRect(const CGRect&) {
    if (_transnow) return;
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context) return;
    CGContextSetTextMatrix(context, CGAffineTransformMakeScale(1, -1));

    auto iconOf = [this](int32_t preset) -> const UIImageRef& {
        switch (preset) {
            case 0:
                return _cref_UltraWide;
            case 1:
                return _cref_Wide;
            case 2:
                return _cref_Tele;
            default:
                return _cref_Multi;
        }
    };
    auto draw = [](const UIImageRef& image, const CGRect& rect) {
        if (image) image->drawInRect(rect);
    };

    if (!_displayed) {
        layer().setCornerRadius(15);
        bool known = slotOf(_lensSet, _selectedPreset) >= 0;
        draw(known ? iconOf(_selectedPreset) : _cref_Circle,
             CGRectMake(0, 0, kCollapsedSide, kCollapsedSide));
        return;
    }

    std::vector<int32_t> strip = stripOf(_lensSet);
    if (strip.empty()) return;
    for (std::size_t i = 0; i < strip.size(); ++i)
        draw(iconOf(strip[i]), CGRectMake(0, kSlot * float(i), kSlot, kSlot));
    layer().setCornerRadius(20);

    float ring;
    if (_touch && !_displayFirst) {
        float last = kSlot * float(strip.size()) - kSlot;
        ring = std::clamp(_positionY, 0.0f, last);
    } else {
        int slot = slotOf(_lensSet, _selectedPreset);
        if (slot < 0) return;
        ring = kSlot * float(slot);
    }
    draw(_cref_Circle, CGRectMake(0, ring, kSlot, kSlot));
}

void hxLensSelect::touchesBegan(const UITouchSet&, UIEvent*) {
    // A touch while the strip opens or closes neither opens it again nor chooses: each would
    // start from the frame the running animation is heading for and push the strip sideways.
    if (!_displayed && !_transnow) {
        showHidePresets();
        _displayFirst = true;
    }
    _touch = true;
}

void hxLensSelect::touchesMoved(const UITouchSet& touches, UIEvent*) {
    UITouch* touch = touches.anyObject();
    if (!touch) return;
    _positionY = float(touch->locationInView(this).y) - 22.5f;
    _touch = true;
    setNeedsDisplay();
}

void hxLensSelect::touchesEnded(const UITouchSet& touches, UIEvent*) {
    _touch = false;
    if (_displayFirst) {
        // The finger that opened the strip selects nothing when it lifts.
        _displayFirst = false;
        return;
    }
    if (!_displayed || _transnow) return;
    UITouch* touch = touches.anyObject();
    if (!touch) return;
    float p = float(touch->locationInView(this).y) - 22.5f;
    switch (_lensSet) {
        case 1:
            if (p > 112.5f) {
                _selectedPreset = 100, _positionY = 135;
            } else if (p > 67.5f) {
                _selectedPreset = 0, _positionY = 90;
            } else if (p > 22.5f) {
                _selectedPreset = 1, _positionY = 45;
            } else {
                _selectedPreset = 2, _positionY = 0;
            }
            break;
        case 2:
            if (p > 67.5f) {
                _selectedPreset = 100, _positionY = 90;
            } else if (p > 22.5f) {
                _selectedPreset = 0, _positionY = 45;
            } else {
                _selectedPreset = 1, _positionY = 0;
            }
            break;
        case 3:
            if (p > 67.5f) {
                _selectedPreset = 100, _positionY = 90;
            } else if (p > 22.5f) {
                _selectedPreset = 1, _positionY = 45;
            } else {
                _selectedPreset = 2, _positionY = 0;
            }
            break;
        default:
            break;  // no strip: the choice stays
    }
    if (delegate_) delegate_->presetSelect(*this, _selectedPreset);
    showHidePresets();
}

void hxLensSelect::touchesCancelled(const UITouchSet&, UIEvent*) {
    _touch = false;
}

}  // namespace hx::app
