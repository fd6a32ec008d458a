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

TEST_F(CrawlTablesTest, HighResolutionGeometry)
{
    Build(640, 480, GreyPalette());
    const CrawlTables& t = g_crawlTables;
    EXPECT_EQ(t.TopRow, 60);
    EXPECT_EQ(t.EndRow, 475);
    EXPECT_EQ(t.RunWidth[475][1], 65536);
    EXPECT_EQ(t.LeftEdge[475], 16384) << "640 pixels centred on 320, plus a quarter pixel";
    EXPECT_EQ(t.Depth[475], 0);
    EXPECT_EQ(t.RunWidth[474][1], 65409);
    EXPECT_EQ(t.LeftEdge[474], 320 * 65536 - 41862185 / 2 + 16384);
    EXPECT_EQ(t.Depth[474], 48631);
    EXPECT_EQ(t.LeftEdge[60], 16793600);
    EXPECT_EQ(t.RunWidth[60][1], 13107);
    EXPECT_EQ(t.Depth[60], 40611424);
    EXPECT_EQ(t.RunWidth[60][31], 31 * 13107);
    EXPECT_EQ(t.RunWidth[60][0], 0);
}

TEST_F(CrawlTablesTest, LowResolutionGeometry)
{
    Build(320, 240, GreyPalette());
    const CrawlTables& t = g_crawlTables;
    EXPECT_EQ(t.TopRow, 30);
    EXPECT_EQ(t.EndRow, 235);
    EXPECT_EQ(t.RunWidth[235][1], 32768) << "half a pixel per unit";
    EXPECT_EQ(t.Depth[235], 0);
    EXPECT_EQ(t.Depth[234], 97440);
    EXPECT_EQ(t.LeftEdge[30], 160 * 65536 - 4194304 / 2 + 16384);
    EXPECT_EQ(t.Depth[30], 40205271);
}

TEST_F(CrawlTablesTest, ShadesFadeWithDistanceOnAGreyPalette)
{
    Build(640, 480, GreyPalette());
    const CrawlTables& t = g_crawlTables;
    EXPECT_EQ(t.Shade[60].Slot[kHighlightSlot], 28);
    EXPECT_EQ(t.Shade[474].Slot[kHighlightSlot], 193);
    EXPECT_EQ(t.Shade[60].Slot[kBodySlot], 22);
    EXPECT_EQ(t.Shade[474].Slot[kBodySlot], 173);
    EXPECT_EQ(t.Shade[474].Slot[kStrongEdgeSlot], 474 * 128 / 480);
    EXPECT_EQ(t.Shade[474].Slot[kWeakEdgeSlot], 474 * 128 / 480 / 2);
    EXPECT_EQ(t.Shade[300].Slot[kShadowSlot], 0);
}

TEST_F(CrawlTablesTest, ShadesOfTheLowResolutionUseItsOwnHeight)
{
    Build(320, 240, GreyPalette());
    EXPECT_EQ(g_crawlTables.Shade[234].Slot[kHighlightSlot], 234 * 192 / 240 + 4);
    EXPECT_EQ(g_crawlTables.Shade[30].Slot[kBodySlot], 30 * 176 / 240);
}

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

TEST_F(CrawlFrameTest, LineOneFirstAppearsInTheLowestDrawnRowAtScroll27High)
{
    Prepare(640, "*AAAA\n", MakeFont(std::vector<GlyphShape>(kGlyphCount, SolidGlyph(20))));
    DrawCrawlRows(0, 0, 0);
    for (int y = 0; y < 480; ++y)
        ASSERT_FALSE(RowTouched(y)) << "scroll 0 draws nothing, row " << y;
    DrawCrawlRows(0, 0, 26);
    EXPECT_FALSE(RowTouched(474));
    DrawCrawlRows(0, 0, 27);
    EXPECT_TRUE(RowTouched(474));
    EXPECT_FALSE(RowTouched(473));
    EXPECT_TRUE(MarginsIntact());
}

TEST_F(CrawlFrameTest, LineOneFirstAppearsInTheLowestDrawnRowAtScroll28Low)
{
    Prepare(320, "*AAAA\n", MakeFont(std::vector<GlyphShape>(kGlyphCount, SolidGlyph(20))));
    DrawCrawlRows(0, 0, 27);
    for (int y = 0; y < 240; ++y)
        ASSERT_FALSE(RowTouched(y)) << "row " << y;
    DrawCrawlRows(0, 0, 28);
    EXPECT_TRUE(RowTouched(234));
    EXPECT_FALSE(RowTouched(233));
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

TEST_F(CrawlFrameTest, EmptyLineLeavesItsRowsAloneAndTheOthersInPlace)
{
    std::vector<std::uint8_t> font = MakeFont(std::vector<GlyphShape>(kGlyphCount, SolidGlyph(20)));
    const int scroll = 3 * 27 + 200;
    Prepare(640, "*AAA\n*AAA\n*AAA\n", font);
    DrawCrawlRows(0, 0, scroll);
    std::vector<std::uint8_t> full(g_crawlCanvas.Pixels, g_crawlCanvas.Pixels + 640 * 480);

    Prepare(640, "*AAA\n\n*AAA\n", font);
    DrawCrawlRows(0, 0, scroll);
    int emptyRows = 0;
    for (int y = 60; y < 475; ++y) {
        std::int64_t units = scroll - (g_crawlTables.Depth[y] >> 16);
        bool lineTwo = units / 27 == 2;
        emptyRows += lineTwo;
        bool same = std::memcmp(&full[y * 640], g_crawlCanvas.Pixels + y * 640, 640) == 0;
        EXPECT_EQ(lineTwo ? !RowTouched(y) : same, true) << "row " << y;
    }
    EXPECT_GT(emptyRows, 0);
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

// --- Runs, drawn into one row set up by hand -------------------------------------------

TEST_F(RendererTest, RunOfWholePixelsHasHighlightBodyAndShadow)
{
    UseCanvas(40, 12);
    UseRow(5 << 16, 65536);
    UseGlyphs({{'A', Uniform(2, {{3, 1}}, 6)}});
    UseText("A\n");
    DrawCrawlRows(0, 0, 27);
    // Lead 2 from x 5: the run starts at 7; three pixels, no fraction left, then the shadow.
    EXPECT_EQ(RowText(10, 0, 14), ".......0221...");
}

TEST_F(RendererTest, FractionOfThePenCarriesIntoTheTrailingEdge)
{
    UseCanvas(40, 12);
    UseRow((5 << 16) | 0x8000, 65536);
    UseGlyphs({{'A', Uniform(2, {{3, 1}}, 6)}, {'B', Uniform(0, {{1, 5}}, 6)}});
    UseText("AB\n");
    DrawCrawlRows(0, 0, 27);
    // A from pen 7.5: highlight at 7, 2.5 pixels left: body at 8 and 9, the half-covered
    // pixel 10 gets the weak edge, the shadow goes to 11. B's one-unit run starts at 11.5:
    // its highlight lands on A's shadow, half a pixel is left (weak edge at 12), shadow 13.
    EXPECT_EQ(RowText(10, 0, 16), ".......0225051..");
}

TEST_F(RendererTest, RunsNarrowerThanAPixelDrawOnlyTheEdgeAndTheShadow)
{
    UseCanvas(40, 12);
    UseRow(4 << 16, 0x5000); // 0.3125 pixels a unit
    UseGlyphs({{'a', Uniform(0, {{1, 10}, {2, 10}, {3, 5}}, 31)}});
    UseText("a\n");
    DrawCrawlRows(0, 0, 27);
    // Run of 0x5000 at 4.0: below a third, shadow only at 4. Pen 4 + 11 units = 7.4375:
    // 0xA000 covers more than a third, weak edge at 7, shadow at 8. Pen 7.4375 + 12 units
    // = 11.1875: 0xF000, strong edge at 11, shadow at 12.
    EXPECT_EQ(RowText(10, 0, 16), "....1..51..31...");
}

TEST_F(RendererTest, PixelsPastTheRowAreDroppedAndThePenWrapsModulo32Bits)
{
    UseCanvas(16, 12);
    // Two pixels left of the row: x is the unsigned pen's upper half, 65534.
    UseRow(-(2 << 16), 65536);
    UseGlyphs({{'A', Uniform(0, {{4, 1}}, 5)}});
    UseText("AAAAAA\n");
    DrawCrawlRows(0, 0, 27);
    // The first glyph lies at 65534 to 65538 and is dropped, not wrapped to 0 and 1; the
    // pen then wraps to 3, and the glyphs at 3, 8 and 13 are drawn, the last one cut at 16.
    EXPECT_EQ(RowText(10, 0, 16), "...0222102221022");
    EXPECT_FALSE(RowTouched(11));
    EXPECT_FALSE(RowTouched(9));
    EXPECT_TRUE(MarginsIntact());
}

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

class CentringTest : public RendererTest {
protected:
    void SetUp() override
    {
        UseGlyphs({{'A', Uniform(0, {{2, 4}}, 6)},
                   {'B', Uniform(0, {{2, 8}}, 10)},
                   {'C', Uniform(0, {{2, 12}}, 14)},
                   {'*', Uniform(3, {{2, 3}}, 8)}},
                  10);
        UseCanvas(640, 12);
        UseRow(0, 65536);
    }

    // The first pixel that the line draws in row 10, or -1.
    int FirstInk(const std::string& line)
    {
        std::memset(g_crawlCanvas.Pixels, kBackground, 640 * 12);
        UseText(line + "\n");
        DrawCrawlRows(0, 0, 27);
        for (int x = 0; x < 640; ++x) {
            if (Pixel(x, 10) != kBackground)
                return x;
        }
        return -1;
    }
};

TEST_F(CentringTest, MarkCentresTheRestOfTheLineInTheField)
{
    // A, B and C are 30 units: they start at 320 - 15.
    EXPECT_EQ(FirstInk("*ABC"), 305);
    EXPECT_EQ(FirstInk("ABC"), 0);
}

TEST_F(CentringTest, SecondMarkIsAGlyphAndCountsForTheCentring)
{
    // The second "*" (8 units, ink from unit 3) is drawn: 38 units from 320 - 19.
    EXPECT_EQ(FirstInk("**ABC"), 301 + 3);
}

TEST_F(CentringTest, LoneMarkDrawsNothing)
{
    EXPECT_EQ(FirstInk("*"), -1);
    EXPECT_EQ(FirstInk("A*"), 0) << "the line ends at a trailing mark";
}

TEST_F(CentringTest, MarkInTheMiddleMovesTheRestOnByItsOwnCentring)
{
    // A is drawn at 0..6; then C (14 units) is centred from the pen at 6: 6 + 320 - 7.
    std::memset(g_crawlCanvas.Pixels, kBackground, 640 * 12);
    UseText("A*C\n");
    DrawCrawlRows(0, 0, 27);
    EXPECT_EQ(RowText(10, 0, 3), "021");
    EXPECT_EQ(RowText(10, 318, 322), ".021");
}

} // namespace
