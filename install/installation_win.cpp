// The installation procedure: options, Start-menu folders and shortcut, uninstall entry,
// directories, settings file, the copies with progress, and the DirectX installer. Every
// step after the options dialog is attempted whatever became of the ones before.
#include "install/installation.h"

#include "install/install_paths.h"
#include "install/install_win.h"
#include "launcher/launcher_state.h"
#include "launcher/launcher_win.h"
#include "launcher/settings.h"
#include "launcher/text.h"
#include "resources/resource.h"

#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kShortcutDescription[] = "VeskMarlit";
constexpr char kDisplayName[] = "Vesk Marlit Deinstallieren";
constexpr char kUninstallCommand[] = "Vesk.exe /U";
constexpr char kLauncherFile[] = "Vesk.exe";
constexpr char kDirectXInstaller[] = "dx52ger.exe";
constexpr char kCardSetSource[] = "KS\\";
constexpr char kCardSetFolder[] = "KartenSets\\";
constexpr const char* kCardSets[] = {"alpha.tga", "default.tga"};
constexpr char kCopyFailureCaption[] = "Installation";
// The uninstall command is built in a buffer of this size, a little larger than a path's.
constexpr int kCommandSize = MAX_PATH;

// The uninstall entry goes under the machine's hive, which lists the game for every user
// but takes it only from an administrator; else under the user's own.
const HKEY kEntryHives[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
// The maker, as the Start-menu folder names it.
constexpr char kPublisher[] = "TALVERO";
// The longest value name the registry holds, with its terminator.
constexpr DWORD kValueNameSize = 16384;

// An earlier installation's entry (from another drive, or a hand-edited one) may hold values
// that no longer hold or that hide it from the list: every value goes before the new ones
// are written, so that the entry is replaced, never merged.
void ClearValues(HKEY key)
{
    static char name[kValueNameSize];
    for (;;) {
        DWORD length = kValueNameSize;
        if (RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS
            || RegDeleteValueA(key, name) != ERROR_SUCCESS)
            return;
    }
}

// A standard string value, with its terminating zero.
void SetText(HKEY key, const char* name, const char* text)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(std::strlen(text) + 1));
}

void SetNumber(HKEY key, const char* name, DWORD number)
{
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

// The shell learns of each folder, whether or not it was new, so that an open Start menu
// shows it.
void MakeStartMenuFolder(const char* path)
{
    CreateDirectoryA(path, nullptr);
    SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHA, path, nullptr);
}

// Makes "TALVERO\VeskMarlit" in the programs folder and leaves its path in folder. False
// when the programs folder is not to be had: then there is no Start-menu entry at all.
bool MakeStartMenuFolders(char (&folder)[kPathSize])
{
    if (!GetProgramsFolder(folder, sizeof folder) || !AppendText(folder, kStartMenuGroup))
        return false;
    MakeStartMenuFolder(folder);
    if (!AppendText(folder, kStartMenuFolder))
        return false;
    MakeStartMenuFolder(folder);
    return true;
}

// The shortcut points at the launcher's copy in InstallRoot, which does not exist yet.
void MakeShortcut(const char* folder)
{
    char link[kPathSize], target[kPathSize];
    if (!JoinText(link, folder, kShortcutFile) || !JoinText(target, g_launcher.InstallRoot, kLauncherFile))
        return;
    CreateShortcut(target, "", link, kShortcutDescription);
}

// Records base + name in field (when there is one) and creates that directory. A directory
// that exists already, or lies on the read-only medium, is no failure worth a word.
void MakeDirectory(char* field, const char* base, const char* name)
{
    char path[kPathSize];
    if (!JoinText(path, base, name))
        return;
    if (field)
        CopyText(field, kPathSize, path);
    CreateDirectoryA(path, nullptr);
}

// Played from CD, the libraries and the network data stay on the medium.
void MakeDirectories(int mode)
{
    const char* root = g_launcher.InstallRoot;
    CreateDirectoryA(root, nullptr);
    MakeDirectory(g_launcher.SaveGameDir, root, "SaveGames");
    MakeDirectory(g_launcher.CardSetDir, root, "KartenSets");
    MakeDirectory(nullptr, root, "KartenSetsLib");
    MakeDirectory(g_launcher.ProtocolDir, root, "Protokolle");
    const char* base = mode == kInstallFromCd ? g_launcher.SourceRoot : root;
    MakeDirectory(g_launcher.LibraryDir, base, "Lib");
    MakeDirectory(g_launcher.NetworkDir, base, "NNet");
}

bool SameFile(const char* a, const char* b)
{
    char fullA[MAX_PATH], fullB[MAX_PATH];
    DWORD na = GetFullPathNameA(a, MAX_PATH, fullA, nullptr), nb = GetFullPathNameA(b, MAX_PATH, fullB, nullptr);
    return na > 0 && na < MAX_PATH && nb > 0 && nb < MAX_PATH && lstrcmpiA(fullA, fullB) == 0;
}

// The settings file goes into the current directory, where the launcher looks first. When
// that is another directory than InstallRoot (the medium's root, mostly, which a real CD
// does not let anyone write), the same lines go into InstallRoot too: the installed launcher
// starts there, and the medium's launcher finds it through "InstallLocation".
void WriteSettings(int mode)
{
    const char* modeWord = mode == kInstallFromCd ? kModeWordFromCd : kModeWordFromHd;
    WriteSettingsFile(kSettingsFileName, modeWord);
    char installed[kPathSize];
    if (SettingsFileInDirectory(installed, sizeof installed, g_launcher.InstallRoot)
        && !SameFile(kSettingsFileName, installed))
        WriteSettingsFile(installed, modeWord);
}

std::uint64_t FileSize(const WIN32_FIND_DATAA& match)
{
    return (static_cast<std::uint64_t>(match.nFileSizeHigh) << 32) | match.nFileSizeLow;
}

// The blocks of the matches of SourceRoot + pattern: of every match, or of the first only.
// Directories count with size 0.
std::uint64_t BlocksOfMatches(const char* pattern, bool everyMatch)
{
    char path[kPathSize];
    WIN32_FIND_DATAA match;
    if (!JoinText(path, g_launcher.SourceRoot, pattern))
        return 0;
    HANDLE search = FindFirstFileA(path, &match);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    std::uint64_t blocks = 0;
    do
        blocks += BlockCount(FileSize(match));
    while (everyMatch && FindNextFileA(search, &match));
    FindClose(search);
    return blocks;
}

// The counting pass: the total bar's maximum is the number of blocks that an undisturbed
// installation copies, so that the bar ends exactly full.
std::uint64_t CountBlocks(const FileList& files)
{
    std::uint64_t total = 0;
    for (const auto& pattern : files.entry) {
        if (pattern[0] == '\0')
            break;
        total += BlocksOfMatches(pattern, true);
    }
    char cardSet[kPathSize];
    for (const char* name : kCardSets)
        if (JoinText(cardSet, kCardSetSource, name))
            total += BlocksOfMatches(cardSet, false);
    return total;
}

void NoteFailure(std::vector<std::string>& failures, CopyOutcome outcome, const char* directory, const char* name)
{
    if (outcome == kCopyIncomplete)
        failures.push_back(std::string(directory) + name);
}

// The directory part of a pattern, with its backslash: "Lib\" of "Lib\*.*".
std::string PatternDirectory(const char* pattern)
{
    const char* lastBackslash = std::strrchr(pattern, '\\');
    return lastBackslash ? std::string(pattern, lastBackslash + 1) : std::string();
}

// A search that ends for any other reason than having nothing (more) to find (a disc taken
// out, a read error) leaves files out: the pattern is named in the report.
bool SearchEndedNormally()
{
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES;
}

// Copies every match of one pattern. Subdirectories are not descended into: a directory
// match (".", ".." included) is nothing to copy.
void CopyMatches(const char* pattern, HWND progress, std::vector<std::string>& failures, std::uint64_t& copied)
{
    char path[kPathSize];
    WIN32_FIND_DATAA match;
    if (!JoinText(path, g_launcher.SourceRoot, pattern)) {
        failures.push_back(std::string(g_launcher.SourceRoot) + pattern);
        return;
    }
    HANDLE search = FindFirstFileA(path, &match);
    if (search == INVALID_HANDLE_VALUE) {
        // A pattern without matches is no failure.
        if (!SearchEndedNormally())
            failures.push_back(path);
        return;
    }
    for (;;) {
        char relative[kPathSize];
        if (RelativeName(relative, sizeof relative, pattern, match.cFileName))
            NoteFailure(failures,
                        CopyFileWithProgress(g_launcher.SourceRoot, g_launcher.InstallRoot, relative, progress, &copied),
                        g_launcher.SourceRoot, relative);
        else
            NoteFailure(failures, kCopyIncomplete, g_launcher.SourceRoot,
                        (PatternDirectory(pattern) + match.cFileName).c_str());
        if (!FindNextFileA(search, &match)) {
            if (!SearchEndedNormally())
                failures.push_back(path);
            break;
        }
    }
    FindClose(search);
}

void CopyCardSets(HWND progress, std::vector<std::string>& failures, std::uint64_t& copied)
{
    char source[kPathSize], destination[kPathSize];
    if (!JoinText(source, g_launcher.SourceRoot, kCardSetSource)
        || !JoinText(destination, g_launcher.InstallRoot, kCardSetFolder))
        return;
    for (const char* name : kCardSets)
        NoteFailure(failures, CopyFileWithProgress(source, destination, name, progress, &copied), source, name);
}

// A file that did not arrive whole is not passed over in silence; the installation goes
// on all the same.
void ReportIncompleteCopies(const std::vector<std::string>& failures)
{
    if (failures.empty())
        return;
    MessageBoxA(g_launcher.LauncherDialog, CopyFailureMessage(failures).c_str(), kCopyFailureCaption,
                MB_OK | MB_ICONWARNING);
}

int RunDirectXInstaller()
{
    char installer[kPathSize];
    if (!JoinText(installer, g_launcher.SourceRoot, kDirectXInstaller))
        return 0;
    return RunProgram(installer, 0);
}

} // namespace

// The entry of the system's list of installed software, which runs the medium's launcher
// with "/U". The uninstall string is stored with its length as byte count, without the
// terminating zero (14 bytes for E:\Vesk.exe /U); readers of string values add the zero.
// "InstallLocation" lets a launcher that finds no settings file in its current directory
// find the installation's own.
HKEY RegisterUninstallEntry(UninstallKeyCreator createKey)
{
    for (HKEY hive : kEntryHives) {
        HKEY key;
        if (createKey(hive, &key) != ERROR_SUCCESS)
            continue;
        ClearValues(key);
        RegSetValueExA(key, "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(kDisplayName),
                       sizeof kDisplayName);
        char command[kCommandSize];
        if (JoinText(command, g_launcher.SourceRoot, kUninstallCommand))
            RegSetValueExA(key, "UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                           static_cast<DWORD>(std::strlen(command)));
        SetText(key, "InstallLocation", g_launcher.InstallRoot);
        RegCloseKey(key);
        // The user's entry of an earlier installation would list the game twice.
        if (hive != HKEY_CURRENT_USER)
            RegDeleteKeyA(HKEY_CURRENT_USER, kUninstallKey);
        return hive;
    }
    return nullptr;
}

void CompleteUninstallEntry(HKEY hive, std::uint64_t copiedBytes)
{
    HKEY key;
    if (!hive || RegOpenKeyExA(hive, kUninstallKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    char icon[kPathSize];
    if (JoinText(icon, g_launcher.InstallRoot, kLauncherFile))
        SetText(key, "DisplayIcon", icon);
    SetText(key, "Publisher", kPublisher);
    SetNumber(key, "EstimatedSize", SizeInKibibytes(copiedBytes));
    // Installing and removing is all there is: the list offers no "Modify" or "Repair".
    SetNumber(key, "NoModify", 1);
    SetNumber(key, "NoRepair", 1);
    RegCloseKey(key);
}

LONG CreateUninstallKey(HKEY hive, HKEY* key)
{
    return RegCreateKeyExA(hive, kUninstallKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key,
                           nullptr);
}

void RemoveUninstallEntries()
{
    for (HKEY hive : kEntryHives)
        RegDeleteKeyA(hive, kUninstallKey);
}

int RunInstallation()
{
    int mode = InstallOptionsDialog(g_launcher.LauncherDialog);
    if (mode == kInstallCancelled)
        return 0;
    AppendText(g_launcher.InstallRoot, kInstallFolder);
    const FileList& files = FileListForMode(mode);

    char startMenuFolder[kPathSize];
    if (MakeStartMenuFolders(startMenuFolder))
        MakeShortcut(startMenuFolder);
    HKEY entryHive = RegisterUninstallEntry();
    MakeDirectories(mode);
    WriteSettings(mode);

    HWND progress = CreateCopyProgressDialog(g_launcher.LauncherDialog);
    SetProgressBarBlocks(GetDlgItem(progress, IDC_TOTAL_BAR), CountBlocks(files));
    std::vector<std::string> failures;
    std::uint64_t copied = CopyInstallationFiles(files, progress, failures);
    DestroyWindow(progress);
    CompleteUninstallEntry(entryHive, copied);
    ReportIncompleteCopies(failures);

    g_launcher.Installed = true;
    g_launcher.IntroPending = true;
    // RunProgram makes the medium's root the current directory, and it stays so.
    return RunDirectXInstaller();
}

std::uint64_t CopyInstallationFiles(const FileList& files, HWND progress, std::vector<std::string>& failures)
{
    std::uint64_t copied = 0;
    for (const auto& pattern : files.entry) {
        if (pattern[0] == '\0')
            break;
        CopyMatches(pattern, progress, failures, copied);
    }
    CopyCardSets(progress, failures, copied);
    return copied;
}

bool GetProgramsFolder(char* path, std::size_t size)
{
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_PROGRAMS, &items)) || !items)
        return false;
    char found[MAX_PATH] = "";
    BOOL ok = SHGetPathFromIDListA(items, found);
    CoTaskMemFree(items);
    return ok && CopyText(path, size, found);
}

HRESULT CreateShortcut(const char* target, const char* arguments, const char* linkFile, const char* description)
{
    IShellLinkA* link = nullptr;
    HRESULT status = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                      reinterpret_cast<void**>(&link));
    if (FAILED(status))
        return status;
    link->SetArguments(arguments);
    link->SetPath(target);
    // The target's directory; a target without a backslash is its own.
    char directory[kPathSize] = "";
    CopyText(directory, target);
    CutAtLastBackslash(directory);
    link->SetWorkingDirectory(directory);
    link->SetDescription(description);

    IPersistFile* file = nullptr;
    status = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (FAILED(status)) {
        link->Release();
        return status;
    }
    WCHAR widePath[MAX_PATH] = L"";
    MultiByteToWideChar(CP_ACP, 0, linkFile, -1, widePath, MAX_PATH);
    status = file->Save(widePath, TRUE);
    if (FAILED(status))
        MessageBoxA(nullptr, "", "", MB_OKCANCEL); // the answer changes nothing
    file->Release();
    link->Release();
    return status;
}

namespace {

// The settings file in the directory that the entry in hive gives as "InstallLocation".
bool ReadSettingsThroughEntry(HKEY hive)
{
    HKEY key;
    if (RegOpenKeyExA(hive, kUninstallKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    // One byte is kept back for a terminator that the stored value may lack.
    char location[kPathSize] = "";
    DWORD type = 0, size = sizeof location - 1;
    LONG status = RegQueryValueExA(key, "InstallLocation", nullptr, &type, reinterpret_cast<BYTE*>(location), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return false;
    location[size] = '\0';

    char path[kPathSize];
    if (!SettingsFileInDirectory(path, sizeof path, location))
        return false;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    ReadSettingsFile(path);
    return true;
}

} // namespace

// The user's own entry first: where there are both, the machine's was left by an
// administrator's installation, since one that this user makes there removes his own.
bool ReadSettingsFromInstallLocation()
{
    return ReadSettingsThroughEntry(HKEY_CURRENT_USER) || ReadSettingsThroughEntry(HKEY_LOCAL_MACHINE);
}
