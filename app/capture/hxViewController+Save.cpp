// Saving to the photo library: the application's album "Halidex Camera" (found, or made when
// missing), and every new photo written as one library change that creates the asset and adds
// it to that album.
//
// Threads: the album search runs on whatever thread asks (a background thread on each return to
// the foreground); one search runs at a time, and the album it finds reaches `_album` on the
// main queue. Saves are asked for from the photo output's queue or the main thread; their
// changes and completions run on the library's queue.

#include <utility>

#include "app/browse/hxThumbViewController.h"
#include "app/camera/Localized.h"
#include "app/camera/hxViewController.h"
#include "platform/image/io/ImageDestination.h"
#include "platform/image/io/ImageSource.h"
#include "platform/log/Log.h"
#include "platform/photos/Photos.h"
#include "platform/runloop/DispatchQueue.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/alerts/UIAlertController.h"

namespace hx::app {

namespace {

using photos::AssetCollection;
using photos::AssetCollectionRef;
using photos::AssetCollectionSubtype;
using photos::AssetCollectionType;
using photos::PhotoLibrary;
using photos::PhotosError;

constexpr const char* kAlbumTitle = "Halidex Camera";
constexpr double kJpegQuality = 0.9;

// The album by its identifier, as the library holds it now; null when it is gone.
AssetCollectionRef albumWithIdentifier(const std::string& identifier) {
    return AssetCollection::fetchAssetCollectionsWithLocalIdentifiers({identifier}, nullptr)
        .firstObject();
}

// The last regular album titled "Halidex Camera", made when there is none. Making it is one
// find-or-make transaction of the library, so searches running at once, here or in another
// program, end with the same single album.
AssetCollectionRef findAlbum() {
    AssetCollectionRef album;
    auto albums = AssetCollection::fetchAssetCollectionsWithType(
        AssetCollectionType::Album, AssetCollectionSubtype::AlbumRegular, nullptr);
    for (const AssetCollectionRef& collection : albums) {
        if (collection->localizedTitle() == kAlbumTitle) album = collection;
    }
    if (album) return album;
    PhotosError error;
    auto identifier =
        PhotoLibrary::sharedPhotoLibrary()->findOrCreateAlbumAndWait(kAlbumTitle, nullptr, &error);
    if (!identifier) {
        hxLog("Error creating album: %s", error.description().c_str());
        return nullptr;
    }
    album = albumWithIdentifier(*identifier);
    if (!album) hxLog("Error creating album: %s is gone again", identifier->c_str());
    return album;
}

// The change block of every save: the asset from the bytes, its placeholder added to the album.
std::function<void()> creationChange(std::shared_ptr<const std::vector<uint8_t>> bytes,
                                     AssetCollectionRef album) {
    return [bytes = std::move(bytes), album = std::move(album)] {
        auto request = photos::AssetCreationRequest::creationRequestForAsset();
        request->addResourceWithType(photos::AssetResourceType::Photo, *bytes, nullptr);
        if (album) {
            auto albumRequest =
                photos::AssetCollectionChangeRequest::changeRequestForAssetCollection(*album);
            albumRequest->addAssets(
                std::vector<photos::ObjectPlaceholderRef>{request->placeholderForCreatedAsset()});
        }
    };
}

}  // namespace

void hxViewController::runAlbumSearch(const std::shared_ptr<AlbumSearch>& search, bool wanted,
                                      const std::function<void(AssetCollectionRef)>& publish) {
    std::unique_lock lock(search->mutex);
    search->wanted = wanted;
    if (search->running) {
        search->again = true;
        return;
    }
    search->running = true;
    for (;;) {
        search->again = false;
        const bool saveToAlbum = search->wanted;
        lock.unlock();
        publish(saveToAlbum ? findAlbum() : nullptr);
        lock.lock();
        if (!search->again) break;
    }
    search->running = false;
}

void hxViewController::searchPhotoGroups() {
    std::weak_ptr<bool> alive = alive_;
    runAlbumSearch(albumSearch_, _savetoalbum, [this, alive](AssetCollectionRef album) {
        if (RunLoop::isMainThread()) {
            publishAlbum(std::move(album));
            return;
        }
        RunLoop::main().post([this, alive, album = std::move(album)] {
            if (alive.lock()) publishAlbum(album);
        });
    });
}

void hxViewController::searchPhotoGroupsInBackground() {
    // The search holds only what outlives the screen; the screen is touched on the main queue.
    std::weak_ptr<bool> alive = alive_;
    DispatchQueue::global().async([this, alive, search = albumSearch_, wanted = _savetoalbum] {
        runAlbumSearch(search, wanted, [this, alive](AssetCollectionRef album) {
            RunLoop::main().post([this, alive, album = std::move(album)] {
                if (alive.lock()) publishAlbum(album);
            });
        });
    });
}

void hxViewController::publishAlbum(AssetCollectionRef album) {
    {
        std::lock_guard lock(albumMutex_);
        _album = std::move(album);
    }
    if (_thumbViewConvtoller) _thumbViewConvtoller->album = _album;
    if (_album) updateImageList();
}

AssetCollectionRef hxViewController::albumForSaving() const {
    std::lock_guard lock(albumMutex_);
    return _album;
}

void hxViewController::storePhoto(
    std::shared_ptr<const std::vector<uint8_t>> bytes,
    std::function<void(bool success, const PhotosError* error)> done) {
    auto library = PhotoLibrary::sharedPhotoLibrary();
    AssetCollectionRef album = albumForSaving();
    std::weak_ptr<bool> alive = alive_;
    library->performChanges(
        creationChange(bytes, album), [this, alive, library, bytes, album, done = std::move(done)](
                                          bool success, const PhotosError* error) {
            if (success || !album || !error ||
                error->code != photos::PhotosErrorCode::IdentifierNotFound) {
                done(success, error);
                return;
            }
            // The album went away since the search (the only object named by identifier here):
            // find or make it again and save into that; should that fail too, the photo still
            // goes into the library. Waiting on the library's queue runs the change inline.
            AssetCollectionRef again;
            if (auto identifier = library->findOrCreateAlbumAndWait(kAlbumTitle))
                again = albumWithIdentifier(*identifier);
            PhotosError failure;
            bool saved = library->performChangesAndWait(creationChange(bytes, again), &failure);
            if (!saved && again) {
                again = nullptr;
                saved = library->performChangesAndWait(creationChange(bytes, nullptr), &failure);
            }
            if (again) {
                RunLoop::main().post([this, alive, again] {
                    if (alive.lock()) publishAlbum(again);
                });
            }
            done(saved, saved ? nullptr : &failure);
        });
}

void hxViewController::finishPendingSave() {
    int pending = _processcounter.load();
    while (pending > 0 && !_processcounter.compare_exchange_weak(pending, pending - 1)) {
    }
}

void hxViewController::reportSaveFailure() {
    std::weak_ptr<bool> alive = alive_;
    RunLoop::main().post([this, alive] {
        if (!alive.lock()) return;
        const std::string message = localizedString("save_failed");
        // A burst that fails shows one alert, not one per photo.
        for (auto shown = presentedViewController(); shown;
             shown = shown->presentedViewController()) {
            auto alert = std::dynamic_pointer_cast<UIAlertController>(shown);
            if (alert && alert->message() == message) return;
        }
        presentNotice("save_failed");
    });
}

void hxViewController::saveCapturedPhoto(std::shared_ptr<const std::vector<uint8_t>> data,
                                         bool logResult) {
    std::weak_ptr<bool> alive = alive_;
    if (!data || data->empty()) {
        hxLog("Finished adding asset. %s", "no picture to save");
        finishPendingSave();
        reportSaveFailure();
        return;
    }
    storePhoto(std::move(data), [this, alive, logResult](bool success, const PhotosError* error) {
        if (!alive.lock()) return;
        if (logResult || !success) {
            hxLog("Finished adding asset. %s",
                  success ? "Success" : (error ? error->description().c_str() : "unknown error"));
        }
        finishPendingSave();
        if (!success) reportSaveFailure();
    });
}

void hxViewController::saveImage(const void*, const image::ImageRef& picture,
                                 const image::PropertyDictionary& meta) {
    if (!picture) return;
    std::vector<uint8_t> jpeg;
    auto compress = image::ImageDestination::createWithData(&jpeg, "public.jpeg", 1);
    if (!compress) return;
    image::PropertyDictionary quality;
    quality.set(image::kCGImageDestinationLossyCompressionQuality, kJpegQuality);
    compress->addImage(picture, quality);
    if (!compress->finalize()) return;
    auto source = image::ImageSource::createWithData(std::move(jpeg));
    if (!source) return;
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    auto destination = image::ImageDestination::createWithData(bytes.get(), source->type(), 1);
    if (!destination) return;
    destination->addImageFromSource(*source, 0, meta);
    if (!destination->finalize()) return;
    std::weak_ptr<bool> alive = alive_;
    // A pending save like a capture's, so that the camera counts as busy until it is stored.
    _processcounter++;
    storePhoto(std::move(bytes), [this, alive](bool success, const PhotosError*) {
        if (!alive.lock()) return;
        finishPendingSave();
        if (!success) reportSaveFailure();
    });
}

}  // namespace hx::app
