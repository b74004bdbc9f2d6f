// The stored thumbnails behind grid-sized image requests: made when a photo or an edit is saved,
// read back instead of the photo by later requests (also from a manager with an empty memory
// cache, as after a start), made again from the photo when missing, and never used for larger
// requests.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/image/io/ImageDestination.h"
#include "platform/image/io/ImageSource.h"
#include "platform/photos/imaging/ThumbnailStore.h"
#include "tests/platform/photos/PhotosTestSupport.h"

namespace hx::photos::testing {
namespace {

namespace fs = std::filesystem;

class ThumbnailStoreTest : public LibraryTest {
  protected:
    image::ImageRef requestOf(const AssetRef& target, Size size) {
        ImageManager manager;  // a fresh memory cache each time
        ImageRequestOptions options;
        options.synchronous = true;
        options.resizeMode = ImageRequestOptionsResizeMode::Exact;
        image::ImageRef result;
        manager.requestImageForAsset(
            target, size, ImageContentMode::AspectFill, &options,
            [&](image::ImageRef image, const ImageResultInfo&) { result = std::move(image); });
        return result;
    }
    std::string thumbnailOf(const AssetRef& target) {
        return thumbnailPath(library_->folder(), target->record(), false);
    }
    // The centre pixel's first channel.
    static int centre(const image::ImageRef& picture) {
        return picture->data()[size_t(picture->height() / 2) * picture->bytesPerRow() +
                               size_t(picture->width() / 2) * 3];
    }
};

TEST_F(ThumbnailStoreTest, GridSizedRequestsComeFromTheStoredThumbnail) {
    auto photo = asset(saveOne("", 1, 1200, 900));
    ASSERT_TRUE(photo);
    const std::string stored = thumbnailOf(photo);
    // Made in the background when the photo was saved; a library without one (the folder lost,
    // or photos saved before the library kept thumbnails) makes it on the first request.
    library_->waitUntilThumbnailsKept();
    EXPECT_TRUE(fs::exists(stored));
    fs::remove(stored);
    auto first = requestOf(photo, {150, 150});
    ASSERT_TRUE(first);
    EXPECT_EQ(first->width(), 200);
    EXPECT_EQ(first->height(), 150);
    ASSERT_TRUE(fs::exists(stored)) << stored;
    auto thumbnail = readThumbnail(stored);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->width(), kThumbnailLongSide);
    EXPECT_EQ(thumbnail->height(), kThumbnailLongSide * 3 / 4);

    // The stored picture is what later requests read, not the photo: a thumbnail painted flat
    // grey comes back grey.
    {
        auto grey = image::Image::adopt(image::PixelFormat::RGB8, 384, 288,
                                        std::vector<uint8_t>(size_t(384) * 288 * 3, 77));
        auto destination = image::ImageDestination::createWithURL(stored, "public.jpeg", 1);
        destination->addImage(grey, {});
        ASSERT_TRUE(destination->finalize());
    }
    auto again = requestOf(photo, {150, 150});
    ASSERT_TRUE(again);
    EXPECT_NEAR(centre(again), 77, 3);
    // Larger than a thumbnail: from the photo itself.
    auto large = requestOf(photo, {600, 600});
    ASSERT_TRUE(large);
    EXPECT_EQ(large->width(), 800);
    EXPECT_GT(std::abs(centre(large) - 77), 20);

    // The cache folder lost: the thumbnail is made again from the photo.
    fs::remove_all(fs::path(stored).parent_path());
    auto remade = requestOf(photo, {150, 150});
    ASSERT_TRUE(remade);
    EXPECT_TRUE(fs::exists(stored));
    EXPECT_GT(std::abs(centre(remade) - 77), 20);
}

TEST_F(ThumbnailStoreTest, EachAssetAndLibraryHasItsOwnThumbnail) {
    auto a = asset(saveOne("", 1, 800, 600));
    auto b = asset(saveOne("", 6, 800, 600));
    ASSERT_TRUE(a && b);
    EXPECT_NE(thumbnailOf(a), thumbnailOf(b));
    EXPECT_NE(thumbnailPath(library_->folder(), a->record(), false),
              thumbnailPath(library_->folder(), a->record(), true));
    EXPECT_NE(thumbnailPath(library_->folder(), a->record(), false),
              thumbnailPath(library_->folder() + "-other", a->record(), false));
    AssetRecord edited = a->record();
    ++edited.revision;
    EXPECT_NE(thumbnailPath(library_->folder(), edited, false), thumbnailOf(a));
    // A thumbnail keeps the photo's stored pixels: the sideways one is stored sideways too.
    ASSERT_TRUE(requestOf(b, {100, 100}));
    auto sideways = readThumbnail(thumbnailOf(b));
    ASSERT_TRUE(sideways);
    EXPECT_GT(sideways->width(), sideways->height());
    // A file that is not a picture is no thumbnail.
    EXPECT_FALSE(makeThumbnail(library_->folder() + "/library.sqlite", thumbnailOf(a) + ".x"));
}

TEST_F(ThumbnailStoreTest, SavesAndEditsKeepTheirThumbnailsAtOnce) {
    const std::string identifier = saveOne("", 1, 1600, 1200);
    library_->waitUntilThumbnailsKept();
    auto photo = asset(identifier);
    ASSERT_TRUE(photo);
    auto original = readThumbnail(thumbnailOf(photo));
    ASSERT_TRUE(original);
    EXPECT_EQ(original->width(), kThumbnailLongSide);
    EXPECT_EQ(original->height(), kThumbnailLongSide * 3 / 4);

    // An edit gets a thumbnail of its own picture, under the asset's new revision.
    auto grey = image::Image::adopt(image::PixelFormat::RGB8, 800, 400,
                                    std::vector<uint8_t>(size_t(800) * 400 * 3, 200));
    std::vector<uint8_t> rendered;
    auto destination = image::ImageDestination::createWithData(&rendered, "public.jpeg", 1);
    destination->addImage(grey, {});
    ASSERT_TRUE(destination->finalize());
    ASSERT_TRUE(commitEdit(identifier, rendered));
    library_->waitUntilThumbnailsKept();
    auto edited = asset(identifier);
    ASSERT_TRUE(edited);
    auto thumbnail = readThumbnail(thumbnailPath(library_->folder(), edited->record(), true));
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->width(), kThumbnailLongSide);
    EXPECT_EQ(thumbnail->height(), kThumbnailLongSide / 2);
    EXPECT_NEAR(centre(thumbnail), 200, 3);
}

}  // namespace
}  // namespace hx::photos::testing
