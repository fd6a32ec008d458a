// The game start's text: the graphics files' paths and the game's command line. Portable,
// so that it is tested natively.
#pragma once

#include <cstddef>
#include <cstdint>

enum class GraphicsFile { Key, Data };

// The path of the key or data file for the resolution (kHighResolution: "skatgrf.key" and
// "skatgrf.dat", kLowResolution: "skatgrf640.key" and "skatgrf640.dat") in the library
// directory, which has no trailing backslash. False, with path left empty, when it would
// not fit the buffer.
bool FormatGraphicsPath(char* path, std::size_t size, const char* libraryDir, int resolution, GraphicsFile file);

// "<installRoot>prot_d.exe high 0x<data> 0x<key>" ("low" for kLowResolution), the addresses
// in lower-case hexadecimal without leading zeros. installRoot ends with a backslash. False,
// with line left empty, when it would not fit the buffer.
bool FormatGameCommandLine(char* line, std::size_t size, int resolution, const char* installRoot,
                           std::uintptr_t dataView, std::uintptr_t keyView);

// A path that names one place whatever the current directory and drive: a drive letter
// with its root ("G:\...") or a share ("\\server\share..."). Not "", "VeskMarlit\",
// the drive-relative "G:VeskMarlit\" nor the root-relative "\VeskMarlit\".
bool IsAbsolutePath(const char* path);
