#include "intro/film_player.h"
#include "intro/film_player_win.h"

#include "crawl/credits_crawl.h"
#include "intro/film_frame.h"
#include "intro/full_screen_display.h"
#include "intro/intro_choice_win.h"
#include "launcher/launcher_state.h"
#include "launcher/text.h"

#include <algorithm>
#include <cstdint>

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
// ends the player's loop. It runs once: a message box inside the crawl (a read error)
// dispatches messages, and an Escape queued for the film window would come back here while
// the crawl is still running.
void EndFilm(HWND window)
{
    if (g_film.Ending)
        return;
    g_film.Ending = true;
    g_filmCrawl();
    DestroyFilmWindow(window);
}

// The rows of the locked front buffer: the lock's own height where it states one, the
// mode's otherwise.
std::uint32_t LockedRows()
{
    const DDSURFACEDESC& s = g_display.Surface;
    if (s.dwFlags & DDSD_HEIGHT)
        return s.dwHeight;
    return g_display.Height > 0 ? static_cast<std::uint32_t>(g_display.Height) : 0;
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

// Key message flags: the Alt key was down, and the key was already down before (the
// keyboard's repeat while it is held).
constexpr LPARAM kAltDown = LPARAM(1) << 29;
constexpr LPARAM kRepeat = LPARAM(1) << 30;

bool IsAltEnter(WPARAM key, LPARAM flags) { return key == VK_RETURN && (flags & kAltDown); }

// Alt+Enter moves the intro between the full-screen display and the window, and the next
// intro starts on the display it moved to. A key held down switches once: its repeats are
// let go. Between two presses the switch has run to its end, so quick presses only take
// the intro back and forth, each time onto a whole display. The film's clock and the
// crawl's pace run on meanwhile; the next frame catches up.
void OnAltEnter(HWND window)
{
    switch (SwitchDisplay(window)) {
    case SwitchOutcome::Switched:
        RememberIntroWindowChosen(DisplayIsWindowed());
        break;
    case SwitchOutcome::Unchanged:
        break;
    case SwitchOutcome::Lost:
        // No display to go on with: the intro ends as a film that ran out does, without
        // the crawl it could not show; a crawl that is running ends at its next frame.
        g_film.Ending = true;
        DestroyFilmWindow(window);
        return;
    }
    SetCursor(nullptr);
}

LRESULT OnSystemKeyDown(HWND window, UINT message, WPARAM key, LPARAM flags)
{
    if (!IsAltEnter(key, flags))
        return DefWindowProcA(window, message, key, flags);
    if (!(flags & kRepeat))
        OnAltEnter(window);
    return 0;
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
    g_film.Ending = false;
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
    g_display.ModeRefused = false;
    // The window where the user chose it; otherwise full screen, and where the 8-bit mode
    // cannot be set (a remote session, a virtual machine, a driver without 8-bit modes) the
    // same pictures go to the film window, scaled.
    if (!(IntroWindowChosen() && OpenWindowedDisplay(window, resolution))) {
        switch (OpenDisplay(window, resolution)) {
        case DisplayOutcome::NotOpened:
            if (OpenWindowedDisplay(window, resolution))
                break;
            CloseFilm();
            DestroyFilmWindowOutsideLoop(window);
            return;
        case DisplayOutcome::Incomplete:
            // The mode has changed, or was claimed and not set: closing puts the desktop's
            // back first.
            CloseDisplay();
            if (OpenWindowedDisplay(window, resolution))
                break;
            TearDown(window);
            return;
        case DisplayOutcome::Ready:
            break;
        }
    }
    g_film.Window = window;
    ClearBackBuffer(1);
    ClearBackBuffer(0);
    SetCursor(nullptr);
    RunFilmLoop(window);
    g_film.Window = nullptr;
    TearDown(window);
    g_film.Ending = false;
}

// The crawl runs its own loop; between its frames the film window's messages are taken
// here, so that the window answers the system (which takes a window that leaves its
// messages for seconds as hung) and Alt+Enter reaches it. Only that window's: the
// launcher's dialog keeps its notices for later, as it does while the crawl runs.
void ServeFilmWindow()
{
    HWND window = g_film.Window;
    MSG message;
    while (window && IsWindow(window) && PeekMessageA(&message, window, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
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
    // A film taller than the mode (the high-resolution film in the low one, a Y-doubled
    // film, a damaged header) is cut at the surface's last row; the library cuts the columns
    // at the pitch, which the surface's rows also hold.
    std::uint32_t rows = std::min(film->Height, LockedRows());
    SmackToBuffer(film, 0, 0, g_display.Surface.lPitch, rows, g_display.Surface.lpSurface, g_display.BlitFlags);
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
    case WM_SYSKEYDOWN:
        return OnSystemKeyDown(window, message, wParam, lParam);
    case WM_SYSCHAR:
        // Alt+Enter's character would only make the system beep.
        return wParam == '\r' ? 0 : DefWindowProcA(window, message, wParam, lParam);
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
