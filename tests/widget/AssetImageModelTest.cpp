// The album photo model against a real library in a temporary folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "platform/log/CaptureScope.h"
#include "platform/photos/store/LibraryStore.h"
#include "tests/widget/WidgetTestSupport.h"
#include "widget/AssetImageModel.h"

namespace hx {
namespace {

using namespace photos;
using widget_testing::WidgetLibraryTest;

class AssetImageModelTest : public WidgetLibraryTest {
  protected:
    // The pixel width of the picture the model loaded, which tells the test pictures apart
    // (64, 72, 80, ... pixels wide; the model keeps the middle square, so its side is the
    // height, 48, for all: the width of the source shows only through the date).
    static std::string stampOf(const AssetImageModel& model) {
        return model.assetTimeStamp().value_or("<none>");
    }
};

TEST_F(AssetImageModelTest, NoPictureWithoutFullPhotoAccess) {
    albumWith({"2026:03:14 09:26:53"});
    for (auto status : {AuthorizationStatus::Denied, AuthorizationStatus::Limited,
                        AuthorizationStatus::Restricted, AuthorizationStatus::NotDetermined}) {
        ASSERT_TRUE(LibraryAuthorization::set(library_->folder(), status));
        const AssetImageModel model;
        EXPECT_FALSE(model.assetImage()) << LibraryAuthorization::word(status);
        EXPECT_FALSE(model.assetTimeStamp()) << LibraryAuthorization::word(status);
    }
    ASSERT_TRUE(LibraryAuthorization::set(library_->folder(), AuthorizationStatus::Authorized));
    EXPECT_TRUE(AssetImageModel().assetImage());
}

TEST_F(AssetImageModelTest, NoPictureWithoutTheAlbumOrWithAnEmptyOne) {
    saveOne("2026:03:14 09:26:53");  // in the library, in no album
    albumWith({"2026:03:14 09:26:53"}, "Holidays");
    EXPECT_FALSE(AssetImageModel().assetImage());
    makeAlbum("Halidex Camera");
    const AssetImageModel model;
    EXPECT_FALSE(model.assetImage());
    EXPECT_FALSE(model.assetTimeStamp());
}

TEST_F(AssetImageModelTest, AnAlbumOfOnePhotoAlwaysShowsItWithItsDate) {
    albumWith({"2026:03:14 09:26:53"});
    for (int i = 0; i < 5; ++i) {
        const AssetImageModel model;
        ASSERT_TRUE(model.assetImage());
        // A small square at 100 points (scale 1 here), never larger than the photo.
        EXPECT_EQ(model.assetImage()->CGImage()->width(), model.assetImage()->CGImage()->height());
        EXPECT_LE(model.assetImage()->size().width, AssetImageModel::kSidePoints);
        EXPECT_EQ(stampOf(model), "Sat, Mar 14, 2026");
    }
}

TEST_F(AssetImageModelTest, TheImageIsRequestedAtOneHundredPointsOfTheScreensScale) {
    // A large photo: the picture is decoded down to 100 points, 200 pixels at scale 2.
    auto album = makeAlbum("Halidex Camera");
    save({photos::testing::makePicture(900, 600, "2026:03:14 09:26:53")}, album);
    setWidgetScreenScale(2);
    const AssetImageModel model;
    ASSERT_TRUE(model.assetImage());
    EXPECT_EQ(model.assetImage()->CGImage()->height(), 200);
    EXPECT_EQ(model.assetImage()->CGImage()->width(), 200);
    EXPECT_DOUBLE_EQ(model.assetImage()->size().width, 100);
}

TEST_F(AssetImageModelTest, AlbumsOfTheSameTitleShareOnePool) {
    albumWith({"2026:01:01 10:00:00"});
    albumWith({"2026:02:02 10:00:00"});
    albumWith({"2026:05:05 10:00:00"}, "Other");
    std::set<std::string> seen;
    for (int i = 0; i < 40; ++i) seen.insert(stampOf(AssetImageModel()));
    EXPECT_EQ(seen, (std::set<std::string>{"Thu, Jan 1, 2026", "Mon, Feb 2, 2026"}));
}

TEST_F(AssetImageModelTest, APhotoDeletedBehindTheLibrarysBackIsPassedOver) {
    std::vector<std::string> identifiers;
    albumWith({"2026:01:01 10:00:00", "2026:02:02 10:00:00"}, "Halidex Camera", &identifiers);
    ASSERT_EQ(identifiers.size(), 2u);
    const auto gone = library_->store()->originalPath(identifiers[0]);
    ASSERT_TRUE(gone);
    ASSERT_TRUE(std::filesystem::remove(*gone));
    log::CaptureScope capture;
    for (int i = 0; i < 10; ++i) EXPECT_EQ(stampOf(AssetImageModel()), "Mon, Feb 2, 2026");

    // With no readable photo left, no picture and no date.
    const auto second = library_->store()->originalPath(identifiers[1]);
    ASSERT_TRUE(second);
    ASSERT_TRUE(std::filesystem::remove(*second));
    const AssetImageModel model;
    EXPECT_FALSE(model.assetImage());
    EXPECT_FALSE(model.assetTimeStamp());
}

TEST_F(AssetImageModelTest, TheDateIsTheDayWhereThePersonIs) {
    // Taken at 02:00 UTC on New Year's Day (the Exif date is read in the zone of the import);
    // in New York it was still the last day of the old year.
    albumWith({"2026:01:01 02:00:00"});
    widget_testing::setTimeZone("America/New_York");
    EXPECT_EQ(stampOf(AssetImageModel()), "Wed, Dec 31, 2025");
    widget_testing::setTimeZone("Asia/Tokyo");
    EXPECT_EQ(stampOf(AssetImageModel()), "Thu, Jan 1, 2026");
}

TEST_F(AssetImageModelTest, TheDateFollowsTheLocalesOrderOfFields) {
    albumWith({"2026:03:14 09:26:53"});
    widgetEnvironment_.set("LC_ALL", "de_DE.UTF-8");
    EXPECT_EQ(stampOf(AssetImageModel()), "Sa., 14. März 2026");
    widgetEnvironment_.set("LC_ALL", "C");
    EXPECT_EQ(stampOf(AssetImageModel()), "Sat, Mar 14, 2026");
}

}  // namespace
}  // namespace hx
