// The tone tables must match the published curves byte for byte: a stored photo's look
// depends on every entry.

#include <gtest/gtest.h>

#include <string>

#include "core/film/ToneTables.h"

namespace {

struct Expected {
    const char* name;
    const hx::film::ToneTable* table;
    const char* hex;  // 256 entries, two hex digits each
};

const Expected kExpected[] = {
    {"toneTableStrongS", &hx::film::toneTableStrongS,
     "0000000000000000000001010101010101010101010102020202020202020303"
     "03030303040404040505050506060607070708080809090a0a0a0b0b0c0d0d0e"
     "0e0f1010111213131415161718191a1b1c1d1e20212224252628292b2d2e3032"
     "343537393b3d3f424446484b4d4f525457595c5e616466696c6f7174777a7d80"
     "8285888b8e909396999b9ea1a3a6a8abadb0b2b5b7b9bbbec0c2c4c6c8cacbcd"
     "cfd1d2d4d6d7d9dadbdddedfe1e2e3e4e5e6e7e8e9eaebecededeeefeff0f1f1"
     "f2f3f3f4f4f5f5f6f6f6f7f7f8f8f8f9f9f9f9fafafafafbfbfbfbfcfcfcfcfc"
     "fcfdfdfdfdfdfdfdfdfefefefefefefefefefefefeffffffffffffffffffffff"},
    {"toneTableSoft", &hx::film::toneTableSoft,
     "00020406080a0c0e10121416181a1c1e1f21232527292a2c2e2f313334363839"
     "3b3c3e3f414244454648494b4c4d4f5051525355565758595a5c5d5e5f606162"
     "63646566676868696a6b6c6d6e6e6f7071717273747475767677787879797a7b"
     "7b7c7c7d7d7e7e7f7f8080818182828383848484858586868687878888888989"
     "8a8a8a8b8b8b8c8c8c8d8d8e8e8e8f8f8f909090919192929293939494949595"
     "969696979798989999999a9a9b9b9c9c9d9d9e9f9fa0a0a1a1a2a3a3a4a5a5a6"
     "a7a7a8a9a9aaabacacadaeafb0b1b1b2b3b4b5b6b7b8b9babcbdbebfc0c1c3c4"
     "c5c7c8cacbcdced0d1d3d4d6d8dadcdddfe1e3e5e7e9ebeef0f2f4f6f8fbfdff"},
    {"toneTableLifted", &hx::film::toneTableLifted,
     "0004090d11151a1e22262a2e3235393d4044474a4d505355585a5c5e60626364"
     "6566676869696a6a6b6b6c6d6e6e6f70717273757677787a7b7c7e7f80828385"
     "8688898b8c8e8f909293959697999a9c9d9ea0a1a2a4a5a6a8a9aaabadaeafb0"
     "b1b3b4b5b6b7b9babbbcbdbebfc0c1c2c3c4c5c6c7c8c9cacbcccdcecfd0d1d2"
     "d3d3d4d5d6d7d7d8d9dadbdbdcdddddedfdfe0e1e1e2e3e3e4e4e5e6e6e7e7e8"
     "e8e9e9eaeaebebececededeeeeeeefeff0f0f0f1f1f1f2f2f2f3f3f3f4f4f4f5"
     "f5f5f5f6f6f6f7f7f7f7f7f8f8f8f8f9f9f9f9f9fafafafafafafbfbfbfbfbfb"
     "fcfcfcfcfcfcfcfcfdfdfdfdfdfdfdfdfdfefefefefefefefefeffffffffffff"},
    {"toneTableHard", &hx::film::toneTableHard,
     "0000000000000000000000000000010203040507080a0c0e1113161a1d212529"
     "2e32373c42474d52585e646a6f757b81878d92989da3a8adb1b6babec2c6c9cc"
     "cfd2d5d7dadcdedfe1e3e4e5e6e7e8e9eaebebecececededededeeeeeeeeeeee"
     "efefefefefeff0f0f0f0f0f0f0f1f1f1f1f1f1f1f2f2f2f2f2f2f2f2f3f3f3f3"
     "f3f3f3f3f4f4f4f4f4f4f4f4f4f5f5f5f5f5f5f5f5f5f6f6f6f6f6f6f6f6f6f6"
     "f7f7f7f7f7f7f7f7f7f7f8f8f8f8f8f8f8f8f8f8f8f9f9f9f9f9f9f9f9f9f9f9"
     "fafafafafafafafafafafafbfbfbfbfbfbfbfbfbfbfbfbfcfcfcfcfcfcfcfcfc"
     "fcfcfdfdfdfdfdfdfdfdfdfdfdfdfefefefefefefefefefefefeffffffffffff"},
    {"toneTableDark", &hx::film::toneTableDark,
     "0000000000000000010101010101010101010101010202020202020202020202"
     "0303030303030303030404040404040405050505050505060606060607070707"
     "070808080808090909090a0a0a0a0b0b0b0b0c0c0c0d0d0d0e0e0e0f0f0f1010"
     "1011111212121313141415151516161717181819191a1a1b1c1c1d1d1e1f1f20"
     "2121222323242526272728292a2b2c2d2e2f3031323334363738393a3c3d3e40"
     "4143444648494b4d4f50525456595b5d5f626467696c6f7274777a7d8084878a"
     "8d9093979a9da0a4a7aaadb0b3b6b9bcbfc2c5c8cacdcfd2d4d6d9dbdddfe0e2"
     "e4e5e7e8eaebeceeeff0f1f2f3f4f5f5f6f7f8f8f9fafafbfbfcfcfdfdfefeff"},
};

std::vector<uint8_t> fromHex(const std::string& hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

TEST(ToneTables, MatchTheCurvesByteForByte) {
    for (const Expected& e : kExpected) {
        std::vector<uint8_t> expected = fromHex(e.hex);
        ASSERT_EQ(expected.size(), 256u) << e.name;
        for (size_t i = 0; i < 256; ++i)
            ASSERT_EQ((*e.table)[i], expected[i]) << e.name << " entry " << i;
    }
}

TEST(ToneTables, LinearIsTheIdentity) {
    for (int i = 0; i < 256; ++i) EXPECT_EQ(hx::film::toneTableLinear[size_t(i)], i);
}

TEST(ToneTables, EveryCurveRisesFromBlackToWhite) {
    for (const Expected& e : kExpected) {
        const auto& t = *e.table;
        EXPECT_EQ(t[0], 0) << e.name;
        EXPECT_EQ(t[255], 255) << e.name;
        for (size_t i = 1; i < 256; ++i) ASSERT_LE(t[i - 1], t[i]) << e.name << " entry " << i;
    }
}

TEST(ToneTables, LandmarksOfEachCurve) {
    using namespace hx::film;
    EXPECT_EQ(toneTableStrongS[9], 0);
    EXPECT_EQ(toneTableStrongS[127], 128);
    EXPECT_EQ(toneTableStrongS[245], 255);
    EXPECT_EQ(toneTableHard[13], 0);
    EXPECT_GT(toneTableHard[14], 0);
    EXPECT_EQ(toneTableDark[128], 33);
    EXPECT_EQ(toneTableDark[188], 128);
    EXPECT_LT(toneTableDark[187], 128);
    EXPECT_LT(toneTableDark[254], 255);
}

}  // namespace
