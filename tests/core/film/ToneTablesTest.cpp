// The six tone curves of the monochrome films, checked by their shape: every curve maps black
// to black and white to white without ever falling, and each bends the way its film's look
// needs. A few landmarks pin the curves down further.

#include <gtest/gtest.h>

#include <set>

#include "core/film/ToneTables.h"

namespace {

using namespace hx::film;

struct Named {
    const char* name;
    const ToneTable* table;
};
const Named kCurves[] = {
    {"strong S", &toneTableStrongS}, {"soft", &toneTableSoft}, {"lifted", &toneTableLifted},
    {"hard", &toneTableHard},        {"dark", &toneTableDark}, {"linear", &toneTableLinear},
};

// Output rise over inputs [from, to].
int rise(const ToneTable& t, size_t from, size_t to) {
    return int(t[to]) - int(t[from]);
}

TEST(ToneTables, EveryCurveRisesFromBlackToWhite) {
    for (const Named& c : kCurves) {
        const ToneTable& t = *c.table;
        EXPECT_EQ(t[0], 0) << c.name;
        EXPECT_EQ(t[255], 255) << c.name;
        for (size_t i = 1; i < 256; ++i) ASSERT_LE(t[i - 1], t[i]) << c.name << " entry " << i;
    }
}

TEST(ToneTables, CurvesAreSixDifferentLooks) {
    std::set<ToneTable> distinct;
    for (const Named& c : kCurves) distinct.insert(*c.table);
    EXPECT_EQ(distinct.size(), 6u);
}

TEST(ToneTables, LinearIsTheIdentity) {
    for (size_t i = 0; i < 256; ++i) EXPECT_EQ(toneTableLinear[i], i);
}

TEST(ToneTables, StrongSDarkensShadowsAndLightensHighlights) {
    for (size_t i = 0; i < 127; ++i) ASSERT_LE(toneTableStrongS[i], i) << i;
    for (size_t i = 128; i < 256; ++i) ASSERT_GE(toneTableStrongS[i], i) << i;
    // Steeper than the identity through the mid-tones, flat at both ends.
    EXPECT_GT(rise(toneTableStrongS, 96, 160), 2 * 64);
    EXPECT_LT(rise(toneTableStrongS, 0, 32), 8);
    EXPECT_LT(rise(toneTableStrongS, 223, 255), 8);
}

TEST(ToneTables, SoftFlattensTheMidTones) {
    for (size_t i = 0; i < 128; ++i) ASSERT_GE(toneTableSoft[i], i) << i;
    // The curve crosses back below the identity in the upper mid-tones.
    for (size_t i = 160; i < 256; ++i) ASSERT_LE(toneTableSoft[i], i) << i;
    EXPECT_LT(rise(toneTableSoft, 96, 160), 64 / 2);
}

TEST(ToneTables, LiftedRaisesShadowsAndCompressesHighlights) {
    for (size_t i = 0; i < 256; ++i) ASSERT_GE(toneTableLifted[i], i) << i;
    EXPECT_GT(rise(toneTableLifted, 0, 32), 64);
    EXPECT_LT(rise(toneTableLifted, 192, 255), 63 / 2);
}

TEST(ToneTables, HardClipsShadowsThenRisesSteeplyToAFlatShoulder) {
    EXPECT_EQ(toneTableHard[13], 0);
    EXPECT_GT(toneTableHard[14], 0);
    EXPECT_GT(rise(toneTableHard, 16, 64), 3 * 48);
    EXPECT_LT(rise(toneTableHard, 96, 255), 24);
}

TEST(ToneTables, DarkDeepensShadowsAndMidTones) {
    // Below the identity up to the light tones, then a steep climb to white.
    for (size_t i = 0; i < 208; ++i) ASSERT_LE(toneTableDark[i], i) << i;
    EXPECT_LT(toneTableDark[128], 64);
    EXPECT_GT(rise(toneTableDark, 192, 255), 63);
}

TEST(ToneTables, Landmarks) {
    EXPECT_EQ(toneTableStrongS[9], 0);
    EXPECT_EQ(toneTableStrongS[127], 128);
    EXPECT_EQ(toneTableStrongS[245], 255);
    EXPECT_EQ(toneTableDark[128], 33);
    EXPECT_EQ(toneTableDark[188], 128);
    EXPECT_LT(toneTableDark[187], 128);
    EXPECT_LT(toneTableDark[254], 255);
    EXPECT_EQ(toneTableSoft[1], 2);
    EXPECT_EQ(toneTableLifted[250], 255);
}

}  // namespace
