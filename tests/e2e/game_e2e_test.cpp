// The game start end to end: the real Vesk.exe starts the medium's stand-in game and waits
// while it runs. (What the game is given, its mode, directory and views, it reports in the
// installation's journey and in the game start's own tests.)
#include "resources/resource.h"
#include "tests/e2e/e2e_support.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

constexpr char kInstallRoot[] = "C:\\vesk-e2e-game-root\\";
constexpr char kLibrary[] = "C:\\vesk-e2e-game-root\\Lib";

// An installed game prepared by hand, as a full installation leaves it: the settings file
// in the directory the launcher starts in, the game and its graphics files copied from the
// medium to a library folder of the settings' own.
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
        for (const char* name : kGraphicsFiles)
            ASSERT_TRUE(CopyFileA((std::string("E:\\Lib\\") + name).c_str(), Library(name).c_str(), FALSE)) << name;
        std::string root = kInstallRoot;
        WriteWholeFile(dir_ + "\\VeskMarlit.ini", "VonHD\r\n" + root + "\r\n" + root + "SaveGames\r\n" + root +
                                                       "KartenSets\r\n" + root + "Protokolle\r\n" + kLibrary +
                                                       "\r\n" + root + "NNet\r\n");
    }
    void TearDown() override
    {
        ui::Kill(launcher_.program);
        if (dir_.empty())
            return;
        RemoveTree(dir_);
        RemoveTree(std::string(kInstallRoot, sizeof kInstallRoot - 2));
    }
    static std::string Library(const char* name) { return std::string(kLibrary) + "\\" + name; }
    static constexpr const char* kGraphicsFiles[] = {"skatgrf.key", "skatgrf.dat", "skatgrf640.key", "skatgrf640.dat"};
    Launcher launcher_;
    std::string dir_;
};

} // namespace

// The game shows its window while the launcher waits with the high-resolution files mapped
// (no intro comes first without an installation in this run); Escape ends it, and the
// launcher lets the files go and stays. A graphics file gone, the launcher ends with 0,
// without a message and without a game.
TEST_F(Game, TheGameShowsItsWindowWhileTheLauncherWaitsAndAMissingFileEndsTheLauncher)
{
    launcher_ = StartLauncher(kLauncher, dir_.c_str());
    ASSERT_NE(nullptr, launcher_.dialog);
    ui::Click(launcher_.dialog, IDC_PLAY_HIGH);
    HWND game = ui::WaitForWindow(0, kGameTitle, kGameClass, kTimeout);
    ASSERT_NE(nullptr, game);
    EXPECT_EQ(nullptr, ui::WaitForWindow(launcher_.program.id, nullptr, kFilmClass, 0));
    EXPECT_TRUE(ui::Screenshot("game-window"));
    for (const char* name : kGraphicsFiles) {
        const bool high = std::string(name).find("640") == std::string::npos;
        EXPECT_EQ(high, test::FileHeld(Library(name))) << name << ": only the high-resolution files are mapped";
    }

    ui::ClickWindow(game);
    ui::PressKey(VK_ESCAPE);
    EXPECT_TRUE(ui::WaitForWindowGone(game, kTimeout)) << "Escape ends the game";
    for (const char* name : kGraphicsFiles)
        EXPECT_TRUE(ui::WaitUntil([&] { return !test::FileHeld(Library(name)); }, 3000)) << name << " is still held";
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), ui::WaitForExit(launcher_.program, 500));

    ASSERT_TRUE(DeleteFileA(Library("skatgrf.dat").c_str()));
    ui::Click(launcher_.dialog, IDC_PLAY_HIGH);
    EXPECT_EQ(0u, ui::WaitForExit(launcher_.program, kTimeout));
    EXPECT_EQ(nullptr, ui::WaitForWindow(0, kGameTitle, kGameClass, 0)) << "no game was started";
}
