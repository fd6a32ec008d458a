#include "tests/e2e/e2e_support.h"

namespace e2e {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ScratchDirectory(const char* name)
{
    std::string dir = std::string("C:\\vesk-e2e-") + name;
    RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

Launcher StartLauncher(const std::string& commandLine, const char* directory)
{
    Launcher launcher;
    if (ui::Start(launcher.program, commandLine, directory))
        launcher.dialog = ui::WaitForWindow(launcher.program.id, kLauncherTitle, kDialogClass, kTimeout);
    return launcher;
}

bool EscapeUntilGone(HWND film, DWORD timeout)
{
    ui::KeyDown(VK_ESCAPE);
    bool gone = ui::WaitForWindowGone(film, timeout);
    ui::KeyUp(VK_ESCAPE);
    return gone;
}

bool EscapeFilmAndCrawl(HWND film, const char* shot)
{
    ui::PressKey(VK_ESCAPE);
    if (ui::WaitForWindowGone(film, 1500))
        return true;
    if (shot)
        ui::Screenshot(shot);
    return EscapeUntilGone(film);
}

} // namespace e2e
