// A child program for the RunProgram tests: writes its current directory and command line
// to the file that VESK_PROBE_OUT names, after sleeping VESK_PROBE_SLEEP milliseconds.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main()
{
    char out[MAX_PATH] = "", sleepText[32] = "";
    if (!GetEnvironmentVariableA("VESK_PROBE_OUT", out, sizeof out))
        return 2;
    if (GetEnvironmentVariableA("VESK_PROBE_SLEEP", sleepText, sizeof sleepText))
        Sleep(static_cast<DWORD>(std::atoi(sleepText)));
    char directory[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof directory, directory);
    std::FILE* file = std::fopen(out, "wb");
    if (!file)
        return 3;
    std::fprintf(file, "%s\n%s\n", directory, GetCommandLineA());
    std::fclose(file);
    return 0;
}
