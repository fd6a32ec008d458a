// The crawl's text ("intro.txt") and its glyph font ("ALPHABET.DAT"), both read from the
// current directory, which the intro has made the medium's root.
#pragma once

#include <cstdint>

// Line offsets: entry 0 belongs to no line, entries 1..L start the lines, entry L + 1 lies
// just behind the last line's terminator. So at most this many lines minus two fit.
constexpr int kCrawlLineTableSize = 1000;
constexpr int kMaxCrawlLines = kCrawlLineTableSize - 2;

// The most bytes of a file that the text keeps: the largest offset a line can start at.
constexpr std::int64_t kMaxCrawlTextBytes = INT32_MAX;

struct CrawlText {
    char* Buffer;              // kept bytes of the file, each complete line ended by a NUL; null: no text
    std::int32_t LineStart[kCrawlLineTableSize]; // offset of line n in Buffer, see above
    std::int32_t LineLimit;    // L + 1: line n is shown only when 0 < n < LineLimit; 0 without text
};

extern CrawlText g_crawlText;

// The font file is the exact image of this table: 256 glyphs in code order, each 27
// scanline records of 16 bytes, scanline 0 at the top.
constexpr int kGlyphCount = 256;
constexpr int kGlyphScanlines = 27;
constexpr int kScanlineBytes = 16;
constexpr int kGlyphBytes = kGlyphScanlines * kScanlineBytes;
constexpr int kGlyphFontBytes = kGlyphCount * kGlyphBytes;

// A scanline record: byte 0 the lead (blank units before the first ink run), then pairs of
// (ink, gap) lengths up to the terminator, byte 15 the glyph's advance width in units.
constexpr std::uint8_t kScanlineEnd = 255;
constexpr int kScanlineWidthByte = 15;
// Lengths index the renderer's run-width table of this many entries.
constexpr int kRunLengthLimit = 32;
// The terminator stands at byte 13 at the latest: six ink runs at most.
constexpr int kLastTerminatorByte = 13;
constexpr int kMaxInkRuns = (kLastTerminatorByte - 1) / 2;

extern std::uint8_t g_glyphFont[kGlyphFontBytes];

// Replaces the crawl text with the lines of the file: bytes below 32 other than the line
// feed are dropped (carriage returns among them), bytes 128-255 are kept as glyph codes.
// Returns the number of complete lines (at most kMaxCrawlLines, within the first
// kMaxCrawlTextBytes kept bytes; later ones are ignored), or 1 with no lines when the file
// cannot be read at all.
std::int32_t LoadCrawlText(const char* fileName);

// Releases the text; afterwards it holds no lines.
void FreeCrawlText();

// Changes with every load and release of the text: what was derived from it is stale.
std::uint32_t CrawlTextGeneration();

// Reads the font file over the glyph table. Returns 1 when the file cannot be opened (the
// table is unchanged), otherwise 0; a short file replaces only the bytes it holds.
std::int32_t LoadGlyphFont(const char* fileName);

// Told the file name when a file was opened but could not be read whole (and when the text
// file cannot be opened). The Win32 layer shows its message box here; null: nobody is told.
extern void (*g_reportReadError)(const char* fileName);

inline const std::uint8_t* GlyphScanline(const std::uint8_t* font, unsigned code, int scanline)
{
    return font + code * kGlyphBytes + scanline * kScanlineBytes;
}

// The advance width of a glyph, as its scanline 0 states it.
inline int GlyphWidth(const std::uint8_t* font, unsigned code)
{
    return GlyphScanline(font, code, 0)[kScanlineWidthByte];
}

// A record the renderer may draw: lead below 32, the terminator at an odd byte of at most
// 13, and every ink and gap length before it below 32.
bool ScanlineDrawable(const std::uint8_t* record);
