// film_bench FILM [low]: what one film frame costs on the full-screen display under Wine,
// against the film's own frame time. Each frame goes through the film player's steps (the
// palette update when the frame brings colours, lock, decode into the visible buffer,
// unlock, on to the next frame) as fast as they go, without waiting for the film's clock.
#include "intro/film_player_win.h"
#include "intro/full_screen_display.h"
#include "launcher/launcher_state.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

double Milliseconds(LONGLONG ticks, LONGLONG frequency) { return 1000.0 * double(ticks) / double(frequency); }

double FrameTimeMs(int32_t rate) { return rate > 0 ? rate : rate < 0 ? -rate / 100.0 : 100.0; }

HWND CreateBenchWindow()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "FilmBench";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, "FilmBench", "film bench", WS_POPUP | WS_VISIBLE, 0, 0, 4, 4, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

// One pass over the whole film; the time of each frame in performance-counter ticks.
std::vector<LONGLONG> TimeFrames(SmackFilm* film)
{
    std::vector<LONGLONG> ticks;
    for (uint32_t frame = 0; frame < film->Frames; ++frame) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        if (film->NewPalette)
            UpdateFilmPalette(film);
        if (LockFrontBuffer()) {
            SmackToBuffer(film, 0, 0, g_display.Surface.lPitch, film->Height, g_display.Surface.lpSurface,
                          g_display.BlitFlags);
            SmackDoFrame(film);
            UnlockFrontBuffer();
        }
        SmackNextFrame(film);
        QueryPerformanceCounter(&end);
        ticks.push_back(end.QuadPart - start.QuadPart);
    }
    return ticks;
}

void Report(const char* label, std::vector<LONGLONG> ticks, LONGLONG frequency, double frameMs)
{
    std::sort(ticks.begin(), ticks.end());
    LONGLONG sum = 0;
    for (LONGLONG t : ticks)
        sum += t;
    double mean = Milliseconds(sum, frequency) / double(ticks.size());
    double median = Milliseconds(ticks[ticks.size() / 2], frequency);
    double p95 = Milliseconds(ticks[ticks.size() * 95 / 100], frequency);
    double worst = Milliseconds(ticks.back(), frequency);
    std::printf("%-6s %4zu frames: mean %6.2f ms, median %6.2f ms, 95%% %6.2f ms, worst %6.2f ms per frame;"
                " frame time %.2f ms, mean uses %4.1f%% of it\n",
                label, ticks.size(), mean, median, p95, worst, frameMs, 100.0 * mean / frameMs);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: film_bench FILM [low]\n");
        return 2;
    }
    const int low = argc > 2 && std::strcmp(argv[2], "low") == 0 ? 1 : 0;
    g_launcher.Instance = GetModuleHandleA(nullptr);
    HWND window = CreateBenchWindow();
    SmackSoundUseDirectSound(nullptr);
    SmackFilm* film = SmackOpen(argv[1], kSmackAllTracks, kSmackAutoExtraBuffer);
    if (!film) {
        std::fprintf(stderr, "film_bench: cannot open %s\n", argv[1]);
        return 1;
    }
    if (OpenDisplay(window, low) != DisplayOutcome::Ready) {
        std::fprintf(stderr, "film_bench: the display cannot be opened\n");
        CloseDisplay();
        SmackClose(film);
        return 1;
    }
    ClearBackBuffer(1);
    ClearBackBuffer(0);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const double frameMs = FrameTimeMs(film->FrameRate);
    std::printf("%s: %ux%u on a %ldx%ld display, %u frames\n", argv[1], film->Width, film->Height, g_display.Width,
                g_display.Height, film->Frames);
    // The film starts again after its last frame, so a second pass finds the decoder warm.
    Report("first", TimeFrames(film), frequency.QuadPart, frameMs);
    Report("second", TimeFrames(film), frequency.QuadPart, frameMs);
    SmackClose(film);
    CloseDisplay();
    DestroyWindow(window);
    return 0;
}
