#include "install/install_paths.h"

#include "launcher/text.h"

#include <cstdio>
#include <cstring>

bool FormatDriveEntry(char* out, std::size_t size, const char* root, std::uint64_t freeBytes)
{
    char freeText[32];
    std::snprintf(freeText, sizeof freeText, " %lluMB frei", static_cast<unsigned long long>(freeBytes >> 20));
    return JoinText(out, size, root, freeText);
}

namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool EqualIgnoringCase(const char* a, const char* b, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

bool IsInstallationDirectory(const char* path)
{
    constexpr std::size_t kRootLength = 3; // letter, colon, backslash
    constexpr std::size_t kFolderLength = sizeof kInstallFolder - 1;
    if (std::strlen(path) != kRootLength + kFolderLength)
        return false;
    if (!IsAsciiLetter(path[0]) || path[1] != ':' || path[2] != '\\')
        return false;
    return EqualIgnoringCase(path + kRootLength, kInstallFolder, kFolderLength);
}

bool SettingsFileInDirectory(char* out, std::size_t size, const char* directory)
{
    std::size_t n = std::strlen(directory);
    if (n == 0)
        return false;
    const char* separator = directory[n - 1] == '\\' ? "" : "\\";
    return JoinText(out, size, directory, separator, kSettingsFileTitle);
}
