#include "crawl/crawl_renderer.h"

#include "crawl/crawl_text.h"

#include <algorithm>
#include <cmath>
#include <cstring>

CrawlTables g_crawlTables;
CrawlCanvas g_crawlCanvas;

namespace {

constexpr std::int32_t kFixedOne = 65536;   // 1.0 in 16.16
constexpr std::int32_t kFractionMask = 0xFFFF;
constexpr std::int32_t kQuarterPixel = 0x4000;
// Trailing-edge coverage thresholds: two thirds and one third of a pixel.
constexpr std::int32_t kStrongCoverage = 0xAAAA;
constexpr std::int32_t kWeakCoverage = 0x5555;

// The text field is this many glyph units wide in every row; the run width of eight units
// keeps the centring's arithmetic in whole eighths as the font was laid out for.
constexpr std::int32_t kFieldUnits = 640;
constexpr int kCentringUnits = 8;

// The plane's depth per row: a row of width w pixels covers 1 / (1.35 w) of the bottom
// width's worth of text units; the 0.1 keeps the far rows finite.
constexpr double kDepthFactor = 1.35;
constexpr double kWidthBias = 0.1;

// Grey levels of the shades: H = r * 192 / g + 4, M = r * 176 / g, E = r * 128 / g, with g
// the screen height; so text fades towards black with distance.
constexpr std::int32_t kHighlightGrey = 192, kHighlightLift = 4;
constexpr std::int32_t kBodyGrey = 176;
constexpr std::int32_t kEdgeGrey = 128;
constexpr int kScreenHeightAtScaleOne = 480;

constexpr int kTextUnitsPerLine = kGlyphScanlines;
constexpr unsigned char kCentringMark = '*';

// Integer results of the table arithmetic truncate toward zero. Values beyond 32 bits
// cannot come from the crawl's geometry; they saturate instead of being undefined.
std::int32_t Truncate(double value)
{
    if (!(value > -2147483648.0))
        return value != value ? 0 : INT32_MIN;
    if (value >= 2147483647.0)
        return INT32_MAX;
    return static_cast<std::int32_t>(value);
}

// 32-bit two's-complement wrap of a wider result, as the pen's arithmetic is modulo 2^32.
std::int32_t Wrap(std::int64_t value)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

struct RowGeometry {
    std::int32_t width; // 16.16 pixels
    std::int32_t unit;  // 16.16 pixels per glyph unit
    std::int32_t step;  // 16.16 text units that the row covers
};

RowGeometry RowGeometryAt(std::int32_t r, std::int32_t topWidth, std::int32_t topRow, std::int32_t bottomWidth,
                          std::int32_t endRow, double scale)
{
    RowGeometry g;
    g.width = Truncate(static_cast<double>(topWidth) * kFixedOne +
                       static_cast<double>(r - topRow) * (bottomWidth - topWidth) * kFixedOne / (endRow - topRow));
    g.unit = Truncate(scale * g.width / bottomWidth);
    g.step = Truncate((1.0 / (kDepthFactor * scale)) * (static_cast<double>(bottomWidth) * kFixedOne) /
                      (static_cast<double>(g.width) / kFixedOne + kWidthBias));
    return g;
}

void BuildRowGeometry(std::int32_t topWidth, std::int32_t topRow, std::int32_t bottomWidth, std::int32_t endRow,
                      std::int32_t centre, double scale)
{
    CrawlTables& t = g_crawlTables;
    // From the end row upwards, since each depth adds to the one below.
    for (std::int32_t r = endRow; r >= topRow; --r) {
        RowGeometry g = RowGeometryAt(r, topWidth, topRow, bottomWidth, endRow, scale);
        t.LeftEdge[r] = Wrap(static_cast<std::int64_t>(Truncate(static_cast<double>(centre) * kFixedOne)) -
                             g.width / 2 + kQuarterPixel);
        t.Depth[r] = r == endRow ? 0 : Wrap(static_cast<std::int64_t>(t.Depth[r + 1]) + g.step);
        for (int k = 0; k < kRunLengthLimit; ++k)
            t.RunWidth[r][k] = Wrap(static_cast<std::int64_t>(k) * g.unit);
    }
}

// Shades for every row of the table, drawn or not; each grey level is held in one byte.
void BuildRowShades(double scale)
{
    std::int32_t g = Truncate(kScreenHeightAtScaleOne * scale);
    if (g <= 0)
        g = 1;
    for (std::int32_t r = 0; r < kCrawlTableRows; ++r) {
        std::uint8_t highlight = static_cast<std::uint8_t>(r * kHighlightGrey / g + kHighlightLift);
        std::uint8_t body = static_cast<std::uint8_t>(r * kBodyGrey / g);
        std::uint8_t edge = static_cast<std::uint8_t>(r * kEdgeGrey / g);
        std::uint8_t weakEdge = static_cast<std::uint8_t>(edge / 2);
        RowShade& shade = g_crawlTables.Shade[r];
        shade.Slot[kHighlightSlot] = NearestPaletteIndex(highlight, highlight, highlight);
        shade.Slot[kShadowSlot] = NearestPaletteIndex(0, 0, 0);
        shade.Slot[kBodySlot] = NearestPaletteIndex(body, body, body);
        shade.Slot[kStrongEdgeSlot] = NearestPaletteIndex(edge, edge, edge);
        shade.Slot[kWeakEdgeSlot] = NearestPaletteIndex(weakEdge, weakEdge, weakEdge);
    }
}

} // namespace

std::int32_t BuildCrawlTables(std::int32_t topWidth, std::int32_t topRow, std::int32_t bottomWidth,
                              std::int32_t endRow, std::int32_t centre, const char* fontFileName, double scale,
                              const CrawlColour* displayPalette)
{
    CrawlTables& t = g_crawlTables;
    // An area that does not fit the tables, or has no height, is stored empty: nothing of
    // it is ever drawn.
    bool usable = topRow >= 0 && topRow < endRow && endRow < kCrawlTableRows && bottomWidth != 0 && scale != 0;
    t.TopRow = usable ? topRow : 0;
    t.EndRow = usable ? endRow : 0;
    if (usable)
        BuildRowGeometry(topWidth, topRow, bottomWidth, endRow, centre, scale);
    if (displayPalette)
        std::memcpy(t.PaletteCopy, displayPalette, sizeof t.PaletteCopy);
    BuildRowShades(scale);
    return LoadGlyphFont(fontFileName);
}

std::int32_t BuildCrawlTablesForScreen(std::int32_t width, std::int32_t height, const char* fontFileName,
                                       const CrawlColour* displayPalette)
{
    // Narrow at the top, a fifth of the screen; full width five rows above the bottom; the
    // glyph unit is one pixel at the bottom of the 640-wide screen.
    return BuildCrawlTables(width / 5, height / 8, width, height - 5, width / 2, fontFileName, width / 640.0,
                            displayPalette);
}

std::uint8_t NearestPaletteIndex(std::int32_t red, std::int32_t green, std::int32_t blue)
{
    int best = 0;
    std::int64_t bestDistance = INT64_MAX;
    for (int i = 0; i < kPaletteEntries; ++i) {
        const CrawlColour& c = g_crawlTables.PaletteCopy[i];
        std::int64_t db = c.Blue - blue, dg = c.Green - green, dr = c.Red - red;
        std::int64_t distance = db * db + dg * dg + dr * dr;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

namespace {

// One row of the canvas with its shade; every store is clipped to the row's width.
struct RowTarget {
    std::uint8_t* pixels;
    std::int32_t width;
    const RowShade* shade;

    void Plot(std::int32_t x, int slot) const
    {
        if (x < width)
            pixels[x] = shade->Slot[slot];
    }
    void Fill(std::int32_t x, std::int32_t count, int slot) const
    {
        std::int32_t end = std::min(x + count, width);
        if (x < end)
            std::memset(pixels + x, shade->Slot[slot], static_cast<std::size_t>(end - x));
    }
};

// A run of length run (16.16 pixels) at the pen: a highlight where it starts, the body as
// one block, a trailing pixel by how much of the last pixel it covers, then the shadow.
void DrawRun(const RowTarget& row, std::uint32_t pen, std::int32_t run)
{
    std::int32_t x = static_cast<std::int32_t>(pen >> 16);
    std::int64_t rest = run;
    std::int32_t next = x;
    if (run >= kFixedOne) {
        row.Plot(x, kHighlightSlot);
        rest = static_cast<std::int64_t>(run) + (pen & kFractionMask) - kFixedOne;
        std::int32_t body = static_cast<std::int32_t>(rest >> 16);
        row.Fill(x + 1, body, kBodySlot);
        next = x + 1 + body;
    }
    std::int32_t coverage = static_cast<std::int32_t>(rest & kFractionMask);
    if (coverage >= kStrongCoverage)
        row.Plot(next++, kStrongEdgeSlot);
    else if (coverage >= kWeakCoverage)
        row.Plot(next++, kWeakEdgeSlot);
    row.Plot(next, kShadowSlot);
}

// The offset that centres the rest of the line after a mark in the 640-unit field.
std::int32_t CentringAfterMark(const std::uint8_t* rest, std::int32_t eightUnits)
{
    std::int64_t sum = 0;
    for (; *rest; ++rest)
        sum += GlyphWidth(g_glyphFont, *rest);
    return Wrap(static_cast<std::int64_t>(eightUnits) * (kFieldUnits / 2) / kCentringUnits -
                sum * eightUnits / (2 * kCentringUnits));
}

void DrawTextRow(std::int32_t r, const std::uint8_t* line, int scanline)
{
    const CrawlTables& t = g_crawlTables;
    const std::int32_t* runWidth = t.RunWidth[r];
    RowTarget row = {g_crawlCanvas.Pixels + static_cast<std::size_t>(r) * g_crawlCanvas.Width, g_crawlCanvas.Width,
                     &t.Shade[r]};
    std::uint32_t pen = static_cast<std::uint32_t>(t.LeftEdge[r]);
    for (const std::uint8_t* c = line; *c;) {
        if (*c == kCentringMark) {
            ++c;
            if (!*c)
                return;
            pen += static_cast<std::uint32_t>(CentringAfterMark(c, runWidth[kCentringUnits]));
        }
        unsigned code = *c++;
        const std::uint8_t* record = GlyphScanline(g_glyphFont, code, scanline);
        if (!ScanlineDrawable(record)) {
            // A broken record (no font, a short or damaged one) keeps the line's spacing.
            pen += static_cast<std::uint32_t>(static_cast<std::int64_t>(GlyphWidth(g_glyphFont, code)) * runWidth[1]);
            continue;
        }
        pen += static_cast<std::uint32_t>(runWidth[record[0]]);
        for (const std::uint8_t* pair = record + 1; *pair != kScanlineEnd; pair += 2) {
            std::int32_t run = runWidth[pair[0]];
            DrawRun(row, pen, run);
            pen += static_cast<std::uint32_t>(run) + static_cast<std::uint32_t>(runWidth[pair[1]]);
        }
    }
}

} // namespace

void DrawCrawlRows(std::int32_t firstRow, std::int32_t endRow, std::int32_t scrollPosition)
{
    const CrawlTables& t = g_crawlTables;
    const CrawlText& text = g_crawlText;
    if (firstRow == 0)
        firstRow = t.TopRow;
    if (endRow == 0)
        endRow = t.EndRow;
    if (!g_crawlCanvas.Pixels || g_crawlCanvas.Width <= 0 || !text.Buffer)
        return;
    std::int32_t lastRow = std::min({endRow, g_crawlCanvas.Height, static_cast<std::int32_t>(kCrawlTableRows)}) - 1;
    firstRow = std::max(firstRow, 0);
    // From the bottom up, the order of increasing distance.
    for (std::int32_t r = lastRow; r >= firstRow; --r) {
        std::int64_t units = static_cast<std::int64_t>(scrollPosition) - (t.Depth[r] >> 16);
        std::int64_t line = units / kTextUnitsPerLine;
        if (line <= 0 || line >= text.LineLimit)
            continue;
        const auto* chars = reinterpret_cast<const std::uint8_t*>(text.Buffer + text.LineStart[line]);
        if (*chars)
            DrawTextRow(r, chars, static_cast<int>(units % kTextUnitsPerLine));
    }
}
