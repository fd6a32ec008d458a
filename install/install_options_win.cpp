// The install options dialog: the target drive among the fixed drives, with their free
// space, and "Von CD Spielen".
#include "install/install_paths.h"
#include "install/install_win.h"
#include "launcher/launcher_state.h"
#include "launcher/launcher_win.h"
#include "launcher/text.h"
#include "resources/resource.h"

namespace {

// The drive letters the dialog looks at: C to V. A, B and W to Z never count.
constexpr char kFirstDrive = 'C';
constexpr int kDriveLetters = 20;
// Three characters name a drive root: letter, colon, backslash.
constexpr int kDriveRootLength = 3;

// A fixed drive whose free space cannot be read is left out: there is nothing true to
// show for it. The free space is taken in 64 bits, so large drives show their real size.
void FillDriveList(HWND combo, const DriveQueries& drives)
{
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < kDriveLetters; ++i) {
        char root[] = {static_cast<char>(kFirstDrive + i), ':', '\\', '\0'};
        if (drives.driveType(root) != DRIVE_FIXED)
            continue;
        ULARGE_INTEGER available, total, free;
        if (!drives.freeSpace(root, &available, &total, &free))
            continue;
        char entry[kPathSize];
        if (FormatDriveEntry(entry, sizeof entry, root, available.QuadPart))
            SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    }
    // The list is sorted and every entry begins with its drive letter: the first entry is
    // the fixed drive with the lowest letter.
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
}

// Only the list's selection counts; whatever was typed into the edit field is never read.
// With no drive in the list there is nothing to install to, and OK acts as Cancel; while
// the list has drives but none is selected, OK waits for the user to pick one.
void OnOk(HWND dialog)
{
    HWND combo = GetDlgItem(dialog, IDC_TARGET_DRIVE);
    if (SendMessageA(combo, CB_GETCOUNT, 0, 0) <= 0) {
        EndDialog(dialog, kInstallCancelled);
        return;
    }
    LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    LRESULT length = index == CB_ERR ? CB_ERR : SendMessageA(combo, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR || length < kDriveRootLength || length >= kPathSize)
        return;
    char entry[kPathSize];
    SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(entry));
    entry[kDriveRootLength] = '\0';
    CopyText(g_launcher.InstallRoot, entry);
    bool fromCd = SendDlgItemMessageA(dialog, IDC_PLAY_FROM_CD, BM_GETCHECK, 0, 0) != 0;
    EndDialog(dialog, fromCd ? kInstallFromCd : kInstallFull);
}

INT_PTR CALLBACK InstallOptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        FillDriveList(GetDlgItem(dialog, IDC_TARGET_DRIVE), *reinterpret_cast<const DriveQueries*>(lParam));
        CenterOnScreen(dialog);
        return FALSE; // no default focus
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            OnOk(dialog);
            break;
        case IDCANCEL:
            EndDialog(dialog, kInstallCancelled);
            break;
        }
        return TRUE; // notifications of the combo box and the check box change nothing
    default:
        return FALSE;
    }
}

} // namespace

const DriveQueries kSystemDrives = {GetDriveTypeA, GetDiskFreeSpaceExA};

int InstallOptionsDialog(HWND owner, const DriveQueries& drives)
{
    INT_PTR mode = DialogBoxParamA(g_launcher.Instance, MAKEINTRESOURCEA(IDD_INSTALL_OPTIONS), owner,
                                   InstallOptionsDialogProc, reinterpret_cast<LPARAM>(&drives));
    // -1 (or 0 for a bad owner) when the dialog could not be made: as cancelled.
    return mode == kInstallFull || mode == kInstallFromCd ? static_cast<int>(mode) : kInstallCancelled;
}
