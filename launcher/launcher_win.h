// The launcher shell's Win32 operations, shared with the other parts of the program.
#pragma once

#include <windows.h>

// Runs the launcher: locates the medium, reads the settings, guards against a second
// instance and runs the launcher dialog. Returns the process exit code.
int LauncherMain(HINSTANCE instance, const char* commandLine);

// Looks for the product medium ("Vesk.exe" in the root of a CD-ROM drive among D: to W:),
// showing the insert-medium prompt until it is found or Escape is pressed. Returns 1 with
// SourceRoot and IntroDir set, or 0 when the user gave up.
int LocateSourceMedium();

// Runs a command line (program path first, unquoted) as a child process, after making the
// text before its last backslash the current directory. Waits for the child unless noWait
// is non-zero. Returns 0 when the child could not be started.
int RunProgram(const char* commandLine, int noWait);

// Launcher dialog (resource 101) and the drawing it shares.
INT_PTR CALLBACK LauncherDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PassiveDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void CenterOnScreen(HWND window);

struct DibPicture {
    HBITMAP bitmap;    // device-dependent, compatible with the screen; null when missing
    HPALETTE palette;  // from the colour table; null for pictures without one
};
DibPicture LoadBitmapResource(HINSTANCE instance, int resourceId);
HPALETTE MakeDibPalette(const BITMAPINFOHEADER* header, int* colourCount);
void DrawBackground(HDC dc, const RECT& rect, int resourceId);

// The DPI that a window is drawn at (its monitor's), and the button font made for a DPI:
// Arial, 15 pixels high at 96 DPI. FitUiFontToDpi replaces the launcher's UI font when its
// height is not the DPI's.
UINT WindowDpi(HWND window);
HFONT CreateUiFont(UINT dpi);
void FitUiFontToDpi(UINT dpi);
// The launcher's dialog on a monitor of another DPI: it scales itself (from WM_INITDIALOG on),
// to the rectangle that WM_DPICHANGED suggests.
void ScaleDialogOnItsOwn(HWND dialog);
void ScaleDialogToDpi(HWND dialog, UINT dpi, const RECT& suggested);
void DrawPictureButton(const DRAWITEMSTRUCT& item, const char* label);
