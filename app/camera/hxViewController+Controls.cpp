// The parts of the camera controls that the screen's start-up and the session already call:
// the film button's picture, and the EV button's title and visibility.

#include "app/camera/hxViewController.h"

#include <cstdio>

#include "platform/ui/drawing/UIImage.h"

namespace hx::app {

void hxViewController::setFilmButton(int32_t film) {
    if (!_filmButton) return;
    char name[32];
    std::snprintf(name, sizeof name, "film_%d", film);
    _filmButton->setImage(UIImage::imageNamed(name), UIControlStateNormal);
}

void hxViewController::setEvButton(float ev) {
    if (!_evButton) return;
    char title[32];
    if (ev == 0)
        std::snprintf(title, sizeof title, "±");
    else
        std::snprintf(title, sizeof title, ev > 0 ? "+%.1f" : "%.1f", double(ev));
    _evButton->setTitle(title, UIControlStateNormal);
}

void hxViewController::exposureUI(bool show) {
    // The session configures devices before the screen's views exist.
    if (!_evButton || !_evSlider) return;
    _evButton->setHidden(!show);
    _evSlider->setMinimumValue(_minEV * 3);
    _evSlider->setMaximumValue(_maxEV * 3);
    _evSlider->setValue(_currentEV * 3);
    setEvButton(_currentEV);
}

void hxViewController::presetSelect(hxLensSelect&, int32_t preset) {
    if (preset == kLensUltraWide || preset == kLensWide || preset == kLensTele ||
        preset == kLensMulti)
        _currentLens = preset;
    // Saved at once: every activation reloads the settings and would otherwise bring the old
    // lens back while the new one is in use.
    saveSettings();
    changeCameraWithPosition(kPositionBack, _currentLens);
}

}  // namespace hx::app
