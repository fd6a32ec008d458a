#include "smacker/smacker_decoder.h"
#include "tests/smacker/test_films.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A 4x4 film of one frame: pixel (x, y) has index 16 + 4y + x; entry i is (8i, 4i, 2i).
void OpenSmallFilm(SmkFilm& film, std::vector<uint8_t>& file, uint32_t displayFlags)
{
    SmkEncodeFrame f;
    for (int i = 0; i < 16; ++i)
        f.Pixels.push_back(uint8_t(16 + i));
    for (int i = 0; i < 256; ++i) {
        f.Palette[3 * i] = SmkExpand6((2 * i) & 63);
        f.Palette[3 * i + 1] = SmkExpand6(i & 63);
        f.Palette[3 * i + 2] = SmkExpand6((i / 2) & 63);
    }
    SmkEncodeOptions o = FilmOptions(4, 4);
    o.DisplayFlags = displayFlags;
    file = EncodeFilm(o, {f});
    ASSERT_TRUE(SmkOpenMemory(film, file.data(), file.size(), 0));
    ASSERT_TRUE(SmkDecodeFrame(film, 0));
}

} // namespace

TEST(SmackerBlit, CopiesWithAnOddPitchCutsWhatDoesNotFitShowsDoubledAndInterlacedFilmsTwiceAsHighAndKeepsEachPixelFormat)
{
    SmkFilm film;
    std::vector<uint8_t> file;
    OpenSmallFilm(film, file, 0);
    uint8_t buffer[7 * 3 + 1];
    std::memset(buffer, 0xEE, sizeof buffer);
    SmkBlit(film, SmkTarget{buffer, 7, 3, 7, kSmkBlit8Bit});
    for (int i = 0; i < 22; ++i)
        EXPECT_EQ(i < 21 && i % 7 < 4 ? 16 + 4 * (i / 7) + i % 7 : 0xEE, buffer[i]) << "the fourth row does not fit";
    SmkBlit(film, SmkTarget{buffer, 3, 7, 3, kSmkBlit8Bit});
    EXPECT_EQ(18, buffer[2]);
    EXPECT_EQ(20, buffer[3]) << "a narrow target cuts the columns";

    for (uint32_t flags : {kSmkYDoubled, kSmkYInterlaced}) {
        OpenSmallFilm(film, file, flags);
        EXPECT_EQ(8u, SmkDisplayHeight(film.Header));
        uint8_t tall[4 * 8];
        std::memset(tall, 0xEE, sizeof tall);
        SmkBlit(film, SmkTarget{tall, 4, 8, 4, kSmkBlit8Bit});
        EXPECT_EQ(20, tall[4 * 2]);
        EXPECT_EQ(flags == kSmkYDoubled ? 20 : 0, tall[4 * 3]) << "rows repeat, or every second row is blank";
    }

    OpenSmallFilm(film, file, 0);
    // Pixel (1, 0) has index 17: (34, 17, 8) in 6 bits, (138, 69, 32) in 8 bits.
    const uint8_t r = SmkExpand6(34), g = SmkExpand6(17), b = SmkExpand6(8);
    const std::pair<uint32_t, uint16_t> formats[] = {
        {kSmkBlit565, uint16_t((r >> 3) << 11 | (g >> 2) << 5 | b >> 3)},
        {kSmkBlit555, uint16_t((r >> 3) << 10 | (g >> 3) << 5 | b >> 3)},
        {kSmkBlit556, uint16_t((r >> 3) << 11 | (g >> 3) << 6 | b >> 2)},
        {kSmkBlit655, uint16_t((r >> 2) << 10 | (g >> 3) << 5 | b >> 3)},
    };
    for (const auto& [flags, expected] : formats) {
        uint16_t buffer[5 * 4] = {};
        SmkBlit(film, SmkTarget{reinterpret_cast<uint8_t*>(buffer), 10, 4, 4, flags});
        EXPECT_EQ(expected, buffer[1]) << std::hex << flags;
        EXPECT_EQ(0, buffer[4]) << "the pitch's spare column stays untouched";
    }
}
