#include "install/file_list.h"

#include "launcher/text.h"

#include <cstring>

const FileList kFullInstallFiles = {{"convtop16.dll", "Vesk.exe", "smackw32.dll", "prot_d.exe", "Lib\\*.*", "NNet\\*.*"}};
const FileList kFromCdInstallFiles = {{"convtop16.dll", "Vesk.exe", "smackw32.dll", "prot_d.exe"}};

const FileList& FileListForMode(int installMode)
{
    return installMode == 2 ? kFromCdInstallFiles : kFullInstallFiles;
}

std::uint64_t BlockCount(std::uint64_t bytes)
{
    return bytes / kCopyBlockSize + (bytes % kCopyBlockSize != 0 ? 1 : 0);
}

std::uint32_t SizeInKibibytes(std::uint64_t bytes)
{
    constexpr std::uint64_t kKibibyte = 1024;
    std::uint64_t kibibytes = bytes / kKibibyte + (bytes % kKibibyte != 0 ? 1 : 0);
    return kibibytes > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(kibibytes);
}

bool RelativeName(char* out, std::size_t size, const char* pattern, const char* matchName)
{
    const char* lastBackslash = std::strrchr(pattern, '\\');
    if (!lastBackslash)
        return CopyText(out, size, matchName);
    std::size_t directoryLength = static_cast<std::size_t>(lastBackslash - pattern) + 1;
    char directory[kFileListEntrySize];
    if (directoryLength >= sizeof directory)
        return false;
    std::memcpy(directory, pattern, directoryLength);
    directory[directoryLength] = '\0';
    return JoinText(out, size, directory, matchName);
}

namespace {

// A message box taller than the screen hides its button; past this many names the rest
// are only counted.
constexpr std::size_t kListedFailures = 15;
// A name without blanks cannot be wrapped, and the box grows as wide as the name: longer
// names show their beginning and their end.
constexpr std::size_t kListedNameLength = 64;
constexpr std::size_t kNameHead = 28;
constexpr char kNameGap[] = "...";
constexpr std::size_t kNameTail = kListedNameLength - kNameHead - (sizeof kNameGap - 1);

std::string ListedName(const std::string& name)
{
    if (name.size() <= kListedNameLength)
        return name;
    std::string shown(name, 0, kNameHead);
    shown.append(kNameGap).append(name, name.size() - kNameTail, kNameTail);
    return shown;
}

} // namespace

std::string CopyFailureMessage(const std::vector<std::string>& files)
{
    std::string text = "Diese Dateien konnten nicht vollst\xe4ndig kopiert werden:\n";
    for (std::size_t i = 0; i < files.size() && i < kListedFailures; ++i)
        text.append("\n").append(ListedName(files[i]));
    if (files.size() > kListedFailures)
        text.append("\n... und ").append(std::to_string(files.size() - kListedFailures)).append(" weitere");
    return text;
}
