// Installation and removal end to end: the real Vesk.exe from the sample medium on CD-ROM
// drive E: installs to C: (to play from CD, with the first games after it, then in full with
// files it cannot copy), removes again, and hands a removal from the installed copy over to
// the medium. The stand-in game reports instead of showing its window. The step
// tools/scripts/test-steps/install-readonly.sh runs this program once more with the medium
// bound read-only, where the second walk installs without a settings file on the medium.
#include "resources/resource.h"
#include "tests/e2e/e2e_support.h"
#include "tests/install/install_test_support.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

using namespace e2e;

namespace {

constexpr char kMediumSettings[] = "E:\\VeskMarlit.ini";

std::string InstallPath(const std::string& relative) { return std::string(kInstallDirectory) + "\\" + relative; }

std::string TempFile(const char* name)
{
    char path[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, path);
    return path + std::string(name);
}

std::string DirectXLog() { return TempFile("dx52ger.log"); }

bool MediumIsWritable()
{
    HANDLE probe = CreateFileA("E:\\vesk-probe.tmp", GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    CloseHandle(probe);
    return probe != INVALID_HANDLE_VALUE;
}

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
    long long megabytes = -1;
    char tail[16] = "";
    if (entry.compare(0, 4, std::string(root) + " ") != 0
        || std::sscanf(entry.c_str() + 4, "%lld%15[^\n]", &megabytes, tail) != 2 || std::strcmp(tail, "MB frei") != 0)
        return -1;
    return megabytes;
}

class Installation : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_SAMPLE_MEDIUM();
        // Wine's shell would mirror the saved shortcut into the desktop's menus; the
        // variable reaches the launcher and what it starts.
        SetEnvironmentVariableA("WINEDLLOVERRIDES", "winemenubuilder.exe=d");
        SetEnvironmentVariableA("VESK_GAME_REPORT", report_.c_str());
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
        SetEnvironmentVariableA("VESK_GAME_REPORT", nullptr);
    }
    // Whatever an installation may have left, so that the other tests of the run see no
    // game installed.
    void CleanUp()
    {
        RemoveTree(kInstallDirectory);
        DeleteFileA(kMediumSettings);
        RemoveTree(group_);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
        RegDeleteKeyA(HKEY_CURRENT_USER, kUninstallKey);
        DeleteFileA(DirectXLog().c_str());
        DeleteFileA(report_.c_str());
    }

    // Clicks "Installieren" and returns the options dialog.
    HWND OpenOptions(Launcher& launcher)
    {
        ui::Click(launcher.dialog, IDC_INSTALL);
        return ui::WaitForWindowWithText(launcher.program.id, "Ziellaufwerk", kTimeout);
    }
    bool WaitForButtons(Launcher& launcher, const std::vector<int>& buttons)
    {
        return ui::WaitUntil([&] { return ui::VisibleControls(launcher.dialog, kAllButtons) == buttons; }, kTimeout);
    }
    // Clicks "Entfernen" and returns the confirmation.
    HWND AskRemoval(Launcher& launcher)
    {
        ui::Click(launcher.dialog, IDC_INSTALL);
        return ui::WaitForWindowWithText(launcher.program.id, kConfirmation, kTimeout);
    }

    void ExpectCopied(const std::string& medium, const std::string& installed)
    {
        std::string copy = InstallPath(installed);
        EXPECT_EQ(ReadWholeFile("E:\\" + medium), ReadWholeFile(copy)) << installed;
        EXPECT_EQ(0u, GetFileAttributesA(copy.c_str()) & FILE_ATTRIBUTE_READONLY) << installed;
    }
    // The programs, the card sets, and the settings file in both places.
    void ExpectInstalled(const char* mode, const char* base, const std::set<std::string>& directories)
    {
        EXPECT_EQ((std::set<std::string>{"Vesk.exe", "convtop16.dll", "smackw32.dll", "prot_d.exe", "VeskMarlit.ini"}),
                  Names(kInstallDirectory, false));
        EXPECT_EQ(directories, Names(kInstallDirectory, true));
        for (const char* name : {"Vesk.exe", "convtop16.dll", "smackw32.dll", "prot_d.exe"})
            ExpectCopied(name, name);
        EXPECT_EQ((std::set<std::string>{"alpha.tga", "default.tga"}), Names(InstallPath("KartenSets"), false));
        ExpectCopied("KS\\alpha.tga", "KartenSets\\alpha.tga");
        ExpectCopied("KS\\default.tga", "KartenSets\\default.tga");
        for (const char* empty : {"SaveGames", "KartenSetsLib", "Protokolle"})
            EXPECT_TRUE(Names(InstallPath(empty), false).empty() && Names(InstallPath(empty), true).empty()) << empty;
        const std::string settings = SettingsLines(mode, base);
        EXPECT_EQ(settings, ReadWholeFile(kMediumSettings)) << "in the current directory";
        EXPECT_EQ(settings, ReadWholeFile(InstallPath("VeskMarlit.ini"))) << "and in the installation";
        ExpectRegistered();
        installtest::LinkFacts facts = installtest::ReadLink(link_);
        EXPECT_STRCASEEQ("C:\\VeskMarlit\\Vesk.exe", facts.path.c_str());
        EXPECT_STRCASEEQ(kInstallDirectory, facts.directory.c_str());
        EXPECT_EQ("VeskMarlit", facts.description);
        EXPECT_EQ("", facts.arguments);
        EXPECT_EQ("E:\\\r\n", ReadWholeFile(DirectXLog())) << "DirectX's set-up ran from the medium";
        DeleteFileA(DirectXLog().c_str());
    }
    // Every file of the medium's folder but the one left out, none of its subdirectories.
    void ExpectFolderCopied(const char* folder, const std::string& leftOut)
    {
        std::set<std::string> files = Names(std::string("E:\\") + folder, false);
        files.erase(leftOut);
        EXPECT_EQ(files, Names(InstallPath(folder), false)) << folder;
        EXPECT_TRUE(Names(InstallPath(folder), true).empty()) << "no subdirectory of " << folder << " is copied";
        for (const std::string& name : files)
            ExpectCopied(std::string(folder) + "\\" + name, std::string(folder) + "\\" + name);
    }
    // The machine's entry, its size what was copied, in KiB; the rest of what the launcher
    // writes there is the installer's tests' affair.
    void ExpectRegistered()
    {
        const std::pair<const char*, std::string> values[] = {{"UninstallString", "E:\\Vesk.exe /U"},
            {"InstallLocation", "C:\\VeskMarlit\\"}, {"EstimatedSize", std::to_string((CopiedBytes() + 1023) / 1024)}};
        for (const auto& [name, value] : values)
            EXPECT_EQ(value, installtest::UninstallValue(HKEY_LOCAL_MACHINE, name)) << name;
        EXPECT_FALSE(installtest::UninstallEntryIn(HKEY_CURRENT_USER)) << "the user's old entry would list it twice";
    }
    void ExpectNothingInstalled()
    {
        EXPECT_FALSE(Exists(kInstallDirectory));
        EXPECT_FALSE(Exists(kMediumSettings));
        EXPECT_FALSE(Exists(folder_));
        EXPECT_FALSE(installtest::UninstallEntryExists());
    }
    // The medium's launcher that second_ handed the removal to asks; Yes removes it all, and
    // its dialog then shows.
    void RemoveInMediumLauncher()
    {
        HWND box = ui::WaitForWindowWithText(0, kConfirmation, kTimeout);
        ASSERT_NE(nullptr, box);
        first_.program = ui::ProgramOf(box);
        ASSERT_NE(nullptr, first_.program.process);
        EXPECT_NE(second_.program.id, first_.program.id);
        ui::Click(box, IDYES);
        first_.dialog = ui::WaitForWindowWithText(first_.program.id, "Schlie\xdf" "en", kTimeout);
        ASSERT_NE(nullptr, first_.dialog);
        ASSERT_TRUE(WaitForButtons(first_, kNotInstalledButtons));
        ExpectNothingInstalled();
    }

    // Waits for the stand-in game's report and takes it away: its "name=value" lines, in
    // lower case, between line breaks.
    std::string GameReport()
    {
        ui::WaitUntil([&] { return Exists(report_); }, kTimeout);
        Sleep(300);
        std::string report = '\n' + ReadWholeFile(report_);
        DeleteFileA(report_.c_str());
        CharLowerBuffA(&report[0], static_cast<DWORD>(report.size()));
        return report;
    }
    // The game that the launcher started in the given mode, in the installation, as its child.
    void ExpectGame(const std::string& mode)
    {
        std::string report = GameReport();
        for (const std::string& line :
             {"mode=" + mode, std::string("directory=c:\\veskmarlit"), std::string("parent=vesk.exe"),
              std::string("arguments=valid")})
            EXPECT_NE(std::string::npos, report.find("\n" + line + "\n")) << line << " in" << report;
    }
    // Starts a launcher, expects all six buttons, plays with the given button and closes it.
    void StartInstalledAndPlay(const std::string& program, const char* directory, int button, const char* mode)
    {
        first_ = StartLauncher(program, directory);
        ASSERT_NE(nullptr, first_.dialog);
        EXPECT_EQ(kAllButtons, ui::VisibleControls(first_.dialog, kAllButtons)) << program << " in " << directory;
        ui::Click(first_.dialog, button);
        ExpectGame(mode);
        EXPECT_EQ(1u, Close(first_));
    }

    Launcher first_, second_;
    std::string group_, folder_, link_, report_ = TempFile("vesk-game-report.txt");
    std::vector<std::string> longFiles_;
};

} // namespace

TEST_F(Installation, OptionsPlayFromCdFullWithLossesAndRemovalHandedOverToTheMedium)
{
    if (!MediumIsWritable())
        GTEST_SKIP() << "the medium is read-only";
    ASSERT_FALSE(Names("E:\\Lib", true).empty()) << "the medium's Lib has a subdirectory";
    ASSERT_GT(SizeOf(std::string("E:\\") + kBigLibraryFile), 1u << 20);
    first_ = StartLauncher(kLauncher, "E:\\");
    ASSERT_NE(nullptr, first_.dialog);
    HWND options = OpenOptions(first_);
    ASSERT_NE(nullptr, options);
    EXPECT_EQ("Installation", ui::Text(options));

    // C: and F: are the fixed drives of the test prefix; D: and E: are CD-ROM drives and
    // Z: lies beyond V:. Other programs write meanwhile; C:'s figure is its own all the same.
    ASSERT_EQ(2, SendMessageA(GetDlgItem(options, IDC_TARGET_DRIVE), CB_GETCOUNT, 0, 0));
    ULARGE_INTEGER available;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, nullptr, nullptr));
    char shown[256] = "";
    GetDlgItemTextA(options, IDC_TARGET_DRIVE, shown, sizeof shown);
    EXPECT_NEAR(double(available.QuadPart >> 20), double(MegabytesShown(shown, "C:\\")), 512.0)
        << shown << ": the lowest drive selected, with its free space";
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

    // To play from CD: the libraries stay on the medium. The user's entry of an earlier
    // installation goes; the machine's replaces it.
    HKEY old;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kUninstallKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &old, nullptr));
    RegCloseKey(old);
    options = OpenOptions(first_);
    ASSERT_NE(nullptr, options);
    ui::Click(options, IDC_PLAY_FROM_CD);
    ui::Click(options, IDOK);
    ASSERT_TRUE(WaitForButtons(first_, kAllButtons));
    ExpectInstalled("VonCD", "E:\\", {"SaveGames", "KartenSets", "KartenSetsLib", "Protokolle"});

    // The first game after it plays the 320x240 intro first and waits for it; the second, in
    // the other resolution, starts at once. Both start in the installation.
    ui::Click(first_.dialog, IDC_PLAY_LOW);
    HWND film = ui::WaitForWindow(first_.program.id, kFilmTitle, kFilmClass, kTimeout);
    ASSERT_NE(nullptr, film) << "the intro comes first";
    EXPECT_TRUE(ui::WaitUntil([] { return GetSystemMetrics(SM_CXSCREEN) == 320; }, 5000));
    Sleep(1000);
    EXPECT_FALSE(Exists(report_)) << "the game waits for the intro";
    EXPECT_TRUE(EscapeFilmAndCrawl(film));
    ExpectGame("low");
    ui::Click(first_.dialog, IDC_PLAY_HIGH);
    ExpectGame("high");
    EXPECT_EQ(nullptr, ui::WaitForWindow(first_.program.id, kFilmTitle, kFilmClass, 0)) << "one intro only";

    // No keeps it all; Yes removes it all, and not the medium's libraries. The current
    // directory is the installation's since the game: the settings file where the launcher
    // started goes too, so that the next start there does not count as installed.
    HWND box = AskRemoval(first_);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("Vesk Marlit", ui::Text(box));
    ui::Click(box, IDNO);
    EXPECT_TRUE(ui::WaitForWindowGone(box, kTimeout));
    Sleep(300);
    EXPECT_EQ(kAllButtons, ui::VisibleControls(first_.dialog, kAllButtons));
    EXPECT_TRUE(Exists(InstallPath("VeskMarlit.ini")));
    EXPECT_TRUE(Exists(link_));
    EXPECT_TRUE(installtest::UninstallEntryExists());
    box = AskRemoval(first_);
    ASSERT_NE(nullptr, box);
    ui::Click(box, IDYES);
    ASSERT_TRUE(WaitForButtons(first_, kNotInstalledButtons));
    ExpectNothingInstalled();
    EXPECT_FALSE(Exists(group_)) << "TALVERO held nothing else";
    EXPECT_TRUE(Exists("E:\\Lib\\skatgrf.dat")) << "the medium's libraries are not touched";

    // In full, in the same run, from a medium with names that fit it but make paths longer
    // than a path buffer holds: below the medium's root the first still fits, the second
    // does not.
    const std::string libName = std::string(245, 'l') + ".dat", netName = std::string(248, 'n') + ".nn";
    const std::string lib = "E:\\Lib\\" + libName, net = "E:\\NNet\\" + netName;
    ASSERT_EQ(253u, lib.size() - 3);
    ASSERT_EQ(256u, net.size() - 3);
    longFiles_ = {lib, net};
    ASSERT_TRUE(installtest::MakeLongFile(lib, "lib"));
    ASSERT_TRUE(installtest::MakeLongFile(net, "net"));
    options = OpenOptions(first_);
    ASSERT_NE(nullptr, options);
    ui::Click(options, IDOK);
    HWND progress = ui::WaitForWindowWithText(first_.program.id, "Gesamt", kTimeout);
    ASSERT_NE(nullptr, progress) << "the copy shows its progress";
    EXPECT_TRUE(ui::WaitUntil([&] { return ui::Text(progress) == kBigLibraryFile; }, kTimeout))
        << "named by the file it copies";
    ui::Screenshot("install-progress");
    // One box for both, in the order they were tried; names too long for the box show their
    // first 28 and last 33 characters.
    auto cut = [](const std::string& name) { return name.substr(0, 28) + "..." + name.substr(name.size() - 33); };
    const std::string text = "Diese Dateien konnten nicht vollst\xe4ndig kopiert werden:\n\n" + cut(lib) + "\n" + cut(net);
    HWND report = ui::WaitForWindowWithText(first_.program.id, text.c_str(), kTimeout);
    ASSERT_NE(nullptr, report) << "no box that says: " << text;
    EXPECT_EQ("Installation", ui::Text(report));
    ui::Screenshot("install-report");
    ui::Click(report, IDOK);
    ASSERT_TRUE(WaitForButtons(first_, kAllButtons)) << "the installation goes on";
    ExpectInstalled("VonHD", "C:\\VeskMarlit\\",
                    {"SaveGames", "KartenSets", "KartenSetsLib", "Protokolle", "Lib", "NNet"});
    ExpectFolderCopied("Lib", libName);
    ExpectFolderCopied("NNet", netName);
    ASSERT_EQ(1u, Close(first_));

    // The installed copy, started as its shortcut starts it, counts as installed and hands
    // the removal over to the medium's launcher, which asks before its own dialog shows.
    WriteWholeFile(group_ + "\\Anderes Spiel.lnk", "other");
    second_ = StartLauncher(InstallPath("Vesk.exe"), kInstallDirectory);
    ASSERT_NE(nullptr, second_.dialog);
    EXPECT_EQ(kAllButtons, ui::VisibleControls(second_.dialog, kAllButtons));
    ui::Click(second_.dialog, IDC_INSTALL);
    EXPECT_EQ(0u, ui::WaitForExit(second_.program, kTimeout)) << "it hands over and ends with 0";
    RemoveInMediumLauncher();
    EXPECT_EQ("other", ReadWholeFile(group_ + "\\Anderes Spiel.lnk")) << "TALVERO keeps what else it holds";
    EXPECT_EQ(1u, Close(first_));
}

// From a medium that nobody can write the settings file cannot go into the medium's root,
// yet the installed copy, the medium's launcher started again and a removal started as the
// system's list of installed software starts it all find the installation.
TEST_F(Installation, FromAReadOnlyMediumTheInstallationIsFoundWithoutASettingsFileThere)
{
    if (MediumIsWritable())
        GTEST_SKIP() << "run by the step that binds the medium read-only";
    first_ = StartLauncher(kLauncher, "E:\\");
    ASSERT_NE(nullptr, first_.dialog);
    HWND options = OpenOptions(first_);
    ASSERT_NE(nullptr, options);
    ui::Click(options, IDOK);
    ASSERT_TRUE(WaitForButtons(first_, kAllButtons));
    EXPECT_FALSE(Exists(kMediumSettings));
    EXPECT_EQ(kFullInstallationSettings, ReadWholeFile(InstallPath("VeskMarlit.ini")));
    EXPECT_TRUE(Exists(InstallPath("Lib\\skatgrf.dat")));
    ASSERT_EQ(1u, Close(first_));

    // The installed copy, started as its shortcut starts it, and the medium's launcher
    // started again from the medium's root both start the game there.
    StartInstalledAndPlay(InstallPath("Vesk.exe"), kInstallDirectory, IDC_PLAY_HIGH, "high");
    StartInstalledAndPlay(kLauncher, "E:\\", IDC_PLAY_LOW, "low");

    // A removal as the system's list starts it, from another current directory. That
    // launcher's own path lies on C:, so it hands over to the medium's launcher, which asks.
    ASSERT_TRUE(ui::Start(second_.program, std::string(kLauncher) + " /U", "C:\\windows"));
    EXPECT_EQ(0u, ui::WaitForExit(second_.program, kTimeout));
    RemoveInMediumLauncher();
    EXPECT_FALSE(Exists(group_));
    EXPECT_EQ(1u, Close(first_));
}
