// The crawl's frames and rows are held against the separately written reference, frame by
// frame, in the reference test (the rows' geometry and shades, the nearest colours, broken
// records, run lists given back); here what it does not meet.
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

// A font whose every glyph has, in each scanline, one run of ink filling all but its last unit.
std::vector<std::uint8_t> SolidFont(int width)
{
    GlyphShape glyph{width, {}};
    for (int s = 0; s < kGlyphScanlines; ++s)
        glyph.scanlines.push_back(Scanline(0, {{width - 1, 1}}, width));
    return MakeFont(std::vector<GlyphShape>(kGlyphCount, glyph));
}

// The canvas of 640x480 sits inside a larger buffer whose margins prove that nothing lands
// outside.
class RendererTest : public ::testing::Test {
protected:
    static constexpr std::size_t kMargin = 4096;
    static constexpr std::uint8_t kGuard = 0x5A;

    void Build(const DisplayColour* palette)
    {
        TempFile font(SolidFont(20));
        ASSERT_EQ(BuildCrawlTablesForScreen(640, 480, font.path(), palette), 0);
    }

    void Prepare(const std::string& text)
    {
        std::vector<DisplayColour> greys;
        for (int i = 0; i < kPaletteEntries; ++i)
            greys.push_back(Grey(i));
        Build(greys.data());
        TempFile file(text);
        LoadCrawlText(file.path());
        buffer_.assign(kMargin + 640 * 480 + kMargin, kGuard);
        std::memset(buffer_.data() + kMargin, kBackground, 640 * 480);
        g_crawlCanvas = {buffer_.data() + kMargin, 640, 480};
    }

    bool RowTouched(int y) const
    {
        for (int x = 0; x < g_crawlCanvas.Width; ++x) {
            if (g_crawlCanvas.Pixels[y * g_crawlCanvas.Width + x] != kBackground)
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

// A missing font is the result; without a palette the last copy stays, and an all-zero copy
// shades everything with zero.
TEST_F(RendererTest, TablesWithoutAFontOrAPalette)
{
    EXPECT_EQ(BuildCrawlTablesForScreen(640, 480, "/nonexistent/ALPHABET.DAT", nullptr), 1);
    std::vector<DisplayColour> palette(kPaletteEntries, Grey(0));
    palette[9] = Grey(200);
    Build(palette.data());
    EXPECT_EQ(g_crawlTables.Shade[474].Slot[kHighlightSlot], 9);
    Build(nullptr);
    EXPECT_EQ(g_crawlTables.PaletteCopy[9].Red, 200) << "the copy of the previous crawl stays";

    palette[9] = Grey(0);
    Build(palette.data());
    for (int r = 60; r < 475; ++r) {
        for (int slot : {0, 1, 2, 3, 5})
            ASSERT_EQ(g_crawlTables.Shade[r].Slot[slot], 0) << "row " << r << " slot " << slot;
    }
}

TEST_F(RendererTest, LongLineOfCentringMarksCostsOnePassOverItPerRow)
{
    // Far too long for a run list: drawn glyph by glyph, each mark centring the rest.
    std::string line;
    for (int i = 0; i < 20000; ++i)
        line += "*A";
    Prepare(line + "\n");
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

TEST_F(RendererTest, FrameWithoutMemoryForTheLayoutDrawsNothingAndSaysSo)
{
    Prepare("*AAAA\n\nA*AA\n");
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

} // namespace
