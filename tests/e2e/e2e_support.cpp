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

DWORD Close(Launcher& launcher)
{
    ui::Click(launcher.dialog, IDC_CLOSE);
    return ui::WaitForExit(launcher.program, kTimeout);
}

// Pressed down afresh every half second: under Wine a change of the X focus puts the key
// state back to the X server's, where the key is up, and a crawl would miss a key held once.
bool EscapeUntilGone(HWND film, DWORD timeout)
{
    for (DWORD start = GetTickCount(); IsWindow(film) && GetTickCount() - start < timeout;) {
        ui::KeyDown(VK_ESCAPE);
        ui::WaitForWindowGone(film, 500);
        ui::KeyUp(VK_ESCAPE);
    }
    return !IsWindow(film);
}

bool EscapeFilmAndCrawl(HWND film)
{
    ui::PressKey(VK_ESCAPE);
    return ui::WaitForWindowGone(film, 1500) || EscapeUntilGone(film);
}

} // namespace e2e
