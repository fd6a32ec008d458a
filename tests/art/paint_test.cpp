// The painter's tools and the card backs: noise that is smooth and repeatable, masks that
// keep their mass, layers that land where they are placed.
#include "tools/art/designs.h"
#include "tools/art/paint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

namespace {

using art::Colour;
using art::Mask;
using art::Picture;

float Sum(const Mask& m)
{
    return std::accumulate(m.values.begin(), m.values.end(), 0.0f);
}

TEST(Noise, ValueNoiseMeetsTheLatticeAndStaysInRange)
{
    for (int y = -3; y < 3; ++y) {
        for (int x = -3; x < 3; ++x)
            EXPECT_FLOAT_EQ(art::ValueNoise(float(x), float(y), 7), art::Hash01(x, y, 7)) << x << "," << y;
    }
    float previous = art::ValueNoise(0, 0.5f, 7);
    for (int i = 1; i <= 400; ++i) {
        const float v = art::ValueNoise(i / 100.0f, 0.5f, 7);
        EXPECT_GE(v, 0.0f);
        EXPECT_LT(v, 1.0f);
        EXPECT_LT(std::abs(v - previous), 0.05f) << "a jump at " << i; // smooth between lattice points
        previous = v;
    }
    EXPECT_NE(art::Hash01(1, 2, 3), art::Hash01(1, 2, 4)) << "the seed changes the noise";
}

TEST(Masks, BlurKeepsTheMassAndGrowMakesARoundBrush)
{
    Mask m(41, 41);
    m.At(20, 20) = 1;
    m.At(21, 20) = 1;
    const Mask blurred = art::Blur(m, 2.5f);
    EXPECT_NEAR(Sum(blurred), 2.0f, 1e-3f);
    EXPECT_GT(blurred.At(20, 20), blurred.At(20, 25));
    EXPECT_NEAR(blurred.At(15, 20), blurred.At(26, 20), 1e-5f) << "symmetric about the pair";

    // The brush's edge is anti-aliased: full inside r - 0.5, half at r, nothing past r + 0.5.
    Mask dot(21, 21);
    dot.At(10, 10) = 1;
    const Mask grown = art::Grow(dot, 3);
    EXPECT_FLOAT_EQ(grown.At(12, 10), 1.0f);
    EXPECT_FLOAT_EQ(grown.At(10, 8), 1.0f);
    EXPECT_FLOAT_EQ(grown.At(13, 10), 0.5f);
    EXPECT_NEAR(grown.At(12, 12), 3.5f - std::sqrt(8.0f), 1e-5f);
    EXPECT_FLOAT_EQ(grown.At(13, 13), 0.0f);
    EXPECT_FLOAT_EQ(grown.At(14, 10), 0.0f);

    const Mask moved = art::Shift(dot, 2, -3);
    EXPECT_FLOAT_EQ(moved.At(12, 7), 1.0f);
    EXPECT_FLOAT_EQ(Sum(moved), 1.0f);
    EXPECT_FLOAT_EQ(Sum(art::Shift(dot, 30, 0)), 0.0f) << "moved out of bounds";
}

TEST(Shapes, DistancesAndEdges)
{
    EXPECT_FLOAT_EQ(art::RoundedBoxDistance(0, 0, 10, 5, 2), -5.0f);
    EXPECT_FLOAT_EQ(art::RoundedBoxDistance(12, 0, 10, 5, 2), 2.0f);
    // Corner: the rounding's centre is at (8, 3), radius 2.
    EXPECT_NEAR(art::RoundedBoxDistance(8 + 3, 3 + 4, 10, 5, 2), 3.0f, 1e-5f);
    EXPECT_FLOAT_EQ(art::CircleDistance(3, 4, 2), 3.0f);
    EXPECT_FLOAT_EQ(art::EdgeCoverage(0), 0.5f);
    EXPECT_FLOAT_EQ(art::EdgeCoverage(-2), 1.0f);
    EXPECT_FLOAT_EQ(art::EdgeCoverage(2), 0.0f);
}

TEST(Layers, OverMixesByAlpha)
{
    Picture target(2, 1, {0, 0, 1, 1});
    Picture layer(2, 1);
    layer.At(0, 0) = {1, 0, 0, 1};
    layer.At(1, 0) = {1, 0, 0, 0.25f};
    art::Over(target, layer, 0, 0);
    EXPECT_FLOAT_EQ(target.At(0, 0).r, 1.0f);
    EXPECT_FLOAT_EQ(target.At(0, 0).b, 0.0f);
    EXPECT_FLOAT_EQ(target.At(1, 0).r, 0.25f);
    EXPECT_FLOAT_EQ(target.At(1, 0).b, 0.75f);
    EXPECT_FLOAT_EQ(target.At(1, 0).a, 1.0f);

    Picture clipped(2, 2, {0, 0, 0, 1});
    art::Over(clipped, Picture(3, 3, {1, 1, 1, 1}), 1, 1); // hangs over the edge
    EXPECT_FLOAT_EQ(clipped.At(0, 0).r, 0.0f);
    EXPECT_FLOAT_EQ(clipped.At(1, 1).r, 1.0f);
}

TEST(Layers, TransformPlacesTurnsAndScales)
{
    // An 8 x 6 layer, red with a blue block of 4 x 3 at its top left.
    Picture layer(8, 6, {1, 0, 0, 1});
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x)
            layer.At(x, y) = {0, 0, 1, 1};
    }

    // In place: the layer covers x 6..14 and y 7..13.
    const Picture same = art::Transform(layer, 20, 20, {10, 10, 0, 1}, 3);
    EXPECT_GT(same.At(7, 8).b, 0.95f);
    EXPECT_GT(same.At(12, 11).r, 0.95f);
    EXPECT_NEAR(same.At(10, 10).a, 1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(same.At(5, 10).a, 0.0f);
    EXPECT_FLOAT_EQ(same.At(10, 6).a, 0.0f);

    // A quarter turn clockwise: 6 wide and 8 high, the top left block now at the top right.
    const Picture turned = art::Transform(layer, 20, 20, {10, 10, 90, 1}, 3);
    EXPECT_GT(turned.At(12, 7).b, 0.95f);
    EXPECT_GT(turned.At(8, 12).r, 0.95f);
    EXPECT_NEAR(turned.At(8, 10).a, 1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(turned.At(6, 10).a, 0.0f);

    // Doubled: 16 x 12, covering x 2..18 and y 4..16.
    const Picture doubled = art::Transform(layer, 20, 20, {10, 10, 0, 2}, 3);
    EXPECT_GT(doubled.At(4, 6).b, 0.95f);
    EXPECT_GT(doubled.At(15, 14).r, 0.95f);
    EXPECT_NEAR(doubled.At(3, 5).a, 1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(doubled.At(1, 10).a, 0.0f);
    EXPECT_FLOAT_EQ(doubled.At(10, 17).a, 0.0f);
}

TEST(CardBacks, RoundedTransparentCornersAndTwoDesigns)
{
    for (auto design : {art::CardBackDesign::Default, art::CardBackDesign::Alpha}) {
        const Picture back = art::PaintCardBack(design, 96, 144);
        ASSERT_EQ(back.width, 96);
        ASSERT_EQ(back.height, 144);
        EXPECT_FLOAT_EQ(back.At(0, 0).a, 0.0f);
        EXPECT_FLOAT_EQ(back.At(95, 143).a, 0.0f);
        EXPECT_FLOAT_EQ(back.At(48, 72).a, 1.0f);
        EXPECT_FLOAT_EQ(back.At(48, 0).a, 1.0f) << "the edges are straight between the corners";
        EXPECT_GT(back.At(2, 72).r, 0.9f) << "a white margin";
    }
    const Picture a = art::PaintCardBack(art::CardBackDesign::Alpha, 96, 144);
    const Picture d = art::PaintCardBack(art::CardBackDesign::Default, 96, 144);
    EXPECT_GT(a.At(30, 40).b, a.At(30, 40).r) << "alpha is blue";
    EXPECT_GT(d.At(30, 40).r, d.At(30, 40).b) << "default is red";
}

} // namespace
