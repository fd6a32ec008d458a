#include "launcher/launcher_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    return LauncherMain(instance, commandLine);
}
