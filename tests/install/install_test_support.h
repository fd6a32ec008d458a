// Helpers of the installer's Windows tests: links, long paths, progress bars and modal
// dialogs answered from inside the test.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace installtest {

bool IsWine();

// Makes link a link to the directory target: a directory symbolic link on Windows; under
// Wine, which shows a Unix symbolic link to a directory as a reparse point, one made by ln.
bool MakeDirectoryLink(const std::string& link, const std::string& target);

// Paths past MAX_PATH, through the "\\?\" form of the wide functions.
bool MakeLongDirectory(const std::string& path);
bool MakeLongFile(const std::string& path, const std::string& bytes);
bool LongPathExists(const std::string& path);
void RemoveLongFile(const std::string& path);
void RemoveLongTree(const std::string& path);
// Removes a scratch tree that may hold links, even dangling ones, without following them.
void RemoveScratchTree(const std::string& path);

// A progress bar's range and position.
int BarMinimum(HWND bar);
int BarMaximum(HWND bar);
int BarPosition(HWND bar);

// Watches a progress bar and remembers the highest position it has shown.
class BarWatch {
public:
    explicit BarWatch(HWND bar);
    ~BarWatch();
    BarWatch(const BarWatch&) = delete;
    BarWatch& operator=(const BarWatch&) = delete;
    int Peak() const { return peak_; }
    void Reset() { peak_ = 0; }

private:
    static LRESULT CALLBACK Proc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam);
    HWND bar_;
    WNDPROC original_;
    int peak_ = 0;
};

// Answers the modal dialogs (message boxes included) that this thread shows while an
// operation runs: each visible dialog of the thread is handed to the answer, which acts on
// it and returns true when it is done with it. Counts the dialogs answered.
class DialogAnswerer {
public:
    explicit DialogAnswerer(std::function<bool(HWND)> answer);
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;
    int Answered() const { return answered_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    std::function<bool(HWND)> answer_;
    UINT_PTR timer_;
    int answered_ = 0;
};

// Whether the uninstall entry "...\Uninstall\VeskMarlit" is in the hive, or in either.
bool UninstallEntryIn(HKEY hive);
bool UninstallEntryExists();
// A value of that entry as text (a string, or a number in decimal); "(none)" where there is none.
std::string UninstallValue(HKEY hive, const char* name);
// The user's programs folder of the Start menu.
std::string ProgramsFolder();

// What a shortcut file says, read through the shell's link object (COM initialised).
struct LinkFacts {
    std::string path, directory, description, arguments;
};
LinkFacts ReadLink(const std::string& file);

// Points this program's import of dll!function at a replacement until destroyed, so that a
// test sees exactly what the code under test hands the system.
class ImportPatch {
public:
    ImportPatch(const char* dll, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    bool Active() const { return slot_ != nullptr; }
    void* Original() const { return original_; }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

// The text of a message box: the text of its static controls, joined.
std::string MessageBoxText(HWND box);
// Presses a button of a dialog as a click would.
void PressButton(HWND dialog, int id);

} // namespace installtest
