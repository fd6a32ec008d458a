// The windowed present sends only what changed: whatever the picture and its colours do
// between two presents, the screen built from the bands sent is the whole picture scaled.
#include "intro/picture_bands.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// A screen of the placement's target size that only the bands paint.
struct Screen {
    std::int32_t Width, Height;
    std::vector<PixelColour> Pixels;
};

void Present(Screen& screen, ShownPicture& shown, const std::vector<std::uint8_t>& picture, std::int32_t pitch,
             const PixelColour (&colours)[kPaletteEntries], const PicturePlacement& p, bool everything)
{
    std::vector<PictureBand> bands;
    FindChangedBands(shown, picture.data(), pitch, colours, p, everything, bands);
    std::vector<PixelColour> band;
    for (const PictureBand& b : bands) {
        ASSERT_GE(b.FirstRow, p.SourceY);
        ASSERT_GE(b.FirstColumn, p.SourceX);
        ASSERT_LE(b.FirstRow + b.Rows, p.SourceY + p.SourceHeight);
        ASSERT_LE(b.FirstColumn + b.Columns, p.SourceX + p.SourceWidth);
        // Two rows at a time, as a band bitmap smaller than the band takes them.
        for (std::int32_t row = b.FirstRow; row < b.FirstRow + b.Rows; row += 2) {
            std::int32_t rows = std::min(2, b.FirstRow + b.Rows - row), width = b.Columns * p.Scale;
            band.assign(std::size_t(width) * rows * p.Scale, 0xDEADBEEF);
            ExpandPictureRows(picture.data(), pitch, colours, p, b, row, rows, band.data(), width);
            for (std::int32_t y = 0; y < rows * p.Scale; ++y)
                for (std::int32_t x = 0; x < width; ++x)
                    screen.Pixels[std::size_t((row - p.SourceY) * p.Scale + y) * screen.Width
                                  + (b.FirstColumn - p.SourceX) * p.Scale + x] = band[std::size_t(y) * width + x];
        }
    }
}

// What the screen must show: every shown pixel as its block, in its colour.
std::vector<PixelColour> Whole(const std::vector<std::uint8_t>& picture, std::int32_t pitch,
                               const PixelColour (&colours)[kPaletteEntries], const PicturePlacement& p)
{
    std::vector<PixelColour> whole(std::size_t(p.TargetWidth) * p.TargetHeight);
    for (std::int32_t y = 0; y < p.TargetHeight; ++y)
        for (std::int32_t x = 0; x < p.TargetWidth; ++x)
            whole[std::size_t(y) * p.TargetWidth + x] =
                colours[picture[std::size_t(p.SourceY + y / p.Scale) * pitch + p.SourceX + x / p.Scale]];
    return whole;
}

} // namespace

TEST(PictureBands, TheBandsSentRebuildTheWholeScaledPictureAfterEveryChange)
{
    std::mt19937 random(5);
    const struct {
        ScreenSize picture, screen;
    } cases[] = {{{64, 48}, {64, 48}}, {{64, 48}, {200, 150}}, {{64, 48}, {50, 30}}, {{32, 24}, {131, 97}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.picture.Width << "x" << c.picture.Height << " on " << c.screen.Width
                                        << "x" << c.screen.Height);
        PicturePlacement p = PlacePicture(c.picture, c.screen);
        const std::int32_t pitch = (c.picture.Width + 3) & ~3;
        std::vector<std::uint8_t> picture(std::size_t(pitch) * c.picture.Height, 0);
        PixelColour colours[kPaletteEntries];
        for (int i = 0; i < kPaletteEntries; ++i)
            colours[i] = random() & 0xFFFFFF;
        Screen screen = {p.TargetWidth, p.TargetHeight, std::vector<PixelColour>(std::size_t(p.TargetWidth) * p.TargetHeight)};
        ShownPicture shown;
        for (int round = 0; round < 200; ++round) {
            SCOPED_TRACE(round);
            switch (random() % 4) {
            case 0: // a few pixels anywhere, some outside the shown part
                for (int n = random() % 5; n >= 0; --n)
                    picture[random() % picture.size()] = std::uint8_t(random() & 0xFF);
                break;
            case 1: // a block of rows
                for (std::size_t y = random() % c.picture.Height, rows = 1 + random() % 12;
                     rows-- && y < std::size_t(c.picture.Height); ++y)
                    for (std::int32_t x = 0; x < c.picture.Width; ++x)
                        picture[y * pitch + x] = std::uint8_t(x + round);
                break;
            case 2: // new colours for some entries, used or not
                for (int n = random() % 3; n >= 0; --n)
                    colours[random() % kPaletteEntries] = random() & 0xFFFFFF;
                break;
            default: // nothing
                break;
            }
            bool everything = random() % 10 == 0;
            Present(screen, shown, picture, pitch, colours, p, everything);
            if (HasFatalFailure())
                return;
            ASSERT_EQ(Whole(picture, pitch, colours, p), screen.Pixels);
        }
        // Nothing changed: nothing is sent.
        std::vector<PictureBand> bands;
        FindChangedBands(shown, picture.data(), pitch, colours, p, false, bands);
        EXPECT_TRUE(bands.empty());
    }
}
