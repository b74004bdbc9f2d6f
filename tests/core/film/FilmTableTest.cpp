#include <gtest/gtest.h>

#include "core/film/FilmTable.h"
#include "core/film/FrameCrop.h"

namespace {

using namespace hx::film;

TEST(FilmTable, ColourTestIsIndexAboveEight) {
    for (int f = -1; f <= 8; ++f) EXPECT_FALSE(isColorFilm(f)) << f;
    for (int f = 9; f <= 13; ++f) EXPECT_TRUE(isColorFilm(f)) << f;
}

TEST(FilmTable, RowsCarryTheirParameters) {
    const auto& f4 = filmParameters(4);
    EXPECT_EQ(f4.toneTable, &toneTableLinear);
    EXPECT_EQ(f4.channelMix, (ChannelMix{0.7086f, 1.6094f, -0.9180f}));
    EXPECT_TRUE(f4.sharpen);
    EXPECT_FLOAT_EQ(f4.sharpness, 0.8f);
    EXPECT_FALSE(f4.soften);

    EXPECT_EQ(filmParameters(0).toneTable, &toneTableStrongS);
    EXPECT_EQ(filmParameters(2).toneTable, &toneTableSoft);
    EXPECT_EQ(filmParameters(5).toneTable, &toneTableHard);
    EXPECT_FLOAT_EQ(filmParameters(5).sharpness, 0.4f);
    EXPECT_EQ(filmParameters(6).toneTable, &toneTableDark);
    EXPECT_EQ(filmParameters(8).toneTable, &toneTableLifted);
    for (int f : {6, 7, 8}) EXPECT_TRUE(filmParameters(f).soften) << f;
    for (int f : {0, 1, 2, 3, 4, 5, 9, 10, 11, 12}) EXPECT_FALSE(filmParameters(f).soften) << f;
}

TEST(FilmTable, MixesSumAsPublished) {
    auto sum = [](int f) {
        const auto& m = filmParameters(f).channelMix;
        return double(m[0]) + double(m[1]) + double(m[2]);
    };
    for (int f : {2, 3, 6}) EXPECT_NEAR(sum(f), 1.0, 1e-6) << f;
    EXPECT_NEAR(sum(4), 1.4, 1e-6);
    EXPECT_NEAR(sum(0), 1.0, 1e-6);
}

TEST(FilmTable, ColourFilmsAndTheirLookups) {
    EXPECT_STREQ(filmParameters(9).lookupImage, "lookup.png");
    EXPECT_STREQ(filmParameters(10).lookupImage, "lookup_3.png");
    EXPECT_STREQ(filmParameters(11).lookupImage, "lookup_4.png");
    EXPECT_STREQ(filmParameters(12).lookupImage, "lookup_5.png");
    EXPECT_TRUE(filmParameters(11).sharpen);
    EXPECT_EQ(filmParameters(11).sharpness, 0.0f);
    for (int f : {9, 10, 12}) EXPECT_FALSE(filmParameters(f).sharpen) << f;
    // The lookup follows the camera's film; monochrome films and film 9 use "lookup.png".
    EXPECT_STREQ(lookupImageForFilm(10), "lookup_3.png");
    EXPECT_STREQ(lookupImageForFilm(11), "lookup_4.png");
    EXPECT_STREQ(lookupImageForFilm(12), "lookup_5.png");
    for (int f : {-3, 0, 5, 8, 9, 13}) EXPECT_STREQ(lookupImageForFilm(f), "lookup.png") << f;
}

void expectCrop(const CropRect& r, int x, int y, int w, int h) {
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.width, w);
    EXPECT_EQ(r.height, h);
}

TEST(FrameCrop, SidewaysPhotoOfTheBackCamera) {
    expectCrop(cropRectForFrame(1, 4032, 3024), 0, 168, 4032, 2688);
    expectCrop(cropRectForFrame(2, 4032, 3024), 504, 0, 3024, 3024);
    expectCrop(cropRectForFrame(3, 4032, 3024), 0, 378, 4032, 2268);
    expectCrop(cropRectForFrame(4, 4032, 3024), 0, 800, 4032, 1423);
}

TEST(FrameCrop, UprightPicture) {
    expectCrop(cropRectForFrame(1, 3024, 4032), 168, 0, 2688, 4032);
    expectCrop(cropRectForFrame(2, 3024, 4032), 0, 504, 3024, 3024);
    expectCrop(cropRectForFrame(4, 3024, 4032), 800, 0, 1423, 4032);
    expectCrop(cropRectForFrame(3, 3024, 4032), 378, 0, 2268, 4032);
}

TEST(FrameCrop, OtherModesKeepEverything) {
    for (int mode : {0, 5, -1, 100})
        expectCrop(cropRectForFrame(mode, 4032, 3024), 0, 0, 4032, 3024);
}

TEST(FrameCrop, NeverReachesOutsideThePicture) {
    // A 16:9 format in the 2:3 frame would keep 2560 rows of 2160: the whole side is kept.
    expectCrop(cropRectForFrame(1, 3840, 2160), 0, 0, 3840, 2160);
    for (int mode = 0; mode <= 5; ++mode)
        for (auto [w, h] :
             {std::pair{1, 1}, {3, 2}, {2, 3}, {1920, 1080}, {1080, 1920}, {17, 4000}}) {
            CropRect r = cropRectForFrame(mode, w, h);
            EXPECT_GE(r.x, 0);
            EXPECT_GE(r.y, 0);
            EXPECT_LE(r.x + r.width, w) << mode << " " << w << "x" << h;
            EXPECT_LE(r.y + r.height, h) << mode << " " << w << "x" << h;
        }
}

}  // namespace
