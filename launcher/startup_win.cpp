#include "install/installation.h"
#include "launcher/launcher_state.h"
#include "launcher/launcher_win.h"
#include "launcher/settings.h"
#include "resources/resource.h"

#include <objbase.h>

#include <cstring>

namespace {

// A second launcher recognises the first by this named mapping.
constexpr char kInstanceMappingName[] = "MyTestMap";
constexpr DWORD kInstanceMappingSize = 32;

// Exit codes: 1 after the dialog was closed, 0 when the launcher gave up early.
constexpr int kExitNormal = 1;
constexpr int kExitEarly = 0;

bool FileExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

} // namespace

int LauncherMain(HINSTANCE instance, const char* commandLine)
{
    g_launcher.Instance = instance;
    if (!LocateSourceMedium())
        return kExitEarly;

    g_launcher.Installed = FileExists(kSettingsFileName);
    GetFullPathNameA("Vesk.exe", kPathSize - 1, g_launcher.OwnPath, nullptr);
    if (g_launcher.Installed)
        ReadSettingsFile(kSettingsFileName);
    else // a read-only medium kept no settings file: the installation's own copy counts
        g_launcher.Installed = ReadSettingsFromInstallLocation();

    g_launcher.UninstallMode = std::strstr(commandLine, "/U") != nullptr;

    // The installed copy that hands a removal over to the medium may still be running when
    // the medium's launcher starts with "/U", so that start is not refused.
    HANDLE instanceMapping = nullptr;
    if (!g_launcher.UninstallMode) {
        instanceMapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READONLY, 0, kInstanceMappingSize,
                                             kInstanceMappingName);
        if (instanceMapping && GetLastError() == ERROR_ALREADY_EXISTS) {
            CloseHandle(instanceMapping);
            return kExitEarly;
        }
    }

    // For the screen's DPI; the dialog makes it anew for its monitor's where that differs.
    g_launcher.UiFont = CreateUiFont(WindowDpi(nullptr));
    // The shortcut of the installation is made through COM. A failure shows when the
    // shortcut is saved.
    CoInitialize(nullptr);

    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_LAUNCHER), nullptr, LauncherDialogProc, 0);

    CoUninitialize();
    if (g_launcher.UiFont)
        DeleteObject(g_launcher.UiFont);
    if (instanceMapping)
        CloseHandle(instanceMapping);
    return kExitNormal;
}
