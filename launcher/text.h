// Bounded text building for the launcher's fixed path buffers.
//
// The launcher builds every path by copying and appending into buffers of kPathSize bytes.
// These helpers never write past a buffer and never truncate: a result that would not fit
// leaves the destination unchanged and returns false, so that a caller can skip the path
// instead of silently using a shorter, different one.
#pragma once

#include <cstddef>

bool CopyText(char* dst, std::size_t size, const char* src);
bool AppendText(char* dst, std::size_t size, const char* src);

// Joins several pieces into dst: all of them, or nothing.
bool JoinText(char* dst, std::size_t size, const char* a, const char* b, const char* c = nullptr);

template <std::size_t N> bool CopyText(char (&dst)[N], const char* src) { return CopyText(dst, N, src); }
template <std::size_t N> bool AppendText(char (&dst)[N], const char* src) { return AppendText(dst, N, src); }
template <std::size_t N> bool JoinText(char (&dst)[N], const char* a, const char* b, const char* c = nullptr)
{
    return JoinText(dst, N, a, b, c);
}

// The letters a to z become A to Z, in place; every other byte stays.
void UpperCaseAscii(char* text);

// Ends text at its last backslash (the backslash becomes the terminator). Returns false and
// leaves text alone when it holds no backslash.
bool CutAtLastBackslash(char* text);

// Ends a file's path after its directory: at the last backslash, which stays where it
// follows a drive, since "E:" alone names the current directory of drive E, not its root
// ("E:\Vesk.exe" gives "E:\"). Returns false and leaves text alone when it holds no
// backslash.
bool CutToDirectory(char* text);
