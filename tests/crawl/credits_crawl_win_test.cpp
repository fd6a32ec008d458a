// The full-screen display in the test prefix's virtual desktop, where DirectDraw may change
// the display mode, and the whole crawl on it, over a picture standing in for the film's last
// frame, with the medium's glyph font from drive E: and the MCI commands recorded.
#include "crawl/cd_audio_win.h"
#include "crawl/crawl_music_win.h"
#include "crawl/crawl_text.h"
#include "crawl/credits_crawl.h"
#include "intro/full_screen_display.h"
#include "launcher/launcher_state.h"
#include "tools/uidriver/uidriver.h"
#include "tests/crawl/crawl_win_support.h"
#include "tests/support/win_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

class DisplayTest : public ::testing::Test {
protected:
    TestWindow window;
    DisplayCloser closer;
};

DDSURFACEDESC CurrentMode()
{
    DDSURFACEDESC mode = {};
    mode.dwSize = sizeof mode;
    g_display.DirectDraw->GetDisplayMode(&mode);
    return mode;
}

bool FrontHoldsOnly(std::uint8_t value)
{
    bool only = true;
    EXPECT_TRUE(ForEachFrontRow([&](std::uint8_t* row, int) {
        for (int x = 0; x < g_display.Width; ++x)
            only = only && row[x] == value;
    }));
    return only;
}

void FillFront(std::uint8_t value)
{
    ASSERT_TRUE(ForEachFrontRow([&](std::uint8_t* row, int) { std::memset(row, value, g_display.Width); }));
}

// Stands in for a driver that reports the mode as set and gives a primary surface of the
// desktop's old size and depth, as many times as told.
int g_lies = 0;
HRESULT(STDMETHODCALLTYPE* g_realDesc)(IDirectDrawSurface*, DDSURFACEDESC*) = nullptr;
HRESULT STDMETHODCALLTYPE DesktopSizedDesc(IDirectDrawSurface* surface, DDSURFACEDESC* desc)
{
    if (g_lies-- <= 0)
        return g_realDesc(surface, desc);
    desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc->dwWidth = 1024;
    desc->dwHeight = 768;
    desc->ddpfPixelFormat.dwRGBBitCount = 32;
    return DD_OK;
}

// At 640x480: the lock gives the pitch and the surface's address, and clearing, with and
// without the flip, leaves both buffers at index 0; so do both after a lost surface.
void ExpectLockAndClearAlsoAfterALostSurface(HWND window)
{
    g_display.Surface.lpSurface = reinterpret_cast<void*>(0xdeadbeef);
    g_display.Surface.lPitch = -1;
    ASSERT_TRUE(LockFrontBuffer());
    EXPECT_NE(g_display.Surface.lpSurface, reinterpret_cast<void*>(0xdeadbeef));
    EXPECT_GE(g_display.Surface.lPitch, 640);
    auto* pixels = static_cast<std::uint8_t*>(g_display.Surface.lpSurface);
    pixels[0] = 7;
    pixels[479 * g_display.Surface.lPitch + 639] = 9; // the last pixel is ours to write
    UnlockFrontBuffer();
    FillFront(0xAB);
    g_display.Primary->Flip(nullptr, DDFLIP_WAIT);
    FillFront(0xCD);
    ClearBackBuffer(1);
    ClearBackBuffer(0);
    EXPECT_TRUE(FrontHoldsOnly(0));
    g_display.Primary->Flip(nullptr, DDFLIP_WAIT);
    EXPECT_TRUE(FrontHoldsOnly(0)) << "the other buffer";

    // A mode change through the same object loses every surface made before it.
    g_display.DirectDraw->SetDisplayMode(320, 240, 8);
    g_display.DirectDraw->SetDisplayMode(640, 480, 8);
    ASSERT_EQ(g_display.Primary->IsLost(), DDERR_SURFACELOST);
    EXPECT_TRUE(LockFrontBuffer());
    UnlockFrontBuffer();
    EXPECT_EQ(g_display.Primary->IsLost(), DD_OK);

    g_display.DirectDraw->SetDisplayMode(320, 240, 8);
    g_display.DirectDraw->SetDisplayMode(640, 480, 8);
    ASSERT_EQ(g_display.Primary->IsLost(), DDERR_SURFACELOST);
    ClearBackBuffer(1);
    EXPECT_EQ(g_display.Primary->IsLost(), DD_OK);
    ClearBackBuffer(0);
    EXPECT_TRUE(FrontHoldsOnly(0));

    // Away and back to another mode: the mode asked for once more, the palette attached.
    FillFront(0xAB);
    DisplayToBackground();
    g_display.DirectDraw->SetDisplayMode(320, 240, 8);
    EXPECT_EQ(DisplayToForeground(window), SwitchOutcome::Unchanged);
    ASSERT_EQ(g_display.Primary->IsLost(), DD_OK);
    IDirectDrawPalette* attached = nullptr;
    EXPECT_TRUE(SUCCEEDED(g_display.Primary->GetPalette(&attached)) && attached == g_display.Palette);
    if (attached)
        attached->Release();
    EXPECT_TRUE(CurrentMode().dwWidth == 640 && FrontHoldsOnly(0));
}

// The window is made 640x480 in both resolutions; Wine then fits a full-screen window to the
// 320x240 mode, Windows does not. Either way it covers the screen. The palette object starts
// from the table, and the table takes the system colours, film entries marked PC_NOCOLLAPSE.
TEST_F(DisplayTest, BothResolutionsOpenWithThePaletteAndCloseCompletelyAndAModeNotSetIsAskedForAgain)
{
    void** getSurfaceDesc = nullptr;
    for (int low : {1, 0}) {
        SCOPED_TRACE(low);
        const LONG width = low ? 320 : 640, height = low ? 240 : 480;
        for (int i = 0; i < 256; ++i)
            g_display.PaletteTable[i] = {static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i / 2), 0};
        ASSERT_EQ(OpenDisplay(window.handle(), low), DisplayOutcome::Ready);
        EXPECT_EQ(g_display.Width, width);
        EXPECT_EQ(g_display.Height, height);
        ASSERT_NE(g_display.Primary, nullptr);
        ASSERT_NE(g_display.Palette, nullptr);
        DDSURFACEDESC mode = CurrentMode();
        EXPECT_EQ(LONG(mode.dwWidth), width);
        EXPECT_EQ(LONG(mode.dwHeight), height);
        EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, 8u);
        EXPECT_EQ(g_display.BlitFlags, 0u) << "an 8-bit primary surface";
        RECT rect;
        GetWindowRect(window.handle(), &rect);
        EXPECT_GE(rect.right - rect.left, width);
        EXPECT_GE(rect.bottom - rect.top, height);
        EXPECT_TRUE(low || rect.right - rect.left == 640) << "exactly the screen at 640x480";

        PALETTEENTRY entries[256];
        std::memset(entries, 0xEE, sizeof entries);
        ASSERT_EQ(g_display.Palette->GetEntries(0, 0, 256, entries), DD_OK);
        // Entries 0 and 255 of an 8-bit palette made without DDPCAPS_ALLOW256 are DirectDraw's
        // own black and white.
        for (int i = 1; i < 255; ++i) {
            ASSERT_EQ(entries[i].peRed, i) << i;
            ASSERT_EQ(entries[i].peGreen, 255 - i) << i;
            ASSERT_EQ(entries[i].peBlue, i / 2) << i;
        }
        for (int i = 0; i < 256; ++i) {
            BYTE expected = i >= 10 && i <= 245 ? PC_NOCOLLAPSE : 0;
            ASSERT_EQ(g_display.PaletteTable[i].peFlags, expected) << i;
        }
        ReattachPalette();
        IDirectDrawPalette* attached = nullptr;
        ASSERT_EQ(g_display.Primary->GetPalette(&attached), DD_OK);
        EXPECT_EQ(attached, g_display.Palette);
        if (attached)
            attached->Release();
        if (!low) {
            ASSERT_NO_FATAL_FAILURE(ExpectLockAndClearAlsoAfterALostSurface(window.handle()));
        }
        // Every primary surface shares one table of methods: its GetSurfaceDesc, the 23rd.
        getSurfaceDesc = *reinterpret_cast<void***>(g_display.Primary) + 22;

        CloseDisplay();
        EXPECT_EQ(g_display.DirectDraw, nullptr);
        EXPECT_EQ(g_display.Primary, nullptr);
        EXPECT_EQ(g_display.Palette, nullptr);
        EXPECT_EQ(g_display.Height, height) << "kept after closing";
        ReattachPalette(); // nothing to attach to: must do nothing
        EXPECT_FALSE(LockFrontBuffer());
    }

    // A mode claimed but not set, GetSurfaceDesc lying, is asked for once more; only a
    // second failure is final.
    DWORD protection;
    ASSERT_TRUE(VirtualProtect(getSurfaceDesc, sizeof(void*), PAGE_EXECUTE_READWRITE, &protection));
    g_realDesc = reinterpret_cast<decltype(g_realDesc)>(
        std::exchange(*getSurfaceDesc, reinterpret_cast<void*>(DesktopSizedDesc)));
    g_lies = 1;
    DisplayOutcome askedAgain = ClaimDisplay(window.handle(), 0);
    EXPECT_TRUE(g_display.Primary && CurrentMode().dwWidth == 640) << "the second request got the mode";
    CloseDisplay();
    g_lies = 2;
    DisplayOutcome twice = ClaimDisplay(window.handle(), 0);
    *getSurfaceDesc = reinterpret_cast<void*>(g_realDesc);
    EXPECT_EQ(DisplayOutcome::Ready, askedAgain);
    EXPECT_EQ(DisplayOutcome::Incomplete, twice);
    EXPECT_EQ(nullptr, g_display.Primary) << "nothing is drawn on a surface that is not the mode's";
    CloseDisplay();
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024) << "the desktop's mode is back";
}

TEST_F(DisplayTest, WindowThatCannotOwnTheScreenLeavesNothingOpen)
{
    g_display.Width = 1234;
    EXPECT_EQ(OpenDisplay(nullptr, 0), DisplayOutcome::NotOpened);
    EXPECT_EQ(g_display.DirectDraw, nullptr);
    EXPECT_EQ(g_display.Primary, nullptr);
    EXPECT_EQ(g_display.Width, 1234) << "the size is recorded only after the cooperative level";
}





constexpr char kMediumMusic[] = "E:\\Music\\Track02.ogg";

// Well into the crawl: 1 when the music file is held, 0 when not.
DWORD WINAPI ProbeMusicFile(void*)
{
    Sleep(700);
    return FileHeld(kMediumMusic) ? 1 : 0;
}

// A dark blue sky in entries 10 to 127, and greys in 128 to 245 for the text to find its
// shades among, as a film's last frame might have them.
void PaintPicture()
{
    PALETTEENTRY entries[256];
    g_display.Palette->GetEntries(0, 0, 256, entries);
    for (int i = 10; i < 128; ++i)
        entries[i] = {static_cast<BYTE>(i / 8), static_cast<BYTE>(i / 5), static_cast<BYTE>(30 + i), 0};
    for (int i = 128; i < 246; ++i) {
        auto v = static_cast<BYTE>((i - 128) * 255 / 117);
        entries[i] = {v, v, v, 0};
    }
    g_display.Palette->SetEntries(0, 0, 256, entries);
    ForEachFrontRow([](std::uint8_t* row, int y) {
        std::memset(row, 10 + y * 117 / g_display.Height, g_display.Width);
    });
}

std::vector<std::uint8_t> FrontPixels()
{
    std::vector<std::uint8_t> pixels;
    ForEachFrontRow([&](std::uint8_t* row, int) { pixels.insert(pixels.end(), row, row + g_display.Width); });
    return pixels;
}

// The rows from first to last (inclusive) are as they were.
bool RowsUnchanged(const std::vector<std::uint8_t>& before, const std::vector<std::uint8_t>& after, int first,
                   int last)
{
    int w = g_display.Width;
    std::size_t end = static_cast<std::size_t>(last + 1) * w;
    if (before.size() < end || after.size() < end)
        return false;
    return std::memcmp(before.data() + first * w, after.data() + first * w, (last - first + 1) * w) == 0;
}

// Waits for the read-error box of "intro.txt" and answers it: 0 when it came with its title,
// 1 when no such box came, 2 when its title was another.
DWORD WINAPI AnswerReadError(void*)
{
    HWND box = ui::WaitForWindowWithText(GetCurrentProcessId(), "Error reading:", 10000);
    if (!box)
        return 1;
    bool titled = ui::Text(box) == "intro.txt";
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return titled ? 0 : 2;
}

// Lets the crawl run a while, asks the harness for a screenshot, then holds Escape down.
DWORD WINAPI ShootThenEscape(void* name)
{
    Sleep(3000);
    ui::Screenshot(static_cast<const char*>(name));
    ui::KeyDown(VK_ESCAPE);
    return 0;
}

class CreditsCrawlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "crawl-test-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder.c_str(), nullptr);
        ASSERT_TRUE(CopyFileA("E:\\ALPHABET.DAT", (folder + "\\ALPHABET.DAT").c_str(), FALSE))
            << "the sample medium as drive E: holds the glyph font";
        GetCurrentDirectoryA(MAX_PATH, startDirectory);
        SetCurrentDirectoryA(folder.c_str());
        g_launcher.LauncherDialog = window.handle();
        std::strcpy(g_launcher.SourceRoot, "E:\\");
    }

    void TearDown() override
    {
        // The crawl pumps no messages: the key messages of a test's Escape wait in the
        // queue, where the next message box would take them for its own.
        MSG message;
        while (PeekMessageA(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
            ;
        if (g_display.DirectDraw)
            CloseDisplay();
        SetCurrentDirectoryA(startDirectory);
        DeleteFileA((folder + "\\intro.txt").c_str());
        DeleteFileA((folder + "\\ALPHABET.DAT").c_str());
        RemoveDirectoryA(folder.c_str());
    }

    void UseText(const std::string& latin1) { ASSERT_TRUE(test::WriteWholeFile(folder + "\\intro.txt", latin1)); }

    void OpenWithPicture(int low)
    {
        ASSERT_EQ(OpenDisplay(window.handle(), low), DisplayOutcome::Ready);
        ClearBackBuffer(1);
        ClearBackBuffer(0);
        PaintPicture();
        picture = FrontPixels();
    }

    // Runs the crawl with the helper on a thread of its own: the helper's exit code, and in
    // elapsed how long the crawl took in milliseconds.
    DWORD CrawlBeside(LPTHREAD_START_ROUTINE helper, void* parameter, DWORD& elapsed)
    {
        HANDLE thread = CreateThread(nullptr, 0, helper, parameter, 0, nullptr);
        DWORD start = GetTickCount();
        RunCreditsCrawl();
        elapsed = GetTickCount() - start;
        WaitForSingleObject(thread, 30000);
        DWORD code = 99;
        GetExitCodeThread(thread, &code);
        CloseHandle(thread);
        return code;
    }

    void ExpectMusicStartedAndStopped()
    {
        EXPECT_EQ(mci.Messages(), (std::vector<UINT>{MCI_OPEN, MCI_SET, MCI_STATUS, MCI_PLAY, MCI_STOP, MCI_CLOSE}));
    }

    TestWindow window;
    std::string folder;
    char startDirectory[MAX_PATH] = "";
    RecordedMci mci;
    std::vector<std::uint8_t> picture;
};

// One line of umlauts, whose dots fill the glyphs' top scanlines: at the last scroll
// position (28) the lowest rows show them, and only those.
const char kOneLine[] = "*\xC4\xD6\xDC \xC4\xD6\xDC \xC4\xD6\xDC\r\n";

// Both resolutions: 29 steps of 50 ms (the tick count is coarser than the performance
// counter), then the line has passed out of all rows above its lowest five, which show its
// top scanlines, and the rows below the crawl area are untouched. At 320x240 there is no
// drive: the medium's ripped track plays from the crawl's start and is let go at its end,
// where the drive would have been stopped; the pace is the same with music.
TEST_F(CreditsCrawlTest, OneLineRunsItsCourseOverThePicture)
{
    for (int low : {0, 1}) {
        SCOPED_TRACE(low ? "320x240 without a drive" : "640x480");
        const std::size_t width = low ? 320 : 640, bottom = low ? 239 : 479;
        mci.commands.clear();
        mci.failOn = low ? MCI_OPEN : 0;
        g_cdDeviceId = kNoCdDevice;
        ASSERT_FALSE(FileHeld(kMediumMusic)) << "the sample medium has " << kMediumMusic;
        UseText(kOneLine);
        ASSERT_NO_FATAL_FAILURE(OpenWithPicture(low));
        DWORD elapsed = 0, held = CrawlBeside(ProbeMusicFile, nullptr, elapsed);
        EXPECT_GE(elapsed, 1450u - 20u);
        EXPECT_LT(elapsed, 10000u);
        std::vector<std::uint8_t> after = FrontPixels();
        ASSERT_EQ(after.size(), width * (bottom + 1));
        EXPECT_TRUE(RowsUnchanged(picture, after, 0, bottom - 10));
        EXPECT_FALSE(RowsUnchanged(picture, after, bottom - 9, bottom - 5));
        EXPECT_TRUE(RowsUnchanged(picture, after, bottom - 4, bottom));
        if (low) {
            EXPECT_EQ(1u, held) << "the file held well into the crawl";
            EXPECT_EQ(mci.Messages(), (std::vector<UINT>{MCI_OPEN, MCI_OPEN})) << "no device opened, none stopped";
            EXPECT_EQ(-1, g_crawlMusic.FileIndex);
            EXPECT_EQ(nullptr, g_crawlMusic.Buffer);
        } else {
            EXPECT_EQ(0u, held) << "the drive plays";
            ExpectMusicStartedAndStopped();
        }
        EXPECT_FALSE(FileHeld(kMediumMusic)) << "released when the crawl returns";
        EXPECT_EQ(g_crawlText.Buffer, nullptr);
        EXPECT_EQ(g_crawlText.LineLimit, 0);
        EXPECT_EQ(GetCursor(), nullptr) << "the crawl hides the cursor and leaves it hidden";
        CloseDisplay();
    }
}

// No "intro.txt": the read-error box appears, which the helper answers.
TEST_F(CreditsCrawlTest, MissingTextLastsAsLongAsOneLineAndShowsThePictureOnly)
{
    ASSERT_NO_FATAL_FAILURE(OpenWithPicture(0));
    DWORD elapsed = 0, answered = CrawlBeside(AnswerReadError, nullptr, elapsed);
    EXPECT_EQ(answered, 0u) << "1: no box with the text Error reading:, 2: not the caption intro.txt";
    EXPECT_GE(elapsed, 1450u - 20u);
    EXPECT_EQ(FrontPixels(), picture);
}

// The medium's own credits, stopped by Escape after three seconds (pressed from another
// thread, as the user's key comes from outside the crawl's loop); a screenshot is taken
// meanwhile for the documentation.
TEST_F(CreditsCrawlTest, MediumCreditsRecedeIntoTheDistanceUntilEscape)
{
    const std::string text = test::ReadWholeFile("E:\\intro.txt");
    ASSERT_FALSE(text.empty()) << "the sample medium's credits";
    UseText(text);
    ASSERT_NO_FATAL_FAILURE(OpenWithPicture(0));
    DWORD elapsed = 0;
    CrawlBeside(ShootThenEscape, const_cast<char*>("crawl-640x480"), elapsed);
    ui::KeyUp(VK_ESCAPE);
    EXPECT_GE(elapsed, 3000u);
    EXPECT_LT(elapsed, 60000u) << "Escape ends the crawl";
    std::vector<std::uint8_t> after = FrontPixels();
    EXPECT_FALSE(RowsUnchanged(picture, after, 300, 450)) << "text in the lower part by then";
    EXPECT_TRUE(RowsUnchanged(picture, after, 0, 59)) << "nothing above the crawl area";
    ExpectMusicStartedAndStopped();
}

} // namespace
