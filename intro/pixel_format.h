// The film decoder's classes of screen pixel formats. Portable: the Win32 display asks the
// primary surface for its format and classifies it here.
#pragma once

#include <cstdint>

struct PixelFormatClass {
    std::uint32_t BlitFlags; // what the decoder is told; 0 for 8 bits and for unknown formats
    bool Supported;          // false: none of the known formats, the caller warns the user
};

// The first match decides: 8 bits per pixel, then the 5-6-5, 5-5-5, 5-5-6 and 6-5-5 colour
// masks (masks alone: bit count and alpha mask take no part in those tests).
PixelFormatClass ClassifyPixelFormat(std::uint32_t bitsPerPixel, std::uint32_t redMask,
                                     std::uint32_t greenMask, std::uint32_t blueMask);
