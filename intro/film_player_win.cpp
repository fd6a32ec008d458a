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
// Posted by the film window to itself when the program comes back to the front: the display
// is made whole again once the activation has run to its end.
constexpr UINT kComeBack = WM_APP;

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

// From the click to the intro's end the launcher's dialog takes no input, as a modal dialog's
// owner does: nothing of it (a button, a key, its window menu) can start a second intro, a
// game or an installation inside this one.
void HoldLauncher()
{
    HWND dialog = g_launcher.LauncherDialog;
    g_film.LauncherHeld = dialog && IsWindowEnabled(dialog);
    if (g_film.LauncherHeld)
        EnableWindow(dialog, FALSE);
}

// As a modal dialog gives its owner back: enabled, and made active before the film window
// goes, so that the system does not hand the activation to another program's window. Only
// while the program is in front: an intro that ends while the player is in another program
// does not take the screen from it.
void ReleaseLauncher()
{
    if (!g_film.LauncherHeld)
        return;
    g_film.LauncherHeld = false;
    HWND dialog = g_launcher.LauncherDialog;
    EnableWindow(dialog, TRUE);
    if (GetWindowThreadProcessId(GetForegroundWindow(), nullptr) == GetCurrentThreadId())
        SetForegroundWindow(dialog);
}

// Destroying the window posts the quit message that ends the player's loop; a window that
// is already gone makes the call fail, which does no harm. The class can go only after its
// last window. Every intro that made its window ends here, so the launcher is given back here.
void DestroyFilmWindow(HWND window)
{
    ReleaseLauncher();
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
// the crawl is still running. A closed film window has no crawl.
void EndFilm(HWND window)
{
    if (g_film.Ending)
        return;
    g_film.Ending = true;
    if (!g_film.Closing)
        g_filmCrawl();
    DestroyFilmWindow(window);
}

// The film window's Close (the taskbar's "Close window", Alt+F4, another program asking it
// to close) ends the whole intro: the film without its crawl, a running crawl at its next
// pass. The window itself goes only with the intro, never from under a film or a crawl that
// would go on unseen.
void CloseIntro(HWND window)
{
    g_film.Closing = true;
    EndFilm(window);
}

// No display to go on with: the intro ends as a film that ran out does, without the crawl it
// could not show; a crawl that is running ends at its next pass.
void EndWithoutDisplay(HWND window)
{
    g_film.Ending = true;
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
// the window; this is for anyone who does. The window over a whole monitor is not moved off
// it: its picture is aligned inside it instead.
void AlignWindowPosition(WINDOWPOS& position)
{
    if ((position.flags & SWP_NOMOVE) || DisplayIsWindowed())
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
        EndWithoutDisplay(window);
        return;
    }
    SetCursor(nullptr);
}

LRESULT OnSystemKeyDown(HWND window, UINT message, WPARAM key, LPARAM flags)
{
    // Alt+F4 as the system would make it of a window whose class has no Close.
    if (key == VK_F4 && (flags & kAltDown)) {
        CloseIntro(window);
        return 0;
    }
    if (!IsAltEnter(key, flags))
        return DefWindowProcA(window, message, key, flags);
    if (!(flags & kRepeat))
        OnAltEnter(window);
    return 0;
}

LRESULT OnSystemCommand(HWND window, WPARAM command, LPARAM where)
{
    if ((command & 0xFFF0) != SC_CLOSE)
        return DefWindowProcA(window, WM_SYSCOMMAND, command, where);
    CloseIntro(window);
    return 0;
}

// Alt+Tab, or the window minimised: away from full screen the system gives the desktop its
// mode back and the surfaces are lost. The program comes back when any of its windows is
// brought to the front; the launcher's dialog, held meanwhile, hands the front back to the
// intro, as a modal dialog's owner does.
void OnActivateApp(HWND window, bool active)
{
    if (window != g_film.Window)
        return;
    if (active)
        PostMessageA(window, kComeBack, 0, 0);
    else
        DisplayToBackground();
}

void OnSize(HWND window, WPARAM kind)
{
    if (window != g_film.Window)
        return;
    if (kind == SIZE_MINIMIZED) {
        g_film.Minimised = true;
    } else if (g_film.Minimised) {
        g_film.Minimised = false;
        PostMessageA(window, kComeBack, 0, 0);
    }
}

// The display whole again (restored surfaces with their palette, or the window where the
// mode cannot be had again) and the film window in front with the keyboard, so that the film
// goes on. Nothing is remembered of a move to the window here: the player did not choose it.
void OnComeBack(HWND window)
{
    if (window != g_film.Window)
        return;
    g_film.Minimised = false;
    if (IsIconic(window))
        ShowWindow(window, SW_RESTORE);
    if (DisplayToForeground(window) == SwitchOutcome::Lost) {
        EndWithoutDisplay(window);
        return;
    }
    // Made the foreground window, it is not always brought over the others (Wine).
    BringWindowToTop(window);
    SetForegroundWindow(window);
    SetFocus(window);
    SetCursor(nullptr);
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
    // One intro at a time: one asked for inside another (a command that reached the program
    // all the same) is not started.
    if (g_film.Film)
        return;
    // The crawl opens its text and font relative to the current directory.
    SetCurrentDirectoryA(g_launcher.SourceRoot);
    RegisterFilmWindowClass();
    g_film.Ending = false;
    g_film.Closing = false;
    g_film.Minimised = false;
    // Held before the film window is made, as a modal dialog's owner is: disabling the dialog
    // takes the keyboard from it, and so it must not take it from the film window afterwards.
    HoldLauncher();
    HWND window = CreateFilmWindow();
    if (!window) {
        ReleaseLauncher();
        return;
    }
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
        switch (ClaimDisplay(window, resolution)) {
        case DisplayOutcome::NotOpened:
            if (OpenWindowedDisplay(window, resolution))
                break;
            CloseFilm();
            DestroyFilmWindowOutsideLoop(window);
            return;
        case DisplayOutcome::Incomplete:
            // The mode has changed, or was claimed and not set twice: closing puts the
            // desktop's back first.
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
    // The film runs while its window has the keyboard.
    SetFocus(window);
    ClearBackBuffer(1);
    ClearBackBuffer(0);
    SetCursor(nullptr);
    RunFilmLoop(window);
    g_film.Window = nullptr;
    TearDown(window);
    g_film.Ending = false;
    g_film.Closing = false;
}

bool IntroClosing() { return g_film.Closing || (g_film.Window && !IsWindow(g_film.Window)); }

void ReturnToIntro()
{
    if (g_film.Window)
        PostMessageA(g_film.Window, kComeBack, 0, 0);
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
    case WM_CLOSE:
        CloseIntro(window);
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
    case WM_SYSCOMMAND:
        return OnSystemCommand(window, wParam, lParam);
    case WM_ACTIVATEAPP:
        OnActivateApp(window, wParam != FALSE);
        return 0;
    case kComeBack:
        OnComeBack(window);
        return 0;
    case WM_SIZE:
        OnSize(window, wParam);
        return 0;
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
