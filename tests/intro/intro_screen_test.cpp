// Where the windowed intro puts its picture: the largest whole factor, centred, and on a
// screen smaller than the picture its middle at factor 1, never anything outside either.
#include "intro/intro_screen.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

namespace {

struct Expected {
    ScreenSize picture, screen;
    PicturePlacement placement;
    std::int32_t screenLeft = 0;
};

std::vector<std::int32_t> Fields(const PicturePlacement& p)
{
    return {p.Scale, p.SourceX, p.SourceY, p.SourceWidth, p.SourceHeight, p.TargetX, p.TargetY, p.TargetWidth,
            p.TargetHeight};
}

// The largest whole factor that fits, centred; on a screen smaller than the picture, its
// middle at factor 1.
TEST(PicturePlacement, TheLargestWholeFactorThatFitsCentredOrTheMiddleAtFactorOne)
{
    const Expected cases[] = {
        {{640, 480}, {1024, 768}, {1, 0, 0, 640, 480, 192, 144, 640, 480}},
        {{320, 240}, {1024, 768}, {3, 0, 0, 320, 240, 32, 24, 960, 720}},
        {{640, 480}, {1920, 1080}, {2, 0, 0, 640, 480, 320, 60, 1280, 960}},
        {{320, 240}, {3840, 2160}, {9, 0, 0, 320, 240, 480, 0, 2880, 2160}},
        // Odd sizes: the spare pixel to the far side, the picture to a column divisible by 4.
        {{320, 240}, {1366, 768}, {3, 0, 0, 320, 240, 204, 24, 960, 720}, 0},
        {{320, 240}, {1366, 768}, {3, 0, 0, 320, 240, 202, 24, 960, 720}, 1366},
        {{640, 480}, {641, 481}, {1, 0, 0, 640, 480, 0, 0, 640, 480}},
        {{640, 480}, {640, 480}, {1, 0, 0, 640, 480, 0, 0, 640, 480}},
        {{640, 480}, {600, 400}, {1, 20, 40, 600, 400, 0, 0, 600, 400}},
        // One axis fits, the other does not.
        {{640, 480}, {800, 400}, {1, 0, 40, 640, 400, 80, 0, 640, 400}},
        {{640, 480}, {639, 479}, {1, 0, 0, 639, 479, 0, 0, 639, 479}},
        {{320, 240}, {1, 1}, {1, 159, 119, 1, 1, 0, 0, 1, 1}},
        // Nothing to place on an empty screen or from an empty picture.
        {{640, 480}, {0, 768}, {}},
        {{640, 480}, {1024, 0}, {}},
        {{640, 480}, {-5, -5}, {}},
        {{0, 0}, {1024, 768}, {}},
    };
    for (const Expected& e : cases)
        EXPECT_EQ(Fields(e.placement), Fields(PlacePicture(e.picture, e.screen, e.screenLeft)))
            << e.picture.Width << "x" << e.picture.Height << " on " << e.screen.Width << "x" << e.screen.Height;
}

// Whatever the sizes: the target lies inside the screen, the source inside the picture,
// every source pixel becomes a whole block, and the picture is as large as it can be.
TEST(PicturePlacement, AlwaysInsideTheScreenAndThePicture)
{
    std::mt19937 random(20261209);
    std::uniform_int_distribution<std::int32_t> size(1, 5000);
    for (int i = 0; i < 20000; ++i) {
        ScreenSize picture = {size(random) % 700 + 1, size(random) % 500 + 1};
        ScreenSize screen = {size(random), size(random)};
        std::int32_t left = size(random) - 2500;
        PicturePlacement p = PlacePicture(picture, screen, left);
        ASSERT_GE(p.Scale, 1);
        ASSERT_TRUE(p.TargetX >= 0 && p.TargetY >= 0 && p.TargetX + p.TargetWidth <= screen.Width
                    && p.TargetY + p.TargetHeight <= screen.Height) << "the target inside the screen";
        ASSERT_TRUE(p.SourceX >= 0 && p.SourceY >= 0 && p.SourceX + p.SourceWidth <= picture.Width
                    && p.SourceY + p.SourceHeight <= picture.Height) << "the source inside the picture";
        ASSERT_EQ(p.SourceWidth * p.Scale, p.TargetWidth);
        ASSERT_EQ(p.SourceHeight * p.Scale, p.TargetHeight);
        bool larger = picture.Width * (p.Scale + 1) <= screen.Width && picture.Height * (p.Scale + 1) <= screen.Height;
        ASSERT_FALSE(larger) << "factor " << p.Scale << " is not the largest";
        // Centred, then moved to a column divisible by 4 where the margins allow.
        ASSERT_LE(std::abs(2 * p.TargetX - (screen.Width - p.TargetWidth)), 5);
        ASSERT_TRUE((left + p.TargetX) % 4 == 0 || screen.Width - p.TargetWidth < 4) << left << "+" << p.TargetX;
        ASSERT_LE(screen.Height - p.TargetHeight - 2 * p.TargetY, 1);
    }
}

} // namespace
