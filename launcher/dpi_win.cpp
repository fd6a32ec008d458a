// The launcher on screens of any DPI. The program declares itself aware of each monitor's
// DPI (its manifest), so Windows no longer stretches its windows as bitmaps: the dialogs
// scale with their dialog units, the pictures are stretched onto whatever size they get,
// and the button font is made for the DPI of the monitor the dialog is on.
#include "launcher/launcher_state.h"
#include "launcher/launcher_win.h"

#include <cstring>

namespace {

constexpr UINT kBaseDpi = 96;
// The button labels' font at 96 DPI: Arial, 15 pixels high.
constexpr int kUiFontHeight = 15;

// Rounded down: the longest labels nearly fill their buttons at 96 DPI, and a font that
// grows by a fraction of a pixel more than the buttons do would push them over the edges.
int UiFontHeight(UINT dpi) { return kUiFontHeight * int(dpi) / int(kBaseDpi); }

} // namespace

// GetDpiForWindow comes with Windows 10 (1607); it is looked up, so that the program still
// starts where it is missing. There, and for windows that are none, the screen's DPI serves.
UINT WindowDpi(HWND window)
{
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && window) {
        if (UINT dpi = getDpiForWindow(window))
            return dpi;
    }
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? UINT(dpi) : kBaseDpi;
}

HFONT CreateUiFont(UINT dpi)
{
    LOGFONTA font = {};
    font.lfHeight = UiFontHeight(dpi);
    font.lfWeight = FW_NORMAL;
    std::strcpy(font.lfFaceName, "Arial");
    return CreateFontIndirectA(&font);
}

// Keeps the font as it is when it already has the DPI's height, and the old one when no
// new one can be made.
void FitUiFontToDpi(UINT dpi)
{
    LOGFONTA current = {};
    if (g_launcher.UiFont && GetObjectA(g_launcher.UiFont, sizeof current, &current)
        && current.lfHeight == UiFontHeight(dpi))
        return;
    if (HFONT font = CreateUiFont(dpi)) {
        if (g_launcher.UiFont)
            DeleteObject(g_launcher.UiFont);
        g_launcher.UiFont = font;
    }
}

// Windows 10 1703 on scales the dialog of a program aware of each monitor's DPI by itself
// when it moves to a monitor of another DPI, from its dialog font; before it, and under Wine,
// nothing does. The launcher's dialog therefore scales itself everywhere, and the system's
// dialog manager is told to leave it alone, so that nothing is scaled twice. The call is
// looked up: older Windows versions lack it.
void ScaleDialogOnItsOwn(HWND dialog)
{
    constexpr int kDisableAllScaling = 0x0001; // DDC_DISABLE_ALL
    using SetBehaviourFunction = BOOL(WINAPI*)(HWND, int, int);
    static const auto setBehaviour = reinterpret_cast<SetBehaviourFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetDialogDpiChangeBehavior")));
    if (setBehaviour)
        setBehaviour(dialog, kDisableAllScaling, kDisableAllScaling);
}

// The dialog takes the place and size that the system suggests for the new DPI, and each
// control grows or shrinks with the client area from where it stands, so that the buttons
// keep their places on the picture; the labels get a font for the new DPI.
void ScaleDialogToDpi(HWND dialog, UINT dpi, const RECT& suggested)
{
    RECT before, after;
    GetClientRect(dialog, &before);
    SetWindowPos(dialog, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    GetClientRect(dialog, &after);
    if (before.right > 0 && before.bottom > 0) {
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT r;
            GetWindowRect(child, &r);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
            int left = MulDiv(r.left, after.right, before.right), top = MulDiv(r.top, after.bottom, before.bottom);
            int right = MulDiv(r.right, after.right, before.right), bottom = MulDiv(r.bottom, after.bottom, before.bottom);
            SetWindowPos(child, nullptr, left, top, right - left, bottom - top, SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    FitUiFontToDpi(dpi);
}
