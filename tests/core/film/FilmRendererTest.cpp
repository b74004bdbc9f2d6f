// The film renderer through the CPU GPU backend: film state, full-resolution renders and
// read-back, compared with plain scalar references.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "core/film/FilmRenderer.h"
#include "platform/bundle/Bundle.h"
#include "platform/image/PixelConversion.h"

namespace {

using namespace hx;
using film::hxFilmRenderer;
using film::OfflineVariant;
using film::PhotoOutput;

using PixelFn = std::function<std::array<uint8_t, 3>(int x, int y)>;  // r, g, b

gpu::PixelBufferRef makePhoto(int width, int height, const PixelFn& pixel) {
    gpu::PixelBufferRef buffer;
    EXPECT_EQ(gpu::PixelBuffer::create(size_t(width), size_t(height), gpu::PixelFormatType32BGRA,
                                       {true, true, true}, &buffer),
              gpu::VideoStatusSuccess);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = buffer->baseAddress() + size_t(y) * buffer->bytesPerRow();
        for (int x = 0; x < width; ++x) {
            auto [r, g, b] = pixel(x, y);
            row[x * 4 + 0] = b;
            row[x * 4 + 1] = g;
            row[x * 4 + 2] = r;
            row[x * 4 + 3] = 255;
        }
    }
    return buffer;
}

// A busy but smooth colour pattern.
std::array<uint8_t, 3> pattern(int x, int y) {
    return {uint8_t((x * 7 + y * 3) % 256), uint8_t((x * 2 + y * 5 + 40) % 256),
            uint8_t((x * x + y * 11) % 256)};
}

std::array<uint8_t, 4> pixelOf(const image::Image& image, int x, int y) {
    const uint8_t* p = image.row(y) + size_t(x) * image.bytesPerPixel();
    if (image.pixelFormat() == image::PixelFormat::Grey8) return {p[0], p[0], p[0], 255};
    // BGRA in memory
    return {p[2], p[1], p[0], p[3]};
}

int scalarGrey(const film::ChannelMix& mix, std::array<uint8_t, 3> rgb) {
    double v = double(mix[0]) * rgb[0] + double(mix[1]) * rgb[1] + double(mix[2]) * rgb[2];
    return std::clamp(int(std::lround(v)), 0, 255);
}

class FilmRendererTest : public ::testing::Test {
  protected:
    void useFilm(int film) { renderer.selectFilm(film); }
    void setup(int width, int height) {
        renderer._photoWidth = width;
        renderer._photoHeight = height;
        renderer.setupOfflineWidth(width, height);
    }
    std::vector<uint8_t> textureBytes(const gpu::TextureRef& texture) {
        std::vector<uint8_t> bytes(texture->width() * texture->height() *
                                   gpu::bytesPerPixel(texture->pixelFormat()));
        texture->getBytes(bytes.data(), 0,
                          gpu::Region::make2D(0, 0, texture->width(), texture->height()), 0);
        return bytes;
    }
    hxFilmRenderer renderer;
};

// ---- film state

TEST_F(FilmRendererTest, MonochromeFilmWritesItsRow) {
    useFilm(4);
    EXPECT_EQ(renderer.contrastTable, film::toneTableLinear);
    EXPECT_EQ(renderer.channelMixerValue, (film::ChannelMix{0.7086f, 1.6094f, -0.9180f}));
    EXPECT_TRUE(renderer._sharpFlag);
    EXPECT_FLOAT_EQ(renderer._currentSharpness, 0.8f);
    EXPECT_FALSE(renderer._blurFlag);
    ASSERT_TRUE(renderer.contrastTexture);
    EXPECT_EQ(renderer.contrastTexture->textureType(), gpu::TextureType::Type1D);
    EXPECT_EQ(renderer.contrastTexture->pixelFormat(), gpu::PixelFormat::R8Unorm);
    EXPECT_EQ(renderer.contrastTexture->width(), 256u);
    auto bytes = textureBytes(renderer.contrastTexture);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), film::toneTableLinear.begin()));
}

TEST_F(FilmRendererTest, ColourFilmLeavesTheToneTableAlone) {
    useFilm(0);
    gpu::TextureRef toneTexture = renderer.contrastTexture;
    for (int film = 9; film <= 12; ++film) {
        renderer.changeToneCurve(film);
        EXPECT_EQ(renderer.contrastTable, film::toneTableStrongS) << film;
        EXPECT_EQ(renderer.contrastTexture, toneTexture) << film;
        EXPECT_EQ(renderer.channelMixerValue, film::kDefaultChannelMix) << film;
        EXPECT_FALSE(renderer._blurFlag);
    }
}

TEST_F(FilmRendererTest, LookupFollowsTheCameraFilm) {
    auto lookupOf = [&](const char* name) {
        auto image = image::convert(Bundle::main().imageNamed(name), image::PixelFormat::RGBA8);
        EXPECT_TRUE(image) << name;
        std::vector<uint8_t> bytes(512 * 512 * 4);
        for (int y = 0; y < 512 && image; ++y)
            std::memcpy(&bytes[size_t(y) * 2048], image->row(y), 2048);
        return bytes;
    };
    const char* names[] = {"lookup.png", "lookup_3.png", "lookup_4.png", "lookup_5.png"};
    for (int film = 9; film <= 12; ++film) {
        useFilm(film);
        ASSERT_TRUE(renderer.lookup2DTexture);
        EXPECT_EQ(renderer.lookup2DTexture->width(), 512u);
        EXPECT_EQ(textureBytes(renderer.lookup2DTexture), lookupOf(names[film - 9])) << film;
        EXPECT_EQ(renderer.missingFilmResource(), "") << film;
    }
    // Applying another colour film without making it the camera's keeps the camera's lookup.
    renderer._currentFilm = 9;
    renderer.changeToneCurve(10);
    EXPECT_EQ(textureBytes(renderer.lookup2DTexture), lookupOf("lookup.png"));
    // Monochrome films load the first lookup, which their passes do not read.
    useFilm(3);
    EXPECT_EQ(textureBytes(renderer.lookup2DTexture), lookupOf("lookup.png"));
    EXPECT_NE(lookupOf("lookup.png"), lookupOf("lookup_3.png"));
}

TEST_F(FilmRendererTest, FilmElevenSharpensWithStrengthZeroOthersFollowTheirRow) {
    useFilm(11);
    EXPECT_TRUE(renderer._sharpFlag);
    EXPECT_EQ(renderer._currentSharpness, 0.0f);
    // A re-filter with a monochrome film while the camera is on film 11 keeps its sharpen flag
    // with the monochrome film's strength; the picture is that film's.
    renderer.changeToneCurve(1);
    EXPECT_TRUE(renderer._sharpFlag);
    EXPECT_EQ(renderer._currentSharpness, film::filmParameters(1).sharpness);
    for (int film : {9, 10, 12}) {
        useFilm(film);
        EXPECT_FALSE(renderer._sharpFlag) << film;
    }
}

TEST_F(FilmRendererTest, RendererPicksTheVariantOfTheFilmApplied) {
    for (int film = 0; film < film::kFilmCount; ++film) {
        useFilm(film);
        const bool color = film::isColorFilm(film);
        EXPECT_EQ(renderer.offlineVariant(PhotoOutput::Compressed),
                  color ? OfflineVariant::Color : OfflineVariant::Mono)
            << film;
        EXPECT_EQ(renderer.offlineVariant(PhotoOutput::HEIC),
                  color ? OfflineVariant::Color : OfflineVariant::MonoHEIC)
            << film;
    }
}

TEST_F(FilmRendererTest, SameFilmTwiceGivesTheSameStateAndTextures) {
    useFilm(6);
    auto tone = textureBytes(renderer.contrastTexture);
    auto lookup = textureBytes(renderer.lookup2DTexture);
    auto mix = renderer.channelMixerValue;
    useFilm(6);
    EXPECT_EQ(textureBytes(renderer.contrastTexture), tone);
    EXPECT_EQ(textureBytes(renderer.lookup2DTexture), lookup);
    EXPECT_EQ(renderer.channelMixerValue, mix);
    EXPECT_TRUE(renderer._blurFlag);
    EXPECT_EQ(renderer.contrastTable, film::toneTableDark);
}

TEST_F(FilmRendererTest, NegativeFilmOnlyResets) {
    useFilm(5);
    renderer.changeToneCurve(-1);
    EXPECT_EQ(renderer.contrastTable, film::toneTableHard);  // unchanged
    EXPECT_FALSE(renderer._sharpFlag);
    EXPECT_EQ(renderer._currentSharpness, 0.0f);
    EXPECT_EQ(renderer.channelMixerValue, film::kDefaultChannelMix);
}

// ---- full-resolution render

TEST_F(FilmRendererTest, MonochromeJpegPathReadsBackGrey) {
    const int w = 96, h = 64;
    setup(w, h);
    useFilm(1);  // linear tone, default mix: the grey is the plain mix
    auto photo = makePhoto(w, h, pattern);
    auto grey = renderer.renderPhoto(photo);
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->pixelFormat(), image::PixelFormat::Grey8);
    EXPECT_EQ(grey->width(), w);
    EXPECT_EQ(grey->height(), h);
    for (int y = 0; y < h; y += 5)
        for (int x = 0; x < w; x += 3)
            ASSERT_NEAR(grey->row(y)[x], scalarGrey(film::kDefaultChannelMix, pattern(x, y)), 1)
                << x << "," << y;

    // The same film for HEIC output reads back in colour with three equal channels.
    auto color = renderer.renderPhoto(photo, PhotoOutput::HEIC);
    ASSERT_TRUE(color);
    EXPECT_EQ(color->pixelFormat(), image::PixelFormat::BGRA8);
    for (int y = 0; y < h; y += 7)
        for (int x = 0; x < w; x += 5) {
            auto p = pixelOf(*color, x, y);
            ASSERT_EQ(p[0], p[1]);
            ASSERT_EQ(p[1], p[2]);
            ASSERT_EQ(p[0], grey->row(y)[x]);
            ASSERT_EQ(p[3], 255);
        }
}

TEST_F(FilmRendererTest, ToneTableAndClampedMixMatchTheScalarReference) {
    const int w = 80, h = 48;
    setup(w, h);
    auto photo = makePhoto(w, h, pattern);
    for (int film : {0, 2, 4 /* mix sums to 1.4 and has a negative weight */}) {
        useFilm(film);
        if (film == 4) renderer._sharpFlag = false;  // compare the mix alone
        auto grey = renderer.renderPhoto(photo);
        ASSERT_TRUE(grey);
        const auto& table = *film::filmParameters(film).toneTable;
        for (int y = 0; y < h; y += 3)
            for (int x = 0; x < w; x += 3) {
                int g = scalarGrey(renderer.channelMixerValue, pattern(x, y));
                int lo = table[size_t(std::max(g - 1, 0))],
                    hi = table[size_t(std::min(g + 1, 255))];
                ASSERT_GE(grey->row(y)[x], lo) << "film " << film << " at " << x << "," << y;
                ASSERT_LE(grey->row(y)[x], hi) << "film " << film << " at " << x << "," << y;
            }
    }
}

TEST_F(FilmRendererTest, SharpeningKeepsFlatAreasAndLiftsEdges) {
    const int w = 64, h = 32;
    setup(w, h);
    useFilm(3);  // strong S, sharpened 0.8
    // Left half dark grey, right half light grey.
    auto photo = makePhoto(w, h, [](int x, int) -> std::array<uint8_t, 3> {
        uint8_t v = x < 32 ? 100 : 150;
        return {v, v, v};
    });
    auto grey = renderer.renderPhoto(photo);
    ASSERT_TRUE(grey);
    const auto& t = film::toneTableStrongS;
    const int dark = t[100], light = t[150];
    EXPECT_EQ(grey->row(10)[5], dark);
    EXPECT_EQ(grey->row(10)[60], light);
    // Across the edge the dark side dips and the light side overshoots by strength × step.
    const int step = light - dark;
    EXPECT_NEAR(grey->row(10)[31], std::clamp(dark - int(std::lround(0.8 * step)), 0, 255), 1);
    EXPECT_NEAR(grey->row(10)[32], std::clamp(light + int(std::lround(0.8 * step)), 0, 255), 1);
    // Picture edges clamp instead of darkening.
    EXPECT_EQ(grey->row(0)[0], dark);
    EXPECT_EQ(grey->row(h - 1)[w - 1], light);
}

TEST_F(FilmRendererTest, SofteningFilmsRunThePrePass) {
    const int w = 48, h = 48;
    setup(w, h);
    auto photo = makePhoto(w, h, [](int x, int y) -> std::array<uint8_t, 3> {
        uint8_t v = (x == 24 && y == 24) ? 255 : 0;  // one bright point
        return {v, v, v};
    });
    auto preBytes = [&] { return textureBytes(renderer.offlinePreTexture); };
    const auto untouched = preBytes();
    useFilm(1);
    ASSERT_TRUE(renderer.renderPhoto(photo));
    EXPECT_EQ(preBytes(), untouched) << "a film without softening must not draw the pre-pass";

    useFilm(7);
    auto grey = renderer.renderPhoto(photo);
    ASSERT_TRUE(grey);
    EXPECT_NE(preBytes(), untouched);
    // The point spreads symmetrically and fades with distance.
    const auto& t = film::toneTableStrongS;
    EXPECT_LT(grey->row(24)[24], t[255]);
    EXPECT_GT(grey->row(24)[24], grey->row(24)[25]);
    EXPECT_EQ(grey->row(24)[23], grey->row(24)[25]);
    EXPECT_EQ(grey->row(23)[24], grey->row(25)[24]);
    EXPECT_EQ(grey->row(0)[0], t[0]);
}

TEST_F(FilmRendererTest, FrameModesCropTheBackCameraPhoto) {
    const int w = 4032, h = 3024;
    setup(w, h);
    useFilm(1);
    // Grey levels that tell rows and columns apart.
    auto photo = makePhoto(w, h, [](int x, int y) -> std::array<uint8_t, 3> {
        uint8_t v = uint8_t((x + y * 7) % 251);
        return {v, v, v};
    });
    auto expected = [](int x, int y) { return (x + y * 7) % 251; };

    renderer._currentFrame = 1;
    auto twoThree = renderer.renderPhoto(photo);
    ASSERT_TRUE(twoThree);
    EXPECT_EQ(twoThree->width(), 4032);
    EXPECT_EQ(twoThree->height(), 2688);
    EXPECT_EQ(twoThree->row(0)[0], expected(0, 168));
    EXPECT_EQ(twoThree->row(2687)[4031], expected(4031, 168 + 2687));

    renderer._currentFrame = 2;
    auto square = renderer.renderPhoto(photo, PhotoOutput::HEIC);
    ASSERT_TRUE(square);
    EXPECT_EQ(square->width(), 3024);
    EXPECT_EQ(square->height(), 3024);
    EXPECT_EQ(pixelOf(*square, 0, 0)[0], expected(504, 0));
    EXPECT_EQ(pixelOf(*square, 3023, 3023)[0], expected(504 + 3023, 3023));

    renderer._currentFrame = 7;
    auto whole = renderer.renderPhoto(photo);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->width(), 4032);
    EXPECT_EQ(whole->height(), 3024);
}

TEST_F(FilmRendererTest, FrontCameraPhotosAreMirroredTopToBottom) {
    const int w = 32, h = 16;
    setup(w, h);
    useFilm(1);
    auto photo = makePhoto(w, h, [](int x, int y) -> std::array<uint8_t, 3> {
        uint8_t v = uint8_t(y * 16 + x % 8);
        return {v, v, v};
    });
    renderer._currentCameraPosition = 2;
    auto front = renderer.renderPhoto(photo);
    ASSERT_TRUE(front);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(front->row(y)[x], (h - 1 - y) * 16 + x % 8);
    renderer._currentCameraPosition = 1;
    auto back = renderer.renderPhoto(photo);
    EXPECT_EQ(back->row(0)[3], 3);
}

TEST_F(FilmRendererTest, ColourFilmMatchesTrilinearLookup) {
    const int w = 67, h = 40;  // not a multiple of 8: vector and portable paths both run
    setup(w, h);
    useFilm(10);
    auto photo = makePhoto(w, h, pattern);
    auto color = renderer.renderPhoto(photo);
    ASSERT_TRUE(color);
    auto lookup =
        image::convert(Bundle::main().imageNamed("lookup_3.png"), image::PixelFormat::RGBA8);
    ASSERT_TRUE(lookup);
    auto entry = [&](int r, int g, int b, int c) {
        int x = (b % 8) * 64 + r, y = (b / 8) * 64 + g;
        return double(lookup->row(y)[x * 4 + c]);
    };
    for (int y = 0; y < h; y += 3)
        for (int x = 0; x < w; x += 3) {
            auto rgb = pattern(x, y);
            double p[3], f[3];
            int i0[3], i1[3];
            for (int c = 0; c < 3; ++c) {
                p[c] = rgb[size_t(c)] * 63.0 / 255.0;
                i0[c] = int(p[c]);
                i1[c] = std::min(i0[c] + 1, 63);
                f[c] = p[c] - i0[c];
            }
            auto out = pixelOf(*color, x, y);
            for (int c = 0; c < 3; ++c) {
                double v = 0;
                for (int corner = 0; corner < 8; ++corner) {
                    int r = corner & 1 ? i1[0] : i0[0], g = corner & 2 ? i1[1] : i0[1],
                        b = corner & 4 ? i1[2] : i0[2];
                    double weight = (corner & 1 ? f[0] : 1 - f[0]) *
                                    (corner & 2 ? f[1] : 1 - f[1]) * (corner & 4 ? f[2] : 1 - f[2]);
                    v += weight * entry(r, g, b, c);
                }
                ASSERT_NEAR(out[size_t(c)], v, 2.0) << "channel " << c << " at " << x << "," << y;
            }
        }
}

TEST_F(FilmRendererTest, ColourFilmWithoutItsLookupPassesColoursThrough) {
    const int w = 24, h = 16;
    setup(w, h);
    useFilm(12);
    renderer.lookup2DTexture.reset();  // what a missing or broken lookup image leaves
    auto color = renderer.renderPhoto(makePhoto(w, h, pattern));
    ASSERT_TRUE(color);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            auto p = pixelOf(*color, x, y);
            auto rgb = pattern(x, y);
            ASSERT_EQ((std::array<uint8_t, 3>{p[0], p[1], p[2]}), rgb) << x << "," << y;
        }
}

TEST_F(FilmRendererTest, ReadBackImageSurvivesTheNextRender) {
    const int w = 32, h = 32;
    setup(w, h);
    useFilm(9);
    auto first = renderer.renderPhoto(makePhoto(w, h, pattern));
    ASSERT_TRUE(first);
    std::vector<uint8_t> before(first->data(), first->data() + first->bytesPerRow() * size_t(h));
    auto white = makePhoto(w, h, [](int, int) -> std::array<uint8_t, 3> {
        return {255, 255, 255};
    });
    auto second = renderer.renderPhoto(white);
    ASSERT_TRUE(second);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), first->data()));
    EXPECT_NE(pixelOf(*first, 0, 0), pixelOf(*second, 0, 0));
}

TEST_F(FilmRendererTest, PhotoOfAnotherSizeThanTheFormatStillRendersWhole) {
    setup(64, 48);
    useFilm(1);
    auto grey = renderer.renderPhoto(makePhoto(40, 30, pattern));
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->width(), 40);
    EXPECT_EQ(grey->height(), 30);
    EXPECT_NEAR(grey->row(29)[39], scalarGrey(film::kDefaultChannelMix, pattern(39, 29)), 1);
}

// ---- re-filter

TEST_F(FilmRendererTest, RefilterRoundsWidthDownAndKeepsThePictureUpright) {
    const int w = 1000, h = 40;
    std::vector<uint8_t> rgb(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                rgb[(size_t(y) * w + x) * 3 + c] = uint8_t((x + y * 3) % 256);
    auto source = image::Image::adopt(image::PixelFormat::RGB8, w, h, std::move(rgb));
    ASSERT_TRUE(source);
    renderer._currentCameraPosition = 2;  // the re-filter never mirrors
    renderer._currentFrame = 1;           // nor crops
    auto result = renderer.filterImage(nullptr, source, nullptr, 1);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->width(), 992);
    EXPECT_EQ(result->height(), 40);
    for (int y = 0; y < h; y += 13)
        for (int x : {0, 1, 500, 991}) {
            auto p = pixelOf(*result, x, y);
            ASSERT_EQ(p[0], (x + y * 3) % 256) << x << "," << y;
            ASSERT_EQ(p[0], p[2]);
        }
    EXPECT_EQ(renderer.offlineOutputTarget->width(), 992u);
}

TEST_F(FilmRendererTest, RefilterAlwaysUsesTheMonochromePass) {
    std::vector<uint8_t> rgb(64 * 16 * 3, 0);
    for (size_t i = 0; i < rgb.size(); i += 3) rgb[i] = 200;  // pure red
    auto source = image::Image::adopt(image::PixelFormat::RGB8, 64, 16, std::move(rgb));
    auto result = renderer.filterImage(nullptr, source, nullptr, 2);
    ASSERT_TRUE(result);
    auto p = pixelOf(*result, 10, 10);
    EXPECT_EQ(p[0], p[1]);
    EXPECT_EQ(p[1], p[2]);
    EXPECT_EQ(p[0], film::toneTableSoft[size_t(std::lround(0.7086 * 200))]);
}

TEST_F(FilmRendererTest, RefilterOfATooNarrowPictureFailsCleanly) {
    std::vector<uint8_t> grey(10 * 10, 128);
    auto source = image::Image::adopt(image::PixelFormat::Grey8, 10, 10, std::move(grey));
    EXPECT_FALSE(renderer.filterImage(nullptr, source, nullptr, 0));
    EXPECT_FALSE(renderer.filterImage(nullptr, nullptr, nullptr, 0));
}

}  // namespace
