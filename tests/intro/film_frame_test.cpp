// The film player's arithmetic: which palette entries the film may change, where the film
// window's client area may stand, and when the film is over.
#include "intro/film_frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

// Entries 10 to 245 take the film's colours, even all black ones; the rest keep the system's,
// and no flags change.
TEST(FilmPalette, OnlyTheFilmsEntriesTakeItsColoursAndNoFlagsChange)
{
    std::vector<std::uint8_t> colours(3 * kPaletteEntries);
    for (int i = 0; i < 3 * kPaletteEntries; ++i)
        colours[i] = std::uint8_t(i * 7 + 3);
    std::vector<DisplayColour> before(kPaletteEntries);
    for (int i = 0; i < kPaletteEntries; ++i)
        before[i] = {std::uint8_t(0xA0 ^ i), std::uint8_t(0x50 ^ i), std::uint8_t(0x0F ^ i), std::uint8_t(i & 7)};
    for (const std::vector<std::uint8_t>& film : {colours, std::vector<std::uint8_t>(3 * kPaletteEntries, 0)}) {
        std::vector<DisplayColour> table = before;
        CopyFilmColours(table.data(), film.data());
        for (int i = 0; i < kPaletteEntries; ++i) {
            DisplayColour want = before[i];
            if (i >= 10 && i <= 245)
                want = {film[3 * i], film[3 * i + 1], film[3 * i + 2], before[i].Flags};
            EXPECT_EQ(0, std::memcmp(&want, &table[i], sizeof want)) << "entry " << i;
        }
    }
}

// The client area lands on a column divisible by four: remainders 0, 1 and 2 go down, 3 goes
// up. A client area 3 pixels right of the window counts but is not part of the result (window
// x 10 puts it at 13, which goes down to 12, so the window goes to 9). A window left of the
// screen stays there, not thrown to the far right as a 16-bit unsigned result would be.
TEST(FilmWindowAlignment, TheClientAreaLandsOnAColumnDivisibleByFour)
{
    const std::int32_t cases[][3] = {{0, 0, 0},    {1, 0, 0},   {2, 0, 0},     {3, 0, 4},   {4, 0, 4},
                                     {102, 0, 100}, {103, 0, 104}, {10, 3, 9},  {12, 3, 13}, {6, 3, 5},
                                     {-3, 0, -4},   {-4, 0, -4},   {-6, 0, -8}, {-5, 0, -4}};
    for (const auto& c : cases)
        EXPECT_EQ(c[2], AlignFilmWindowX(c[0], c[1])) << c[0] << " with the client at " << c[1];
    for (std::int32_t origin : {0, 1, 2, 3, 7, 250}) {
        for (std::int32_t x = -9; x < 40; ++x) {
            std::int32_t aligned = AlignFilmWindowX(x, origin);
            EXPECT_EQ(0, (((aligned + origin) % 4) + 4) % 4) << x << " " << origin;
            EXPECT_LE(std::abs(aligned - x), 2) << x << " " << origin;
        }
    }
}

// (Films of one frame and more end on their last in the film player's tests.)
TEST(FilmEnd, AFilmWithoutFramesNeverReachesALastOne)
{
    EXPECT_FALSE(IsLastFilmFrame(0xFFFFFFFFu, 0));
}
