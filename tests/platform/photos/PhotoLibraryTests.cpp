// Change transactions and fetches through a real library in a temporary folder.

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <future>
#include <thread>

#include "platform/log/CaptureScope.h"
#include "platform/photos/store/PicturesFolder.h"
#include "platform/runloop/Semaphore.h"
#include "tests/platform/photos/PhotosTestSupport.h"

namespace hx::photos::testing {
namespace {

namespace fs = std::filesystem;

size_t filesUnder(const fs::path& folder) {
    size_t count = 0;
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ignored)) {
        if (entry.is_regular_file()) ++count;
    }
    return count;
}

double localTime(int year, int month, int day, int hour) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_isdst = -1;
    return double(std::mktime(&tm));
}

FetchOptions byCreationDate(bool ascending) {
    FetchOptions options;
    options.sortDescriptors.push_back(
        SortDescriptor::sortDescriptorWithKey("creationDate", ascending));
    return options;
}

using ChangeTransactionTest = LibraryTest;

TEST_F(ChangeTransactionTest, CompletionRunsLaterOnTheLibraryQueue) {
    std::atomic<bool> done{false}, onLibraryQueue{false}, success{false};
    std::thread::id caller = std::this_thread::get_id(), completionThread;
    std::atomic<bool> returned{false};
    std::promise<void> returning;
    std::shared_future<void> hasReturned = returning.get_future().share();
    library_->performChanges(
        [&] {
            // Holds the changes until performChanges has returned, so that a completion run
            // inside it finds `returned` still false instead of racing with the caller.
            hasReturned.wait_for(std::chrono::seconds(10));
            auto request = AssetCreationRequest::creationRequestForAsset();
            request->addResourceWithType(AssetResourceType::Photo, makePicture(8, 8), nullptr);
        },
        [&](bool ok, const PhotosError* error) {
            success = ok && !error;
            onLibraryQueue = library_->queue().isCurrent();
            completionThread = std::this_thread::get_id();
            EXPECT_TRUE(returned) << "the completion ran inside performChanges";
            done = true;
        });
    returned = true;
    returning.set_value();
    ASSERT_TRUE(waitUntil([&] { return done.load(); }));
    EXPECT_TRUE(success);
    EXPECT_TRUE(onLibraryQueue);
    EXPECT_NE(completionThread, caller);
    EXPECT_EQ(Asset::fetchAssetsWithOptions(nullptr).count(), 1u);
}

TEST_F(ChangeTransactionTest, AssetAndAlbumMembershipCommitTogether) {
    auto album = makeAlbum("Halidex Camera");
    ASSERT_TRUE(album);
    std::string created;
    ASSERT_TRUE(library_->performChangesAndWait([&] {
        auto request = AssetCreationRequest::creationRequestForAsset();
        request->addResourceWithType(AssetResourceType::Photo,
                                     makePicture(32, 24, "2024:05:06 07:08:09"), nullptr);
        auto placeholder = request->placeholderForCreatedAsset();
        created = placeholder->localIdentifier();
        AssetCollectionChangeRequest::changeRequestForAssetCollection(*album)->addAssets(
            {placeholder});
    }));
    auto inAlbum = Asset::fetchAssetsInAssetCollection(*album, nullptr);
    ASSERT_EQ(inAlbum.count(), 1u);
    EXPECT_EQ(inAlbum.firstObject()->localIdentifier(), created);
    EXPECT_EQ(inAlbum.firstObject()->pixelWidth(), 32);
    EXPECT_DOUBLE_EQ(inAlbum.firstObject()->creationDate(), localTime(2024, 5, 6, 7) + 8 * 60 + 9);

    // A second picture that is not a picture makes the whole change fail: neither asset, nor
    // membership, nor file is left.
    size_t files = filesUnder(cameraFolder());
    hx::log::CaptureScope log;
    PhotosError error;
    EXPECT_FALSE(library_->performChangesAndWait(
        [&] {
            auto good = AssetCreationRequest::creationRequestForAsset();
            good->addResourceWithType(AssetResourceType::Photo, makePicture(8, 8), nullptr);
            auto bad = AssetCreationRequest::creationRequestForAsset();
            bad->addResourceWithType(AssetResourceType::Photo, {'n', 'o', 'p', 'e'}, nullptr);
            AssetCollectionChangeRequest::changeRequestForAssetCollection(*album)->addAssets(
                {good->placeholderForCreatedAsset(), bad->placeholderForCreatedAsset()});
        },
        &error));
    EXPECT_EQ(error.code, PhotosErrorCode::InvalidResource);
    EXPECT_EQ(Asset::fetchAssetsWithOptions(nullptr).count(), 1u);
    EXPECT_EQ(Asset::fetchAssetsInAssetCollection(*album, nullptr).count(), 1u);
    EXPECT_EQ(filesUnder(cameraFolder()), files);
}

TEST_F(ChangeTransactionTest, NewAlbumWithItsFirstAssetAndDuplicateTitles) {
    std::string albumIdentifier;
    ASSERT_TRUE(library_->performChangesAndWait([&] {
        auto request = AssetCreationRequest::creationRequestForAsset();
        request->addResourceWithType(AssetResourceType::Photo, makePicture(8, 8), nullptr);
        auto album =
            AssetCollectionChangeRequest::creationRequestForAssetCollectionWithTitle("Trip");
        album->addAssets({request->placeholderForCreatedAsset()});
        albumIdentifier = album->placeholderForCreatedAssetCollection()->localIdentifier();
    }));
    auto second = makeAlbum("Trip");
    auto albums = AssetCollection::fetchAssetCollectionsWithType(
        AssetCollectionType::Album, AssetCollectionSubtype::AlbumRegular, nullptr);
    ASSERT_EQ(albums.count(), 2u);
    // In the order they were made; both carry the title.
    EXPECT_EQ(albums.objectAtIndex(0)->localIdentifier(), albumIdentifier);
    EXPECT_EQ(albums.objectAtIndex(1)->localIdentifier(), second->localIdentifier());
    EXPECT_EQ(albums.objectAtIndex(1)->localizedTitle(), "Trip");
    EXPECT_EQ(albums.objectAtIndex(0)->estimatedAssetCount(), 1);
    EXPECT_EQ(albums.objectAtIndex(1)->estimatedAssetCount(), 0);

    // Renaming: the next search by title no longer finds it.
    ASSERT_TRUE(library_->performChangesAndWait([&] {
        AssetCollectionChangeRequest::changeRequestForAssetCollection(*albums.objectAtIndex(0))
            ->setTitle("Holiday");
    }));
    auto renamed =
        AssetCollection::fetchAssetCollectionsWithLocalIdentifiers({albumIdentifier}, nullptr);
    EXPECT_EQ(renamed.firstObject()->localizedTitle(), "Holiday");
}

TEST_F(ChangeTransactionTest, RequestsOutsideAChangeBlockDoNothing) {
    hx::log::CaptureScope log;
    auto stray = AssetCreationRequest::creationRequestForAsset();
    ASSERT_TRUE(stray);
    stray->addResourceWithType(AssetResourceType::Photo, makePicture(8, 8), nullptr);
    EXPECT_TRUE(log.contains("outside a change block"));
    // A request kept from an earlier change block cannot change a later one.
    std::shared_ptr<AssetCollectionChangeRequest> kept;
    ASSERT_TRUE(library_->performChangesAndWait([&] {
        kept = AssetCollectionChangeRequest::creationRequestForAssetCollectionWithTitle("Kept");
    }));
    ASSERT_TRUE(library_->performChangesAndWait([&] { kept->setTitle("Changed later"); }));
    auto albums = AssetCollection::fetchAssetCollectionsWithType(
        AssetCollectionType::Album, AssetCollectionSubtype::Any, nullptr);
    ASSERT_EQ(albums.count(), 1u);
    EXPECT_EQ(albums.firstObject()->localizedTitle(), "Kept");
    EXPECT_TRUE(Asset::fetchAssetsWithOptions(nullptr).empty());
}

TEST_F(ChangeTransactionTest, AssetWithoutPhotoResourceOrWithTwoFails) {
    PhotosError error;
    EXPECT_FALSE(library_->performChangesAndWait(
        [] { AssetCreationRequest::creationRequestForAsset(); }, &error));
    EXPECT_EQ(error.localizedDescription, "an asset creation request has no photo resource");
    EXPECT_FALSE(library_->performChangesAndWait(
        [] {
            auto request = AssetCreationRequest::creationRequestForAsset();
            request->addResourceWithType(AssetResourceType::Photo, makePicture(8, 8), nullptr);
            request->addResourceWithType(AssetResourceType::Photo, makePicture(8, 8), nullptr);
        },
        &error));
    EXPECT_FALSE(library_->performChangesAndWait(
        [] {
            AssetCreationRequest::creationRequestForAssetFromImageAtFileURL("/no/such/file.jpg");
        },
        &error));
    EXPECT_NE(error.localizedDescription.find("/no/such/file.jpg"), std::string::npos);
    EXPECT_TRUE(Asset::fetchAssetsWithOptions(nullptr).empty());
}

TEST_F(ChangeTransactionTest, FileResourcesKeepTheirNameAndMovedFilesGo) {
    fs::path file = fs::path(home_) / "IMG_0042.JPG";
    auto picture = makePicture(20, 10);
    ASSERT_TRUE(image::writeFileAtomically(file.string(), picture.data(), picture.size(), nullptr));
    std::string identifier;
    ASSERT_TRUE(library_->performChangesAndWait([&] {
        auto request = AssetCreationRequest::creationRequestForAsset();
        AssetResourceCreationOptions options;
        options.shouldMoveFile = true;
        request->addResourceWithTypeFileURL(AssetResourceType::Photo, file.string(), &options);
        identifier = request->placeholderForCreatedAsset()->localIdentifier();
    }));
    auto saved = asset(identifier);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->record().originalFilename, "IMG_0042.JPG");
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(ChangeTransactionTest, DeletingAssetsRemovesRowsFilesAndMemberships) {
    auto album = makeAlbum("A");
    auto identifiers = save({makePicture(8, 8), makePicture(9, 9)}, album);
    ASSERT_EQ(identifiers.size(), 2u);
    std::string path = library_->store()->originalPath(identifiers[0]).value_or("");
    ASSERT_TRUE(fs::exists(path));
    ASSERT_TRUE(library_->performChangesAndWait(
        [&] { AssetChangeRequest::deleteAssets({asset(identifiers[0])}); }));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(identifiersOf(Asset::fetchAssetsInAssetCollection(*album, nullptr)),
              (std::vector<std::string>{identifiers[1]}));
    EXPECT_FALSE(asset(identifiers[0]));
}

using FetchTest = LibraryTest;

TEST_F(FetchTest, SortDescriptorsOrderByCreationDate) {
    std::string middle = saveOne("2022:06:01 12:00:00");
    std::string oldest = saveOne("2020:01:01 08:00:00");
    std::string newest = saveOne("2024:03:15 18:00:00");
    FetchOptions descending = byCreationDate(false), ascending = byCreationDate(true);
    EXPECT_EQ(identifiersOf(Asset::fetchAssetsWithOptions(&descending)),
              (std::vector<std::string>{newest, middle, oldest}));
    EXPECT_EQ(identifiersOf(Asset::fetchAssetsWithMediaType(MediaType::Image, &ascending)),
              (std::vector<std::string>{oldest, middle, newest}));
    EXPECT_TRUE(Asset::fetchAssetsWithMediaType(MediaType::Video, nullptr).empty());
    // Without options: the order they came into the library.
    EXPECT_EQ(identifiersOf(Asset::fetchAssetsWithOptions(nullptr)),
              (std::vector<std::string>{middle, oldest, newest}));

    // The user library smart album holds everything, sorted the same way.
    auto library = AssetCollection::fetchAssetCollectionsWithType(
        AssetCollectionType::SmartAlbum, AssetCollectionSubtype::SmartAlbumUserLibrary, nullptr);
    ASSERT_EQ(library.count(), 1u);
    EXPECT_EQ(library.firstObject()->estimatedAssetCount(), 3);
    EXPECT_EQ(
        identifiersOf(Asset::fetchAssetsInAssetCollection(*library.firstObject(), &descending)),
        (std::vector<std::string>{newest, middle, oldest}));
}

TEST_F(FetchTest, IdentifierFetchesKeepTheOrderAskedAndSkipUnknowns) {
    std::string a = saveOne("2021:01:01 00:00:00");
    std::string b = saveOne("2020:01:01 00:00:00");
    auto result = Asset::fetchAssetsWithLocalIdentifiers({b, "missing/L0/001", a, b}, nullptr);
    EXPECT_EQ(identifiersOf(result), (std::vector<std::string>{b, a}));
    EXPECT_EQ(result.objectAtIndex(5), nullptr);
    EXPECT_EQ(result.indexOfObject(*result.lastObject()), 1u);
    FetchOptions ascending = byCreationDate(true);
    EXPECT_EQ(identifiersOf(Asset::fetchAssetsWithLocalIdentifiers({a, b}, &ascending)),
              (std::vector<std::string>{b, a}));

    size_t visited = 0;
    result.enumerateObjectsUsingBlock([&](const AssetRef&, size_t, bool* stop) {
        ++visited;
        *stop = true;
    });
    EXPECT_EQ(visited, 1u);
}

TEST_F(FetchTest, OrientedPicturesReportUprightPixelSizes) {
    std::string sideways = saveOne("", 6, 40, 30);
    auto fetched = asset(sideways);
    ASSERT_TRUE(fetched);
    EXPECT_EQ(fetched->pixelWidth(), 30);
    EXPECT_EQ(fetched->pixelHeight(), 40);
    EXPECT_EQ(fetched->record().orientation, 6);
    EXPECT_EQ(fetched->mediaType(), MediaType::Image);
    EXPECT_FALSE(fetched->hasAdjustments());
}

TEST_F(FetchTest, CollectionsSortAndFilterByType) {
    auto zebra = makeAlbum("Zebra");
    auto acorn = makeAlbum("Acorn");
    FetchOptions byTitle;
    byTitle.sortDescriptors.push_back(
        SortDescriptor::sortDescriptorWithKey("localizedTitle", true));
    auto sorted = AssetCollection::fetchAssetCollectionsWithType(
        AssetCollectionType::Album, AssetCollectionSubtype::Any, &byTitle);
    ASSERT_EQ(sorted.count(), 2u);
    EXPECT_EQ(sorted.firstObject()->localizedTitle(), "Acorn");
    EXPECT_TRUE(
        AssetCollection::fetchAssetCollectionsWithType(
            AssetCollectionType::Album, AssetCollectionSubtype::SmartAlbumUserLibrary, nullptr)
            .empty());
    EXPECT_TRUE(AssetCollection::fetchAssetCollectionsWithType(
                    AssetCollectionType::SmartAlbum, AssetCollectionSubtype::AlbumRegular, nullptr)
                    .empty());
    auto picture = save({makePicture(8, 8)}, zebra);
    auto containing = AssetCollection::fetchAssetCollectionsContainingAsset(
        *asset(picture[0]), AssetCollectionType::Album, nullptr);
    ASSERT_EQ(containing.count(), 1u);
    EXPECT_EQ(containing.firstObject()->localIdentifier(), zebra->localIdentifier());

    hx::log::CaptureScope log;
    FetchOptions unknown;
    unknown.sortDescriptors.push_back(SortDescriptor::sortDescriptorWithKey("colour", true));
    EXPECT_EQ(Asset::fetchAssetsWithOptions(&unknown).count(), 1u);
    EXPECT_TRUE(log.contains("cannot be sorted by \"colour\""));
}

TEST_F(ChangeTransactionTest, FindOrCreateAlbumMakesOneAlbumForCallersAtOnce) {
    std::atomic<int> made{0};
    std::vector<std::string> found(6);
    std::vector<std::thread> callers;
    for (size_t i = 0; i < found.size(); ++i) {
        callers.emplace_back([&, i] {
            bool created = false;
            auto album = library_->findOrCreateAlbumAndWait("Trip", &created);
            if (album) found[i] = *album;
            if (created) ++made;
        });
    }
    for (auto& caller : callers) caller.join();
    EXPECT_EQ(made.load(), 1);
    for (const std::string& album : found) EXPECT_EQ(album, found.front());
    auto albums = AssetCollection::fetchAssetCollectionsWithType(
        AssetCollectionType::Album, AssetCollectionSubtype::AlbumRegular, nullptr);
    ASSERT_EQ(albums.count(), 1u);
    EXPECT_EQ(albums.firstObject()->localIdentifier(), found.front());

    // From the library's own queue (a completion) it runs inline instead of waiting for itself.
    std::optional<std::string> inCompletion;
    library_->performChanges({}, [&](bool, const PhotosError*) {
        inCompletion = library_->findOrCreateAlbumAndWait("Trip");
    });
    library_->queue().sync([] {});
    EXPECT_EQ(inCompletion, found.front());
}

using AuthorizationTest = LibraryTest;

TEST_F(AuthorizationTest, DeniedAndRestrictedSeeNothingAndChangeNothing) {
    saveOne("");
    for (auto status : {AuthorizationStatus::Denied, AuthorizationStatus::Restricted,
                        AuthorizationStatus::NotDetermined}) {
        ASSERT_TRUE(LibraryAuthorization::set(library_->folder(), status));
        EXPECT_EQ(PhotoLibrary::authorizationStatus(), status);
        hx::log::CaptureScope log;
        EXPECT_TRUE(Asset::fetchAssetsWithOptions(nullptr).empty());
        EXPECT_TRUE(AssetCollection::fetchAssetCollectionsWithType(
                        AssetCollectionType::SmartAlbum, AssetCollectionSubtype::Any, nullptr)
                        .empty());
        PhotosError error;
        EXPECT_FALSE(library_->performChangesAndWait(
            [] { AssetCollectionChangeRequest::creationRequestForAssetCollectionWithTitle("x"); },
            &error));
        EXPECT_EQ(error.code, status == AuthorizationStatus::Restricted
                                  ? PhotosErrorCode::AccessRestricted
                                  : PhotosErrorCode::AccessUserDenied);
        PhotosError findError;
        EXPECT_FALSE(library_->findOrCreateAlbumAndWait("x", nullptr, &findError));
        EXPECT_EQ(findError.code, error.code);
    }
    ASSERT_TRUE(LibraryAuthorization::set(library_->folder(), AuthorizationStatus::Authorized));
    EXPECT_EQ(Asset::fetchAssetsWithOptions(nullptr).count(), 1u);
    EXPECT_TRUE(AssetCollection::fetchAssetCollectionsWithType(AssetCollectionType::Album,
                                                               AssetCollectionSubtype::Any, nullptr)
                    .empty());
}

TEST_F(AuthorizationTest, LimitedAccessSeesOnlyWhatItAdded) {
    std::string before = saveOne("");
    ASSERT_TRUE(LibraryAuthorization::set(library_->folder(), AuthorizationStatus::Limited));
    EXPECT_TRUE(Asset::fetchAssetsWithOptions(nullptr).empty());
    std::string own = saveOne("");
    EXPECT_EQ(identifiersOf(Asset::fetchAssetsWithOptions(nullptr)),
              (std::vector<std::string>{own}));
    EXPECT_FALSE(asset(before));
    ASSERT_TRUE(LibraryAuthorization::set(library_->folder(), AuthorizationStatus::Authorized));
    EXPECT_EQ(Asset::fetchAssetsWithOptions(nullptr).count(), 2u);
}

TEST_F(AuthorizationTest, RequestAsksOnceAndAnswersLater) {
    ASSERT_TRUE(LibraryAuthorization::set(library_->folder(), AuthorizationStatus::NotDetermined));
    std::atomic<int> asked{0};
    LibraryAuthorization::setPrompt([&](AccessLevel) {
        ++asked;
        return AuthorizationStatus::Denied;
    });
    std::atomic<int> answers{0};
    std::atomic<AuthorizationStatus> answer{AuthorizationStatus::NotDetermined};
    // The handler runs on the library's queue, never inside the call on the caller's thread
    // (it may run before the call has returned, on the queue's own thread).
    std::thread::id caller = std::this_thread::get_id();
    PhotoLibrary::requestAuthorization([&](AuthorizationStatus status) {
        EXPECT_NE(std::this_thread::get_id(), caller);
        answer = status;
        ++answers;
    });
    ASSERT_TRUE(waitUntil([&] { return answers == 1; }));
    EXPECT_EQ(answer, AuthorizationStatus::Denied);
    EXPECT_EQ(PhotoLibrary::authorizationStatus(), AuthorizationStatus::Denied);

    PhotoLibrary::requestAuthorization([&](AuthorizationStatus status) {
        answer = status;
        ++answers;
    });
    ASSERT_TRUE(waitUntil([&] { return answers == 2; }));
    EXPECT_EQ(asked, 1) << "a recorded answer is not asked again";

    // Without a prompt the answer is authorised.
    LibraryAuthorization::setPrompt(nullptr);
    ASSERT_TRUE(LibraryAuthorization::set(library_->folder(), AuthorizationStatus::NotDetermined));
    PhotoLibrary::requestAuthorization([&](AuthorizationStatus status) {
        answer = status;
        ++answers;
    });
    ASSERT_TRUE(waitUntil([&] { return answers == 3; }));
    EXPECT_EQ(answer, AuthorizationStatus::Authorized);
}

TEST_F(AuthorizationTest, EnvironmentOverridesTheSettingAndWordsRoundTrip) {
    environment_.set(LibraryAuthorization::kEnvironmentVariable, "limited");
    EXPECT_EQ(PhotoLibrary::authorizationStatus(), AuthorizationStatus::Limited);
    for (auto status : {AuthorizationStatus::NotDetermined, AuthorizationStatus::Restricted,
                        AuthorizationStatus::Denied, AuthorizationStatus::Authorized,
                        AuthorizationStatus::Limited}) {
        EXPECT_EQ(LibraryAuthorization::parse(LibraryAuthorization::word(status)), status);
    }
    EXPECT_EQ(LibraryAuthorization::parse(" Not_Determined\n"), AuthorizationStatus::NotDetermined);
    EXPECT_FALSE(LibraryAuthorization::parse("maybe"));
}

}  // namespace
}  // namespace hx::photos::testing
