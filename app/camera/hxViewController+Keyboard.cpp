// The camera screen's keyboard, for the desktop window and for scripts: digits choose films,
// brackets step the exposure, and letters toggle the grid and cycle the flash and the lens.
// Each key acts through the same handler as the touch control it stands for, so it changes and
// saves exactly what a finger would.

#include <algorithm>
#include <cctype>
#include <cmath>

#include "app/camera/hxViewController.h"

namespace hx::app {

namespace {

// One press of + or − zooms by this factor.
constexpr float kZoomStep = 1.25f;

}  // namespace

bool hxViewController::keyCommand(char key) {
    // A screen over the camera (the browser) or the camera in the background takes no keys.
    if (_inBack || presentedViewController()) return false;
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(key)));
    if (lower >= '0' && lower <= '9') return selectFilm(lower - '0');
    switch (lower) {
        case '[':
            return stepExposure(-1);
        case ']':
            return stepExposure(1);
        case 'g':
            gridAction(nullptr);
            return true;
        case 'f':
            return cycleFlash();
        case 'l':
            return cycleLens();
        case '+':
        case '=':
            zoomTo(_currentZoom * kZoomStep);
            return true;
        case '-':
            zoomTo(_currentZoom / kZoomStep);
            return true;
        default:
            return false;
    }
}

bool hxViewController::selectFilm(int32_t film) {
    auto picker = _filmCollectionView;
    if (!picker || film < 0 || film >= filmCount()) return false;
    const auto path = NSIndexPath::indexPathForItem(film, 0);
    picker->selectItemAtIndexPath(path, false, UICollectionViewScrollPositionNone);
    collectionViewDidSelectItemAtIndexPath(*picker, path);
    return true;
}

void hxViewController::zoomTo(float zoom) {
    setZoom(zoom);
    _prevZoom = _currentZoom;
}

void hxViewController::setExposureSteps(int32_t thirds) {
    if (!_evSlider) return;
    _evSlider->setValue(std::clamp(float(thirds), _evSlider->minimumValue(),
                                   std::max(_evSlider->minimumValue(), _evSlider->maximumValue())));
    evSliderAction(_evSlider.get());
}

bool hxViewController::stepExposure(int32_t thirds) {
    if (!_evSlider) return false;
    setExposureSteps(static_cast<int32_t>(std::lround(_evSlider->value())) + thirds);
    return true;
}

bool hxViewController::cycleFlash() {
    if (!_hasFlash || !_flashSlider) return false;
    _flashSlider->setValue(float((_currentFlash + 1) % 3));
    flashSliderHasChanged(_flashSlider.get());
    return true;
}

bool hxViewController::cycleLens() {
    if (!_lensSelect || _currentCameraPosition != kPositionBack) return false;
    const auto presets = hxLensSelect::presetsOf(_lensSet);
    if (presets.empty()) return false;
    auto at = std::find(presets.begin(), presets.end(), _lensSelect->selectedPreset());
    const int32_t next =
        at == presets.end() || std::next(at) == presets.end() ? presets.front() : *std::next(at);
    _lensSelect->choosePreset(next);
    return true;
}

}  // namespace hx::app
