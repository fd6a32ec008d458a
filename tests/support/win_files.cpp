#include "tests/support/win_files.h"

#include <fstream>
#include <iterator>

namespace test {

std::string ProgramDirectory()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s = path;
    return s.substr(0, s.rfind('\\'));
}

std::string MakeScratchDirectory(const char* name)
{
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    std::string dir = std::string(temp) + "vesk-" + name;
    RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

bool FileHeld(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(file);
    return false;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool WriteWholeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), std::streamsize(bytes.size()));
    file.close();
    return !file.fail();
}

namespace {

void PutBackHidden(const std::string& dir)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((dir + "\\*.hidden").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string hidden = dir + "\\" + entry.cFileName;
        std::string name = hidden.substr(0, hidden.size() - 7);
        if (GetFileAttributesA(name.c_str()) == INVALID_FILE_ATTRIBUTES)
            MoveFileA(hidden.c_str(), name.c_str());
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

} // namespace

bool SampleMediumReady()
{
    if (GetDriveTypeA("E:\\") != DRIVE_CDROM)
        return false;
    PutBackHidden("E:");
    PutBackHidden("E:\\intro");
    return GetFileAttributesA("E:\\Vesk.exe") != INVALID_FILE_ATTRIBUTES;
}

bool InTestRun()
{
    char run[MAX_PATH] = "";
    return GetEnvironmentVariableA("VESK_TEST_RUN", run, sizeof run) > 0;
}

std::string CurrentDirectory()
{
    char directory[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof directory, directory);
    return directory;
}

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = path + "\\" + name;
            SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTree(full);
            else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryA(full.c_str()); // a link, as the link it is
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

bool Centred(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return rect.left == (GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2
        && rect.top == (GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2;
}

} // namespace test
