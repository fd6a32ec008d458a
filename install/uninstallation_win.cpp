// Removal of the installed game: the installation directory, the settings file, the
// Start-menu entries and the uninstall entry; or the hand-over to the medium's launcher.
#include "install/installation.h"

#include "install/install_paths.h"
#include "install/install_win.h"
#include "intro/intro_choice_win.h"
#include "launcher/launcher_state.h"
#include "launcher/launcher_win.h"
#include "launcher/settings.h"
#include "launcher/text.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr char kConfirmation[] = "Wollen Sie Vesk Marlit entfernen,\nund alle Spielst\xe4"
                                 "nde verlieren?";
constexpr char kConfirmationCaption[] = "Vesk Marlit";
constexpr char kHandOverCommand[] = "Vesk.exe /U";
constexpr int kHandOverExitCode = 0;

// The installed copy does not remove itself: the medium's launcher does, started with
// "/U" in the medium's root. This process ends at once, its dialog still open.
[[noreturn]] void HandOverToMedium()
{
    SetCurrentDirectoryA(g_launcher.SourceRoot);
    char command[kPathSize];
    if (JoinText(command, g_launcher.SourceRoot, kHandOverCommand))
        RunProgram(command, 1);
    std::exit(kHandOverExitCode);
}

// The tree goes only when InstallRoot has the form that an installation gives it. A damaged
// or hand-edited settings file (an empty line, C:\ or C:\Windows\) must not make the
// removal delete what the installation never made; the rest of the removal goes on.
void RemoveInstallationDirectory()
{
    if (!IsInstallationDirectory(g_launcher.InstallRoot))
        return;
    char path[kPathSize];
    if (CopyText(path, g_launcher.InstallRoot))
        DeleteTree(path);
}

// The directory the launcher started in: its own path was made absolute against it. A
// launcher in a drive root started in the root itself ("E:\", never "E:").
bool StartDirectory(char (&directory)[kPathSize])
{
    return CopyText(directory, g_launcher.OwnPath) && CutToDirectory(directory);
}

// After a game the current directory is the installation directory, and a directory that
// is some process's current directory cannot be removed: the launcher goes back to the
// directory it started in first.
void LeaveInstallationDirectory()
{
    char current[kPathSize], start[kPathSize];
    DWORD n = GetCurrentDirectoryA(kPathSize, current);
    if (n == 0 || n >= kPathSize || !AppendText(current, "\\"))
        return;
    std::size_t rootLength = std::strlen(g_launcher.InstallRoot);
    if (rootLength == 0 || _strnicmp(current, g_launcher.InstallRoot, rootLength) != 0)
        return;
    if (StartDirectory(start))
        SetCurrentDirectoryA(start);
}

// The settings file in the current directory goes, and also the one in the directory the
// launcher started in, which made it count as installed or which its installation wrote:
// after an intro or a game the current directory is another one, and a settings file left
// behind there would make the next start count as installed with nothing installed.
void RemoveSettingsFiles()
{
    DeleteFileA(kSettingsFileName);
    char start[kPathSize], path[kPathSize];
    if (StartDirectory(start) && SettingsFileInDirectory(path, sizeof path, start))
        DeleteFileA(path);
}

// A folder goes only when it is empty, so a "TALVERO" that holds other entries stays.
void RemoveStartMenuEntries()
{
    char group[kPathSize], folder[kPathSize], link[kPathSize];
    if (!GetProgramsFolder(group, sizeof group) || !AppendText(group, kStartMenuGroup))
        return;
    if (JoinText(folder, group, kStartMenuFolder) && JoinText(link, folder, kShortcutFile)) {
        DeleteFileA(link);
        RemoveDirectoryA(folder);
    }
    RemoveDirectoryA(group);
}

bool IsDotEntry(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

void DeleteEntry(const char* directory, const WIN32_FIND_DATAA& entry)
{
    if (IsDotEntry(entry.cFileName))
        return;
    // An entry whose path does not fit is left alone, and with it every directory above.
    char path[kPathSize];
    if (!JoinText(path, directory, entry.cFileName))
        return;
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA(path); // a file symbolic link goes as a link
        return;
    }
    // A junction or directory link is removed as the link it is, never followed: what it
    // points to lies outside the tree.
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        RemoveDirectoryA(path);
        return;
    }
    DeleteTree(path);
}

// Whether the directory, given with its trailing backslash, is itself a link (a junction
// or a directory symbolic link, left behind or made by another user where anyone may make
// folders); link receives its path without the backslash, which is how the link itself,
// not what it points to, is asked about and removed.
bool IsLinkedDirectory(const char* path, char (&link)[kPathSize])
{
    if (!CopyText(link, path))
        return false;
    std::size_t length = std::strlen(link);
    if (length > 1 && link[length - 1] == '\\')
        link[length - 1] = '\0';
    DWORD attributes = GetFileAttributesA(link);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

} // namespace

void RunUninstallation()
{
    if (!g_launcher.Installed)
        return;
    UpperCaseAscii(g_launcher.SourceRoot);
    UpperCaseAscii(g_launcher.OwnPath);
    if (g_launcher.SourceRoot[0] != g_launcher.OwnPath[0])
        HandOverToMedium();

    if (MessageBoxA(nullptr, kConfirmation, kConfirmationCaption, MB_YESNO) != IDYES)
        return;
    LeaveInstallationDirectory();
    RemoveInstallationDirectory();
    RemoveSettingsFiles();
    RemoveStartMenuEntries();
    RemoveUninstallEntries();
    ForgetIntroChoice();
    g_launcher.Installed = false;
}

// Depth first: every subdirectory is emptied and removed before the search of its parent
// goes on, and a directory is removed after its contents; what cannot be deleted stays,
// and so do the directories above it.
void DeleteTree(char (&path)[kPathSize])
{
    // An empty path would become "\", the root of the current drive.
    std::size_t length = std::strlen(path);
    if (length == 0)
        return;
    if (path[length - 1] != '\\' && !AppendText(path, "\\"))
        return;
    // A link goes as the link it is; a search through it would list what it points to.
    char link[kPathSize];
    if (IsLinkedDirectory(path, link)) {
        RemoveDirectoryA(link);
        return;
    }

    char pattern[kPathSize];
    WIN32_FIND_DATAA entry;
    HANDLE search = JoinText(pattern, path, "*.*") ? FindFirstFileA(pattern, &entry) : INVALID_HANDLE_VALUE;
    if (search != INVALID_HANDLE_VALUE) {
        do
            DeleteEntry(path, entry);
        while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(path);
}
