// The crawl's frames against the separately written reference, over random fonts (with
// broken records among them), texts, palettes and backgrounds, at both widths and every
// scroll position of each text.
#include "crawl/crawl_renderer.h"
#include "crawl/crawl_text.h"
#include "tests/crawl/crawl_test_support.h"
#include "tests/crawl/reference_crawl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

std::string RandomText(std::mt19937& random, int lines, int longest)
{
    static const std::string kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz .,-";
    std::uniform_int_distribution<int> percent(0, 99), length(0, longest), byte(0, 255);
    std::string text;
    for (int i = 0; i < lines; ++i) {
        if (percent(random) < 15) {
            text += "\r\n";
            continue;
        }
        if (percent(random) < 60)
            text += '*';
        int n = length(random);
        for (int k = 0; k < n; ++k) {
            int p = percent(random);
            if (p < 70)
                text += kLetters[byte(random) % kLetters.size()];
            else if (p < 75)
                text += '*';
            else if (p < 80)
                text += static_cast<char>(byte(random) % 32 == 10 ? 9 : byte(random) % 32); // control codes
            else
                text += static_cast<char>(byte(random));
            if (text.back() == '\n')
                text.back() = 'x';
        }
        text += percent(random) < 50 ? "\r\n" : "\n";
    }
    if (percent(random) < 30)
        text += "unterminated";
    return text;
}

std::vector<std::uint8_t> RandomBytes(std::mt19937& random, std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    std::uniform_int_distribution<int> byte(0, 255);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(byte(random));
    return bytes;
}

// Renders the scroll positions of the inputs (every one, or every step-th for the heavy
// cases; a step without a factor in common with 27 still meets every scanline in every row)
// with the crawl and with the reference, and stops at the first frame that differs.
void CompareAllPositions(const reference::Inputs& inputs, const std::string& what, int step = 1)
{
    const int width = inputs.width, height = width * 3 / 4;
    TempFile textFile(inputs.textFile), fontFile(inputs.fontFile);

    if (inputs.fontBefore.empty())
        std::memset(g_glyphFont, 0, sizeof g_glyphFont);
    else
        std::memcpy(g_glyphFont, inputs.fontBefore.data(), sizeof g_glyphFont);
    std::int32_t lines = LoadCrawlText(textFile.path());
    std::vector<DisplayColour> palette;
    for (int i = 0; i < kPaletteEntries; ++i)
        palette.push_back({inputs.palette[3 * i], inputs.palette[3 * i + 1], inputs.palette[3 * i + 2], 0xEE});
    BuildCrawlTablesForScreen(width, height, fontFile.path(), palette.data());
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(width) * height);
    g_crawlCanvas = {frame.data(), width, height};

    reference::Scene scene = reference::Prepare(inputs);
    // Two renderers that both draw nothing agree on every frame: the frames must show text.
    int frames = 0, framesWithText = 0;
    for (std::int32_t scroll = -3; scroll <= 28 * lines + 30; scroll += step) {
        frame = inputs.background;
        // Run lists given back in the middle of a crawl are laid out afresh, the same.
        if (scroll >= 28 && scroll - step < 28)
            ReleaseCrawlLayout();
        ASSERT_TRUE(DrawCrawlRows(0, 0, scroll));
        std::vector<std::uint8_t> expected = reference::Draw(scene, scroll);
        ++frames;
        framesWithText += frame != inputs.background;
        if (frame != expected) {
            std::size_t i = 0;
            while (frame[i] == expected[i])
                ++i;
            FAIL() << what << ", width " << width << ", scroll " << scroll << ": first difference at x "
                   << i % width << " y " << i / width << ": " << int(frame[i]) << " instead of "
                   << int(expected[i]);
        }
    }
    EXPECT_GT(framesWithText, frames / 2) << what << ", width " << width << ": " << frames << " frames";
    g_crawlCanvas = {};
    FreeCrawlText();
}

reference::Inputs RandomInputs(std::mt19937& random, int width, double brokenShare)
{
    reference::Inputs in;
    in.width = width;
    in.textFile = Bytes(RandomText(random, 6, 40));
    in.fontFile = RandomFont(random, brokenShare);
    in.palette = RandomBytes(random, 768);
    // Entries 0 to 63 again as 192 to 255: the nearest colour is the lowest index among equals.
    std::copy_n(in.palette.begin(), 192, in.palette.end() - 192);
    in.background = RandomBytes(random, static_cast<std::size_t>(width) * width * 3 / 4);
    return in;
}

// Rounds of random inputs at both widths, each with fonts whose records are broken at
// the given share.
void CompareRandomRounds(unsigned seed, int rounds, double brokenShare, const std::string& what)
{
    std::mt19937 random(seed);
    for (int round = 0; round < rounds; ++round) {
        for (int width : {640, 320}) {
            CompareAllPositions(RandomInputs(random, width, brokenShare), what + ", round " + std::to_string(round));
            if (::testing::Test::HasFailure())
                return;
        }
    }
}

// Sound fonts, and fonts with a fifth of their records broken.
TEST(CrawlReferenceTest, RandomFontsAndTextsAtBothWidths)
{
    CompareRandomRounds(20240611, 4, 0, "sound font");
    CompareRandomRounds(77, 4, 0.2, "broken records");
}

// A short font over an earlier one, a font of noise; lines wider than the field, cut at the
// rows' end: lines of up to 512 characters and 64 marks are drawn from run lists, longer ones
// glyph by glyph, both kinds here with broken records among the glyphs (B broken in every
// scanline keeps its spacing on the long line of ABs too); and a font whose every record
// draws six runs of 31 units with gaps of 31, 403 units a glyph, far wider than the field,
// with advance widths of 255 for the centring.
TEST(CrawlReferenceTest, ShortFontsWideLinesAndTheLargestValuesAtBothWidths)
{
    std::string wide = "*" + std::string(200, 'W') + "\n" + std::string(150, 'm') + "\n*\n**\n" + std::string(60, '*') +
                       "\n" + std::string(700, 'W') + "\n*" + std::string(600, 'i') + "\n" + std::string(150, '*') + "\n";
    for (const auto& [piece, count] : {std::pair{"*Ab", 70}, {"*A", 300}, {"AB", 300}}) {
        for (int i = 0; i < count; ++i)
            wide += piece;
        wide += "\n";
    }
    std::vector<std::uint8_t> record = Scanline(31, {{31, 31}, {31, 31}, {31, 31}, {31, 31}, {31, 31}, {31, 31}}, 255);
    std::vector<std::uint8_t> largest(kGlyphFontBytes);
    for (int i = 0; i < kGlyphCount * kGlyphScanlines; ++i)
        std::memcpy(&largest[i * kScanlineBytes], record.data(), kScanlineBytes);
    std::mt19937 random(5);
    for (int width : {640, 320}) {
        reference::Inputs in = RandomInputs(random, width, 0);
        in.fontBefore = RandomFont(random, 0);
        in.fontFile.resize(kGlyphFontBytes / 2 + 77);
        CompareAllPositions(in, "short font");
        in.fontFile = RandomBytes(random, 1000);
        CompareAllPositions(in, "font of noise");

        in = RandomInputs(random, width, 0.1);
        for (int s = 0; s < kGlyphScanlines; ++s)
            in.fontFile['B' * kGlyphBytes + s * kScanlineBytes] = 40;
        in.textFile = Bytes(wide);
        CompareAllPositions(in, "wide lines", 5);
        in.fontFile = largest;
        in.textFile = Bytes("*AB\nABCDEFGH\n*" + std::string(300, 'Z') + "\n*" + std::string(900, 'Z') + "\n");
        CompareAllPositions(in, "largest values", 2);
    }
}

} // namespace
