// film_bench FILM [low]: what one film frame costs under Wine against the film's own frame
// time, on the full-screen display and then on the windowed one (the picture scaled into a
// window covering the screen), in the same run. Each frame goes through the film player's
// steps (the palette update when the frame brings colours, lock, decode into the visible
// buffer, unlock, on to the next frame) as fast as they go, without waiting for the film's
// clock. The present alone is timed too: the whole palette put into the display, and the
// unlock, which on the windowed display turns the rows that changed into colours, scales
// them and sends them to the window.
// Last, Alt+Enter: from the switch to the first frame shown on the other display, each way.
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

struct FrameTimes {
    std::vector<LONGLONG> Frame;   // the whole step
    std::vector<LONGLONG> Present; // palette into the display, and the unlock
};

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// A pass over the film's next frames (all of them when no count is given); the time of
// each frame in performance-counter ticks.
FrameTimes TimeFrames(SmackFilm* film, uint32_t count = 0)
{
    FrameTimes times;
    for (uint32_t frame = 0; frame < (count ? count : film->Frames); ++frame) {
        LONGLONG start = Now(), present = 0;
        if (film->NewPalette)
            UpdateFilmPalette(film);
        if (LockFrontBuffer()) {
            SmackToBuffer(film, 0, 0, g_display.Surface.lPitch, film->Height, g_display.Surface.lpSurface,
                          g_display.BlitFlags);
            SmackDoFrame(film);
            LONGLONG presentStart = Now();
            ApplyPaletteTable();
            UnlockFrontBuffer();
            present = Now() - presentStart;
        }
        SmackNextFrame(film);
        times.Frame.push_back(Now() - start);
        times.Present.push_back(present);
    }
    return times;
}

// Alt+Enter's switch to the other display and the first frame on it, timed each way; the
// film plays a few frames on each display between two switches.
struct SwitchTimes {
    std::vector<LONGLONG> ToWindow, ToFullScreen;
};

SwitchTimes TimeSwitches(HWND window, SmackFilm* film, int rounds)
{
    SwitchTimes times;
    for (int i = 0; i < 2 * rounds; ++i) {
        TimeFrames(film, 5);
        bool toWindow = !DisplayIsWindowed();
        LONGLONG start = Now();
        if (SwitchDisplay(window) != SwitchOutcome::Switched) {
            std::fprintf(stderr, "film_bench: the switch %s failed\n", toWindow ? "to the window" : "to full screen");
            break;
        }
        TimeFrames(film, 1);
        (toWindow ? times.ToWindow : times.ToFullScreen).push_back(Now() - start);
    }
    return times;
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
    if (frameMs > 0)
        std::printf("%-19s %4zu frames: mean %6.2f ms, median %6.2f ms, 95%% %6.2f ms, worst %6.2f ms per frame;"
                    " frame time %.2f ms, mean uses %4.1f%% of it\n",
                    label, ticks.size(), mean, median, p95, worst, frameMs, 100.0 * mean / frameMs);
    else
        std::printf("%-19s %4zu times: mean %6.2f ms, median %6.2f ms, worst %6.2f ms (goal: at most 250 ms)\n",
                    label, ticks.size(), mean, median, worst);
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
    HWND window = CreateWindowExA(0, "STATIC", "film bench", WS_POPUP | WS_VISIBLE, 0, 0, 4, 4, nullptr, nullptr,
                                  g_launcher.Instance, nullptr);
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
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const double frameMs = FrameTimeMs(film->FrameRate);
    std::printf("%s: %ux%u, %u frames\n", argv[1], film->Width, film->Height, film->Frames);
    ClearBackBuffer(1);
    ClearBackBuffer(0);
    // The film starts again after its last frame, so a second pass finds the decoder warm.
    TimeFrames(film);
    FrameTimes full = TimeFrames(film);
    CloseDisplay();
    if (!OpenWindowedDisplay(window, low)) {
        std::fprintf(stderr, "film_bench: the windowed display cannot be opened\n");
        SmackClose(film);
        return 1;
    }
    const PicturePlacement& p = g_display.Windowed.Placement;
    ClearBackBuffer(1);
    TimeFrames(film);
    FrameTimes windowed = TimeFrames(film);
    std::printf("full screen: %ldx%ld mode; windowed: factor %d, %dx%d at %d,%d on the screen\n", g_display.Width,
                g_display.Height, p.Scale, p.TargetWidth, p.TargetHeight, p.TargetX, p.TargetY);
    Report("full-screen frame", full.Frame, frequency.QuadPart, frameMs);
    Report("windowed frame", windowed.Frame, frequency.QuadPart, frameMs);
    Report("full-screen present", full.Present, frequency.QuadPart, frameMs);
    Report("windowed present", windowed.Present, frequency.QuadPart, frameMs);
    SwitchTimes switches = TimeSwitches(window, film, 10);
    if (!switches.ToWindow.empty() && !switches.ToFullScreen.empty()) {
        Report("Alt+Enter to window", switches.ToWindow, frequency.QuadPart, 0);
        Report("Alt+Enter to full", switches.ToFullScreen, frequency.QuadPart, 0);
    }
    SmackClose(film);
    CloseDisplay();
    DestroyWindow(window);
    return 0;
}
