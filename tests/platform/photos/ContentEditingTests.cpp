// Content-editing input and output: editing an asset, showing the edit, reverting it.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/log/CaptureScope.h"
#include "tests/platform/photos/PhotosTestSupport.h"

namespace hx::photos::testing {
namespace {

namespace fs = std::filesystem;

using ContentEditingTest = LibraryTest;

TEST_F(ContentEditingTest, InputHandsOverTheUneditedOriginal) {
    std::string identifier = saveOne("2023:02:03 04:05:06", 8, 3000, 1000);
    auto input = editingInput(identifier);
    ASSERT_TRUE(input);
    EXPECT_EQ(input->mediaType(), MediaType::Image);
    EXPECT_EQ(input->uniformTypeIdentifier(), "public.jpeg");
    EXPECT_EQ(input->fullSizeImageOrientation(), 8);
    EXPECT_EQ(input->fullSizeImageURL(), library_->store()->originalPath(identifier).value_or("?"));
    EXPECT_FALSE(input->adjustmentData());
    auto display = input->displaySizeImage();
    ASSERT_TRUE(display);
    EXPECT_EQ(display->width(), ContentEditingInput::kDisplaySizeLongSide);
    EXPECT_EQ(display->height(), 683);
    EXPECT_EQ(input->displaySizeImageOrientation(), 8);

    // After an edit the input is still the original; the adjustment data comes along only when
    // the editor says it can continue it.
    ASSERT_TRUE(commitEdit(identifier, makePicture(100, 300), "org.halidex.filter", {7}));
    auto again = editingInput(identifier);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->fullSizeImageURL(), input->fullSizeImageURL());
    EXPECT_FALSE(again->adjustmentData());
    ContentEditingInputRequestOptions options;
    options.canHandleAdjustmentData = [](const AdjustmentData& data) {
        return data.formatIdentifier() == "org.halidex.filter" && data.formatVersion() == "1.0";
    };
    auto continuing = editingInput(identifier, &options);
    ASSERT_TRUE(continuing && continuing->adjustmentData());
    EXPECT_EQ(continuing->adjustmentData()->data(), (std::vector<uint8_t>{7}));
}

TEST_F(ContentEditingTest, CommittedEditShowsRendersKeepsOriginalAndReverts) {
    std::string identifier = saveOne("", 1, 64, 48);
    std::string original = library_->store()->originalPath(identifier).value_or("");
    auto originalBytes = makePicture(64, 48);
    ASSERT_TRUE(commitEdit(identifier, makePicture(32, 32), "org.halidex.filter", {1, 2}));
    AssetRef edited = asset(identifier);
    ASSERT_TRUE(edited->hasAdjustments());
    const AdjustmentRecord& adjustment = *edited->record().adjustment;
    EXPECT_EQ(adjustment.formatIdentifier, "org.halidex.filter");
    EXPECT_EQ(adjustment.formatVersion, "1.0");
    EXPECT_EQ(adjustment.data, (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(edited->pixelWidth(), 32);
    EXPECT_GT(edited->modificationDate(), 0);
    std::string firstRender = library_->store()->renderedPath(edited->record()).value_or("");
    ASSERT_TRUE(fs::exists(firstRender));
    std::vector<uint8_t> kept;
    ASSERT_TRUE(image::readFileContents(original, kept, nullptr));
    EXPECT_EQ(kept, originalBytes) << "the original is untouched";

    // A second edit replaces the first render.
    ASSERT_TRUE(commitEdit(identifier, makePicture(16, 16)));
    AssetRef reedited = asset(identifier);
    EXPECT_EQ(reedited->pixelWidth(), 16);
    EXPECT_GT(reedited->record().revision, edited->record().revision);
    EXPECT_FALSE(fs::exists(firstRender));
    std::string secondRender = library_->store()->renderedPath(reedited->record()).value_or("");

    ASSERT_TRUE(library_->performChangesAndWait([&] {
        AssetChangeRequest::changeRequestForAsset(*reedited)->revertAssetContentToOriginal();
    }));
    AssetRef reverted = asset(identifier);
    EXPECT_FALSE(reverted->hasAdjustments());
    EXPECT_EQ(reverted->pixelWidth(), 64);
    EXPECT_FALSE(fs::exists(secondRender));
    EXPECT_TRUE(fs::exists(original));
}

TEST_F(ContentEditingTest, BadOutputsFailTheWholeChange) {
    std::string first = saveOne("");
    std::string second = saveOne("");
    auto input = editingInput(first);
    ASSERT_TRUE(input);
    hx::log::CaptureScope log;

    auto withoutData = std::make_shared<ContentEditingOutput>(*input);
    auto bytes = makePicture(8, 8);
    ASSERT_TRUE(image::writeFileAtomically(withoutData->renderedContentURL(), bytes.data(),
                                           bytes.size(), nullptr));
    PhotosError error;
    EXPECT_FALSE(library_->performChangesAndWait(
        [&] {
            AssetChangeRequest::changeRequestForAsset(*asset(first))
                ->setContentEditingOutput(withoutData);
        },
        &error));
    EXPECT_EQ(error.localizedDescription, "a content-editing output needs adjustment data");

    auto output = std::make_shared<ContentEditingOutput>(*input);
    output->setAdjustmentData(
        std::make_shared<const AdjustmentData>("f", "1", std::vector<uint8_t>{}));
    EXPECT_NE(output->renderedContentURL(), withoutData->renderedContentURL());
    EXPECT_FALSE(library_->performChangesAndWait(
        [&] {
            AssetChangeRequest::changeRequestForAsset(*asset(first))
                ->setContentEditingOutput(output);
        },
        &error));
    EXPECT_NE(error.localizedDescription.find("cannot be read"), std::string::npos);

    std::string junk = "not a picture";
    ASSERT_TRUE(image::writeFileAtomically(output->renderedContentURL(),
                                           reinterpret_cast<const uint8_t*>(junk.data()),
                                           junk.size(), nullptr));
    EXPECT_FALSE(library_->performChangesAndWait(
        [&] {
            AssetChangeRequest::changeRequestForAsset(*asset(first))
                ->setContentEditingOutput(output);
        },
        &error));
    EXPECT_EQ(error.code, PhotosErrorCode::InvalidResource);

    ASSERT_TRUE(image::writeFileAtomically(output->renderedContentURL(), bytes.data(), bytes.size(),
                                           nullptr));
    EXPECT_FALSE(library_->performChangesAndWait(
        [&] {
            AssetChangeRequest::changeRequestForAsset(*asset(second))
                ->setContentEditingOutput(output);
        },
        &error));
    EXPECT_EQ(error.localizedDescription, "the content-editing output was made for another asset");
    EXPECT_FALSE(asset(first)->hasAdjustments());
    EXPECT_FALSE(asset(second)->hasAdjustments());
    EXPECT_FALSE(fs::exists(fs::path(library_->folder()) / "renders") &&
                 !fs::is_empty(fs::path(library_->folder()) / "renders"));
}

TEST_F(ContentEditingTest, InputOfAMissingOriginalIsAnError) {
    std::string identifier = saveOne("");
    fs::remove(library_->store()->originalPath(identifier).value_or(""));
    hx::log::CaptureScope log;
    ContentEditingInputInfo info;
    EXPECT_FALSE(editingInput(identifier, nullptr, &info));
    ASSERT_TRUE(info.error);
    EXPECT_EQ(info.error->code, PhotosErrorCode::InvalidResource);
    EXPECT_TRUE(log.contains("is missing"));
}

}  // namespace
}  // namespace hx::photos::testing
