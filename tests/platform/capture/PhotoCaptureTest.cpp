// Stills: full size in sensor orientation, their own Exif, the flash, the optics a photo shows
// (bias, zoom, focus), and every way a capture can fail.

#include "platform/capture/scene/BuiltInScenes.h"
#include "platform/image/io/ImageDestination.h"
#include "platform/image/io/ImageSource.h"
#include "tests/platform/capture/CaptureTestSupport.h"

namespace hx::capture::testing {
namespace {

using Photos = CaptureTest;

// The middle of the picture as the photo shows it upright: in sensor orientation the view's
// vertical runs along the buffer's width.
// The point of interest (sensor coordinates) that looks at a point of the scene through the
// back wide camera at zoom 1, whose upright view spans 0.75 by 1 scene units.
CGPoint pointOfInterestFor(scene::ScenePoint p) {
    const double u = p.x / 0.75 + 0.5, v = p.y + 0.5;
    return {v, 1 - u};
}

double darkShare(const gpu::PixelBuffer& buffer) {
    size_t dark = 0, all = 0;
    for (size_t y = 0; y < buffer.height(); y += 8)
        for (size_t x = 0; x < buffer.width(); x += 8, ++all) dark += lumaAt(buffer, x, y) < 60;
    return double(dark) / double(all);
}

TEST_F(Photos, StillsAreFullSizeInSensorOrientationWithTheirOwnExif) {
    RunningCamera camera(backWide());
    PhotoRecorder recorder;
    auto settings = CapturePhotoSettings::photoSettings();
    camera.photo->capturePhotoWithSettings(settings, &recorder);
    ASSERT_TRUE(waitFor([&] { return recorder.count == 1; }));
    EXPECT_TRUE(recorder.onOutputQueue);
    ASSERT_FALSE(recorder.errors.front());
    const CapturePhotoRef photo = recorder.photos.front();
    EXPECT_EQ(photo->resolvedSettings().uniqueID, settings->uniqueID());
    EXPECT_EQ(photo->resolvedSettings().photoDimensions, (VideoDimensions{4032, 3024}));

    const gpu::PixelBuffer& still = *photo->pixelBuffer();
    EXPECT_EQ(still.width(), 4032u);
    EXPECT_EQ(still.height(), 3024u);
    EXPECT_EQ(still.pixelFormatType(), kCVPixelFormatType_32BGRA);
    // Held upright, the sky is on the sensor's left and the grass on its right.
    EXPECT_TRUE(isSkyBlue(pixelAt(still, 30, 1512)));
    EXPECT_TRUE(isGrassGreen(pixelAt(still, 4020, 3000)));

    EXPECT_EQ(photo->metadata().integer(image::kCGImagePropertyOrientation), 6);
    const image::PropertyDictionary exif = photo->exifDictionary();
    EXPECT_NEAR(*exif.real(image::kCGImagePropertyExifExposureTime), 1.0 / 120, 1e-6);
    EXPECT_NEAR(*exif.real(image::kCGImagePropertyExifFNumber), 1.6, 1e-9);
    EXPECT_NEAR(*exif.real(image::kCGImagePropertyExifFocalLength), 4.2, 1e-9);
    EXPECT_EQ(exif.integer("FocalLenIn35mmFilm"), 26);
    EXPECT_EQ(*exif.string(image::kCGImagePropertyExifLensModel),
              "simulated back camera 4.2mm f/1.6");
    const auto* iso = exif.find(image::kCGImagePropertyExifISOSpeedRatings);
    ASSERT_TRUE(iso && iso->list());
    EXPECT_EQ(iso->list()->front().integer(), 32);
    EXPECT_EQ(exif.integer("Flash"), 0x10);  // off, did not fire
    EXPECT_EQ(exif.integer(image::kCGImagePropertyExifPixelXDimension), 4032);
    EXPECT_FALSE(exif.contains("DigitalZoomRatio"));
    EXPECT_EQ(exif.string(image::kCGImagePropertyExifDateTimeOriginal)->size(), 19u);

    // The front camera: its own size, its own scene, a lens without flash.
    RunningCamera selfie(cameraWith(AVCaptureDevicePositionFront, 1));
    const CapturePhotoRef front = selfie.capture(AVCaptureFlashModeOn);
    ASSERT_TRUE(front && front->pixelBuffer());
    EXPECT_EQ(front->pixelBuffer()->width(), 3088u);
    EXPECT_EQ(front->pixelBuffer()->height(), 2320u);
    EXPECT_FALSE(front->resolvedSettings().flashEnabled);
    EXPECT_EQ(front->exifDictionary().integer("Flash"), 0x20);  // no flash function
    EXPECT_FALSE(isSkyBlue(pixelAt(*front->pixelBuffer(), 30, 1160)));
}

TEST_F(Photos, ExifSurvivesIntoAnEncodedFile) {
    RunningCamera camera(cameraWith(AVCaptureDevicePositionBack, 2));
    const CapturePhotoRef photo = camera.capture();
    ASSERT_TRUE(photo && photo->pixelBuffer());
    const gpu::PixelBufferRef& buffer = photo->pixelBuffer();
    auto picture =
        image::Image::wrap(image::PixelFormat::BGRA8, int(buffer->width()), int(buffer->height()),
                           buffer->baseAddress(), buffer->bytesPerRow(), buffer);
    auto small = picture->cropped(0, 0, 64, 48);  // the metadata is what matters here
    std::vector<uint8_t> bytes;
    auto destination = image::ImageDestination::createWithData(&bytes, "public.jpeg", 1);
    ASSERT_TRUE(destination);
    destination->addImage(small, photo->metadata());
    ASSERT_TRUE(destination->finalize());

    auto source = image::ImageSource::createWithData(bytes);
    ASSERT_TRUE(source);
    const image::PropertyDictionary exif =
        source->copyPropertiesAtIndex(0).dictionary(image::kCGImagePropertyExifDictionary);
    EXPECT_EQ(exif.string(image::kCGImagePropertyExifLensModel),
              photo->exifDictionary().string(image::kCGImagePropertyExifLensModel));
    EXPECT_EQ(exif.integer("FocalLenIn35mmFilm"), 77);
    EXPECT_NEAR(*exif.real(image::kCGImagePropertyExifExposureTime),
                *photo->exifDictionary().real(image::kCGImagePropertyExifExposureTime), 1e-5);
}

TEST_F(Photos, MultiCameraDevicesReportTheLensTheirZoomUses) {
    useSmallStills();
    RunningCamera camera(cameraWith(AVCaptureDevicePositionBack, 100));
    auto lensAt = [&](double zoom) {
        EXPECT_TRUE(camera.device->lockForConfiguration());
        camera.device->setVideoZoomFactor(zoom);
        camera.device->unlockForConfiguration();
        const CapturePhotoRef photo = camera.capture();
        return photo ? photo->exifDictionary().integer("FocalLenIn35mmFilm").value_or(0) : 0;
    };
    EXPECT_EQ(lensAt(1), 13);
    EXPECT_EQ(lensAt(2), 26);
    EXPECT_EQ(lensAt(4), 26);
    EXPECT_EQ(lensAt(6), 77);
    const CapturePhotoRef zoomed = camera.capture();
    EXPECT_NEAR(zoomed->exifDictionary().real("DigitalZoomRatio").value_or(0), 6, 1e-9);
}

TEST_F(Photos, TheFlashLightsTheStillWhenItFires) {
    useSmallStills();
    RunningCamera camera(backWide());
    const CapturePhotoRef off = camera.capture(AVCaptureFlashModeOff);
    const CapturePhotoRef on = camera.capture(AVCaptureFlashModeOn);
    ASSERT_TRUE(off && on);
    EXPECT_TRUE(on->resolvedSettings().flashEnabled);
    EXPECT_EQ(on->exifDictionary().integer("Flash"), 0x09);
    // The middle of the grey step wedge, just below the centre of the view.
    auto wedgeMiddle = [](const CapturePhotoRef& photo) {
        return meanLuma(*photo->pixelBuffer(), 0.70, 0.48, 0.73, 0.52);
    };
    EXPECT_GT(wedgeMiddle(on), wedgeMiddle(off) * 1.08);

    // Automatic flash stays off in daylight and fires when exposure is metered on a shadow.
    const CapturePhotoRef daylight = camera.capture(AVCaptureFlashModeAuto);
    EXPECT_FALSE(daylight->resolvedSettings().flashEnabled);
    EXPECT_EQ(daylight->exifDictionary().integer("Flash"), 0x18);
    EXPECT_FALSE(camera.photo->isFlashScene());
    ASSERT_TRUE(camera.device->lockForConfiguration());
    // The black patch of the colour checker.
    camera.device->setExposurePointOfInterest(
        pointOfInterestFor(scene::colourCheckerPatchCentre(23)));
    camera.device->setExposureMode(AVCaptureExposureModeContinuousAutoExposure);
    camera.device->unlockForConfiguration();
    advance(0.5);
    EXPECT_TRUE(camera.photo->isFlashScene());
    const CapturePhotoRef dark = camera.capture(AVCaptureFlashModeAuto);
    EXPECT_TRUE(dark->resolvedSettings().flashEnabled);
    EXPECT_EQ(dark->exifDictionary().integer("Flash"), 0x19);
    EXPECT_GT(*dark->exifDictionary().real(image::kCGImagePropertyExifExposureTime),
              *daylight->exifDictionary().real(image::kCGImagePropertyExifExposureTime));
}

TEST_F(Photos, BiasZoomAndFocusShowInTheStill) {
    useSmallStills();
    RunningCamera camera(backWide());
    const CapturePhotoRef normal = camera.capture();
    ASSERT_TRUE(camera.device->lockForConfiguration());
    camera.device->setExposureTargetBias(1.5f);
    camera.device->unlockForConfiguration();
    advance(0.5);
    const CapturePhotoRef brighter = camera.capture();
    EXPECT_GT(meanLuma(*brighter->pixelBuffer(), 0, 0, 1, 1),
              meanLuma(*normal->pixelBuffer(), 0, 0, 1, 1) + 20);
    EXPECT_NEAR(brighter->exifDictionary().real("ExposureBiasValue").value_or(0), 1.5, 1e-6);

    // Zoom 4 crops the middle: the resolution star fills much of the picture, no sky is left.
    ASSERT_TRUE(camera.device->lockForConfiguration());
    camera.device->setExposureTargetBias(0);
    camera.device->setVideoZoomFactor(4);
    camera.device->unlockForConfiguration();
    advance(0.5);
    const CapturePhotoRef zoomed = camera.capture();
    EXPECT_TRUE(isSkyBlue(pixelAt(*normal->pixelBuffer(), 8, 384)));
    EXPECT_FALSE(isSkyBlue(pixelAt(*zoomed->pixelBuffer(), 8, 384)));
    EXPECT_GT(darkShare(*zoomed->pixelBuffer()), darkShare(*normal->pixelBuffer()) * 2);

    // While focusing the picture is soft; once settled it is sharp again.
    const double settled = sharpness(*zoomed->pixelBuffer(), 0.3, 0.45, 0.5, 0.55);
    ASSERT_TRUE(camera.device->lockForConfiguration());
    camera.device->setFocusMode(AVCaptureFocusModeContinuousAutoFocus);
    camera.device->unlockForConfiguration();
    advance(0.15);
    const CapturePhotoRef hunting = camera.capture();
    EXPECT_LT(sharpness(*hunting->pixelBuffer(), 0.3, 0.45, 0.5, 0.55), settled * 0.5);
    advance(0.5);
    // The star turns a little meanwhile, so sharpness varies slightly.
    EXPECT_GT(sharpness(*camera.capture()->pixelBuffer(), 0.3, 0.45, 0.5, 0.55), settled * 0.85);
}

TEST_F(Photos, FailedCapturesReportAnErrorAndNoPixels) {
    useSmallStills();
    RunningCamera camera(backWide());
    SimulatedCamera::setFailsCapture(true);
    std::optional<CaptureError> error;
    CapturePhotoRef photo = camera.capture(AVCaptureFlashModeOff, &error);
    ASSERT_TRUE(photo && error);
    EXPECT_EQ(error->code, AVErrorUnknown);
    EXPECT_EQ(photo->pixelBuffer(), nullptr);
    EXPECT_TRUE(photo->metadata().empty());
    SimulatedCamera::setFailsCapture(false);

    PhotoRecorder recorder;
    auto bgra = CapturePhotoSettings::photoSettings();
    // Not running.
    camera.session->stopRunning();
    camera.photo->capturePhotoWithSettings(bgra, &recorder);
    // A format that is not offered.
    camera.session->startRunning();
    camera.photo->capturePhotoWithSettings(
        CapturePhotoSettings::photoSettingsWithFormat(
            {{kCVPixelBufferPixelFormatTypeKey, static_cast<int64_t>(0x6a706567)}}),
        &recorder);
    // An output in no session, connected to no camera.
    PhotoRecorder looseRecorder;
    auto loose = CapturePhotoOutput::create();
    loose->capturePhotoWithSettings(bgra, &looseRecorder);
    ASSERT_TRUE(waitFor([&] { return recorder.count == 2 && looseRecorder.count == 1; }));
    std::vector<int64_t> codes;
    for (const auto& e : recorder.errors) codes.push_back(e ? e->code : 0);
    EXPECT_EQ(codes, (std::vector<int64_t>{AVErrorSessionNotRunning, AVErrorUnknown}));
    EXPECT_EQ(recorder.photos.front()->resolvedSettings().uniqueID, bgra->uniqueID());
    ASSERT_TRUE(looseRecorder.errors.front());
    EXPECT_EQ(looseRecorder.errors.front()->code, AVErrorDeviceNotConnected);

    // The camera works again afterwards.
    photo = camera.capture(AVCaptureFlashModeOff, &error);
    EXPECT_FALSE(error);
    EXPECT_TRUE(photo->pixelBuffer());
}

}  // namespace
}  // namespace hx::capture::testing
