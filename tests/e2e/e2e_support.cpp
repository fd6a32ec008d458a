#include "tests/e2e/e2e_support.h"

#include <cstdio>

namespace e2e {

bool HaveMedium() { return GetDriveTypeA("E:\\") == DRIVE_CDROM && Exists(kLauncher); }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

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
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

std::string ScratchDirectory(const char* name)
{
    std::string dir = std::string("C:\\vesk-e2e-") + name;
    RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::string ReadFile(const std::string& path)
{
    std::string bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            bytes.append(buffer, n);
        std::fclose(file);
    }
    return bytes;
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

Launcher StartLauncher(const std::string& commandLine, const char* directory)
{
    Launcher launcher;
    if (ui::Start(launcher.program, commandLine, directory))
        launcher.dialog = ui::WaitForWindow(launcher.program.id, kDialogTitle, kDialogClass, kTimeout);
    return launcher;
}

} // namespace e2e
