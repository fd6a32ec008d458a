// The full-screen display in the test prefix's virtual desktop, where DirectDraw may change
// the display mode.
#include "intro/full_screen_display.h"
#include "tests/crawl/crawl_win_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

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

// The window is made 640x480 in both resolutions; Wine then fits a full-screen window to the
// 320x240 mode, Windows does not. Either way it covers the screen. The palette object starts
// from the table, and the table takes the system colours, film entries marked PC_NOCOLLAPSE.
TEST_F(DisplayTest, BothResolutionsOpenAnEightBitModeWithThePaletteAndCloseCompletely)
{
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

        CloseDisplay();
        EXPECT_EQ(g_display.DirectDraw, nullptr);
        EXPECT_EQ(g_display.Primary, nullptr);
        EXPECT_EQ(g_display.Palette, nullptr);
        EXPECT_EQ(g_display.Height, height) << "kept after closing";
        ReattachPalette(); // nothing to attach to: must do nothing
        EXPECT_FALSE(LockFrontBuffer());
    }
}

TEST_F(DisplayTest, WindowThatCannotOwnTheScreenLeavesNothingOpen)
{
    g_display.Width = 1234;
    EXPECT_EQ(OpenDisplay(nullptr, 0), DisplayOutcome::NotOpened);
    EXPECT_EQ(g_display.DirectDraw, nullptr);
    EXPECT_EQ(g_display.Primary, nullptr);
    EXPECT_EQ(g_display.Width, 1234) << "the size is recorded only after the cooperative level";
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

// A mode claimed but not set is asked for once more; only a second failure is final.
TEST_F(DisplayTest, AModeClaimedButNotSetIsAskedForOnceMoreAndClosingPutsTheDesktopBack)
{
    // Every primary surface shares one table of methods: its GetSurfaceDesc, the 23rd, lies
    // for the time of a test.
    ASSERT_EQ(OpenDisplay(window.handle(), 0), DisplayOutcome::Ready);
    void** getSurfaceDesc = *reinterpret_cast<void***>(g_display.Primary) + 22;
    CloseDisplay();
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

// The lock gives the pitch and the surface's address, and clearing, with and without the
// flip, leaves both buffers at index 0; so do both after a lost surface.
TEST_F(DisplayTest, LockAndClearAlsoRestoreALostSurface)
{
    ASSERT_EQ(OpenDisplay(window.handle(), 0), DisplayOutcome::Ready);
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
    if (g_display.Primary->IsLost() != DDERR_SURFACELOST)
        GTEST_SKIP() << "this DirectDraw does not lose surfaces on a mode change";
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
    EXPECT_EQ(DisplayToForeground(window.handle()), SwitchOutcome::Unchanged);
    ASSERT_EQ(g_display.Primary->IsLost(), DD_OK);
    IDirectDrawPalette* attached = nullptr;
    EXPECT_TRUE(SUCCEEDED(g_display.Primary->GetPalette(&attached)) && attached == g_display.Palette);
    if (attached)
        attached->Release();
    EXPECT_TRUE(CurrentMode().dwWidth == 640 && FrontHoldsOnly(0));
}

} // namespace
