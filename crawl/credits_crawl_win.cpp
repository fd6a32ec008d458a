#include "crawl/credits_crawl.h"

#include "crawl/crawl_music_win.h"
#include "crawl/crawl_pace.h"
#include "crawl/crawl_renderer.h"
#include "crawl/crawl_text.h"
#include "intro/film_player.h"
#include "intro/full_screen_display.h"
#include "launcher/launcher_state.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr SHORT kKeyDown = static_cast<SHORT>(0x8000);

// The crawl's own buffers, rows of exactly the screen width: the picture captured from the
// screen, and the frame built over it.
struct CrawlScreen {
    int width;
    int height;
    std::unique_ptr<std::uint8_t[]> background;
    std::unique_ptr<std::uint8_t[]> compose;
};

void ShowReadError(const char* fileName)
{
    MessageBoxA(nullptr, "Error reading:", fileName, MB_OK);
}

bool AllocateScreen(CrawlScreen& screen)
{
    // The display's size is one of the intro's two modes; the renderer's tables hold the
    // rows of the larger.
    bool high = g_display.Width == kHighResolutionScreen.Width;
    ScreenSize mode = high ? kHighResolutionScreen : kLowResolutionScreen;
    screen.width = mode.Width;
    screen.height = mode.Height;
    std::size_t size = static_cast<std::size_t>(screen.width) * screen.height;
    screen.background.reset(new (std::nothrow) std::uint8_t[size]);
    screen.compose.reset(new (std::nothrow) std::uint8_t[size]);
    return screen.background && screen.compose;
}

// The rows and columns that both the crawl's buffers and the locked surface hold. They are
// the whole screen in the display's own modes; the lock's own size keeps a surface of any
// other size from being read or written past its end.
void LockedArea(const CrawlScreen& screen, int& columns, int& rows)
{
    columns = screen.width;
    rows = screen.height;
    FitToLockedFront(columns, rows);
}

std::uint8_t* SurfaceRow(int y)
{
    return static_cast<std::uint8_t*>(g_display.Surface.lpSurface) + static_cast<std::ptrdiff_t>(y) * g_display.Surface.lPitch;
}

bool CaptureBackground(CrawlScreen& screen)
{
    if (!LockFrontBuffer())
        return false;
    int columns, rows;
    LockedArea(screen, columns, rows);
    for (int y = 0; y < rows; ++y)
        std::memcpy(screen.background.get() + y * screen.width, SurfaceRow(y), columns);
    UnlockFrontBuffer();
    return true;
}

// The front buffer is locked only for the final copy; each row lands at the surface's
// pitch, leaving the bytes between rows alone. False ends the crawl. While the program is in
// the background, away from full screen, there is no surface to draw on: the frame is let go
// and the crawl keeps its pace and its music for the player's return.
bool ShowFrame(void* context, std::int32_t scrollPosition)
{
    auto& screen = *static_cast<CrawlScreen*>(context);
    std::memcpy(screen.compose.get(), screen.background.get(), static_cast<std::size_t>(screen.width) * screen.height);
    // Without memory for the text's layout the crawl ends like any other failure does.
    if (!DrawCrawlRows(0, 0, scrollPosition))
        return false;
    if (!LockFrontBuffer())
        return DisplayInBackground();
    int columns, rows;
    LockedArea(screen, columns, rows);
    for (int y = 0; y < rows; ++y)
        std::memcpy(SurfaceRow(y), screen.compose.get() + y * screen.width, columns);
    UnlockFrontBuffer();
    return true;
}

// Escape, or the film window closed: the crawl ends either way.
bool EscapeDown(void*)
{
    return (GetAsyncKeyState(VK_ESCAPE) & kKeyDown) != 0 || IntroClosing();
}

std::int64_t Counter(void*)
{
    LARGE_INTEGER now = {};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// Every pass that waits serves the film window's messages: Alt+Enter, and the system's
// questions whether the program still answers. (The music file keeps itself filled.)
void ServePass(void*)
{
    ServeFilmWindow();
    Sleep(1);
}

// The tables take the display's colours as the film left them. Where they cannot be read
// (no palette object), the renderer keeps the colours of the previous crawl.
void BuildTables(const CrawlScreen& screen)
{
    DisplayColour colours[kPaletteEntries];
    bool read = ReadDisplayColours(colours);
    BuildCrawlTablesForScreen(screen.width, screen.height, "ALPHABET.DAT", read ? colours : nullptr);
}

void AnimateCrawl(CrawlScreen& screen, std::int32_t lineCount)
{
    LARGE_INTEGER frequency = {};
    QueryPerformanceFrequency(&frequency);
    CrawlPace pace;
    StartCrawlPace(pace, frequency.QuadPart, Counter(nullptr), lineCount);
    SetCursor(nullptr);
    CrawlLoopHooks hooks = {&screen, EscapeDown, Counter, ServePass, ShowFrame};
    RunCrawlLoop(pace, hooks);
}

} // namespace

// Every path ends the same way: the music stopped, the text freed, the buffers released.
// The display stays open with the last frame on it; the film player closes it.
void RunCreditsCrawl()
{
    g_reportReadError = ShowReadError;
    CrawlScreen screen;
    if (AllocateScreen(screen)) {
        g_crawlCanvas = {screen.compose.get(), screen.width, screen.height};
        std::int32_t lineCount = LoadCrawlText("intro.txt");
        ServeFilmWindow();
        BuildTables(screen);
        ServeFilmWindow();
        PlayCrawlMusic(g_launcher.LauncherDialog);
        ServeFilmWindow();
        if (CaptureBackground(screen))
            AnimateCrawl(screen, lineCount);
    }
    StopCrawlMusic();
    FreeCrawlText();
    ReleaseCrawlLayout();
    g_crawlCanvas = {};
}
