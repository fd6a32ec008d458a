// Names and checks of the installation directory and the drive list. Portable: no Windows
// header.
#pragma once

#include <cstddef>
#include <cstdint>

// The folder that an installation appends to the chosen drive root.
inline constexpr const char kInstallFolder[] = "VeskMarlit\\";
// The settings file's own name, for addressing it in a directory other than the current.
inline constexpr const char kSettingsFileTitle[] = "VeskMarlit.ini";

// An entry of the install options dialog's drive list: the root, a blank, the free space in
// whole mebibytes and "MB frei" ("C:\ 31MB frei"). Returns false, leaving out unchanged,
// when the text does not fit.
bool FormatDriveEntry(char* out, std::size_t size, const char* root, std::uint64_t freeBytes);

// True only for a directory that an installation makes: a drive root followed by
// "VeskMarlit\" (letters compared without regard to case), nothing before and nothing
// after. A removal deletes no other directory tree.
bool IsInstallationDirectory(const char* path);

// directory + "VeskMarlit.ini", with a backslash in between when the directory lacks its
// trailing one. Returns false when the result does not fit or the directory is empty.
bool SettingsFileInDirectory(char* out, std::size_t size, const char* directory);
