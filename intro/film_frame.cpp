#include "intro/film_frame.h"

void CopyFilmColours(DisplayColour* table, const std::uint8_t* filmPalette)
{
    for (int i = kFirstFilmColour; i <= kLastFilmColour; ++i) {
        const std::uint8_t* rgb = filmPalette + 3 * i;
        table[i].Red = rgb[0];
        table[i].Green = rgb[1];
        table[i].Blue = rgb[2];
    }
}

// The sum is computed in 64 bits so that no pair of window coordinates can overflow. The
// result stays signed: a window moved to the left of the screen keeps a negative x rather
// than being thrown 64K pixels to the right, as a 16-bit unsigned result would.
std::int32_t AlignFilmWindowX(std::int32_t x, std::int32_t clientOriginX)
{
    std::int64_t screenX = std::int64_t(x) + clientOriginX;
    std::int64_t aligned = (screenX + 1) & ~std::int64_t(3);
    return std::int32_t(aligned - clientOriginX);
}

// A film without frames has no last one: it never ends by itself (SmackOpen refuses such
// films, so this only guards the subtraction).
bool IsLastFilmFrame(std::uint32_t currentFrame, std::uint32_t frames)
{
    return frames != 0 && currentFrame == frames - 1;
}
