// The intro end to end: the real Vesk.exe from the sample medium plays E:\intro's films on
// the full-screen display of Wine's virtual desktop, hands over to the credits crawl, and
// returns to a launcher that still works.
#include "resources/resource.h"
#include "tests/e2e/e2e_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

using namespace e2e;

namespace {

constexpr char kHighFilm[] = "E:\\intro\\intro.smk";
constexpr char kLowFilm[] = "E:\\intro\\intro320.smk";
// Set by the test step that runs this program in a prefix without a virtual desktop, where
// the display mode cannot be changed.
constexpr char kNoDisplayModes[] = "VESK_E2E_NO_DISPLAY_MODES";

// How long a film runs, from its header: frame count at 12, frame rate at 16 (positive:
// milliseconds a frame; negative: tens of microseconds; zero: ten frames a second).
DWORD FilmMilliseconds(const char* path)
{
    std::string header = ReadWholeFile(path).substr(0, 20);
    if (header.size() < 20)
        return 0;
    std::uint32_t frames;
    std::int32_t rate;
    std::memcpy(&frames, header.data() + 12, 4);
    std::memcpy(&rate, header.data() + 16, 4);
    double frameMs = rate > 0 ? rate : rate < 0 ? -rate / 100.0 : 100.0;
    return DWORD(frames * frameMs);
}

// The screen's size as another process sees it. (Under Wine another process is told the
// desktop's colour depth, not the mode's 8 bits; the film player's own tests check those.)
struct ScreenMode {
    DWORD Width, Height;
    bool operator==(const ScreenMode&) const = default;
};

ScreenMode CurrentMode()
{
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    return {mode.dmPelsWidth, mode.dmPelsHeight};
}

std::ostream& operator<<(std::ostream& out, const ScreenMode& m) { return out << m.Width << "x" << m.Height; }

class Intro : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_SAMPLE_MEDIUM();
        desktop_ = CurrentMode();
        dir_ = ScratchDirectory("intro");
        WriteWholeFile(dir_ + "\\VeskMarlit.ini", kFullInstallationSettings);
    }
    void TearDown() override
    {
        ui::Kill(launcher_.program);
        for (const char* film : {kHighFilm, kLowFilm})
            MoveFileA((std::string(film) + ".hidden").c_str(), film);
        if (!dir_.empty())
            RemoveTree(dir_);
    }
    void Start()
    {
        launcher_ = StartLauncher(kLauncher, dir_.c_str());
        ASSERT_NE(nullptr, launcher_.dialog);
    }
    HWND WaitForFilm(DWORD timeout = kTimeout)
    {
        return ui::WaitForWindow(launcher_.program.id, kFilmTitle, kFilmClass, timeout);
    }
    // After every intro: the desktop's mode, the arrow, and a launcher that still works.
    void ExpectLauncherBack()
    {
        EXPECT_TRUE(ui::WaitUntil([&] { return CurrentMode() == desktop_; }, 5000))
            << "the desktop's mode " << desktop_ << " is back, not " << CurrentMode();
        EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), ui::WaitForExit(launcher_.program, 1000))
            << "the launcher is still running";
        EXPECT_TRUE(IsWindowVisible(launcher_.dialog));
    }
    DWORD Close()
    {
        ui::Click(launcher_.dialog, IDC_CLOSE);
        return ui::WaitForExit(launcher_.program, kTimeout);
    }
    // Plays the intro of one button to its end: the film in its mode, a screenshot while it
    // runs, the crawl after its last frame, ended with Escape.
    void PlayToTheEnd(int button, const char* film, ScreenMode mode, const char* filmShot, const char* crawlShot)
    {
        DWORD length = FilmMilliseconds(film);
        ASSERT_GT(length, 2000u) << film;
        ui::Click(launcher_.dialog, button);
        HWND window = WaitForFilm();
        ASSERT_NE(nullptr, window);
        DWORD start = GetTickCount();
        EXPECT_TRUE(ui::WaitUntil([&] { return CurrentMode() == mode; }, 5000)) << CurrentMode();
        RECT rect = {};
        GetWindowRect(window, &rect);
        EXPECT_GE(rect.right - rect.left, LONG(mode.Width)) << "the film window covers the screen";
        EXPECT_GE(rect.bottom - rect.top, LONG(mode.Height));
        Sleep(length / 2);
        EXPECT_TRUE(ui::Screenshot(filmShot));
        EXPECT_TRUE(IsWindow(window)) << "the film is still running";
        // Past the last frame the crawl runs over it, and the film window stays meanwhile;
        // five seconds in, its first lines have come up the screen.
        DWORD elapsed = GetTickCount() - start;
        Sleep(length + 5000 > elapsed ? length + 5000 - elapsed : 0);
        EXPECT_TRUE(IsWindow(window)) << "the crawl follows the last frame";
        EXPECT_EQ(mode, CurrentMode());
        EXPECT_TRUE(ui::Screenshot(crawlShot));
        EXPECT_TRUE(EscapeUntilGone(window));
        ExpectLauncherBack();
    }
    Launcher launcher_;
    std::string dir_;
    ScreenMode desktop_{};
};

} // namespace

TEST_F(Intro, HighResolutionPlaysAt640x480ThenTheCrawlThenTheDesktop)
{
    Start();
    PlayToTheEnd(IDC_INTRO_HIGH, kHighFilm, {640, 480}, "film-640x480", "intro-crawl-640x480");
    EXPECT_EQ(1u, Close());
}

TEST_F(Intro, LowResolutionPlaysAt320x240ThenTheCrawlThenTheDesktop)
{
    Start();
    PlayToTheEnd(IDC_INTRO_LOW, kLowFilm, {320, 240}, "film-320x240", "intro-crawl-320x240");
    EXPECT_EQ(1u, Close());
}

TEST_F(Intro, EscapeInTheMiddleOfTheFilmStartsTheCrawlAtOnce)
{
    DWORD length = FilmMilliseconds(kHighFilm);
    Start();
    ui::Click(launcher_.dialog, IDC_INTRO_HIGH);
    HWND window = WaitForFilm();
    ASSERT_NE(nullptr, window);
    DWORD start = GetTickCount();
    Sleep(1000);
    EXPECT_TRUE(EscapeFilmAndCrawl(window, "intro-crawl-after-escape-640x480"));
    EXPECT_LT(GetTickCount() - start, length) << "the rest of the film was not shown";
    ExpectLauncherBack();
    EXPECT_EQ(1u, Close());
}

TEST_F(Intro, AMissingFilmShowsNothingAndTheLauncherStaysOpen)
{
    ASSERT_TRUE(MoveFileA(kHighFilm, (std::string(kHighFilm) + ".hidden").c_str()));
    Start();
    ui::Click(launcher_.dialog, IDC_INTRO_HIGH);
    EXPECT_EQ(nullptr, WaitForFilm(2000));
    EXPECT_EQ(desktop_, CurrentMode());
    // A quit message left behind would have ended the launcher's dialog by now.
    ExpectLauncherBack();
    // The other film still plays.
    ui::Click(launcher_.dialog, IDC_INTRO_LOW);
    HWND window = WaitForFilm();
    ASSERT_NE(nullptr, window);
    Sleep(500);
    EXPECT_TRUE(EscapeFilmAndCrawl(window));
    ExpectLauncherBack();
    EXPECT_EQ(1u, Close());
}

TEST_F(Intro, ASecondIntroInTheSameRunPlaysLikeTheFirst)
{
    Start();
    for (int button : {IDC_INTRO_HIGH, IDC_INTRO_LOW, IDC_INTRO_HIGH}) {
        SCOPED_TRACE(button);
        ui::Click(launcher_.dialog, button);
        HWND window = WaitForFilm();
        ASSERT_NE(nullptr, window);
        ScreenMode want = button == IDC_INTRO_HIGH ? ScreenMode{640, 480} : ScreenMode{320, 240};
        EXPECT_TRUE(ui::WaitUntil([&] { return CurrentMode() == want; }, 5000)) << CurrentMode();
        Sleep(800);
        EXPECT_TRUE(EscapeFilmAndCrawl(window));
        ExpectLauncherBack();
    }
    EXPECT_EQ(1u, Close());
}

TEST_F(Intro, ADisplayThatCannotBeOpenedShowsNothingAndTheLauncherStaysOpen)
{
    if (!GetEnvironmentVariableA(kNoDisplayModes, nullptr, 0))
        GTEST_SKIP() << "runs in the intro test step's prefix, which has no virtual desktop";
    Start();
    for (int button : {IDC_INTRO_HIGH, IDC_INTRO_LOW}) {
        ui::Click(launcher_.dialog, button);
        // The film window exists only for the moment the display is tried.
        Sleep(2000);
        EXPECT_EQ(nullptr, WaitForFilm(0));
        EXPECT_EQ(desktop_, CurrentMode());
        ExpectLauncherBack();
    }
    EXPECT_EQ(1u, Close());
}
