// File and directory helpers shared by the Windows tests.
#pragma once

#include <windows.h>

#include <string>

namespace test {

// The directory of the running test program, without trailing backslash.
std::string ProgramDirectory();
// A fresh, empty directory below the Windows temporary folder.
std::string MakeScratchDirectory(const char* name);
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
std::string CurrentDirectory();
// Removes a directory with everything in it.
void RemoveTree(const std::string& path);

} // namespace test
