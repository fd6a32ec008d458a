#include "launcher/launcher_state.h"
#include "launcher/launcher_win.h"
#include "launcher/text.h"

// The child inherits the launcher's current directory, so the directory of the command
// line is made current first. The cut is at the last backslash of the whole line, which
// lies in the arguments when they hold one; the callers pass lines whose arguments have
// none. The directory is never set back.
int RunProgram(const char* commandLine, int noWait)
{
    char directory[kPathSize] = "";
    if (CopyText(directory, commandLine) && CutAtLastBackslash(directory))
        SetCurrentDirectoryA(directory);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    // CreateProcessA may write into the command line it is given, so it gets a copy; the
    // system takes the program from the line itself (no application name).
    char line[kPathSize];
    if (!CopyText(line, commandLine))
        return 0;
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 0;
    if (noWait == 0)
        WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return 1;
}
