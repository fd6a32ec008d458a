// The windowed present sends only what changed: whatever the picture and its colours do
// between two presents, the screen built from the bands sent is the whole picture scaled.
#include "intro/picture_bands.h"

#include <gtest/gtest.h>

#include <random>

TEST(PictureBands, TheBandsSentRebuildTheWholeScaledPictureAfterEveryChange)
{
    std::mt19937 random(5);
    const ScreenSize cases[][2] = {{{64, 48}, {64, 48}}, {{64, 48}, {200, 150}}, {{64, 48}, {50, 30}}, {{32, 24}, {131, 97}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c[0].Width << "x" << c[0].Height << " on " << c[1].Width << "x" << c[1].Height);
        const PicturePlacement p = PlacePicture(c[0], c[1]);
        const std::int32_t pitch = (c[0].Width + 3) & ~3;
        std::vector<std::uint8_t> picture(std::size_t(pitch) * c[0].Height, 0);
        PixelColour colours[kPaletteEntries];
        for (PixelColour& colour : colours)
            colour = random() & 0xFFFFFF;
        // A screen of the target's size that only the bands paint, two rows at a time as a
        // band bitmap smaller than the band takes them.
        std::vector<PixelColour> screen(std::size_t(p.TargetWidth) * p.TargetHeight), band;
        ShownPicture shown;
        std::vector<PictureBand> bands;
        for (int round = 0; round < 200; ++round) {
            SCOPED_TRACE(round);
            if (random() % 3 == 0) // a few pixels anywhere, some outside the shown part
                for (int n = random() % 5; n >= 0; --n)
                    picture[random() % picture.size()] = std::uint8_t(random());
            if (random() % 3 == 0) // new colours for some entries, used or not
                colours[random() % kPaletteEntries] = random() & 0xFFFFFF;
            if (random() % 3 == 0) // a row, whole
                std::fill_n(&picture[(random() % c[0].Height) * pitch], c[0].Width, std::uint8_t(round));
            FindChangedBands(shown, picture.data(), pitch, colours, p, random() % 10 == 0, bands);
            for (const PictureBand& b : bands) {
                ASSERT_TRUE(b.FirstRow >= p.SourceY && b.FirstRow + b.Rows <= p.SourceY + p.SourceHeight);
                ASSERT_TRUE(b.FirstColumn >= p.SourceX && b.FirstColumn + b.Columns <= p.SourceX + p.SourceWidth);
                const std::int32_t width = b.Columns * p.Scale;
                for (std::int32_t row = b.FirstRow; row < b.FirstRow + b.Rows; row += 2) {
                    const std::int32_t rows = std::min(2, b.FirstRow + b.Rows - row);
                    band.assign(std::size_t(width) * rows * p.Scale, 0xDEADBEEF);
                    ExpandPictureRows(picture.data(), pitch, colours, p, b, row, rows, band.data(), width);
                    for (std::int32_t y = 0; y < rows * p.Scale; ++y)
                        std::copy_n(&band[std::size_t(y) * width], width,
                                    &screen[std::size_t((row - p.SourceY) * p.Scale + y) * p.TargetWidth
                                            + (b.FirstColumn - p.SourceX) * p.Scale]);
                }
            }
            for (std::int32_t y = 0; y < p.TargetHeight; ++y)
                for (std::int32_t x = 0; x < p.TargetWidth; ++x)
                    ASSERT_EQ(colours[picture[std::size_t(p.SourceY + y / p.Scale) * pitch + p.SourceX + x / p.Scale]],
                              screen[std::size_t(y) * p.TargetWidth + x]) << "at " << x << "," << y;
        }
        FindChangedBands(shown, picture.data(), pitch, colours, p, false, bands);
        EXPECT_TRUE(bands.empty()) << "nothing changed, nothing is sent";
    }
}

// Changed rows up to eight apart go out as one band, the rows between sent along; nine
// apart, as two bands.
TEST(PictureBands, ChangedRowsEightApartAreSentAsOneBand)
{
    const PicturePlacement p = PlacePicture({64, 48}, {64, 48});
    std::vector<std::uint8_t> picture(64 * 48, 0);
    const PixelColour colours[kPaletteEntries] = {};
    ShownPicture shown;
    std::vector<PictureBand> bands;
    FindChangedBands(shown, picture.data(), 64, colours, p, true, bands);
    for (int apart : {8, 9}) {
        picture[10 * 64 + 3] = picture[(10 + apart) * 64 + 5] = std::uint8_t(apart);
        FindChangedBands(shown, picture.data(), 64, colours, p, false, bands);
        ASSERT_EQ(apart == 8 ? 1u : 2u, bands.size()) << apart;
        EXPECT_EQ(10, bands[0].FirstRow);
        EXPECT_EQ(apart == 8 ? 9 : 1, bands[0].Rows);
    }
}
