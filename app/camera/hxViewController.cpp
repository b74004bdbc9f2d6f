// The camera screen's creation and its start-up, in the fixed order the other concerns rely on.

#include "app/camera/hxViewController.h"

#include <map>

#include "platform/bundle/Bundle.h"
#include "platform/device/UIDevice.h"
#include "platform/log/Log.h"
#include "platform/ui/navigation/UINavigationController.h"
#include "platform/ui/window/UIWindowScene.h"
#include "platform/widgetkit/WidgetKitHelper.h"

namespace hx::app {

hxViewController::hxViewController()
    : UIViewController("hxViewController"), renderer_(std::make_unique<film::hxFilmRenderer>()) {
    // Views the interface file supplies; the layout places them.
    declareOutlet("_shutterButton", _shutterButton);
    declareOutlet("_formatSlider", _formatSlider);
    declareOutlet("_flashSlider", _flashSlider);
    declareOutlet("_helpButton", _helpButton);
    declareOutlet("_focalLabel", _focalLabel);
    declareOutlet("_filmCollectionView", _filmCollectionView);
}

hxViewController::~hxViewController() {
    closeShotGate();
    *alive_ = false;
    if (metalView) metalView->setDelegate(nullptr);
    if (_videoDataOutput) _videoDataOutput->setSampleBufferDelegate(nullptr, nullptr);
    if (_lensSelect) _lensSelect->setDelegate(nullptr);
    removeDeviceObservers();
    stopObservingInterruptions();
    if (_cmmanager) _cmmanager->stopAccelerometerUpdates();
    if (_session) _session->stopRunning();
    stopObservingLibrary();
}

UIInterfaceOrientationMask hxViewController::supportedInterfaceOrientations() const {
    return UIInterfaceOrientationMaskAll;
}

void hxViewController::viewDidLoad() {
    // 1. The widget shows photos of the album: ask it to look again once per launch.
    WidgetKitHelper::reloadAllWidgets();

    // 2-3. Permissions and lenses.
    _privPhoto = false;
    _privCamera = checkCameraPerm();
    _firstPass = true;
    _lensSet = 0;
    _currentZoom = _prevZoom = _maxZoom = 1.0f;
    checkCamera();

    // 4-7. Device class, tone buffers, temporary files, model, geometry.
    computeGeometry();
    removeTemporaryFiles();
    _deviceName = UIDevice::currentDevice().modelName();
    _deviceID = UIDevice::currentDevice().modelIdentifier();
    _currentLens = kLensWide;
    _hasLowLightBoost = false;

    // 8. Drawing and orientation state.
    _drawGL = true;
    _beforeOrientation = -1;
    _tempOrientation = 3;
    _processcounter = 0;

    // 9. Settings, audio, and the camera when it is allowed; a camera that goes away later or
    // comes back is followed from here on.
    observeInterruptions();
    loadSettings();
    setupAudio();
    if (_privCamera) setupFirstTime();
    if (_privCamera && !_device)
        hxLog(
            "no camera found for the back position and lens %d; the screen starts without a "
            "live preview",
            _currentLens);

    // 11 comes before 10 here: applying the flash and the exposure range reach the sliders and
    // the EV button, which must exist first.
    createViews();
    buildSettingPanel();

    // 10. A stored flash choice outside the slider's range falls back to off.
    if (_currentFlash == 3) _currentFlash = 0;
    applyFlash(_currentFlash);
    _process = false;

    // 13. The shutter's actions and its long press.
    wireShutter();

    // 14. The other controls' actions and the film picker.
    wireControls();

    // 12, 14-16. Controls, gestures and the view tree.
    arrangeViews();
    // 15. The focus and exposure marks' gestures, and the main view's.
    addFocusGestures();

    // 17. Motion.
    setupCoreMotion();

    // 18. A new build writes the settings once, so the store records its version.
    if (_savedVersion != bundleVersion()) saveSettings();

    // 19-20. Multi-touch and the hardware shutter.
    if (_overlayView) _overlayView->setMultipleTouchEnabled(true);
    if (metalView) metalView->setMultipleTouchEnabled(true);
    view()->setMultipleTouchEnabled(true);
    setupHardwareShutter();

    // 21. Film state and the controls that show it.
    _inBack = false;
    changeToneCurve(_currentFilm);
    setFilmButton(_currentFilm);
    touchReset();

    // The photo browser's grid, kept for the screen's whole life.
    createBrowser();

    // 22. The lens selector only where there is a choice of back lenses.
    if (_lensSelect) {
        if (_lensSet == 0) {
            _lensSelect->setHidden(true);
        } else {
            _lensSelect->setHidden(false);
            _lensSelect->setSelectedPreset(_currentLens);
            _lensSelect->setNeedsDisplay();
        }
    }

    // No camera yet: the screen says so and takes up the first one connected.
    waitForACamera();
}

void hxViewController::changeToneCurve(int32_t film) {
    renderer_->_currentFilm = _currentFilm;
    renderer_->changeToneCurve(film);
    previewDirty_ = true;
}

void hxViewController::setupOfflineWidth(int32_t width, int32_t height) {
    renderer_->_photoWidth = width;
    renderer_->_photoHeight = height;
    renderer_->setupOfflineWidth(width, height);
}

std::string bundleVersion() {
    // The information list of the resources is the one truth; the build's own version stands in
    // when the resources cannot be read.
    if (auto version = Bundle::main().objectForInfoDictionaryKey("CFBundleVersion"))
        return *version;
    return HALIDEX_BUNDLE_VERSION;
}

std::shared_ptr<UIView> hxViewController::viewForField(const std::string& field) const {
    const std::map<std::string, std::shared_ptr<UIView>> fields = {
        {"_shutterButton", _shutterButton},
        {"_filmButton", _filmButton},
        {"_pvButton", _pvButton},
        {"_formatSlider", _formatSlider},
        {"_flashSlider", _flashSlider},
        {"_evButton", _evButton},
        {"_evSlider", _evSlider},
        {"_helpButton", _helpButton},
        {"_filmCollectionView", _filmCollectionView},
        {"_lensSelect", _lensSelect},
        {"_focalLabel", _focalLabel},
        {"_changeCameraButton", _changeCameraButton},
        {"_settingButton", _settingButton},
        {"_overlayView", _overlayView},
        {"metalView", metalView},
        {"_gridButton", _gridButton},
        {"_heicButton", _heicButton},
        {"_tiffButton", _tiffButton},
        {"_geoTagButton", _geoTagButton},
        {"_settingCloseButton", _settingCloseButton},
        {"_settingView", _settingView},
        {"_cameraGoneView", _cameraGoneView},
    };
    auto found = fields.find(field);
    if (found == fields.end() || !found->second) return nullptr;
    return found->second;
}

}  // namespace hx::app
