// Start-up time of the launcher under Wine: from creating the process to its dialog being
// visible on the screen, over several runs, after one warm-up run that is not counted.
#include "resources/resource.h"
#include "tools/uidriver/uidriver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<Search*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    if (owner != search->processId || !IsWindowVisible(window) || lstrcmpA(name, "#32770") != 0)
        return TRUE;
    search->found = window;
    return FALSE;
}

// Milliseconds until the launcher's dialog is visible, or -1.
double TimeOneStart(LARGE_INTEGER frequency)
{
    LARGE_INTEGER start, now;
    QueryPerformanceCounter(&start);
    ui::Program launcher;
    if (!ui::Start(launcher, "E:\\Vesk.exe", "E:\\"))
        return -1;
    Search search = {launcher.id, nullptr};
    for (int i = 0; i < 20000 && !search.found; ++i) {
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
        if (!search.found)
            Sleep(1);
    }
    QueryPerformanceCounter(&now);
    double ms = search.found ? (now.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart : -1;
    if (search.found)
        PostMessageA(search.found, WM_COMMAND, MAKEWPARAM(IDC_CLOSE, 0), 0);
    if (ui::WaitForExit(launcher, 10000) == STILL_ACTIVE)
        ms = -1;
    ui::Kill(launcher);
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = argc > 1 ? std::atoi(argv[1]) : 10;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    TimeOneStart(frequency); // warm-up: the Wine server and the file cache
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        double ms = TimeOneStart(frequency);
        if (ms < 0) {
            std::printf("run %d: the launcher dialog did not appear\n", i + 1);
            return 1;
        }
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("launcher start-up to visible dialog over %d runs: min %.1f ms, median %.1f ms, max %.1f ms\n", runs,
                times.front(), times[times.size() / 2], times.back());
    return 0;
}
