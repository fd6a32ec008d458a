// The film player's arithmetic: which palette entries the film may change, where the film
// window's client area may stand, and when the film is over.
#include "intro/film_frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

std::vector<DisplayColour> MarkedTable()
{
    std::vector<DisplayColour> table(kPaletteEntries);
    for (int i = 0; i < kPaletteEntries; ++i)
        table[i] = {std::uint8_t(0xA0 ^ i), std::uint8_t(0x50 ^ i), std::uint8_t(0x0F ^ i), std::uint8_t(i & 7)};
    return table;
}

std::vector<std::uint8_t> FilmPalette()
{
    std::vector<std::uint8_t> palette(3 * kPaletteEntries);
    for (int i = 0; i < 3 * kPaletteEntries; ++i)
        palette[i] = std::uint8_t(i * 7 + 3);
    return palette;
}

} // namespace

TEST(FilmPalette, OnlyTheFilmsEntriesTakeItsColoursAndNoFlagsChange)
{
    std::vector<DisplayColour> table = MarkedTable();
    const std::vector<DisplayColour> before = table;
    const std::vector<std::uint8_t> film = FilmPalette();
    CopyFilmColours(table.data(), film.data());
    for (int i = 0; i < kPaletteEntries; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(before[i].Flags, table[i].Flags);
        if (i < 10 || i > 245) {
            EXPECT_EQ(before[i].Red, table[i].Red);
            EXPECT_EQ(before[i].Green, table[i].Green);
            EXPECT_EQ(before[i].Blue, table[i].Blue);
        } else {
            EXPECT_EQ(film[3 * i], table[i].Red);
            EXPECT_EQ(film[3 * i + 1], table[i].Green);
            EXPECT_EQ(film[3 * i + 2], table[i].Blue);
        }
    }
}

TEST(FilmPalette, AnAllBlackFilmPaletteLeavesTheSystemColours)
{
    std::vector<DisplayColour> table = MarkedTable();
    const std::vector<DisplayColour> before = table;
    std::vector<std::uint8_t> black(3 * kPaletteEntries, 0);
    CopyFilmColours(table.data(), black.data());
    EXPECT_EQ(before[9].Red, table[9].Red);
    EXPECT_EQ(0, table[10].Red);
    EXPECT_EQ(0, table[245].Blue);
    EXPECT_EQ(before[246].Blue, table[246].Blue);
}

TEST(FilmWindowAlignment, TheClientAreaLandsOnAColumnDivisibleByFour)
{
    // Remainders 0, 1 and 2 go down, 3 goes up.
    EXPECT_EQ(0, AlignFilmWindowX(0, 0));
    EXPECT_EQ(0, AlignFilmWindowX(1, 0));
    EXPECT_EQ(0, AlignFilmWindowX(2, 0));
    EXPECT_EQ(4, AlignFilmWindowX(3, 0));
    EXPECT_EQ(4, AlignFilmWindowX(4, 0));
    EXPECT_EQ(100, AlignFilmWindowX(102, 0));
    EXPECT_EQ(104, AlignFilmWindowX(103, 0));
}

TEST(FilmWindowAlignment, TheClientOriginCountsButIsNotPartOfTheResult)
{
    // A client area 3 pixels right of the window: window x 10 puts it at 13, which goes down
    // to 12, so the window goes to 9; window x 12 puts it at 15, which goes up to 16.
    EXPECT_EQ(9, AlignFilmWindowX(10, 3));
    EXPECT_EQ(13, AlignFilmWindowX(12, 3));
    EXPECT_EQ(5, AlignFilmWindowX(6, 3));
    for (std::int32_t origin : {0, 1, 2, 3, 7, 250}) {
        for (std::int32_t x = -9; x < 40; ++x) {
            std::int32_t aligned = AlignFilmWindowX(x, origin);
            std::int32_t screen = aligned + origin;
            EXPECT_EQ(0, ((screen % 4) + 4) % 4) << x << " " << origin;
            EXPECT_LE(std::abs(aligned - x), 2) << x << " " << origin;
        }
    }
}

TEST(FilmWindowAlignment, AWindowLeftOfTheScreenStaysThere)
{
    // Not thrown to the far right, as a 16-bit unsigned result would do.
    EXPECT_EQ(-4, AlignFilmWindowX(-3, 0));
    EXPECT_EQ(-4, AlignFilmWindowX(-4, 0));
    EXPECT_EQ(-8, AlignFilmWindowX(-6, 0));
    EXPECT_EQ(-4, AlignFilmWindowX(-5, 0));
}

TEST(FilmEnd, TheLastFrameIsTheOneBeforeTheCount)
{
    EXPECT_TRUE(IsLastFilmFrame(0, 1)) << "a film of one frame ends after its first";
    EXPECT_FALSE(IsLastFilmFrame(0, 2));
    EXPECT_TRUE(IsLastFilmFrame(1, 2));
    EXPECT_TRUE(IsLastFilmFrame(299, 300));
    EXPECT_FALSE(IsLastFilmFrame(300, 300));
    EXPECT_FALSE(IsLastFilmFrame(0xFFFFFFFFu, 0)) << "a film without frames never reaches a last one";
}
