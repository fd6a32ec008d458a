// Installation and removal end to end: the real Vesk.exe from the sample medium on CD-ROM
// drive E: installs to C:, removes again, and hands a removal over to the medium.
#include "resources/resource.h"
#include "tests/e2e/e2e_support.h"
#include "tests/install/install_test_support.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

using namespace e2e;

namespace {

constexpr char kMediumSettings[] = "E:\\VeskMarlit.ini";
// The big library file: the progress dialog is looked at while it is being copied.

std::string InstallPath(const std::string& relative) { return std::string(kInstallDirectory) + "\\" + relative; }

std::string TempFolder()
{
    char path[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, path);
    return path;
}

std::string DirectXLog() { return TempFolder() + "dx52ger.log"; }

// The names in a directory: files, or subdirectories.
std::set<std::string> Names(const std::string& directory, bool directories)
{
    std::set<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = entry.cFileName;
        bool isDirectory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (name != "." && name != ".." && isDirectory == directories)
            names.insert(name);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return names;
}

std::uint64_t SizeOf(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// A value as the registry keeps it: in UTF-16, so the text's length as the launcher gave it
// is half the byte count, terminator or none.
struct RegistryValue {
    DWORD type = 0;
    std::string text;      // the characters, in the ANSI code page
    DWORD characters = 0;  // as stored, a terminating zero included when one was stored
    DWORD number = 0;      // a REG_DWORD's
};

RegistryValue ReadValue(const char* name)
{
    RegistryValue value;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    WCHAR wideName[64], data[512] = L"";
    MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, 64);
    DWORD size = sizeof data - sizeof(WCHAR);
    if (RegQueryValueExW(key, wideName, nullptr, &value.type, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS) {
        value.characters = size / sizeof(WCHAR);
        std::memcpy(&value.number, data, sizeof value.number);
        char text[512] = "";
        WideCharToMultiByte(CP_ACP, 0, data, static_cast<int>(value.characters), text, sizeof text - 1, nullptr, nullptr);
        value.text = std::string(text, std::strlen(text));
    }
    RegCloseKey(key);
    return value;
}

// What an installation copied: every file in it but the settings file.
std::uint64_t CopiedBytes()
{
    std::uint64_t bytes = 0;
    for (const std::string& folder : {std::string(kInstallDirectory), InstallPath("Lib"), InstallPath("NNet"),
                                      InstallPath("KartenSets")})
        for (const std::string& name : Names(folder, false))
            bytes += name == "VeskMarlit.ini" ? 0 : SizeOf(folder + "\\" + name);
    return bytes;
}

std::string SettingsLines(const char* mode, const char* base)
{
    std::string root = std::string(kInstallDirectory) + "\\";
    return std::string(mode) + "\r\n" + root + "\r\n" + root + "SaveGames\r\n" + root + "KartenSets\r\n" + root +
           "Protokolle\r\n" + base + "Lib\r\n" + base + "NNet\r\n";
}

// "C:\ 1234MB frei" gives 1234; an entry of another form, -1.
long long MegabytesShown(const std::string& entry, const char* root)
{
    const std::string head = std::string(root) + " ", tail = "MB frei";
    if (entry.size() <= head.size() + tail.size() || entry.compare(0, head.size(), head) != 0
        || entry.compare(entry.size() - tail.size(), tail.size(), tail) != 0)
        return -1;
    std::string digits = entry.substr(head.size(), entry.size() - head.size() - tail.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::atoll(digits.c_str());
}

// A message box of the process whose text begins as given, and that text.
struct Box {
    HWND window = nullptr;
    std::string text;
};

struct BoxSearch {
    DWORD processId;
    std::string beginning;
    Box box;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<BoxSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window))
        return TRUE;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        std::string text = ui::Text(child);
        if (text.compare(0, search->beginning.size(), search->beginning) == 0) {
            search->box = {window, text};
            return FALSE;
        }
    }
    return TRUE;
}

Box FindBox(DWORD processId, const std::string& beginning)
{
    BoxSearch search{processId, beginning, {}};
    ui::WaitUntil(
        [&] {
            EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
            return search.box.window != nullptr;
        },
        kTimeout);
    return search.box;
}

// The combo box's entries, asked across the process boundary. Wine hands the text over in
// the control's own character set, which is UTF-16.
std::vector<std::string> DriveEntries(HWND options)
{
    std::vector<std::string> entries;
    HWND combo = GetDlgItem(options, IDC_TARGET_DRIVE);
    int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        WCHAR wide[256] = L"";
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
        char text[256] = "";
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        entries.push_back(text);
    }
    return entries;
}

class Installation : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_SAMPLE_MEDIUM();
        // Wine's shell would mirror the saved shortcut into the desktop's menus; the
        // variable reaches the launcher and what it starts.
        SetEnvironmentVariableA("WINEDLLOVERRIDES", "winemenubuilder.exe=d");
        CoInitialize(nullptr);
        group_ = installtest::ProgramsFolder() + "\\TALVERO";
        folder_ = group_ + "\\VeskMarlit";
        link_ = folder_ + "\\VeskMarlit.lnk";
        CleanUp();
    }
    void TearDown() override
    {
        for (auto* launcher : {&first_, &second_})
            ui::Kill(launcher->program);
        if (group_.empty())
            return;
        CleanUp();
        for (const std::string& file : longFiles_)
            installtest::RemoveLongFile(file);
        CoUninitialize();
        SetEnvironmentVariableA("WINEDLLOVERRIDES", nullptr);
    }
    // Whatever an installation may have left, so that the next test (and the other tests
    // of the run) see no game installed.
    void CleanUp()
    {
        RemoveTree(kInstallDirectory);
        DeleteFileA(kMediumSettings);
        RemoveTree(group_);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
        DeleteFileA(DirectXLog().c_str());
    }

    // Clicks "Installieren" and returns the options dialog.
    HWND OpenOptions(Launcher& launcher)
    {
        ui::Click(launcher.dialog, IDC_INSTALL);
        return ui::WaitForWindowWithText(launcher.program.id, "Ziellaufwerk", kTimeout);
    }
    // Installs through the options dialog and waits for the launcher to show all six.
    bool Install(Launcher& launcher, bool fromCd)
    {
        HWND options = OpenOptions(launcher);
        if (!options)
            return false;
        if (fromCd)
            ui::Click(options, IDC_PLAY_FROM_CD);
        ui::Click(options, IDOK);
        return WaitForButtons(launcher, kAllButtons);
    }
    bool WaitForButtons(Launcher& launcher, const std::vector<int>& buttons)
    {
        return ui::WaitUntil([&] { return ui::VisibleControls(launcher.dialog, kAllButtons) == buttons; }, kTimeout);
    }
    // Clicks "Entfernen" and answers the confirmation of whichever launcher shows it.
    HWND AskRemoval(Launcher& launcher)
    {
        ui::Click(launcher.dialog, IDC_INSTALL);
        return Confirmation(launcher.program.id);
    }
    // Removes with Yes and waits for the two buttons of a launcher without a game.
    bool RemoveWithYes(Launcher& launcher)
    {
        HWND box = AskRemoval(launcher);
        if (!box)
            return false;
        ui::Click(box, IDYES);
        return WaitForButtons(launcher, kNotInstalledButtons);
    }
    static DWORD Close(Launcher& launcher)
    {
        ui::Click(launcher.dialog, IDC_CLOSE);
        return ui::WaitForExit(launcher.program, kTimeout);
    }
    static HWND Confirmation(DWORD processId)
    {
        return ui::WaitForWindowWithText(processId, kConfirmation, kTimeout);
    }

    void ExpectProgramFiles()
    {
        for (const char* name : {"Vesk.exe", "convtop16.dll", "smackw32.dll", "prot_d.exe"})
            ExpectCopied(name, name);
        ExpectCopied("KS\\alpha.tga", "KartenSets\\alpha.tga");
        ExpectCopied("KS\\default.tga", "KartenSets\\default.tga");
    }
    void ExpectCopied(const std::string& medium, const std::string& installed)
    {
        std::string copy = InstallPath(installed);
        EXPECT_EQ(ReadWholeFile("E:\\" + medium), ReadWholeFile(copy)) << installed;
        EXPECT_EQ(0u, GetFileAttributesA(copy.c_str()) & FILE_ATTRIBUTE_READONLY) << installed;
    }
    void ExpectFolderCopied(const char* folder)
    {
        std::set<std::string> files = Names(std::string("E:\\") + folder, false);
        EXPECT_EQ(files, Names(InstallPath(folder), false)) << folder;
        EXPECT_TRUE(Names(InstallPath(folder), true).empty()) << "no subdirectory of " << folder << " is copied";
        for (const std::string& name : files)
            ExpectCopied(std::string(folder) + "\\" + name, std::string(folder) + "\\" + name);
    }
    void ExpectRegistered()
    {
        RegistryValue name = ReadValue("DisplayName"), command = ReadValue("UninstallString"),
                      location = ReadValue("InstallLocation");
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), name.type);
        EXPECT_EQ("Vesk Marlit Deinstallieren", name.text);
        EXPECT_EQ(27u, name.characters) << "27 bytes, the zero included";
        // The launcher gives the uninstall string as 14 bytes, without its zero; the system
        // stores a zero that follows the given bytes all the same (the installer's tests
        // look at the bytes given).
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), command.type);
        EXPECT_EQ("E:\\Vesk.exe /U", command.text);
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), location.type);
        EXPECT_EQ("C:\\VeskMarlit\\", location.text);
        EXPECT_EQ(15u, location.characters) << "a standard string value, with its zero";
        EXPECT_EQ("C:\\VeskMarlit\\Vesk.exe", ReadValue("DisplayIcon").text);
        EXPECT_EQ("TALVERO", ReadValue("Publisher").text);
        EXPECT_EQ((CopiedBytes() + 1023) / 1024, ReadValue("EstimatedSize").number) << "what was copied, in KiB";
        for (const char* flag : {"NoModify", "NoRepair"})
            EXPECT_EQ(1u, ReadValue(flag).number) << flag;
    }
    void ExpectShortcut()
    {
        EXPECT_TRUE(Exists(group_));
        installtest::LinkFacts facts = installtest::ReadLink(link_);
        EXPECT_STRCASEEQ("C:\\VeskMarlit\\Vesk.exe", facts.path.c_str());
        EXPECT_STRCASEEQ(kInstallDirectory, facts.directory.c_str());
        EXPECT_EQ("VeskMarlit", facts.description);
        EXPECT_EQ("", facts.arguments);
    }
    void ExpectDirectXRanFromTheMedium() { EXPECT_EQ("E:\\\r\n", ReadWholeFile(DirectXLog())); }
    void ExpectNothingInstalled()
    {
        EXPECT_FALSE(Exists(kInstallDirectory));
        EXPECT_FALSE(Exists(kMediumSettings));
        EXPECT_FALSE(Exists(folder_));
        EXPECT_FALSE(installtest::UninstallEntryExists());
    }

    // Holds the launcher still while its progress dialog shows the big library file partly
    // copied, and takes the screenshot. The launcher is let go only for a moment at a time;
    // within the big file each moment follows a pause long enough for the bars to catch up
    // at its first block, and lasts long enough for them to be painted.
    bool PhotographMidCopy(Launcher& launcher)
    {
        HWND progress = nullptr;
        ui::WaitUntil(
            [&] {
                progress = ui::WaitForWindowWithText(launcher.program.id, "Gesamt", 0);
                return progress != nullptr;
            },
            kTimeout);
        if (!progress)
            return false;
        ui::Threads threads(launcher.program);
        const std::uint64_t size = SizeOf(std::string("E:\\") + kBigLibraryFile);
        const std::string copy = InstallPath(kBigLibraryFile);
        for (DWORD start = GetTickCount(); GetTickCount() - start < kTimeout;) {
            threads.Suspend();
            std::uint64_t done = SizeOf(copy);
            bool inBigFile = ui::Text(progress) == kBigLibraryFile;
            if (inBigFile && done > size / 3 && done < size) {
                EXPECT_TRUE(IsWindowVisible(progress));
                ui::Screenshot("install-progress");
                threads.Resume();
                return true;
            }
            if (done == size || !IsWindow(progress)) {
                threads.Resume();
                return false; // went past it
            }
            if (inBigFile)
                Sleep(60);
            threads.Resume();
            if (inBigFile)
                Sleep(3);
        }
        return false;
    }

    Launcher first_, second_;
    std::string group_, folder_, link_;
    std::vector<std::string> longFiles_;
};

} // namespace

TEST_F(Installation, TheOptionsListTheFixedDrivesAndCancelMakesNothing)
{
    first_ = StartLauncher(kLauncher, "E:\\");
    ASSERT_NE(nullptr, first_.dialog);
    HWND options = OpenOptions(first_);
    ASSERT_NE(nullptr, options);
    EXPECT_EQ("Installation", ui::Text(options));

    // C: and F: are the fixed drives of the test prefix; D: and E: are CD-ROM drives and
    // Z: lies beyond V:.
    std::vector<std::string> entries = DriveEntries(options);
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ("C:\\ ", entries[0].substr(0, 4));
    EXPECT_EQ("F:\\ ", entries[1].substr(0, 4));
    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, &total, &free));
    long long shown = MegabytesShown(entries[0], "C:\\");
    long long actual = static_cast<long long>(available.QuadPart >> 20);
    ASSERT_GE(shown, 0) << entries[0];
    EXPECT_GE(MegabytesShown(entries[1], "F:\\"), 0) << entries[1];
    // Other programs write meanwhile; the figure is the drive's all the same.
    EXPECT_NEAR(static_cast<double>(actual), static_cast<double>(shown), 512.0) << entries[0];
    if (actual > 4096) {
        EXPECT_GT(shown, 4096) << "more than 4 GiB free is shown as such";
    }
    char shownText[256] = "";
    GetDlgItemTextA(options, IDC_TARGET_DRIVE, shownText, sizeof shownText);
    EXPECT_EQ(entries[0], shownText) << "the lowest drive is selected";
    ui::Screenshot("install-options");

    // Escape, then the Cancel button: neither makes anything.
    SetForegroundWindow(options);
    ui::PressKey(VK_ESCAPE);
    EXPECT_TRUE(ui::WaitForWindowGone(options, kTimeout));
    options = OpenOptions(first_);
    ASSERT_NE(nullptr, options);
    ui::Click(options, IDCANCEL);
    EXPECT_TRUE(ui::WaitForWindowGone(options, kTimeout));
    Sleep(300);
    ExpectNothingInstalled();
    EXPECT_FALSE(Exists(group_));
    EXPECT_FALSE(Exists(DirectXLog()));
    EXPECT_EQ(kNotInstalledButtons, ui::VisibleControls(first_.dialog, kAllButtons));

    EXPECT_EQ(1u, Close(first_));
}

TEST_F(Installation, AFullInstallationMakesExactlyItsFilesAndRemovalTakesThemAway)
{
    ASSERT_FALSE(Names("E:\\Lib", true).empty()) << "the medium's Lib has a subdirectory";
    ASSERT_GT(SizeOf(std::string("E:\\") + kBigLibraryFile), 1u << 20);

    first_ = StartLauncher(kLauncher, "E:\\");
    ASSERT_NE(nullptr, first_.dialog);
    HWND options = OpenOptions(first_);
    ASSERT_NE(nullptr, options);
    ui::Click(options, IDOK);
    EXPECT_TRUE(PhotographMidCopy(first_)) << "the progress dialog was not caught in the middle of " << kBigLibraryFile;
    ASSERT_TRUE(WaitForButtons(first_, kAllButtons));
    EXPECT_TRUE(ui::IsVisible(first_.dialog, IDC_INSTALL));

    EXPECT_EQ((std::set<std::string>{"Vesk.exe", "convtop16.dll", "smackw32.dll", "prot_d.exe", "VeskMarlit.ini"}),
              Names(kInstallDirectory, false));
    EXPECT_EQ((std::set<std::string>{"SaveGames", "KartenSets", "KartenSetsLib", "Protokolle", "Lib", "NNet"}),
              Names(kInstallDirectory, true));
    ExpectProgramFiles();
    ExpectFolderCopied("Lib");
    ExpectFolderCopied("NNet");
    EXPECT_EQ((std::set<std::string>{"alpha.tga", "default.tga"}), Names(InstallPath("KartenSets"), false));
    for (const char* empty : {"SaveGames", "KartenSetsLib", "Protokolle"})
        EXPECT_TRUE(Names(InstallPath(empty), false).empty() && Names(InstallPath(empty), true).empty()) << empty;
    const std::string settings = SettingsLines("VonHD", "C:\\VeskMarlit\\");
    EXPECT_EQ(settings, ReadWholeFile(kMediumSettings)) << "in the current directory";
    EXPECT_EQ(settings, ReadWholeFile(InstallPath("VeskMarlit.ini"))) << "and in the installation";
    ExpectRegistered();
    ExpectShortcut();
    ExpectDirectXRanFromTheMedium();

    // No keeps it all.
    HWND box = AskRemoval(first_);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("Vesk Marlit", ui::Text(box));
    ui::Click(box, IDNO);
    EXPECT_TRUE(ui::WaitForWindowGone(box, kTimeout));
    Sleep(300);
    EXPECT_EQ(kAllButtons, ui::VisibleControls(first_.dialog, kAllButtons));
    EXPECT_EQ(settings, ReadWholeFile(InstallPath("VeskMarlit.ini")));
    EXPECT_TRUE(Exists(link_));
    EXPECT_TRUE(installtest::UninstallEntryExists());

    // Yes removes it all.
    ASSERT_TRUE(RemoveWithYes(first_));
    ExpectNothingInstalled();
    EXPECT_FALSE(Exists(group_)) << "TALVERO held nothing else";

    // And it installs again in the same run, from a fresh drive root.
    DeleteFileA(DirectXLog().c_str());
    ASSERT_TRUE(Install(first_, false));
    ExpectProgramFiles();
    ExpectFolderCopied("Lib");
    EXPECT_EQ(settings, ReadWholeFile(InstallPath("VeskMarlit.ini")));
    ExpectRegistered();
    ExpectDirectXRanFromTheMedium();
    ASSERT_TRUE(RemoveWithYes(first_));
    ExpectNothingInstalled();

    EXPECT_EQ(1u, Close(first_));
}

TEST_F(Installation, PlayingFromCdLeavesTheLibrariesOnTheMedium)
{
    first_ = StartLauncher(kLauncher, "E:\\");
    ASSERT_NE(nullptr, first_.dialog);
    ASSERT_TRUE(Install(first_, true));

    EXPECT_EQ((std::set<std::string>{"Vesk.exe", "convtop16.dll", "smackw32.dll", "prot_d.exe", "VeskMarlit.ini"}),
              Names(kInstallDirectory, false));
    EXPECT_EQ((std::set<std::string>{"SaveGames", "KartenSets", "KartenSetsLib", "Protokolle"}),
              Names(kInstallDirectory, true));
    ExpectProgramFiles();
    const std::string settings = SettingsLines("VonCD", "E:\\");
    EXPECT_EQ(settings, ReadWholeFile(kMediumSettings));
    EXPECT_EQ(settings, ReadWholeFile(InstallPath("VeskMarlit.ini")));
    ExpectRegistered();
    ExpectShortcut();
    ExpectDirectXRanFromTheMedium();
    EXPECT_TRUE(Exists("E:\\Lib\\skatgrf.dat")) << "the libraries stay where they are";

    ASSERT_TRUE(RemoveWithYes(first_));
    ExpectNothingInstalled();
    EXPECT_TRUE(Exists("E:\\Lib\\skatgrf.dat")) << "the medium's libraries are not touched";
    EXPECT_EQ(1u, Close(first_));
}

TEST_F(Installation, TheInstalledCopyHandsTheRemovalOverToTheMedium)
{
    first_ = StartLauncher(kLauncher, "E:\\");
    ASSERT_NE(nullptr, first_.dialog);
    ASSERT_TRUE(Install(first_, false));
    ASSERT_EQ(1u, Close(first_));
    WriteWholeFile(group_ + "\\Anderes Spiel.lnk", "other");

    // Started as its shortcut starts it, the installed copy counts as installed.
    second_ = StartLauncher(InstallPath("Vesk.exe"), kInstallDirectory);
    ASSERT_NE(nullptr, second_.dialog);
    EXPECT_EQ(kAllButtons, ui::VisibleControls(second_.dialog, kAllButtons));
    ui::Click(second_.dialog, IDC_INSTALL);
    EXPECT_EQ(0u, ui::WaitForExit(second_.program, kTimeout)) << "it hands over and ends with 0";

    // The medium's launcher, started with "/U", asks before its own dialog shows.
    HWND box = Confirmation(0);
    ASSERT_NE(nullptr, box);
    first_.program = ui::ProgramOf(box);
    ASSERT_NE(nullptr, first_.program.process);
    EXPECT_NE(second_.program.id, first_.program.id);
    ui::Click(box, IDYES);
    first_.dialog = ui::WaitForWindowWithText(first_.program.id, "Schlie\xdf" "en", kTimeout);
    ASSERT_NE(nullptr, first_.dialog);
    ASSERT_TRUE(WaitForButtons(first_, kNotInstalledButtons));
    ExpectNothingInstalled();
    EXPECT_EQ("other", ReadWholeFile(group_ + "\\Anderes Spiel.lnk")) << "TALVERO keeps what else it holds";
    EXPECT_EQ(1u, Close(first_));
}

TEST_F(Installation, FilesThatCannotBeCopiedAreListedInOneBoxAndTheInstallationGoesOn)
{
    // Names that fit the medium but make paths longer than a path buffer holds: below the
    // medium's root the first still fits, the second does not.
    const std::string libName = std::string(245, 'l') + ".dat", netName = std::string(248, 'n') + ".nn";
    const std::string lib = "E:\\Lib\\" + libName, net = "E:\\NNet\\" + netName;
    ASSERT_EQ(253u, lib.size() - 3);
    ASSERT_EQ(256u, net.size() - 3);
    longFiles_ = {lib, net};
    ASSERT_TRUE(installtest::MakeLongFile(lib, "lib"));
    ASSERT_TRUE(installtest::MakeLongFile(net, "net"));

    first_ = StartLauncher(kLauncher, "E:\\");
    ASSERT_NE(nullptr, first_.dialog);
    HWND options = OpenOptions(first_);
    ASSERT_NE(nullptr, options);
    ui::Click(options, IDOK);
    const std::string heading = "Diese Dateien konnten nicht vollst\xe4ndig kopiert werden:\n";
    Box report = FindBox(first_.program.id, heading);
    ASSERT_NE(nullptr, report.window);
    // Names too long for the box show their first 28 and last 33 characters.
    auto shown = [](const std::string& name) { return name.substr(0, 28) + "..." + name.substr(name.size() - 33); };
    EXPECT_EQ(heading + "\n" + shown(lib) + "\n" + shown(net), report.text)
        << "one box for both, in the order they were tried";
    EXPECT_EQ("Installation", ui::Text(report.window));
    ui::Screenshot("install-report");
    ui::Click(report.window, IDOK);

    ASSERT_TRUE(WaitForButtons(first_, kAllButtons)) << "the installation goes on";
    ExpectProgramFiles();
    ExpectDirectXRanFromTheMedium();
    std::set<std::string> libFiles = Names("E:\\Lib", false), netFiles = Names("E:\\NNet", false);
    libFiles.erase(libName);
    netFiles.erase(netName);
    EXPECT_EQ(libFiles, Names(InstallPath("Lib"), false)) << "everything else arrived";
    EXPECT_EQ(netFiles, Names(InstallPath("NNet"), false));

    ASSERT_TRUE(RemoveWithYes(first_));
    ExpectNothingInstalled();
    EXPECT_EQ(1u, Close(first_));
}
