// The film player's arithmetic, kept free of the window system so that it is tested
// natively: the palette update's copy of the film colours and the film window's
// position alignment.
#pragma once

#include "intro/intro_screen.h"

#include <cstdint>

// Copies red, green and blue of entries 10 to 245 from the film's palette (three bytes an
// entry, 768 in all) into the table. The flags, and the system's entries 0 to 9 and 246 to
// 255, stay as they are.
void CopyFilmColours(DisplayColour* table, const std::uint8_t* filmPalette);

// The x at which a film window about to move to x has its client area on a screen column
// divisible by 4. clientOriginX is the client area's screen x while the window stood at 0,
// so the client area would land at x + clientOriginX: that goes down to the multiple of 4
// at or below it when its remainder is 0 to 2, and up to the next one when it is 3.
std::int32_t AlignFilmWindowX(std::int32_t x, std::int32_t clientOriginX);

// The frame that SmackDoFrame has just drawn is the film's last one.
bool IsLastFilmFrame(std::uint32_t currentFrame, std::uint32_t frames);
