#include "intro/pixel_format.h"

#include <gtest/gtest.h>

namespace {

// Eight bits come first and need no masks; 15 to 32-bit layouts are told by their masks
// alone; anything else is unsupported with flags zero.
TEST(PixelFormatTest, LayoutsAreToldByTheirDepthAndMasks)
{
    const struct {
        std::uint32_t bits, red, green, blue;
        bool supported;
        std::uint32_t flags;
    } cases[] = {
        {8, 0xF800, 0x07E0, 0x001F, true, 0},
        {16, 0xF800, 0x07E0, 0x001F, true, 0xC0000000},
        {16, 0x7C00, 0x03E0, 0x001F, true, 0x80000000},
        {16, 0xF800, 0x07C0, 0x003F, true, 0xA0000000},
        {16, 0xFC00, 0x03E0, 0x001F, true, 0xE0000000},
        {15, 0x7C00, 0x03E0, 0x001F, true, 0x80000000},
        {32, 0xF800, 0x07E0, 0x001F, true, 0xC0000000},
        {32, 0xFF0000, 0xFF00, 0xFF, false, 0},
        {24, 0xFF0000, 0xFF00, 0xFF, false, 0},
        {16, 0x001F, 0x07E0, 0xF800, false, 0},
        {4, 0, 0, 0, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << std::hex << " bits, " << c.red << " " << c.green << " " << c.blue);
        PixelFormatClass result = ClassifyPixelFormat(c.bits, c.red, c.green, c.blue);
        EXPECT_EQ(result.Supported, c.supported);
        EXPECT_EQ(result.BlitFlags, c.flags);
    }
}

} // namespace
