// The installation's pieces in process: the shortcut through the shell's link object, and
// the settings file that start-up finds through the uninstall entry.
#include "install/install_win.h"
#include "install/installation.h"
#include "launcher/launcher_state.h"
#include "launcher/text.h"
#include "tests/install/install_test_support.h"
#include "tests/support/win_files.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>
#include <vector>

using namespace installtest;

// The shortcut itself is read where the installation journey made it.
TEST(Shortcut, AFailedSaveShowsAnEmptyBoxAndReportsTheFailure)
{
    CoInitialize(nullptr);
    std::string caption = "unset", text = "unset";
    bool okAndCancel = false;
    DialogAnswerer answerer([&](HWND box) {
        char buffer[64] = "";
        GetWindowTextA(box, buffer, sizeof buffer);
        caption = buffer;
        text = MessageBoxText(box);
        okAndCancel = GetDlgItem(box, IDOK) && GetDlgItem(box, IDCANCEL);
        PressButton(box, IDCANCEL);
    });
    const std::string scratch = test::MakeScratchDirectory("shortcut"), file = scratch + "\\Fehlt\\VeskMarlit.lnk";
    EXPECT_TRUE(FAILED(CreateShortcut("C:\\VeskMarlit\\Vesk.exe", "", file.c_str(), "VeskMarlit")));
    test::RemoveTree(scratch);
    CoUninitialize();
    EXPECT_EQ(1, answerer.Answered());
    EXPECT_EQ("", caption);
    EXPECT_EQ("", text);
    EXPECT_TRUE(okAndCancel);
}

namespace {

// What the uninstall entry hands the registry, value by value.
struct GivenValue {
    std::string name;
    DWORD type;
    std::string bytes;
};
std::vector<GivenValue> g_given;
LONG(WINAPI* g_setValue)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);

LONG WINAPI RecordValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size)
{
    g_given.push_back({name, type, std::string(reinterpret_cast<const char*>(data), size)});
    return g_setValue(key, name, reserved, type, data, size);
}

std::vector<GivenValue> GivenByTheEntry(const char* sourceRoot)
{
    g_launcher = LauncherState{};
    CopyText(g_launcher.SourceRoot, sourceRoot);
    CopyText(g_launcher.InstallRoot, "C:\\VeskMarlit\\");
    g_given.clear();
    {
        test::ImportPatch patch(nullptr, "advapi32.dll", "RegSetValueExA", RecordValue, &g_setValue);
        if (!patch.Active())
            return {};
        RegisterUninstallEntry();
    }
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
    return g_given;
}

class InstallLocation : public testing::Test {
protected:
    void SetUp() override
    {
        g_launcher = LauncherState{};
        CopyText(g_launcher.SourceRoot, "E:\\");
        dir_ = test::MakeScratchDirectory("location");
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
    }
    void TearDown() override
    {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
        test::RemoveTree(dir_);
    }
    void Record(const std::string& location, DWORD type = REG_SZ)
    {
        ASSERT_TRUE(SetUninstallValue(HKEY_LOCAL_MACHINE, "InstallLocation", type, location + '\0'));
    }
    std::string Lines(const char* mode, const std::string& library)
    {
        std::string root = dir_ + "\\";
        return std::string(mode) + "\r\n" + root + "\r\n" + root + "SaveGames\r\n" + root + "KartenSets\r\n" + root +
               "Protokolle\r\n" + library + "\r\n" + library.substr(0, library.size() - 3) + "NNet\r\n";
    }
    std::string dir_;
};

} // namespace

// The system stores a terminating zero that follows the given bytes whether they count it
// or not, so the byte counts are looked at as the launcher gives them.
TEST(UninstallEntry, GivesItsStringsWithTheirExactByteCounts)
{
    std::vector<GivenValue> given = GivenByTheEntry("E:\\");
    ASSERT_EQ(3u, given.size()) << "the import of RegSetValueExA could not be watched, or values are missing";
    const std::pair<const char*, std::string> expected[] = {{"DisplayName", std::string("Vesk Marlit Deinstallieren", 27)},
        {"UninstallString", "E:\\Vesk.exe /U"}, {"InstallLocation", std::string("C:\\VeskMarlit\\", 15)}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(expected[i].first, given[i].name);
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), given[i].type) << given[i].name;
        EXPECT_EQ(expected[i].second, given[i].bytes) << "the uninstall string without its zero, the others with it";
    }
    given = GivenByTheEntry("D:\\");
    ASSERT_EQ(3u, given.size());
    EXPECT_EQ("D:\\Vesk.exe /U", given[1].bytes) << "the medium's drive at the time of installation";
}

// The journeys find installations through the entry; here its location lacks the backslash,
// and then its values are damaged or the settings file is not there.
TEST_F(InstallLocation, TheSettingsFileThereIsReadAndDamagedValuesOrNoFileAreNoInstallation)
{
    EXPECT_FALSE(ReadSettingsFromInstallLocation()) << "without an uninstall entry nothing is installed";
    test::WriteWholeFile(dir_ + "\\VeskMarlit.ini", Lines("VonHD", dir_ + "\\Lib"));
    Record(dir_);
    EXPECT_TRUE(ReadSettingsFromInstallLocation());
    EXPECT_EQ(dir_ + "\\", g_launcher.InstallRoot);
    EXPECT_STRCASEEQ((dir_ + "\\Lib").c_str(), g_launcher.LibraryDir);
    Record(dir_ + "\\", REG_BINARY);
    EXPECT_FALSE(ReadSettingsFromInstallLocation());
    Record(dir_ + "\\" + std::string(300, 'x') + "\\");
    EXPECT_FALSE(ReadSettingsFromInstallLocation()) << "longer than a path buffer";
    Record("");
    EXPECT_FALSE(ReadSettingsFromInstallLocation()) << "not the current directory's file";
    DeleteFileA((dir_ + "\\VeskMarlit.ini").c_str());
    Record(dir_ + "\\");
    EXPECT_FALSE(ReadSettingsFromInstallLocation());
    CreateDirectoryA((dir_ + "\\VeskMarlit.ini").c_str(), nullptr);
    EXPECT_FALSE(ReadSettingsFromInstallLocation()) << "a directory of that name is no settings file";
}

namespace {

// The copy pass from a small medium of the full installation's files; the system calls
// by which it searches the medium and closes what it wrote fail where a test says.
HANDLE(WINAPI* g_findFirst)(LPCSTR, LPWIN32_FIND_DATAA);
BOOL(WINAPI* g_findNext)(HANDLE, LPWIN32_FIND_DATAA);
BOOL(WINAPI* g_closeHandle)(HANDLE);
std::string g_unreadablePattern; // its search fails at once
std::string g_searchCutAfter;    // its search fails after the first entry
std::string g_lastPattern;
HANDLE g_lastSearch = INVALID_HANDLE_VALUE;
int g_closes = 0;

HANDLE WINAPI FindFirstOnAFailingMedium(LPCSTR pattern, LPWIN32_FIND_DATAA match)
{
    if (!g_unreadablePattern.empty() && lstrcmpiA(pattern, g_unreadablePattern.c_str()) == 0) {
        SetLastError(ERROR_NOT_READY);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE search = g_findFirst(pattern, match);
    g_lastPattern = pattern;
    g_lastSearch = search;
    return search;
}

BOOL WINAPI FindNextOnAFailingMedium(HANDLE search, LPWIN32_FIND_DATAA match)
{
    if (search == g_lastSearch && lstrcmpiA(g_lastPattern.c_str(), g_searchCutAfter.c_str()) == 0) {
        SetLastError(ERROR_CRC); // a read error half-way through the folder
        return FALSE;
    }
    return g_findNext(search, match);
}

// Every handle goes, and every close reports the write error it might have found.
BOOL WINAPI CloseReportingAWriteError(HANDLE handle)
{
    g_closeHandle(handle);
    ++g_closes;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

// No convtop16.dll and no smackw32.dll: a pattern without matches is no loss.
const char* const kMediumFiles[] = {"KS\\alpha.tga", "KS\\default.tga", "Lib\\a.dat", "Lib\\b.dat", "Lib\\c.dat",
                                    "NNet\\n.dat", "Vesk.exe", "prot_d.exe"};

class CopyPass : public testing::Test {
protected:
    void SetUp() override
    {
        g_unreadablePattern.clear();
        g_searchCutAfter.clear();
        g_closes = 0;
        scratch_ = test::MakeScratchDirectory("copypass");
        medium_ = scratch_ + "\\cd\\";
        target_ = scratch_ + "\\VeskMarlit\\";
        for (const char* dir : {"", "Lib", "NNet", "KS"})
            CreateDirectoryA((medium_ + dir).c_str(), nullptr);
        for (const char* dir : {"", "Lib", "NNet", "KartenSets"})
            CreateDirectoryA((target_ + dir).c_str(), nullptr);
        for (const char* file : kMediumFiles)
            test::WriteWholeFile(medium_ + file, std::string("bytes of ") + file);
        g_launcher = LauncherState{};
        CopyText(g_launcher.SourceRoot, medium_.c_str());
        CopyText(g_launcher.InstallRoot, target_.c_str());
    }
    void TearDown() override { test::RemoveTree(scratch_); }
    std::vector<std::string> Copy()
    {
        std::vector<std::string> failures;
        CopyInstallationFiles(kFullInstallFiles, nullptr, failures);
        return failures;
    }
    bool Arrived(const char* file) { return test::ReadWholeFile(target_ + file) == std::string("bytes of ") + file; }
    std::string scratch_, medium_, target_;
};

} // namespace

TEST_F(CopyPass, SearchesThatFailAtOnceOrHalfWayAreReportedAndTheRestIsCopied)
{
    g_unreadablePattern = medium_ + "Vesk.exe";
    g_searchCutAfter = medium_ + "Lib\\*.*";
    test::ImportPatch first(nullptr, "kernel32.dll", "FindFirstFileA", FindFirstOnAFailingMedium, &g_findFirst);
    test::ImportPatch next(nullptr, "kernel32.dll", "FindNextFileA", FindNextOnAFailingMedium, &g_findNext);
    ASSERT_TRUE(first.Active() && next.Active());
    EXPECT_EQ((std::vector<std::string>{medium_ + "Vesk.exe", medium_ + "Lib\\*.*"}), Copy())
        << "a search broken off is not taken for its end";
    EXPECT_FALSE(Arrived("Vesk.exe"));
    EXPECT_TRUE(Arrived("prot_d.exe"));
    EXPECT_TRUE(Arrived("NNet\\n.dat")) << "the next pattern is copied all the same";
}

TEST_F(CopyPass, ADestinationWhoseCloseFailsIsNotCompletelyCopied)
{
    std::vector<std::string> failures;
    {
        test::ImportPatch close(nullptr, "kernel32.dll", "CloseHandle", CloseReportingAWriteError, &g_closeHandle);
        ASSERT_TRUE(close.Active());
        failures = Copy();
    }
    EXPECT_GT(g_closes, 0);
    std::vector<std::string> every;
    for (const char* file : kMediumFiles)
        every.push_back(medium_ + file);
    std::sort(failures.begin(), failures.end());
    EXPECT_EQ(every, failures);
}
