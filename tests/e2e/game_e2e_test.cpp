// The game start end to end: the real Vesk.exe starts the medium's stand-in game, which
// reads the two graphics views out of the launcher and reports what it found. (The first
// games after a real installation are part of the installation's journey.)
#include "resources/resource.h"
#include "tests/e2e/e2e_support.h"
#include "tests/game/game_report.h"

#include <gtest/gtest.h>

#include <map>

using namespace e2e;

namespace {

constexpr char kInstallRoot[] = "C:\\vesk-e2e-game-root\\";
constexpr char kLibrary[] = "C:\\vesk-e2e-game-root\\Lib";

// An installed game prepared by hand, as a full installation leaves it: the settings file
// in the directory the launcher starts in, the game and its graphics files copied from the
// medium.
class Game : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_SAMPLE_MEDIUM();
        dir_ = ScratchDirectory("game");
        RemoveTree(std::string(kInstallRoot, sizeof kInstallRoot - 2));
        CreateDirectoryA(kInstallRoot, nullptr);
        CreateDirectoryA(kLibrary, nullptr);
        ASSERT_TRUE(CopyFileA("E:\\prot_d.exe", (std::string(kInstallRoot) + "prot_d.exe").c_str(), FALSE));
        for (const char* name : {"skatgrf.key", "skatgrf.dat", "skatgrf640.key", "skatgrf640.dat"})
            ASSERT_TRUE(CopyFileA((std::string("E:\\Lib\\") + name).c_str(), Library(name).c_str(), FALSE)) << name;
        std::string root = kInstallRoot;
        WriteWholeFile(dir_ + "\\VeskMarlit.ini", "VonHD\r\n" + root + "\r\n" + root + "SaveGames\r\n" + root +
                                                       "KartenSets\r\n" + root + "Protokolle\r\n" + kLibrary +
                                                       "\r\n" + root + "NNet\r\n");
        report_ = dir_ + "\\report.txt";
    }
    void TearDown() override
    {
        SetEnvironmentVariableA(kReportVariable, nullptr);
        ui::Kill(launcher_.program);
        if (dir_.empty())
            return;
        RemoveTree(dir_);
        RemoveTree(std::string(kInstallRoot, sizeof kInstallRoot - 2));
    }
    static std::string Library(const char* name) { return std::string(kLibrary) + "\\" + name; }
    // The launcher and the games it starts write their reports; the variable is inherited.
    void StartReporting()
    {
        SetEnvironmentVariableA(kReportVariable, report_.c_str());
        launcher_ = StartLauncher(kLauncher, dir_.c_str());
        ASSERT_NE(nullptr, launcher_.dialog);
    }
    // Clicks a play button and waits for the game's report; the launcher is blocked until
    // the game has ended and answers again afterwards.
    std::map<std::string, std::string> Play(int button)
    {
        DeleteFileA(report_.c_str());
        ui::Click(launcher_.dialog, button);
        ui::WaitUntil([&] { return Exists(report_); }, kTimeout);
        Sleep(300);
        return ReadGameReport(report_);
    }
    void ExpectFilesReleased()
    {
        for (const char* name : {"skatgrf.key", "skatgrf.dat", "skatgrf640.key", "skatgrf640.dat"})
            EXPECT_TRUE(ui::WaitUntil([&] { return OpenableExclusively(Library(name)); }, 3000))
                << name << " is still held by the launcher";
    }
    Launcher launcher_;
    std::string dir_, report_;
};

} // namespace

TEST_F(Game, LowThenHighGiveTheGameItsModeAndTheirTwoFilesDataFirstAndAMissingFileEndsTheLauncher)
{
    StartReporting();
    auto low = Play(IDC_PLAY_LOW);
    ASSERT_FALSE(low.empty()) << "the game did not report";
    EXPECT_EQ("low", low["mode"]);
    EXPECT_EQ("valid", low["arguments"]);
    EXPECT_STRCASEEQ("Vesk.exe", low["parent"].c_str());
    EXPECT_STRCASEEQ("C:\\vesk-e2e-game-root", low["directory"].c_str()) << "the game starts in the installation";
    EXPECT_EQ(FirstBytesOfFile(Library("skatgrf640.dat")), low["data.first"]);
    EXPECT_EQ(FirstBytesOfFile(Library("skatgrf640.key")), low["key.first"]);
    ExpectFilesReleased();

    auto high = Play(IDC_PLAY_HIGH);
    ASSERT_FALSE(high.empty()) << "the game did not report";
    EXPECT_EQ("high", high["mode"]);
    EXPECT_EQ(FirstBytesOfFile(Library("skatgrf.dat")), high["data.first"]);
    EXPECT_EQ(FirstBytesOfFile(Library("skatgrf.key")), high["key.first"]);
    ExpectFilesReleased();
    EXPECT_EQ(nullptr, ui::WaitForWindow(launcher_.program.id, nullptr, kFilmClass, 0))
        << "without an installation in this run, no intro comes first";

    // A graphics file gone: the launcher ends with 0, without a message and without a game.
    ASSERT_TRUE(DeleteFileA(Library("skatgrf.dat").c_str()));
    DeleteFileA(report_.c_str());
    ui::Click(launcher_.dialog, IDC_PLAY_HIGH);
    EXPECT_EQ(0u, ui::WaitForExit(launcher_.program, kTimeout));
    EXPECT_FALSE(Exists(report_)) << "no game was started";
}

TEST_F(Game, TheGameShowsItsWindowWhileTheLauncherWaits)
{
    launcher_ = StartLauncher(kLauncher, dir_.c_str());
    ASSERT_NE(nullptr, launcher_.dialog);
    ui::Click(launcher_.dialog, IDC_PLAY_HIGH);
    HWND game = ui::WaitForWindow(0, kGameTitle, kGameClass, kTimeout);
    ASSERT_NE(nullptr, game);
    EXPECT_TRUE(ui::Screenshot("game-window"));
    for (const char* name : {"skatgrf.key", "skatgrf.dat"})
        EXPECT_FALSE(OpenableExclusively(Library(name))) << name << " is mapped while the game runs";
    EXPECT_TRUE(OpenableExclusively(Library("skatgrf640.dat"))) << "only the high-resolution files";

    ui::ClickWindow(game);
    ui::PressKey(VK_ESCAPE);
    EXPECT_TRUE(ui::WaitForWindowGone(game, kTimeout)) << "Escape ends the game";
    ExpectFilesReleased();
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), ui::WaitForExit(launcher_.program, 500));
    ui::Click(launcher_.dialog, IDC_CLOSE);
    EXPECT_EQ(1u, ui::WaitForExit(launcher_.program, kTimeout));
}
