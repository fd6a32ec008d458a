// The settings file "VeskMarlit.ini": seven text lines that record an installation.
//
//   1  "VonHD" (full installation) or "VonCD" (libraries stay on the medium)
//   2  InstallRoot, with trailing backslash
//   3  save-game directory        4  card-set directory      5  protocol directory
//   6  library directory          7  network directory
//
// Written in text mode, so every line ends in CR LF on disk under Windows.
#pragma once

// The settings file as the launcher addresses it: in the current directory.
inline constexpr const char kSettingsFileName[] = ".\\VeskMarlit.ini";

inline constexpr const char kModeWordFromCd[] = "VonCD";
inline constexpr const char kModeWordFromHd[] = "VonHD";

// Fills InstallRoot and the five directories of g_launcher from the file at path, then
// upper-cases the library directory and SourceRoot and, for a "VonCD" installation whose
// library directory lies on another drive than SourceRoot, points the library and network
// directories at SourceRoot's drive and rewrites the file. Lines missing from the file
// leave their fields as they were. Returns false when the file could not be opened.
bool ReadSettingsFile(const char* path);

// Creates or replaces the file at path with the mode word and the six paths of g_launcher.
// Returns false when the file could not be opened for writing.
bool WriteSettingsFile(const char* path, const char* modeWord);
