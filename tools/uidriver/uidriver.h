// A small driver for the launcher's user interface, used by the end-to-end tests, the
// scripted tour and the start-up benchmark. It starts programs, finds their windows by
// title and control id, clicks and types through SendInput as a user would, and asks the
// test harness for screenshots of the X display.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace ui {

struct Program {
    HANDLE process = nullptr;
    DWORD id = 0;
};

// Starts a command line in a working directory (null: the driver's own).
bool Start(Program& program, const std::string& commandLine, const char* directory = nullptr);
// Waits for the program to end; returns its exit code, or STILL_ACTIVE after the timeout.
DWORD WaitForExit(Program& program, DWORD timeoutMs);
// Ends the program if it still runs and closes its handle.
void Kill(Program& program);

// The first visible top-level window of the process (0: any process) whose title is the
// given one and, when className is not null, whose class is that one; null after timeout.
HWND WaitForWindow(DWORD processId, const char* title, const char* className, DWORD timeoutMs);
// A visible top-level dialog of the process that holds a control with this text.
HWND WaitForWindowWithText(DWORD processId, const char* controlText, DWORD timeoutMs);
// Waits until the window is gone.
bool WaitForWindowGone(HWND window, DWORD timeoutMs);

// The whole text of a window, read without sending it a message.
std::string Text(HWND window);
bool IsVisible(HWND dialog, int controlId);
// The ids among the given ones whose controls are visible, in the given order.
std::vector<int> VisibleControls(HWND dialog, const std::vector<int>& ids);

// Moves the mouse to the middle of the control, waits until the pointer is there, and
// clicks it (down and up).
void Click(HWND dialog, int controlId);
// The two halves of a click, to look at a button while it is held down.
void MouseDownOn(HWND dialog, int controlId);
void MouseUp();
// The middle of a control in screen coordinates.
POINT ControlCentre(HWND dialog, int controlId);
// Moves the mouse to a point of the screen, waits until the pointer is there, and clicks
// there with the left (or the right) button, whatever window lies at that point.
void ClickAt(POINT at, bool right = false);
// Moves the mouse to the middle of a window and clicks it, which also brings it to the front.
void ClickWindow(HWND window);
void KeyDown(WORD virtualKey);
void KeyUp(WORD virtualKey);
void PressKey(WORD virtualKey);
// The key pressed while Alt is held, as Alt+Enter or Alt+Space are typed.
void PressWithAlt(WORD virtualKey);

// Asks the harness (VESK_SHOTS) for a screenshot NAME.png of the whole display and waits
// for it. Returns false when no harness listens.
bool Screenshot(const char* name);

// Pumps nothing; sleeps in small steps until the predicate holds or the time is up.
template <class Predicate> bool WaitUntil(Predicate predicate, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (predicate())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(20);
    }
}

// The program that owns a window, opened for waiting on it and reading its exit code: for
// programs that another program started. Empty when it cannot be opened.
Program ProgramOf(HWND window);

// Suspends or resumes every thread of a running program, so that its windows can be looked
// at while it stands still. Suspend returns how many threads it stopped.
int Suspend(const Program& program);
void Resume(const Program& program);

// The threads of a running program, opened once, so that it can be stopped and let go again
// many times a second (to watch a fast operation in small steps).
class Threads {
public:
    explicit Threads(const Program& program);
    ~Threads();
    Threads(const Threads&) = delete;
    Threads& operator=(const Threads&) = delete;
    int Count() const { return static_cast<int>(handles_.size()); }
    void Suspend() const;
    void Resume() const;

private:
    std::vector<HANDLE> handles_;
};

} // namespace ui
