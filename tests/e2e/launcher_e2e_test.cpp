// The launcher shell end to end: the real Vesk.exe from the sample medium on drive E:.
#include "resources/resource.h"
#include "tests/e2e/e2e_support.h"

#include <gtest/gtest.h>

#include <vector>

using namespace e2e;

namespace {

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
    Launcher first_, second_, third_;
};

} // namespace

// The launcher copied to the hard disk, the CD's marker out of sight: the prompt waits; Enter
// does not give up, Escape ends with 0; the medium inserted while it waits starts the launcher.
TEST_F(LauncherShell, WithoutTheMediumThePromptWaitsUntilEscapeOrTheMedium)
{
    std::string dir = ScratchDirectory("nomedium");
    // The launcher and the film library it imports, as an installation places them.
    for (const char* name : {"Vesk.exe", "smackw32.dll"})
        ASSERT_TRUE(CopyFileA((std::string("E:\\") + name).c_str(), (dir + "\\" + name).c_str(), FALSE)) << name;
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

    ASSERT_TRUE(ui::Start(third_.program, dir + "\\Vesk.exe", dir.c_str()));
    prompt = ui::WaitForWindowWithText(third_.program.id, kPromptText, kTimeout);
    ASSERT_NE(nullptr, prompt);
    ASSERT_TRUE(MoveFileA("E:\\Vesk.exe.hidden", kLauncher));
    third_.dialog = ui::WaitForWindow(third_.program.id, kLauncherTitle, kDialogClass, kTimeout);
    ASSERT_NE(nullptr, third_.dialog) << "prompt still there: " << IsWindow(prompt)
                                      << ", launcher state: " << ui::WaitForExit(third_.program, 0);
    EXPECT_FALSE(IsWindow(prompt));
    EXPECT_EQ(1u, Close(third_));
    RemoveTree(dir);
}

// Not installed: "Installieren" and "Schließen" only. Escape, Enter and the dialog's own
// commands do not close it; a second launcher ends at once, but "/U" is not refused; held
// down, a label moves, and released over the button "Schließen" ends with 1, after which a
// new launcher is not refused.
TEST_F(LauncherShell, NotInstalledOneLauncherAtATimeAndOnlyCloseEndsIt)
{
    first_ = StartLauncher(kLauncher, "E:\\");
    ASSERT_NE(nullptr, first_.dialog);
    EXPECT_EQ(kNotInstalledButtons, ui::VisibleControls(first_.dialog, kAllButtons));
    ui::Screenshot("launcher-not-installed");

    SetForegroundWindow(first_.dialog);
    ui::PressKey(VK_ESCAPE);
    ui::PressKey(VK_RETURN);
    PostMessageA(first_.dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    PostMessageA(first_.dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), ui::WaitForExit(first_.program, 1500));
    EXPECT_TRUE(IsWindowVisible(first_.dialog));

    ASSERT_TRUE(ui::Start(second_.program, kLauncher, "E:\\"));
    EXPECT_EQ(0u, ui::WaitForExit(second_.program, kTimeout));
    // "/U" skips the guard: this launcher starts and, with nothing installed, acts on its
    // install button at once; the options dialog comes up before the launcher's own is shown.
    ASSERT_TRUE(ui::Start(third_.program, std::string(kLauncher) + " /U", "E:\\"));
    EXPECT_NE(nullptr, ui::WaitForWindow(third_.program.id, "Installation", kDialogClass, kTimeout));
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), ui::WaitForExit(third_.program, 1000));
    ui::Kill(third_.program);

    ui::MouseDownOn(first_.dialog, IDC_CLOSE);
    ui::Screenshot("launcher-button-held");
    ui::MouseUp();
    EXPECT_EQ(1u, ui::WaitForExit(first_.program, kTimeout));
    second_ = StartLauncher(kLauncher, "E:\\");
    ASSERT_NE(nullptr, second_.dialog);
    EXPECT_EQ(1u, Close(second_));
}

// Any settings file in the current directory means installed, whatever it holds; a full
// installation's is never rewritten, a play-from-CD one follows the medium to drive E:.
TEST_F(LauncherShell, ASettingsFileInTheCurrentDirectoryShowsAllSix)
{
    const struct {
        const char* name;
        std::string settings, afterwards;
    } cases[] = {
        {"installed", kFullInstallationSettings, kFullInstallationSettings},
        {"emptyini", "", ""},
        {"repair",
         "VonCD\r\nC:\\VeskMarlit\\\r\nC:\\VeskMarlit\\SaveGames\r\nC:\\VeskMarlit\\KartenSets\r\n"
         "C:\\VeskMarlit\\Protokolle\r\nD:\\Lib\r\nD:\\NNet\r\n",
         "VonCD\r\nC:\\VeskMarlit\\\r\nC:\\VeskMarlit\\SaveGames\r\nC:\\VeskMarlit\\KartenSets\r\n"
         "C:\\VeskMarlit\\Protokolle\r\nE:\\LIB\r\nE:\\NNet\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string dir = ScratchDirectory(c.name);
        WriteWholeFile(dir + "\\VeskMarlit.ini", c.settings);
        first_ = StartLauncher(kLauncher, dir.c_str());
        ASSERT_NE(nullptr, first_.dialog);
        EXPECT_EQ(kAllButtons, ui::VisibleControls(first_.dialog, kAllButtons));
        if (c.settings == kFullInstallationSettings)
            ui::Screenshot("launcher-installed");
        EXPECT_EQ(c.afterwards, ReadWholeFile(dir + "\\VeskMarlit.ini"));
        EXPECT_EQ(1u, Close(first_));
        RemoveTree(dir);
    }
}
