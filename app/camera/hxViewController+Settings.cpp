// The settings working copy (read and written together) and the settings panel with its four
// toggles: location tag, TIFF, HEIC and grid.

#include "app/camera/CameraSettingsKeys.h"
#include "app/camera/hxAppDelegate.h"
#include "app/camera/hxViewController.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/ui/drawing/UIColor.h"

namespace hx::app {

namespace {

constexpr double kPanelFadeSeconds = 0.4;

// The keys the camera writes, with the working copy's values and the given version.
std::map<std::string, DefaultsValue> workingCopy(const hxViewController& c,
                                                 const std::string& version) {
    return {
        {KEY_FRAMEMODE, c._currentFrame},
        {KEY_FILMTYPE, c._currentFilm},
        {KEY_FLASH, c._currentFlash},
        {KEY_EV, c._currentEV},
        {KEY_FILMPACK1, c._filmpack1},
        {KEY_GEOTAG, c._geoTag},
        {KEY_TIFF, c._tiff},
        {KEY_HEIC, c._heic},
        {KEY_GRID, c._grid},
        {KEY_LENS, c._currentLens},
        {KEY_VERSION, version},
    };
}

}  // namespace

void hxViewController::loadSettings() {
    // Values changed by the settings tool while the camera was away are read afresh.
    UserDefaults::resetStandardUserDefaults();
    auto& defaults = UserDefaults::standard();
    defaults.registerDefaults(cameraRegisteredDefaults());

    _currentFrame = int32_t(defaults.integerForKey(KEY_FRAMEMODE));
    _currentFilm = int32_t(defaults.integerForKey(KEY_FILMTYPE));
    _currentFlash = int32_t(defaults.integerForKey(KEY_FLASH));
    _currentEV = defaults.floatForKey(KEY_EV);
    _filmpack1 = defaults.boolForKey(KEY_FILMPACK1);
    _geoTag = defaults.boolForKey(KEY_GEOTAG);
    _tiff = defaults.boolForKey(KEY_TIFF);
    _heic = defaults.boolForKey(KEY_HEIC);
    _grid = defaults.boolForKey(KEY_GRID);
    _currentLens = int32_t(defaults.integerForKey(KEY_LENS));
    _shutterType = int32_t(defaults.integerForKey(kShutterPreference));
    _autoreviewTime = autoreviewSeconds(defaults.integerForKey(kAutoreviewPreference));
    _savetoalbum = defaults.boolForKey(kSaveToAlbumPreference);
    _savedVersion = defaults.stringForKey(KEY_VERSION);

    storedSettings_ = workingCopy(*this, _savedVersion);

    if (_geoTag)
        startLocation();
    else
        stopLocation();
}

void hxViewController::saveSettings() {
    const auto values = workingCopy(*this, bundleVersion());
    // Only what changed here is written: the store merges per key under its lock, so a value
    // the settings tool set meanwhile for another key survives this save.
    auto& defaults = UserDefaults::standard();
    for (const auto& [key, value] : values) {
        auto stored = storedSettings_.find(key);
        if (stored != storedSettings_.end() && stored->second == value) continue;
        defaults.setObject(value, key);
        storedSettings_[key] = value;
    }
    _savedVersion = bundleVersion();
    defaults.synchronize();
}

void hxViewController::settingAction(UIControl* sender) {
    if (!_settingView || !_settingView->isHidden()) return;
    _geoTagButton->setSelected(_geoTag);
    _tiffButton->setSelected(_tiff);
    _heicButton->setSelected(_heic);
    _gridButton->setSelected(_grid);
    _settingView->setBackgroundColor(UIColor::blackColor());
    _settingView->setHidden(false);
    std::shared_ptr<UIWindow> window;
    if (auto* delegate = sharedAppDelegate()) window = delegate->window();
    if (!window) window = view()->window();
    if (window) {
        // In the window, over the camera screen wherever that lies.
        CGRect frame = _settingView->frame();
        frame.origin.x = view()->frame().origin.x;
        _settingView->setFrame(frame);
        window->addSubview(_settingView);
    }
    auto panel = _settingView;
    UIView::animateWithDuration(kPanelFadeSeconds, [panel] { panel->setAlpha(1); });
}

void hxViewController::closeSetting(UIControl* sender) {
    if (!_settingView || _settingView->isHidden()) return;
    auto panel = _settingView;
    UIView::animateWithDuration(
        kPanelFadeSeconds, [panel] { panel->setAlpha(0); },
        [panel](bool) {
            panel->setHidden(true);
            panel->removeFromSuperview();
        });
}

void hxViewController::tiffAction(UIControl* sender) {
    if (_tiff) {
        _tiff = false;
    } else {
        _tiff = true;
        if (_heic) _heic = false;
    }
    _tiffButton->setSelected(_tiff);
    _heicButton->setSelected(_heic);
    saveSettings();
}

void hxViewController::heicAction(UIControl* sender) {
    if (_heic) {
        _heic = false;
    } else {
        _heic = true;
        _tiff = false;
    }
    _tiffButton->setSelected(_tiff);
    _heicButton->setSelected(_heic);
    saveSettings();
}

void hxViewController::geoTagAction(UIControl* sender) {
    if (!_geoTag) {
        _geoTag = true;
        _geoTagButton->setSelected(true);
        saveSettings();
        const bool allowed = checkCL();
        startLocation();
        _privPhoto = allowed;
    } else {
        _geoTag = false;
        _geoTagButton->setSelected(false);
        stopLocation();
        saveSettings();
    }
}

void hxViewController::gridAction(UIControl* sender) {
    _grid = !_grid;
    if (_gridButton) _gridButton->setSelected(_grid);
    setGridSetting(_grid);
    saveSettings();
}

void hxViewController::setGridSetting(bool grid) {
    if (_overlayView) _overlayView->setGrid(grid ? 1 : 0);
}

}  // namespace hx::app
