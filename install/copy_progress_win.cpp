// Copying one file from the medium while two progress bars count its blocks: the bar of
// the current file ("Aktuell") and the bar of the whole installation ("Gesamt").
#include "install/install_win.h"
#include "launcher/launcher_state.h"
#include "launcher/launcher_win.h"
#include "launcher/text.h"
#include "resources/resource.h"

#include <commctrl.h>

#include <climits>

namespace {

// A progress bar repaints itself at once on every change of its position, which under Wine
// costs about a millisecond: far more than copying a block from a disk cache. The bars are
// therefore brought up to date at most this often, and at the end of every file; they still
// count every block and end exactly full.
constexpr DWORD kRepaintInterval = 50;

// Blocks copied but not yet shown on the bars.
struct Progress {
    HWND dialog;
    HWND fileBar;
    HWND totalBar;
    int unshownBlocks;
    DWORD lastShown;
};

Progress StartProgress(HWND dialog)
{
    return {dialog, GetDlgItem(dialog, IDC_FILE_BAR), GetDlgItem(dialog, IDC_TOTAL_BAR), 0, GetTickCount()};
}

void ShowProgress(Progress& progress)
{
    if (progress.unshownBlocks != 0) {
        SendMessageA(progress.fileBar, PBM_DELTAPOS, static_cast<WPARAM>(progress.unshownBlocks), 0);
        SendMessageA(progress.totalBar, PBM_DELTAPOS, static_cast<WPARAM>(progress.unshownBlocks), 0);
        progress.unshownBlocks = 0;
    }
    ShowWindow(progress.dialog, SW_SHOW);
    progress.lastShown = GetTickCount();
}

void CountBlock(Progress& progress)
{
    ++progress.unshownBlocks;
    if (GetTickCount() - progress.lastShown >= kRepaintInterval)
        ShowProgress(progress);
}

// The block loop. A read error ends it; a failed or short write does not, but like the read
// error it makes the copy incomplete. The destination is then cut where the copy ends, so
// that an older, longer file leaves no stale bytes behind. What was written is added to
// written.
bool CopyBlocks(HANDLE source, HANDLE destination, Progress& progress, std::uint64_t& written)
{
    char buffer[kCopyBlockSize];
    bool complete = true;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(source, buffer, kCopyBlockSize, &got, nullptr))
            complete = false;
        if (got == 0)
            break;
        CountBlock(progress);
        DWORD put = 0;
        if (!WriteFile(destination, buffer, got, &put, nullptr) || put != got)
            complete = false;
        written += put;
    }
    ShowProgress(progress);
    if (!SetEndOfFile(destination))
        complete = false;
    return complete;
}

// A source that is not there, or is a directory (a search for "*.*" returns those too), is
// nothing to copy. Any other failure to open it is a file that could not be copied.
CopyOutcome UnopenedSource(const char* source)
{
    DWORD attributes = GetFileAttributesA(source);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? kCopyNothingThere : kCopyIncomplete;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? kCopyNothingThere : kCopyIncomplete;
}

CopyOutcome CopyPaths(const char* source, const char* destination, HWND progressDialog, std::uint64_t& written)
{
    HANDLE in = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return UnopenedSource(source);
    // An existing destination is opened with its contents and written from its first byte.
    HANDLE out = CreateFileA(destination, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        CloseHandle(in);
        return kCopyIncomplete;
    }

    LARGE_INTEGER size = {};
    GetFileSizeEx(in, &size);
    Progress progress = StartProgress(progressDialog);
    SetProgressBarBlocks(progress.fileBar, BlockCount(static_cast<std::uint64_t>(size.QuadPart)));

    // A medium error then fails the read instead of stopping everything at the system's
    // critical-error box.
    UINT previousErrorMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    bool complete = CopyBlocks(in, out, progress, written);
    // A write error may come to light only as the file is closed.
    if (!CloseHandle(out))
        complete = false;
    CloseHandle(in);
    SetErrorMode(previousErrorMode);
    return complete ? kCopyComplete : kCopyIncomplete;
}

} // namespace

HWND CreateCopyProgressDialog(HWND owner)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    HWND dialog = CreateDialogParamA(g_launcher.Instance, MAKEINTRESOURCEA(IDD_COPY_PROGRESS), owner,
                                     PassiveDialogProc, 0);
    if (!dialog)
        return nullptr;
    ShowWindow(dialog, SW_SHOW);
    // Nothing dispatches messages until the installation has ended: the dialog is painted
    // now, and afterwards only the bars and the title repaint, as they change.
    UpdateWindow(dialog);
    return dialog;
}

// The 32-bit range message: the 16-bit one would cut counts above 65,535 blocks (files or
// installations over 256 MiB), and the bar would then never end full.
void SetProgressBarBlocks(HWND bar, std::uint64_t blocks)
{
    LPARAM maximum = blocks > static_cast<std::uint64_t>(INT_MAX) ? INT_MAX : static_cast<LPARAM>(blocks);
    SendMessageA(bar, PBM_SETRANGE32, 0, maximum);
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
}

CopyOutcome CopyFileWithProgress(const char* sourceDirectory, const char* destinationDirectory,
                                 const char* relativeName, HWND progressDialog, std::uint64_t* copiedBytes)
{
    // The title keeps the name of the last file tried until the dialog goes.
    SetWindowTextA(progressDialog, relativeName);
    HWND fileBar = GetDlgItem(progressDialog, IDC_FILE_BAR);

    // A path that does not fit its buffer is never cut short into another path: the file
    // is skipped, and reported by the caller.
    char source[kPathSize], destination[kPathSize];
    if (!JoinText(source, sourceDirectory, relativeName) || !JoinText(destination, destinationDirectory, relativeName)) {
        SendMessageA(fileBar, PBM_SETPOS, 0, 0);
        return kCopyIncomplete;
    }

    std::uint64_t written = 0;
    CopyOutcome outcome = CopyPaths(source, destination, progressDialog, written);
    if (copiedBytes)
        *copiedBytes += written;
    SendMessageA(fileBar, PBM_SETPOS, 0, 0);
    // Also after a failed copy: a read-only file left at the destination is made normal.
    SetFileAttributesA(destination, FILE_ATTRIBUTE_NORMAL);
    return outcome;
}
