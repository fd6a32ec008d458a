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

Picture Gradient(int w, int h)
{
    Picture p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.At(x, y) = {x / float(w - 1), y / float(h - 1), 0.5f * (x + y) / float(w + h), 1};
    return p;
}

TEST(Palette, FewColoursAreKeptExactlyAndManyGetTheRequestedCountDarkToLightAndClose)
{
    const Colour colours[] = {{1, 0, 0, 1}, {0, 0.5f, 0, 1}, {0.2f, 0.2f, 0.8f, 1}};
    Picture few(9, 7);
    for (int i = 0; i < 63; ++i)
        few.pixels[size_t(i)] = colours[i % 3];
    const auto exact = art::MakePalette(few, 16);
    ASSERT_EQ(exact.size(), 3u);
    const auto indexed = art::Dither(few, exact, 1.0f);
    for (int i = 0; i < 63; ++i) {
        const Colour& c = colours[i % 3];
        EXPECT_EQ(exact[indexed.index[size_t(i)]], (Rgb8{art::ToByte(c.r), art::ToByte(c.g), art::ToByte(c.b)})) << i;
    }

    const Picture p = Gradient(64, 48);
    const auto palette = art::MakePalette(p, 16);
    ASSERT_EQ(palette.size(), 16u);
    std::set<uint32_t> distinct;
    for (size_t i = 0; i < palette.size(); ++i) {
        const Rgb8& c = palette[i];
        distinct.insert(uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b);
        if (i > 0) {
            const Rgb8& d = palette[i - 1];
            EXPECT_LE(3 * d.r + 4 * d.g + 2 * d.b, 3 * c.r + 4 * c.g + 2 * c.b) << "entry " << i;
        }
    }
    EXPECT_EQ(distinct.size(), 16u);
    double worst = 0; // sixteen colours over a two-axis gradient: no pixel far from its nearest
    for (const Colour& c : p.pixels) {
        const Rgb8& n = palette[size_t(art::NearestColour(palette, c.r * 255, c.g * 255, c.b * 255))];
        worst = std::max(worst, double(std::hypot(c.r * 255 - n.r, c.g * 255 - n.g, c.b * 255 - n.b)));
    }
    EXPECT_LT(worst, 60.0);
}

TEST(Palette, CountIsClampedAndTransparentPixelsAreIgnored)
{
    EXPECT_EQ(art::MakePalette(Gradient(40, 40), 0).size(), 1u);
    EXPECT_EQ(art::MakePalette(Gradient(40, 40), 1000).size(), 256u);
    Picture clear(8, 8, {1, 1, 1, 0});
    EXPECT_EQ(art::MakePalette(clear, 16), std::vector<Rgb8>{Rgb8{}}) << "no opaque pixel: one black entry";
    clear.At(3, 3) = {0, 1, 0, 1};
    EXPECT_EQ(art::MakePalette(clear, 16), std::vector<Rgb8>{(Rgb8{0, 255, 0})});
}

TEST(Dither, KeepsTheMeanInSmallBlocksAndTransparentPixelsNeitherGiveNorTakeError)
{
    // Left quarter transparent white, the rest opaque quarter grey: each opaque 8 x 8 block,
    // as a stretch that averages would see it, comes out close to a quarter white.
    Picture p(64, 64, {0.25f, 0.25f, 0.25f, 1});
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 16; ++x)
            p.At(x, y) = {1, 1, 1, 0};
    const std::vector<Rgb8> palette = {{0, 0, 0}, {255, 255, 255}};
    const auto indexed = art::Dither(p, palette, 1.0f);
    for (int by = 0; by < 64; by += 8) {
        for (int bx = 0; bx < 64; bx += 8) {
            int white = 0;
            for (int y = by; y < by + 8; ++y)
                for (int x = bx; x < bx + 8; ++x)
                    white += indexed.index[size_t(y * 64 + x)];
            EXPECT_NEAR(white / 64.0, bx < 16 ? 1.0 : 0.25, bx < 16 ? 0 : 0.07) << "block " << bx << "," << by;
        }
    }
    const auto plain = art::Dither(p, palette, 0.0f); // without diffusion: the nearest entry
    EXPECT_EQ(std::count(plain.index.begin(), plain.index.end(), 1), 64 * 16);

    // Pure red with only greys to choose from: the error cannot be paid back, and must not
    // grow until it flips distant pixels to white.
    const auto red = art::Dither(Picture(64, 16, {1, 0, 0, 1}), {{0, 0, 0}, {128, 128, 128}, {255, 255, 255}}, 1.0f);
    EXPECT_LT(std::count(red.index.begin(), red.index.end(), 2), long(red.index.size() / 2));
}

} // namespace
