#include "platform/image/heic/HeifBoxes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../TestImages.h"
#include "platform/image/heic/HeifOrientation.h"

namespace hx::image::heif {
namespace {

using Bytes = std::vector<uint8_t>;
using Kind = TransformStep::Kind;

TEST(HeifOrientationMaths, EveryExifValueSurvivesItsTransformSteps) {
    for (int orientation = 1; orientation <= 8; ++orientation)
        EXPECT_EQ(orientationForTransformSteps(transformStepsForOrientation(orientation)),
                  orientation);
}

TEST(HeifOrientationMaths, OtherWritersOrdersReadAsTheSameOrientation) {
    // Mirroring first and turning afterwards is as valid as the other way round.
    EXPECT_EQ(orientationForTransformSteps({{Kind::Mirror, 0}, {Kind::Rotation, 3}}), 5);
    EXPECT_EQ(orientationForTransformSteps({{Kind::Mirror, 1}, {Kind::Rotation, 3}}), 7);
    EXPECT_EQ(orientationForTransformSteps({{Kind::Rotation, 2}, {Kind::Mirror, 0}}), 2);
    EXPECT_EQ(orientationForTransformSteps({{Kind::Rotation, 1}, {Kind::Rotation, 1}}), 3);
    EXPECT_EQ(orientationForTransformSteps({{Kind::Mirror, 1}, {Kind::Mirror, 1}}), 1);
}

TEST(HeifOrientationMaths, ApplyingASymmetryMovesTheCornersAsExifDescribes) {
    // Corner pixels of a 3 x 2 image get distinct grey values; where the top-left one ends up
    // identifies the symmetry, and the inverse restores the image exactly.
    const ImageRef stored = Image::adopt(PixelFormat::Grey8, 3, 2, Bytes{10, 20, 30, 40, 50, 60});
    struct Case {
        int orientation, width, height, topLeftX, topLeftY;
    };
    const Case cases[] = {{1, 3, 2, 0, 0}, {2, 3, 2, 2, 0}, {3, 3, 2, 2, 1}, {4, 3, 2, 0, 1},
                          {5, 2, 3, 0, 0}, {6, 2, 3, 1, 0}, {7, 2, 3, 1, 2}, {8, 2, 3, 0, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.orientation);
        const Symmetry symmetry = displaySymmetry(c.orientation);
        const ImageRef shown = applySymmetry(stored, symmetry);
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->width(), c.width);
        EXPECT_EQ(shown->height(), c.height);
        EXPECT_EQ(test::pixelAt(*shown, c.topLeftX, c.topLeftY)[0], 10);
        EXPECT_TRUE(test::samePixels(*stored, *applySymmetry(shown, symmetry.inverse())));
    }
}

// Boxes written by hand, for layouts libheif does not produce.
void append(Bytes& out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(uint8_t(value >> (8 * i)));
}

Bytes box(const char* type, const Bytes& payload, uint8_t version = 0xFF, uint32_t flags = 0) {
    Bytes out;
    const bool full = version != 0xFF;
    append(out, 8 + (full ? 4 : 0) + payload.size(), 4);
    out.insert(out.end(), type, type + 4);
    if (full) append(out, uint64_t(version) << 24 | flags, 4);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Bytes kMediaData = {'P', 'I', 'X', 'E', 'L', 'S'};

// ftyp, meta (pitm, iloc, iprp with ispe 64 x 48 and `extraProperties`), mdat. The iloc points
// at the media data either through extent offsets (version 0) or through a base offset with no
// extent offsets (version 1).
Bytes makeFile(const Bytes& extraProperties, int extraAssociations, bool baseOffsetOnly) {
    auto build = [&](uint64_t dataOffset) {
        Bytes iloc;
        if (baseOffsetOnly) {
            append(iloc, 0x04, 1), append(iloc, 0x40, 1);  // no extent offset, 4-byte base
            append(iloc, 1, 2), append(iloc, 1, 2), append(iloc, 0, 2), append(iloc, 0, 2);
            append(iloc, dataOffset, 4), append(iloc, 1, 2), append(iloc, kMediaData.size(), 4);
        } else {
            append(iloc, 0x44, 1), append(iloc, 0x00, 1);
            append(iloc, 1, 2), append(iloc, 1, 2), append(iloc, 0, 2), append(iloc, 1, 2);
            append(iloc, dataOffset, 4), append(iloc, kMediaData.size(), 4);
        }
        Bytes pitm;
        append(pitm, 1, 2);
        Bytes ispe;
        append(ispe, 64, 4), append(ispe, 48, 4);
        Bytes ipma;
        append(ipma, 1, 4), append(ipma, 1, 2), append(ipma, 1 + extraAssociations, 1);
        append(ipma, 0x01, 1);
        for (int i = 0; i < extraAssociations; ++i) append(ipma, 0x80 | (2 + i), 1);
        const Bytes meta = box("meta",
                               box("pitm", pitm, 0) + box("iloc", iloc, baseOffsetOnly ? 1 : 0) +
                                   box("iprp", box("ipco", box("ispe", ispe, 0) + extraProperties) +
                                                   box("ipma", ipma, 0)),
                               0);
        const Bytes ftyp = box("ftyp", Bytes{'h', 'e', 'i', 'c', 0, 0, 0, 0, 'm', 'i', 'f', '1'});
        return ftyp + meta + box("mdat", kMediaData);
    };
    const Bytes draft = build(0);
    return build(draft.size() - kMediaData.size());
}

Bytes mediaDataFoundThroughIloc(const Bytes& file) {
    const Bytes name = {'i', 'l', 'o', 'c'};
    const size_t iloc =
        std::search(file.begin(), file.end(), name.begin(), name.end()) - file.begin();
    // Both layouts put the offset 18 bytes after the box name: version and flags, field sizes,
    // item count and ID, then (data reference, extent count) or (construction method, data
    // reference).
    const size_t field = iloc + 18;
    size_t offset = 0;
    for (int i = 0; i < 4; ++i) offset = offset << 8 | file[field + i];
    return Bytes(file.begin() + offset, file.begin() + offset + kMediaData.size());
}

TEST(HeifBoxes, ReadsSizeAndTransformsOfThePrimaryItem) {
    const Bytes file = makeFile(box("imir", {0}) + box("irot", {3}), 2, false);
    std::string error;
    const auto properties = readPrimaryItemProperties(file.data(), file.size(), &error);
    ASSERT_TRUE(properties) << error;
    EXPECT_EQ(properties->itemId, 1u);
    EXPECT_EQ(properties->width, 64u);
    EXPECT_EQ(properties->height, 48u);
    EXPECT_FALSE(properties->hasCleanAperture);
    EXPECT_EQ(properties->transforms,
              (std::vector<TransformStep>{{Kind::Mirror, 0}, {Kind::Rotation, 3}}));
}

TEST(HeifBoxes, AddingTransformsKeepsItemLocationsPointingAtTheirData) {
    for (const bool baseOffsetOnly : {false, true}) {
        SCOPED_TRACE(baseOffsetOnly ? "base offset" : "extent offset");
        Bytes file = makeFile({}, 0, baseOffsetOnly);
        ASSERT_EQ(mediaDataFoundThroughIloc(file), kMediaData);
        const size_t before = file.size();
        std::string error;
        ASSERT_TRUE(addTransformProperties(file, transformStepsForOrientation(7), &error)) << error;
        EXPECT_EQ(file.size(), before + 2 * 9 + 2);
        EXPECT_EQ(mediaDataFoundThroughIloc(file), kMediaData);
        const auto properties = readPrimaryItemProperties(file.data(), file.size(), &error);
        ASSERT_TRUE(properties) << error;
        EXPECT_EQ(orientationForTransformSteps(properties->transforms), 7);
        EXPECT_EQ(properties->width, 64u);
    }
}

TEST(HeifBoxes, MalformedStructuresAreRefused) {
    std::string error;
    // An association with a property that does not exist.
    const Bytes dangling = makeFile({}, 1, false);
    EXPECT_FALSE(readPrimaryItemProperties(dangling.data(), dangling.size(), &error));
    EXPECT_NE(error.find("missing property"), std::string::npos) << error;

    // A box claiming more bytes than its container holds.
    Bytes overlong = makeFile({}, 0, false);
    overlong[20 + 3] = 0xF0;  // the size of 'meta', right after the 20-byte 'ftyp'
    EXPECT_FALSE(readPrimaryItemProperties(overlong.data(), overlong.size(), &error));
    EXPECT_NE(error.find("does not fit"), std::string::npos) << error;
    Bytes unchanged = overlong;
    EXPECT_FALSE(addTransformProperties(unchanged, transformStepsForOrientation(6), &error));
    EXPECT_EQ(unchanged, overlong);

    // Every truncation is refused or read within bounds; none crashes.
    const Bytes file = makeFile(box("irot", {1}), 1, false);
    for (size_t length = 0; length < file.size(); ++length) {
        Bytes cut(file.begin(), file.begin() + length);
        readPrimaryItemProperties(cut.data(), cut.size(), nullptr);
        addTransformProperties(cut, transformStepsForOrientation(2), nullptr);
    }
}

}  // namespace
}  // namespace hx::image::heif
