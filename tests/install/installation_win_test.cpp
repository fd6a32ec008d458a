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
#include <shlobj.h>

using namespace installtest;

namespace {

class Shortcut : public testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        scratch_ = test::MakeScratchDirectory("shortcut");
    }
    void TearDown() override
    {
        test::RemoveTree(scratch_);
        CoUninitialize();
    }
    std::string scratch_;
};

struct LinkFacts {
    std::string path, directory, description, arguments;
};

LinkFacts ReadLink(const std::string& file)
{
    LinkFacts facts;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return facts;
    IPersistFile* persist = nullptr;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))
        && SUCCEEDED(persist->Load(wide, STGM_READ))) {
        char text[MAX_PATH] = "";
        link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
        facts.path = text;
        text[0] = '\0';
        link->GetWorkingDirectory(text, MAX_PATH);
        facts.directory = text;
        text[0] = '\0';
        link->GetDescription(text, MAX_PATH);
        facts.description = text;
        text[0] = '\0';
        link->GetArguments(text, MAX_PATH);
        facts.arguments = text;
    }
    if (persist)
        persist->Release();
    link->Release();
    return facts;
}

} // namespace

TEST_F(Shortcut, PointsAtTheTargetAndStartsInItsDirectory)
{
    std::string target = scratch_ + "\\VeskMarlit\\Vesk.exe"; // not there yet, as in an installation
    std::string file = scratch_ + "\\VeskMarlit.lnk";
    EXPECT_TRUE(SUCCEEDED(CreateShortcut(target.c_str(), "", file.c_str(), "VeskMarlit")));
    LinkFacts facts = ReadLink(file);
    EXPECT_STRCASEEQ(target.c_str(), facts.path.c_str());
    EXPECT_STRCASEEQ((scratch_ + "\\VeskMarlit").c_str(), facts.directory.c_str());
    EXPECT_EQ("VeskMarlit", facts.description);
    EXPECT_EQ("", facts.arguments);
}

TEST_F(Shortcut, AFailedSaveShowsAnEmptyBoxAndReportsTheFailure)
{
    std::string caption = "unset", text = "unset";
    bool okAndCancel = false;
    DialogAnswerer answerer([&](HWND box) {
        char buffer[64] = "";
        GetWindowTextA(box, buffer, sizeof buffer);
        caption = buffer;
        text = MessageBoxText(box);
        okAndCancel = GetDlgItem(box, IDOK) && GetDlgItem(box, IDCANCEL);
        PressButton(box, IDCANCEL);
        return true;
    });
    std::string file = scratch_ + "\\Fehlt\\VeskMarlit.lnk"; // no such folder
    EXPECT_TRUE(FAILED(CreateShortcut("C:\\VeskMarlit\\Vesk.exe", "", file.c_str(), "VeskMarlit")));
    EXPECT_EQ(1, answerer.Answered());
    EXPECT_EQ("", caption);
    EXPECT_EQ("", text);
    EXPECT_TRUE(okAndCancel);
}

namespace {

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
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        RegSetValueExA(key, "InstallLocation", 0, type, reinterpret_cast<const BYTE*>(location.c_str()),
                       static_cast<DWORD>(location.size() + 1));
        RegCloseKey(key);
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

TEST_F(InstallLocation, WithoutAnUninstallEntryNothingIsInstalled)
{
    EXPECT_FALSE(ReadSettingsFromInstallLocation());
    EXPECT_STREQ("", g_launcher.InstallRoot);
}

TEST_F(InstallLocation, TheInstallationsOwnSettingsFileIsRead)
{
    test::WriteWholeFile(dir_ + "\\VeskMarlit.ini", Lines("VonHD", dir_ + "\\Lib"));
    Record(dir_ + "\\");
    EXPECT_TRUE(ReadSettingsFromInstallLocation());
    EXPECT_EQ(dir_ + "\\", g_launcher.InstallRoot);
    EXPECT_EQ(dir_ + "\\SaveGames", g_launcher.SaveGameDir);
    EXPECT_STRCASEEQ((dir_ + "\\Lib").c_str(), g_launcher.LibraryDir);
    EXPECT_EQ(dir_ + "\\NNet", g_launcher.NetworkDir);
}

TEST_F(InstallLocation, APlayFromCdFileThereFollowsTheMedium)
{
    test::WriteWholeFile(dir_ + "\\VeskMarlit.ini", Lines("VonCD", "D:\\Lib"));
    Record(dir_); // also without its trailing backslash
    EXPECT_TRUE(ReadSettingsFromInstallLocation());
    EXPECT_STREQ("E:\\LIB", g_launcher.LibraryDir);
    EXPECT_STREQ("E:\\NNet", g_launcher.NetworkDir);
    EXPECT_EQ(Lines("VonCD", "E:\\LIB"), test::ReadWholeFile(dir_ + "\\VeskMarlit.ini"));
}

TEST_F(InstallLocation, AnEntryWithoutASettingsFileThereIsNoInstallation)
{
    Record(dir_ + "\\");
    EXPECT_FALSE(ReadSettingsFromInstallLocation());
    CreateDirectoryA((dir_ + "\\VeskMarlit.ini").c_str(), nullptr);
    EXPECT_FALSE(ReadSettingsFromInstallLocation()) << "a directory of that name is no settings file";
}

TEST_F(InstallLocation, DamagedValuesAreNoInstallation)
{
    test::WriteWholeFile(dir_ + "\\VeskMarlit.ini", Lines("VonHD", dir_ + "\\Lib"));
    Record(dir_ + "\\", REG_BINARY);
    EXPECT_FALSE(ReadSettingsFromInstallLocation());
    Record(dir_ + "\\" + std::string(300, 'x') + "\\");
    EXPECT_FALSE(ReadSettingsFromInstallLocation()) << "longer than a path buffer";
    Record("");
    EXPECT_FALSE(ReadSettingsFromInstallLocation()) << "not the current directory's file";
}
