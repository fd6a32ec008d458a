// Locating the medium in the test prefix (the launcher journey walks Enter and the medium
// inserted at the prompt): D: is an empty CD-ROM drive, E: a CD-ROM drive
// holding the sample medium, F: a fixed drive with a decoy "Vesk.exe".
#include "launcher/launcher_state.h"
#include "launcher/launcher_win.h"
#include "tests/support/win_files.h"
#include "tools/uidriver/launcher_ui.h"
#include "tools/uidriver/uidriver.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

constexpr char kMarker[] = "E:\\Vesk.exe";
constexpr char kHiddenMarker[] = "E:\\Vesk.exe.hidden";

class Medium : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_SAMPLE_MEDIUM();
        g_launcher = LauncherState{};
        g_launcher.Instance = GetModuleHandleA(nullptr);
    }
    void TearDown() override
    {
        MoveFileA(kHiddenMarker, kMarker);
        RemoveDirectoryA("D:\\Vesk.exe");
    }
};

} // namespace

TEST_F(Medium, IsFoundOnTheCdRomDriveThatHoldsTheMarkerTheLowerLetterFirst)
{
    EXPECT_EQ(1, LocateSourceMedium());
    EXPECT_STREQ("E:\\", g_launcher.SourceRoot);
    EXPECT_STREQ("E:\\intro", g_launcher.IntroDir);
    // A directory called "Vesk.exe" passes the existence test as well as a file.
    ASSERT_TRUE(CreateDirectoryA("D:\\Vesk.exe", nullptr));
    EXPECT_EQ(1, LocateSourceMedium());
    EXPECT_STREQ("D:\\", g_launcher.SourceRoot);
    EXPECT_STREQ("D:\\intro", g_launcher.IntroDir);
}

TEST_F(Medium, WithoutTheMediumThePromptWaitsUntilEscape)
{
    ASSERT_TRUE(MoveFileA(kMarker, kHiddenMarker));
    HWND prompt = nullptr;
    bool centred = false, painted = false;
    std::thread user([&] {
        prompt = ui::WaitForWindowWithText(GetCurrentProcessId(), ui::kPromptText, 5000);
        HWND text = prompt ? GetWindow(prompt, GW_CHILD) : nullptr;
        while (text && ui::Text(text) != ui::kPromptText)
            text = GetWindow(text, GW_HWNDNEXT);
        centred = test::Centred(prompt);
        // Nothing pumps messages meanwhile, yet the text must be on the screen: no part of
        // the prompt may still wait for painting.
        Sleep(100);
        painted = text && !GetUpdateRect(prompt, nullptr, FALSE) && !GetUpdateRect(text, nullptr, FALSE);
        Sleep(600); // at least one more scan with the prompt up
        ui::KeyDown(VK_ESCAPE);
    });
    int result = LocateSourceMedium();
    user.join();
    ui::KeyUp(VK_ESCAPE);

    EXPECT_EQ(0, result);
    ASSERT_NE(nullptr, prompt) << "the prompt with its three lines never appeared";
    EXPECT_TRUE(painted) << "the prompt's text was never painted";
    EXPECT_FALSE(IsWindow(prompt)) << "the prompt is destroyed on Escape";
    EXPECT_STREQ("", g_launcher.SourceRoot);
    EXPECT_STREQ("", g_launcher.IntroDir);
    EXPECT_TRUE(centred);
}
