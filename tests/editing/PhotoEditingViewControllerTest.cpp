// The extension's controller driven as the host drives it, on a real photo file and on an input
// that is not a picture: the preview follows the chosen row, Done writes a JPEG of the upright
// full-size photo with the row as adjustment data, and an input without a picture gets no
// preview and an output with only the adjustment data.

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "editing/FilterAdjustment.h"
#include "editing/PhotoEditingViewController.h"
#include "platform/image/io/ImageSource.h"
#include "platform/photos/editing/ContentEditingInput.h"
#include "platform/photos/editing/ContentEditingOutput.h"
#include "platform/ui/host/QtApplication.h"
#include "tests/platform/photos/PhotosTestSupport.h"
#include "tests/support/TemporaryFolder.h"

namespace hx::editing {
namespace {

// The output Done hands over, waited for on this thread.
std::shared_ptr<photos::ContentEditingOutput> finish(PhotoEditingViewController& controller) {
    std::mutex mutex;
    std::condition_variable changed;
    bool called = false;
    std::shared_ptr<photos::ContentEditingOutput> result;
    controller.finishContentEditingWithCompletionHandler(
        [&](std::shared_ptr<photos::ContentEditingOutput> output) {
            std::lock_guard lock(mutex);
            result = std::move(output);
            called = true;
            changed.notify_all();
        });
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return called; });
    return result;
}

class PhotoEditingViewControllerTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ASSERT_TRUE(ui::ensureQtApplication());
    }
    void SetUp() override { ::setenv("HALIDEX_HOME", folder_.path().c_str(), 1); }

    std::shared_ptr<const photos::ContentEditingInput> inputFor(photos::MediaType type,
                                                                int orientation) {
        const std::string file = folder_.file("photo.jpg");
        const auto bytes = photos::testing::makePicture(40, 30, "", orientation);
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        photos::AssetRecord record;
        record.localIdentifier = "11111111-2222-3333-4444-555555555555/L0/001";
        record.mediaType = type;
        record.orientation = orientation;
        record.pixelWidth = 40;
        record.pixelHeight = 30;
        record.originalTypeIdentifier = "public.jpeg";
        return std::make_shared<photos::ContentEditingInput>(record, file, nullptr);
    }

    testsupport::TemporaryFolder folder_{"hx-editing-controller"};
};

TEST_F(PhotoEditingViewControllerTest, ThePreviewFollowsTheRowAndDoneWritesTheUprightPhoto) {
    auto controller = std::make_shared<PhotoEditingViewController>();
    EXPECT_FALSE(controller->canHandleAdjustmentData(*makeAdjustmentData(3)));
    EXPECT_FALSE(controller->shouldShowCancelConfirmation());
    controller->startContentEditingWithInput(inputFor(photos::MediaType::Image, 6), nullptr);
    auto preview = controller->previewImageView.lock();
    auto grid = controller->collectionView.lock();
    ASSERT_TRUE(preview && grid);
    ASSERT_TRUE(controller->inputImage);
    EXPECT_EQ(preview->image(), controller->inputImage);
    EXPECT_EQ(controller->collectionViewNumberOfItemsInSection(*grid, 0), 10);

    controller->collectionViewDidSelectItemAtIndexPath(*grid, NSIndexPath::indexPathForItem(5, 0));
    EXPECT_EQ(controller->filternumber, 5);
    ASSERT_TRUE(preview->image());
    ASSERT_NE(preview->image(), controller->inputImage);
    // The preview is upright (orientation 6: 30 wide, 40 high) and grey.
    const image::ImageRef& shown = preview->image()->CGImage();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->width(), 30);
    EXPECT_EQ(shown->height(), 40);
    const uint8_t* pixel = shown->row(20) + 4 * 15;
    EXPECT_EQ(pixel[0], pixel[1]);
    EXPECT_EQ(pixel[1], pixel[2]);

    auto output = finish(*controller);
    ASSERT_TRUE(output);
    ASSERT_TRUE(output->adjustmentData());
    EXPECT_EQ(unarchiveFilterRow(output->adjustmentData()->data()), 5);
    auto source = image::ImageSource::createWithURL(output->renderedContentURL());
    ASSERT_TRUE(source);
    EXPECT_EQ(source->type(), "public.jpeg");
    auto written = source->createImageAtIndex(0);
    ASSERT_TRUE(written);
    EXPECT_EQ(written->width(), 30);
    EXPECT_EQ(written->height(), 40);
    std::filesystem::remove(output->renderedContentURL());
}

TEST_F(PhotoEditingViewControllerTest, AnInputWithoutAPictureGetsNoPreviewAndOnlyAdjustmentData) {
    auto controller = std::make_shared<PhotoEditingViewController>();
    controller->startContentEditingWithInput(inputFor(photos::MediaType::Video, 1), nullptr);
    EXPECT_FALSE(controller->inputImage);
    auto grid = controller->collectionView.lock();
    ASSERT_TRUE(grid);
    // Choosing a row renders nothing, since there is nothing to render.
    controller->collectionViewDidSelectItemAtIndexPath(*grid, NSIndexPath::indexPathForItem(7, 0));
    EXPECT_FALSE(controller->previewImageView.lock()->image());
    auto output = finish(*controller);
    ASSERT_TRUE(output);
    EXPECT_EQ(unarchiveFilterRow(output->adjustmentData()->data()), 7);
    EXPECT_FALSE(std::filesystem::exists(output->renderedContentURL()));
}

TEST_F(PhotoEditingViewControllerTest, AMissingPhotoFileEndsDoneWithNothing) {
    auto controller = std::make_shared<PhotoEditingViewController>();
    auto input = inputFor(photos::MediaType::Image, 1);
    controller->startContentEditingWithInput(input, nullptr);
    std::filesystem::remove(input->fullSizeImageURL());
    EXPECT_FALSE(finish(*controller));
    // No input at all (a host that never started the edit) ends with nothing too.
    auto unstarted = std::make_shared<PhotoEditingViewController>();
    EXPECT_FALSE(finish(*unstarted));
}

}  // namespace
}  // namespace hx::editing
