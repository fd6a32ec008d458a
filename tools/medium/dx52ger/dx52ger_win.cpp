// dx52ger.exe: the sample medium's stand-in for the DirectX installer. It shows nothing and
// ends at once. To let tests see that it ran, and where, it appends its current directory
// as one line to "dx52ger.log" in the temporary folder.
#include <windows.h>

#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char log[MAX_PATH], directory[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, log);
    if (n == 0 || n + sizeof "dx52ger.log" > MAX_PATH)
        return 1;
    std::strcat(log, "dx52ger.log");
    DWORD length = GetCurrentDirectoryA(MAX_PATH, directory);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    std::FILE* file = std::fopen(log, "ab");
    if (!file)
        return 1;
    std::fprintf(file, "%s\r\n", directory);
    std::fclose(file);
    return 0;
}
