// The painter's tools: noise that is smooth and repeatable, masks that keep their mass.
#include "tools/art/paint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

namespace {

using art::Mask;

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

} // namespace
