// The layout of a packed device-independent bitmap, as a bitmap resource holds it: the
// 40-byte header (or a longer one), the colour table, the pixel rows. Portable, so that the
// checks are tested natively; the Win32 layer makes bitmaps and palettes of what passes.
#pragma once

#include <cstddef>
#include <cstdint>

struct DibLayout {
    std::uint32_t Colours;   // entries of the colour table: 0 above 8 bits a pixel, at most 256
    std::size_t TableOffset; // where the colour table starts: the header's own size
    std::size_t RowsOffset;  // where the pixel rows start, behind the table
};

// The entries of the colour table of a bitmap of so many bits a pixel whose header gives
// coloursUsed: all that the bits can tell apart when it is 0, never more than that, and
// none above 8 bits.
std::uint32_t DibColourCount(std::uint16_t bitCount, std::uint32_t coloursUsed);

// Checks the bitmap in the first size bytes before anything of it is used: a header of at
// least 40 bytes, one plane, 1, 4, 8, 16, 24 or 32 bits, uncompressed rows or run-length
// coded ones of the stated image size, and header, colour table and every row within the
// bytes. False for anything else.
bool ReadDibLayout(const void* bytes, std::size_t size, DibLayout& layout);
