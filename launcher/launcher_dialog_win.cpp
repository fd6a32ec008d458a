#include "game/game_start.h"
#include "install/installation.h"
#include "intro/film_player.h"
#include "launcher/launcher_state.h"
#include "launcher/launcher_win.h"
#include "resources/resource.h"

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

void OnInitDialog(HWND dialog)
{
    g_launcher.LauncherDialog = dialog;
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

// Only the control id counts, so a posted command acts as a click. Returns whether the
// id was one of the six buttons.
bool OnCommand(HWND dialog, int id)
{
    switch (id) {
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
    case WM_COMMAND:
        // Escape (IDCANCEL) and Enter (IDOK) land here too and are swallowed: only
        // "Schließen" closes the launcher.
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
