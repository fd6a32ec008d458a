#include "tools/uidriver/uidriver.h"

#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ui {

bool Start(Program& program, const std::string& commandLine, const char* directory)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, directory, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    program.process = info.hProcess;
    program.id = info.dwProcessId;
    return true;
}

DWORD WaitForExit(Program& program, DWORD timeoutMs)
{
    if (!program.process)
        return STILL_ACTIVE;
    if (WaitForSingleObject(program.process, timeoutMs) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(program.process, &code);
    return code;
}

void Kill(Program& program)
{
    if (!program.process)
        return;
    if (WaitForSingleObject(program.process, 0) != WAIT_OBJECT_0) {
        TerminateProcess(program.process, 99);
        WaitForSingleObject(program.process, 5000);
    }
    CloseHandle(program.process);
    program = {};
}

namespace {

struct Search {
    DWORD processId;
    const char* title;
    const char* className;
    const char* controlText;
    HWND found;
};

BOOL CALLBACK MatchControlText(HWND child, LPARAM lParam)
{
    auto* search = reinterpret_cast<Search*>(lParam);
    if (Text(child) == search->controlText) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<Search*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if ((search->processId && owner != search->processId) || !IsWindowVisible(window))
        return TRUE;
    if (search->className) {
        char name[256] = "";
        GetClassNameA(window, name, sizeof name);
        if (std::strcmp(name, search->className) != 0)
            return TRUE;
    }
    if (search->title && Text(window) != search->title)
        return TRUE;
    if (search->controlText) {
        Search inner = *search;
        inner.found = nullptr;
        EnumChildWindows(window, MatchControlText, reinterpret_cast<LPARAM>(&inner));
        if (!inner.found)
            return TRUE;
    }
    search->found = window;
    return FALSE;
}

HWND WaitForMatch(Search search, DWORD timeoutMs)
{
    WaitUntil(
        [&] {
            search.found = nullptr;
            EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}

} // namespace

POINT ControlCentre(HWND dialog, int controlId)
{
    RECT rect = {};
    GetWindowRect(GetDlgItem(dialog, controlId), &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

namespace {

void SendMouse(DWORD flags, POINT at)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    // Absolute coordinates run from 0 to 65535 over the primary display.
    input.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

void SendKey(WORD virtualKey, DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, 0));
    input.ki.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

} // namespace

HWND WaitForWindow(DWORD processId, const char* title, const char* className, DWORD timeoutMs)
{
    return WaitForMatch({processId, title, className, nullptr, nullptr}, timeoutMs);
}

HWND WaitForWindowWithText(DWORD processId, const char* controlText, DWORD timeoutMs)
{
    return WaitForMatch({processId, nullptr, nullptr, controlText, nullptr}, timeoutMs);
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs)
{
    return WaitUntil([&] { return !IsWindow(window); }, timeoutMs);
}

// The text the system keeps for the window, read without sending it a message: the
// launcher often runs long stretches without pumping messages (the medium prompt, a copy,
// a running game), and a WM_GETTEXT would wait for it.
std::string Text(HWND window)
{
    WCHAR wide[4096] = L"";
    InternalGetWindowText(window, wide, 4096);
    char text[8192] = "";
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

bool IsVisible(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);
    return control && (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

std::vector<int> VisibleControls(HWND dialog, const std::vector<int>& ids)
{
    std::vector<int> visible;
    for (int id : ids)
        if (IsVisible(dialog, id))
            visible.push_back(id);
    return visible;
}

namespace {

// Moves the pointer and waits until the system reports it there, sending the move again
// now and then: under Wine the X server may report the pointer's old position for a moment
// after a move, and a press sent meanwhile lands where the pointer was before.
void MoveSteadily(POINT at)
{
    WaitUntil(
        [&] {
            SendMouse(MOUSEEVENTF_MOVE, at);
            Sleep(30);
            POINT now = {};
            GetCursorPos(&now);
            // The absolute coordinates' scale may round by a pixel.
            return std::abs(now.x - at.x) <= 1 && std::abs(now.y - at.y) <= 1;
        },
        2000);
}

} // namespace

// Presses and releases carry the position along.
void ClickAt(POINT at, bool right)
{
    MoveSteadily(at);
    SendMouse(MOUSEEVENTF_MOVE | (right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN), at);
    Sleep(50);
    SendMouse(MOUSEEVENTF_MOVE | (right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP), at);
}

void MouseDownOn(HWND dialog, int controlId)
{
    SetForegroundWindow(dialog);
    POINT at = ControlCentre(dialog, controlId);
    MoveSteadily(at);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN, at);
}

void MouseUp()
{
    POINT at;
    GetCursorPos(&at);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTUP, at);
}

void Click(HWND dialog, int controlId)
{
    SetForegroundWindow(dialog);
    ClickAt(ControlCentre(dialog, controlId));
}

void ClickWindow(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    ClickAt({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

void KeyDown(WORD virtualKey) { SendKey(virtualKey, 0); }
void KeyUp(WORD virtualKey) { SendKey(virtualKey, KEYEVENTF_KEYUP); }

void PressKey(WORD virtualKey)
{
    KeyDown(virtualKey);
    Sleep(30);
    KeyUp(virtualKey);
}

void PressWithAlt(WORD virtualKey)
{
    KeyDown(VK_MENU);
    PressKey(virtualKey);
    KeyUp(VK_MENU);
}

bool Screenshot(const char* name)
{
    char folder[MAX_PATH] = "";
    if (!GetEnvironmentVariableA("VESK_SHOTS", folder, sizeof folder))
        return false;
    std::string want = std::string(folder) + "\\" + name + ".want";
    std::string png = std::string(folder) + "\\" + name + ".png";
    DeleteFileA(png.c_str());
    Sleep(300); // let the programs finish painting
    HANDLE file = CreateFileA(want.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return WaitUntil([&] { return GetFileAttributesA(want.c_str()) == INVALID_FILE_ATTRIBUTES; }, 15000)
        && GetFileAttributesA(png.c_str()) != INVALID_FILE_ATTRIBUTES;
}

Program ProgramOf(HWND window)
{
    Program program;
    DWORD id = 0;
    if (!GetWindowThreadProcessId(window, &id) || id == 0)
        return program;
    program.process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id);
    if (program.process)
        program.id = id;
    return program;
}

Threads::Threads(const Program& program)
{
    if (!program.id)
        return;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == program.id)
            if (HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID))
                handles_.push_back(thread);
    CloseHandle(snapshot);
}

Threads::~Threads()
{
    for (HANDLE thread : handles_)
        CloseHandle(thread);
}

void Threads::Suspend() const
{
    for (HANDLE thread : handles_)
        SuspendThread(thread);
}

void Threads::Resume() const
{
    for (HANDLE thread : handles_)
        ResumeThread(thread);
}

int Suspend(const Program& program)
{
    Threads threads(program);
    threads.Suspend();
    return threads.Count();
}

void Resume(const Program& program) { Threads(program).Resume(); }

} // namespace ui
