#include "intro/full_screen_display.h"

#include "intro/pixel_format.h"

FullScreenDisplay g_display;

namespace {

constexpr DWORD kDisplayBits = 8;
constexpr LONG kHighWidth = 640, kHighHeight = 480;
constexpr LONG kLowWidth = 320, kLowHeight = 240;
// The film window covers 640x480 in both resolutions; in the low one the mode is smaller
// than the window, which keeps the whole screen ours.
constexpr int kWindowWidth = 640, kWindowHeight = 480;

constexpr int kPaletteSize = 256;
// Entries 0-9 and 246-255 are the system's static colours; the film owns those between.
constexpr int kFirstFilmEntry = 10, kLastFilmEntry = 245;

// A surface can be lost again right after a successful restore (another program taking the
// screen back). Restoring is retried this often before the clear gives up, so that such a
// tug of war cannot hold the program in the loop.
constexpr int kRestoreAttempts = 8;

template <class Interface> void ReleaseInterface(Interface*& object)
{
    if (object) {
        object->Release();
        object = nullptr;
    }
}

bool CreatePrimarySurface()
{
    DDSURFACEDESC& desc = g_display.Surface;
    ZeroMemory(&desc, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 1;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    if (FAILED(g_display.DirectDraw->CreateSurface(&desc, &g_display.Primary, nullptr))) {
        g_display.Primary = nullptr;
        return false;
    }
    return true;
}

// The palette object starts from the table as it stands: all zero in the first intro, the
// previous intro's colours afterwards. Refilling the table with the system colours does not
// touch the object; the film's first palette update pushes the table in.
void CreateDisplayPalette(HWND window)
{
    if (FAILED(g_display.DirectDraw->CreatePalette(DDPCAPS_8BIT, g_display.PaletteTable, &g_display.Palette,
                                                   nullptr))) {
        g_display.Palette = nullptr;
        return;
    }
    LoadSystemColours(window);
    g_display.Primary->SetPalette(g_display.Palette);
}

} // namespace

DisplayOutcome OpenDisplay(HWND window, int lowResolution)
{
    if (FAILED(DirectDrawCreate(nullptr, &g_display.DirectDraw, nullptr))) {
        g_display.DirectDraw = nullptr;
        return DisplayOutcome::NotOpened;
    }
    if (FAILED(g_display.DirectDraw->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE))) {
        ReleaseInterface(g_display.DirectDraw);
        return DisplayOutcome::NotOpened;
    }
    // Recorded before the mode change, so they hold the requested size even when it fails.
    g_display.Width = lowResolution ? kLowWidth : kHighWidth;
    g_display.Height = lowResolution ? kLowHeight : kHighHeight;
    if (FAILED(g_display.DirectDraw->SetDisplayMode(g_display.Width, g_display.Height, kDisplayBits))) {
        ReleaseInterface(g_display.DirectDraw);
        return DisplayOutcome::NotOpened;
    }
    SetWindowPos(window, HWND_TOP, 0, 0, kWindowWidth, kWindowHeight, SWP_NOMOVE);
    if (!CreatePrimarySurface())
        return DisplayOutcome::Incomplete;
    g_display.BlitFlags = PixelFormatBlitFlags();
    CreateDisplayPalette(window);
    return DisplayOutcome::Ready;
}

// Safe after a partial opening: each interface is released only when it exists. Releasing
// the DirectDraw object ends the exclusive mode, so no cooperative level is set back.
void CloseDisplay()
{
    ReleaseInterface(g_display.Palette);
    ReleaseInterface(g_display.Primary);
    if (g_display.DirectDraw)
        g_display.DirectDraw->RestoreDisplayMode();
    ReleaseInterface(g_display.DirectDraw);
}

void ClearBackBuffer(int flip)
{
    IDirectDrawSurface* primary = g_display.Primary;
    if (!primary)
        return;
    DDSCAPS caps = {};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    IDirectDrawSurface* back = nullptr;
    HRESULT result = primary->GetAttachedSurface(&caps, &back);
    for (int attempt = 0; result == DDERR_SURFACELOST; ++attempt) {
        if (attempt == kRestoreAttempts || FAILED(primary->Restore()))
            return;
        // A restored primary surface has lost its palette too.
        primary->SetPalette(g_display.Palette);
        result = primary->GetAttachedSurface(&caps, &back);
    }
    if (SUCCEEDED(result) && back) {
        DDBLTFX fill = {};
        fill.dwSize = sizeof fill;
        fill.dwFillColor = 0;
        back->Blt(nullptr, nullptr, nullptr, DDBLT_WAIT | DDBLT_COLORFILL | DDBLT_ASYNC, &fill);
        // GetAttachedSurface counted a reference for us; the chain keeps its own.
        back->Release();
    }
    if (flip)
        primary->Flip(nullptr, DDFLIP_WAIT);
}

// After a restore the lock is tried once more; the palette is not attached again here.
bool LockFrontBuffer()
{
    IDirectDrawSurface* primary = g_display.Primary;
    if (!primary)
        return false;
    g_display.Surface.dwSize = sizeof g_display.Surface;
    HRESULT result = primary->Lock(nullptr, &g_display.Surface, DDLOCK_WAIT, nullptr);
    if (result == DDERR_SURFACELOST) {
        if (FAILED(primary->Restore()))
            return false;
        result = primary->Lock(nullptr, &g_display.Surface, DDLOCK_WAIT, nullptr);
    }
    return result == DD_OK;
}

void UnlockFrontBuffer()
{
    if (g_display.Primary)
        g_display.Primary->Unlock(g_display.Surface.lpSurface);
}

void ReattachPalette()
{
    if (g_display.Palette && g_display.Primary)
        g_display.Primary->SetPalette(g_display.Palette);
}

// Entries 0-9 and 246-255 keep the system's colours for good; the film's entries are marked
// PC_NOCOLLAPSE so that they get palette slots of their own.
void LoadSystemColours(HWND window)
{
    HDC dc = GetDC(window);
    GetSystemPaletteEntries(dc, 0, kPaletteSize, g_display.PaletteTable);
    for (int i = 0; i < kPaletteSize; ++i) {
        bool filmEntry = i >= kFirstFilmEntry && i <= kLastFilmEntry;
        g_display.PaletteTable[i].peFlags = filmEntry ? PC_NOCOLLAPSE : 0;
    }
    ReleaseDC(window, dc);
}

// When the surface cannot even tell its format, the decoder gets 0, the flags of the 8-bit
// mode that the display always asks for.
DWORD PixelFormatBlitFlags()
{
    DDPIXELFORMAT format = {};
    format.dwSize = sizeof format;
    format.dwFlags = DDPF_RGB;
    if (!g_display.Primary || FAILED(g_display.Primary->GetPixelFormat(&format)))
        return 0;
    PixelFormatClass c =
        ClassifyPixelFormat(format.dwRGBBitCount, format.dwRBitMask, format.dwGBitMask, format.dwBBitMask);
    if (!c.Supported)
        MessageBoxA(nullptr, "Unsupported pixel format.", "Smacker Error", MB_OK);
    return c.BlitFlags;
}
