// The scripted tour of ./vesk run without a display: drives the launcher from the sample
// medium through what a first user does (install, watch the intro, play, remove) and leaves
// a screenshot of each step.
#include "resources/resource.h"
#include "tools/uidriver/launcher_ui.h"
#include "tools/uidriver/uidriver.h"

#include <cstdio>
#include <string>

using namespace ui;

namespace {

constexpr DWORD kTimeout = 30000;
// The largest library file of the sample medium: the progress dialog shows it long enough.
constexpr DWORD kBigLibraryFileSize = 8 << 20;

int g_failures = 0;

DWORD FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
}

void Shot(const char* name, const char* what)
{
    if (ui::Screenshot(name))
        std::printf("  %-28s %s\n", (std::string(name) + ".png").c_str(), what);
    else
        std::printf("  (no screenshot of %s)\n", what);
}

bool Check(bool ok, const char* what)
{
    if (!ok) {
        std::printf("  tour step failed: %s\n", what);
        ++g_failures;
    }
    return ok;
}

void Install(ui::Program& launcher, HWND dialog)
{
    ui::Click(dialog, IDC_INSTALL);
    HWND options = ui::WaitForWindowWithText(launcher.id, "Ziellaufwerk", kTimeout);
    if (!Check(options != nullptr, "the install options dialog"))
        return;
    Shot("02-install-options", "the install options: target drive and \"Von CD Spielen\"");
    ui::Click(options, IDOK);

    // The copy is quick: the launcher is let go in short moments until it is a third into
    // the big library file, and held still while the screen shows that.
    HWND progress = nullptr;
    ui::WaitUntil([&] { return (progress = ui::WaitForWindowWithText(launcher.id, "Gesamt", 0)) != nullptr; }, kTimeout);
    if (progress) {
        ui::Threads threads(launcher);
        const std::string copy = std::string(kInstallDirectory) + "\\" + kBigLibraryFile;
        // Outside the big file the launcher runs freely; inside it, each moment follows a
        // pause longer than the bars' repaint interval, so they catch up at its first block.
        // Under Wine what a window paints reaches the screen at its next painting, so the
        // picture is taken after a few such moments.
        int moments = 0;
        for (DWORD start = GetTickCount(); GetTickCount() - start < kTimeout && IsWindow(progress);) {
            threads.Suspend();
            bool inBigFile = ui::Text(progress) == kBigLibraryFile;
            if (inBigFile && moments >= 3 && FileSize(copy) < kBigLibraryFileSize) {
                Shot("03-install-progress", "copying from the CD with the two progress bars");
                threads.Resume();
                break;
            }
            if (inBigFile) {
                Sleep(60);
                ++moments;
            }
            threads.Resume();
            if (inBigFile)
                Sleep(1);
        }
    }
    Check(ui::WaitUntil([&] { return ui::IsVisible(dialog, IDC_PLAY_HIGH); }, 120000), "the installation ends");
    Sleep(500);
    Shot("04-launcher-installed", "installed: all six buttons, \"Entfernen\"");
}

// Plays the intro of the given button, with screenshots of the film and of the crawl after
// it (and, given a name, of the crawl switched to a window by Alt+Enter and back), then
// ends the crawl with Escape.
void WatchIntro(ui::Program& launcher, HWND dialog, int button, const char* filmShot, const char* crawlShot,
                const char* afterShot, const char* windowShot = nullptr)
{
    ui::Click(dialog, button);
    HWND film = ui::WaitForWindow(launcher.id, kFilmTitle, kFilmClass, kTimeout);
    if (!Check(film != nullptr, "the film window"))
        return;
    Sleep(3500);
    Shot(filmShot, "the intro film, full screen in 8 bits");
    Sleep(11000); // the rest of the film and the first lines of the credits
    Shot(crawlShot, "the credits crawl over the film's last frame");
    if (windowShot) {
        ui::PressWithAlt(VK_RETURN);
        Sleep(1500);
        Shot(windowShot, "Alt+Enter: the crawl goes on in a window, the desktop's mode back");
        ui::PressWithAlt(VK_RETURN);
        Sleep(1500);
    }
    ui::KeyDown(VK_ESCAPE);
    Check(ui::WaitForWindowGone(film, kTimeout), "Escape ends the intro");
    ui::KeyUp(VK_ESCAPE);
    if (afterShot) {
        Sleep(800);
        Shot(afterShot, "back in the launcher, the desktop restored");
    }
}

void Play(ui::Program& launcher, HWND dialog)
{
    // The first game after an installation plays the intro first.
    WatchIntro(launcher, dialog, IDC_PLAY_LOW, "08-film-320x240", "09-crawl-320x240", nullptr);
    HWND game = ui::WaitForWindow(0, kLauncherTitle, kGameClass, kTimeout);
    if (!Check(game != nullptr, "the game window"))
        return;
    Shot("10-game", "the stand-in game, reading the graphics the launcher mapped");
    ui::ClickWindow(game);
    ui::PressKey(VK_ESCAPE);
    Check(ui::WaitForWindowGone(game, kTimeout), "Escape ends the game");
}

void Remove(ui::Program& launcher, HWND dialog)
{
    ui::Click(dialog, IDC_INSTALL);
    HWND box = ui::WaitForWindowWithText(launcher.id, kConfirmation, kTimeout);
    if (!Check(box != nullptr, "the removal's confirmation"))
        return;
    Shot("11-remove-confirm", "removal asks first");
    ui::Click(box, IDYES);
    Check(ui::WaitUntil([&] { return !ui::IsVisible(dialog, IDC_PLAY_HIGH); }, kTimeout), "the removal ends");
    Sleep(500);
    Shot("12-launcher-removed", "removed: back to \"Installieren\"");
}

} // namespace

int main()
{
    std::printf("Tour of the launcher on the sample medium (drive E:)\n");
    ui::Program launcher;
    if (!ui::Start(launcher, "E:\\Vesk.exe", "E:\\")) {
        std::printf("E:\\Vesk.exe could not be started\n");
        return 1;
    }
    HWND dialog = ui::WaitForWindow(launcher.id, kLauncherTitle, kDialogClass, kTimeout);
    if (!dialog) {
        std::printf("the launcher dialog did not appear\n");
        ui::Kill(launcher);
        return 1;
    }
    Shot("01-launcher", "the launcher, nothing installed yet");

    Install(launcher, dialog);
    WatchIntro(launcher, dialog, IDC_INTRO_HIGH, "05-film-640x480", "06-crawl-640x480", "07-after-intro",
               "06-crawl-in-a-window");
    Play(launcher, dialog);
    Remove(launcher, dialog);

    ui::MouseDownOn(dialog, IDC_CLOSE);
    Shot("13-button-held", "a button held down: its label moves one pixel");
    ui::MouseUp(); // released over "Schließen": the launcher ends
    DWORD code = ui::WaitForExit(launcher, kTimeout);
    std::printf("launcher closed with exit code %lu\n", code);
    ui::Kill(launcher);
    return code == 1 && g_failures == 0 ? 0 : 1;
}
