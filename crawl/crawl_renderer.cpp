#include "crawl/crawl_renderer.h"

#include "crawl/crawl_layout.h"
#include "crawl/crawl_runs.h"
#include "crawl/crawl_text.h"

#include <algorithm>
#include <cmath>
#include <cstring>

CrawlTables g_crawlTables;
CrawlCanvas g_crawlCanvas;

static std::uint32_t g_fontGeneration;

namespace {

using namespace crawl_runs;

constexpr std::int32_t kQuarterPixel = 0x4000;

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
                              const DisplayColour* displayPalette)
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
    std::int32_t result = LoadGlyphFont(fontFileName);
    ExamineGlyphFont();
    return result;
}

std::int32_t BuildCrawlTablesForScreen(std::int32_t width, std::int32_t height, const char* fontFileName,
                                       const DisplayColour* displayPalette)
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
        const DisplayColour& c = g_crawlTables.PaletteCopy[i];
        std::int64_t db = c.Blue - blue, dg = c.Green - green, dr = c.Red - red;
        std::int64_t distance = db * db + dg * dg + dr * dr;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

void ExamineGlyphFont()
{
    for (int s = 0; s < kGlyphScanlines; ++s) {
        for (int code = 0; code < kGlyphCount; ++code)
            g_crawlTables.Drawable[s][code] = ScanlineDrawable(GlyphScanline(g_glyphFont, code, s));
    }
    ++g_fontGeneration;
}

std::uint32_t GlyphFontGeneration()
{
    return g_fontGeneration;
}

namespace {

// A row drawn from its line's run list: each run's pen is the row's left edge, plus its
// units times the row's unit width, plus the centrings of the marks before it, all modulo
// 2^32 as the glyph-by-glyph walk adds them up.
struct LaidOutRow {
    RowTarget row;
    const std::int32_t* runWidth;
    std::uint32_t unit;
    const crawl_layout::LaidRun* run;
    const crawl_layout::LaidRun* end;
    std::uint32_t shift[1 + 64]; // the pen of unit 0 after m marks
};

void PrepareLaidOutRow(LaidOutRow& out, std::int32_t r, const crawl_layout::LineRuns& line)
{
    out.runWidth = g_crawlTables.RunWidth[r];
    out.row = RowOf(r);
    out.unit = static_cast<std::uint32_t>(out.runWidth[1]);
    out.run = line.runs;
    out.end = line.runs + line.count;
    out.shift[0] = static_cast<std::uint32_t>(g_crawlTables.LeftEdge[r]);
    for (int m = 0; m < line.markCount; ++m)
        out.shift[m + 1] =
            out.shift[m] + static_cast<std::uint32_t>(Centring(line.markWidths[m], out.runWidth[kCentringUnits]));
}

inline void DrawNextRun(LaidOutRow& r)
{
    const crawl_layout::LaidRun& run = *r.run++;
    DrawRun(r.row, r.shift[run.marks] + run.units * r.unit, r.runWidth[run.ink]);
}

// Two rows at once, a run of each in turn. Each run of a row reads pixels that the run
// before it has just written and has to wait until they are written; the other row's run
// does its work meanwhile.
constexpr int kRowsAtOnce = 2;

void DrawLaidOutRows(LaidOutRow* rows, int count)
{
    LaidOutRow& a = rows[0];
    if (count == 2) {
        LaidOutRow& b = rows[1];
        while (a.run != a.end && b.run != b.end) {
            DrawNextRun(a);
            DrawNextRun(b);
        }
        while (b.run != b.end)
            DrawNextRun(b);
    }
    if (count >= 1) {
        while (a.run != a.end)
            DrawNextRun(a);
    }
}

// The glyph-by-glyph walk, for lines without a run list.
void DrawTextRow(std::int32_t r, const std::uint8_t* line, int scanline)
{
    const CrawlTables& t = g_crawlTables;
    const std::int32_t* runWidth = t.RunWidth[r];
    RowTarget row = RowOf(r);
    const std::uint8_t* drawable = t.Drawable[scanline];
    std::uint32_t pen = static_cast<std::uint32_t>(t.LeftEdge[r]);
    for (const std::uint8_t* c = line; *c;) {
        if (*c == kCentringMark) {
            ++c;
            if (!*c)
                return;
            std::int64_t sum = 0;
            for (const std::uint8_t* rest = c; *rest; ++rest)
                sum += GlyphWidth(g_glyphFont, *rest);
            pen += static_cast<std::uint32_t>(Centring(sum, runWidth[kCentringUnits]));
        }
        unsigned code = *c++;
        if (!drawable[code]) {
            // A broken record (no font, a short or damaged one) keeps the line's spacing.
            pen += static_cast<std::uint32_t>(static_cast<std::int64_t>(GlyphWidth(g_glyphFont, code)) * runWidth[1]);
            continue;
        }
        const std::uint8_t* record = GlyphScanline(g_glyphFont, code, scanline);
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
    // From the bottom up, the order of increasing distance; rows with run lists in pairs.
    LaidOutRow waiting[kRowsAtOnce];
    int count = 0;
    for (std::int32_t r = lastRow; r >= firstRow; --r) {
        std::int64_t units = static_cast<std::int64_t>(scrollPosition) - (t.Depth[r] >> 16);
        std::int64_t line = units / kTextUnitsPerLine;
        if (line <= 0 || line >= text.LineLimit)
            continue;
        int scanline = static_cast<int>(units % kTextUnitsPerLine);
        crawl_layout::LineRuns runs;
        if (crawl_layout::LaidOutScanline(line, scanline, runs)) {
            PrepareLaidOutRow(waiting[count++], r, runs);
            if (count == kRowsAtOnce) {
                DrawLaidOutRows(waiting, count);
                count = 0;
            }
            continue;
        }
        const auto* chars = reinterpret_cast<const std::uint8_t*>(text.Buffer + text.LineStart[line]);
        if (*chars)
            DrawTextRow(r, chars, scanline);
    }
    DrawLaidOutRows(waiting, count);
}
