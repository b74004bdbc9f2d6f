// A camera's capabilities and settings: formats, modes per kind, the configuration lock, the
// exposure-bias range, zoom, and the adjustingFocus / adjustingExposure notifications on the
// device's own queue.

#include "platform/log/CaptureScope.h"
#include "tests/platform/capture/CaptureTestSupport.h"

namespace hx::capture::testing {
namespace {

using Devices = CaptureTest;

// Notifications as they arrive on the device queue.
struct Notifications {
    std::mutex mutex;
    std::vector<std::pair<std::string, std::optional<bool>>> seen;
    bool allOnDeviceQueue = true;

    CaptureDevice::Observer observer(const CaptureDeviceRef& device) {
        return [this, queue = device->deviceQueue()](const std::string& key, CaptureDevice&,
                                                     const KeyValueChange& change) {
            std::lock_guard lock(mutex);
            seen.emplace_back(key, change.newValue);
            allOnDeviceQueue = allOnDeviceQueue && queue->isCurrent();
        };
    }
    std::vector<std::pair<std::string, std::optional<bool>>> take() {
        std::lock_guard lock(mutex);
        return std::exchange(seen, {});
    }
};

// The largest format by pixel count, the first of equal sizes winning, as the photo size is
// chosen.
VideoDimensions largest(const CaptureDevice& device) {
    VideoDimensions best{0, 0};
    for (const auto& format : device.formats()) {
        const VideoDimensions d =
            CMVideoFormatDescriptionGetDimensions(format->formatDescription());
        if (int64_t{d.width} * d.height > int64_t{best.width} * best.height) best = d;
    }
    return best;
}

TEST_F(Devices, FormatsSuitTheFilmPipeline) {
    for (const CaptureDeviceRef& device : CameraBackend::current()->devices()) {
        SCOPED_TRACE(device->localizedName());
        ASSERT_FALSE(device->formats().empty());
        for (const auto& format : device->formats()) {
            const VideoDimensions d = format->videoDimensions();
            EXPECT_EQ(d.width % 16, 0);
            EXPECT_LE(std::max(d.width, d.height) * 2, std::min(d.width, d.height) * 3);
        }
        EXPECT_EQ(device->activeFormat()->videoDimensions(), largest(*device));
    }
    EXPECT_EQ(largest(*backWide()), (VideoDimensions{4032, 3024}));
    EXPECT_EQ(largest(*cameraWith(AVCaptureDevicePositionFront, 1)), (VideoDimensions{3088, 2320}));

    // Of two formats with the same pixel count the first listed is active.
    SimulatedCamera::setCapabilityOverride([](CaptureDeviceCapabilities& c) {
        c.formats = {{640, 480}, {4032, 3024}, {3024, 4032}};
    });
    CameraBackend::reset();
    EXPECT_EQ(backWide()->activeFormat()->videoDimensions(), (VideoDimensions{4032, 3024}));
}

TEST_F(Devices, EachKindOfCameraHasItsOwnCapabilities) {
    CaptureDeviceRef wide = backWide();
    EXPECT_TRUE(wide->hasFlash());
    EXPECT_FALSE(wide->isLowLightBoostSupported());
    EXPECT_TRUE(wide->isFocusModeSupported(AVCaptureFocusModeContinuousAutoFocus));
    EXPECT_TRUE(wide->isFocusPointOfInterestSupported());
    EXPECT_TRUE(wide->isExposureModeSupported(AVCaptureExposureModeCustom));
    EXPECT_TRUE(wide->isExposurePointOfInterestSupported());
    EXPECT_TRUE(
        wide->isWhiteBalanceModeSupported(AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance));
    EXPECT_EQ(wide->focusMode(), AVCaptureFocusModeContinuousAutoFocus);

    // Fixed focus: no focus point, no autofocus.
    CaptureDeviceRef ultra = cameraWith(AVCaptureDevicePositionBack, 0);
    EXPECT_FALSE(ultra->isFocusPointOfInterestSupported());
    EXPECT_FALSE(ultra->isFocusModeSupported(AVCaptureFocusModeContinuousAutoFocus));
    EXPECT_EQ(ultra->focusMode(), AVCaptureFocusModeLocked);

    CaptureDeviceRef front = cameraWith(AVCaptureDevicePositionFront, 1);
    EXPECT_FALSE(front->hasFlash());
    EXPECT_TRUE(front->isLowLightBoostSupported());
    EXPECT_TRUE(front->isExposurePointOfInterestSupported());

    CaptureDeviceRef triple = cameraWith(AVCaptureDevicePositionBack, 100);
    EXPECT_EQ(triple->constituentDeviceTypes().size(), 3u);
    EXPECT_GT(triple->maxAvailableVideoZoomFactor(), wide->maxAvailableVideoZoomFactor());
}

TEST_F(Devices, SettingsNeedTheConfigurationLock) {
    CaptureDeviceRef device = backWide();
    {
        log::CaptureScope log;
        EXPECT_FALSE(device->setFocusMode(AVCaptureFocusModeLocked));
        EXPECT_DOUBLE_EQ(device->setVideoZoomFactor(3), 1.0);
        EXPECT_FLOAT_EQ(device->setExposureTargetBias(1), 0.0f);
        EXPECT_TRUE(log.contains("lockForConfiguration"));
    }
    EXPECT_EQ(device->focusMode(), AVCaptureFocusModeContinuousAutoFocus);

    ASSERT_TRUE(device->lockForConfiguration());
    ASSERT_TRUE(device->lockForConfiguration());  // locks nest
    device->unlockForConfiguration();
    EXPECT_TRUE(device->setFocusMode(AVCaptureFocusModeLocked));
    EXPECT_TRUE(device->setFocusPointOfInterest({1.5, -0.2}));
    EXPECT_EQ(device->focusPointOfInterest(), (CGPoint{1.0, 0.0}));
    device->unlockForConfiguration();
    EXPECT_FALSE(device->isLockedForConfiguration());

    // A camera that refuses: the lock fails with a reason and nothing changes.
    SimulatedCamera::setRefusesConfigurationLock(true);
    CaptureError error;
    EXPECT_FALSE(device->lockForConfiguration(&error));
    EXPECT_EQ(error.code, AVErrorDeviceLockedForConfigurationByAnotherProcess);
    EXPECT_FALSE(error.localizedDescription.empty());
    EXPECT_FALSE(device->isLockedForConfiguration());

    // Unsupported changes are refused even under the lock.
    SimulatedCamera::setRefusesConfigurationLock(false);
    CaptureDeviceRef ultra = cameraWith(AVCaptureDevicePositionBack, 0);
    ASSERT_TRUE(ultra->lockForConfiguration());
    log::CaptureScope log;
    EXPECT_FALSE(ultra->setFocusPointOfInterest({0.2, 0.2}));
    EXPECT_FALSE(ultra->setFocusMode(AVCaptureFocusModeContinuousAutoFocus));
    EXPECT_FALSE(ultra->setAutomaticallyEnablesLowLightBoostWhenAvailable(true));
    ultra->unlockForConfiguration();
}

TEST_F(Devices, ExposureBiasIsClampedToTheDeviceRange) {
    CaptureDeviceRef device = backWide();
    EXPECT_FLOAT_EQ(device->minExposureTargetBias(), -8);
    EXPECT_FLOAT_EQ(device->maxExposureTargetBias(), 8);
    ASSERT_TRUE(device->lockForConfiguration());
    std::atomic<int> completions{0};
    std::atomic<double> syncTime{-1};
    std::atomic<bool> onDeviceQueue{false};
    EXPECT_FLOAT_EQ(device->setExposureTargetBias(9.5f,
                                                  [&](double time) {
                                                      syncTime = time;
                                                      onDeviceQueue =
                                                          device->deviceQueue()->isCurrent();
                                                      ++completions;
                                                  }),
                    8.0f);
    device->unlockForConfiguration();
    EXPECT_FLOAT_EQ(device->exposureTargetBias(), 8);
    advance(0.05);
    EXPECT_EQ(completions, 1);
    EXPECT_NEAR(syncTime, 1.0 / 30, 1e-9);  // the first frame with the new bias
    EXPECT_TRUE(onDeviceQueue);

    // A camera with a narrow range reports it as it is.
    SimulatedCamera::setCapabilityOverride([](CaptureDeviceCapabilities& c) {
        c.minExposureTargetBias = -2.5f;
        c.maxExposureTargetBias = 2.5f;
    });
    CameraBackend::reset();
    EXPECT_FLOAT_EQ(backWide()->minExposureTargetBias(), -2.5f);
    EXPECT_FLOAT_EQ(backWide()->maxExposureTargetBias(), 2.5f);
}

TEST_F(Devices, ZoomStaysWithinWhatTheCameraOffers) {
    CaptureDeviceRef device = backWide();
    EXPECT_DOUBLE_EQ(device->minAvailableVideoZoomFactor(), 1.0);
    const double max = device->maxAvailableVideoZoomFactor();
    EXPECT_GT(max, 1.0);
    ASSERT_TRUE(device->lockForConfiguration());
    EXPECT_DOUBLE_EQ(device->setVideoZoomFactor(2.5), 2.5);
    EXPECT_DOUBLE_EQ(device->setVideoZoomFactor(max * 3), max);
    EXPECT_DOUBLE_EQ(device->setVideoZoomFactor(0.4), 1.0);
    device->unlockForConfiguration();
    EXPECT_DOUBLE_EQ(device->videoZoomFactor(), 1.0);
}

TEST_F(Devices, FocusingIsReportedAsItStartsAndSettles) {
    CaptureDeviceRef device = backWide();
    Notifications notes;
    const auto id = device->addObserver(kAdjustingFocusKeyPath, NSKeyValueObservingOptionNew,
                                        notes.observer(device));
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(device->lockForConfiguration());
    ASSERT_TRUE(device->setFocusPointOfInterest({0.3, 0.7}));
    ASSERT_TRUE(device->setFocusMode(AVCaptureFocusModeContinuousAutoFocus));
    device->unlockForConfiguration();
    advance(0);
    EXPECT_TRUE(device->isAdjustingFocus());
    EXPECT_EQ(notes.take(), (decltype(notes.seen){{kAdjustingFocusKeyPath, true}}));

    // A new request while focusing keeps it going until the later one settles.
    advance(0.3);
    ASSERT_TRUE(device->lockForConfiguration());
    device->setFocusMode(AVCaptureFocusModeAutoFocus);
    device->unlockForConfiguration();
    advance(0.2);
    EXPECT_TRUE(device->isAdjustingFocus());
    EXPECT_TRUE(notes.take().empty());
    advance(0.25);
    EXPECT_FALSE(device->isAdjustingFocus());
    EXPECT_EQ(notes.take(), (decltype(notes.seen){{kAdjustingFocusKeyPath, false}}));

    // Locking in the middle of focusing stops it there; a removed observer hears nothing.
    ASSERT_TRUE(device->lockForConfiguration());
    device->setFocusMode(AVCaptureFocusModeContinuousAutoFocus);
    advance(0.1);
    device->setFocusMode(AVCaptureFocusModeLocked);
    device->unlockForConfiguration();
    advance(0);
    EXPECT_EQ(notes.take(), (decltype(notes.seen){{kAdjustingFocusKeyPath, true},
                                                  {kAdjustingFocusKeyPath, false}}));
    device->removeObserver(id);
    ASSERT_TRUE(device->lockForConfiguration());
    device->setFocusMode(AVCaptureFocusModeContinuousAutoFocus);
    device->unlockForConfiguration();
    advance(1);
    EXPECT_TRUE(notes.take().empty());
    EXPECT_TRUE(notes.allOnDeviceQueue);
}

TEST_F(Devices, ExposureIsReportedWhenPointOrBiasChange) {
    CaptureDeviceRef device = backWide();
    Notifications notes;
    device->addObserver(kAdjustingExposureKeyPath,
                        NSKeyValueObservingOptionNew | NSKeyValueObservingOptionInitial,
                        notes.observer(device));
    advance(0);
    EXPECT_EQ(notes.take(), (decltype(notes.seen){{kAdjustingExposureKeyPath, false}}));

    ASSERT_TRUE(device->lockForConfiguration());
    device->setExposurePointOfInterest({0.1, 0.5});
    device->setExposureMode(AVCaptureExposureModeContinuousAutoExposure);
    device->unlockForConfiguration();
    advance(0.1);
    EXPECT_TRUE(device->isAdjustingExposure());
    advance(0.3);
    EXPECT_FALSE(device->isAdjustingExposure());
    EXPECT_EQ(notes.take(), (decltype(notes.seen){{kAdjustingExposureKeyPath, true},
                                                  {kAdjustingExposureKeyPath, false}}));

    // Locked exposure still follows the bias.
    ASSERT_TRUE(device->lockForConfiguration());
    device->setExposureMode(AVCaptureExposureModeLocked);
    device->setExposureTargetBias(-1);
    device->unlockForConfiguration();
    advance(0.5);
    EXPECT_EQ(notes.take(), (decltype(notes.seen){{kAdjustingExposureKeyPath, true},
                                                  {kAdjustingExposureKeyPath, false}}));

    log::CaptureScope log;
    EXPECT_EQ(device->addObserver("videoZoomFactor", NSKeyValueObservingOptionNew,
                                  notes.observer(device)),
              0u);
    EXPECT_TRUE(log.contains("videoZoomFactor"));
}

}  // namespace
}  // namespace hx::capture::testing
