#include "intro/pixel_format.h"

#include <gtest/gtest.h>

#include <array>

namespace {

TEST(PixelFormatTest, EightBitsComeFirstAndNeedNoMasks)
{
    PixelFormatClass c = ClassifyPixelFormat(8, 0xF800, 0x07E0, 0x001F);
    EXPECT_TRUE(c.Supported);
    EXPECT_EQ(c.BlitFlags, 0u);
}

TEST(PixelFormatTest, SixteenBitLayoutsAreToldByTheirMasksAlone)
{
    struct Case {
        std::uint32_t bits, red, green, blue, flags;
    } cases[] = {
        {16, 0xF800, 0x07E0, 0x001F, 0xC0000000}, {16, 0x7C00, 0x03E0, 0x001F, 0x80000000},
        {16, 0xF800, 0x07C0, 0x003F, 0xA0000000}, {16, 0xFC00, 0x03E0, 0x001F, 0xE0000000},
        {15, 0x7C00, 0x03E0, 0x001F, 0x80000000}, {32, 0xF800, 0x07E0, 0x001F, 0xC0000000},
    };
    for (const Case& c : cases) {
        PixelFormatClass result = ClassifyPixelFormat(c.bits, c.red, c.green, c.blue);
        EXPECT_TRUE(result.Supported) << std::hex << c.red << " " << c.green << " " << c.blue;
        EXPECT_EQ(result.BlitFlags, c.flags) << std::hex << c.red << " " << c.green << " " << c.blue;
    }
}

TEST(PixelFormatTest, AnythingElseIsUnsupportedWithFlagsZero)
{
    for (auto [bits, red, green, blue] : {std::array<std::uint32_t, 4>{32, 0xFF0000, 0xFF00, 0xFF},
                                          std::array<std::uint32_t, 4>{24, 0xFF0000, 0xFF00, 0xFF},
                                          std::array<std::uint32_t, 4>{16, 0x001F, 0x07E0, 0xF800},
                                          std::array<std::uint32_t, 4>{4, 0, 0, 0}}) {
        PixelFormatClass result = ClassifyPixelFormat(bits, red, green, blue);
        EXPECT_FALSE(result.Supported) << bits;
        EXPECT_EQ(result.BlitFlags, 0u);
    }
}

} // namespace
