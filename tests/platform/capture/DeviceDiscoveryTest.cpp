// Finding cameras: each lens code and position on each profile's camera set, the order of
// multi-camera devices, a device without cameras, and the choice of backend.

#include "platform/log/CaptureScope.h"
#include "tests/platform/capture/CaptureTestSupport.h"

namespace hx::capture::testing {
namespace {

using Discovery = CaptureTest;

std::string typeOf(const CaptureDeviceRef& device) {
    return device ? device->deviceType() : "none";
}

// Which back lenses exist, as the lens selector tells them apart: 1 all three, 2 wide and
// ultra-wide, 3 wide and telephoto, 0 anything else.
int lensSet() {
    auto count = [](const char* type) {
        return CaptureDeviceDiscoverySession::discoverySessionWithDeviceTypes(
                   {type}, AVMediaTypeVideo, AVCaptureDevicePositionBack)
            ->devices()
            .size();
    };
    const bool tele = count(AVCaptureDeviceTypeBuiltInTelephotoCamera) > 0;
    const bool wide = count(AVCaptureDeviceTypeBuiltInWideAngleCamera) > 0;
    const bool ultra = count(AVCaptureDeviceTypeBuiltInUltraWideCamera) > 0;
    if (tele && wide && ultra) return 1;
    if (wide && ultra) return 2;
    if (wide && tele) return 3;
    return 0;
}

TEST_F(Discovery, EachLensCodeFindsItsCameraOnThePhone) {
    EXPECT_EQ(typeOf(cameraWith(AVCaptureDevicePositionBack, 0)),
              AVCaptureDeviceTypeBuiltInUltraWideCamera);
    EXPECT_EQ(typeOf(cameraWith(AVCaptureDevicePositionBack, 1)),
              AVCaptureDeviceTypeBuiltInWideAngleCamera);
    EXPECT_EQ(typeOf(cameraWith(AVCaptureDevicePositionBack, 2)),
              AVCaptureDeviceTypeBuiltInTelephotoCamera);
    EXPECT_EQ(typeOf(cameraWith(AVCaptureDevicePositionBack, 100)),
              AVCaptureDeviceTypeBuiltInTripleCamera);
    EXPECT_EQ(cameraWith(AVCaptureDevicePositionBack, 7), nullptr);

    // The front camera is a wide-angle camera too, but another device than the back one.
    CaptureDeviceRef front = cameraWith(AVCaptureDevicePositionFront, 2);
    ASSERT_TRUE(front);
    EXPECT_EQ(front->position(), AVCaptureDevicePositionFront);
    EXPECT_NE(front, backWide());
    // Every lookup of a camera gives the same device.
    EXPECT_EQ(backWide(), CaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo));
    EXPECT_EQ(front, CaptureDevice::deviceWithUniqueID(front->uniqueID()));
    EXPECT_EQ(CaptureDevice::defaultDeviceWithMediaType(AVMediaTypeAudio), nullptr);
    EXPECT_EQ(lensSet(), 1);
}

TEST_F(Discovery, OtherProfilesDriveTheOtherLensSets) {
    useProfile("tablet");
    EXPECT_EQ(lensSet(), 2);
    EXPECT_EQ(typeOf(cameraWith(AVCaptureDevicePositionBack, 100)),
              AVCaptureDeviceTypeBuiltInDualWideCamera);
    EXPECT_EQ(cameraWith(AVCaptureDevicePositionBack, 2), nullptr);

    useProfile("legacy-phone");
    EXPECT_EQ(lensSet(), 3);
    EXPECT_EQ(typeOf(cameraWith(AVCaptureDevicePositionBack, 100)),
              AVCaptureDeviceTypeBuiltInDualCamera);
    EXPECT_EQ(cameraWith(AVCaptureDevicePositionBack, 0), nullptr);

    useProfile("small-phone");
    EXPECT_EQ(lensSet(), 0);
    EXPECT_EQ(cameraWith(AVCaptureDevicePositionBack, 100), nullptr);
    EXPECT_TRUE(cameraWith(AVCaptureDevicePositionFront, 1));
}

TEST_F(Discovery, DevicesComeInTheOrderOfTheTypesAskedFor) {
    useProfileText("cameras = ultra-wide wide telephoto dual-wide dual triple front\n");
    auto list = [](std::vector<std::string> types) {
        auto discovery = CaptureDeviceDiscoverySession::discoverySessionWithDeviceTypes(
            types, AVMediaTypeVideo, AVCaptureDevicePositionBack);
        std::vector<std::string> found;
        for (const auto& device : discovery->devices()) found.push_back(device->deviceType());
        return found;
    };
    EXPECT_EQ(list({AVCaptureDeviceTypeBuiltInTripleCamera, AVCaptureDeviceTypeBuiltInDualCamera,
                    AVCaptureDeviceTypeBuiltInDualWideCamera}),
              (std::vector<std::string>{AVCaptureDeviceTypeBuiltInTripleCamera,
                                        AVCaptureDeviceTypeBuiltInDualCamera,
                                        AVCaptureDeviceTypeBuiltInDualWideCamera}));
    EXPECT_EQ(
        list({AVCaptureDeviceTypeBuiltInDualWideCamera, AVCaptureDeviceTypeBuiltInTripleCamera}),
        (std::vector<std::string>{AVCaptureDeviceTypeBuiltInDualWideCamera,
                                  AVCaptureDeviceTypeBuiltInTripleCamera}));
    // Unspecified position finds both wide-angle cameras; video is the only media type.
    EXPECT_EQ(CaptureDeviceDiscoverySession::discoverySessionWithDeviceTypes(
                  {AVCaptureDeviceTypeBuiltInWideAngleCamera}, AVMediaTypeVideo,
                  AVCaptureDevicePositionUnspecified)
                  ->devices()
                  .size(),
              2u);
    EXPECT_TRUE(CaptureDeviceDiscoverySession::discoverySessionWithDeviceTypes(
                    {AVCaptureDeviceTypeBuiltInWideAngleCamera}, AVMediaTypeAudio,
                    AVCaptureDevicePositionUnspecified)
                    ->devices()
                    .empty());
}

TEST_F(Discovery, ADeviceWithoutCamerasFindsNothing) {
    useProfileText("cameras = none\n");
    EXPECT_EQ(backWide(), nullptr);
    EXPECT_EQ(cameraWith(AVCaptureDevicePositionFront, 1), nullptr);
    EXPECT_EQ(CaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo), nullptr);
    CaptureError error;
    EXPECT_EQ(CaptureDeviceInput::deviceInputWithDevice(nullptr, &error), nullptr);
    EXPECT_EQ(error.code, AVErrorDeviceNotConnected);

    // The same on demand, on a profile that has cameras.
    useProfile("phone");
    ASSERT_TRUE(backWide());
    SimulatedCamera::setHidesDevices(true);
    EXPECT_EQ(backWide(), nullptr);
    SimulatedCamera::setHidesDevices(false);
    EXPECT_TRUE(backWide());
}

TEST_F(Discovery, UnknownBackendsFallBackToTheSimulatedCamera) {
    log::CaptureScope log;
    env_.set("HALIDEX_CAMERA", "webcam");
    CameraBackend::reset();
    EXPECT_STREQ(CameraBackend::current()->name(), "simulated");
    EXPECT_TRUE(log.contains("webcam"));
    EXPECT_TRUE(backWide());
}

TEST_F(Discovery, V4l2IsTakenWhenAskedForAndSaysSoWithoutACamera) {
    log::CaptureScope log;
    env_.set("HALIDEX_CAMERA", "v4l2");
    CameraBackend::reset();
    EXPECT_STREQ(CameraBackend::current()->name(), "v4l2");
    if (CameraBackend::current()->devices().empty()) {
        EXPECT_TRUE(log.contains("HALIDEX_CAMERA=v4l2: no V4L2 camera"));
    }
}

}  // namespace
}  // namespace hx::capture::testing
