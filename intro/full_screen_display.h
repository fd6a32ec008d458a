// The display of the intro: the exclusive full-screen DirectDraw display, an 8-bit palettised
// mode of 640x480 or 320x240 with a flipping primary surface and one back buffer; or, where
// that mode cannot be set, the same 8-bit picture in an off-screen DIB section, shown scaled
// in the film window covering the screen. The film and the credits crawl draw by locking
// the visible (front) buffer and set colours through the palette table; neither flips per
// frame, and neither knows which of the two it draws on.
#pragma once

#include "intro/intro_screen.h"
#include "intro/picture_bands.h"

#include <windows.h>
#include <ddraw.h>

#include <vector>

// The windowed picture: its pixels stand in for the primary surface and its colours for the
// palette object. Every unlock shows what changed of it in the window.
struct WindowedPicture {
    HWND Window;                     // the film window, made borderless and covering its monitor
    std::vector<BYTE> Pixels;        // the mode's picture, 8-bit indices, rows Pitch bytes apart;
                                     // empty on the full-screen path and outside an intro
    LONG Pitch;
    PixelColour Colours[kPaletteEntries]; // the palette table, as the window shows it
    PicturePlacement Placement;      // where the picture lands in the window's client area
    ShownPicture Shown;              // what the window shows now
    std::vector<PictureBand> Bands;  // what the present being made sends
    HDC BandDc;                      // memory device context holding BandBitmap
    HBITMAP BandBitmap;              // 32-bit top-down DIB section: BandRows picture rows of blocks
    HGDIOBJ BandDcBitmap;            // what BandDc held before, selected back before it is deleted
    PixelColour* BandBits;
    LONG BandRows;
};

struct FullScreenDisplay {
    IDirectDraw* DirectDraw;        // the default display driver's object; null outside an intro
    IDirectDrawSurface* Primary;    // visible surface of the flipping chain
    IDirectDrawPalette* Palette;    // 256 entries, attached to Primary; null when its creation failed
    DDSURFACEDESC Surface;          // describes Primary at creation, then receives every lock:
                                    // lPitch and lpSurface are valid from lock to unlock
    PALETTEENTRY PaletteTable[256]; // staging copy of the palette, kept from one intro to the next
    DWORD BlitFlags;                // pixel-format class of Primary, as the film library expects it
    LONG Width, Height;             // 640x480 or 320x240, set at every opening and kept afterwards
    WindowedPicture Windowed;       // in use while Windowed.Pixels is not empty
    bool ModeRefused;               // the last opening could not set the mode at all: Alt+Enter
                                    // stays in the window rather than ask the driver again
    bool InBackground;              // the player went to another program from full screen: the
                                    // surfaces are the system's until the program is back
};

extern FullScreenDisplay g_display;

enum class DisplayOutcome {
    Ready,      // mode set, surfaces and (when possible) palette made
    NotOpened,  // nothing is held, the mode is unchanged
    Incomplete, // the mode was changed but there is no primary surface: CloseDisplay() it
};

DisplayOutcome OpenDisplay(HWND window, int lowResolution);
// OpenDisplay, and where the mode was claimed but not set, closed and asked for once more
// after the desktop has settled. A driver that refuses the mode outright is not asked again.
DisplayOutcome ClaimDisplay(HWND window, int lowResolution);
// Where OpenDisplay could not set the mode: the windowed picture in the window, the
// desktop's mode untouched. False, with nothing held, when it cannot be made.
bool OpenWindowedDisplay(HWND window, int lowResolution);
void CloseDisplay();
bool DisplayIsWindowed();

enum class SwitchOutcome {
    Switched,  // the other display shows the picture and its colours
    Unchanged, // the other display could not be opened; the same one shows them again
    Lost,      // neither could be opened: nothing is held, the intro cannot go on
};
// Alt+Enter: moves the intro from the full-screen display to the windowed one, or back where
// the mode can be set. The picture on the screen and the whole palette go along.
SwitchOutcome SwitchDisplay(HWND window);
// The program goes to the background (Alt+Tab, the window minimised) and comes back. Away
// from full screen, the system gives the desktop its mode back and the surfaces are lost, so
// nothing can be drawn; back in front, the surfaces are restored with the palette and both
// buffers cleared for the next frame, or, where the mode cannot be had again, the intro goes
// on in the window (Switched; Lost when neither can be opened).
void DisplayToBackground();
SwitchOutcome DisplayToForeground(HWND window);
bool DisplayInBackground();
void ClearBackBuffer(int flip);
bool LockFrontBuffer();
void UnlockFrontBuffer();
// Narrows the caller's columns and rows to what the lock states the front buffer holds.
void FitToLockedFront(int& columns, int& rows);
void ReattachPalette();
// Puts the whole palette table into the palette object, or into the windowed picture's
// colour table, where the next unlock shows it.
void ApplyPaletteTable();
// The display's 256 colours as they are now; false when they cannot be read.
bool ReadDisplayColours(DisplayColour (&colours)[kPaletteEntries]);
// Answers WM_PAINT of the film window: the full-screen display paints nothing (the frames
// are drawn straight into the screen), the windowed one shows its picture again.
void PaintDisplay(HWND window);
void LoadSystemColours(HWND window);
DWORD PixelFormatBlitFlags();
