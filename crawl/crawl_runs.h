// Inside the renderer: drawing one ink run into one row of the compose buffer, and the
// fixed-point constants that the row drawing shares. Not for use outside crawl_*.cpp.
#pragma once

#include "crawl/crawl_renderer.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace crawl_runs {

constexpr std::int32_t kFixedOne = 65536; // 1.0 in 16.16
constexpr std::int32_t kFractionMask = 0xFFFF;
// Trailing-edge coverage thresholds: two thirds and one third of a pixel.
constexpr std::int32_t kStrongCoverage = 0xAAAA;
constexpr std::int32_t kWeakCoverage = 0x5555;

// The text field is this many glyph units wide in every row; a centring mark places the
// rest of its line symmetrically in it, in steps of the run width of eight units.
constexpr std::int32_t kFieldUnits = 640;
constexpr int kCentringUnits = 8;
constexpr unsigned char kCentringMark = '*';

// 32-bit two's-complement wrap of a wider result, as the pen's arithmetic is modulo 2^32.
inline std::int32_t Wrap(std::int64_t value)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// The offset that centres a line of sum units in the field, for a row whose eight units
// span eightUnits (16.16 pixels).
inline std::int32_t Centring(std::int64_t sum, std::int32_t eightUnits)
{
    return Wrap(static_cast<std::int64_t>(eightUnits) * (kFieldUnits / 2) / kCentringUnits -
                sum * eightUnits / (2 * kCentringUnits));
}

// One row of the canvas with its shade.
struct RowTarget {
    std::uint8_t* pixels;
    std::int32_t width;
    std::uint8_t highlight, shadow, body;
    std::uint8_t edge[3]; // by coverage: below a third (the shadow colour), weak, strong
};

inline RowTarget RowOf(std::int32_t r)
{
    const RowShade& shade = g_crawlTables.Shade[r];
    return {g_crawlCanvas.Pixels + static_cast<std::size_t>(r) * g_crawlCanvas.Width,
            g_crawlCanvas.Width,
            shade.Slot[kHighlightSlot],
            shade.Slot[kShadowSlot],
            shade.Slot[kBodySlot],
            {shade.Slot[kShadowSlot], shade.Slot[kWeakEdgeSlot], shade.Slot[kStrongEdgeSlot]}};
}

// A run of length run (16.16 pixels) at the pen: a highlight where it starts, the body as
// one block, a trailing pixel by how much of the last pixel it covers, then the shadow.
// Pixels at or past the row's width are dropped; the pen's pixel x is never negative.
inline void DrawRunClipped(const RowTarget& row, std::uint32_t pen, std::int32_t run)
{
    std::int32_t x = static_cast<std::int32_t>(pen >> 16);
    std::int64_t rest = run;
    std::int32_t next = x;
    if (run >= kFixedOne) {
        if (x < row.width)
            row.pixels[x] = row.highlight;
        rest = static_cast<std::int64_t>(run) + (pen & kFractionMask) - kFixedOne;
        std::int32_t body = static_cast<std::int32_t>(rest >> 16);
        std::int32_t end = std::min(x + 1 + body, row.width);
        if (x + 1 < end)
            std::memset(row.pixels + x + 1, row.body, static_cast<std::size_t>(end - x - 1));
        next = x + 1 + body;
    }
    std::int32_t coverage = static_cast<std::int32_t>(rest & kFractionMask);
    int level = (coverage >= kWeakCoverage) + (coverage >= kStrongCoverage);
    if (level) {
        if (next < row.width)
            row.pixels[next] = row.edge[level];
        ++next;
    }
    if (next < row.width)
        row.pixels[next] = row.shadow;
}

// Bytes that the unclipped run may touch past the pixel count its length promises: the
// 8-byte tail store of the body, and the edge and shadow pixels.
constexpr std::int32_t kRunSlack = 10;
constexpr std::uint64_t kEveryByte = 0x0101010101010101ull;
constexpr std::int32_t kShortBody = 3;

// Fills count pixels with the colour, eight at a time; the last, partial group is merged
// into the pixels already there, so the bytes after the run keep their values.
inline void FillPixels(std::uint8_t* p, std::int32_t count, std::uint8_t colour)
{
    if constexpr (std::endian::native != std::endian::little) {
        std::memset(p, colour, static_cast<std::size_t>(count));
    } else {
        std::uint64_t pattern = colour * kEveryByte;
        for (; count >= 8; count -= 8, p += 8)
            std::memcpy(p, &pattern, 8);
        std::uint64_t old;
        std::memcpy(&old, p, 8);
        std::uint64_t mask = (std::uint64_t{1} << (count * 8)) - 1;
        old = (old & ~mask) | (pattern & mask);
        std::memcpy(p, &old, 8);
    }
}

// The run when all it touches lies inside the row, which is nearly always. The coverage
// varies from run to run and a branch on it would often be mispredicted, so the edge pixel
// is always written (in the shadow colour when the coverage earns no edge) and the shadow
// after it lands on the same pixel or the next.
inline void DrawRun(const RowTarget& row, std::uint32_t pen, std::int32_t run)
{
    std::int32_t x = static_cast<std::int32_t>(pen >> 16);
    if (run < 0 || x + (run >> 16) + kRunSlack >= row.width) {
        DrawRunClipped(row, pen, run);
        return;
    }
    std::uint8_t* p = row.pixels + x;
    std::int32_t rest = run;
    if (run >= kFixedOne) {
        rest = run + static_cast<std::int32_t>(pen & kFractionMask) - kFixedOne;
        std::int32_t body = rest >> 16;
        *p++ = row.highlight;
        if (body <= kShortBody) {
            // Short bodies, most of them, pixel by pixel: each of the first pixels takes
            // the body colour or its own again. A wide read for a merge would have to wait
            // for the pixels that the run before has just written.
            for (std::int32_t i = 0; i < kShortBody; ++i)
                p[i] = i < body ? row.body : p[i];
        } else {
            FillPixels(p, body, row.body);
        }
        p += body;
    }
    std::int32_t coverage = rest & kFractionMask;
    int level = (coverage >= kWeakCoverage) + (coverage >= kStrongCoverage);
    p[0] = row.edge[level];
    p[level != 0] = row.shadow;
}

} // namespace crawl_runs
