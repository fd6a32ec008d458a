// The film player in process, under Wine's virtual desktop where DirectDraw may change the
// display mode: films made on the spot by our encoder play on the real display, and a
// stand-in for the credits crawl looks at the screen when the film hands over to it.
#include "intro/film_frame.h"
#include "intro/film_player.h"
#include "intro/film_player_win.h"
#include "intro/full_screen_display.h"
#include "intro/intro_choice_win.h"
#include "launcher/launcher_state.h"
#include "launcher/text.h"
#include "crawl/credits_crawl.h"
#include "smacker/smacker_decoder.h"
#include "tests/support/win_files.h"
#include "tools/smacker/film_patterns.h"
#include "tools/smacker/smacker_encoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

// What the stand-in crawl saw when the film handed over to it.
struct CrawlVisit {
    int Calls = 0;
    bool DisplayReady = false;
    bool FilmWindowAlive = false;
    bool CursorHidden = false;
    uint32_t Frame = 0, Frames = 0;
    LONG ScreenWidth = 0, ScreenHeight = 0;
    DWORD ScreenBits = 0;
    RECT Window = {};
    std::vector<uint8_t> Screen;    // the film's rows of the locked front buffer
    PALETTEENTRY Palette[256] = {}; // the palette object's entries
    uint8_t FilmPalette[768] = {};  // the film's colours at that moment
    std::string Directory;
};

CrawlVisit g_visit;
uint32_t g_filmWidth = 0, g_filmHeight = 0;

void LookAtTheScreen()
{
    CrawlVisit& v = g_visit;
    ++v.Calls;
    v.DisplayReady = g_display.DirectDraw && g_display.Primary;
    HWND film = FindWindowA(kFilmWindowClass, nullptr);
    v.FilmWindowAlive = film != nullptr;
    GetWindowRect(film, &v.Window);
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    v.ScreenBits = mode.dmBitsPerPel;
    v.CursorHidden = GetCursor() == nullptr;
    v.ScreenWidth = GetSystemMetrics(SM_CXSCREEN);
    v.ScreenHeight = GetSystemMetrics(SM_CYSCREEN);
    v.Directory = test::CurrentDirectory();
    if (g_film.Film) {
        v.Frame = g_film.Film->CurrentFrame;
        v.Frames = g_film.Film->Frames;
        std::memcpy(v.FilmPalette, g_film.Film->Palette, sizeof v.FilmPalette);
    }
    if (g_display.Palette)
        g_display.Palette->GetEntries(0, 0, 256, v.Palette);
    if (v.DisplayReady && LockFrontBuffer()) {
        v.Screen.resize(size_t(g_filmWidth) * g_filmHeight);
        for (uint32_t y = 0; y < g_filmHeight; ++y)
            std::memcpy(&v.Screen[size_t(y) * g_filmWidth],
                        static_cast<uint8_t*>(g_display.Surface.lpSurface) + std::ptrdiff_t(y) * g_display.Surface.lPitch,
                        g_filmWidth);
        UnlockFrontBuffer();
    }
}

// Stands in for a crawl that shows a message box: the box's loop dispatches what is queued,
// here an Escape for the film window, as a user's key press would be.
void CrawlThatDispatchesAnEscape()
{
    LookAtTheScreen();
    if (g_visit.Calls > 1)
        return;
    PostMessageA(FindWindowA(kFilmWindowClass, nullptr), WM_KEYDOWN, VK_ESCAPE, 0);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam)); // the player's loop is to see it
            break;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

COLORREF Rgb(const PALETTEENTRY& e) { return RGB(e.peRed, e.peGreen, e.peBlue); }

bool QuitMessageWaiting()
{
    MSG message;
    return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

class FilmPlayerTest : public testing::Test {
protected:
    void SetUp() override
    {
        saved_ = test::CurrentDirectory();
        screenWidth_ = GetSystemMetrics(SM_CXSCREEN);
        g_launcher = LauncherState{};
        g_launcher.Instance = GetModuleHandleA(nullptr);
        // Stands in for the launcher's dialog, which the intro holds while it plays.
        g_launcher.LauncherDialog = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 64, 48, nullptr,
                                                    nullptr, g_launcher.Instance, nullptr);
        // Another of the program's windows over the dialog: the intro's end must put the
        // dialog in front itself, not leave it to whichever window is next.
        cover_ = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 16, 16, nullptr, nullptr,
                                 g_launcher.Instance, nullptr);
        root_ = test::MakeScratchDirectory("film");
        CreateDirectoryA((root_ + "\\intro").c_str(), nullptr);
        JoinText(g_launcher.SourceRoot, root_.c_str(), "\\");
        JoinText(g_launcher.IntroDir, root_.c_str(), "\\intro");
        g_visit = CrawlVisit{};
        g_filmCrawl = LookAtTheScreen;
    }
    void TearDown() override
    {
        g_filmCrawl = RunCreditsCrawl;
        DestroyWindow(g_launcher.LauncherDialog);
        DestroyWindow(cover_);
        SetCurrentDirectoryA(saved_.c_str());
        test::RemoveTree(root_);
    }

    // Writes intro.smk or intro320.smk of `count` frames into the intro directory.
    void WriteIntro(const char* name, uint32_t width, uint32_t height, uint32_t count, int32_t frameRate,
                    uint32_t flags = 0)
    {
        frames_ = MakeTestFrames(width, height, count, 7);
        std::vector<uint8_t> file;
        std::string error;
        ASSERT_TRUE(SmkEncode({.Width = width, .Height = height, .FrameRate = frameRate, .DisplayFlags = flags},
                              frames_, {}, file, error)) << error;
        test::WriteWholeFile(root_ + "\\intro\\" + name, std::string(file.begin(), file.end()));
        g_filmWidth = width;
        g_filmHeight = height;
    }

    // After every intro: the desktop, the arrow, no class, no film, no stray quit message.
    void ExpectIdleAgain()
    {
        EXPECT_EQ(screenWidth_, GetSystemMetrics(SM_CXSCREEN)) << "the desktop's mode is back";
        WNDCLASSA unregistered;
        EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), kFilmWindowClass, &unregistered));
        EXPECT_EQ(nullptr, FindWindowA(kFilmWindowClass, nullptr));
        EXPECT_EQ(nullptr, g_film.Film);
        EXPECT_EQ(nullptr, g_display.DirectDraw);
        EXPECT_TRUE(IsWindowEnabled(g_launcher.LauncherDialog)) << "the launcher is given back";
        EXPECT_EQ(g_launcher.LauncherDialog, GetForegroundWindow()) << "the launcher is in front again";
        EXPECT_FALSE(QuitMessageWaiting()) << "a quit message would end the launcher's dialog";
        EXPECT_STRCASEEQ(root_.c_str(), test::CurrentDirectory().c_str());
    }

    std::string saved_, root_;
    HWND cover_ = nullptr;
    int screenWidth_ = 0;
    std::vector<SmkEncodeFrame> frames_;
};

} // namespace

// A missing film ends quietly. The crawl over the one frame, on the film's colours in entries
// 10 to 245 and the system's in the rest; a second intro, whose crawl dispatches an Escape as
// a message box's loop would, plays like the first and does not start its crawl again; the
// next has its crawl again. The high-resolution film does not stand in for the low one.
TEST_F(FilmPlayerTest, AOneFrameFilmIsFollowedByTheCrawlOverThatFrameAndASecondPlaysAlike)
{
    PlayIntro(kHighResolution);
    EXPECT_EQ(0, g_visit.Calls);
    ExpectIdleAgain();
    WriteIntro("intro.smk", 640, 480, 1, 50);
    PlayIntro(kHighResolution);

    ASSERT_EQ(1, g_visit.Calls);
    EXPECT_TRUE(g_visit.DisplayReady);
    EXPECT_TRUE(g_visit.FilmWindowAlive) << "the window goes only after the crawl";
    EXPECT_TRUE(g_visit.CursorHidden);
    EXPECT_EQ(640, g_visit.ScreenWidth);
    EXPECT_EQ(480, g_visit.ScreenHeight);
    EXPECT_EQ(8u, g_visit.ScreenBits);
    EXPECT_EQ(640, g_visit.Window.right - g_visit.Window.left);
    EXPECT_EQ(480, g_visit.Window.bottom - g_visit.Window.top);
    EXPECT_EQ(0u, g_visit.Frame);
    EXPECT_EQ(1u, g_visit.Frames);
    EXPECT_TRUE(g_visit.Screen == frames_[0].Pixels) << "the frame is on the visible buffer";
    EXPECT_STRCASEEQ(root_.c_str(), g_visit.Directory.c_str())
        << "the crawl finds its files in the medium's root";
    for (int i = 0; i < 256; ++i) {
        const uint8_t* film = g_visit.FilmPalette + 3 * i;
        // Outside the film's range the system colours, as the display read them when it opened.
        EXPECT_EQ(i >= kFirstFilmColour && i <= kLastFilmColour ? RGB(film[0], film[1], film[2])
                                                                 : Rgb(g_display.PaletteTable[i]),
                  Rgb(g_visit.Palette[i])) << "entry " << i;
    }
    // Black and white, at least, are among the system's colours.
    EXPECT_EQ(RGB(0, 0, 0), Rgb(g_visit.Palette[0]));
    EXPECT_EQ(RGB(255, 255, 255), Rgb(g_visit.Palette[255]));
    ExpectIdleAgain();
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), GetCursor());

    std::vector<uint8_t> first = g_visit.Screen;
    for (auto crawl : {CrawlThatDispatchesAnEscape, LookAtTheScreen}) {
        g_filmCrawl = crawl;
        g_visit = CrawlVisit{};
        PlayIntro(kHighResolution);
        EXPECT_EQ(1, g_visit.Calls);
        EXPECT_TRUE(g_visit.Screen == first);
        ExpectIdleAgain();
    }
    g_visit = CrawlVisit{};
    PlayIntro(kLowResolution);
    EXPECT_EQ(0, g_visit.Calls);
    ExpectIdleAgain();
}

// Then a film larger than the mode is cut at the screen's edges: the high-resolution film
// where the low-resolution one should be shows its top left corner, and a Y-doubled film of
// 240 stored rows, shown 480 rows high, its upper half.
TEST_F(FilmPlayerTest, TheWholeFilmPlaysAtLowResolutionToItsLastFrameAndALargerOneIsCut)
{
    WriteIntro("intro320.smk", 320, 240, 8, 30);
    DWORD start = GetTickCount();
    PlayIntro(kLowResolution);
    DWORD elapsed = GetTickCount() - start;
    ASSERT_EQ(1, g_visit.Calls);
    EXPECT_EQ(320, g_visit.ScreenWidth);
    EXPECT_EQ(240, g_visit.ScreenHeight);
    EXPECT_EQ(8u, g_visit.ScreenBits);
    EXPECT_EQ(320, g_display.Width);
    // The display makes the window 640x480 in both modes; Wine's DirectDraw then fits it to
    // the 320x240 mode as it makes the primary surface. Either way it covers the screen.
    EXPECT_GE(g_visit.Window.right - g_visit.Window.left, 320);
    EXPECT_GE(g_visit.Window.bottom - g_visit.Window.top, 240);
    EXPECT_EQ(7u, g_visit.Frame);
    EXPECT_TRUE(g_visit.Screen == frames_[7].Pixels) << "the last frame is on the screen";
    EXPECT_GE(elapsed, 7u * 30u - 20u) << "the film's clock paces the frames";
    ExpectIdleAgain();

    const struct {
        uint32_t Width, Flags, RowShift;
    } larger[] = {{640, 0, 0}, {320, kSmkYDoubled, 1}};
    for (const auto& film : larger) {
        WriteIntro("intro320.smk", film.Width, film.Width * 3 / 4, 2, 20, film.Flags);
        g_filmWidth = 320;
        g_filmHeight = 240;
        g_visit = CrawlVisit{};
        PlayIntro(kLowResolution);
        ASSERT_EQ(1, g_visit.Calls);
        std::vector<uint8_t> shown;
        for (uint32_t y = 0; y < 240; ++y) {
            auto row = frames_[1].Pixels.begin() + (y >> film.RowShift) * film.Width;
            shown.insert(shown.end(), row, row + 320);
        }
        EXPECT_TRUE(g_visit.Screen == shown) << film.Width << " columns, flags " << film.Flags;
        ExpectIdleAgain();
    }
}

namespace {

// What ends the film in the middle: Escape, the taskbar's Close, Alt+F4.
std::pair<UINT, WPARAM> g_press;
DWORD g_pressedAt;

// Posts the press once the film is a few frames in; a machine under load may take longer
// than usual to show the first.
void CALLBACK PressOnTheFilm(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (!g_film.Film || g_film.Film->CurrentFrame < 3)
        return;
    if (HWND film = FindWindowA(kFilmWindowClass, nullptr)) {
        KillTimer(nullptr, timer);
        g_pressedAt = GetTickCount();
        PostMessageA(film, g_press.first, g_press.second, g_press.first == WM_SYSKEYDOWN ? LPARAM(1) << 29 : 0);
    }
}

} // namespace

// Escape ends the film at once and the crawl follows; the film window's Close ends the
// whole intro, the crawl too.
TEST_F(FilmPlayerTest, EscapeEndsTheFilmAtOnceWithTheCrawlAndCloseWithout)
{
    WriteIntro("intro.smk", 640, 480, 80, 100); // eight seconds, of which at least 7.6 are left at the press
    const std::pair<UINT, WPARAM> presses[] = {{WM_KEYDOWN, VK_ESCAPE}, {WM_SYSCOMMAND, SC_CLOSE}, {WM_SYSKEYDOWN, VK_F4}};
    for (const auto& press : presses) {
        g_press = press;
        g_visit = CrawlVisit{};
        UINT_PTR timer = SetTimer(nullptr, 0, 100, PressOnTheFilm);
        g_pressedAt = 0;
        PlayIntro(kHighResolution);
        DWORD elapsed = GetTickCount() - g_pressedAt;
        KillTimer(nullptr, timer);
        ASSERT_NE(0u, g_pressedAt) << "the film was never a few frames in";
        EXPECT_EQ(press.first == WM_KEYDOWN ? 1 : 0, g_visit.Calls) << "the crawl follows Escape, not Close";
        EXPECT_TRUE(press.first != WM_KEYDOWN || (g_visit.Frame > 0 && g_visit.Frame < 79 && g_visit.FilmWindowAlive));
        EXPECT_LT(elapsed, 3000u) << "the rest of the film is not shown";
        ExpectIdleAgain();
    }
}

// --- the frame step and the window procedure on their own -------------------------------

namespace {

constexpr char kTestFilmClass[] = "FilmPlayerTestWindow";

class FilmWindowTest : public FilmPlayerTest {
protected:
    void SetUp() override
    {
        FilmPlayerTest::SetUp();
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = FilmWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kTestFilmClass;
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(0, kTestFilmClass, "film", WS_POPUP | WS_VISIBLE, 0, 0, 64, 48, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        other_ = CreateWindowExA(0, "EDIT", "", WS_POPUP | WS_VISIBLE, 100, 100, 64, 20, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        g_film.ClientOrigin = {0, 0};
    }
    void TearDown() override
    {
        CloseDisplay();
        ForgetIntroChoice();
        if (g_film.Film)
            SmackClose(g_film.Film);
        g_film.Film = nullptr;
        DestroyWindow(other_);
        DestroyWindow(window_);
        QuitMessageWaiting(); // the film window's destruction posted one
        UnregisterClassA(kTestFilmClass, GetModuleHandleA(nullptr));
        FilmPlayerTest::TearDown();
    }
    void OpenTestFilm()
    {
        WriteIntro("intro.smk", 64, 48, 3, 10);
        g_film.Film = SmackOpen((root_ + "\\intro\\intro.smk").c_str(), kSmackAllTracks, kSmackAutoExtraBuffer);
        ASSERT_TRUE(g_film.Film != nullptr);
        ASSERT_NE(0u, g_film.Film->NewPalette) << "the first frame brings its colours";
    }
    HWND window_ = nullptr, other_ = nullptr;
};

void MarkPaletteTable()
{
    for (int i = 0; i < 256; ++i)
        g_display.PaletteTable[i] = {BYTE(i), BYTE(255 - i), BYTE(i ^ 0x55), BYTE(i & 3)};
}

} // namespace

// Without the focus the step changes nothing, not even the colours; with it, the step goes as
// far as the display lets it: the colours come in, all 256 entries pushed to the palette
// object, and with no display to lock the frame waits for the next pass.
TEST_F(FilmWindowTest, TheFilmStandsStillWithoutTheFocusAndWithItPushesAll256Colours)
{
    OpenTestFilm();
    MarkPaletteTable();
    PALETTEENTRY before[256];
    std::memcpy(before, g_display.PaletteTable, sizeof before);
    IDirectDraw* draw = nullptr;
    ASSERT_EQ(DD_OK, DirectDrawCreate(nullptr, &draw, nullptr));
    ASSERT_EQ(DD_OK, draw->SetCooperativeLevel(window_, DDSCL_NORMAL));
    PALETTEENTRY pushed[256] = {};
    ASSERT_EQ(DD_OK, draw->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, pushed, &g_display.Palette, nullptr));

    SetFocus(other_);
    ASSERT_EQ(other_, GetFocus());
    FilmFrameStep(window_);
    EXPECT_EQ(0, std::memcmp(before, g_display.PaletteTable, sizeof before)) << "not even the colours change";
    EXPECT_EQ(0u, g_film.Film->CurrentFrame);

    SetFocus(window_);
    ASSERT_EQ(window_, GetFocus());
    FilmFrameStep(window_);
    EXPECT_EQ(g_film.Film->Palette[3 * 10], g_display.PaletteTable[10].peRed);
    g_display.Palette->GetEntries(0, 0, 256, pushed);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(Rgb(g_display.PaletteTable[i]), Rgb(pushed[i])) << "entry " << i;
    EXPECT_EQ(0u, g_film.Film->CurrentFrame);
    EXPECT_EQ(0, g_visit.Calls);
    g_display.Palette->Release();
    g_display.Palette = nullptr;
    draw->Release();
}

TEST_F(FilmWindowTest, AMoveIsAlignedAndAResizeIsLeftAlone)
{
    RECT r;
    SetWindowPos(window_, nullptr, 7, 9, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(window_, &r);
    EXPECT_EQ(8, r.left) << "7 has remainder 3: up to 8";
    EXPECT_EQ(9, r.top) << "y is never changed";

    g_film.ClientOrigin = {3, 0}; // as though the client area sat 3 pixels in
    SetWindowPos(window_, nullptr, 10, 9, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(window_, &r);
    EXPECT_EQ(9, r.left);

    SetWindowPos(window_, nullptr, 0, 0, 100, 80, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(window_, &r);
    EXPECT_EQ(9, r.left) << "no move, no alignment";
    EXPECT_EQ(100, r.right - r.left);
}

// Alt+Enter moves the picture on the screen and all 256 colours to the window and back to
// full screen. (The end-to-end journeys see the modes, the remembered choice and a held key.)
TEST_F(FilmWindowTest, AltEnterCarriesThePictureAndEveryColourToTheWindowAndBack)
{
    ASSERT_EQ(DisplayOutcome::Ready, OpenDisplay(window_, 0));
    MarkPaletteTable();
    // A full-screen palette keeps black and white at its ends, as the system's colours are.
    g_display.PaletteTable[0] = {0, 0, 0, 0};
    g_display.PaletteTable[255] = {255, 255, 255, 0};
    PALETTEENTRY marked[256];
    std::memcpy(marked, g_display.PaletteTable, sizeof marked);
    ApplyPaletteTable();
    // Writes each pixel as a function of its place, or counts those that are not.
    auto pixels = [](bool write) {
        int wrong = 0;
        EXPECT_TRUE(LockFrontBuffer());
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                uint8_t& pixel = static_cast<uint8_t*>(g_display.Surface.lpSurface)[y * g_display.Surface.lPitch + x];
                wrong += write ? (pixel = uint8_t(x * 7 + y * 3), 0) : pixel != uint8_t(x * 7 + y * 3);
            }
        UnlockFrontBuffer();
        return wrong;
    };
    pixels(true);
    for (bool windowed : {true, false}) {
        SCOPED_TRACE(windowed ? "in the window" : "at full screen");
        EXPECT_EQ(0, SendMessageA(window_, WM_SYSKEYDOWN, VK_RETURN, LPARAM(1) << 29));
        EXPECT_EQ(windowed, DisplayIsWindowed());
        DisplayColour colours[256];
        ASSERT_TRUE(ReadDisplayColours(colours));
        for (int i = 0; i < 256; ++i)
            EXPECT_EQ(Rgb(marked[i]), RGB(colours[i].Red, colours[i].Green, colours[i].Blue)) << "entry " << i;
        EXPECT_EQ(0, pixels(false)) << "pixels that did not come along";
    }
}

TEST_F(FilmWindowTest, MessagesAnsweredAsTheLauncherExpects)
{
    EXPECT_EQ(1, SendMessageA(window_, WM_ERASEBKGND, 0, 0));
    EXPECT_EQ(1, SendMessageA(window_, WM_KEYDOWN, 'A', 0));
    EXPECT_EQ(0, g_visit.Calls) << "only Escape ends the film";
    EXPECT_EQ(0, SendMessageA(window_, WM_PALETTECHANGED, reinterpret_cast<WPARAM>(window_), 0));
    EXPECT_EQ(0, SendMessageA(window_, WM_QUERYNEWPALETTE, 0, 0));
    EXPECT_FALSE(QuitMessageWaiting());
    DestroyWindow(window_);
    window_ = nullptr;
    EXPECT_TRUE(QuitMessageWaiting()) << "the film window's end ends the player's loop";
}
