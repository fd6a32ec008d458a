// Inside the renderer: each line of the crawl text laid out once per text and font as the
// runs of each of its 27 scanlines, in glyph units from the line's start, so that a frame
// draws a row's runs straight from a list instead of walking glyph records.
#pragma once

#include <cstdint>

namespace crawl_layout {

// One ink run of a scanline: it starts `units` glyph units after the line's start (modulo
// 2^32, as the pen is), after `marks` centring marks, and is `ink` units long.
struct LaidRun {
    std::uint32_t units;
    std::uint16_t marks;
    std::uint8_t ink;
};

struct LineRuns {
    const LaidRun* runs; // the scanline's runs, left to right
    int count;
    const std::int64_t* markWidths; // per centring mark: the advance widths of the text after it
    int markCount;
};

// Lays the text out again when it or the font changed since the last time. False when
// memory ran out; nothing is laid out then.
bool UpdateLayout();

// The runs of a scanline of a line as UpdateLayout laid them out; false for a line that is
// drawn glyph by glyph instead (a very long line, or one beyond the layout's memory budget).
bool LaidOutScanline(std::int64_t line, int scanline, LineRuns& out);

} // namespace crawl_layout
