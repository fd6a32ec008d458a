#include "crawl/crawl_layout.h"

#include "crawl/crawl_renderer.h"
#include "crawl/crawl_runs.h"
#include "crawl/crawl_text.h"

#include <new>
#include <vector>

namespace crawl_layout {

namespace {

// Longer lines, and lines with more marks, are drawn glyph by glyph: their run lists would
// be long and are rare. The budget bounds the memory a hostile text can make us take.
constexpr std::size_t kLongestLaidLine = 512;
constexpr std::size_t kMostMarks = 64;
constexpr std::size_t kRunBudget = std::size_t{1} << 20;

struct LineLayout {
    bool laidOut = false;
    std::size_t firstMark = 0, markCount = 0;
    std::size_t first[kGlyphScanlines + 1] = {}; // runs of scanline s: first[s] to first[s + 1]
};

struct Layout {
    bool valid = false;
    std::uint32_t textGeneration = 0, fontGeneration = 0;
    std::vector<LineLayout> lines; // indexed by line number
    std::vector<LaidRun> runs;
    std::vector<std::int64_t> markWidths;
};

Layout g_layout;

const std::uint8_t* LineText(std::int64_t line)
{
    return reinterpret_cast<const std::uint8_t*>(g_crawlText.Buffer + g_crawlText.LineStart[line]);
}

// The same walk as drawing a row glyph by glyph, counting units instead of moving a pen:
// a broken record moves on by its glyph's width, a drawable one by its lead, runs and gaps.
void LayOutScanline(const std::uint8_t* text, int scanline)
{
    const std::uint8_t* drawable = g_crawlTables.Drawable[scanline];
    std::uint32_t units = 0;
    std::uint16_t marks = 0;
    for (const std::uint8_t* c = text; *c;) {
        if (*c == crawl_runs::kCentringMark) {
            if (!*++c)
                return;
            ++marks;
        }
        unsigned code = *c++;
        if (!drawable[code]) {
            units += static_cast<std::uint32_t>(GlyphWidth(g_glyphFont, code));
            continue;
        }
        const std::uint8_t* record = GlyphScanline(g_glyphFont, code, scanline);
        units += record[0];
        for (const std::uint8_t* pair = record + 1; *pair != kScanlineEnd; pair += 2) {
            g_layout.runs.push_back({units, marks, pair[0]});
            units += static_cast<std::uint32_t>(pair[0]) + pair[1];
        }
    }
}

void LayOutLine(std::int64_t n, LineLayout& line)
{
    const std::uint8_t* text = LineText(n);
    std::size_t length = 0, marks = 0;
    for (const std::uint8_t* c = text; *c; ++c, ++length)
        marks += *c == crawl_runs::kCentringMark;
    // Each glyph gives at most six runs in each scanline.
    std::size_t most = length * kMaxInkRuns * kGlyphScanlines;
    if (length > kLongestLaidLine || marks > kMostMarks || g_layout.runs.size() + most > kRunBudget)
        return;

    line.firstMark = g_layout.markWidths.size();
    for (const std::uint8_t* c = text; *c; ++c) {
        if (*c != crawl_runs::kCentringMark)
            continue;
        if (!c[1])
            break;
        std::int64_t sum = 0;
        for (const std::uint8_t* rest = c + 1; *rest; ++rest)
            sum += GlyphWidth(g_glyphFont, *rest);
        g_layout.markWidths.push_back(sum);
        ++c; // the character after a mark is a glyph, even another mark
    }
    line.markCount = g_layout.markWidths.size() - line.firstMark;
    for (int s = 0; s < kGlyphScanlines; ++s) {
        line.first[s] = g_layout.runs.size();
        LayOutScanline(text, s);
    }
    line.first[kGlyphScanlines] = g_layout.runs.size();
    line.laidOut = true;
}

void LayOutText()
{
    g_layout.valid = true;
    g_layout.textGeneration = CrawlTextGeneration();
    g_layout.fontGeneration = GlyphFontGeneration();
    g_layout.runs.clear();
    g_layout.markWidths.clear();
    std::size_t limit = g_crawlText.Buffer && g_crawlText.LineLimit > 0 ? g_crawlText.LineLimit : 0;
    g_layout.lines.assign(limit, LineLayout());
    for (std::size_t n = 1; n < limit; ++n)
        LayOutLine(static_cast<std::int64_t>(n), g_layout.lines[n]);
}

} // namespace

// The run lists grow while the text is laid out; when that growth fails, what was laid out
// is given back, so the next frame starts afresh.
bool UpdateLayout()
{
    if (g_layout.valid && g_layout.textGeneration == CrawlTextGeneration() &&
        g_layout.fontGeneration == GlyphFontGeneration())
        return true;
    try {
        LayOutText();
    } catch (const std::bad_alloc&) {
        g_layout = Layout();
        return false;
    }
    return true;
}

bool LaidOutScanline(std::int64_t line, int scanline, LineRuns& out)
{
    if (!g_layout.valid)
        return false;
    if (line <= 0 || static_cast<std::size_t>(line) >= g_layout.lines.size())
        return false;
    const LineLayout& l = g_layout.lines[static_cast<std::size_t>(line)];
    if (!l.laidOut)
        return false;
    out.runs = g_layout.runs.data() + l.first[scanline];
    out.count = static_cast<int>(l.first[scanline + 1] - l.first[scanline]);
    out.markWidths = g_layout.markWidths.data() + l.firstMark;
    out.markCount = static_cast<int>(l.markCount);
    return true;
}

} // namespace crawl_layout

void ReleaseCrawlLayout()
{
    crawl_layout::g_layout = crawl_layout::Layout();
}
