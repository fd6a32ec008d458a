// The perspective renderer of the credits crawl: the text as a plane receding into the
// distance, drawn one screen row at a time into an 8-bit compose buffer. Geometry is 16.16
// fixed point; floating point appears only while the per-row tables are built.
#pragma once

#include "crawl/crawl_text.h"
#include "intro/intro_screen.h"

#include <cstdint>

constexpr int kCrawlTableRows = kHighResolutionScreen.Height;

// The palette indices of text in one row; slots 4, 6 and 7 are unused.
struct RowShade {
    std::uint8_t Slot[8];
};
enum ShadeSlot {
    kHighlightSlot = 0,  // the pixel where an ink run begins
    kShadowSlot = 1,     // the pixel after every run, black
    kBodySlot = 2,       // the body of a run
    kStrongEdgeSlot = 3, // trailing edge, covered two thirds or more
    kWeakEdgeSlot = 5,   // trailing edge, covered a third or more
};

// Indexed by screen row; only rows TopRow to EndRow are filled, TopRow to EndRow - 1 drawn.
struct CrawlTables {
    std::int32_t TopRow;
    std::int32_t EndRow;
    std::int32_t LeftEdge[kCrawlTableRows];   // 16.16 pixels: where the row's slice of the plane starts
    std::int32_t Depth[kCrawlTableRows];      // 16.16 text units from the end row, growing upwards
    std::int32_t RunWidth[kCrawlTableRows][32]; // [r][k]: 16.16 pixels that k glyph units span in row r
    RowShade Shade[kCrawlTableRows];
    DisplayColour PaletteCopy[kPaletteEntries]; // the display palette when the tables were built
    // Per scanline and glyph code: the font's record may be drawn (see ScanlineDrawable).
    // Taken once per crawl, after the font was read, so that frames need not check again.
    std::uint8_t Drawable[kGlyphScanlines][kGlyphCount];
};

extern CrawlTables g_crawlTables;

// The buffer DrawCrawlRows writes into: rows one after another, the row stride equal to
// the width. Rows at or past Height are never touched, nor pixels at or past Width.
struct CrawlCanvas {
    std::uint8_t* Pixels;
    std::int32_t Width;
    std::int32_t Height;
};

extern CrawlCanvas g_crawlCanvas;

// Builds the tables for a trapezoid from (topWidth at topRow) to (bottomWidth at endRow),
// centred on centre, with scale the glyph unit's width at the bottom in pixels, the shades
// taken from displayPalette (null: the palette copy stays as it was), and last loads the
// font. Returns the font loader's result.
std::int32_t BuildCrawlTables(std::int32_t topWidth, std::int32_t topRow, std::int32_t bottomWidth,
                              std::int32_t endRow, std::int32_t centre, const char* fontFileName, double scale,
                              const DisplayColour* displayPalette);

// Records which of the glyph font's records may be drawn; BuildCrawlTables does this after
// reading the font, and whoever changes the font table afterwards must do it again.
void ExamineGlyphFont();

// Changes with every ExamineGlyphFont: what was derived from the font before is stale.
std::uint32_t GlyphFontGeneration();

// The crawl's geometry for a 640x480 or 320x240 screen.
std::int32_t BuildCrawlTablesForScreen(std::int32_t width, std::int32_t height, const char* fontFileName,
                                       const DisplayColour* displayPalette);

// The palette copy's entry nearest to the colour; of equal distances the lowest index.
std::uint8_t NearestPaletteIndex(std::int32_t red, std::int32_t green, std::int32_t blue);

// Gives back the memory of the run lists that frames are drawn from; the next frame lays
// the text out again.
void ReleaseCrawlLayout();

// Draws the text at the scroll position (text units) into rows firstRow to endRow - 1 of
// the canvas; 0 for either row selects the tables' own.
void DrawCrawlRows(std::int32_t firstRow, std::int32_t endRow, std::int32_t scrollPosition);
