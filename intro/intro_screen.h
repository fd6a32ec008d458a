// The intro's screen as the film, the credits crawl and the display all see it: its two
// modes, its 256-entry palette, and where a windowed picture sits on a screen that could not
// be switched to the mode. Portable, so that the arithmetic is tested natively.
#pragma once

#include <cstdint>

// The intro's two modes, always 8 bits a pixel.
struct ScreenSize {
    std::int32_t Width, Height;
};
constexpr ScreenSize kHighResolutionScreen = {640, 480};
constexpr ScreenSize kLowResolutionScreen = {320, 240};

// One entry of the display's palette, laid out as the system's PALETTEENTRY.
struct DisplayColour {
    std::uint8_t Red, Green, Blue, Flags;
};

constexpr int kPaletteEntries = 256;
// Entries 0-9 and 246-255 are the system's static colours; the film owns those between.
constexpr int kFirstFilmColour = 10;
constexpr int kLastFilmColour = 245;

// Where the picture of the mode goes in a window covering a screen of another size: every
// picture pixel becomes a Scale x Scale block, Scale the largest whole factor that fits (at
// least 1), centred. On a screen smaller than the picture the factor is 1 and the picture's
// middle is shown: Source is the part of the picture shown, Target where it lands. The
// picture's first column lands on a screen column divisible by 4 (screenLeft is the screen's
// own first column) wherever the margins leave room to move it by the pixel or two needed.
struct PicturePlacement {
    std::int32_t Scale;
    std::int32_t SourceX, SourceY, SourceWidth, SourceHeight;
    std::int32_t TargetX, TargetY, TargetWidth, TargetHeight;
};

PicturePlacement PlacePicture(ScreenSize picture, ScreenSize screen, std::int32_t screenLeft = 0);
