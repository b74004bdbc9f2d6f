// Photo processing on the real camera screen: photos of the simulated camera go through the
// controller's processing variants on the photo output's queue, and what it would store is read
// back by exiftool and heif-info.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "app/capture/PhotoEncoding.h"
#include "platform/capture/CapturePhotoSettings.h"
#include "platform/location/simulated/SimulatedLocationBackend.h"
#include "platform/runloop/DispatchQueue.h"
#include "platform/runloop/RunLoop.h"
#include "tests/app/CameraAppTestSupport.h"
#include "tests/support/RequireTool.h"
#include "tests/support/RunCommand.h"

namespace hx::app::testing {
namespace {

using capture::CapturePhoto;
using capture::CapturePhotoRef;
using Variant = void (hxViewController::*)(const CapturePhotoRef&);

// Records the one photo a capture hands over.
class StillRecorder : public capture::CapturePhotoCaptureDelegate {
  public:
    void captureOutputDidFinishProcessingPhoto(
        capture::CapturePhotoOutput&, const CapturePhotoRef& photo,
        const std::optional<capture::CaptureError>&) override {
        std::lock_guard<std::mutex> lock(mutex);
        this->photo = photo;
        done = true;
    }
    std::mutex mutex;
    CapturePhotoRef photo;
    bool done = false;
};

// A BGRA photo of that size with a gradient, as the capture layer delivers one.
CapturePhotoRef syntheticPhoto(size_t width, size_t height) {
    gpu::PixelBufferRef buffer;
    if (gpu::PixelBuffer::create(width, height, gpu::PixelFormatType32BGRA, {true, true, true},
                                 &buffer))
        return nullptr;
    buffer->lockBaseAddress();
    for (size_t y = 0; y < height; ++y) {
        uint8_t* row = buffer->baseAddress() + y * buffer->bytesPerRow();
        for (size_t x = 0; x < width; ++x) {
            row[4 * x + 0] = uint8_t(x);
            row[4 * x + 1] = uint8_t(y);
            row[4 * x + 2] = uint8_t(x + y);
            row[4 * x + 3] = 255;
        }
    }
    buffer->unlockBaseAddress();
    image::PropertyDictionary exif{{image::kCGImagePropertyExifExposureTime, 0.01}};
    image::PropertyDictionary metadata{{image::kCGImagePropertyExifDictionary, exif}};
    capture::CaptureResolvedPhotoSettings resolved;
    resolved.photoDimensions = {int32_t(width), int32_t(height)};
    return std::make_shared<CapturePhoto>(buffer, metadata, 0.0, resolved);
}

class ProcessingTest : public CameraAppTest {
  protected:
    void SetUp() override {
        CameraAppTest::SetUp();
        HX_REQUIRE_TOOLS("exiftool", "heif-info");
        launch();
        ASSERT_TRUE(camera()._photoOutput);
    }
    void TearDown() override {
        setEncodedPhotoObserver({});
        overrideHevcEncoderProbe(std::nullopt);
        CameraAppTest::TearDown();
    }

    // Runs `variant` with the photo on the photo output's queue, as the capture callback does,
    // and returns what it encoded for the library.
    EncodedPhoto process(Variant variant, const CapturePhotoRef& photo) {
        std::mutex mutex;
        std::optional<EncodedPhoto> encoded;
        setEncodedPhotoObserver([&](const EncodedPhoto& result) {
            std::lock_guard<std::mutex> lock(mutex);
            encoded = result;
        });
        camera()._process = true;  // the shutter's busy state
        hxViewController* controller = &camera();
        auto queue = camera()._photoOutput->delegateQueue();
        queue->async([controller, variant, photo] { (controller->*variant)(photo); });
        RunLoop::main().runUntil(
            [&] {
                std::lock_guard<std::mutex> lock(mutex);
                return encoded.has_value();
            },
            120);
        queue->sync([] {});
        setEncodedPhotoObserver({});
        std::lock_guard<std::mutex> lock(mutex);
        return encoded.value_or(EncodedPhoto{});
    }

    CapturePhotoRef captureStill() {
        StillRecorder recorder;
        image::PropertyDictionary format{{capture::kCVPixelBufferPixelFormatTypeKey,
                                          int64_t{capture::kCVPixelFormatType_32BGRA}}};
        camera()._photoOutput->capturePhotoWithSettings(
            capture::CapturePhotoSettings::photoSettingsWithFormat(format), &recorder);
        RunLoop::main().runUntil(
            [&] {
                std::lock_guard<std::mutex> lock(recorder.mutex);
                return recorder.done;
            },
            30);
        std::lock_guard<std::mutex> lock(recorder.mutex);
        return recorder.photo;
    }

    void useFilm(int32_t film) {
        camera()._currentFilm = film;
        camera().changeToneCurve(film);
    }

    // exiftool's reading of the bytes: tag name → value as stored, numbers as numbers.
    std::map<std::string, std::string> tagsOf(const EncodedPhoto& photo) {
        std::string path = folder_.file("photo");
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(photo.bytes->data()),
                   std::streamsize(photo.bytes->size()));
        auto result = testsupport::runCommand("exiftool -a -n -S -G1 " +
                                              testsupport::shellQuoted(path) + " 2>&1");
        std::map<std::string, std::string> tags;
        for (const std::string& line : testsupport::linesOf(result.output)) {
            size_t close = line.find("] ");
            size_t colon = line.find(": ", close);
            if (line.rfind("[", 0) != 0 || close == std::string::npos ||
                colon == std::string::npos || line.compare(1, close - 1, "Composite") == 0)
                continue;
            tags.emplace(line.substr(close + 2, colon - close - 2), line.substr(colon + 2));
        }
        return tags;
    }

    std::string heifInfo(const EncodedPhoto& photo) {
        tagsOf(photo);  // writes the file
        return testsupport::runCommand("heif-info " +
                                       testsupport::shellQuoted(folder_.file("photo")) + " 2>&1")
            .output;
    }

    hx::testsupport::TemporaryFolder folder_{"hx-processing"};
};

// Seconds between an Exif date text and now.
double secondsFromNow(const std::string& exifDate) {
    std::tm parts{};
    if (!strptime(exifDate.c_str(), "%Y:%m:%d %H:%M:%S", &parts)) return 1e9;
    parts.tm_isdst = -1;
    return std::difftime(std::time(nullptr), std::mktime(&parts));
}

TEST_F(ProcessingTest, BackCameraPhotoUprightInFrameOne) {
    CapturePhotoRef photo = captureStill();
    ASSERT_TRUE(photo && photo->pixelBuffer());
    const int width = int(photo->pixelBuffer()->width());
    const int height = int(photo->pixelBuffer()->height());
    ASSERT_GT(width, height);  // sensor orientation
    camera()._currentFrame = 1;
    camera()._tempOrientation = 3;
    camera()._geoTag = true;  // on, but no fix has come in
    useFilm(0);

    ASSERT_TRUE(camera()._hud);
    camera()._hud->setHidden(false);  // the busy display the shutter shows

    EncodedPhoto encoded = process(&hxViewController::imageProcess, photo);
    ASSERT_TRUE(encoded.bytes);
    EXPECT_EQ(encoded.format, PhotoFormat::JPEG);
    // The busy state ended and the save is pending (the save itself is another concern's).
    EXPECT_FALSE(camera()._process);
    EXPECT_EQ(camera()._processcounter.load(), 1);
    advance(0.1);
    EXPECT_TRUE(camera()._hud->isHidden());

    auto tags = tagsOf(encoded);
    EXPECT_EQ(tags["FileType"], "JPEG");
    EXPECT_EQ(tags["ColorComponents"], "1");  // monochrome films store grey
    EXPECT_EQ(tags["ImageWidth"], std::to_string(width));
    EXPECT_EQ(tags["ImageHeight"], std::to_string(width * 2 / 3));
    EXPECT_EQ(tags["Orientation"], "6");
    EXPECT_EQ(tags["ExifImageWidth"], std::to_string(width));
    EXPECT_EQ(tags["ExifImageHeight"], std::to_string(width * 2 / 3));
    EXPECT_EQ(tags["Make"], "Apple");
    EXPECT_EQ(tags["Model"], camera()._deviceName);
    EXPECT_FALSE(camera()._deviceName.empty());
    EXPECT_EQ(tags["Software"], "Halidex Camera App");
    EXPECT_EQ(tags["UserComment"], "film 0 PAN 100");
    EXPECT_LT(std::abs(secondsFromNow(tags["DateTimeOriginal"])), 60);
    EXPECT_EQ(tags["CreateDate"], tags["DateTimeOriginal"]);
    EXPECT_EQ(tags.count("GPSLatitude"), 0u);
    EXPECT_EQ(tags.count("GPSVersionID"), 0u);
}

TEST_F(ProcessingTest, GeotaggedPhotoSouthWestWithoutAltitudeOrCourse) {
    environment_.set("HALIDEX_LOCATION_AUTH", "granted");
    Location point;
    point.latitude = -33.8568;
    point.longitude = -151.2153;
    point.course = -3;  // altitude left unknown
    point.horizontalAccuracy = 5;
    auto manager =
        std::make_unique<LocationManager>(std::make_unique<SimulatedLocationBackend>(point));
    manager->startUpdatingLocation();
    RunLoop::main().runUntil([&] { return manager->location().has_value(); }, 10);
    ASSERT_TRUE(manager->location());
    const Location fix = *manager->location();
    camera().locationManager = std::move(manager);
    camera()._geoTag = true;
    camera()._updateLocation = true;
    camera()._currentFrame = 1;
    useFilm(7);

    EncodedPhoto encoded = process(&hxViewController::imageProcess, syntheticPhoto(480, 320));
    ASSERT_TRUE(encoded.bytes);
    auto tags = tagsOf(encoded);
    EXPECT_EQ(tags["GPSLatitudeRef"], "S");
    EXPECT_NEAR(std::stod(tags["GPSLatitude"]), 33.8568, 1e-4);
    EXPECT_EQ(tags["GPSLongitudeRef"], "W");
    EXPECT_NEAR(std::stod(tags["GPSLongitude"]), 151.2153, 1e-4);
    EXPECT_EQ(tags["GPSDateStamp"], gpsDateText(fix.timestamp));
    EXPECT_EQ(tags.count("GPSTimeStamp"), 1u);
    EXPECT_EQ(tags.count("GPSAltitude"), 0u);
    EXPECT_EQ(tags.count("GPSAltitudeRef"), 0u);
    EXPECT_EQ(tags.count("GPSTrack"), 0u);
    EXPECT_EQ(tags.count("GPSTrackRef"), 0u);
    // The Exif dates are the capture's, whatever the fix's age.
    EXPECT_LT(std::abs(secondsFromNow(tags["DateTimeOriginal"])), 60);
}

TEST_F(ProcessingTest, EveryOrientationAndTheSquareFrame) {
    camera()._currentFrame = 2;
    useFilm(4);
    for (auto [code, stored] : {std::pair{3, "6"}, {2, "8"}, {0, "1"}, {1, "3"}}) {
        SCOPED_TRACE(code);
        camera()._tempOrientation = code;
        EncodedPhoto encoded = process(&hxViewController::imageProcess, syntheticPhoto(640, 480));
        ASSERT_TRUE(encoded.bytes);
        auto tags = tagsOf(encoded);
        EXPECT_EQ(tags["Orientation"], stored);
        EXPECT_EQ(tags["ImageWidth"], "480");
        EXPECT_EQ(tags["ImageHeight"], "480");
        EXPECT_EQ(tags["UserComment"], "film 4 IR 800");
        EXPECT_EQ(tags["ExposureTime"], "0.01");  // the photo's own Exif is kept
    }
    EXPECT_EQ(camera()._processcounter.load(), 4);
}

TEST_F(ProcessingTest, ThePhotoSizeIsTheBuffersNotTheCameraFormats) {
    ASSERT_NE(camera()._photoWidth, 320);
    camera()._currentFrame = 1;
    useFilm(2);
    EncodedPhoto encoded = process(&hxViewController::imageProcess, syntheticPhoto(320, 240));
    ASSERT_TRUE(encoded.bytes);
    auto tags = tagsOf(encoded);
    EXPECT_EQ(tags["ImageWidth"], "320");
    EXPECT_EQ(tags["ImageHeight"], "213");
    // And a colour read-back of yet another size.
    useFilm(9);
    encoded = process(&hxViewController::imageProcessColor, syntheticPhoto(480, 320));
    ASSERT_TRUE(encoded.bytes);
    tags = tagsOf(encoded);
    EXPECT_EQ(tags["ImageWidth"], "480");
    EXPECT_EQ(tags["ImageHeight"], "320");
}

TEST_F(ProcessingTest, TiffForMonochromeAndNeverForColour) {
    camera()._tiff = true;
    camera()._currentFrame = 1;
    useFilm(1);
    EncodedPhoto encoded = process(&hxViewController::imageProcess, syntheticPhoto(480, 320));
    ASSERT_TRUE(encoded.bytes);
    EXPECT_EQ(encoded.format, PhotoFormat::TIFF);
    auto tags = tagsOf(encoded);
    EXPECT_EQ(tags["FileType"], "TIFF");
    EXPECT_EQ(tags["UserComment"], "film 1 FLAT 400");

    useFilm(11);
    encoded = process(&hxViewController::imageProcessColor, syntheticPhoto(480, 320));
    ASSERT_TRUE(encoded.bytes);
    EXPECT_EQ(encoded.format, PhotoFormat::JPEG);
    tags = tagsOf(encoded);
    EXPECT_EQ(tags["FileType"], "JPEG");
    EXPECT_EQ(tags["ColorComponents"], "3");
    EXPECT_EQ(tags["UserComment"], "film 11 VIVID 100");
}

TEST_F(ProcessingTest, HeicForTheFrontCameraWithBothSettingsOn) {
    if (!hevcEncoderAvailable()) {
        if (testsupport::runningUnderCI()) FAIL() << "no HEVC encoder on this machine";
        GTEST_SKIP() << "no HEVC encoder on this machine";
    }
    camera()._tiff = true;
    camera()._heic = true;
    camera()._currentCameraPosition = kPositionFront;
    camera()._currentFrame = 2;
    camera()._tempOrientation = 0;
    useFilm(5);
    EncodedPhoto encoded = process(&hxViewController::imageProcessHEIC, syntheticPhoto(640, 480));
    ASSERT_TRUE(encoded.bytes);
    EXPECT_EQ(encoded.format, PhotoFormat::HEIC);
    std::string info = heifInfo(encoded);
    EXPECT_NE(info.find("image: 480x480"), std::string::npos) << info;
    auto tags = tagsOf(encoded);
    EXPECT_EQ(tags["FileType"], "HEIC");
    EXPECT_EQ(tags["UserComment"], "film 5 GRIT 3200");
    EXPECT_EQ(tags["Software"], "Halidex Camera App");
}

TEST_F(ProcessingTest, WithoutAnHevcEncoderTheHeicPhotoIsKeptAsJpeg) {
    overrideHevcEncoderProbe(false);
    camera()._heic = true;
    camera()._currentFrame = 1;
    useFilm(10);
    EncodedPhoto encoded = process(&hxViewController::imageProcessColor, syntheticPhoto(480, 320));
    ASSERT_TRUE(encoded.bytes);
    EXPECT_EQ(encoded.format, PhotoFormat::JPEG);
    EXPECT_FALSE(encoded.bytes->empty());
    auto tags = tagsOf(encoded);
    EXPECT_EQ(tags["FileType"], "JPEG");
    EXPECT_EQ(tags["UserComment"], "film 10 COOL 400");
    EXPECT_EQ(camera()._processcounter.load(), 1);  // handed to the save
}

TEST_F(ProcessingTest, TheScreenGoingAwayWaitsForThePhotoInHand) {
    useFilm(0);
    std::promise<void> inFlight, release;
    std::shared_future<void> released = release.get_future().share();
    std::mutex mutex;
    std::shared_ptr<const std::vector<uint8_t>> bytes;
    setEncodedPhotoObserver([&, released](const EncodedPhoto& photo) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            bytes = photo.bytes;
        }
        inFlight.set_value();
        DispatchQueue::main().async([] {});  // wakes the main run loop
        released.wait();
    });
    camera()._process = true;
    auto queue = camera()._photoOutput->delegateQueue();
    hxViewController* controller = &camera();
    auto photo = syntheticPhoto(480, 320);
    queue->async([controller, photo] { controller->imageProcess(photo); });
    auto entered = inFlight.get_future();
    RunLoop::main().runUntil(
        [&] { return entered.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 60);
    ASSERT_EQ(entered.wait_for(std::chrono::seconds(0)), std::future_status::ready);

    // The photo is between encoding and saving while the application closes its screen.
    std::weak_ptr<hxViewController> screen = delegate_->viewController();
    std::thread releaser([&release] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        release.set_value();
    });
    UIApplication::sharedApplication().terminate();
    host_.reset();
    delegate_.reset();
    UIApplication::sharedApplication().resetForTesting();
    releaser.join();
    queue->sync([] {});
    EXPECT_TRUE(screen.expired());
    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_TRUE(bytes);
    EXPECT_FALSE(bytes->empty());
}

TEST_F(ProcessingTest, AFailedCaptureReleasesTheShutterWithoutASave) {
    capture::CaptureResolvedPhotoSettings resolved;
    auto failed =
        std::make_shared<CapturePhoto>(nullptr, image::PropertyDictionary{}, 0.0, resolved);
    camera()._process = true;
    auto queue = camera()._photoOutput->delegateQueue();
    hxViewController* controller = &camera();
    queue->async([controller, failed] { controller->imageProcess(failed); });
    queue->sync([] {});
    EXPECT_FALSE(camera()._process);
    EXPECT_EQ(camera()._processcounter.load(), 0);
    EXPECT_FALSE(camera().isBusy());
}

}  // namespace
}  // namespace hx::app::testing
