#include "crawl/crawl_renderer.h"

#include "crawl/crawl_text.h"
#include "tests/crawl/crawl_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::uint8_t kBackground = 0xBB;

DisplayColour Grey(int level)
{
    auto v = static_cast<std::uint8_t>(level);
    return {v, v, v, 0};
}

std::vector<DisplayColour> GreyPalette()
{
    std::vector<DisplayColour> palette;
    for (int i = 0; i < kPaletteEntries; ++i)
        palette.push_back(Grey(i));
    return palette;
}

// A glyph whose every scanline is one run of ink filling all but its last unit.
GlyphShape SolidGlyph(int width)
{
    GlyphShape glyph{width, {}};
    for (int s = 0; s < kGlyphScanlines; ++s)
        glyph.scanlines.push_back(Scanline(0, {{width - 1, 1}}, width));
    return glyph;
}

GlyphShape BlankGlyph(int width)
{
    GlyphShape glyph{width, {}};
    for (int s = 0; s < kGlyphScanlines; ++s)
        glyph.scanlines.push_back(Scanline(width, {}, width));
    return glyph;
}

void UseFont(const std::vector<std::uint8_t>& font)
{
    std::memcpy(g_glyphFont, font.data(), kGlyphFontBytes);
    ExamineGlyphFont();
}

// A glyph whose 27 scanlines are all the same record.
GlyphShape Uniform(int lead, const std::vector<std::pair<int, int>>& runs, int width)
{
    return {width, std::vector<std::vector<std::uint8_t>>(kGlyphScanlines, Scanline(lead, runs, width))};
}

// A font of blank glyphs of the given width, except the ones named.
void UseGlyphs(std::initializer_list<std::pair<unsigned char, GlyphShape>> named, int blankWidth = 4)
{
    std::vector<GlyphShape> glyphs(kGlyphCount, BlankGlyph(blankWidth));
    for (const auto& [code, glyph] : named)
        glyphs[code] = glyph;
    UseFont(MakeFont(glyphs));
}

// The canvas sits inside a larger buffer whose margins prove that nothing lands outside.
class RendererTest : public ::testing::Test {
protected:
    static constexpr std::size_t kMargin = 4096;
    static constexpr std::uint8_t kGuard = 0x5A;

    void UseCanvas(int width, int height)
    {
        buffer_.assign(kMargin + static_cast<std::size_t>(width) * height + kMargin, kGuard);
        std::memset(buffer_.data() + kMargin, kBackground, static_cast<std::size_t>(width) * height);
        g_crawlCanvas = {buffer_.data() + kMargin, width, height};
    }

    void UseText(const std::string& text)
    {
        TempFile file(text);
        LoadCrawlText(file.path());
    }

    // Tables for one drawn row by hand: row 10, depth 0, so scroll 27 + s shows scanline s
    // of line 1 there.
    void UseRow(std::int32_t leftEdge, std::int32_t unit)
    {
        std::memset(&g_crawlTables, 0, sizeof g_crawlTables);
        g_crawlTables.TopRow = 10;
        g_crawlTables.EndRow = 11;
        g_crawlTables.LeftEdge[10] = leftEdge;
        for (int k = 0; k < 32; ++k)
            g_crawlTables.RunWidth[10][k] = k * unit;
        for (int slot = 0; slot < 8; ++slot)
            g_crawlTables.Shade[10].Slot[slot] = static_cast<std::uint8_t>(100 + slot);
        ExamineGlyphFont();
    }

    std::uint8_t Pixel(int x, int y) const { return g_crawlCanvas.Pixels[y * g_crawlCanvas.Width + x]; }

    std::string RowText(int y, int from, int to) const
    {
        std::string s;
        for (int x = from; x < to; ++x) {
            std::uint8_t p = Pixel(x, y);
            s += p == kBackground ? '.' : static_cast<char>('0' + (p - 100));
        }
        return s;
    }

    bool RowTouched(int y) const
    {
        for (int x = 0; x < g_crawlCanvas.Width; ++x) {
            if (Pixel(x, y) != kBackground)
                return true;
        }
        return false;
    }

    bool MarginsIntact() const
    {
        for (std::size_t i = 0; i < kMargin; ++i) {
            if (buffer_[i] != kGuard || buffer_[buffer_.size() - 1 - i] != kGuard)
                return false;
        }
        return true;
    }

    void TearDown() override
    {
        FreeCrawlText();
        g_crawlCanvas = {};
    }

    std::vector<std::uint8_t> buffer_;
};

// --- Tables ---------------------------------------------------------------------------

class CrawlTablesTest : public RendererTest {
protected:
    void Build(int width, int height, const std::vector<DisplayColour>& palette)
    {
        TempFile font(MakeFont(std::vector<GlyphShape>(kGlyphCount, SolidGlyph(10))));
        ASSERT_EQ(BuildCrawlTablesForScreen(width, height, font.path(), palette.data()), 0);
    }
};

// The rows' geometry and shades are held against the separately written reference, frame by
// frame, in the reference test; here what it does not meet.
TEST_F(CrawlTablesTest, EqualColoursGiveTheLowestIndex)
{
    std::vector<DisplayColour> palette(kPaletteEntries, Grey(255));
    palette[40] = palette[41] = palette[200] = Grey(90);
    palette[7] = {90, 90, 91, 0};
    Build(640, 480, palette);
    EXPECT_EQ(NearestPaletteIndex(90, 90, 90), 40);
    EXPECT_EQ(NearestPaletteIndex(90, 90, 92), 7);
    EXPECT_EQ(NearestPaletteIndex(255, 255, 255), 0);
}

TEST_F(CrawlTablesTest, WithoutAPaletteTheLastCopyStaysAndAnAllZeroCopyShadesEverythingWithZero)
{
    std::vector<DisplayColour> palette(kPaletteEntries, Grey(0));
    palette[9] = Grey(200);
    Build(640, 480, palette);
    EXPECT_EQ(g_crawlTables.Shade[474].Slot[kHighlightSlot], 9);

    TempFile font(MakeFont(std::vector<GlyphShape>(kGlyphCount, SolidGlyph(10))));
    BuildCrawlTablesForScreen(640, 480, font.path(), nullptr);
    EXPECT_EQ(g_crawlTables.PaletteCopy[9].Red, 200) << "the copy of the previous crawl stays";

    Build(640, 480, std::vector<DisplayColour>(kPaletteEntries, Grey(0)));
    for (int r = 60; r < 475; ++r) {
        for (int slot : {0, 1, 2, 3, 5})
            ASSERT_EQ(g_crawlTables.Shade[r].Slot[slot], 0) << "row " << r << " slot " << slot;
    }
}

TEST_F(CrawlTablesTest, MissingFontIsTheResult)
{
    EXPECT_EQ(BuildCrawlTablesForScreen(640, 480, "/nonexistent/ALPHABET.DAT", nullptr), 1);
}

// --- Frames over built tables ----------------------------------------------------------

class CrawlFrameTest : public CrawlTablesTest {
protected:
    void Prepare(int width, const std::string& text, const std::vector<std::uint8_t>& font)
    {
        int height = width * 3 / 4;
        TempFile fontFile(font);
        BuildCrawlTablesForScreen(width, height, fontFile.path(), GreyPalette().data());
        UseText(text);
        UseCanvas(width, height);
    }
    void Clear() { std::memset(g_crawlCanvas.Pixels, kBackground, g_crawlCanvas.Width * g_crawlCanvas.Height); }
};

// Line 1 first shows in the lowest drawn row at scroll 27 (640) or 28 (320).
TEST_F(CrawlFrameTest, LineOneFirstAppearsInTheLowestDrawnRow)
{
    for (int width : {640, 320}) {
        const int first = width == 640 ? 27 : 28, lowest = width * 3 / 4 - 6;
        Prepare(width, "*AAAA\n", MakeFont(std::vector<GlyphShape>(kGlyphCount, SolidGlyph(20))));
        DrawCrawlRows(0, 0, first - 1);
        for (int y = 0; y < width * 3 / 4; ++y)
            ASSERT_FALSE(RowTouched(y)) << "width " << width << " row " << y;
        DrawCrawlRows(0, 0, first);
        EXPECT_TRUE(RowTouched(lowest)) << width;
        EXPECT_FALSE(RowTouched(lowest - 1)) << width;
        EXPECT_TRUE(MarginsIntact());
    }
}

TEST_F(CrawlFrameTest, OnlyTheCrawlAreaIsDrawn)
{
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += "*AAAAAAAAAA\n";
    for (int width : {640, 320}) {
        Prepare(width, text, MakeFont(std::vector<GlyphShape>(kGlyphCount, SolidGlyph(20))));
        DrawCrawlRows(0, 0, 40 * 27 - 1);
        int height = width * 3 / 4, top = height / 8, end = height - 5;
        for (int y = 0; y < height; ++y)
            EXPECT_EQ(RowTouched(y), y >= top && y < end) << "width " << width << " row " << y;
        EXPECT_TRUE(MarginsIntact());
    }
}

TEST_F(CrawlFrameTest, FramesAfterTheRunListsWereGivenBackAreTheSame)
{
    Prepare(640, "*AAAA\n\nA*AA\n", MakeFont(std::vector<GlyphShape>(kGlyphCount, SolidGlyph(20))));
    DrawCrawlRows(0, 0, 300);
    std::vector<std::uint8_t> first(g_crawlCanvas.Pixels, g_crawlCanvas.Pixels + 640 * 480);
    ReleaseCrawlLayout();
    Clear();
    DrawCrawlRows(0, 0, 300);
    EXPECT_EQ(std::memcmp(first.data(), g_crawlCanvas.Pixels, first.size()), 0);
    EXPECT_NE(first, std::vector<std::uint8_t>(first.size(), kBackground));
}

TEST_F(CrawlFrameTest, LongLineOfCentringMarksCostsOnePassOverItPerRow)
{
    // Far too long for a run list: drawn glyph by glyph, each mark centring the rest.
    std::string line;
    for (int i = 0; i < 20000; ++i)
        line += "*A";
    Prepare(640, line + "\n", MakeFont(std::vector<GlyphShape>(kGlyphCount, SolidGlyph(20))));
    // Line 1 in the lowest rows, where it takes the most of them.
    const std::int32_t scroll = 2 * 27 - 1;
    int rows = 0;
    for (int y = 60; y < 475; ++y)
        rows += (scroll - (g_crawlTables.Depth[y] >> 16)) / 27 == 1;
    ASSERT_GT(rows, 20);
    std::uint64_t before = g_crawlTextSteps;
    EXPECT_TRUE(DrawCrawlRows(0, 0, scroll));
    std::uint64_t steps = g_crawlTextSteps - before;
    EXPECT_GE(steps, line.size() * rows) << rows << " rows";
    EXPECT_LE(steps, 2 * line.size() * rows) << rows << " rows";
    EXPECT_TRUE(RowTouched(474));
    EXPECT_TRUE(MarginsIntact());
}

TEST_F(CrawlFrameTest, FrameWithoutMemoryForTheLayoutDrawsNothingAndSaysSo)
{
    Prepare(640, "*AAAA\n\nA*AA\n", MakeFont(std::vector<GlyphShape>(kGlyphCount, SolidGlyph(20))));
    // As at the start of a crawl: no memory is held for run lists yet.
    ReleaseCrawlLayout();
    {
        FailingAllocations noMemory;
        EXPECT_FALSE(DrawCrawlRows(0, 0, 40));
    }
    for (int y = 0; y < 480; ++y)
        ASSERT_FALSE(RowTouched(y)) << "row " << y;
    // The next frame lays the text out afresh.
    EXPECT_TRUE(DrawCrawlRows(0, 0, 40));
    EXPECT_TRUE(RowTouched(474));
    EXPECT_TRUE(MarginsIntact());
}

// --- Runs, drawn into one row set up by hand -------------------------------------------

// How runs are shaded (highlight, body, edges by coverage, shadow), where the pen wraps, and
// how marks centre are held against the reference in its test, over random fonts and texts.
// Row 10 as drawn: "." untouched, else the shade slot (0 highlight, 2 body, 1 shadow).
TEST_F(RendererTest, BrokenRecordDrawsNothingButKeepsTheSpacing)
{
    UseCanvas(60, 12);
    UseRow(2 << 16, 65536);
    // B has a lead of 40 in every record: not drawable.
    UseGlyphs({{'A', Uniform(0, {{3, 1}}, 4)}, {'B', Uniform(40, {}, 10)}}, 10);
    UseText("BA\n");
    DrawCrawlRows(0, 0, 27);
    std::string broken = RowText(10, 0, 30);

    UseCanvas(60, 12);
    UseText(" A\n");
    DrawCrawlRows(0, 0, 27);
    EXPECT_EQ(broken, RowText(10, 0, 30));
    EXPECT_EQ(broken, "............0221..............");

    // Nothing loaded at all: every record is zero, nothing is drawn anywhere.
    UseFont(std::vector<std::uint8_t>(kGlyphFontBytes, 0));
    UseCanvas(60, 12);
    DrawCrawlRows(0, 0, 27);
    EXPECT_FALSE(RowTouched(10));
}

} // namespace
