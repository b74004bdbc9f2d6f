#pragma once
// The camera screen: live viewfinder through the current film, the capture session, the
// settings working copy, and every control of the screen. One controller by design; its
// definitions are split by concern:
//
//   app/camera/hxViewController.cpp            creation, start-up order (viewDidLoad)
//   app/camera/hxViewController+Lifecycle.cpp  appearing, background and foreground, quick
//                                              actions, permission checks
//   app/camera/hxViewController+Settings.cpp   loadSettings/saveSettings, settings panel
//   app/camera/hxViewController+Layout.cpp     geometry, views, rotation, accelerometer
//   app/camera/hxViewController+Preview.cpp    live preview renderer
//   app/camera/hxViewController+Controls.cpp   the controls' parts that start-up calls
//   app/camera/hxViewController+FilmPicker.cpp the film picker
//   app/camera/hxViewController+ControlActions.cpp  EV, format, flash, help, photo viewer
//   app/capture/hxViewController+Session.cpp   devices, session, photo size, audio
//   app/capture/hxViewController+Shutter.cpp   shutter, guards, review, hardware keys
//   app/capture/hxViewController+Interruption.cpp  a camera that goes away and comes back
//   app/capture/hxViewController+Processing.cpp  render, metadata, encoding of a photo
//   app/capture/hxViewController+Save.cpp      album search, saving to the library
//   app/capture/hxViewController+Location.cpp  location tagging
//   app/capture/hxViewController+Focus.cpp     focus, exposure, zoom and flash
//   app/browse/hxViewController+Browse.cpp     the library list, the photo browser, re-filtering
//
// Threads: main thread only, except where a method says otherwise.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/browse/BrowseProtocols.h"
#include "app/camera/hxLensSelect.h"
#include "app/camera/hxOverlayView.h"
#include "app/capture/ProcessingGate.h"
#include "core/film/FilmRenderer.h"
#include "core/film/RenderContract.h"
#include "platform/capture/CaptureDevice.h"
#include "platform/capture/CaptureEventInteraction.h"
#include "platform/capture/CaptureInput.h"
#include "platform/capture/CapturePhotoOutput.h"
#include "platform/capture/CaptureSession.h"
#include "platform/capture/CaptureVideoDataOutput.h"
#include "platform/defaults/DefaultsValue.h"
#include "platform/gpu/Device.h"
#include "platform/gpu/RenderPass.h"
#include "platform/image/Image.h"
#include "platform/location/LocationManager.h"
#include "platform/motion/MotionManager.h"
#include "platform/photos/fetch/Asset.h"
#include "platform/photos/fetch/AssetCollection.h"
#include "platform/photos/fetch/FetchResult.h"
#include "platform/photos/library/PhotoLibraryChangeObserver.h"
#include "platform/photos/library/PhotosError.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform/runloop/Semaphore.h"
#include "platform/ui/controllers/UIViewController.h"
#include "platform/ui/controls/UIActivityIndicatorView.h"
#include "platform/ui/controls/UIButton.h"
#include "platform/ui/controls/UIImageView.h"
#include "platform/ui/controls/UILabel.h"
#include "platform/ui/controls/UISlider.h"
#include "platform/ui/events/GestureRecognizers.h"
#include "platform/ui/scroll/UICollectionView.h"
#include "platform/ui/view/MTKView.h"

namespace hx {
class UINavigationController;
}

namespace hx::photos {
class PhotoLibrary;
}

namespace hx::app {

class hxThumbViewController;

// Capture positions and the lens codes of the back camera.
inline constexpr int64_t kPositionBack = 1;
inline constexpr int64_t kPositionFront = 2;
inline constexpr int32_t kLensUltraWide = 0;
inline constexpr int32_t kLensWide = 1;
inline constexpr int32_t kLensTele = 2;
inline constexpr int32_t kLensMulti = 100;

// The build's version, as the application's information list gives it.
std::string bundleVersion();

// A mailto URL with the subject and the body as two query values, each percent-encoded on its
// own so that no character of either ('&', '=', '#', '+', line breaks) can end or change it.
std::string mailtoURL(const std::string& address, const std::string& subject,
                      const std::string& body);

class hxViewController : public UIViewController,
                         public MTKViewDelegate,
                         public capture::CaptureVideoDataOutputSampleBufferDelegate,
                         public capture::CapturePhotoCaptureDelegate,
                         public LocationManagerDelegate,
                         public hxLensSelectDelegate,
                         public UICollectionViewDataSource,
                         public UICollectionViewDelegate,
                         public hxThumbViewControllerDelegate,
                         public hxFilterViewControllerDelegate,
                         public photos::PhotoLibraryChangeObserver {
  public:
    hxViewController();
    ~hxViewController() override;

    // ---- screen (hxViewController.cpp, +Lifecycle)
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    bool prefersStatusBarHidden() const override { return true; }
    UIInterfaceOrientationMask supportedInterfaceOrientations() const override;

    // ---- lifecycle, quick actions, permissions (+Lifecycle)
    void goBackground();
    void goForeground();
    void storeCurrentState(int64_t state);
    // 1 take a photo with the back camera, 2 take a selfie with the front camera.
    void shortCutAction(int64_t action);
    bool checkCameraPerm();
    bool checkCL();

    // ---- settings store (+Settings)
    void loadSettings();
    void saveSettings();
    void settingAction(UIControl* sender);
    void closeSetting(UIControl* sender);
    void tiffAction(UIControl* sender);
    void heicAction(UIControl* sender);
    void geoTagAction(UIControl* sender);
    void gridAction(UIControl* sender);
    void setGridSetting(bool grid);

    // ---- shutter and capture flow (app/capture/+Shutter)
    void shutterRelease(UIControl* sender);
    void shutterTap(UIControl* sender);
    void longPressedHandler(UIGestureRecognizer* recognizer);
    void shutter(UIControl* sender);
    void captureOutputDidFinishProcessingPhoto(
        capture::CapturePhotoOutput& output, const capture::CapturePhotoRef& photo,
        const std::optional<capture::CaptureError>& error) override;
    // Shows the picture just taken for the review time (queued to the main queue).
    void autoReview(const image::ImageRef& picture);
    void onTimer();
    void updateLaunchVol();
    void volumeChanged(const Notification& notification);
    // Start-up: the button's touch-up-inside and touch-down actions and the long press (step
    // 13); the hardware keys by system version (step 20).
    void wireShutter();
    void setupHardwareShutter();
    // Whether a press may take a photo now: the camera screen in front, its session running
    // with a camera.
    bool shutterAvailable();

    // ---- photo processing and metadata (app/capture/+Processing); run on the photo output's
    // queue, synchronously in the capture callback
    void imageProcess(const capture::CapturePhotoRef& photo);
    void imageProcessHEIC(const capture::CapturePhotoRef& photo);
    void imageProcessColor(const capture::CapturePhotoRef& photo);

    // ---- saving to the photo library (app/capture/+Save)
    void searchPhotoGroups();
    // The capture save: one library change that creates the asset from the encoded bytes and
    // adds it to the album; its completion decrements the pending saves. `logResult` is false
    // for the colour variant, which logs nothing.
    void saveCapturedPhoto(std::shared_ptr<const std::vector<uint8_t>> data, bool logResult);
    // The re-filter screen's save: the picture as JPEG with the source photo's metadata.
    void saveImage(const void* sender, const image::ImageRef& picture,
                   const image::PropertyDictionary& meta) override;

    // ---- location tagging (app/capture/+Location)
    void startLocation();
    void stopLocation();
    void didUpdateLocations(LocationManager& manager,
                            const std::vector<Location>& locations) override;
    void didFailWithError(LocationManager& manager, LocationError error) override;
    void didChangeAuthorization(LocationManager& manager, AuthorizationStatus status) override;

    // ---- camera session (app/capture/+Session)
    void checkCamera();
    capture::CaptureDeviceRef cameraWithPosition(int64_t position, int32_t lens);
    void setupCamera();
    void setupFormat(int64_t position);
    void setupFirstTime();
    void changeCameraWithPosition(int64_t position, int32_t lens);
    void switchCameraTapped(UIControl* sender);
    void setupAudio();

    // ---- live preview (+Preview)
    void setupView();
    void captureOutputDidOutputSampleBuffer(capture::CaptureOutput& output,
                                            const capture::SampleBufferRef& sampleBuffer,
                                            capture::CaptureConnection& connection) override;
    void drawInMTKView(MTKView& view) override;
    void mtkView(MTKView& view, CGSize drawableSizeWillChange) override {}
    CGPoint checkBounds(CGPoint point) const;

    // ---- film (the renderer keeps the film state and the full-resolution render)
    void changeToneCurve(int32_t film);
    void setupOfflineWidth(int32_t width, int32_t height);
    film::hxFilmRenderer& filmRenderer() { return *renderer_; }

    // ---- layout and rotation (+Layout)
    void doRotateUI(int64_t orientation);
    void setupCoreMotion();
    // The accelerometer rule: the orientation a sample turns the controls to, or nothing.
    void judgeAcceleration(double x, double y);
    // The layout scaled from the 320-point design (phones of 568 points and more, tablets), or
    // the fixed 320 x 480 one.
    bool usesScaledLayout() const;

    // ---- controls whose behaviour belongs to the camera controls
    void setFilmButton(int32_t film);
    void setEvButton(float ev);
    void exposureUI(bool show);
    void setShutter(int32_t shutterType);
    void setVolumeNotification();
    // Start-up step 14: the actions of the film, EV, format, flash, help and photo-viewer
    // controls, and the film picker's cells, data source and delegate (+FilmPicker).
    void wireControls();
    void filmAction(UIControl* sender);
    void evButtonAction(UIControl* sender);
    void evSliderAction(UISlider* sender);
    void sliderChanging(UISlider* sender);
    void formatSliderHasChanged(UISlider* sender);
    void flashSliderHasChanged(UISlider* sender);
    void helpAction(UIControl* sender);
    void doneHelp();
    void mailAction(UIControl* sender);
    // The support mail: the address, the subject and the body with the system version and the
    // model, each query value percent-encoded on its own.
    std::string supportMailURL() const;
    void pvAction(UIControl* sender);
    // The re-filter screen is closing: the offline renderer back to the photo size and film.
    void willCloseFilterView(const void* sender) override;

    // Film picker (+FilmPicker): 13 films, 9 when the camera gives black and white only.
    NSInteger collectionViewNumberOfItemsInSection(UICollectionView& collectionView,
                                                   NSInteger section) override;
    std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        UICollectionView& collectionView, const NSIndexPath& indexPath) override;
    void collectionViewDidSelectItemAtIndexPath(UICollectionView& collectionView,
                                                const NSIndexPath& indexPath) override;
    void collectionViewDidDeselectItemAtIndexPath(UICollectionView& collectionView,
                                                  const NSIndexPath& indexPath) override;

    // ---- focus, exposure, zoom and flash (app/capture/+Focus)
    // The user's flash choice (0 off, 1 auto, 2 on) into the photo output's monitoring settings.
    void applyFlash(int32_t flash);
    // Both marks to the preview's centre, exposure joined to focus, continuous modes.
    void touchReset();
    // Start-up: the marks' double-tap and pan recognisers, and the main view's double tap,
    // two-finger tap and pinch.
    void addFocusGestures();
    void handleDoubleTap(UIGestureRecognizer* recognizer);
    void handlePan(UIGestureRecognizer* recognizer);
    void handleDoubleTouch(UIGestureRecognizer* recognizer);
    void handlePinchFrom(UIGestureRecognizer* recognizer);
    // The zoom of the pinch, clamped to the camera's range.
    void setZoom(float zoom);

    // hxLensSelectDelegate
    void presetSelect(hxLensSelect& selector, int32_t finishedSelect) override;

    // ---- keyboard and script controls (+Keyboard), each through its touch control's handler
    // A key of the desktop keyboard: 0-9 films, [ ] exposure, G grid, F flash, L lens, + -
    // zoom. False when the key does nothing now (no flash, one lens, the camera covered).
    bool keyCommand(char key);
    // The picker's film of that row; false when the picker does not offer it.
    bool selectFilm(int32_t film);
    // How many films the picker offers.
    int32_t filmCount() const;
    // A zoom the next pinch starts from.
    void zoomTo(float zoom);
    // Exposure compensation in thirds of a stop, clamped to the slider's range.
    void setExposureSteps(int32_t thirds);
    bool stepExposure(int32_t thirds);
    bool cycleFlash();
    bool cycleLens();

    // ---- for the shell (script driving, tests)
    // True while a capture is rendering or a save is pending.
    bool isBusy() const { return _process || _processcounter.load() > 0; }
    // The visible view held under that field name ("_settingButton"); null when none.
    std::shared_ptr<UIView> viewForField(const std::string& field) const;
    // Frames drawn by the preview, and display refreshes skipped because the previous frame
    // was not yet scheduled on the GPU.
    uint64_t previewFramesDrawn() const { return previewFramesDrawn_; }
    uint64_t previewFramesDropped() const { return previewFramesDropped_; }
    const capture::CaptureSessionRef& session() const { return _session; }
    // The photo-library permission as the last activation found it.
    bool photoLibraryAllowed() const { return _privPhoto; }
    // The session's camera went away and no camera has taken its place yet.
    bool isCameraGone() const { return _cameraGone; }

    // ---- settings working copy (loaded and saved together)
    int32_t _currentFrame = 1;
    int32_t _currentFilm = 0;
    int32_t _currentFlash = 0;
    float _currentEV = 0;
    bool _filmpack1 = false;
    bool _geoTag = false;
    bool _tiff = false;
    bool _heic = false;
    bool _grid = false;
    int32_t _currentLens = kLensWide;
    int32_t _shutterType = 0;
    float _autoreviewTime = 0.5f;
    bool _savetoalbum = true;
    std::string _savedVersion;

    // ---- lifecycle flags
    bool _drawGL = true;
    bool _inBack = false;
    bool _firstPass = true;
    bool _privCamera = false;
    bool _privPhoto = false;

    // ---- capture session and device capabilities
    capture::CaptureSessionRef _session;
    capture::CaptureDeviceRef _device;
    capture::CaptureDeviceInputRef _input;
    capture::CaptureVideoDataOutputRef _videoDataOutput;
    capture::CapturePhotoOutputRef _photoOutput;
    int64_t _currentCameraPosition = kPositionBack;
    int32_t _lensSet = 0;
    int32_t _photoWidth = 0, _photoHeight = 0;
    bool _onlyBW = false;
    bool _hasFlash = false;
    bool _hasLowLightBoost = false;
    bool _hasSpotFocus = false;
    bool _hasSpotExposure = false;
    bool _hasCustomExposure = false;
    float _minEV = -3, _maxEV = 3;
    float _maxZoom = 1, _currentZoom = 1, _prevZoom = 1;
    int32_t _afStatus = 0, _aeStatus = 3;
    // Centres of the focus and exposure marks in preview-view coordinates; exposure follows
    // the focus point while `_haveEPOI` is false.
    CGPoint _fPOI, _ePOI;
    bool _haveEPOI = false;
    std::string _deviceID;
    std::string _deviceName;
    // The device whose "adjustingExposure"/"adjustingFocus" this controller observes, the
    // observer ids, and how many of its notifications reached the main thread.
    capture::CaptureDeviceRef _observedDevice;
    std::vector<capture::CaptureDevice::ObserverId> _deviceObserverIds;
    uint64_t _adjustNotifications = 0;

    // ---- a camera that went away (+Interruption): the panel over the preview while it is gone
    bool _cameraGone = false;
    std::shared_ptr<UIView> _cameraGoneView;
    std::shared_ptr<UILabel> _cameraGoneLabel;
    bool _lookingForCameras = false;  // a look at the camera list is due

    // ---- capture flow state
    std::atomic<bool> _process{false};    // a photo is being rendered
    std::atomic<int> _processcounter{0};  // saves pending
    std::shared_ptr<UILongPressGestureRecognizer> _longPress;
    // What each capture's delegate reaches the controller through; closed first thing on
    // destruction, waiting for a photo being handed over, so that a photo arriving later is
    // dropped instead of reaching a controller that is gone.
    struct ShotGate;
    std::shared_ptr<ShotGate> shotGate_;
    void closeShotGate();
    float _volume = -1;  // reference volume of the volume-button shutter; -1 without one

    // ---- saving: the application's album ("Halidex Camera"); null when album saving is off or
    // none is known. Written on the main queue only.
    photos::AssetCollectionRef _album;

    // ---- location tagging
    std::unique_ptr<LocationManager> locationManager;
    std::atomic<bool> _updateLocation{false};
    bool _loc_determinded = false;

    // ---- live preview renderer
    gpu::DeviceRef metaldevice;
    gpu::CommandQueueRef commandQueue;
    std::shared_ptr<MTKView> metalView;
    gpu::RenderPipelineStateRef renderPipelineState, renderColorPipelineState,
        preRenderPipelineState;
    gpu::TextureRef preTexture;
    gpu::RenderPassDescriptor prePassDescriptor;
    gpu::TextureRef texture;
    std::shared_ptr<Semaphore> semaphore;

    // ---- geometry (points)
    float _screenWidth = 0, _screenHeight = 0;
    float _previewWidth = 0, _previewHeight = 0;
    float _uiScale = 1;
    float _topSubSpace = 0, _bottomSpace = 0, _topSpace = 0;
    float _columnX = 0;  // a tablet's screen is a centred column this far from the left
    bool _iPad = false;
    bool _Wide = false;

    // ---- orientation and motion
    int64_t _beforeOrientation = -1;
    int64_t _tempOrientation = 3;
    std::unique_ptr<MotionManager> _cmmanager;

    // ---- views of the screen
    std::shared_ptr<hxOverlayView> _overlayView;
    std::shared_ptr<UIImageView> _resultView;
    std::shared_ptr<UIImageView> _backimage;
    std::shared_ptr<UIButton> _shutterButton;
    std::shared_ptr<UIButton> _filmButton;
    std::shared_ptr<UIButton> _pvButton;
    std::shared_ptr<UIImageView> _pvButtonImage;
    std::shared_ptr<UISlider> _formatSlider;
    std::shared_ptr<UISlider> _flashSlider;
    std::shared_ptr<UIButton> _evButton;
    std::shared_ptr<UIButton> _helpButton;
    std::shared_ptr<UICollectionView> _filmCollectionView;
    std::shared_ptr<hxLensSelect> _lensSelect;
    std::shared_ptr<UILabel> _focalLabel;
    std::shared_ptr<UIButton> _changeCameraButton;
    std::shared_ptr<UIButton> _settingButton;
    std::shared_ptr<UIImageView> _evBase;
    std::shared_ptr<UISlider> _evSlider;
    std::shared_ptr<UIImageView> _afImage, _aeImage;
    std::shared_ptr<UIView> _hud;
    std::shared_ptr<UIActivityIndicatorView> _indicator;
    std::shared_ptr<UIView> _volumeView;
    std::shared_ptr<UIView> _previewPlaceholder;
    // The help picture over the preview, in the window while shown; made on first use.
    std::shared_ptr<UIImageView> _helpImageView;  // black stand-in while metalView is null
    capture::CaptureEventInteractionRef _captureInteraction;

    // ---- settings panel
    std::shared_ptr<UIImageView> _settingView;
    std::shared_ptr<UIButton> _gridButton, _heicButton, _tiffButton, _geoTagButton,
        _settingCloseButton;

    // ---- browsing
    std::shared_ptr<UINavigationController> _nav;

    // ---- photo browser and re-filtering (app/browse/hxViewController+Browse)
    // The grid, made once at start-up; it holds the library list and the album.
    std::shared_ptr<hxThumbViewController> _thumbViewConvtoller;
    // The fetch the list was built from, kept current with the list; changes are compared
    // against it. Empty until the first list build. Main thread only.
    std::optional<photos::FetchResult<photos::Asset>> _fetch;
    void createBrowser();
    // Registers for library changes, once however often it is asked.
    void observeLibrary();
    void stopObservingLibrary();
    // On the library's queue: the change is handled on the main queue.
    void photoLibraryDidChange(const photos::Change& change) override;
    void handleLibraryChange(const photos::Change& change);
    void willCloseThumbViewController(hxThumbViewController& controller) override;
    void prepareFilterImage(const void* sender) override;
    image::ImageRef filterImage(const void* sender, const image::ImageRef& source,
                                const image::PropertyDictionary& meta, int32_t film) override;
    void finishFilterImage(const void*) override {}
    // The browser button shows this photo's thumbnail.
    void showButtonThumbnail(const std::string& identifier);
    // Has the photos' grid-sized thumbnails made in the background.
    void prepareThumbnails(const std::vector<photos::AssetRef>& assets);
    std::weak_ptr<photos::PhotoLibrary> observedLibrary_;

  private:
    // +Layout
    // Geometry fields and the device class flags from the screen and the window's insets.
    void computeGeometry();
    // Creates and places every view of the screen (start-up step 11), wires the controls whose
    // actions exist, and sets the overlay from the settings.
    void createViews();
    // Adds the views to the bar and the main view, brings the controls to the front, hides the
    // EV button without custom exposure, creates the hud (start-up step 16).
    void arrangeViews();
    void buildSettingPanel();
    // The live preview's frame: the preview area between the top row and the bar.
    CGRect previewFrame() const;
    // Puts metalView at the back of the main view, or, while there is none (camera denied or
    // absent), a black stand-in of the preview's frame; called again once metalView exists.
    void placePreviewView();
    // +Session
    void configureDevice(bool firstSetup);
    void attachOutputs();
    void removeDeviceObservers();
    // Exposure-bias range of the device (configuration step 6), then the EV controls.
    void configureExposureBias();
    // Where the device's key-value notifications land, on the main thread.
    void observeValueForKeyPath(const std::string& keyPath, bool value);
    // +Interruption
    // Registers, once, for the session's interruptions and for cameras that appear.
    void observeInterruptions();
    void stopObservingInterruptions();
    void sessionWasInterrupted(const Notification& notification);
    void sessionInterruptionEnded(const Notification& notification);
    // A camera appeared: while the screen's camera is gone, the session is rebuilt on it.
    void cameraWasConnected();
    // Covers the preview with `messageKey`'s text and disables the shutter, or takes both back.
    void showCameraGone(bool gone, const char* messageKey = "camera_gone");
    // With the camera allowed but none found: says so and waits for one to be connected.
    void waitForACamera();
    // While the screen waits for a camera, lists the cameras again every few seconds.
    void lookForCamerasLater();
    std::vector<NotificationCenter::ObserverToken> interruptionTokens_;
    // +Shutter
    // Observes the system volume's announcement of that name with volumeChanged.
    void observeVolume(const char* name);
    // The target the review timer is grouped under.
    const void* reviewTimerTarget() const;
    // +Preview
    void drawPreviewFrame(MTKView& view);
    // +Settings: the values last read from or written to the store, so a save writes only
    // what changed here and keeps what another program changed meanwhile.
    std::map<std::string, DefaultsValue> storedSettings_;
    // +Lifecycle
    void presentAlert(const char* messageKey, const char* closeKey, const char* openKey);
    void removeTemporaryFiles();
    // +Save
    struct AlbumSearch {
        std::mutex mutex;
        bool running = false;
        bool again = false;
        bool wanted = true;
    };
    // Searches until no request came in during the last search; a request while one runs only
    // asks that one to search again, with the newest album setting. Any thread.
    static void runAlbumSearch(const std::shared_ptr<AlbumSearch>& search, bool wanted,
                               const std::function<void(photos::AssetCollectionRef)>& publish);
    // The album search on a background thread, with the album setting as it is now.
    void searchPhotoGroupsInBackground();
    // Sets `_album` and rebuilds the photo list; main thread.
    void publishAlbum(photos::AssetCollectionRef album);
    // Rebuilds the library list, the fetch and the button's thumbnail (+Browse); main thread.
    void updateImageList();
    // The album new photos go to: null while album saving is off (the last search saw it off)
    // or no album is known. Any thread.
    photos::AssetCollectionRef albumForSaving() const;
    // The asset from the bytes in one library change, added to the album when there is one; an
    // album deleted meanwhile is found or made again without losing the photo. `done` runs on
    // the library's queue with the outcome.
    void storePhoto(std::shared_ptr<const std::vector<uint8_t>> bytes,
                    std::function<void(bool success, const photos::PhotosError* error)> done);
    // Pending saves less one, never below zero.
    void finishPendingSave();
    // Tells the user that a photo could not be saved (once while the alert is up); any thread.
    void reportSaveFailure();
    std::shared_ptr<AlbumSearch> albumSearch_ = std::make_shared<AlbumSearch>();
    mutable std::mutex albumMutex_;  // `_album` written under it, read under it off the main thread
    // +Location
    // An alert with one closing button; nothing when the key has no text.
    void presentNotice(const char* messageKey);

    std::unique_ptr<film::hxFilmRenderer> renderer_;
    // A new camera frame or film since the last draw; the preview draws only then.
    bool previewDirty_ = true;
    uint64_t previewFramesDrawn_ = 0;
    uint64_t previewFramesDropped_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    // +Processing
    // What a photo is processed with, as the main thread holds it when the photo arrives.
    struct PhotoSettings {
        int32_t film = 0;
        int32_t frame = 1;
        int64_t position = kPositionBack;
        int64_t tempOrientation = 3;
        bool tiff = false;
        bool heic = false;
        std::string model;
        std::optional<Location> location;  // when geotagging applies
    };
    // Reads the settings on the main thread (waiting for it from the photo queue) and puts the
    // film, frame and camera position into the renderer there.
    PhotoSettings photoSettings();
    PhotoSettings photoSettingsOnMain(bool withLocation);
    // The three processing variants: `output` is the file kind the renderer reads back for.
    void processPhoto(const capture::CapturePhotoRef& photo, film::PhotoOutput output);
    // Last member: waits, when the controller goes, for the photo being processed.
    ProcessingGate processingGate_;
};

}  // namespace hx::app
