// crawl_bench: the cost of one crawl frame at 640x480 against the two full-screen copies
// that every frame makes anyway, and of a frame of a hostile text. (The music's thread and
// the crawl's steps beside it are measured under Wine: crawl_music_bench.)
//
//   crawl_bench ALPHABET.DAT [benchmark options]
//
// A frame is: the background copied into the compose buffer, DrawCrawlRows over a screen
// full of text, and the compose buffer copied row by row into a surface-sized buffer. The
// goal is at most three times the two copies alone, and far below the 50 ms of a step.
// The hostile text is one line of 1 MiB, "*A" over and over: every other character a
// centring mark, each centring the rest of the line, with the line in the lowest rows.
#include "crawl/crawl_renderer.h"
#include "crawl/crawl_text.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kWidth = 640, kHeight = 480;
// A line count and scroll position at which every row of the crawl area shows text: the
// top row lies some 620 text units behind the bottom one.
constexpr int kLines = 40;
constexpr std::int32_t kFullScroll = kLines * kGlyphScanlines - 1;
// The surface's pitch; DirectDraw may give more than the width.
constexpr int kSurfacePitch = 640;
// The hostile line, and a scroll position that puts it into the lowest rows, where a line
// takes the most rows (line 1 lies 27 to 53 units in front of each row).
constexpr std::size_t kLongLineBytes = std::size_t{1} << 20;
constexpr std::int32_t kLongLineScroll = 2 * kGlyphScanlines - 1;

struct Frame {
    std::vector<std::uint8_t> background = std::vector<std::uint8_t>(kWidth * kHeight);
    std::vector<std::uint8_t> compose = std::vector<std::uint8_t>(kWidth * kHeight);
    std::vector<std::uint8_t> surface = std::vector<std::uint8_t>(kSurfacePitch * kHeight);
};

Frame g_frame;

std::string CreditsText()
{
    const char* lines[] = {"*Spielidee und Gestaltung", "*Henrike Obermüller und Jörg Tessendorf",
                           "Wer reizt, der muss auch spielen: achtzehn", "*Künstliche Gegenspieler Saßnick"};
    std::string text;
    for (int i = 0; i < kLines; ++i)
        text += std::string(lines[i % 4]) + "\r\n";
    return text;
}

std::string LongMarkLineText()
{
    std::string line;
    while (line.size() < kLongLineBytes)
        line += "*A";
    return line + "\r\n";
}

// The text goes through a file, as the crawl reads it.
bool UseText(const std::string& text)
{
    char path[] = "/tmp/crawl-bench-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0)
        return false;
    close(fd);
    std::FILE* file = std::fopen(path, "wb");
    bool written = file && std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (file && std::fclose(file) != 0)
        written = false;
    if (written)
        LoadCrawlText(path);
    std::remove(path);
    return written;
}

void CopyToSurface(const Frame& frame, std::uint8_t* surface)
{
    for (int y = 0; y < kHeight; ++y)
        std::memcpy(surface + y * kSurfacePitch, frame.compose.data() + y * kWidth, kWidth);
}

void CrawlFrame(benchmark::State& state)
{
    if (!UseText(CreditsText())) {
        state.SkipWithError("cannot write a text file");
        return;
    }
    for (auto _ : state) {
        std::memcpy(g_frame.compose.data(), g_frame.background.data(), g_frame.compose.size());
        DrawCrawlRows(0, 0, kFullScroll);
        CopyToSurface(g_frame, g_frame.surface.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 2 * kWidth * kHeight);
}

void TwoCopies(benchmark::State& state)
{
    for (auto _ : state) {
        std::memcpy(g_frame.compose.data(), g_frame.background.data(), g_frame.compose.size());
        benchmark::ClobberMemory();
        CopyToSurface(g_frame, g_frame.surface.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 2 * kWidth * kHeight);
}

void TextRowsAlone(benchmark::State& state)
{
    if (!UseText(CreditsText())) {
        state.SkipWithError("cannot write a text file");
        return;
    }
    for (auto _ : state) {
        DrawCrawlRows(0, 0, kFullScroll);
        benchmark::ClobberMemory();
    }
}

void LongMarkLineFrame(benchmark::State& state)
{
    if (!UseText(LongMarkLineText())) {
        state.SkipWithError("cannot write a text file");
        return;
    }
    int rows = 0;
    for (std::int32_t r = g_crawlTables.TopRow; r < g_crawlTables.EndRow; ++r)
        rows += (kLongLineScroll - (g_crawlTables.Depth[r] >> 16)) / kGlyphScanlines == 1;
    for (auto _ : state) {
        std::memcpy(g_frame.compose.data(), g_frame.background.data(), g_frame.compose.size());
        DrawCrawlRows(0, 0, kLongLineScroll);
        CopyToSurface(g_frame, g_frame.surface.data());
        benchmark::ClobberMemory();
    }
    state.counters["rows"] = rows;
}

BENCHMARK(CrawlFrame);
BENCHMARK(TwoCopies);
BENCHMARK(TextRowsAlone);
BENCHMARK(LongMarkLineFrame)->Unit(benchmark::kMillisecond);

// Prints as usual and keeps each run's time per iteration for the closing comparison.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> nanoseconds;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.iterations > 0)
                nanoseconds[run.benchmark_name()] = run.real_accumulated_time * 1e9 / run.iterations;
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: crawl_bench ALPHABET.DAT [benchmark options]\n");
        return 2;
    }
    const char* fontPath = argv[1];
    DisplayColour palette[kPaletteEntries];
    for (int i = 0; i < kPaletteEntries; ++i)
        palette[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i / 2), 0};
    if (BuildCrawlTablesForScreen(kWidth, kHeight, fontPath, palette) != 0) {
        std::fprintf(stderr, "crawl_bench: cannot open %s\n", fontPath);
        return 1;
    }
    for (std::size_t i = 0; i < g_frame.background.size(); ++i)
        g_frame.background[i] = static_cast<std::uint8_t>(i * 7 / 640);
    g_crawlCanvas = {g_frame.compose.data(), kWidth, kHeight};

    argv[1] = argv[0];
    int benchArgc = argc - 1;
    benchmark::Initialize(&benchArgc, argv + 1);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    double frame = reporter.nanoseconds["CrawlFrame"], copies = reporter.nanoseconds["TwoCopies"];
    if (frame > 0 && copies > 0) {
        std::printf("crawl frame at 640x480: %.1f us; the two 307,200-byte copies alone: %.1f us; ratio %.2f"
                    " (goal: at most 3); %.2f%% of a 50 ms scroll step\n",
                    frame / 1000, copies / 1000, frame / copies, frame / 1e6 / 50 * 100);
    }
    double longLine = reporter.nanoseconds["LongMarkLineFrame"];
    if (longLine > 0)
        std::printf("crawl frame at 640x480 with one 1 MiB line of centring marks: %.1f ms\n", longLine / 1e6);
    benchmark::Shutdown();
    FreeCrawlText();
    return 0;
}
