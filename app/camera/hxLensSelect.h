#pragma once
// The lens selector at the top of the camera screen: collapsed, a rounded square with the
// icon of the current lens; a touch opens a strip of the lenses the device has, and lifting
// the finger over one chooses it and tells the delegate.
//
// Threads: main thread only.

#include <cstdint>
#include <vector>

#include "platform/ui/drawing/UIImage.h"
#include "platform/ui/view/UIView.h"

namespace hx::app {

class hxLensSelect;

class hxLensSelectDelegate {
  public:
    virtual ~hxLensSelectDelegate() = default;
    virtual void presetSelect(hxLensSelect& selector, int32_t finishedSelect) = 0;
};

class hxLensSelect : public UIView {
  public:
    explicit hxLensSelect(const CGRect& frame = CGRectZero);

    int32_t selectedPreset() const { return _selectedPreset; }
    void setSelectedPreset(int32_t preset) { _selectedPreset = preset; }
    int32_t lensSet() const { return _lensSet; }
    void setLensSet(int32_t lensSet) { _lensSet = lensSet; }
    int64_t currentOri() const { return _currentOri; }
    void setCurrentOri(int64_t orientation) { _currentOri = orientation; }
    // Non-owning: the camera screen owns the selector.
    hxLensSelectDelegate* delegate() const { return delegate_; }
    void setDelegate(hxLensSelectDelegate* delegate) { delegate_ = delegate; }

    // The presets the lens set offers, from the widest lens to the multi-camera one; empty for
    // a set without a strip.
    static std::vector<int32_t> presetsOf(int32_t lensSet);
    // Chooses a preset of the strip as a finger would (the keyboard's lens key): the selector
    // closes on it and tells the delegate. A preset the set lacks is ignored.
    void choosePreset(int32_t preset);

    void setOri(int64_t orientation);
    void immediateHide();
    void showHidePresets();

    void drawRect(const CGRect& rect) override;
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;

  private:
    UIImageRef _cref_UltraWide, _cref_Wide, _cref_Tele, _cref_Multi, _cref_Circle;
    bool _displayed = false;
    bool _transnow = false;
    bool _displayFirst = false;
    bool _touch = false;
    float _positionY = 90;
    int32_t _selectedPreset = 1;
    int32_t _lensSet = 0;
    int64_t _currentOri = 1;
    hxLensSelectDelegate* delegate_ = nullptr;
};

}  // namespace hx::app
