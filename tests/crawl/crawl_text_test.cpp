#include "crawl/crawl_text.h"

#include "tests/crawl/crawl_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <stdlib.h>

namespace {

std::string Line(int n)
{
    return g_crawlText.Buffer + g_crawlText.LineStart[n];
}

class CrawlTextTest : public ::testing::Test {
protected:
    void TearDown() override { FreeCrawlText(); }
    ReadErrorRecorder errors;
};

// Both line ends, an empty line, a last line without line feed (stored, not counted), an
// empty file, and control codes, which vanish while high bytes stay as glyph codes: each
// line stored behind the NUL of the one before.
TEST_F(CrawlTextTest, LinesEndAtLineFeedsAndControlCodesVanish)
{
    const struct {
        std::string text;
        int lines;
        std::vector<std::string> stored;
    } cases[] = {
        {"Skat\r\nGrand Hand\r\n", 2, {"Skat", "Grand Hand"}},
        {"Skat\nGrand Hand\n", 2, {"Skat", "Grand Hand"}},
        {"A\n\nB\n", 3, {"A", "", "B"}},
        {"eins\nzwei", 1, {"eins", "zwei"}},
        {"", 0, {}},
        {std::string("Gr\t\x01\xF6\xDF" "e\x7F\xFF\n", 10), 1, {"Gr\xF6\xDF" "e\x7F\xFF"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        TempFile file(c.text);
        ASSERT_EQ(LoadCrawlText(file.path()), c.lines);
        EXPECT_EQ(g_crawlText.LineLimit, c.lines + 1);
        EXPECT_EQ(g_crawlText.LineStart[0], 0);
        EXPECT_EQ(g_crawlText.LineStart[1], 0);
        for (int i = 1; i <= int(c.stored.size()); ++i) {
            const std::string& line = c.stored[std::size_t(i - 1)];
            EXPECT_EQ(std::string(g_crawlText.Buffer + g_crawlText.LineStart[i], line.size()), line) << i;
            if (i <= c.lines) {
                EXPECT_EQ(g_crawlText.Buffer[g_crawlText.LineStart[i] + int(line.size())], '\0') << i;
                EXPECT_EQ(g_crawlText.LineStart[i + 1], g_crawlText.LineStart[i] + int(line.size()) + 1) << i;
            }
        }
        EXPECT_TRUE(errors.names.empty());
    }
}

// Lines beyond the table are ignored; a reload replaces the text, and freeing empties it. A
// missing file is reported once and counts as one line with nothing to show.
TEST_F(CrawlTextTest, LinesBeyondTheTableAreIgnoredAndAMissingFileIsOneLineOfNothing)
{
    std::string text;
    for (int i = 1; i <= 1200; ++i)
        text += "Zeile " + std::to_string(i) + "\r\n";
    TempFile file(text);
    ASSERT_EQ(LoadCrawlText(file.path()), kMaxCrawlLines);
    EXPECT_EQ(g_crawlText.LineLimit, kMaxCrawlLines + 1);
    EXPECT_EQ(Line(998), "Zeile 998");
    EXPECT_EQ(g_crawlText.LineStart[999], g_crawlText.LineStart[998] + 10);
    TempFile second("vier\n");
    ASSERT_EQ(LoadCrawlText(second.path()), 1);
    EXPECT_EQ(Line(1), "vier");
    EXPECT_EQ(g_crawlText.LineLimit, 2);
    FreeCrawlText();
    EXPECT_EQ(g_crawlText.Buffer, nullptr);
    EXPECT_EQ(g_crawlText.LineLimit, 0);
    FreeCrawlText();

    EXPECT_EQ(LoadCrawlText("/nonexistent/intro.txt"), 1);
    ASSERT_EQ(errors.names.size(), 1u);
    EXPECT_EQ(errors.names[0], "/nonexistent/intro.txt");
    EXPECT_EQ(g_crawlText.Buffer, nullptr);
    EXPECT_EQ(g_crawlText.LineLimit, 0);
}

// A text of more than 2 GiB, in a file on disk: half a minute, and as much memory and disk
// space, so it runs only when VESK_LARGE_TESTS is set.
TEST_F(CrawlTextTest, TextBeyondTheReachOfTheLineOffsetsIsCutWhereTheyEnd)
{
    if (!std::getenv("VESK_LARGE_TESTS"))
        GTEST_SKIP() << "a 2 GiB text: set VESK_LARGE_TESTS=1 to run it";
    char pattern[] = "/tmp/crawl-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern, path = folder + "/intro.txt";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    // Line 2 alone is longer than a 32-bit offset reaches; line 3 would start past it.
    const std::vector<char> block(std::size_t{1} << 20, 'A');
    bool written = std::fputs("Z\n", file) >= 0;
    for (std::int64_t n = 0; n <= kMaxCrawlTextBytes && written; n += static_cast<std::int64_t>(block.size()))
        written = std::fwrite(block.data(), 1, block.size(), file) == block.size();
    written = written && std::fputs("\nB\n", file) >= 0;
    written = std::fclose(file) == 0 && written;
    if (written) {
        EXPECT_EQ(LoadCrawlText(path.c_str()), 1);
        EXPECT_EQ(g_crawlText.LineLimit, 2);
        for (int n = 0; n <= g_crawlText.LineLimit; ++n)
            EXPECT_GE(g_crawlText.LineStart[n], 0) << "line " << n;
        EXPECT_EQ(Line(1), "Z");
        EXPECT_TRUE(errors.names.empty());
    }
    FreeCrawlText();
    std::remove(path.c_str());
    std::remove(folder.c_str());
    ASSERT_TRUE(written) << "cannot write " << path;
}

std::vector<std::uint8_t> Pattern(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 31 + 7);
    return bytes;
}

// A file of the table's size, a longer and a shorter one load what they hold; only the short
// one is reported. A missing file leaves the table and says nothing.
TEST(GlyphFontTest, FilesLoadWhatTheyHoldAndOnlyAShortOneIsReported)
{
    for (std::size_t size : {std::size_t(kGlyphFontBytes), std::size_t(kGlyphFontBytes) + 500, std::size_t(1000)}) {
        SCOPED_TRACE(size);
        std::memset(g_glyphFont, 0xEE, sizeof g_glyphFont);
        ReadErrorRecorder errors;
        std::vector<std::uint8_t> bytes = Pattern(size);
        TempFile file(bytes);
        EXPECT_EQ(LoadGlyphFont(file.path()), 0);
        const std::size_t loaded = std::min<std::size_t>(size, kGlyphFontBytes);
        EXPECT_EQ(std::memcmp(g_glyphFont, bytes.data(), loaded), 0);
        EXPECT_EQ(g_glyphFont[std::min<std::size_t>(loaded, kGlyphFontBytes - 1)],
                  loaded < kGlyphFontBytes ? 0xEE : bytes[kGlyphFontBytes - 1]);
        EXPECT_EQ(errors.names, loaded < kGlyphFontBytes ? std::vector<std::string>{file.path()}
                                                         : std::vector<std::string>{});
    }
    std::memset(g_glyphFont, 0xEE, sizeof g_glyphFont);
    ReadErrorRecorder errors;
    EXPECT_EQ(LoadGlyphFont("/nonexistent/ALPHABET.DAT"), 1);
    EXPECT_TRUE(errors.names.empty());
    EXPECT_EQ(g_glyphFont[0], 0xEE);
}

TEST(ScanlineDrawableTest, TerminatorMustStandAtAnOddByteUpToThirteenAfterSmallValues)
{
    EXPECT_TRUE(ScanlineDrawable(Scanline(12, {}, 12).data())) << "lead alone";
    EXPECT_TRUE(ScanlineDrawable(Scanline(1, {{2, 1}, {3, 0}}, 7).data()));
    EXPECT_TRUE(ScanlineDrawable(Scanline(0, {{1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {31, 31}}, 0).data()))
        << "six runs, the terminator at byte 13";

    std::vector<std::uint8_t> seven = Scanline(0, {{1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}}, 12);
    seven[13] = 1;
    seven[14] = 1;
    seven[15] = kScanlineEnd;
    EXPECT_FALSE(ScanlineDrawable(seven.data())) << "a seventh run: no terminator by byte 13";

    std::vector<std::uint8_t> zero(kScanlineBytes, 0);
    EXPECT_FALSE(ScanlineDrawable(zero.data())) << "an all-zero record";
    EXPECT_FALSE(ScanlineDrawable(Scanline(32, {}, 32).data())) << "lead of 32";
    EXPECT_FALSE(ScanlineDrawable(Scanline(0, {{32, 0}}, 32).data())) << "ink of 32";
    EXPECT_FALSE(ScanlineDrawable(Scanline(0, {{3, 40}}, 43).data())) << "gap of 40";

    std::vector<std::uint8_t> even = Scanline(2, {{3, 1}}, 6);
    even[2] = kScanlineEnd;
    EXPECT_FALSE(ScanlineDrawable(even.data())) << "the terminator where a gap belongs";
}

} // namespace
