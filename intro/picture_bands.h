// The windowed intro's present: the picture's 8-bit rows turned into 32-bit colours, each
// pixel a Scale x Scale block, and only where the picture changed since it was last shown.
// Sending a whole 640x480 picture at factor 4 is 19 MB a frame; a film frame changes a
// quarter of its rows on average and the crawl less, so a frame costs a fraction of that.
// Portable: the window's side only hands the bands to GDI.
#pragma once

#include "intro/intro_screen.h"

#include <cstdint>
#include <vector>

// A 32-bit colour as a top-down 32-bit DIB holds it: blue, green, red, unused (0x00RRGGBB).
using PixelColour = std::uint32_t;

// Rows of the picture to send again, and the columns within them that may have changed;
// picture coordinates, inside the placement's source rectangle.
struct PictureBand {
    std::int32_t FirstRow, Rows;
    std::int32_t FirstColumn, Columns;
};

// What the window shows: a copy of the picture's shown part and the colours it was shown in.
struct ShownPicture {
    std::vector<std::uint8_t> Pixels; // SourceWidth x SourceHeight of the placement, rows packed
    PixelColour Colours[kPaletteEntries];
    bool Valid = false;               // false: nothing shown yet, everything is sent
};

// Compares the picture (rows `pitch` bytes apart) with what was shown and lists the bands
// to send: rows whose pixels changed, and rows that hold an entry whose colour changed.
// Rows a few apart are joined into one band, since each band costs a call of its own. The
// shown copy is brought up to date. `everything` sends the whole shown part.
void FindChangedBands(ShownPicture& shown, const std::uint8_t* picture, std::int32_t pitch,
                      const PixelColour (&colours)[kPaletteEntries], const PicturePlacement& placement,
                      bool everything, std::vector<PictureBand>& bands);

// Writes rows of a band, from `firstRow` for `rows` rows, as blocks of the placement's scale
// into `target` (32-bit pixels, `targetPitch` pixels from one row to the next): the band's
// top-left block lands at target[0]. The target holds rows * Scale rows of at least
// band.Columns * Scale pixels.
void ExpandPictureRows(const std::uint8_t* picture, std::int32_t pitch,
                       const PixelColour (&colours)[kPaletteEntries], const PicturePlacement& placement,
                       const PictureBand& band, std::int32_t firstRow, std::int32_t rows, PixelColour* target,
                       std::int32_t targetPitch);
