// Image requests through real files: decode sizes, orientation, the caches, missing files.

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "platform/image/io/ImageSource.h"
#include "platform/log/CaptureScope.h"
#include "tests/platform/photos/PhotosTestSupport.h"

namespace hx::photos::testing {
namespace {

namespace fs = std::filesystem;

TEST(DecodeLongSide, FitsOrCoversTheUprightTarget) {
    // 4032 × 3024 into 100 × 100: fitting gives 100 × 75, covering 134 × 101.
    EXPECT_EQ(decodeLongSide(4032, 3024, 1, {100, 100}, ImageContentMode::AspectFit), 100);
    EXPECT_EQ(decodeLongSide(4032, 3024, 1, {100, 100}, ImageContentMode::AspectFill), 134);
    // Stored sideways the picture stands 3024 × 4032 upright, so a wide target limits its
    // height: 75 × 100 upright, a long side of 100.
    EXPECT_EQ(decodeLongSide(4032, 3024, 6, {300, 100}, ImageContentMode::AspectFit), 100);
    EXPECT_EQ(decodeLongSide(4032, 3024, 1, {300, 100}, ImageContentMode::AspectFit), 134);
    EXPECT_EQ(decodeLongSide(4032, 3024, 6, {300, 100}, ImageContentMode::AspectFill), 400);
    // Never larger than stored; the maximum size means as stored.
    EXPECT_EQ(decodeLongSide(400, 300, 1, {800, 800}, ImageContentMode::AspectFill), 0);
    EXPECT_EQ(decodeLongSide(400, 300, 1, PHImageManagerMaximumSize, ImageContentMode::AspectFit),
              0);
    EXPECT_EQ(decodeLongSide(400, 300, 1, {0, 50}, ImageContentMode::AspectFit), 0);
    EXPECT_EQ(decodeLongSide(5000, 1, 1, {1, 1}, ImageContentMode::AspectFit), 1);
}

TEST(ImageCacheTest, KeepsRecentPicturesWithinItsBudget) {
    auto picture = [](int side) {
        return image::Image::adopt(image::PixelFormat::Grey8, side, side,
                                   std::vector<uint8_t>(size_t(side) * side));
    };
    ImageCache cache(4000);
    cache.insert("a", picture(20));  // 400 bytes each
    cache.insert("b", picture(20));
    EXPECT_TRUE(cache.find("a"));  // "a" is now the most recent
    for (int i = 0; i < 9; ++i) cache.insert("filler" + std::to_string(i), picture(20));
    EXPECT_TRUE(cache.find("filler8"));
    EXPECT_FALSE(cache.find("b")) << "the least recently used goes first";
    cache.insert("huge", picture(40));  // 1600 bytes: more than a quarter of the budget
    EXPECT_FALSE(cache.find("huge"));
    EXPECT_LE(cache.statistics().bytes, 4000u);
    cache.removeWithPrefix("filler");
    EXPECT_FALSE(cache.find("filler8"));
    EXPECT_TRUE(cache.find("a"));
    auto stats = cache.statistics();
    EXPECT_EQ(stats.hits, 3u);
    EXPECT_EQ(stats.misses, 3u);
    EXPECT_EQ(stats.entries, 1u);
}

class ImageManagerTest : public LibraryTest {
  protected:
    ImageRequestOptions synchronous() {
        ImageRequestOptions options;
        options.synchronous = true;
        options.deliveryMode = ImageRequestOptionsDeliveryMode::HighQualityFormat;
        options.resizeMode = ImageRequestOptionsResizeMode::Exact;
        return options;
    }

    struct Delivery {
        image::ImageRef image;
        ImageResultInfo info;
        int calls = 0;
    };
    Delivery request(ImageManager& manager, const AssetRef& target, Size size,
                     ImageContentMode mode, const ImageRequestOptions* options) {
        Delivery delivery;
        manager.requestImageForAsset(target, size, mode, options,
                                     [&](image::ImageRef image, const ImageResultInfo& info) {
                                         delivery.image = std::move(image);
                                         delivery.info = info;
                                         ++delivery.calls;
                                     });
        return delivery;
    }
};

TEST_F(ImageManagerTest, TargetSizeAndContentModeShapeThePicture) {
    std::string identifier = saveOne("", 1, 400, 300);
    ImageManager manager;
    ImageRequestOptions options = synchronous();
    auto fill =
        request(manager, asset(identifier), {100, 100}, ImageContentMode::AspectFill, &options);
    ASSERT_EQ(fill.calls, 1);
    ASSERT_TRUE(fill.image);
    // Covering: the short side is rounded up rather than left a pixel short.
    EXPECT_EQ(fill.image->width(), 134);
    EXPECT_EQ(fill.image->height(), 101);
    EXPECT_FALSE(fill.info.isDegraded);
    EXPECT_FALSE(fill.info.error);

    auto fit =
        request(manager, asset(identifier), {100, 100}, ImageContentMode::AspectFit, &options);
    ASSERT_TRUE(fit.image);
    EXPECT_EQ(fit.image->width(), 100);
    EXPECT_EQ(fit.image->height(), 75);

    auto full = request(manager, asset(identifier), PHImageManagerMaximumSize,
                        ImageContentMode::AspectFit, &options);
    ASSERT_TRUE(full.image);
    EXPECT_EQ(full.image->width(), 400);
    EXPECT_EQ(full.image->height(), 300);
}

TEST_F(ImageManagerTest, OrientationComesWithThePictureAsStored) {
    std::string sideways = saveOne("", 6, 400, 300);
    ImageManager manager;
    ImageRequestOptions options = synchronous();
    // Upright the picture is 300 × 400; fitting 150 × 100 gives 75 × 100 upright, so the
    // stored pixels are 100 × 75.
    auto fit = request(manager, asset(sideways), {150, 100}, ImageContentMode::AspectFit, &options);
    ASSERT_TRUE(fit.image);
    EXPECT_EQ(fit.info.orientation, 6);
    EXPECT_EQ(fit.image->width(), 100);
    EXPECT_EQ(fit.image->height(), 75);

    Bytes data;
    std::string type;
    int orientation = 0;
    manager.requestImageDataAndOrientationForAsset(
        asset(sideways), &options,
        [&](Bytes bytes, const std::string& uti, int dataOrientation, const ImageResultInfo&) {
            data = std::move(bytes);
            type = uti;
            orientation = dataOrientation;
        });
    ASSERT_TRUE(data);
    EXPECT_EQ(*data, makePicture(400, 300, "", 6));
    EXPECT_EQ(type, "public.jpeg");
    EXPECT_EQ(orientation, 6);
}

TEST_F(ImageManagerTest, AsynchronousResultsArriveLaterOnTheMainQueue) {
    std::string identifier = saveOne("", 1, 64, 48);
    ImageManager manager;
    ImageRequestOptions options;  // asynchronous, opportunistic
    bool returned = false, onMain = false;
    Delivery delivery;
    ImageRequestID id = manager.requestImageForAsset(
        asset(identifier), {32, 32}, ImageContentMode::AspectFit, &options,
        [&](image::ImageRef image, const ImageResultInfo& info) {
            EXPECT_TRUE(returned) << "delivered inside the request";
            onMain = RunLoop::isMainThread();
            delivery.image = std::move(image);
            delivery.info = info;
            ++delivery.calls;
        });
    returned = true;
    EXPECT_NE(id, PHInvalidImageRequestID);
    ASSERT_TRUE(waitUntil([&] { return delivery.calls == 1; }));
    EXPECT_TRUE(onMain);
    EXPECT_EQ(delivery.info.requestID, id);
    ASSERT_TRUE(delivery.image);
    EXPECT_EQ(delivery.image->width(), 32);

    // A cancelled request never calls back.
    bool called = false;
    ImageRequestID cancelled = manager.requestImageForAsset(
        asset(identifier), {16, 16}, ImageContentMode::AspectFit, &options,
        [&](image::ImageRef, const ImageResultInfo&) { called = true; });
    manager.cancelImageRequest(cancelled);
    bool later = false;
    manager.requestImageForAsset(asset(identifier), {8, 8}, ImageContentMode::AspectFit, &options,
                                 [&](image::ImageRef, const ImageResultInfo&) { later = true; });
    ASSERT_TRUE(waitUntil([&] { return later; }));
    EXPECT_FALSE(called);

    // Likewise for the file's bytes.
    bool dataCalled = false, dataLater = false;
    ImageRequestID cancelledData = manager.requestImageDataAndOrientationForAsset(
        asset(identifier), &options,
        [&](Bytes, const std::string&, int, const ImageResultInfo&) { dataCalled = true; });
    manager.cancelImageRequest(cancelledData);
    manager.requestImageDataAndOrientationForAsset(
        asset(identifier), &options,
        [&](Bytes, const std::string&, int, const ImageResultInfo&) { dataLater = true; });
    ASSERT_TRUE(waitUntil([&] { return dataLater; }));
    EXPECT_FALSE(dataCalled);
}

TEST_F(ImageManagerTest, ThumbnailsAskedAgainComeFromTheCache) {
    std::string identifier = saveOne("", 1, 640, 480);
    ImageManager manager;
    ImageRequestOptions options = synchronous();
    auto first =
        request(manager, asset(identifier), {100, 100}, ImageContentMode::AspectFill, &options);
    auto second =
        request(manager, asset(identifier), {100, 100}, ImageContentMode::AspectFill, &options);
    ASSERT_TRUE(first.image && second.image);
    EXPECT_EQ(first.image, second.image) << "the same decoded picture, not a second decode";
    auto stats = manager.cacheStatistics();
    EXPECT_EQ(stats.hits, 1u);
    EXPECT_EQ(stats.misses, 1u);

    // A picture asked for once, not to be kept, leaves the cache as it was.
    ImageManager once;
    ImageRequestOptions notKept = synchronous();
    notKept.keepsResultInCache = false;
    auto shown =
        request(once, asset(identifier), {100, 100}, ImageContentMode::AspectFill, &notKept);
    ASSERT_TRUE(shown.image);
    EXPECT_EQ(once.cacheStatistics().entries, 0u);
    auto again =
        request(once, asset(identifier), {100, 100}, ImageContentMode::AspectFill, &options);
    ASSERT_TRUE(again.image);
    EXPECT_EQ(once.cacheStatistics().hits, 0u);
    EXPECT_EQ(once.cacheStatistics().entries, 1u);

    // Ahead-of-time caching: the request that follows finds its picture decoded.
    CachingImageManager caching;
    std::vector<AssetRef> assets{asset(identifier)};
    caching.startCachingImagesForAssets(assets, {60, 60}, ImageContentMode::AspectFill, &options);
    ASSERT_TRUE(waitUntil([&] { return caching.cacheStatistics().entries == 1; }));
    auto preheated =
        request(caching, asset(identifier), {60, 60}, ImageContentMode::AspectFill, &options);
    ASSERT_TRUE(preheated.image);
    EXPECT_EQ(caching.cacheStatistics().hits, 1u);
    caching.stopCachingImagesForAssets(assets, {60, 60}, ImageContentMode::AspectFill, &options);
    EXPECT_EQ(caching.cacheStatistics().entries, 0u);
}

TEST_F(ImageManagerTest, AFileDeletedBehindTheLibrarysBackGivesNoPicture) {
    std::string identifier = saveOne("", 1, 64, 48);
    AssetRef target = asset(identifier);
    fs::remove(library_->store()->originalPath(target->record()));
    ImageManager manager;
    ImageRequestOptions options = synchronous();
    hx::log::CaptureScope log;
    auto missing = request(manager, target, {32, 32}, ImageContentMode::AspectFill, &options);
    EXPECT_EQ(missing.calls, 1);
    EXPECT_FALSE(missing.image);
    ASSERT_TRUE(missing.info.error);
    EXPECT_EQ(missing.info.error->code, PhotosErrorCode::InvalidResource);
    EXPECT_TRUE(log.contains("is missing")) << "the reason is logged";

    // A damaged file, and no asset at all, end the same way.
    saveOne("", 1, 64, 48);
    AssetRef damaged = Asset::fetchAssetsWithOptions(nullptr).lastObject();
    std::string junk = "not a picture any more";
    ASSERT_TRUE(image::writeFileAtomically(library_->store()->originalPath(damaged->record()),
                                           reinterpret_cast<const uint8_t*>(junk.data()),
                                           junk.size(), nullptr));
    EXPECT_FALSE(request(manager, damaged, {32, 32}, ImageContentMode::AspectFit, &options).image);
    auto none = request(manager, nullptr, {32, 32}, ImageContentMode::AspectFit, &options);
    EXPECT_EQ(none.calls, 1);
    EXPECT_FALSE(none.image);
    ASSERT_TRUE(none.info.error);
    EXPECT_EQ(none.info.error->code, PhotosErrorCode::IdentifierNotFound);
}

TEST_F(ImageManagerTest, EditedAssetsShowTheirRenderUnlessTheOriginalIsAsked) {
    std::string identifier = saveOne("", 6, 400, 300);
    ASSERT_TRUE(commitEdit(identifier, makePicture(200, 100)));
    AssetRef edited = asset(identifier);
    ASSERT_TRUE(edited->hasAdjustments());
    EXPECT_EQ(edited->pixelWidth(), 200) << "the render is upright, orientation 1";
    EXPECT_EQ(edited->pixelHeight(), 100);

    ImageManager manager;
    ImageRequestOptions options = synchronous();
    auto current =
        request(manager, edited, PHImageManagerMaximumSize, ImageContentMode::AspectFit, &options);
    ASSERT_TRUE(current.image);
    EXPECT_EQ(current.image->width(), 200);
    EXPECT_EQ(current.info.orientation, 1);
    options.version = ImageRequestOptionsVersion::Original;
    auto original =
        request(manager, edited, PHImageManagerMaximumSize, ImageContentMode::AspectFit, &options);
    ASSERT_TRUE(original.image);
    EXPECT_EQ(original.image->width(), 400);
    EXPECT_EQ(original.info.orientation, 6);
}

}  // namespace
}  // namespace hx::photos::testing
