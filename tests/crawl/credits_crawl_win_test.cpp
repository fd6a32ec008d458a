// The whole crawl on the full-screen display, over a picture standing in for the film's
// last frame, with the medium's glyph font from drive E: and the MCI commands recorded.
#include "crawl/cd_audio_win.h"
#include "crawl/crawl_music_win.h"
#include "crawl/credits_crawl.h"
#include "crawl/crawl_text.h"
#include "intro/full_screen_display.h"
#include "launcher/launcher_state.h"
#include "tests/crawl/crawl_win_support.h"
#include "tools/uidriver/uidriver.h"

#include "tests/support/win_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<UINT>* g_messages = nullptr;
bool g_noCdDrive = false; // every open fails, as on a machine without a CD drive

MCIERROR WINAPI RecordMessage(MCIDEVICEID, UINT message, DWORD_PTR, DWORD_PTR parameters)
{
    g_messages->push_back(message);
    if (message == MCI_OPEN) {
        if (g_noCdDrive)
            return MCIERR_INVALID_DEVICE_NAME;
        reinterpret_cast<MCI_OPEN_PARMSA*>(parameters)->wDeviceID = 5;
    }
    return 0;
}

constexpr char kMediumMusic[] = "E:\\Music\\Track02.ogg";

// Whether some program holds the file open: an open that shares nothing is refused then.
bool FileHeld(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

// A second into the crawl: 1 when the music file is held, 0 when not.
DWORD WINAPI ProbeMusicFile(void*)
{
    Sleep(1000);
    return FileHeld(kMediumMusic) ? 1 : 0;
}

// A dark blue sky in entries 10 to 127 with a few stars, and greys in 128 to 245 for the
// text to find its shades among, as a film's last frame might have them.
void PaintPicture()
{
    PALETTEENTRY entries[256];
    g_display.Palette->GetEntries(0, 0, 256, entries);
    for (int i = 10; i < 128; ++i)
        entries[i] = {static_cast<BYTE>(i / 8), static_cast<BYTE>(i / 5), static_cast<BYTE>(30 + i), 0};
    for (int i = 128; i < 246; ++i) {
        auto v = static_cast<BYTE>((i - 128) * 255 / 117);
        entries[i] = {v, v, v, 0};
    }
    g_display.Palette->SetEntries(0, 0, 256, entries);
    ForEachFrontRow([](std::uint8_t* row, int y) {
        for (int x = 0; x < g_display.Width; ++x) {
            unsigned hash = (static_cast<unsigned>(x) * 73856093u) ^ (static_cast<unsigned>(y) * 19349663u);
            bool star = (hash >> 7) % 701u == 0;
            row[x] = static_cast<std::uint8_t>(star ? 245 : 10 + y * 117 / g_display.Height);
        }
    });
}

std::vector<std::uint8_t> FrontPixels()
{
    std::vector<std::uint8_t> pixels;
    ForEachFrontRow([&](std::uint8_t* row, int) { pixels.insert(pixels.end(), row, row + g_display.Width); });
    return pixels;
}

// The rows from first to last (inclusive) are as they were.
bool RowsUnchanged(const std::vector<std::uint8_t>& before, const std::vector<std::uint8_t>& after, int first,
                   int last)
{
    int w = g_display.Width;
    std::size_t end = static_cast<std::size_t>(last + 1) * w;
    if (before.size() < end || after.size() < end)
        return false;
    return std::memcmp(before.data() + first * w, after.data() + first * w, (last - first + 1) * w) == 0;
}

BOOL CALLBACK FindErrorText(HWND child, LPARAM found)
{
    char text[64] = "";
    GetWindowTextA(child, text, sizeof text);
    if (std::strcmp(text, "Error reading:") == 0)
        *reinterpret_cast<bool*>(found) = true;
    return TRUE;
}

// Waits for the read-error box of "intro.txt" and answers it: 0 when it came with its text,
// 1 when no such box came, 2 when its text was another.
DWORD WINAPI AnswerReadError(void*)
{
    HWND box = ui::WaitForWindow(GetCurrentProcessId(), "intro.txt", nullptr, 10000);
    if (!box)
        return 1;
    bool found = false;
    EnumChildWindows(box, FindErrorText, reinterpret_cast<LPARAM>(&found));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return found ? 0 : 2;
}

// Lets the crawl run a while, asks the harness for a screenshot, then holds Escape down.
DWORD WINAPI ShootThenEscape(void* name)
{
    Sleep(9000);
    ui::Screenshot(static_cast<const char*>(name));
    ui::KeyDown(VK_ESCAPE);
    return 0;
}

class CreditsCrawlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "crawl-test-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder.c_str(), nullptr);
        ASSERT_TRUE(CopyFileA("E:\\ALPHABET.DAT", (folder + "\\ALPHABET.DAT").c_str(), FALSE))
            << "the sample medium as drive E: holds the glyph font";
        GetCurrentDirectoryA(MAX_PATH, startDirectory);
        SetCurrentDirectoryA(folder.c_str());
        g_messages = &messages;
        g_mciSendCommand = RecordMessage;
        g_cdDeviceId = kNoCdDevice;
        g_launcher.LauncherDialog = window.handle();
        std::strcpy(g_launcher.SourceRoot, "E:\\");
    }

    void TearDown() override
    {
        // The crawl pumps no messages: the key messages of a test's Escape wait in the
        // queue, where the next message box would take them for its own.
        MSG message;
        while (PeekMessageA(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
            ;
        if (g_display.DirectDraw)
            CloseDisplay();
        g_mciSendCommand = mciSendCommandA;
        g_messages = nullptr;
        g_noCdDrive = false;
        g_cdDeviceId = kNoCdDevice;
        SetCurrentDirectoryA(startDirectory);
        DeleteFileA((folder + "\\intro.txt").c_str());
        DeleteFileA((folder + "\\ALPHABET.DAT").c_str());
        RemoveDirectoryA(folder.c_str());
    }

    void UseText(const std::string& latin1) { ASSERT_TRUE(test::WriteWholeFile(folder + "\\intro.txt", latin1)); }

    void OpenWithPicture(int low)
    {
        ASSERT_EQ(OpenDisplay(window.handle(), low), DisplayOutcome::Ready);
        ClearBackBuffer(1);
        ClearBackBuffer(0);
        PaintPicture();
        picture = FrontPixels();
    }

    // Runs the crawl; returns how long it took in milliseconds.
    DWORD Crawl()
    {
        DWORD start = GetTickCount();
        RunCreditsCrawl();
        return GetTickCount() - start;
    }

    void ExpectMusicStartedAndStopped()
    {
        EXPECT_EQ(messages, (std::vector<UINT>{MCI_OPEN, MCI_SET, MCI_STATUS, MCI_PLAY, MCI_STOP, MCI_CLOSE}));
    }

    TestWindow window;
    std::string folder;
    char startDirectory[MAX_PATH] = "";
    std::vector<UINT> messages;
    std::vector<std::uint8_t> picture;
};

// One line of umlauts, whose dots fill the glyphs' top scanlines: at the last scroll
// position (28) the lowest rows show them, and only those.
const char kOneLine[] = "*\xC4\xD6\xDC \xC4\xD6\xDC \xC4\xD6\xDC\r\n";

// Both resolutions: 29 steps of 50 ms (the tick count is coarser than the performance
// counter), then the line has passed out of all rows above its lowest five, which show its
// top scanlines, and the rows below the crawl area are untouched.
TEST_F(CreditsCrawlTest, OneLineRunsItsCourseOverThePicture)
{
    for (int low : {0, 1}) {
        SCOPED_TRACE(low ? "320x240" : "640x480");
        const std::size_t width = low ? 320 : 640, bottom = low ? 239 : 479;
        messages.clear();
        UseText(kOneLine);
        ASSERT_NO_FATAL_FAILURE(OpenWithPicture(low));
        DWORD elapsed = Crawl();
        EXPECT_GE(elapsed, 1450u - 20u);
        EXPECT_LT(elapsed, 10000u);
        std::vector<std::uint8_t> after = FrontPixels();
        ASSERT_EQ(after.size(), width * (bottom + 1));
        EXPECT_TRUE(RowsUnchanged(picture, after, 0, bottom - 10));
        EXPECT_FALSE(RowsUnchanged(picture, after, bottom - 9, bottom - 5));
        EXPECT_TRUE(RowsUnchanged(picture, after, bottom - 4, bottom));
        ExpectMusicStartedAndStopped();
        EXPECT_EQ(g_crawlText.Buffer, nullptr);
        EXPECT_EQ(g_crawlText.LineLimit, 0);
        EXPECT_EQ(GetCursor(), nullptr) << "the crawl hides the cursor and leaves it hidden";
        CloseDisplay();
    }
}

// Without a drive the medium's ripped track plays from the crawl's start and is let go at
// its natural end, where the drive would have been stopped.
TEST_F(CreditsCrawlTest, WithoutADriveTheMediumsMusicFilePlaysUntilTheEnd)
{
    g_noCdDrive = true;
    ASSERT_FALSE(FileHeld(kMediumMusic)) << "the sample medium has " << kMediumMusic;
    UseText(std::string(kOneLine) + kOneLine);
    ASSERT_NO_FATAL_FAILURE(OpenWithPicture(0));
    HANDLE probe = CreateThread(nullptr, 0, ProbeMusicFile, nullptr, 0, nullptr);
    DWORD elapsed = Crawl();
    WaitForSingleObject(probe, 10000);
    DWORD held = 99;
    GetExitCodeThread(probe, &held);
    CloseHandle(probe);
    EXPECT_GE(elapsed, 2850u - 20u) << "two lines, 57 steps: the pace is the same with music";
    EXPECT_LT(elapsed, 10000u);
    EXPECT_EQ(1u, held) << "held a second into the crawl";
    EXPECT_EQ(messages, (std::vector<UINT>{MCI_OPEN, MCI_OPEN})) << "no device opened, none stopped";
    EXPECT_EQ(-1, g_crawlMusic.FileIndex);
    EXPECT_EQ(nullptr, g_crawlMusic.Buffer);
    EXPECT_FALSE(FileHeld(kMediumMusic)) << "released when the crawl returns";
}

TEST_F(CreditsCrawlTest, MissingTextLastsAsLongAsOneLineAndShowsThePictureOnly)
{
    // No "intro.txt": the read-error box appears; the test's helper answers it.
    ASSERT_NO_FATAL_FAILURE(OpenWithPicture(0));
    HANDLE answer = CreateThread(nullptr, 0, AnswerReadError, nullptr, 0, nullptr);
    DWORD start = GetTickCount();
    RunCreditsCrawl();
    DWORD elapsed = GetTickCount() - start;
    WaitForSingleObject(answer, 10000);
    DWORD answered = 99;
    GetExitCodeThread(answer, &answered);
    CloseHandle(answer);
    EXPECT_EQ(answered, 0u) << "1: no box with the caption intro.txt, 2: not the text Error reading:";
    EXPECT_GE(elapsed, 1450u - 20u);
    EXPECT_EQ(FrontPixels(), picture);
}

// The medium's own credits, stopped by Escape after a few seconds (pressed from another
// thread, as the user's key comes from outside the crawl's loop); a screenshot of the
// screen in each resolution is taken meanwhile for the documentation.
class MediumCrawlTest : public CreditsCrawlTest, public ::testing::WithParamInterface<int> {};

TEST_P(MediumCrawlTest, MediumCreditsRecedeIntoTheDistanceUntilEscape)
{
    const std::string text = test::ReadWholeFile("E:\\intro.txt");
    ASSERT_FALSE(text.empty()) << "the sample medium's credits";
    UseText(text);
    int low = GetParam();
    ASSERT_NO_FATAL_FAILURE(OpenWithPicture(low));
    const char* shot = low ? "crawl-320x240" : "crawl-640x480";
    HANDLE helper = CreateThread(nullptr, 0, ShootThenEscape, const_cast<char*>(shot), 0, nullptr);
    DWORD elapsed = Crawl();
    WaitForSingleObject(helper, 30000);
    CloseHandle(helper);
    ui::KeyUp(VK_ESCAPE);
    EXPECT_GE(elapsed, 9000u);
    EXPECT_LT(elapsed, 60000u) << "Escape ends the crawl";
    std::vector<std::uint8_t> after = FrontPixels();
    int h = g_display.Height;
    EXPECT_FALSE(RowsUnchanged(picture, after, h * 5 / 8, h * 15 / 16)) << "text in the lower part by then";
    EXPECT_TRUE(RowsUnchanged(picture, after, 0, h / 8 - 1)) << "nothing above the crawl area";
    ExpectMusicStartedAndStopped();
}

INSTANTIATE_TEST_SUITE_P(BothResolutions, MediumCrawlTest, ::testing::Values(0, 1));

} // namespace
