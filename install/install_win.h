// The installer's Win32 operations, shared by installation, removal and their tests.
#pragma once

#include "install/file_list.h"
#include "launcher/launcher_state.h"

#include <windows.h>

#include <string>
#include <vector>

// The uninstall entry: under HKEY_LOCAL_MACHINE where that can be written, otherwise under
// HKEY_CURRENT_USER, where Windows lists what a user installed for himself.
inline constexpr const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VeskMarlit";

// --- Install options dialog (resource 106) ---

// What the dialog asks the system about a drive; tests put machines of their own in.
struct DriveQueries {
    UINT(WINAPI* driveType)(LPCSTR root);
    BOOL(WINAPI* freeSpace)(LPCSTR root, PULARGE_INTEGER availableToCaller, PULARGE_INTEGER total, PULARGE_INTEGER free);
};
extern const DriveQueries kSystemDrives;

// Runs the dialog modally. Returns the InstallMode; on 1 or 2 InstallRoot holds the chosen
// drive root (three characters). A dialog that cannot be created counts as cancelled.
int InstallOptionsDialog(HWND owner, const DriveQueries& drives = kSystemDrives);

// --- Copy with progress (resource 107) ---

enum CopyOutcome {
    kCopyComplete,      // the destination holds exactly the source's bytes
    kCopyNothingThere,  // no such file on the medium, or a directory: nothing to copy
    kCopyIncomplete,    // the file could not be copied, or only in part
};

// Creates the progress dialog modeless and visible, painted, owned by owner. Null when it
// cannot be created; the copy then goes on without progress display.
HWND CreateCopyProgressDialog(HWND owner);
// Sets a progress bar to count the given number of blocks from 0, in steps of 1.
void SetProgressBarBlocks(HWND bar, std::uint64_t blocks);

// Copies sourceDirectory + relativeName to destinationDirectory + relativeName in blocks of
// 4096 bytes, moving the current-file bar and the total bar of the progress dialog, whose
// title shows the relative name. Both directories end with a backslash; the destination's
// subdirectory must exist. The destination ends up exactly as long as the source and with
// normal attributes.
// The bytes written to the destination are added to copiedBytes, when given.
CopyOutcome CopyFileWithProgress(const char* sourceDirectory, const char* destinationDirectory,
                                 const char* relativeName, HWND progressDialog, std::uint64_t* copiedBytes = nullptr);

// --- Installation ---

// The copy pass: every match of the list's patterns, then the two card sets, from
// SourceRoot to InstallRoot. What could not be copied completely is added to failures: a
// file's source path, or SourceRoot + pattern where the medium could not be searched.
// Returns the number of bytes written into the installation.
std::uint64_t CopyInstallationFiles(const FileList& files, HWND progress, std::vector<std::string>& failures);

// The Start-menu entries, appended in this order to the user's programs folder.
inline constexpr const char kStartMenuGroup[] = "\\TALVERO";
inline constexpr const char kStartMenuFolder[] = "\\VeskMarlit";
inline constexpr const char kShortcutFile[] = "\\VeskMarlit.lnk";

// Creates or opens the uninstall key in a hive for writing, with the registry's status.
// Tests put in one that refuses a hive, as Windows refuses HKEY_LOCAL_MACHINE to a user
// who is not an administrator.
using UninstallKeyCreator = LONG (*)(HKEY hive, HKEY* key);
LONG CreateUninstallKey(HKEY hive, HKEY* key);

// Writes the uninstall entry, replacing every value the key held before: "DisplayName",
// "UninstallString" (SourceRoot + "Vesk.exe /U", given without its terminating zero) and
// "InstallLocation" (InstallRoot). Returns the hive it went to, null when neither took it.
HKEY RegisterUninstallEntry(UninstallKeyCreator createKey = CreateUninstallKey);
// Adds to the entry in hive (none when null) what the list of installed software shows
// once the files are there: "DisplayIcon", "Publisher", "EstimatedSize" (copiedBytes in
// KiB), "NoModify" and "NoRepair".
void CompleteUninstallEntry(HKEY hive, std::uint64_t copiedBytes);
// Deletes the uninstall entry from both hives, as far as this user may.
void RemoveUninstallEntries();

// The user's programs folder of the Start menu, without trailing backslash. False when the
// system does not give it or it does not fit kPathSize.
bool GetProgramsFolder(char* path, std::size_t size);

// Saves a shortcut to target (working directory: the target's directory) at linkFile.
// Returns the COM status; a failed save shows an empty message box.
HRESULT CreateShortcut(const char* target, const char* arguments, const char* linkFile, const char* description);

// --- Removal ---

// Removes the directory with everything in it, depth first. A missing trailing backslash
// is appended to path in place. Links (reparse points) are removed, never followed; entries
// whose paths would not fit the buffer are left alone, and so are their parents.
void DeleteTree(char (&path)[kPathSize]);
