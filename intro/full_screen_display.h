// The exclusive full-screen DirectDraw display of the intro: an 8-bit palettised mode of
// 640x480 or 320x240 with a flipping primary surface and one back buffer. The film and the
// credits crawl draw by locking the visible (front) buffer; neither flips per frame.
#pragma once

#include <windows.h>
#include <ddraw.h>

struct FullScreenDisplay {
    IDirectDraw* DirectDraw;        // the default display driver's object; null outside an intro
    IDirectDrawSurface* Primary;    // visible surface of the flipping chain
    IDirectDrawPalette* Palette;    // 256 entries, attached to Primary; null when its creation failed
    DDSURFACEDESC Surface;          // describes Primary at creation, then receives every lock:
                                    // lPitch and lpSurface are valid from lock to unlock
    PALETTEENTRY PaletteTable[256]; // staging copy of the palette, kept from one intro to the next
    DWORD BlitFlags;                // pixel-format class of Primary, as the film library expects it
    LONG Width, Height;             // 640x480 or 320x240, set at every opening and kept afterwards
};

extern FullScreenDisplay g_display;

enum class DisplayOutcome {
    Ready,      // mode set, surfaces and (when possible) palette made
    NotOpened,  // nothing is held, the mode is unchanged
    Incomplete, // the mode was changed but there is no primary surface: CloseDisplay() it
};

DisplayOutcome OpenDisplay(HWND window, int lowResolution);
void CloseDisplay();
void ClearBackBuffer(int flip);
bool LockFrontBuffer();
void UnlockFrontBuffer();
void ReattachPalette();
void LoadSystemColours(HWND window);
DWORD PixelFormatBlitFlags();
