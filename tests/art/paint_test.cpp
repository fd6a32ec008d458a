// The painter's tools and the card backs: noise that is smooth and repeatable, masks that
// keep their mass, layers that land where they are placed.
#include "tools/art/designs.h"
#include "tools/art/paint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

namespace {

using art::Mask;
using art::Picture;

float Sum(const Mask& m) { return std::accumulate(m.values.begin(), m.values.end(), 0.0f); }

TEST(Paint, NoiseMeetsTheLatticeAndIsSmoothAndMasksKeepTheirMass)
{
    for (int x = -3; x < 3; ++x)
        EXPECT_FLOAT_EQ(art::ValueNoise(float(x), float(-x), 7), art::Hash01(x, -x, 7)) << x;
    float previous = art::ValueNoise(0, 0.5f, 7);
    for (int i = 1; i <= 400; ++i) {
        const float v = art::ValueNoise(i / 100.0f, 0.5f, 7);
        EXPECT_TRUE(v >= 0.0f && v < 1.0f && std::abs(v - previous) < 0.05f) << "at " << i;
        previous = v;
    }
    EXPECT_NE(art::Hash01(1, 2, 3), art::Hash01(1, 2, 4)) << "the seed changes the noise";

    Mask m(41, 41);
    m.At(20, 20) = m.At(21, 20) = 1;
    const Mask blurred = art::Blur(m, 2.5f);
    EXPECT_NEAR(Sum(blurred), 2.0f, 1e-3f);
    EXPECT_NEAR(blurred.At(15, 20), blurred.At(26, 20), 1e-5f) << "symmetric about the pair";
    // The brush's edge is anti-aliased: full inside r - 0.5, half at r, nothing past r + 0.5.
    Mask dot(21, 21);
    dot.At(10, 10) = 1;
    const Mask grown = art::Grow(dot, 3);
    EXPECT_FLOAT_EQ(grown.At(12, 10), 1.0f);
    EXPECT_FLOAT_EQ(grown.At(13, 10), 0.5f);
    EXPECT_NEAR(grown.At(12, 12), 3.5f - std::sqrt(8.0f), 1e-5f);
    EXPECT_FLOAT_EQ(grown.At(14, 10), 0.0f);
    EXPECT_FLOAT_EQ(art::Shift(dot, 2, -3).At(12, 7), 1.0f);
    EXPECT_FLOAT_EQ(Sum(art::Shift(dot, 30, 0)), 0.0f) << "moved out of bounds";
}

TEST(Paint, LayersMixByAlphaAndLandWhereTheyArePlaced)
{
    Picture target(2, 1, {0, 0, 1, 1});
    Picture layer(2, 1);
    layer.At(0, 0) = {1, 0, 0, 1};
    layer.At(1, 0) = {1, 0, 0, 0.25f};
    art::Over(target, layer, 0, 0);
    EXPECT_FLOAT_EQ(target.At(0, 0).b, 0.0f);
    EXPECT_FLOAT_EQ(target.At(1, 0).r, 0.25f);
    EXPECT_FLOAT_EQ(target.At(1, 0).b, 0.75f);
    Picture clipped(2, 2, {0, 0, 0, 1});
    art::Over(clipped, Picture(3, 3, {1, 1, 1, 1}), 1, 1); // hangs over the edge
    EXPECT_FLOAT_EQ(clipped.At(0, 0).r, 0.0f);
    EXPECT_FLOAT_EQ(clipped.At(1, 1).r, 1.0f);

    // An 8 x 6 layer, red with a blue block of 4 x 3 at its top left, placed at (10, 10)
    // as it is, turned a quarter clockwise (the block now top right), and doubled.
    Picture card(8, 6, {1, 0, 0, 1});
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x)
            card.At(x, y) = {0, 0, 1, 1};
    }
    const struct {
        art::Placement Where;
        int BlueX, BlueY, RedX, RedY, OutX, OutY;
    } placements[] = {{{10, 10, 0, 1}, 7, 8, 12, 11, 5, 10}, {{10, 10, 90, 1}, 12, 7, 8, 12, 6, 10},
                      {{10, 10, 0, 2}, 4, 6, 15, 14, 1, 10}};
    for (const auto& p : placements) {
        const Picture placed = art::Transform(card, 20, 20, p.Where, 3);
        EXPECT_GT(placed.At(p.BlueX, p.BlueY).b, 0.95f) << p.Where.degrees << "@" << p.Where.scale;
        EXPECT_GT(placed.At(p.RedX, p.RedY).r, 0.95f) << p.Where.degrees << "@" << p.Where.scale;
        EXPECT_FLOAT_EQ(placed.At(p.OutX, p.OutY).a, 0.0f) << p.Where.degrees << "@" << p.Where.scale;
    }
}

TEST(Paint, CardBacksHaveRoundedTransparentCornersInTwoDesigns)
{
    for (auto design : {art::CardBackDesign::Default, art::CardBackDesign::Alpha}) {
        const Picture back = art::PaintCardBack(design, 96, 144);
        ASSERT_EQ(back.width * 1000 + back.height, 96144);
        EXPECT_FLOAT_EQ(back.At(0, 0).a + back.At(95, 143).a, 0.0f);
        EXPECT_FLOAT_EQ(back.At(48, 72).a, 1.0f);
        EXPECT_FLOAT_EQ(back.At(48, 0).a, 1.0f) << "the edges are straight between the corners";
        EXPECT_GT(back.At(2, 72).r, 0.9f) << "a white margin";
        const art::Colour c = back.At(30, 40);
        EXPECT_GT(design == art::CardBackDesign::Alpha ? c.b - c.r : c.r - c.b, 0) << "alpha blue, default red";
    }
}

} // namespace
