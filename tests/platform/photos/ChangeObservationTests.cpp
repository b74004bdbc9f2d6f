// Change observers and change details, in this process and across two connections to one
// library folder.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "tests/platform/photos/PhotosTestSupport.h"

namespace hx::photos::testing {
namespace {

// Keeps every change it hears of, and whether each came on the library's queue.
class RecordingObserver : public PhotoLibraryChangeObserver {
  public:
    explicit RecordingObserver(PhotoLibrary& library) : library_(library) {}

    void photoLibraryDidChange(const Change& change) override {
        std::lock_guard lock(mutex_);
        changes_.push_back(change);
        allOnLibraryQueue_ = allOnLibraryQueue_ && library_.queue().isCurrent();
    }

    size_t count() const {
        std::lock_guard lock(mutex_);
        return changes_.size();
    }
    std::vector<Change> changes() const {
        std::lock_guard lock(mutex_);
        return changes_;
    }
    bool allOnLibraryQueue() const {
        std::lock_guard lock(mutex_);
        return allOnLibraryQueue_;
    }

  private:
    PhotoLibrary& library_;
    mutable std::mutex mutex_;
    std::vector<Change> changes_;
    bool allOnLibraryQueue_ = true;
};

FetchOptions newestFirst() {
    FetchOptions options;
    options.sortDescriptors.push_back(SortDescriptor::sortDescriptorWithKey("creationDate", false));
    return options;
}

std::vector<std::string> identifiersIn(const std::vector<AssetRef>& assets) {
    std::vector<std::string> identifiers;
    for (const auto& asset : assets) identifiers.push_back(asset->localIdentifier());
    return identifiers;
}

// Observers stay alive until the test has ended and are unregistered from every library still
// open then, so that a test that stops at a failed assertion leaves nothing to call a dead one.
class ChangeObservationTest : public LibraryTest {
  protected:
    void TearDown() override {
        for (auto& [library, observer] : registered_) {
            if (auto open = library.lock()) open->unregisterChangeObserver(observer.get());
        }
        registered_.clear();
        LibraryTest::TearDown();
    }
    std::shared_ptr<RecordingObserver> observe(PhotoLibrary& library) {
        auto observer = std::make_shared<RecordingObserver>(library);
        library.registerChangeObserver(observer.get());
        registered_.emplace_back(library.weak_from_this(), observer);
        return observer;
    }
    std::vector<std::pair<std::weak_ptr<PhotoLibrary>, std::shared_ptr<RecordingObserver>>>
        registered_;
};

TEST_F(ChangeObservationTest, EveryObserverHearsEachCommitOnceBeforeTheCompletion) {
    auto first = observe(*library_);
    auto second = observe(*library_);
    library_->registerChangeObserver(first.get());  // twice counts once

    std::atomic<int> completions{0};
    std::atomic<bool> heardBeforeCompletion{true};
    for (int i = 0; i < 3; ++i) {
        library_->performChanges(
            [] {
                auto request = AssetCreationRequest::creationRequestForAsset();
                request->addResourceWithType(AssetResourceType::Photo, makePicture(8, 8), nullptr);
            },
            [&, i](bool ok, const PhotosError*) {
                EXPECT_TRUE(ok);
                if (first->count() != size_t(i) + 1) heardBeforeCompletion = false;
                ++completions;
            });
    }
    ASSERT_TRUE(waitUntil([&] { return completions == 3; }));
    EXPECT_TRUE(heardBeforeCompletion);
    ASSERT_EQ(first->count(), 3u);
    EXPECT_EQ(second->count(), 3u);
    EXPECT_TRUE(first->allOnLibraryQueue());
    auto changes = first->changes();
    EXPECT_LT(changes[0].transaction(), changes[1].transaction());
    EXPECT_LT(changes[1].transaction(), changes[2].transaction());

    // A failed change tells nobody anything.
    EXPECT_FALSE(
        library_->performChangesAndWait([] { AssetCreationRequest::creationRequestForAsset(); }));
    library_->unregisterChangeObserver(second.get());
    saveOne("");
    EXPECT_EQ(first->count(), 4u);
    EXPECT_EQ(second->count(), 3u);
}

TEST_F(ChangeObservationTest, DetailsDescribeInsertionsRemovalsAndEdits) {
    std::string older = saveOne("2020:01:01 00:00:00");
    std::string newer = saveOne("2022:01:01 00:00:00");
    FetchOptions options = newestFirst();
    FetchResult<Asset> fetch = Asset::fetchAssetsWithMediaType(MediaType::Image, &options);
    auto observer = observe(*library_);

    std::string newest = saveOne("2024:01:01 00:00:00");
    std::string middle = saveOne("2021:01:01 00:00:00");
    ASSERT_EQ(observer->count(), 2u);
    auto inserted = observer->changes()[0].changeDetailsForFetchResult(fetch);
    ASSERT_TRUE(inserted);
    EXPECT_TRUE(inserted->hasIncrementalChanges());
    EXPECT_EQ(inserted->insertedIndexes(), (std::vector<size_t>{0}));
    EXPECT_EQ(identifiersIn(inserted->insertedObjects()), (std::vector<std::string>{newest}));
    EXPECT_TRUE(inserted->removedIndexes().empty());
    // The second insertion is not part of the first change, though it is committed by now.
    EXPECT_EQ(LibraryTest::identifiersOf(inserted->fetchResultAfterChanges()),
              (std::vector<std::string>{newest, newer, older}));
    fetch = inserted->fetchResultAfterChanges();

    auto second = observer->changes()[1].changeDetailsForFetchResult(fetch);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->insertedIndexes(), (std::vector<size_t>{2}));
    fetch = second->fetchResultAfterChanges();
    EXPECT_EQ(LibraryTest::identifiersOf(fetch),
              (std::vector<std::string>{newest, newer, middle, older}));

    ASSERT_TRUE(
        library_->performChangesAndWait([&] { AssetChangeRequest::deleteAssets({asset(newer)}); }));
    auto removed = observer->changes()[2].changeDetailsForFetchResult(fetch);
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->removedIndexes(), (std::vector<size_t>{1}));
    EXPECT_EQ(identifiersIn(removed->removedObjects()), (std::vector<std::string>{newer}));
    EXPECT_TRUE(removed->insertedIndexes().empty());
    fetch = removed->fetchResultAfterChanges();

    ASSERT_TRUE(commitEdit(middle, makePicture(20, 20)));
    auto edited = observer->changes().back().changeDetailsForFetchResult(fetch);
    ASSERT_TRUE(edited);
    EXPECT_EQ(edited->changedIndexes(), (std::vector<size_t>{1}));
    EXPECT_TRUE(edited->changedObjects()[0]->hasAdjustments());
    EXPECT_FALSE(fetch.objectAtIndex(1)->hasAdjustments()) << "the result before stays as it was";
}

TEST_F(ChangeObservationTest, AlbumMembershipShowsInAlbumFetchesOnly) {
    auto album = makeAlbum("Halidex Camera");
    auto other = makeAlbum("Other");
    std::string loose = saveOne("2020:01:01 00:00:00");
    FetchResult<Asset> inAlbum = Asset::fetchAssetsInAssetCollection(*album, nullptr);
    FetchResult<Asset> inOther = Asset::fetchAssetsInAssetCollection(*other, nullptr);
    FetchResult<Asset> everything = Asset::fetchAssetsWithOptions(nullptr);
    FetchResult<AssetCollection> albums = AssetCollection::fetchAssetCollectionsWithType(
        AssetCollectionType::Album, AssetCollectionSubtype::AlbumRegular, nullptr);
    auto observer = observe(*library_);

    ASSERT_TRUE(library_->performChangesAndWait([&] {
        AssetCollectionChangeRequest::changeRequestForAssetCollection(*album)->addAssets(
            {asset(loose)});
    }));
    ASSERT_EQ(observer->count(), 1u);
    Change change = observer->changes()[0];
    auto added = change.changeDetailsForFetchResult(inAlbum);
    ASSERT_TRUE(added);
    EXPECT_EQ(added->insertedIndexes(), (std::vector<size_t>{0}));
    EXPECT_FALSE(change.changeDetailsForFetchResult(inOther));
    EXPECT_FALSE(change.changeDetailsForFetchResult(everything))
        << "joining an album does not change the asset";
    auto collections = change.changeDetailsForFetchResult(albums);
    ASSERT_TRUE(collections);
    EXPECT_EQ(collections->changedIndexes(), (std::vector<size_t>{0}));
    EXPECT_EQ(collections->changedObjects()[0]->estimatedAssetCount(), 1);

    // A new album is an insertion into the album fetch.
    makeAlbum("Third");
    auto insertedAlbum =
        observer->changes()[1].changeDetailsForFetchResult(collections->fetchResultAfterChanges());
    ASSERT_TRUE(insertedAlbum);
    EXPECT_EQ(insertedAlbum->insertedIndexes(), (std::vector<size_t>{2}));
}

TEST_F(ChangeObservationTest, AChangeOfAnotherConnectionArrives) {
    std::string error;
    auto other = PhotoLibrary::open(library_->folder(), &error);
    ASSERT_TRUE(other) << error;
    auto observer = observe(*library_);
    auto otherObserver = observe(*other);
    FetchOptions options = newestFirst();
    FetchResult<Asset> fetch = Asset::fetchAssetsWithOptions(&options);

    std::string identifier;
    ASSERT_TRUE(other->performChangesAndWait([&] {
        auto request = AssetCreationRequest::creationRequestForAsset();
        request->addResourceWithType(AssetResourceType::Photo, makePicture(8, 8), nullptr);
        identifier = request->placeholderForCreatedAsset()->localIdentifier();
    }));
    EXPECT_EQ(otherObserver->count(), 1u);
    ASSERT_TRUE(waitUntil([&] { return observer->count() == 1; }));
    auto details = observer->changes()[0].changeDetailsForFetchResult(fetch);
    ASSERT_TRUE(details);
    EXPECT_EQ(identifiersIn(details->insertedObjects()), (std::vector<std::string>{identifier}));

    // And back the other way.
    saveOne("");
    ASSERT_TRUE(waitUntil([&] { return otherObserver->count() == 2; }));
    other->unregisterChangeObserver(otherObserver.get());
    EXPECT_EQ(observer->count(), 2u);
    closeLibrary(std::move(other));
}

TEST_F(ChangeObservationTest, AnObserverMayUnregisterItselfWhileCalled) {
    struct OneShot : PhotoLibraryChangeObserver {
        PhotoLibrary* library = nullptr;
        std::atomic<int> calls{0};
        void photoLibraryDidChange(const Change&) override {
            ++calls;
            library->unregisterChangeObserver(this);
        }
    } once;
    once.library = library_.get();
    library_->registerChangeObserver(&once);
    saveOne("");
    saveOne("");
    EXPECT_EQ(once.calls, 1);
}

}  // namespace
}  // namespace hx::photos::testing
