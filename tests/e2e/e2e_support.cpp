#include "tests/e2e/e2e_support.h"

namespace e2e {

bool HaveMedium() { return GetDriveTypeA("E:\\") == DRIVE_CDROM && Exists(kLauncher); }

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

} // namespace e2e
