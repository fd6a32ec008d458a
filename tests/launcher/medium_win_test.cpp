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

struct PromptSearch {
    HWND prompt;
    HWND text;
};

BOOL CALLBACK FindPromptText(HWND child, LPARAM lParam)
{
    if (ui::Text(child) != ui::kPromptText)
        return TRUE;
    reinterpret_cast<PromptSearch*>(lParam)->text = child;
    return FALSE;
}

BOOL CALLBACK FindPrompt(HWND window, LPARAM lParam)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window))
        return TRUE;
    auto* search = reinterpret_cast<PromptSearch*>(lParam);
    EnumChildWindows(window, FindPromptText, lParam);
    if (!search->text)
        return TRUE;
    search->prompt = window;
    return FALSE;
}

PromptSearch WaitForPrompt()
{
    PromptSearch search = {};
    for (int i = 0; i < 250 && !search.prompt; ++i) {
        EnumWindows(FindPrompt, reinterpret_cast<LPARAM>(&search));
        if (!search.prompt)
            Sleep(20);
    }
    return search;
}

void SendEscape(DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = VK_ESCAPE;
    input.ki.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

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
    PromptSearch seen = {};
    RECT where = {};
    bool painted = false;
    std::thread user([&] {
        seen = WaitForPrompt();
        if (seen.prompt)
            GetWindowRect(seen.prompt, &where);
        // Nothing pumps messages meanwhile, yet the text must be on the screen: no part of
        // the prompt may still wait for painting.
        Sleep(100);
        painted = seen.prompt && !GetUpdateRect(seen.prompt, nullptr, FALSE) && !GetUpdateRect(seen.text, nullptr, FALSE);
        Sleep(600); // at least one more scan with the prompt up
        SendEscape(0);
    });
    int result = LocateSourceMedium();
    user.join();
    SendEscape(KEYEVENTF_KEYUP);

    EXPECT_EQ(0, result);
    ASSERT_NE(nullptr, seen.prompt) << "the prompt with its three lines never appeared";
    EXPECT_TRUE(painted) << "the prompt's text was never painted";
    EXPECT_FALSE(IsWindow(seen.prompt)) << "the prompt is destroyed on Escape";
    EXPECT_STREQ("", g_launcher.SourceRoot);
    EXPECT_STREQ("", g_launcher.IntroDir);
    // Centred on the screen, without caption.
    int w = where.right - where.left, h = where.bottom - where.top;
    EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - w) / 2, where.left);
    EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - h) / 2, where.top);
}
