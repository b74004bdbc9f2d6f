// The widget's view drawn by the host's renderer: where the photo and the date go in each
// family, and "no image" where there is nothing to show.

#include <gtest/gtest.h>

#include "platform/widgetkit/WidgetRenderer.h"
#include "tests/widget/WidgetTestSupport.h"
#include "widget/PhotoView.h"
#include "widget/halidexwidget.h"

namespace hx {
namespace {

using namespace photos;
using widget_testing::whiteRows;

class PhotoViewTest : public widget_testing::WidgetLibraryTest {
  protected:
    // An album of one dark photo, so the white date stands out.
    void darkAlbum() {
        auto album = makeAlbum("Halidex Camera");
        std::vector<uint8_t> pixels(size_t(120) * 90 * 3, 20);
        auto image = image::Image::adopt(image::PixelFormat::RGB8, 120, 90, std::move(pixels));
        image::PropertyDictionary properties{
            {image::kCGImagePropertyExifDictionary,
             image::PropertyDictionary{{image::kCGImagePropertyExifDateTimeOriginal,
                                        std::string("2026:03:14 09:26:53")}}}};
        std::vector<uint8_t> bytes;
        auto destination = image::ImageDestination::createWithData(&bytes, "public.png", 1);
        destination->addImage(image, properties);
        ASSERT_TRUE(destination->finalize());
        save({bytes}, album);
    }
    static QImage draw(WidgetFamily family) {
        const halidexwidgetEntryView view(SimpleEntry(Date{0}, ""));
        return WidgetRenderer::renderContent(view, family, 1);
    }
};

TEST_F(PhotoViewTest, SmallFamilyDateLineSitsFourteenPointsAboveTheBottom) {
    darkAlbum();
    const QImage picture = draw(WidgetFamily::systemSmall);
    ASSERT_EQ(picture.size(), QSize(170, 170));
    // The photo fills the widget...
    EXPECT_EQ(qAlpha(picture.pixel(2, 2)), 255);
    EXPECT_LT(qRed(picture.pixel(2, 2)), 60);
    // ...and the date's line is the 14 points above the last 14.
    const auto [first, last] = whiteRows(picture);
    ASSERT_GE(first, 0) << "no date drawn";
    EXPECT_GE(first, 170 - 28 - 3);
    EXPECT_LE(last, 170 - 14 + 3);
}

TEST_F(PhotoViewTest, CircularFamilyDateIsInTheMiddle) {
    darkAlbum();
    const QImage picture = draw(WidgetFamily::accessoryCircular);
    ASSERT_EQ(picture.size(), QSize(76, 76));
    const auto [first, last] = whiteRows(picture);
    ASSERT_GE(first, 0) << "no date drawn";
    EXPECT_NEAR((first + last) / 2.0, 38, 3);
    EXPECT_LT(last - first, 14) << "a 10-point line";
}

TEST_F(PhotoViewTest, NoPhotoShowsNoImageOnBlackAndOtherFamiliesOnlyTheText) {
    // Nothing in the album.
    for (WidgetFamily family : {WidgetFamily::systemSmall, WidgetFamily::accessoryCircular}) {
        const QImage picture = draw(family);
        EXPECT_EQ(picture.pixel(1, picture.height() / 2), qRgba(0, 0, 0, 255))
            << widgetFamilyName(family);
        EXPECT_GE(whiteRows(picture).first, 0) << "the text is white";
    }
    // A family the widget does not offer: the text alone, on nothing.
    darkAlbum();
    const QImage medium = draw(WidgetFamily::systemMedium);
    EXPECT_EQ(qAlpha(medium.pixel(1, 1)), 0);
    EXPECT_LT(whiteRows(medium).first, 0);
}

TEST_F(PhotoViewTest, EachEntryViewPicksItsPhotoOnceHoweverOftenItIsDrawn) {
    albumWith({"2026:01:01 10:00:00", "2026:02:02 10:00:00", "2026:03:03 10:00:00"});
    const halidexwidgetEntryView view(SimpleEntry(Date{0}, ""));
    const QImage first = WidgetRenderer::renderContent(view, WidgetFamily::systemSmall, 1);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(WidgetRenderer::renderContent(view, WidgetFamily::systemSmall, 1), first);
}

}  // namespace
}  // namespace hx
