// Palettes and dithering: exact where the picture allows it, faithful on average where it
// does not, and blind to transparent pixels.
#include "tools/art/quantise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace {

using art::Colour;
using art::Picture;
using art::Rgb8;

float Luma(const Rgb8& c)
{
    return 3.0f * c.r + 4.0f * c.g + 2.0f * c.b;
}

Picture Gradient(int w, int h)
{
    Picture p(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            p.At(x, y) = {x / float(w - 1), y / float(h - 1), 0.5f * (x + y) / float(w + h), 1};
    }
    return p;
}

TEST(Palette, FewColoursAreKeptExactlyAndDitherHitsThem)
{
    const Colour colours[] = {{1, 0, 0, 1}, {0, 0.5f, 0, 1}, {0.2f, 0.2f, 0.8f, 1}};
    Picture p(9, 7);
    for (int i = 0; i < 63; ++i)
        p.pixels[size_t(i)] = colours[i % 3];
    const auto palette = art::MakePalette(p, 16);
    ASSERT_EQ(palette.size(), 3u);
    const auto indexed = art::Dither(p, palette, 1.0f);
    for (int i = 0; i < 63; ++i) {
        const Rgb8& got = palette[indexed.index[size_t(i)]];
        EXPECT_EQ(got, (Rgb8{art::ToByte(colours[i % 3].r), art::ToByte(colours[i % 3].g), art::ToByte(colours[i % 3].b)}))
            << "pixel " << i;
    }
}

TEST(Palette, ManyColoursGetTheRequestedCountDarkToLightAndClose)
{
    const Picture p = Gradient(64, 48);
    const auto palette = art::MakePalette(p, 16);
    ASSERT_EQ(palette.size(), 16u);
    std::set<uint32_t> distinct;
    for (const Rgb8& c : palette)
        distinct.insert(uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b);
    EXPECT_EQ(distinct.size(), 16u);
    for (size_t i = 1; i < palette.size(); ++i)
        EXPECT_LE(Luma(palette[i - 1]), Luma(palette[i])) << "entry " << i;

    // Sixteen colours over a two-axis gradient: no pixel should be far from its nearest.
    double worst = 0;
    for (const Colour& c : p.pixels) {
        const Rgb8& n = palette[size_t(art::NearestColour(palette, c.r * 255, c.g * 255, c.b * 255))];
        worst = std::max(worst, double(std::hypot(c.r * 255 - n.r, c.g * 255 - n.g, c.b * 255 - n.b)));
    }
    EXPECT_LT(worst, 60.0);
}

TEST(Palette, CountIsClampedAndTransparentPixelsAreIgnored)
{
    const Picture p = Gradient(40, 40);
    EXPECT_EQ(art::MakePalette(p, 0).size(), 1u);
    EXPECT_EQ(art::MakePalette(p, 1000).size(), 256u);

    Picture clear(8, 8, {1, 1, 1, 0});
    EXPECT_EQ(art::MakePalette(clear, 16), std::vector<Rgb8>{Rgb8{}}) << "no opaque pixel: one black entry";
    clear.At(3, 3) = {0, 1, 0, 1};
    EXPECT_EQ(art::MakePalette(clear, 16), std::vector<Rgb8>{(Rgb8{0, 255, 0})});
}

TEST(Dither, KeepsTheMeanOfAFlatFieldInEverySmallBlock)
{
    // A quarter grey between black and white: each 8 x 8 block, as a stretch that averages
    // would see it, should come out close to a quarter white.
    const Picture p(64, 64, {0.25f, 0.25f, 0.25f, 1});
    const std::vector<Rgb8> palette = {{0, 0, 0}, {255, 255, 255}};
    const auto indexed = art::Dither(p, palette, 1.0f);
    for (int by = 0; by < 64; by += 8) {
        for (int bx = 0; bx < 64; bx += 8) {
            int white = 0;
            for (int y = by; y < by + 8; ++y) {
                for (int x = bx; x < bx + 8; ++x)
                    white += indexed.index[size_t(y * 64 + x)];
            }
            EXPECT_NEAR(white / 64.0, 0.25, 0.07) << "block " << bx << "," << by;
        }
    }
    // Without diffusion every pixel takes the nearest entry: all black.
    const auto plain = art::Dither(p, palette, 0.0f);
    EXPECT_EQ(std::count(plain.index.begin(), plain.index.end(), 1), 0);
}

TEST(Dither, TransparentPixelsNeitherGiveNorTakeError)
{
    // Left half transparent white, right half opaque quarter grey: the opaque half must
    // keep its own mean, and the error must not leak into the transparent half.
    Picture p(32, 32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x)
            p.At(x, y) = x < 16 ? Colour{1, 1, 1, 0} : Colour{0.25f, 0.25f, 0.25f, 1};
    }
    const std::vector<Rgb8> palette = {{0, 0, 0}, {255, 255, 255}};
    const auto indexed = art::Dither(p, palette, 1.0f);
    int white = 0, clearWhite = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x)
            (x < 16 ? clearWhite : white) += indexed.index[size_t(y * 32 + x)];
    }
    EXPECT_NEAR(white / 512.0, 0.25, 0.03);
    EXPECT_EQ(clearWhite, 512) << "transparent white stays its nearest colour";
}

TEST(Dither, SaturatedColoursOutsideThePaletteDoNotRunAway)
{
    // Pure red with only greys to choose from: the error cannot be paid back, and must not
    // grow until it flips distant pixels to white.
    const Picture p(64, 16, {1, 0, 0, 1});
    const std::vector<Rgb8> palette = {{0, 0, 0}, {128, 128, 128}, {255, 255, 255}};
    const auto indexed = art::Dither(p, palette, 1.0f);
    const auto whites = std::count(indexed.index.begin(), indexed.index.end(), 2);
    EXPECT_LT(whites, long(indexed.index.size() / 2));
}

} // namespace
