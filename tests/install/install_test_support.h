// Helpers of the installer's Windows tests and journey: links, long paths, modal dialogs
// answered from inside the test, and what an installation leaves in the system.
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
// Removes a scratch tree that may hold links, even dangling ones, without following them
// (paths past MAX_PATH in it are the test's to remove).
void RemoveScratchTree(const std::string& path);

// Answers the modal dialogs (message boxes included) that this thread shows while an
// operation runs: each visible dialog of the thread is handed to the answer, which acts on
// it (and ends it). Counts the dialogs answered.
class DialogAnswerer {
public:
    explicit DialogAnswerer(std::function<void(HWND)> answer);
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;
    int Answered() const { return answered_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    std::function<void(HWND)> answer_;
    UINT_PTR timer_;
    int answered_ = 0;
};

// Whether the uninstall entry "...\Uninstall\VeskMarlit" is in the hive, or in either.
bool UninstallEntryIn(HKEY hive);
bool UninstallEntryExists();
// A value of that entry as text (a string, or a number in decimal); "(none)" where there is none.
std::string UninstallValue(HKEY hive, const char* name);
// Writes a value of that entry as the bytes given, making the entry where there is none.
bool SetUninstallValue(HKEY hive, const char* name, DWORD type, const std::string& bytes);
// The user's programs folder of the Start menu.
std::string ProgramsFolder();

// What a shortcut file says, read through the shell's link object (COM initialised).
struct LinkFacts {
    std::string path, directory, description, arguments;
};
LinkFacts ReadLink(const std::string& file);

// The text of a message box: the text of its static controls, joined.
std::string MessageBoxText(HWND box);
// Presses a button of a dialog as a click would.
void PressButton(HWND dialog, int id);

} // namespace installtest
