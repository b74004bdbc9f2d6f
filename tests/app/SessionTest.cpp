// The camera session of the camera screen, driven through the real controller over the
// simulated cameras of each device profile: lenses, devices, exposure range, photo size and
// film limit, camera and lens switches (with and without a camera), observers.

#include "platform/audio/AudioSession.h"
#include "platform/capture/CaptureDeviceDiscoverySession.h"
#include "tests/app/CameraScreenTestSupport.h"

namespace hx::app::testing {
namespace {

using namespace hx::capture;

using Lenses = CameraScreenTest;
using Session = CameraScreenTest;
using PhotoSize = CameraScreenTest;
using Switching = CameraScreenTest;

TEST_F(Lenses, LensSetFollowsTheBackLensesOfEachProfile) {
    const std::pair<const char*, int32_t> cases[] = {
        {"phone", 1}, {"tablet", 2}, {"legacy-phone", 3}, {"small-phone", 0}};
    for (const auto& [profile, lensSet] : cases) {
        SCOPED_TRACE(profile);
        useProfile(profile);
        EXPECT_EQ(openScreen()._lensSet, lensSet);
        closeScreen();
    }
}

TEST_F(Lenses, EachCodeFindsItsDeviceAndUnknownCodesFindNone) {
    hxViewController& s = openScreen();
    EXPECT_EQ(s.cameraWithPosition(1, kLensUltraWide)->deviceType(),
              AVCaptureDeviceTypeBuiltInUltraWideCamera);
    EXPECT_EQ(s.cameraWithPosition(1, kLensTele)->deviceType(),
              AVCaptureDeviceTypeBuiltInTelephotoCamera);
    // The triple camera wins over the others the multi-camera code asks for.
    EXPECT_EQ(s.cameraWithPosition(1, kLensMulti)->deviceType(),
              AVCaptureDeviceTypeBuiltInTripleCamera);
    auto front = s.cameraWithPosition(2, 7);  // the lens does not matter at the front
    ASSERT_TRUE(front);
    EXPECT_EQ(front->position(), AVCaptureDevicePositionFront);
    EXPECT_EQ(s._currentCameraPosition, 2);
    EXPECT_EQ(s.cameraWithPosition(1, 7), nullptr);
    EXPECT_EQ(s._currentCameraPosition, 1);
}

TEST_F(Lenses, MultiCameraOnAPhoneWithoutOneFindsNothing) {
    useProfile("small-phone");
    hxViewController& s = openScreen();
    EXPECT_EQ(s.cameraWithPosition(1, kLensMulti), nullptr);
    EXPECT_EQ(s.cameraWithPosition(1, kLensUltraWide), nullptr);
    EXPECT_NE(s.cameraWithPosition(1, kLensWide), nullptr);
    // The legacy phone's dual camera is found where there is no triple camera.
    closeScreen();
    useProfile("legacy-phone");
    EXPECT_EQ(openScreen().cameraWithPosition(1, kLensMulti)->deviceType(),
              AVCaptureDeviceTypeBuiltInDualCamera);
}

TEST_F(Session, FirstSetupBuildsTheSessionAroundTheBackWideCamera) {
    AudioSession::sharedInstance().reset();
    hxViewController& s = openScreen();
    ASSERT_TRUE(s._device);
    EXPECT_EQ(s._device->deviceType(), AVCaptureDeviceTypeBuiltInWideAngleCamera);
    EXPECT_EQ(s._device->position(), AVCaptureDevicePositionBack);
    EXPECT_FALSE(s._firstPass);
    ASSERT_TRUE(s.session());
    EXPECT_EQ(s.session()->inputs().size(), 1u);
    EXPECT_EQ(s.session()->outputs().size(), 2u);
    EXPECT_EQ(s.session()->sessionPreset(), AVCaptureSessionPresetPhoto);
    auto connection = s._videoDataOutput->connectionWithMediaType(AVMediaTypeVideo);
    ASSERT_TRUE(connection);
    EXPECT_EQ(connection->videoOrientation(), AVCaptureVideoOrientationPortrait);
    EXPECT_EQ(s._videoDataOutput->sampleBufferDelegate(), &s);
    auto settings = s._photoOutput->photoSettingsForSceneMonitoring();
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->pixelFormatType(), kCVPixelFormatType_32BGRA);
    EXPECT_TRUE(settings->isHighResolutionPhotoEnabled());
    // The device's capabilities as the other concerns read them.
    EXPECT_TRUE(s._hasFlash);
    EXPECT_TRUE(s._hasCustomExposure);
    EXPECT_FLOAT_EQ(s._maxZoom, float(s._device->maxAvailableVideoZoomFactor()));
    EXPECT_EQ(s._device->focusMode(), AVCaptureFocusModeContinuousAutoFocus);
    EXPECT_EQ(s._device->exposureMode(), AVCaptureExposureModeContinuousAutoExposure);
    EXPECT_EQ(s._aeStatus, 3);
    EXPECT_EQ(s._afStatus, 0);
    // The photo size and the full-resolution render that follows it.
    EXPECT_EQ(s._photoWidth, 4032);
    EXPECT_EQ(s._photoHeight, 3024);
    EXPECT_EQ(s.filmRenderer()._photoWidth, 4032);
    // Ambient sound that mixes with others.
    EXPECT_EQ(AudioSession::sharedInstance().category(), AVAudioSessionCategoryAmbient);
    EXPECT_EQ(AudioSession::sharedInstance().categoryOptions(),
              AVAudioSessionCategoryOptionMixWithOthers);
    EXPECT_TRUE(AudioSession::sharedInstance().isActive());
}

TEST_F(Session, ExposureBiasRangeIsOfferedInWholeStepsBeyondTwo) {
    struct Case {
        float deviceMin, deviceMax, offeredMin, offeredMax;
    };
    for (Case c :
         {Case{-2.5f, 2.5f, -3, 3}, Case{-1, 1, -1, 1}, Case{-8, 8, -3, 3}, Case{-2, 2, -2, 2}}) {
        SCOPED_TRACE(c.deviceMin);
        SimulatedCamera::setCapabilityOverride([c](CaptureDeviceCapabilities& caps) {
            caps.minExposureTargetBias = c.deviceMin;
            caps.maxExposureTargetBias = c.deviceMax;
        });
        CameraBackend::reset();
        hxViewController& s = openScreen();
        EXPECT_FLOAT_EQ(s._minEV, c.offeredMin);
        EXPECT_FLOAT_EQ(s._maxEV, c.offeredMax);
        EXPECT_TRUE(s._hasCustomExposure);
        closeScreen();
    }
}

TEST_F(Session, DeviceWithoutCustomExposureStillOffersThreeStops) {
    SimulatedCamera::setCapabilityOverride([](CaptureDeviceCapabilities& caps) {
        caps.exposureModes = {AVCaptureExposureModeContinuousAutoExposure};
        caps.minExposureTargetBias = -1;
        caps.maxExposureTargetBias = 1;
    });
    CameraBackend::reset();
    hxViewController& s = openScreen();
    EXPECT_TRUE(s._hasCustomExposure);
    EXPECT_FLOAT_EQ(s._minEV, -3);
    EXPECT_FLOAT_EQ(s._maxEV, 3);
}

TEST_F(Session, ACameraThatRefusesTheLockStillStarts) {
    SimulatedCamera::setRefusesConfigurationLock(true);
    hxViewController& s = openScreen();
    ASSERT_TRUE(s._device);
    EXPECT_EQ(s.session()->inputs().size(), 1u);
    EXPECT_FLOAT_EQ(s._minEV, -3);
    EXPECT_FLOAT_EQ(s._maxEV, 3);
}

TEST_F(PhotoSize, EqualProductsKeepTheFirstFormat) {
    for (VideoDimensions first : {VideoDimensions{4032, 3024}, VideoDimensions{3024, 4032}}) {
        VideoDimensions second{first.height, first.width};
        SimulatedCamera::setCapabilityOverride([=](CaptureDeviceCapabilities& caps) {
            caps.formats = {{1280, 960}, first, second, {2016, 1512}};
        });
        CameraBackend::reset();
        hxViewController& s = openScreen();
        EXPECT_EQ(s._photoWidth, first.width);
        EXPECT_EQ(s._photoHeight, first.height);
        closeScreen();
    }
}

TEST_F(PhotoSize, ModelTableLimitsFilmsPerCamera) {
    struct Case {
        const char* model;
        bool backBW, frontBW;
    };
    for (Case c : {Case{"iPad13,4", true, false}, Case{"iPad4,4", true, false},
                   Case{"iPad2,5", false, false}, Case{"iPhone2,1", true, true},
                   Case{"iPhone1,2", false, false}, Case{"iPod4,1", true, false},
                   Case{"iPhone12,1", false, false}}) {
        SCOPED_TRACE(c.model);
        useProfile(std::string("base = phone\nmodel-identifier = ") + c.model + "\n");
        hxViewController& s = openScreen();
        EXPECT_EQ(s._deviceID, c.model);
        s.setupFormat(1);
        EXPECT_EQ(s._onlyBW, c.backBW);
        s.switchCameraTapped(nullptr);
        EXPECT_EQ(s._currentCameraPosition, 2);
        EXPECT_EQ(s._onlyBW, c.frontBW);
        s.switchCameraTapped(nullptr);
        EXPECT_EQ(s._onlyBW, c.backBW);
        closeScreen();
    }
}

TEST_F(PhotoSize, ModelIdentifierOfTheProfileReachesTheStartUp) {
    useProfile("base = phone\nmodel-identifier = iPhone3,1\n");
    hxViewController& s = openScreen();
    EXPECT_EQ(s._deviceID, "iPhone3,1");
    EXPECT_TRUE(s._onlyBW);
    EXPECT_EQ(s._photoWidth, 2048);
    EXPECT_EQ(s._photoHeight, 1536);
    EXPECT_EQ(s.filmRenderer()._photoWidth, 2048);
    // The front camera keeps its own size, and the full-resolution render follows it.
    s.switchCameraTapped(nullptr);
    EXPECT_TRUE(s._onlyBW);
    EXPECT_EQ(s._photoWidth, 3088);
    EXPECT_EQ(s._photoHeight, 2320);
    EXPECT_EQ(s.filmRenderer()._photoWidth, 3088);
    EXPECT_EQ(s.filmRenderer()._photoHeight, 2320);
}

TEST_F(Switching, BackFrontBackRebuildsTheSessionAndRestartsIt) {
    hxViewController& s = openScreen();
    auto label = std::make_shared<UILabel>();
    s._focalLabel = label;
    s._currentZoom = s._prevZoom = 2.5f;
    s._currentFlash = 1;
    s.session()->startRunning();

    s.switchCameraTapped(nullptr);
    EXPECT_EQ(s._currentCameraPosition, 2);
    ASSERT_TRUE(s._device);
    EXPECT_EQ(s._device->position(), AVCaptureDevicePositionFront);
    EXPECT_FALSE(s._hasFlash);  // the front camera has none
    EXPECT_FLOAT_EQ(s._currentZoom, 1);
    EXPECT_FLOAT_EQ(s._prevZoom, 1);
    EXPECT_EQ(label->text(), "x1.0");
    EXPECT_EQ(s.session()->inputs().size(), 1u);
    EXPECT_EQ(s.session()->outputs().size(), 2u);
    EXPECT_EQ(s.filmRenderer()._currentCameraPosition, 2);
    // Started again from the main queue, not inside the switch.
    EXPECT_FALSE(s.session()->isRunning());
    advance(0);
    EXPECT_TRUE(s.session()->isRunning());

    s.switchCameraTapped(nullptr);
    EXPECT_EQ(s._currentCameraPosition, 1);
    ASSERT_TRUE(s._device);
    EXPECT_EQ(s._device->position(), AVCaptureDevicePositionBack);
    EXPECT_TRUE(s._hasFlash);
    // The flash choice reaches the photo output's settings: 1 is automatic.
    EXPECT_EQ(s._photoOutput->photoSettingsForSceneMonitoring()->flashMode(),
              AVCaptureFlashModeAuto);
    advance(0);
    EXPECT_TRUE(s.session()->isRunning());
}

TEST_F(Switching, FramesComeFromTheNewCameraAfterASwitch) {
    hxViewController& s = openScreen();
    s.session()->startRunning();
    auto frameSize = [&] {
        uint64_t before = s.previewFramesDrawn();
        runUntil([&] {
            advance(kCameraFrame);
            return s.previewFramesDrawn() > before + 1;
        });
        return s.texture ? std::pair(s.texture->width(), s.texture->height())
                         : std::pair<size_t, size_t>(0, 0);
    };
    auto back = frameSize();
    EXPECT_GT(back.first, 0u);
    // Portrait frames: taller than wide.
    EXPECT_GT(back.second, back.first);
    s.switchCameraTapped(nullptr);
    advance(0);
    auto front = frameSize();
    EXPECT_GT(front.second, front.first);
}

TEST_F(Switching, WithoutAnyCameraNothingBreaks) {
    useProfile("base = phone\ncameras = none\n");
    hxViewController& s = openScreen();
    EXPECT_EQ(s._device, nullptr);
    EXPECT_EQ(s._lensSet, 0);
    ASSERT_TRUE(s.session());
    EXPECT_TRUE(s.session()->inputs().empty());
    EXPECT_EQ(s._photoWidth, 0);
    ASSERT_TRUE(s.metalView);  // the preview still exists
    for (int64_t expected : {2, 1, 2}) {
        s.switchCameraTapped(nullptr);
        EXPECT_EQ(s._currentCameraPosition, expected);
        EXPECT_EQ(s._device, nullptr);
        EXPECT_TRUE(s.session()->inputs().empty());
        EXPECT_FALSE(s.session()->isRunning());
    }
    // The empty view is drawn once and then left alone: nothing new ever arrives.
    advance(1);
    EXPECT_LE(s.previewFramesDrawn(), 1u);
    EXPECT_EQ(s.texture, nullptr);
}

TEST_F(Switching, AStoredLensThatDoesNotExistLeavesAnEmptyStoppedSession) {
    useProfile("small-phone");
    hxViewController& s = openScreen();
    s.session()->startRunning();
    s._currentLens = kLensTele;
    s.changeCameraWithPosition(1, kLensTele);
    EXPECT_EQ(s._device, nullptr);
    EXPECT_TRUE(s.session()->inputs().empty());
    EXPECT_TRUE(s.session()->outputs().empty());
    advance(0);
    EXPECT_FALSE(s.session()->isRunning());
    // The front camera still works, and back again finds no telephoto lens.
    s.switchCameraTapped(nullptr);
    ASSERT_TRUE(s._device);
    EXPECT_EQ(s._device->position(), AVCaptureDevicePositionFront);
    s.switchCameraTapped(nullptr);
    EXPECT_EQ(s._device, nullptr);
    EXPECT_EQ(s._currentCameraPosition, 1);
}

TEST_F(Switching, LensChoiceResizesTheFullResolutionRender) {
    useProfile("base = phone\ncameras = ultra-wide:2048x1536 wide telephoto:3264x2448 front\n");
    hxViewController& s = openScreen();
    EXPECT_EQ(s.filmRenderer()._photoWidth, 4032);
    s.presetSelect(*std::make_shared<hxLensSelect>(), kLensUltraWide);
    EXPECT_EQ(s._currentLens, kLensUltraWide);
    EXPECT_EQ(s._device->deviceType(), AVCaptureDeviceTypeBuiltInUltraWideCamera);
    EXPECT_EQ(s._photoWidth, 2048);
    EXPECT_EQ(s.filmRenderer()._photoWidth, 2048);
    EXPECT_EQ(s.filmRenderer()._photoHeight, 1536);
    ASSERT_TRUE(s.filmRenderer().offlineOutputTarget);
    EXPECT_EQ(s.filmRenderer().offlineOutputTarget->width() *
                  s.filmRenderer().offlineOutputTarget->height(),
              size_t(2048) * 1536);
    s.presetSelect(*std::make_shared<hxLensSelect>(), kLensTele);
    EXPECT_EQ(s.filmRenderer()._photoWidth, 3264);
    EXPECT_EQ(s.filmRenderer()._photoHeight, 2448);
}

TEST_F(Switching, ObserversStayOnTheDeviceInUseOnly) {
    hxViewController& s = openScreen();
    CaptureDeviceRef back = s._device;
    ASSERT_TRUE(back);
    auto heardAfter = [&](const CaptureDeviceRef& device) {
        // Reports of the configuration itself land first.
        runUntil([] { return false; }, 1);
        uint64_t before = s._adjustNotifications;
        bool adjusting = device->isAdjustingFocus();
        device->driverAdjustingFocusChanged(!adjusting);
        device->driverAdjustingFocusChanged(adjusting);
        runUntil([&] { return s._adjustNotifications >= before + 2; }, 2);
        return s._adjustNotifications - before;
    };
    EXPECT_EQ(heardAfter(back), 2u);

    s.switchCameraTapped(nullptr);
    CaptureDeviceRef front = s._device;
    ASSERT_TRUE(front);
    EXPECT_EQ(heardAfter(back), 0u);
    EXPECT_EQ(heardAfter(front), 2u);
    EXPECT_EQ(s._observedDevice, front);
    EXPECT_EQ(s._deviceObserverIds.size(), 2u);
}

TEST_F(Switching, NotificationsAndStartsAfterTheScreenIsGoneDoNothing) {
    hxViewController& s = openScreen();
    CaptureDeviceRef back = s._device;
    s.switchCameraTapped(nullptr);  // queues the session's start
    CaptureDeviceRef front = s._device;
    CaptureSessionRef session = s.session();
    front->driverAdjustingExposureChanged(true);
    closeScreen();
    runUntil([] { return false; }, 1);
    advance(1);
    EXPECT_FALSE(session->isRunning());
}

}  // namespace
}  // namespace hx::app::testing
