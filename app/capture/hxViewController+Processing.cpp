// Photo processing: a captured photo is rendered through the camera's film at full size,
// cropped to the frame, given its metadata, encoded and handed to the library save. Runs on the
// photo output's queue as the capture layer delivers the photo; whatever touches the screen or
// the controller's settings goes through the main queue.

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>

#include "app/camera/hxViewController.h"
#include "app/capture/PhotoEncoding.h"
#include "app/capture/PhotoMetadata.h"
#include "platform/log/Log.h"
#include "platform/runloop/DispatchQueue.h"

namespace hx::app {

namespace {

// How long the photo queue waits for the main thread to hand over the settings of a photo.
constexpr auto kSettingsWait = std::chrono::seconds(2);

double secondsSince1970Now() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

// Leaves the gate however processing ends.
struct GatePass {
    ProcessingGate& gate;
    ~GatePass() { gate.leave(); }
};

}  // namespace

hxViewController::PhotoSettings hxViewController::photoSettingsOnMain(bool withLocation) {
    PhotoSettings settings;
    settings.film = _currentFilm;
    settings.frame = _currentFrame;
    settings.position = _currentCameraPosition;
    settings.tempOrientation = _tempOrientation;
    settings.tiff = _tiff;
    settings.heic = _heic;
    settings.model = _deviceName;
    // Geotagging applies once a fix has come in while it is on.
    if (withLocation && _geoTag && _updateLocation && locationManager)
        settings.location = locationManager->location();
    // The renderer's film state is written on the main thread; the photo's view of it too.
    renderer_->_currentFilm = settings.film;
    renderer_->_currentFrame = settings.frame;
    renderer_->_currentCameraPosition = settings.position;
    return settings;
}

hxViewController::PhotoSettings hxViewController::photoSettings() {
    if (DispatchQueue::main().isCurrent()) return photoSettingsOnMain(true);
    auto promise = std::make_shared<std::promise<PhotoSettings>>();
    std::future<PhotoSettings> answer = promise->get_future();
    std::weak_ptr<bool> alive = alive_;
    DispatchQueue::main().async([this, alive, promise] {
        auto living = alive.lock();
        if (!living || !*living) return;
        promise->set_value(photoSettingsOnMain(true));
    });
    if (answer.wait_for(kSettingsWait) == std::future_status::ready) return answer.get();
    // The main thread is held up, or is closing the screen and waits for this photo: the photo
    // is kept with the settings as they stand, without a position (the location manager may be
    // going away).
    hxLog("The camera screen did not answer: the photo is processed without a position");
    return photoSettingsOnMain(false);
}

void hxViewController::processPhoto(const capture::CapturePhotoRef& photo,
                                    film::PhotoOutput output) {
    if (!processingGate_.enter()) return;
    GatePass pass{processingGate_};
    std::weak_ptr<bool> alive = alive_;
    const double captureTime = secondsSince1970Now();

    // Releases the busy state: the shutter works again while this photo is encoded and saved.
    // The pending save is counted before the capture stops counting, so the camera never looks
    // idle in between.
    bool released = false;
    auto releaseBusy = [&](bool saving) {
        if (released) return;
        released = true;
        if (saving) ++_processcounter;
        _process = false;
        DispatchQueue::main().async([this, alive] {
            auto living = alive.lock();
            if (!living || !*living) return;
            if (_indicator) _indicator->stopAnimating();
            if (_hud) _hud->setHidden(true);
        });
    };

    if (!photo || !photo->pixelBuffer()) {
        hxLog("No photo to process");
        releaseBusy(false);
        return;
    }
    const PhotoSettings settings = photoSettings();

    // Render through the film and read back, cropped; the sizes are the captured buffer's.
    film::hxFilmRenderer& renderer = filmRenderer();
    const film::OfflineVariant variant = renderer.offlineVariant(output);
    image::ImageRef picture = renderer.renderPhoto(photo->pixelBuffer(), output);
    if (!picture) {
        hxLog("The photo could not be rendered");
        releaseBusy(false);
        return;
    }

    // The busy state ends before the metadata, encoding and saving.
    releaseBusy(true);

    // Auto review of the picture on the main queue.
    DispatchQueue::main().async([this, alive, picture] {
        auto living = alive.lock();
        if (!living || !*living) return;
        autoReview(picture);
    });

    // Metadata.
    PhotoMetadataInput input;
    input.photoExif = photo->exifDictionary();
    input.photoTiff = photo->metadata().dictionary(image::kCGImagePropertyTIFFDictionary);
    input.width = picture->width();
    input.height = picture->height();
    input.tempOrientation = settings.tempOrientation;
    input.model = settings.model;
    input.film = settings.film;
    input.captureTime = captureTime;
    input.location = settings.location;
    const image::PropertyDictionary metadata = buildPhotoMetadata(input);

    // Encode and save; a photo that cannot be encoded at all ends its pending save here.
    EncodedPhoto encoded =
        encodePhoto(picture, metadata, photoFormatFor(variant, settings.tiff, settings.heic));
    picture.reset();
    if (!encoded.bytes) {
        --_processcounter;
        return;
    }
    saveCapturedPhoto(encoded.bytes, variant != film::OfflineVariant::Color);
}

void hxViewController::imageProcess(const capture::CapturePhotoRef& photo) {
    processPhoto(photo, film::PhotoOutput::Compressed);
}

void hxViewController::imageProcessHEIC(const capture::CapturePhotoRef& photo) {
    processPhoto(photo, film::PhotoOutput::HEIC);
}

void hxViewController::imageProcessColor(const capture::CapturePhotoRef& photo) {
    // A colour film reads back in colour whatever the file; the HEIC setting picks the encoder.
    processPhoto(photo, film::PhotoOutput::Compressed);
}

}  // namespace hx::app
