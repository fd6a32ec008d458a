#include "intro/film_player.h"
#include "intro/film_player_win.h"

#include "crawl/credits_crawl.h"
#include "intro/film_frame.h"
#include "intro/full_screen_display.h"
#include "launcher/launcher_state.h"
#include "launcher/text.h"

FilmPlayer g_film;
const char kFilmWindowClass[] = "FilmFenster";
void (*g_filmCrawl)() = RunCreditsCrawl;

namespace {

constexpr char kFilmWindowTitle[] = "Vesk Marlit Intro";
constexpr char kHighResolutionFilm[] = "\\intro.smk";
constexpr char kLowResolutionFilm[] = "\\intro320.smk";
// The film path's buffer, terminator included.
constexpr int kFilmPathSize = 100;
// The window starts tiny; opening the display makes it 640x480.
constexpr int kInitialWindowSize = 4;
// SmackOpen: load every sound track, and let the library size its own buffers.
constexpr uint32_t kFilmOpenFlags = kSmackAllTracks;
constexpr uint32_t kFilmExtraBuffer = kSmackAutoExtraBuffer;

void RegisterFilmWindowClass()
{
    WNDCLASSA filmClass = {};
    filmClass.style = CS_NOCLOSE;
    filmClass.lpfnWndProc = FilmWindowProc;
    filmClass.hInstance = g_launcher.Instance;
    filmClass.lpszClassName = kFilmWindowClass;
    // Fails harmlessly when an intro whose window could not be created left it registered.
    RegisterClassA(&filmClass);
}

HWND CreateFilmWindow()
{
    return CreateWindowExA(0, kFilmWindowClass, kFilmWindowTitle, WS_POPUP | WS_VISIBLE, 0, 0, kInitialWindowSize,
                           kInitialWindowSize, nullptr, nullptr, g_launcher.Instance, nullptr);
}

// Destroying the window posts the quit message that ends the player's loop; a window that
// is already gone makes the call fail, which does no harm. The class can go only after its
// last window.
void DestroyFilmWindow(HWND window)
{
    DestroyWindow(window);
    UnregisterClassA(kFilmWindowClass, g_launcher.Instance);
}

// Where the window is destroyed outside the player's loop (a film or display that could
// not be opened, and the teardown), its quit message would stay in the thread's queue, and
// the launcher dialog's modal loop would take it for the end of the program. It is taken
// out again before the player returns.
void DestroyFilmWindowOutsideLoop(HWND window)
{
    DestroyFilmWindow(window);
    MSG message;
    PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

// Refuses a path that does not fit the buffer rather than open a shorter, different one.
bool BuildFilmPath(char (&path)[kFilmPathSize], int lowResolution)
{
    return JoinText(path, g_launcher.IntroDir, lowResolution ? kLowResolutionFilm : kHighResolutionFilm);
}

SmackFilm* OpenFilm(int lowResolution)
{
    char path[kFilmPathSize] = "";
    if (!BuildFilmPath(path, lowResolution))
        return nullptr;
    return SmackOpen(path, kFilmOpenFlags, kFilmExtraBuffer);
}

void RecordClientOrigin(HWND window)
{
    g_film.ClientOrigin = {0, 0};
    ClientToScreen(window, &g_film.ClientOrigin);
}

void CloseFilm()
{
    SmackClose(g_film.Film);
    g_film.Film = nullptr;
}

// Never waits: while no message is there and no frame is due, it polls again at once, so
// that a frame is drawn the moment it is due and the library can keep its sound fed.
void RunFilmLoop(HWND window)
{
    for (;;) {
        MSG message;
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                return;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else if (SmackWait(g_film.Film) == 0) {
            FilmFrameStep(window);
        }
    }
}

// The end of every intro that got as far as the display, in this order. After a film that
// ran, the window is normally gone already and only its class remains to go.
void TearDown(HWND window)
{
    CloseFilm();
    CloseDisplay();
    DestroyFilmWindowOutsideLoop(window);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

// The crawl runs over the picture on the screen; afterwards the film window goes, which
// ends the player's loop.
void EndFilm(HWND window)
{
    g_filmCrawl();
    DestroyFilmWindow(window);
}

// Keeps the client area on a screen column divisible by 4. The player itself never moves
// the window; this is for anyone who does.
void AlignWindowPosition(WINDOWPOS& position)
{
    if (position.flags & SWP_NOMOVE)
        return;
    position.x = AlignFilmWindowX(position.x, g_film.ClientOrigin.x);
}

LRESULT OnKeyDown(HWND window, WPARAM key)
{
    if (key == VK_ESCAPE)
        EndFilm(window);
    return 1;
}

LRESULT OnPaletteChanged(HWND window, HWND changer)
{
    if (changer != window)
        ReattachPalette();
    return 0;
}

} // namespace

void PlayIntro(int resolution)
{
    // The crawl opens its text and font relative to the current directory.
    SetCurrentDirectoryA(g_launcher.SourceRoot);
    RegisterFilmWindowClass();
    HWND window = CreateFilmWindow();
    if (!window)
        return;
    SmackSoundUseDirectSound(nullptr);
    g_film.Film = OpenFilm(resolution);
    if (!g_film.Film) {
        DestroyFilmWindowOutsideLoop(window);
        return;
    }
    RecordClientOrigin(window);
    // Where the 8-bit mode cannot be set (a remote session, a virtual machine, a driver
    // without 8-bit modes), the same pictures go to the film window, scaled.
    switch (OpenDisplay(window, resolution)) {
    case DisplayOutcome::NotOpened:
        if (OpenWindowedDisplay(window, resolution))
            break;
        CloseFilm();
        DestroyFilmWindowOutsideLoop(window);
        return;
    case DisplayOutcome::Incomplete:
        // The mode has changed: closing puts the desktop's back first.
        CloseDisplay();
        if (OpenWindowedDisplay(window, resolution))
            break;
        TearDown(window);
        return;
    case DisplayOutcome::Ready:
        break;
    }
    ClearBackBuffer(1);
    ClearBackBuffer(0);
    SetCursor(nullptr);
    RunFilmLoop(window);
    TearDown(window);
}

void FilmFrameStep(HWND window)
{
    // The film stands still while another window has the focus; once the film window is
    // gone, nothing has it.
    if (GetFocus() != window)
        return;
    SmackFilm* film = g_film.Film;
    if (film->NewPalette)
        UpdateFilmPalette(film);
    // A frame whose lock fails is tried again on the next pass.
    if (!LockFrontBuffer())
        return;
    SmackToBuffer(film, 0, 0, g_display.Surface.lPitch, film->Height, g_display.Surface.lpSurface,
                  g_display.BlitFlags);
    SmackDoFrame(film);
    UnlockFrontBuffer();
    if (IsLastFilmFrame(film->CurrentFrame, film->Frames))
        EndFilm(window);
    else
        SmackNextFrame(film);
}

void UpdateFilmPalette(const SmackFilm* film)
{
    CopyFilmColours(reinterpret_cast<DisplayColour*>(g_display.PaletteTable), film->Palette);
    ApplyPaletteTable();
}

LRESULT CALLBACK FilmWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_PAINT:
        PaintDisplay(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_KEYDOWN:
        return OnKeyDown(window, wParam);
    case WM_PALETTECHANGED:
        return OnPaletteChanged(window, reinterpret_cast<HWND>(wParam));
    case WM_QUERYNEWPALETTE:
        ReattachPalette();
        return 0;
    case WM_WINDOWPOSCHANGING:
        AlignWindowPosition(*reinterpret_cast<WINDOWPOS*>(lParam));
        return DefWindowProcA(window, message, wParam, lParam);
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
