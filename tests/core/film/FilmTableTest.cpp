#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/film/FilmTable.h"
#include "core/film/FrameCrop.h"
#include "platform/bundle/Bundle.h"

namespace {

using namespace hx::film;

TEST(FilmTable, ColourTestIsIndexAboveEight) {
    for (int f = -1; f <= 8; ++f) EXPECT_FALSE(isColorFilm(f)) << f;
    for (int f = 9; f <= 13; ++f) EXPECT_TRUE(isColorFilm(f)) << f;
}

TEST(FilmTable, MonochromeRowsHaveAToneTableColourRowsALookup) {
    EXPECT_EQ(kMonochromeFilmCount, 9);
    for (int f = 0; f < kFilmCount; ++f) {
        const FilmParameters& p = filmParameters(f);
        EXPECT_EQ(p.toneTable == nullptr, isColorFilm(f)) << f;
        EXPECT_EQ(p.lookupImage != nullptr, isColorFilm(f)) << f;
        if (isColorFilm(f)) {
            // Colour films have no grey mix of their own and never soften.
            EXPECT_EQ(p.channelMix, kDefaultChannelMix) << f;
            EXPECT_FALSE(p.soften) << f;
        }
    }
}

TEST(FilmTable, SharpeningAndSofteningAreExclusive) {
    for (int f = 0; f < kFilmCount; ++f) {
        const FilmParameters& p = filmParameters(f);
        EXPECT_FALSE(p.sharpen && p.soften) << f;
        // A strength without the flag would be ignored; film 11 alone has the flag at 0.
        if (!p.sharpen) {
            EXPECT_EQ(p.sharpness, 0.0f) << f;
        } else if (f != 11) {
            EXPECT_GT(p.sharpness, 0.0f) << f;
        }
        EXPECT_LE(p.sharpness, 1.0f) << f;
    }
    EXPECT_TRUE(filmParameters(11).sharpen);
    EXPECT_EQ(filmParameters(11).sharpness, 0.0f);
    for (int f : {6, 7, 8}) EXPECT_TRUE(filmParameters(f).soften) << f;
}

TEST(FilmTable, GreyMixesKeepWhiteWhite) {
    auto sum = [](const ChannelMix& m) { return double(m[0]) + double(m[1]) + double(m[2]); };
    EXPECT_NEAR(sum(kDefaultChannelMix), 1.0, 1e-6);
    for (int f = 0; f < kMonochromeFilmCount; ++f) {
        // Film 4's mix brightens by 1.4 on purpose (the tone table then clips).
        EXPECT_NEAR(sum(filmParameters(f).channelMix), f == 4 ? 1.4 : 1.0, 1e-6) << f;
    }
    // Green dominates the default mix, as it does in the eye's sensitivity.
    EXPECT_GT(kDefaultChannelMix[1], kDefaultChannelMix[0]);
    EXPECT_GT(kDefaultChannelMix[0], kDefaultChannelMix[2]);
}

TEST(FilmTable, EveryToneTableIsUsedAndFilmsDiffer) {
    std::set<const ToneTable*> tables;
    for (int f = 0; f < kMonochromeFilmCount; ++f) tables.insert(filmParameters(f).toneTable);
    EXPECT_EQ(tables.size(), 6u);
    for (int a = 0; a < kFilmCount; ++a)
        for (int b = a + 1; b < kFilmCount; ++b) {
            const FilmParameters &p = filmParameters(a), &q = filmParameters(b);
            const bool same = p.toneTable == q.toneTable && p.channelMix == q.channelMix &&
                              p.sharpen == q.sharpen && p.sharpness == q.sharpness &&
                              p.soften == q.soften &&
                              std::string(p.lookupImage ? p.lookupImage : "") ==
                                  (q.lookupImage ? q.lookupImage : "");
            EXPECT_FALSE(same) << "films " << a << " and " << b << " look the same";
        }
}

TEST(FilmTable, ColourFilmLookupsAreShippedInTheLookupFormat) {
    std::set<std::string> names;
    for (int f = kMonochromeFilmCount; f < kFilmCount; ++f) {
        const char* name = filmParameters(f).lookupImage;
        ASSERT_TRUE(name) << f;
        names.insert(name);
        EXPECT_STREQ(lookupImageForFilm(f), name);
        auto image = hx::Bundle::main().imageNamed(name);
        ASSERT_TRUE(image) << name;
        EXPECT_EQ(image->width(), 512) << name;
        EXPECT_EQ(image->height(), 512) << name;
    }
    EXPECT_EQ(names.size(), 4u);
    EXPECT_STREQ(filmParameters(9).lookupImage, kDefaultLookupImage);
    // Monochrome films and indices outside the table load the default lookup.
    for (int f : {-3, 0, 5, 8, 13}) EXPECT_STREQ(lookupImageForFilm(f), kDefaultLookupImage) << f;
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
