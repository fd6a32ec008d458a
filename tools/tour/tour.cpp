// The scripted tour of ./vesk run without a display: drives the launcher from the sample
// medium through its main paths and leaves screenshots of each step.
#include "resources/resource.h"
#include "tools/uidriver/uidriver.h"

#include <cstdio>

namespace {

constexpr DWORD kWindowTimeout = 20000;

void Shot(const char* name)
{
    if (ui::Screenshot(name))
        std::printf("  %s.png\n", name);
    else
        std::printf("  (no screenshot %s)\n", name);
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
    HWND dialog = ui::WaitForWindow(launcher.id, "Vesk Marlit", "#32770", kWindowTimeout);
    if (!dialog) {
        std::printf("the launcher dialog did not appear\n");
        ui::Kill(launcher);
        return 1;
    }
    Shot("01-launcher");

    ui::MouseDownOn(dialog, IDC_CLOSE);
    Shot("02-button-held");
    ui::MouseUp(); // releasing "Schließen" closes the launcher
    DWORD code = ui::WaitForExit(launcher, kWindowTimeout);
    std::printf("launcher closed with exit code %lu\n", code);
    ui::Kill(launcher);
    return code == 1 ? 0 : 1;
}
