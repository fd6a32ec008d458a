// crawl_music_bench SECONDS STOP-AFTER-MS ROOT...: the crawl's steps on the window's thread
// while the music's thread plays the ripped track of each ROOT (a folder holding
// Music\Track02.*; "-" for none, the crawl without music), and how long the crawl's end
// takes to stop the music, from StopCrawlMusic to the file closed.
//
// The steps are the crawl's own loop at its pace, each frame built as the crawl builds it
// (the background copied, the text of E:\intro.txt drawn in E:\ALPHABET.DAT's glyphs at
// 640x480, the frame copied row by row into a surface-sized buffer), for SECONDS; each
// step is timed from its start to its end. Then the music is started five times afresh and
// stopped STOP-AFTER-MS later: with a damaged file, in the middle of the decoder's search.
#include "crawl/crawl_music_win.h"
#include "crawl/crawl_pace.h"
#include "crawl/crawl_renderer.h"
#include "crawl/crawl_text.h"
#include "launcher/launcher_state.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480, kStopRounds = 5;

struct Bench {
    std::vector<std::uint8_t> Background = std::vector<std::uint8_t>(kWidth * kHeight);
    std::vector<std::uint8_t> Compose = std::vector<std::uint8_t>(kWidth * kHeight);
    std::vector<std::uint8_t> Surface = std::vector<std::uint8_t>(kWidth * kHeight);
    LONGLONG Frequency = 0, End = 0;
    std::vector<double> Steps; // milliseconds
    bool Played = false;       // the music's sound played at some step
};

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Milliseconds(const Bench& bench, LONGLONG ticks) { return 1000.0 * double(ticks) / double(bench.Frequency); }

bool TimeUp(void* context) { return Now() >= static_cast<Bench*>(context)->End; }

std::int64_t Counter(void*) { return Now(); }

void Pass(void*) { Sleep(1); }

bool TimedFrame(void* context, std::int32_t scrollPosition)
{
    Bench& bench = *static_cast<Bench*>(context);
    LONGLONG start = Now();
    std::memcpy(bench.Compose.data(), bench.Background.data(), bench.Compose.size());
    DrawCrawlRows(0, 0, scrollPosition);
    for (int y = 0; y < kHeight; ++y)
        std::memcpy(bench.Surface.data() + y * kWidth, bench.Compose.data() + y * kWidth, kWidth);
    bench.Steps.push_back(Milliseconds(bench, Now() - start));
    bench.Played = bench.Played || g_crawlMusic.FileIndex >= 0;
    return true;
}

double Percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(share * double(values.size())))];
}

// Starts the music of a root (none for "-"), as the crawl does where the drive plays no track.
void StartMusic(HWND window, const char* root)
{
    std::snprintf(g_launcher.SourceRoot, kPathSize, "%s", std::strcmp(root, "-") == 0 ? "Z:\\nowhere\\" : root);
    PlayCrawlMusic(window);
}

void RunSteps(Bench& bench, HWND window, const char* root, int lines, double seconds)
{
    StartMusic(window, root);
    bench.Steps.clear();
    bench.Played = false;
    CrawlPace pace;
    StartCrawlPace(pace, bench.Frequency, Now(), lines);
    bench.End = Now() + LONGLONG(seconds * double(bench.Frequency));
    CrawlLoopHooks hooks = {&bench, TimeUp, Counter, Pass, TimedFrame};
    RunCrawlLoop(pace, hooks);
    StopCrawlMusic();
    std::printf("%s: %zu steps in %.0f s, music %s; step: median %.3f ms, 99th percentile %.3f ms, worst %.3f ms\n",
                root, bench.Steps.size(), seconds, bench.Played ? "played" : "none", Percentile(bench.Steps, 0.5),
                Percentile(bench.Steps, 0.99), Percentile(bench.Steps, 1.0));
}

void TimeStops(Bench& bench, HWND window, const char* root, DWORD after)
{
    std::vector<double> stops;
    for (int round = 0; round < kStopRounds; ++round) {
        StartMusic(window, root);
        Sleep(after);
        bool running = !g_crawlMusic.Finished;
        LONGLONG start = Now();
        StopCrawlMusic();
        stops.push_back(Milliseconds(bench, Now() - start));
        if (!running)
            std::printf("  (round %d: the music had ended before the stop)\n", round + 1);
    }
    std::printf("%s: stop %lu ms after the start, to the file closed: median %.2f ms, worst %.2f ms (%d rounds)\n", root,
                static_cast<unsigned long>(after), Percentile(stops, 0.5), Percentile(stops, 1.0), kStopRounds);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: crawl_music_bench SECONDS STOP-AFTER-MS ROOT...\n");
        return 2;
    }
    Bench bench;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    bench.Frequency = frequency.QuadPart;
    DisplayColour palette[kPaletteEntries];
    for (int i = 0; i < kPaletteEntries; ++i)
        palette[i] = {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2), 0};
    if (BuildCrawlTablesForScreen(kWidth, kHeight, "E:\\ALPHABET.DAT", palette) != 0) {
        std::fprintf(stderr, "crawl_music_bench: no E:\\ALPHABET.DAT\n");
        return 1;
    }
    g_crawlCanvas = {bench.Compose.data(), kWidth, kHeight};
    int lines = LoadCrawlText("E:\\intro.txt");
    for (std::size_t i = 0; i < bench.Background.size(); ++i)
        bench.Background[i] = std::uint8_t(i * 7 / 640);
    HWND window = CreateWindowA("STATIC", "crawl music bench", WS_POPUP, 0, 0, 4, 4, nullptr, nullptr, nullptr, nullptr);
    double seconds = std::atof(argv[1]);
    DWORD after = DWORD(std::atol(argv[2]));
    for (int i = 3; i < argc; ++i)
        RunSteps(bench, window, argv[i], lines, seconds);
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "-") != 0)
            TimeStops(bench, window, argv[i], after);
    }
    FreeCrawlText();
    DestroyWindow(window);
    return 0;
}
