// A second program on the photo library for the multi-process tests, run in HALIDEX_HOME.
//
//   hx_photos_test_writer save
//       Saves photos into the album "Stress", one change each, forever; after each save that
//       reported success it prints the new asset's identifier on a line of its own.
//   hx_photos_test_writer exchange COUNT TOTAL
//       Prints "ready", waits for a line on stdin, saves COUNT photos while observing the
//       library, then waits until it has heard of TOTAL changes and TOTAL new assets (its own
//       and another writer's), at most 60 seconds. Prints "changes N assets M locked L" where L
//       counts log lines that mention a locked or busy database; exits 0 when all arrived.
//   hx_photos_test_writer trip FOLDER
//       Prints "ready", waits for a line on stdin, opens the library in FOLDER (made when
//       missing), finds or makes the album "Trip" and saves one photo into it. Prints "saved",
//       or the reason on stderr and exits 1.

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <set>
#include <string>

#include "platform/image/io/ImageDestination.h"
#include "platform/log/Log.h"
#include "platform/photos/Photos.h"
#include "platform/photos/store/LibraryStore.h"
#include "platform/runloop/Semaphore.h"

namespace {

using namespace hx::photos;

std::vector<uint8_t> picture(int seed) {
    std::vector<uint8_t> pixels(16 * 16 * 3);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 7 + seed);
    auto image = hx::image::Image::adopt(hx::image::PixelFormat::RGB8, 16, 16, std::move(pixels));
    std::vector<uint8_t> bytes;
    auto destination = hx::image::ImageDestination::createWithData(&bytes, "public.jpeg", 1);
    destination->addImage(image, {});
    destination->finalize();
    return bytes;
}

std::shared_ptr<PhotoLibrary> openLibrary() {
    std::string error;
    auto library = PhotoLibrary::open({}, &error);
    if (!library) {
        std::fprintf(stderr, "writer: %s\n", error.c_str());
        std::exit(1);
    }
    PhotoLibrary::setSharedPhotoLibrary(library);
    return library;
}

// Saves one photo, into `album` when given; its identifier, or empty on failure.
std::string saveOne(PhotoLibrary& library, const AssetCollectionRef& album, int seed) {
    std::string identifier;
    PhotosError error;
    bool saved = library.performChangesAndWait(
        [&] {
            auto request = AssetCreationRequest::creationRequestForAsset();
            request->addResourceWithType(AssetResourceType::Photo, picture(seed), nullptr);
            identifier = request->placeholderForCreatedAsset()->localIdentifier();
            if (album) {
                AssetCollectionChangeRequest::changeRequestForAssetCollection(*album)->addAssets(
                    {request->placeholderForCreatedAsset()});
            }
        },
        &error);
    if (!saved) {
        std::fprintf(stderr, "writer: %s\n", error.description().c_str());
        return {};
    }
    return identifier;
}

AssetCollectionRef stressAlbum(PhotoLibrary& library) {
    auto find = [] {
        auto albums = AssetCollection::fetchAssetCollectionsWithType(
            AssetCollectionType::Album, AssetCollectionSubtype::AlbumRegular, nullptr);
        for (const auto& album : albums) {
            if (album->localizedTitle() == "Stress") return album;
        }
        return AssetCollectionRef();
    };
    if (auto album = find()) return album;
    library.performChangesAndWait(
        [] { AssetCollectionChangeRequest::creationRequestForAssetCollectionWithTitle("Stress"); });
    return find();
}

int saveForever() {
    auto library = openLibrary();
    AssetCollectionRef album = stressAlbum(*library);
    for (int seed = 0;; ++seed) {
        std::string identifier = saveOne(*library, album, seed);
        if (identifier.empty()) return 1;
        std::printf("%s\n", identifier.c_str());
        std::fflush(stdout);
    }
}

class Tally : public PhotoLibraryChangeObserver {
  public:
    explicit Tally(FetchResult<Asset> fetch) : fetch_(std::move(fetch)) {}

    void photoLibraryDidChange(const Change& change) override {
        std::lock_guard lock(mutex_);
        ++changes_;
        if (auto details = change.changeDetailsForFetchResult(fetch_)) {
            for (const auto& asset : details->insertedObjects()) {
                assets_.insert(asset->localIdentifier());
            }
            fetch_ = details->fetchResultAfterChanges();
        }
        heard_.signal();
    }

    bool waitFor(size_t total, double seconds) {
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (changes_ >= total && assets_.size() >= total) return true;
            }
            if (!heard_.waitFor(seconds)) return false;
        }
    }
    std::pair<size_t, size_t> counts() {
        std::lock_guard lock(mutex_);
        return {changes_, assets_.size()};
    }

  private:
    std::mutex mutex_;
    FetchResult<Asset> fetch_;
    size_t changes_ = 0;
    std::set<std::string> assets_;
    hx::Semaphore heard_;
};

int exchange(int count, size_t total) {
    std::mutex logMutex;
    int lockedMessages = 0;
    hx::log::setSink([&](std::string_view message) {
        std::lock_guard lock(logMutex);
        if (message.find("locked") != std::string_view::npos ||
            message.find("busy") != std::string_view::npos) {
            ++lockedMessages;
        }
        std::fprintf(stderr, "%.*s\n", int(message.size()), message.data());
    });
    auto library = openLibrary();
    Tally tally(Asset::fetchAssetsWithOptions(nullptr));
    library->registerChangeObserver(&tally);
    std::printf("ready\n");
    std::fflush(stdout);
    std::string go;
    std::getline(std::cin, go);
    for (int i = 0; i < count; ++i) {
        if (saveOne(*library, nullptr, i).empty()) return 1;
    }
    bool all = tally.waitFor(total, 60);
    library->unregisterChangeObserver(&tally);
    auto [changes, assets] = tally.counts();
    hx::log::resetSink();
    std::printf("changes %zu assets %zu locked %d\n", changes, assets, lockedMessages);
    std::fflush(stdout);
    return all ? 0 : 1;
}

int trip(const std::string& folder) {
    std::printf("ready\n");
    std::fflush(stdout);
    std::string go;
    std::getline(std::cin, go);
    std::string error;
    auto library = PhotoLibrary::open(folder, &error);
    if (!library) {
        std::fprintf(stderr, "writer: %s\n", error.c_str());
        return 1;
    }
    PhotoLibrary::setSharedPhotoLibrary(library);
    auto album = library->store()->findOrCreateAlbum("Trip", nullptr, &error);
    if (!album) {
        std::fprintf(stderr, "writer: %s\n", error.c_str());
        return 1;
    }
    auto collection =
        AssetCollection::fetchAssetCollectionsWithLocalIdentifiers({*album}, nullptr).firstObject();
    if (!collection || saveOne(*library, collection, 1).empty()) return 1;
    std::printf("saved\n");
    std::fflush(stdout);
    PhotoLibrary::setSharedPhotoLibrary(nullptr);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "save") return saveForever();
    if (mode == "trip" && argc == 3) return trip(argv[2]);
    if (mode == "exchange" && argc == 4) return exchange(std::atoi(argv[2]), std::stoul(argv[3]));
    std::fprintf(stderr,
                 "usage: hx_photos_test_writer save | exchange COUNT TOTAL | trip FOLDER\n");
    return 2;
}
