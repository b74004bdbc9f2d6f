#pragma once
// Shared by the widget tests: the photo library fixture of the library tests with the
// widget's settings (scale 1, a fixed seed), and what a rendering shows.

#include <stdlib.h>
#include <time.h>
#include <QImage>

#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"
#include "platform/widgetkit/Date.h"
#include "platform/widgetkit/SystemRandom.h"
#include "platform/widgetkit/WidgetFamily.h"
#include "tests/platform/photos/PhotosTestSupport.h"

namespace hx::widget_testing {

// Sets TZ for the process and makes the C library read it again.
inline void setTimeZone(const char* zone) {
    ::setenv("TZ", zone, 1);
    ::tzset();
}

class WidgetLibraryTest : public photos::testing::LibraryTest {
  protected:
    void SetUp() override {
        savedZone_ =
            std::getenv("TZ") ? std::optional<std::string>(std::getenv("TZ")) : std::nullopt;
        setTimeZone("UTC");
        widgetEnvironment_.set("LC_ALL", "en_US.UTF-8");
        LibraryTest::SetUp();
        setWidgetScreenScale(1);
        SystemRandom::seed(7);
    }
    void TearDown() override {
        LibraryTest::TearDown();
        if (savedZone_)
            setTimeZone(savedZone_->c_str());
        else
            ::unsetenv("TZ"), ::tzset();
        setWidgetScreenScale(2);
    }

    // An album "Halidex Camera" (or another title) holding new pictures with these Exif dates.
    photos::AssetCollectionRef albumWith(const std::vector<std::string>& exifDates,
                                         const std::string& title = "Halidex Camera",
                                         std::vector<std::string>* identifiers = nullptr) {
        auto album = makeAlbum(title);
        std::vector<std::vector<uint8_t>> pictures;
        for (const std::string& date : exifDates)
            pictures.push_back(
                photos::testing::makePicture(64 + int(pictures.size()) * 8, 48, date));
        auto saved = save(pictures, album);
        if (identifiers) *identifiers = saved;
        return album;
    }

    std::optional<std::string> savedZone_;
    testing::ScopedEnvironment widgetEnvironment_;
};

// The rows of the picture that hold nearly white pixels, first and last; -1 when none do.
inline std::pair<int, int> whiteRows(const QImage& picture) {
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    int first = -1, last = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qRed(p) > 230 && qGreen(p) > 230 && qBlue(p) > 230 && qAlpha(p) > 230) {
                if (first < 0) first = y;
                last = y;
                break;
            }
        }
    }
    return {first, last};
}

}  // namespace hx::widget_testing
