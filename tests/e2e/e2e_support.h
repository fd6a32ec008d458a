// Shared set-up of the end-to-end tests: they start the real Vesk.exe from the sample
// medium on CD-ROM drive E: of the test prefix and drive it through tools/uidriver.
#pragma once

#include "tests/support/win_files.h"
#include "tools/uidriver/launcher_ui.h"
#include "tools/uidriver/uidriver.h"

#include <string>

namespace e2e {

constexpr DWORD kTimeout = 20000;
constexpr char kLauncher[] = "E:\\Vesk.exe";
using namespace ui;

// A fresh, empty directory on C: for a test to start the launcher in.
std::string ScratchDirectory(const char* name);
bool Exists(const std::string& path);
using test::ReadWholeFile;
using test::RemoveTree;
using test::WriteWholeFile;

// Starts a launcher and waits for its dialog; the dialog is null when it did not appear.
struct Launcher {
    ui::Program program;
    HWND dialog = nullptr;
};
Launcher StartLauncher(const std::string& commandLine, const char* directory);
// Clicks "Schließen" and returns the exit code.
DWORD Close(Launcher& launcher);

// Holds Escape down until the film window is gone: the crawl reads the key's state.
bool EscapeUntilGone(HWND film, DWORD timeout = kTimeout);
// Escape during the film: the film ends at once and the crawl takes over. Whether the crawl
// counts the same press as its own end is the crawl's affair (under Wine a key sent before
// the crawl began may not show in its key state); when it is still running a moment later,
// Escape held down ends it.
bool EscapeFilmAndCrawl(HWND film);

} // namespace e2e
