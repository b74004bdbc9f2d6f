#include "tools/halidex-library/LibraryCommands.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>

#include "platform/image/FileIO.h"
#include "platform/photos/Photos.h"
#include "platform/photos/store/ImageFileInfo.h"
#include "platform/photos/store/LibraryStore.h"
#include "platform/photos/store/LocalIdentifier.h"
#include "platform/photos/store/StoredNames.h"
#include "tools/halidex-library/Interruption.h"
#include "tools/halidex-library/OutputText.h"
#include "tools/halidex-library/PictureCheck.h"

namespace hx::library_tool {
namespace {

namespace fs = std::filesystem;
using namespace hx::photos;

int badInput(const std::string& message) {
    std::fprintf(stderr, "halidex-library: %s\n", message.c_str());
    return kExitBadInput;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "halidex-library: %s\n", message.c_str());
    return kExitFailure;
}

// A row whose names cannot be what the library wrote: the database was damaged or tampered with.
int damage(const AssetRecord& record, const std::string& what, const std::string& value) {
    return failure("the library is damaged: asset " + record.localIdentifier + " has " + what +
                   " \"" + escapedForLine(value) +
                   "\", which is not a file name in the library; "
                   "nothing was exported");
}

// Local time, "2024-03-15 18:00:00".
std::string formatDate(double seconds) {
    std::time_t time = std::time_t(seconds);
    std::tm local{};
    localtime_r(&time, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// Accepts the identifier with or without its "/L0/001" suffix.
AssetRef findAsset(const std::string& identifier) {
    std::string full = identifier.find('/') == std::string::npos
                           ? identifier + kAssetIdentifierSuffix
                           : identifier;
    return Asset::fetchAssetsWithLocalIdentifiers({full}, nullptr).firstObject();
}

std::vector<AssetCollectionRef> albumsTitled(const std::string& title) {
    std::vector<AssetCollectionRef> found;
    auto albums = AssetCollection::fetchAssetCollectionsWithType(
        AssetCollectionType::Album, AssetCollectionSubtype::AlbumRegular, nullptr);
    for (const auto& album : albums) {
        if (album->localizedTitle() == title) found.push_back(album);
    }
    return found;
}

std::string albumTitlesOf(const Asset& asset) {
    std::string titles;
    auto albums = AssetCollection::fetchAssetCollectionsContainingAsset(
        asset, AssetCollectionType::Album, nullptr);
    for (const auto& album : albums) {
        if (!titles.empty()) titles += ", ";
        titles += escapedForLine(album->localizedTitle().value_or(""));
    }
    return titles;
}

std::string hexPreview(const std::vector<uint8_t>& data, size_t limit) {
    static const char* digits = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < data.size() && i < limit; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    if (data.size() > limit) text += "...";
    return text;
}

FetchOptions newestFirst() {
    FetchOptions options;
    options.sortDescriptors.push_back(SortDescriptor::sortDescriptorWithKey("creationDate", false));
    return options;
}

}  // namespace

int importFiles(const std::vector<std::string>& files, const std::optional<std::string>& album) {
    if (album && album->find_first_not_of(" \t\n\r\f\v") == std::string::npos) {
        return badInput("an album title cannot be empty");
    }
    // Every file is checked, its pixels decoded, before anything is stored, so bad input stores
    // nothing.
    for (const std::string& file : files) {
        if (int signal = pendingInterruption()) return interrupted(signal, "nothing imported");
        auto bytes = std::make_shared<std::vector<uint8_t>>();
        std::string error;
        if (!image::readFileContents(file, *bytes, &error)) return badInput(escapedForLine(error));
        if (std::string problem = pictureProblem(*bytes); !problem.empty()) {
            return badInput("cannot import " + escapedForLine(file) + ": " + problem);
        }
        if (!inspectImageFile(std::move(bytes))) {
            return badInput(escapedForLine(file) + " is not a JPEG, PNG, TIFF or HEIC picture");
        }
    }
    // Finding or making the album is one transaction of its own, so that two imports into a
    // new title make one album.
    if (int signal = pendingInterruption()) return interrupted(signal, "nothing imported");
    AssetCollectionRef existing;
    if (album) {
        std::string error;
        LibraryStore* store = PhotoLibrary::sharedPhotoLibrary()->store();
        auto identifier = store ? store->findOrCreateAlbum(*album, nullptr, &error) : std::nullopt;
        if (identifier) {
            existing =
                AssetCollection::fetchAssetCollectionsWithLocalIdentifiers({*identifier}, nullptr)
                    .firstObject();
        }
        if (!existing) return failure("cannot find or make the album: " + error);
    }
    std::vector<std::string> identifiers;
    PhotosError error;
    bool saved = PhotoLibrary::sharedPhotoLibrary()->performChangesAndWait(
        [&] {
            std::shared_ptr<AssetCollectionChangeRequest> albumRequest;
            if (existing) {
                albumRequest =
                    AssetCollectionChangeRequest::changeRequestForAssetCollection(*existing);
            }
            for (const std::string& file : files) {
                auto request = AssetCreationRequest::creationRequestForAsset();
                AssetResourceCreationOptions options;
                options.originalFilename = fs::path(file).filename().string();
                request->addResourceWithTypeFileURL(AssetResourceType::Photo, file, &options);
                identifiers.push_back(request->placeholderForCreatedAsset()->localIdentifier());
                if (albumRequest) albumRequest->addAssets({request->placeholderForCreatedAsset()});
            }
        },
        &error);
    if (!saved) return failure("cannot import: " + error.localizedDescription);
    for (size_t i = 0; i < files.size(); ++i) {
        std::printf("%s\t%s\n", identifiers[i].c_str(), escapedForLine(files[i]).c_str());
    }
    if (int signal = pendingInterruption()) return interrupted(signal, "the import is complete");
    return kExitOk;
}

int listAssets(const std::optional<std::string>& album) {
    FetchOptions options = newestFirst();
    std::vector<AssetRef> assets;
    if (album) {
        auto titled = albumsTitled(*album);
        if (titled.empty()) return badInput("no album titled \"" + escapedForLine(*album) + "\"");
        std::map<std::string, AssetRef> pooled;
        for (const auto& collection : titled) {
            for (const auto& asset : Asset::fetchAssetsInAssetCollection(*collection, &options)) {
                pooled.emplace(asset->localIdentifier(), asset);
            }
        }
        for (auto& [identifier, asset] : pooled) assets.push_back(asset);
        std::stable_sort(assets.begin(), assets.end(), [](const AssetRef& a, const AssetRef& b) {
            if (a->creationDate() != b->creationDate())
                return a->creationDate() > b->creationDate();
            return a->localIdentifier() > b->localIdentifier();
        });
    } else {
        assets = Asset::fetchAssetsWithOptions(&options).objects();
    }
    for (const AssetRef& asset : assets) {
        std::printf("%s\t%s\t%dx%d\t%s\n", asset->localIdentifier().c_str(),
                    formatDate(asset->creationDate()).c_str(), asset->pixelWidth(),
                    asset->pixelHeight(), albumTitlesOf(*asset).c_str());
    }
    return kExitOk;
}

int listAlbums() {
    auto albums = AssetCollection::fetchAssetCollectionsWithType(
        AssetCollectionType::Album, AssetCollectionSubtype::AlbumRegular, nullptr);
    for (const auto& album : albums) {
        std::printf("%s\t%lld\t%s\n", album->localIdentifier().c_str(),
                    static_cast<long long>(album->estimatedAssetCount()),
                    escapedForLine(album->localizedTitle().value_or("")).c_str());
    }
    return kExitOk;
}

int exportOriginal(const std::string& identifier, const std::string& folder, bool edited) {
    AssetRef asset = findAsset(identifier);
    if (!asset) return badInput("no asset with identifier " + identifier);
    if (edited && !asset->hasAdjustments())
        return badInput(asset->localIdentifier() + " has no edit; export it without --edited");
    std::error_code ignored;
    // A missing folder is made, as a copy into a new place would; a file in the way is refused.
    if (!fs::exists(folder, ignored)) fs::create_directories(folder, ignored);
    if (!fs::is_directory(folder, ignored)) return badInput(folder + " is not a folder");
    // The names come from the database: they are used only when they are plain file names and
    // the original they lead to lies inside the library.
    const AssetRecord& record = asset->record();
    if (!safeBaseName(record.fileName)) return damage(record, "the file", record.fileName);
    // Rows from before original names were kept have none: the file's own name stands in.
    const std::string& original =
        record.originalFilename.empty() ? record.fileName : record.originalFilename;
    auto name = safeBaseName(original);
    if (!name) return damage(record, "the original name", original);
    if (edited) name = fs::path(*name).stem().string() + "_edited.jpg";
    LibraryStore* store = asset->photoLibrary()->store();
    // Originals lie inside the library folder or, for newer ones, inside its camera folder or
    // one it had before.
    const std::string originalFile = store->originalPath(record);
    bool inside = resolveInsideFolder(store->folder(), originalFile).has_value();
    for (const std::string& camera : store->files().cameraFolders())
        inside = inside || resolveInsideFolder(camera, originalFile).has_value();
    if (!inside) return damage(record, "the file", record.fileName);
    fs::path target = fs::path(folder) / *name;
    if (fs::exists(target, ignored)) {
        return badInput(escapedForLine(target.string()) + " already exists");
    }

    ImageRequestOptions options;
    options.synchronous = true;
    options.version =
        edited ? ImageRequestOptionsVersion::Current : ImageRequestOptionsVersion::Original;
    Bytes data;
    std::string problem;
    ImageManager::defaultManager().requestImageDataAndOrientationForAsset(
        asset, &options, [&](Bytes bytes, const std::string&, int, const ImageResultInfo& info) {
            data = std::move(bytes);
            if (info.error) problem = info.error->localizedDescription;
        });
    if (!data)
        return failure(std::string("cannot read the ") + (edited ? "edited version" : "original") +
                       ": " + problem);
    std::string error;
    if (!image::writeFileAtomically(target.string(), data->data(), data->size(), &error)) {
        return failure(error);
    }
    std::printf("%s\n", escapedForLine(target.string()).c_str());
    return kExitOk;
}

int showAsset(const std::string& identifier) {
    AssetRef asset = findAsset(identifier);
    if (!asset) return badInput("no asset with identifier " + identifier);
    const AssetRecord& record = asset->record();
    LibraryStore* store = asset->photoLibrary()->store();
    std::printf("identifier: %s\n", asset->localIdentifier().c_str());
    std::printf("media type: %s\n", asset->mediaType() == MediaType::Image ? "image" : "other");
    std::printf("creation date: %s\n", formatDate(asset->creationDate()).c_str());
    std::printf("modification date: %s\n", formatDate(asset->modificationDate()).c_str());
    std::printf("pixel size: %dx%d\n", asset->pixelWidth(), asset->pixelHeight());
    std::printf("original: %s (%s, %dx%d, orientation %d)\n", record.originalFilename.c_str(),
                record.originalTypeIdentifier.c_str(), record.pixelWidth, record.pixelHeight,
                record.orientation);
    std::printf("original file: %s\n", store->originalPath(record).c_str());
    std::printf("albums: %s\n", albumTitlesOf(*asset).c_str());
    if (!record.adjustment) {
        std::printf("edited: no\n");
        return kExitOk;
    }
    const AdjustmentRecord& edit = *record.adjustment;
    std::printf("edited: yes, %s\n", formatDate(edit.adjustedDate).c_str());
    std::printf("adjustment format: %s\n", edit.formatIdentifier.c_str());
    std::printf("adjustment version: %s\n", edit.formatVersion.c_str());
    std::printf("adjustment data: %zu bytes %s\n", edit.data.size(),
                hexPreview(edit.data, 64).c_str());
    std::printf("rendered file: %s (%s, %dx%d, orientation %d)\n",
                store->renderedPath(record).value_or("").c_str(),
                edit.renderedTypeIdentifier.c_str(), edit.pixelWidth, edit.pixelHeight,
                edit.orientation);
    return kExitOk;
}

int authorization(const std::optional<std::string>& word) {
    std::string folder = LibraryStore::defaultFolder();
    if (!word) {
        std::printf("%s\n", LibraryAuthorization::word(LibraryAuthorization::status(folder)));
        return kExitOk;
    }
    auto status = LibraryAuthorization::parse(*word);
    if (!status) {
        return badInput("\"" + *word +
                        "\" is not a status: authorized, limited, denied, restricted or "
                        "not-determined");
    }
    std::string error;
    if (!LibraryAuthorization::set(folder, *status, &error)) return failure(error);
    if (const char* forced = std::getenv(LibraryAuthorization::kEnvironmentVariable);
        forced && *forced) {
        std::fprintf(stderr, "halidex-library: note: %s=%s overrides the setting\n",
                     LibraryAuthorization::kEnvironmentVariable, forced);
    }
    std::printf("%s\n", LibraryAuthorization::word(*status));
    return kExitOk;
}

int revertAsset(const std::string& identifier) {
    AssetRef asset = findAsset(identifier);
    if (!asset) return badInput("no asset with identifier " + identifier);
    if (!asset->hasAdjustments()) {
        std::printf("%s has no edit\n", asset->localIdentifier().c_str());
        return kExitOk;
    }
    PhotosError error;
    bool reverted = PhotoLibrary::sharedPhotoLibrary()->performChangesAndWait(
        [&] { AssetChangeRequest::changeRequestForAsset(*asset)->revertAssetContentToOriginal(); },
        &error);
    if (!reverted) return failure("cannot revert: " + error.localizedDescription);
    std::printf("%s reverted\n", asset->localIdentifier().c_str());
    return kExitOk;
}

}  // namespace hx::library_tool
