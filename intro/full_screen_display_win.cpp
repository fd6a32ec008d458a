#include "intro/full_screen_display.h"

#include "intro/pixel_format.h"
#include "launcher/launcher_state.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

FullScreenDisplay g_display;

namespace {

constexpr DWORD kDisplayBits = 8;
// The film window covers 640x480 in both resolutions; in the low one the mode is smaller
// than the window, which keeps the whole screen ours.
constexpr int kWindowWidth = kHighResolutionScreen.Width, kWindowHeight = kHighResolutionScreen.Height;

// A surface can be lost again right after a successful restore (another program taking the
// screen back). Restoring is retried this often before the clear gives up, so that such a
// tug of war cannot hold the program in the loop.
constexpr int kRestoreAttempts = 8;

// How long the desktop is given to settle after a mode change before the mode is asked for
// once more. Under Wine, a program that starts while the mode changes writes the desktop's
// old size back; that is over within this time.
constexpr DWORD kSettleMs = 200;

// Waits for the desktop to settle. What other programs send meanwhile is answered (the
// system's question whether the program still answers, among others); input and posted
// messages stay queued for the intro.
void SettleDesktop()
{
    const DWORD start = GetTickCount();
    for (DWORD waited; (waited = GetTickCount() - start) < kSettleMs;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kSettleMs - waited, QS_SENDMESSAGE);
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void SetDisplaySize(int lowResolution)
{
    ScreenSize size = lowResolution ? kLowResolutionScreen : kHighResolutionScreen;
    g_display.Width = size.Width;
    g_display.Height = size.Height;
}

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

// A driver can report the mode as set and still hand out a primary surface of the desktop's
// old size and depth (Wine does, when another program starting at that moment writes the
// desktop's size back). Drawn on, such a surface shows nothing of the intro: a black screen.
bool PrimaryHasTheMode()
{
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    if (FAILED(g_display.Primary->GetSurfaceDesc(&desc)))
        return false;
    const DWORD needed = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    return (desc.dwFlags & needed) == needed && desc.dwWidth == DWORD(g_display.Width)
        && desc.dwHeight == DWORD(g_display.Height) && desc.ddpfPixelFormat.dwRGBBitCount == kDisplayBits;
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

// The twenty colours that Windows keeps in entries 0-9 and 246-255 of an 8-bit desktop's
// palette.
void LoadStaticColours()
{
    static const BYTE kStatic[20][3] = {
        {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
        {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
        {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
        {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
    };
    for (int k = 0; k < 20; ++k) {
        PALETTEENTRY& e = g_display.PaletteTable[k < 10 ? k : kLastFilmColour + 1 + (k - 10)];
        e.peRed = kStatic[k][0];
        e.peGreen = kStatic[k][1];
        e.peBlue = kStatic[k][2];
    }
}

PixelColour AsPixelColour(const PALETTEENTRY& e) { return PixelColour(e.peRed) << 16 | e.peGreen << 8 | e.peBlue; }

// The band bitmap: 32-bit rows of the picture's blocks, as many picture rows at a time as
// fit in about 2 MB, reused by every present. Small enough to stay in the cache, whatever
// the screen; a picture at factor 1 fits whole.
constexpr std::size_t kBandBytes = std::size_t(2) << 20;

bool CreateBandBitmap(HWND window)
{
    WindowedPicture& w = g_display.Windowed;
    const PicturePlacement& p = w.Placement;
    std::size_t rowBytes = std::size_t(p.TargetWidth) * sizeof(PixelColour) * std::size_t(p.Scale);
    w.BandRows = std::max<LONG>(1, std::min<LONG>(p.SourceHeight, LONG(kBandBytes / std::max<std::size_t>(rowBytes, 1))));
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = p.TargetWidth;
    header.biHeight = -(w.BandRows * p.Scale); // top-down, as the picture's rows are
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    HDC screen = GetDC(window);
    void* bits = nullptr;
    w.BandBitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    w.BandDc = CreateCompatibleDC(screen);
    ReleaseDC(window, screen);
    w.BandBits = static_cast<PixelColour*>(bits);
    if (!w.BandBitmap || !w.BandDc || !w.BandBits)
        return false;
    w.BandDcBitmap = SelectObject(w.BandDc, w.BandBitmap);
    return true;
}

// The picture starts all black, in the palette table's colours as they stand, as the
// palette object of the full-screen display does.
bool CreateWindowedPicture(HWND window)
{
    WindowedPicture& w = g_display.Windowed;
    // Rows of whole 32-bit words, as a DIB's are.
    w.Pitch = (g_display.Width + 3) & ~3;
    try {
        w.Pixels.assign(std::size_t(w.Pitch) * std::size_t(g_display.Height), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (int i = 0; i < kPaletteEntries; ++i)
        w.Colours[i] = AsPixelColour(g_display.PaletteTable[i]);
    return CreateBandBitmap(window);
}

void ReleaseWindowedPicture()
{
    WindowedPicture& w = g_display.Windowed;
    if (w.BandDc && w.BandDcBitmap)
        SelectObject(w.BandDc, w.BandDcBitmap);
    if (w.BandDc)
        DeleteDC(w.BandDc);
    if (w.BandBitmap)
        DeleteObject(w.BandBitmap);
    w = WindowedPicture{};
}

bool Windowed() { return !g_display.Windowed.Pixels.empty(); }

// Whole-factor scaling without smoothing: each picture pixel becomes a square block of its
// palette colour. Only the rows that changed since the last showing are sent (or all of
// them, for a window that must be painted whole), band by band through the band bitmap.
void ShowWindowedPicture(HDC dc, bool everything)
{
    WindowedPicture& w = g_display.Windowed;
    const PicturePlacement& p = w.Placement;
    FindChangedBands(w.Shown, w.Pixels.data(), w.Pitch, w.Colours, p, everything, w.Bands);
    for (const PictureBand& band : w.Bands) {
        for (LONG row = band.FirstRow, end = band.FirstRow + band.Rows; row < end; row += w.BandRows) {
            LONG rows = std::min<LONG>(w.BandRows, end - row);
            // GDI may still be reading the band bitmap for the last blit.
            GdiFlush();
            ExpandPictureRows(w.Pixels.data(), w.Pitch, w.Colours, p, band, row, rows, w.BandBits, p.TargetWidth);
            BitBlt(dc, p.TargetX + (band.FirstColumn - p.SourceX) * p.Scale, p.TargetY + (row - p.SourceY) * p.Scale,
                   band.Columns * p.Scale, rows * p.Scale, w.BandDc, 0, 0, SRCCOPY);
        }
    }
}

// The window around the picture is black.
void PaintWindowedBorders(HDC dc)
{
    const WindowedPicture& w = g_display.Windowed;
    const PicturePlacement& p = w.Placement;
    RECT client;
    GetClientRect(w.Window, &client);
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    const RECT around[] = {
        {client.left, client.top, client.right, p.TargetY},
        {client.left, p.TargetY + p.TargetHeight, client.right, client.bottom},
        {client.left, p.TargetY, p.TargetX, p.TargetY + p.TargetHeight},
        {p.TargetX + p.TargetWidth, p.TargetY, client.right, p.TargetY + p.TargetHeight},
    };
    for (const RECT& r : around)
        if (r.right > r.left && r.bottom > r.top)
            FillRect(dc, &r, black);
}

void ShowWindowedScreen(bool withBorders)
{
    HWND window = g_display.Windowed.Window;
    HDC dc = GetDC(window);
    if (withBorders)
        PaintWindowedBorders(dc);
    ShowWindowedPicture(dc, withBorders);
    ReleaseDC(window, dc);
}

// The monitor that the launcher's dialog is on (the one the player looks at), in physical
// pixels: the program declares itself aware of each monitor's DPI, so nothing here is
// scaled by the system.
RECT IntroMonitor(HWND window)
{
    HWND anchor = g_launcher.LauncherDialog ? g_launcher.LauncherDialog : window;
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(MonitorFromWindow(anchor, MONITOR_DEFAULTTOPRIMARY), &info))
        return info.rcMonitor;
    return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

// What moves from one display to the other: the picture on the screen and every colour of
// the palette. The display being opened reads the system's colours into the table, and a
// crawl that is running chose its shades from the colours as they were.
struct ScreenCopy {
    std::unique_ptr<BYTE[]> Pixels; // rows of exactly the display's width; null when the
                                    // screen could not be read
    PALETTEENTRY Colours[kPaletteEntries];
};

// The part of the locked front buffer that the display's size covers.
void LockedDisplaySize(int& columns, int& rows)
{
    columns = g_display.Width;
    rows = g_display.Height;
    FitToLockedFront(columns, rows);
}

void CopyScreen(ScreenCopy& copy)
{
    std::memcpy(copy.Colours, g_display.PaletteTable, sizeof copy.Colours);
    copy.Pixels.reset(new (std::nothrow) BYTE[std::size_t(g_display.Width) * g_display.Height]());
    if (!copy.Pixels || !LockFrontBuffer()) {
        copy.Pixels.reset();
        return;
    }
    int columns, rows;
    LockedDisplaySize(columns, rows);
    for (int y = 0; y < rows; ++y)
        std::memcpy(&copy.Pixels[std::size_t(y) * g_display.Width],
                    static_cast<const BYTE*>(g_display.Surface.lpSurface) + std::ptrdiff_t(y) * g_display.Surface.lPitch,
                    columns);
    UnlockFrontBuffer();
}

// The new display takes the colours and the picture. A full-screen one is first left as
// the player's start leaves it, both buffers cleared; a window gets its black borders.
void PutScreen(const ScreenCopy& copy)
{
    for (int i = 0; i < kPaletteEntries; ++i) {
        g_display.PaletteTable[i].peRed = copy.Colours[i].peRed;
        g_display.PaletteTable[i].peGreen = copy.Colours[i].peGreen;
        g_display.PaletteTable[i].peBlue = copy.Colours[i].peBlue;
    }
    ApplyPaletteTable();
    const bool windowed = Windowed();
    if (!windowed) {
        ClearBackBuffer(1);
        ClearBackBuffer(0);
    }
    if (copy.Pixels && LockFrontBuffer()) {
        int columns, rows;
        LockedDisplaySize(columns, rows);
        for (int y = 0; y < rows; ++y)
            std::memcpy(static_cast<BYTE*>(g_display.Surface.lpSurface) + std::ptrdiff_t(y) * g_display.Surface.lPitch,
                        &copy.Pixels[std::size_t(y) * g_display.Width], columns);
        // The window's unlock would show the picture; it is shown once, with its borders.
        if (!windowed)
            UnlockFrontBuffer();
    }
    if (windowed)
        ShowWindowedScreen(true);
}

// The mode goes and the exclusive level with it, but the DirectDraw object stays for the
// way back: under Wine, making one anew costs more than the mode change itself.
// CloseDisplay releases it with the rest.
void LeaveFullScreen(HWND window)
{
    ReleaseInterface(g_display.Palette);
    ReleaseInterface(g_display.Primary);
    g_display.DirectDraw->RestoreDisplayMode();
    g_display.DirectDraw->SetCooperativeLevel(window, DDSCL_NORMAL);
}

// Full screen where the mode can be set and really is; false, with nothing held and the
// desktop's mode back, where it cannot.
bool OpenFullScreen(HWND window, int lowResolution)
{
    switch (ClaimDisplay(window, lowResolution)) {
    case DisplayOutcome::Ready:
        return true;
    case DisplayOutcome::Incomplete:
        CloseDisplay();
        return false;
    case DisplayOutcome::NotOpened:
        return false;
    }
    return false;
}

// The system sets the mode back when the program returns to the front. Where it has not (or
// another program overruled it at that moment), the mode is asked for once more after the
// desktop has settled. Restoring the primary surface restores its back buffer with it; the
// palette must be attached again.
bool RestoreFullScreen(HWND window)
{
    IDirectDrawSurface* primary = g_display.Primary;
    if (FAILED(primary->Restore())) {
        SettleDesktop();
        if (FAILED(g_display.DirectDraw->SetDisplayMode(g_display.Width, g_display.Height, kDisplayBits))
            || FAILED(primary->Restore()))
            return false;
    }
    SetWindowPos(window, HWND_TOP, 0, 0, kWindowWidth, kWindowHeight, SWP_NOMOVE);
    ReattachPalette();
    ApplyPaletteTable();
    ClearBackBuffer(1);
    ClearBackBuffer(0);
    return true;
}

} // namespace

DisplayOutcome OpenDisplay(HWND window, int lowResolution)
{
    g_display.ModeRefused = true;
    // An intro switched to its window keeps the object it had (LeaveFullScreen).
    if (!g_display.DirectDraw && FAILED(DirectDrawCreate(nullptr, &g_display.DirectDraw, nullptr))) {
        g_display.DirectDraw = nullptr;
        return DisplayOutcome::NotOpened;
    }
    if (FAILED(g_display.DirectDraw->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE))) {
        ReleaseInterface(g_display.DirectDraw);
        return DisplayOutcome::NotOpened;
    }
    // Recorded before the mode change, so they hold the requested size even when it fails.
    SetDisplaySize(lowResolution);
    if (FAILED(g_display.DirectDraw->SetDisplayMode(g_display.Width, g_display.Height, kDisplayBits))) {
        ReleaseInterface(g_display.DirectDraw);
        return DisplayOutcome::NotOpened;
    }
    g_display.ModeRefused = false;
    SetWindowPos(window, HWND_TOP, 0, 0, kWindowWidth, kWindowHeight, SWP_NOMOVE);
    if (!CreatePrimarySurface())
        return DisplayOutcome::Incomplete;
    if (!PrimaryHasTheMode()) {
        ReleaseInterface(g_display.Primary);
        return DisplayOutcome::Incomplete;
    }
    g_display.BlitFlags = PixelFormatBlitFlags();
    CreateDisplayPalette(window);
    return DisplayOutcome::Ready;
}

DisplayOutcome ClaimDisplay(HWND window, int lowResolution)
{
    DisplayOutcome outcome = OpenDisplay(window, lowResolution);
    if (outcome != DisplayOutcome::Incomplete)
        return outcome;
    CloseDisplay();
    SettleDesktop();
    return OpenDisplay(window, lowResolution);
}

// The window is brought to the top, over the whole monitor and without a frame (the film
// window has none), and takes the keyboard: the film stands still while it has not.
bool OpenWindowedDisplay(HWND window, int lowResolution)
{
    SetDisplaySize(lowResolution);
    WindowedPicture& w = g_display.Windowed;
    RECT monitor = IntroMonitor(window);
    ScreenSize screen = {monitor.right - monitor.left, monitor.bottom - monitor.top};
    w.Placement = PlacePicture({g_display.Width, g_display.Height}, screen, monitor.left);
    if (!CreateWindowedPicture(window)) {
        ReleaseWindowedPicture();
        return false;
    }
    w.Window = window;
    g_display.BlitFlags = 0;
    LoadSystemColours(window);
    SetWindowPos(window, HWND_TOP, monitor.left, monitor.top, screen.Width, screen.Height, SWP_SHOWWINDOW);
    SetForegroundWindow(window);
    SetFocus(window);
    return true;
}

// Safe after a partial opening: each interface is released only when it exists. Releasing
// the DirectDraw object ends the exclusive mode, so no cooperative level is set back.
void CloseDisplay()
{
    ReleaseWindowedPicture();
    ReleaseInterface(g_display.Palette);
    ReleaseInterface(g_display.Primary);
    if (g_display.DirectDraw)
        g_display.DirectDraw->RestoreDisplayMode();
    ReleaseInterface(g_display.DirectDraw);
}

void ClearBackBuffer(int flip)
{
    if (Windowed()) {
        std::fill(g_display.Windowed.Pixels.begin(), g_display.Windowed.Pixels.end(), BYTE(0));
        if (flip)
            ShowWindowedScreen(true);
        return;
    }
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
    if (Windowed()) {
        DDSURFACEDESC& d = g_display.Surface;
        ZeroMemory(&d, sizeof d);
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_LPSURFACE;
        d.dwWidth = g_display.Width;
        d.dwHeight = g_display.Height;
        d.lPitch = g_display.Windowed.Pitch;
        d.lpSurface = g_display.Windowed.Pixels.data();
        return true;
    }
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

// The windowed picture reaches the screen here, once for each frame drawn into it.
void UnlockFrontBuffer()
{
    if (Windowed())
        ShowWindowedScreen(false);
    else if (g_display.Primary)
        g_display.Primary->Unlock(g_display.Surface.lpSurface);
}

void ReattachPalette()
{
    if (g_display.Palette && g_display.Primary)
        g_display.Primary->SetPalette(g_display.Palette);
}

static_assert(sizeof(DisplayColour) == sizeof(PALETTEENTRY), "the palette table is read and written as it is");

void ApplyPaletteTable()
{
    if (Windowed()) {
        for (int i = 0; i < kPaletteEntries; ++i)
            g_display.Windowed.Colours[i] = AsPixelColour(g_display.PaletteTable[i]);
    } else if (g_display.Palette) {
        g_display.Palette->SetEntries(0, 0, kPaletteEntries, g_display.PaletteTable);
    }
}

bool ReadDisplayColours(DisplayColour (&colours)[kPaletteEntries])
{
    if (Windowed()) {
        for (int i = 0; i < kPaletteEntries; ++i) {
            PixelColour c = g_display.Windowed.Colours[i];
            colours[i] = {BYTE(c >> 16), BYTE(c >> 8), BYTE(c), g_display.PaletteTable[i].peFlags};
        }
        return true;
    }
    return g_display.Palette
        && SUCCEEDED(g_display.Palette->GetEntries(0, 0, kPaletteEntries, reinterpret_cast<PALETTEENTRY*>(colours)));
}

void PaintDisplay(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (Windowed() && window == g_display.Windowed.Window) {
        PaintWindowedBorders(dc);
        ShowWindowedPicture(dc, true);
    }
    EndPaint(window, &paint);
}

// Entries 0-9 and 246-255 keep the system's colours for good; the film's entries are marked
// PC_NOCOLLAPSE so that they get palette slots of their own.
void LoadSystemColours(HWND window)
{
    HDC dc = GetDC(window);
    // A desktop of more than 8 bits has no system palette to read: the windowed picture
    // then takes the static colours that an 8-bit Windows desktop has.
    if (GetSystemPaletteEntries(dc, 0, kPaletteEntries, g_display.PaletteTable) != kPaletteEntries)
        LoadStaticColours();
    for (int i = 0; i < kPaletteEntries; ++i) {
        bool filmEntry = i >= kFirstFilmColour && i <= kLastFilmColour;
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

bool DisplayIsWindowed() { return Windowed(); }

// Whoever copies to or from the locked front buffer keeps within what the lock states, so
// that a surface of another size is never read or written past its end.
void FitToLockedFront(int& columns, int& rows)
{
    const DDSURFACEDESC& s = g_display.Surface;
    if (s.dwFlags & DDSD_WIDTH)
        columns = std::min(columns, int(s.dwWidth));
    if (s.dwFlags & DDSD_HEIGHT)
        rows = std::min(rows, int(s.dwHeight));
}

// Where the intro's own opening found that the mode cannot be set, the window stays as it
// is. Otherwise the window leaves its monitor for the primary display's origin first, where
// the exclusive mode shows it. When neither display can be opened any more (no memory for the
// window's picture, and the mode refused as well), nothing is left open and the caller
// ends the intro.
SwitchOutcome SwitchDisplay(HWND window)
{
    // Asking a driver that refused the mode costs it a while again (creating DirectDraw
    // alone can take a tenth of a second), during which the window could not answer.
    if (Windowed() && g_display.ModeRefused)
        return SwitchOutcome::Unchanged;
    const int low = g_display.Width != kHighResolutionScreen.Width;
    ScreenCopy copy;
    CopyScreen(copy);
    SwitchOutcome outcome = SwitchOutcome::Switched;
    if (Windowed()) {
        ReleaseWindowedPicture();
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
        if (!OpenFullScreen(window, low)) {
            outcome = SwitchOutcome::Unchanged;
            if (!OpenWindowedDisplay(window, low))
                return SwitchOutcome::Lost;
        }
    } else {
        LeaveFullScreen(window);
        if (!OpenWindowedDisplay(window, low)) {
            outcome = SwitchOutcome::Unchanged;
            if (!OpenFullScreen(window, low))
                return SwitchOutcome::Lost;
        }
    }
    PutScreen(copy);
    return outcome;
}

void DisplayToBackground() { g_display.InBackground = !Windowed() && g_display.Primary; }

// The full-screen picture comes with the next frame, which the film and the crawl draw
// whole. The window is shown whole at once: what was sent to it while it was minimised may
// not have reached the screen, and the system need not ask for all of it to be painted.
SwitchOutcome DisplayToForeground(HWND window)
{
    g_display.InBackground = false;
    if (Windowed())
        ShowWindowedScreen(true);
    if (Windowed() || !g_display.Primary || g_display.Primary->IsLost() != DDERR_SURFACELOST)
        return SwitchOutcome::Unchanged;
    if (RestoreFullScreen(window))
        return SwitchOutcome::Unchanged;
    return SwitchDisplay(window);
}

bool DisplayInBackground() { return g_display.InBackground; }
