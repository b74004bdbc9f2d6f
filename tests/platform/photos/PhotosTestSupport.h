#pragma once
// Shared by the photo library tests: a library in a temporary HALIDEX_HOME made the shared one,
// small real pictures, and waiting for work on other threads through the run loop.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/image/FileIO.h"
#include "platform/image/Image.h"
#include "platform/image/PropertyDictionary.h"
#include "platform/image/io/ImageDestination.h"
#include "platform/photos/Photos.h"
#include "platform/photos/store/LibraryStore.h"
#include "platform/runloop/DispatchQueue.h"
#include "platform/runloop/RunLoop.h"
#include "tests/support/ScopedEnvironment.h"

namespace hx::photos::testing {

// A picture of width × height whose pixels vary, so that scaled versions differ from each
// other, encoded as `type` with the given Exif date ("YYYY:MM:DD HH:MM:SS", none when empty)
// and orientation.
inline std::vector<uint8_t> makePicture(int width, int height, const std::string& exifDate = "",
                                        int orientation = 1, const char* type = "public.jpeg") {
    std::vector<uint8_t> pixels(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &pixels[(size_t(y) * width + x) * 3];
            p[0] = uint8_t(x * 255 / std::max(1, width - 1));
            p[1] = uint8_t(y * 255 / std::max(1, height - 1));
            p[2] = uint8_t((x + y) & 0xFF);
        }
    }
    auto image = image::Image::adopt(image::PixelFormat::RGB8, width, height, std::move(pixels));
    image::PropertyDictionary properties{{image::kCGImagePropertyOrientation, orientation}};
    if (!exifDate.empty()) {
        properties.set(
            image::kCGImagePropertyExifDictionary,
            image::PropertyDictionary{{image::kCGImagePropertyExifDateTimeOriginal, exifDate}});
    }
    std::vector<uint8_t> bytes;
    auto destination = image::ImageDestination::createWithData(&bytes, type, 1);
    destination->addImage(image, properties);
    EXPECT_TRUE(destination->finalize());
    return bytes;
}

// Runs the main run loop until `done` or 20 seconds have passed; returns done().
inline bool waitUntil(const std::function<bool()>& done, double seconds = 20) {
    return RunLoop::main().runUntil(done, seconds);
}

// Drops the reference and waits until nothing holds the library: work it queued itself (a
// scan the folder watcher asked for) may keep it a moment longer.
inline void closeLibrary(std::shared_ptr<PhotoLibrary> library) {
    std::weak_ptr<PhotoLibrary> open = library;
    library.reset();
    for (int tries = 0; tries < 1000 && !open.expired(); ++tries) {
        RunLoop::main().runUntil([&] { return open.expired(); }, 0.01);
    }
    EXPECT_TRUE(open.expired()) << "the library stayed open";
}

// Removes a test's folder. A library closing on another thread may still be deleting its
// database's side files, which makes one pass fail; the next one finds them gone.
inline void removeFolder(const std::string& folder) {
    std::error_code ignored;
    for (int tries = 0; tries < 100 && std::filesystem::exists(folder, ignored); ++tries) {
        std::filesystem::remove_all(folder, ignored);
        if (std::filesystem::exists(folder, ignored)) {
            RunLoop::main().runUntil([] { return false; }, 0.01);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(folder, ignored)) << folder << " stays";
}

// A fresh library in a temporary HALIDEX_HOME, made the shared photo library, authorised.
class LibraryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/hx-photo-library-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home_ = pattern;
        environment_.set("HALIDEX_HOME", home_.c_str());
        environment_.set(LibraryAuthorization::kEnvironmentVariable, nullptr);
        std::string error;
        library_ = PhotoLibrary::open(LibraryStore::defaultFolder(), &error);
        ASSERT_TRUE(library_) << error;
        ASSERT_TRUE(LibraryAuthorization::set(library_->folder(), AuthorizationStatus::Authorized));
        PhotoLibrary::setSharedPhotoLibrary(library_);
    }

    void TearDown() override {
        PhotoLibrary::setSharedPhotoLibrary(nullptr);
        LibraryAuthorization::setPrompt(nullptr);
        closeLibrary(std::move(library_));
        RunLoop::main().discardPendingWork();
        environment_.restore();
        removeFolder(home_);
    }

    // Saves pictures as new assets in one change, optionally into `album`; their identifiers.
    std::vector<std::string> save(const std::vector<std::vector<uint8_t>>& pictures,
                                  const AssetCollectionRef& album = nullptr) {
        std::vector<std::string> identifiers;
        PhotosError error;
        bool saved = library_->performChangesAndWait(
            [&] {
                std::shared_ptr<AssetCollectionChangeRequest> albumRequest;
                if (album) {
                    albumRequest =
                        AssetCollectionChangeRequest::changeRequestForAssetCollection(*album);
                }
                for (const auto& picture : pictures) {
                    auto request = AssetCreationRequest::creationRequestForAsset();
                    request->addResourceWithType(AssetResourceType::Photo, picture, nullptr);
                    identifiers.push_back(request->placeholderForCreatedAsset()->localIdentifier());
                    if (albumRequest)
                        albumRequest->addAssets({request->placeholderForCreatedAsset()});
                }
            },
            &error);
        EXPECT_TRUE(saved) << error.description();
        return identifiers;
    }

    std::string saveOne(const std::string& exifDate, int orientation = 1, int width = 40,
                        int height = 30) {
        auto identifiers = save({makePicture(width, height, exifDate, orientation)});
        return identifiers.empty() ? std::string() : identifiers.front();
    }

    AssetCollectionRef makeAlbum(const std::string& title) {
        std::string identifier;
        EXPECT_TRUE(library_->performChangesAndWait([&] {
            identifier =
                AssetCollectionChangeRequest::creationRequestForAssetCollectionWithTitle(title)
                    ->placeholderForCreatedAssetCollection()
                    ->localIdentifier();
        }));
        return AssetCollection::fetchAssetCollectionsWithLocalIdentifiers({identifier}, nullptr)
            .firstObject();
    }

    // The content-editing input of an asset, waited for on the main run loop.
    std::shared_ptr<const ContentEditingInput> editingInput(
        const std::string& identifier, const ContentEditingInputRequestOptions* options = nullptr,
        ContentEditingInputInfo* infoOut = nullptr) {
        AssetRef target = asset(identifier);
        EXPECT_TRUE(target);
        if (!target) return nullptr;
        bool done = false;
        std::shared_ptr<const ContentEditingInput> input;
        target->requestContentEditingInputWithOptions(
            options, [&](std::shared_ptr<const ContentEditingInput> delivered,
                         const ContentEditingInputInfo& info) {
                input = std::move(delivered);
                if (infoOut) *infoOut = info;
                done = true;
            });
        EXPECT_TRUE(waitUntil([&] { return done; }));
        return input;
    }

    // Commits `rendered` as the asset's edit with adjustment data (format, "1.0", data).
    bool commitEdit(const std::string& identifier, const std::vector<uint8_t>& rendered,
                    const std::string& format = "org.halidex.test",
                    std::vector<uint8_t> data = {1, 2, 3}, PhotosError* error = nullptr) {
        auto input = editingInput(identifier);
        if (!input) return false;
        auto output = std::make_shared<ContentEditingOutput>(*input);
        output->setAdjustmentData(std::make_shared<const AdjustmentData>(format, "1.0", data));
        EXPECT_TRUE(image::writeFileAtomically(output->renderedContentURL(), rendered.data(),
                                               rendered.size(), nullptr));
        AssetRef target = asset(identifier);
        return library_->performChangesAndWait(
            [&] {
                AssetChangeRequest::changeRequestForAsset(*target)->setContentEditingOutput(output);
            },
            error);
    }

    static AssetRef asset(const std::string& identifier) {
        return Asset::fetchAssetsWithLocalIdentifiers({identifier}, nullptr).firstObject();
    }

    static std::vector<std::string> identifiersOf(const FetchResult<Asset>& result) {
        std::vector<std::string> identifiers;
        for (const auto& asset : result) identifiers.push_back(asset->localIdentifier());
        return identifiers;
    }

    std::string home_;
    hx::testing::ScopedEnvironment environment_;
    std::shared_ptr<PhotoLibrary> library_;
};

}  // namespace hx::photos::testing
