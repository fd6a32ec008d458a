// The launcher shell end to end: the real Vesk.exe from the sample medium on drive E:.
#include "resources/resource.h"
#include "tests/e2e/e2e_support.h"

#include <gtest/gtest.h>

#include <vector>

using namespace e2e;

namespace {


// The launcher and the film library it imports, as an installation places them.
bool CopyLauncherTo(const std::string& dir)
{
    return CopyFileA(kLauncher, (dir + "\\Vesk.exe").c_str(), FALSE)
        && CopyFileA("E:\\smackw32.dll", (dir + "\\smackw32.dll").c_str(), FALSE);
}

class LauncherShell : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_SAMPLE_MEDIUM();
    }
    void TearDown() override
    {
        for (auto* launcher : {&first_, &second_, &third_})
            ui::Kill(launcher->program);
        MoveFileA("E:\\Vesk.exe.hidden", kLauncher);
    }
    // Clicks "Schließen" and returns the exit code.
    DWORD Close(Launcher& launcher)
    {
        ui::Click(launcher.dialog, IDC_CLOSE);
        return ui::WaitForExit(launcher.program, kTimeout);
    }
    Launcher first_, second_, third_;
};

} // namespace

TEST_F(LauncherShell, WithoutTheMediumThePromptWaitsAndEscapeEndsWithZero)
{
    // The launcher copied to the hard disk, the CD's marker out of sight.
    std::string dir = ScratchDirectory("nomedium");
    ASSERT_TRUE(CopyLauncherTo(dir));
    ASSERT_TRUE(MoveFileA(kLauncher, "E:\\Vesk.exe.hidden"));
    ASSERT_TRUE(ui::Start(first_.program, dir + "\\Vesk.exe", dir.c_str()));

    HWND prompt = ui::WaitForWindowWithText(first_.program.id, kPromptText, kTimeout);
    ASSERT_NE(nullptr, prompt) << "the prompt with its three lines";
    ui::Screenshot("launcher-prompt");
    EXPECT_EQ(nullptr, ui::WaitForWindow(first_.program.id, kLauncherTitle, kDialogClass, 0));

    ui::PressKey(VK_RETURN);
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), ui::WaitForExit(first_.program, 1500)) << "Enter does not give up";

    ui::KeyDown(VK_ESCAPE);
    DWORD code = ui::WaitForExit(first_.program, kTimeout);
    ui::KeyUp(VK_ESCAPE);
    EXPECT_EQ(0u, code);
    RemoveTree(dir);
}

TEST_F(LauncherShell, InsertingTheMediumAtThePromptStartsTheLauncher)
{
    std::string dir = ScratchDirectory("insert");
    ASSERT_TRUE(CopyLauncherTo(dir));
    ASSERT_TRUE(MoveFileA(kLauncher, "E:\\Vesk.exe.hidden"));
    ASSERT_TRUE(ui::Start(first_.program, dir + "\\Vesk.exe", dir.c_str()));
    HWND prompt = ui::WaitForWindowWithText(first_.program.id, kPromptText, kTimeout);
    ASSERT_NE(nullptr, prompt);

    ASSERT_TRUE(MoveFileA("E:\\Vesk.exe.hidden", kLauncher));
    first_.dialog = ui::WaitForWindow(first_.program.id, kLauncherTitle, kDialogClass, kTimeout);
    ASSERT_NE(nullptr, first_.dialog) << "prompt still there: " << IsWindow(prompt)
                                      << ", launcher state: " << ui::WaitForExit(first_.program, 0);
    EXPECT_FALSE(IsWindow(prompt));
    EXPECT_EQ(1u, Close(first_));
    RemoveTree(dir);
}

TEST_F(LauncherShell, NotInstalledShowsInstallAndCloseAndCloseEndsWithOne)
{
    first_ = StartLauncher(kLauncher, "E:\\");
    ASSERT_NE(nullptr, first_.dialog);
    EXPECT_EQ(kNotInstalledButtons, ui::VisibleControls(first_.dialog, kAllButtons));
    ui::Screenshot("launcher-not-installed");

    // Held down, the label moves; released over the button, "Schließen" closes.
    ui::MouseDownOn(first_.dialog, IDC_CLOSE);
    ui::Screenshot("launcher-button-held");
    ui::MouseUp();
    EXPECT_EQ(1u, ui::WaitForExit(first_.program, kTimeout));
}

TEST_F(LauncherShell, ASettingsFileInTheCurrentDirectoryShowsAllSix)
{
    std::string dir = ScratchDirectory("installed");
    WriteWholeFile(dir + "\\VeskMarlit.ini", kFullInstallationSettings);
    first_ = StartLauncher(kLauncher, dir.c_str());
    ASSERT_NE(nullptr, first_.dialog);
    EXPECT_EQ(kAllButtons, ui::VisibleControls(first_.dialog, kAllButtons));
    ui::Screenshot("launcher-installed");
    EXPECT_EQ(1u, Close(first_));
    EXPECT_EQ(kFullInstallationSettings, ReadWholeFile(dir + "\\VeskMarlit.ini")) << "a full installation is never rewritten";
    RemoveTree(dir);
}

TEST_F(LauncherShell, ASettingsFileIsEnoughWhateverItHolds)
{
    std::string dir = ScratchDirectory("emptyini");
    WriteWholeFile(dir + "\\VeskMarlit.ini", "");
    first_ = StartLauncher(kLauncher, dir.c_str());
    ASSERT_NE(nullptr, first_.dialog);
    EXPECT_EQ(kAllButtons, ui::VisibleControls(first_.dialog, kAllButtons));
    EXPECT_EQ(1u, Close(first_));
    RemoveTree(dir);
}

TEST_F(LauncherShell, APlayFromCdInstallationFollowsTheMediumToDriveE)
{
    std::string dir = ScratchDirectory("repair");
    WriteWholeFile(dir + "\\VeskMarlit.ini", "VonCD\r\nC:\\VeskMarlit\\\r\nC:\\VeskMarlit\\SaveGames\r\n"
                                        "C:\\VeskMarlit\\KartenSets\r\nC:\\VeskMarlit\\Protokolle\r\n"
                                        "D:\\Lib\r\nD:\\NNet\r\n");
    first_ = StartLauncher(kLauncher, dir.c_str());
    ASSERT_NE(nullptr, first_.dialog);
    EXPECT_EQ("VonCD\r\nC:\\VeskMarlit\\\r\nC:\\VeskMarlit\\SaveGames\r\nC:\\VeskMarlit\\KartenSets\r\n"
              "C:\\VeskMarlit\\Protokolle\r\nE:\\LIB\r\nE:\\NNet\r\n",
              ReadWholeFile(dir + "\\VeskMarlit.ini"));
    EXPECT_EQ(1u, Close(first_));
    RemoveTree(dir);
}

TEST_F(LauncherShell, ASecondLauncherEndsAtOnceButUninstallModeIsNotRefused)
{
    first_ = StartLauncher(kLauncher, "E:\\");
    ASSERT_NE(nullptr, first_.dialog);

    ASSERT_TRUE(ui::Start(second_.program, kLauncher, "E:\\"));
    EXPECT_EQ(0u, ui::WaitForExit(second_.program, kTimeout));

    // "/U" skips the guard: this launcher starts and, with nothing installed, acts on its
    // install button at once; the options dialog comes up before the launcher's own is shown.
    ASSERT_TRUE(ui::Start(third_.program, std::string(kLauncher) + " /U", "E:\\"));
    EXPECT_NE(nullptr, ui::WaitForWindow(third_.program.id, "Installation", kDialogClass, kTimeout));
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), ui::WaitForExit(third_.program, 1000));
    ui::Kill(third_.program);

    EXPECT_EQ(1u, Close(first_));
    // Once the first has ended, a new launcher is not refused.
    second_ = StartLauncher(kLauncher, "E:\\");
    ASSERT_NE(nullptr, second_.dialog);
    EXPECT_EQ(1u, Close(second_));
}

TEST_F(LauncherShell, EscapeEnterAndCommandOneDoNotCloseTheLauncher)
{
    first_ = StartLauncher(kLauncher, "E:\\");
    ASSERT_NE(nullptr, first_.dialog);
    SetForegroundWindow(first_.dialog);
    ui::PressKey(VK_ESCAPE);
    ui::PressKey(VK_RETURN);
    PostMessageA(first_.dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    PostMessageA(first_.dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), ui::WaitForExit(first_.program, 1500));
    EXPECT_TRUE(IsWindowVisible(first_.dialog));
    EXPECT_EQ(1u, Close(first_));
}
