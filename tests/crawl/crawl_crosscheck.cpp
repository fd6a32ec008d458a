// crawlview against the separately written reference, on the sample medium's own text and
// font, and the medium's font against the renderer's invariants. Run by the crawl's test
// step with these variables:
//   CRAWLVIEW   the host tool crawlview
//   FONTMAKE    the host tool fontmake
//   CRAWL_TEXT  the medium's "intro.txt"
//   CRAWL_FONT  the medium's "ALPHABET.DAT"
#include "tests/crawl/reference_crawl.h"
#include "tests/support/native_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string Quote(const std::string& s)
{
    return "'" + s + "'";
}

int RunCommand(const std::string& command)
{
    int status = std::system((command + " 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class CrosscheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        crawlview = Variable("CRAWLVIEW");
        fontmake = Variable("FONTMAKE");
        textPath = Variable("CRAWL_TEXT");
        fontPath = Variable("CRAWL_FONT");
        if (crawlview.empty() || fontmake.empty() || textPath.empty() || fontPath.empty())
            GTEST_SKIP() << "run by the crawl's test step, which names the tools and the medium's files";
    }

    // Scroll positions through crawlview --raw, one process each: every position while the
    // first line comes in and the last goes out, every 25th between (25 and the 27 scanlines
    // of a line share no factor, so the sampled frames meet every scanline in every row). The
    // crawl's own test holds the renderer against the reference at every position.
    void ComparePositions(const reference::Inputs& inputs, const std::string& options)
    {
        reference::Scene scene = reference::Prepare(inputs);
        int lines = 0;
        for (std::uint8_t b : inputs.textFile)
            lines += b == '\n';
        const std::string raw = folder.File("frame.raw");
        // Both sides drawing nothing would agree on every frame: most frames must show text.
        int compared = 0, withText = 0;
        const int last = 28 * lines + 28;
        for (int scroll = -1; scroll <= last; scroll += scroll < 30 || scroll > last - 30 ? 1 : 25) {
            std::string command = Quote(crawlview) + " --text " + Quote(textPath) + " --font " + Quote(fontPath) +
                                  " --width " + std::to_string(inputs.width) + " --scroll " +
                                  std::to_string(scroll) + options + " --raw " + Quote(raw);
            ASSERT_EQ(RunCommand(command), 0) << command;
            std::vector<std::uint8_t> frame = test::ReadBytes(raw), expected = reference::Draw(scene, scroll);
            ASSERT_EQ(frame.size(), expected.size()) << "scroll " << scroll;
            withText += frame != inputs.background;
            if (frame != expected) {
                std::size_t i = 0;
                while (frame[i] == expected[i])
                    ++i;
                FAIL() << "width " << inputs.width << ", scroll " << scroll << ": first difference at x "
                       << i % inputs.width << " y " << i / inputs.width << ": " << int(frame[i]) << " instead of "
                       << int(expected[i]);
            }
            ++compared;
        }
        EXPECT_GT(compared, lines);
        EXPECT_GT(withText, compared / 2) << compared << " frames compared";
    }

    reference::Inputs MediumInputs(int width)
    {
        reference::Inputs in;
        in.width = width;
        in.textFile = test::ReadBytes(textPath);
        in.fontFile = test::ReadBytes(fontPath);
        for (int i = 0; i < 256; ++i)
            in.palette.insert(in.palette.end(), {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)});
        in.background.assign(static_cast<std::size_t>(width) * width * 3 / 4, 0);
        return in;
    }

    std::string crawlview, fontmake, textPath, fontPath;
    test::TempFolder folder{"crawl-crosscheck"};
};

TEST_F(CrosscheckTest, MediumFontMeetsEveryScanlineInvariant)
{
    EXPECT_EQ(RunCommand(Quote(fontmake) + " --check " + Quote(fontPath)), 0);
    std::vector<std::uint8_t> text = test::ReadBytes(textPath);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text[text.size() - 2], '\r') << "CR LF line ends";
    EXPECT_EQ(text.back(), '\n');
}

TEST_F(CrosscheckTest, HighResolutionWithAFilmPaletteAndBackground)
{
    std::mt19937 random(640);
    reference::Inputs in = MediumInputs(640);
    std::uniform_int_distribution<int> byte(0, 255);
    for (auto& b : in.palette)
        b = static_cast<std::uint8_t>(byte(random));
    for (auto& b : in.background)
        b = static_cast<std::uint8_t>(byte(random));
    test::WriteBytes(folder.File("palette"), in.palette);
    test::WriteBytes(folder.File("background"), in.background);
    ComparePositions(in, " --palette " + Quote(folder.File("palette")) + " --background " +
                                 Quote(folder.File("background")));
}

TEST_F(CrosscheckTest, LowResolutionWithTheDefaultGreysOnBlack)
{
    ComparePositions(MediumInputs(320), "");
}

TEST_F(CrosscheckTest, CrawlviewRefusesWhatItCannotRender)
{
    std::string base = Quote(crawlview) + " --text " + Quote(textPath) + " --font " + Quote(fontPath);
    std::string out = " --raw " + Quote(folder.File("x.raw"));
    EXPECT_EQ(RunCommand(base + " --width 800 --scroll 5" + out), 2);
    EXPECT_EQ(RunCommand(base + " --width 640" + out), 2) << "no scroll position";
    EXPECT_EQ(RunCommand(base + " --width 640 --scroll 5"), 2) << "no output";
    EXPECT_EQ(RunCommand(base + " --width 640 --scroll 5 --palette " + Quote(textPath) + out), 1) << "not 768 bytes";
    EXPECT_EQ(RunCommand(base + " --width 640 --scroll 5 --background " + Quote(fontPath) + out), 1);
    EXPECT_EQ(RunCommand(Quote(crawlview) + " --text /nonexistent --font " + Quote(fontPath) + " --width 640 --scroll 5" +
                  out),
              1);
    EXPECT_EQ(RunCommand(base + " --width 320 --frames 0:56:28 --png-dir " + Quote(folder.File("."))), 0);
    EXPECT_EQ(access(folder.File("frame-00056.png").c_str(), R_OK), 0);
}

} // namespace
