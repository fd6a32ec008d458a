#include "intro/pixel_format.h"

namespace {

struct MaskClass {
    std::uint32_t red, green, blue;
    std::uint32_t blitFlags;
};

// The decoder's 16-bit formats, in the order they are tried.
constexpr MaskClass kMaskClasses[] = {
    {0xF800, 0x07E0, 0x001F, 0xC0000000}, // 5-6-5
    {0x7C00, 0x03E0, 0x001F, 0x80000000}, // 5-5-5
    {0xF800, 0x07C0, 0x003F, 0xA0000000}, // 5-5-6
    {0xFC00, 0x03E0, 0x001F, 0xE0000000}, // 6-5-5
};

constexpr std::uint32_t kPalettisedBits = 8;

} // namespace

PixelFormatClass ClassifyPixelFormat(std::uint32_t bitsPerPixel, std::uint32_t redMask,
                                     std::uint32_t greenMask, std::uint32_t blueMask)
{
    if (bitsPerPixel == kPalettisedBits)
        return {0, true};
    for (const MaskClass& c : kMaskClasses) {
        if (redMask == c.red && greenMask == c.green && blueMask == c.blue)
            return {c.blitFlags, true};
    }
    return {0, false};
}
