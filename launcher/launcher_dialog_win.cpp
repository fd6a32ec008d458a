#include "game/game_start.h"
#include "install/installation.h"
#include "intro/film_player.h"
#include "intro/intro_choice_win.h"
#include "launcher/launcher_state.h"
#include "launcher/launcher_win.h"
#include "resources/resource.h"

#include <windowsx.h>

#include <cstring>

namespace {

// The four buttons that need an installed game.
constexpr int kInstalledOnlyButtons[] = {IDC_PLAY_HIGH, IDC_INTRO_HIGH, IDC_PLAY_LOW, IDC_INTRO_LOW};
constexpr int kLabelSize = 40;

void ShowButton(HWND dialog, int id, bool show) { ShowWindow(GetDlgItem(dialog, id), show ? SW_SHOW : SW_HIDE); }

// Shows or hides the four buttons after the installed flag has changed. Button 1001 is
// hidden and shown again in between, which repaints it with its new label.
void ShowButtonsForInstalledState(HWND dialog, bool installed)
{
    ShowButton(dialog, IDC_PLAY_HIGH, installed);
    ShowButton(dialog, IDC_INSTALL, false);
    ShowButton(dialog, IDC_INSTALL, true);
    ShowButton(dialog, IDC_INTRO_HIGH, installed);
    ShowButton(dialog, IDC_PLAY_LOW, installed);
    ShowButton(dialog, IDC_INTRO_LOW, installed);
}

// WM_DPICHANGED, sent where Windows knows per-monitor DPI; older headers lack it.
constexpr UINT kDpiChanged = 0x02E0;
constexpr char kIntroWindowItem[] = "Intro im &Fenster";

void OnInitDialog(HWND dialog)
{
    g_launcher.LauncherDialog = dialog;
    // The font was made for the screen's DPI; the dialog's monitor may have another.
    FitUiFontToDpi(WindowDpi(dialog));
    ScaleDialogOnItsOwn(dialog);
    if (!g_launcher.Installed)
        for (int id : kInstalledOnlyButtons)
            ShowButton(dialog, id, false);
    CenterOnScreen(dialog);
    // "/U" acts as a click on the install/remove button once the dialog is up.
    if (g_launcher.UninstallMode)
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_INSTALL, 0), 0);
}

void OnInstallOrRemove(HWND dialog)
{
    if (g_launcher.Installed) {
        RunUninstallation();
        if (!g_launcher.Installed)
            ShowButtonsForInstalledState(dialog, false);
    } else {
        RunInstallation();
        if (g_launcher.Installed)
            ShowButtonsForInstalledState(dialog, true);
    }
}

// The dialog has no system menu, so no close box: only "Schließen" ends the launcher. Its
// one setting lives in a window menu of its own, opened where a system menu would be: by
// the right mouse button, on the caption or the picture, and by Alt+Space. The choice
// comes back as a command.
void ShowWindowMenu(HWND dialog, LPARAM where)
{
    POINT at = {GET_X_LPARAM(where), GET_Y_LPARAM(where)};
    // From the keyboard (-1, -1): below the caption's left end.
    if (at.x == -1 && at.y == -1) {
        at = {0, 0};
        ClientToScreen(dialog, &at);
    }
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    AppendMenuA(menu, MF_STRING | (IntroWindowChosen() ? MF_CHECKED : MF_UNCHECKED), IDM_INTRO_WINDOW,
                kIntroWindowItem);
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, dialog, nullptr);
    DestroyMenu(menu);
}

// Alt+Space arrives as the system command that opens a system menu from the keyboard.
bool OnSystemCommand(HWND dialog, WPARAM command, LPARAM key)
{
    if ((command & 0xFFF0) != SC_KEYMENU || key != ' ')
        return false;
    ShowWindowMenu(dialog, MAKELPARAM(-1, -1));
    return true;
}

// On a monitor of another DPI the dialog and its buttons take their new sizes and the labels
// a font for the new DPI; everything is drawn again at its new size from the pictures.
void OnDpiChanged(HWND dialog, UINT dpi, const RECT& suggested)
{
    ScaleDialogToDpi(dialog, dpi, suggested);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// Only the control id counts, so a posted command acts as a click. Returns whether the
// id was one of the six buttons or the window menu's item.
bool OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDM_INTRO_WINDOW:
        RememberIntroWindowChosen(!IntroWindowChosen());
        return true;
    case IDC_PLAY_HIGH:
        if (g_launcher.Installed)
            StartGame(kHighResolution);
        return true;
    case IDC_PLAY_LOW:
        if (g_launcher.Installed)
            StartGame(kLowResolution);
        return true;
    case IDC_INSTALL:
        OnInstallOrRemove(dialog);
        return true;
    case IDC_CLOSE:
        EndDialog(dialog, 0);
        return true;
    case IDC_INTRO_HIGH:
        PlayIntro(kHighResolution);
        return true;
    case IDC_INTRO_LOW:
        PlayIntro(kLowResolution);
        return true;
    default:
        return false;
    }
}

// The label of 1001 follows the installed flag at every drawing, whatever its window text.
void OnDrawItem(const DRAWITEMSTRUCT& item)
{
    char label[kLabelSize] = "";
    GetDlgItemTextA(GetParent(item.hwndItem), static_cast<int>(item.CtlID), label, kLabelSize);
    if (item.CtlID == IDC_INSTALL)
        std::strcpy(label, g_launcher.Installed ? "Entfernen" : "Installieren");
    DrawPictureButton(item, label);
}

} // namespace

INT_PTR CALLBACK LauncherDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return FALSE; // no control gets the initial focus
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(dialog, &client);
        DrawBackground(reinterpret_cast<HDC>(wParam), client, IDB_BACKGROUND);
        return TRUE;
    }
    case WM_DRAWITEM:
        OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    case WM_DISPLAYCHANGE:
        // The intro's full-screen mode has come and gone: whatever was drawn meanwhile was
        // drawn in its colours, so the whole dialog is drawn again.
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        return FALSE;
    case WM_ACTIVATE:
        // Held by the intro, the dialog hands the front on to it, as a modal dialog's owner
        // does (brought forward from the taskbar or by Alt+Tab).
        if (LOWORD(wParam) != WA_INACTIVE && !IsWindowEnabled(dialog))
            ReturnToIntro();
        return FALSE;
    case WM_CONTEXTMENU:
        ShowWindowMenu(dialog, lParam);
        return TRUE;
    case WM_SYSCOMMAND:
        return OnSystemCommand(dialog, wParam, lParam) ? TRUE : FALSE;
    case kDpiChanged:
        OnDpiChanged(dialog, LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return TRUE;
    case WM_COMMAND:
        // While the dialog is held (the intro, a box of its own), a command that reaches it
        // all the same, posted by some other program, does nothing. Escape (IDCANCEL) and
        // Enter (IDOK) land here too and are swallowed: only "Schließen" closes the launcher.
        if (!IsWindowEnabled(dialog))
            return TRUE;
        return OnCommand(dialog, LOWORD(wParam)) ? FALSE : TRUE;
    default:
        return FALSE;
    }
}

void CenterOnScreen(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    int w = rect.right - rect.left, h = rect.bottom - rect.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    SetWindowPos(window, HWND_TOP, x, y, w, h, 0);
}

INT_PTR CALLBACK PassiveDialogProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterOnScreen(dialog);
        return FALSE;
    case WM_COMMAND:
        return TRUE; // nothing closes or changes an information dialog
    default:
        return FALSE;
    }
}
