// What an installation copies from the medium, and how the progress bars count it.
// Portable: no Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A FileList holds up to ten patterns relative to SourceRoot, each at most 49 characters:
// a file name or a wildcard pattern ("*.*" matches every entry of a directory), optionally
// behind one directory part that ends in a backslash. The first empty entry ends the list.
constexpr int kFileListEntries = 10;
constexpr int kFileListEntrySize = 50;
struct FileList {
    char entry[kFileListEntries][kFileListEntrySize];
};

extern const FileList kFullInstallFiles;    // InstallMode 1: program files, Lib and NNet
extern const FileList kFromCdInstallFiles;  // InstallMode 2: the program files only
const FileList& FileListForMode(int installMode);

// Files move in blocks of this size, through one buffer of this size; both progress bars
// count blocks.
constexpr std::uint32_t kCopyBlockSize = 4096;

// The number of blocks of a file of the given size: 0 for an empty file, 1 for 1 to 4096
// bytes, 2 for 4097 bytes.
std::uint64_t BlockCount(std::uint64_t bytes);

// A size as the list of installed software takes it: whole KiB, rounded up, at most what
// 32 bits hold.
std::uint32_t SizeInKibibytes(std::uint64_t bytes);

// The name a match of a pattern is copied under, relative to both SourceRoot and
// InstallRoot: the pattern's directory part followed by the match's name ("Lib\*.*" and
// "a.dat" give "Lib\a.dat"), or the match's name alone. Returns false, leaving out
// unchanged, when the result does not fit.
bool RelativeName(char* out, std::size_t size, const char* pattern, const char* matchName);

// The text of the one message box that lists the files an installation could not copy
// completely (ANSI, German). Long lists show their first names and a count of the rest.
std::string CopyFailureMessage(const std::vector<std::string>& files);
