// The random-input soak of the launcher: starts E:\Vesk.exe from the sample medium and
// drives it for a given time with actions drawn at random from a seed, as a restless user
// would: its buttons clicked where they are on the screen, the install options and the
// removal's question answered either way, the intro in both resolutions with Alt+Enter,
// Escape, Alt+F4 and Alt+Tab, every window of the program closed, minimised and restored,
// the window menu, clicks anywhere, the game started and ended, the launcher closed and
// started again. Meanwhile it checks:
//   - no crash: nothing in Wine's output about a page fault or an unhandled exception;
//   - every window of the program answers WM_NULL within 100 ms, except while a step runs
//     that blocks by design (named in the report);
//   - never more than one film window, and the desktop's mode back after every intro;
//   - whenever the launcher waits for input: the settings file, the installed tree, the
//     uninstall entry and the shortcut are all there or all gone, as its buttons say;
//   - at the end: nothing changed on drive C: and in the registry outside the installation,
//     the Start-menu folder and the program's own key.
// On a fault it prints the seed, the actions so far and the command that replays them.
//
//   soak --seed S --seconds N [--no-desktop] [--replay "ACTION ACTION ..."]
// Wine's output is read from the file named by VESK_SOAK_WINE_LOG.
#include "resources/resource.h"
#include "tools/uidriver/launcher_ui.h"
#include "tools/uidriver/uidriver.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// --- the record of the run ------------------------------------------------------------

std::uint64_t g_seed = 1;
bool g_desktop = true; // Wine's virtual desktop: the intro may change the mode
std::vector<std::string> g_actions;
CRITICAL_SECTION g_faultLock; // the watch thread reports too
std::vector<std::string> g_faults;
std::atomic<bool> g_failed{false};

void Fault(const std::string& what)
{
    EnterCriticalSection(&g_faultLock);
    if (g_faults.size() < 20)
        g_faults.push_back("after " + std::to_string(g_actions.size()) + " actions: " + what);
    g_failed = true;
    LeaveCriticalSection(&g_faultLock);
}

// The same numbers in the 32-bit and the 64-bit build (splitmix64).
struct Random {
    std::uint64_t state;
    std::uint64_t Next()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
    int Between(int low, int high) { return low + Below(high - low + 1); }
};

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// --- what the program shows ------------------------------------------------------------

ui::Program g_launcher;

struct Scene {
    HWND dialog = nullptr, options = nullptr, confirm = nullptr, progress = nullptr, film = nullptr;
    HWND game = nullptr, menu = nullptr, other = nullptr;
    int films = 0;
    std::vector<HWND> windows; // every visible top-level window of the launcher
    bool gameRuns = false, installerRuns = false, debuggerRuns = false;
    bool Idle() const
    {
        return dialog && !options && !confirm && !progress && !film && !game && !menu && !other && !gameRuns
            && !installerRuns;
    }
};

std::string ClassOf(HWND window)
{
    char name[128] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct TextSearch {
    const char* text;
    bool found;
};

BOOL CALLBACK MatchChildText(HWND child, LPARAM param)
{
    auto* search = reinterpret_cast<TextSearch*>(param);
    search->found = ui::Text(child) == search->text;
    return !search->found;
}

bool HasChildText(HWND window, const char* text)
{
    TextSearch search = {text, false};
    EnumChildWindows(window, MatchChildText, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK SortWindow(HWND window, LPARAM param)
{
    auto* scene = reinterpret_cast<Scene*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    std::string name = ClassOf(window);
    if (name == ui::kGameClass && IsWindowVisible(window))
        scene->game = window;
    if (!g_launcher.id || owner != g_launcher.id)
        return TRUE;
    if (name == ui::kFilmClass) {
        ++scene->films;
        scene->film = window;
    }
    if (!IsWindowVisible(window))
        return TRUE;
    scene->windows.push_back(window);
    if (name == ui::kFilmClass)
        return TRUE;
    if (name == "#32768")
        scene->menu = window;
    else if (HasChildText(window, "Ziellaufwerk"))
        scene->options = window;
    else if (HasChildText(window, ui::kConfirmation))
        scene->confirm = window;
    else if (HasChildText(window, "Gesamt"))
        scene->progress = window;
    else if (name == ui::kDialogClass && ui::Text(window) == ui::kLauncherTitle && GetDlgItem(window, IDC_INSTALL))
        scene->dialog = window;
    else
        scene->other = window;
    return TRUE;
}

Scene Look()
{
    Scene scene;
    EnumWindows(SortWindow, reinterpret_cast<LPARAM>(&scene));
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
            std::string name = Lower(entry.szExeFile);
            scene.gameRuns |= name == "prot_d.exe";
            scene.installerRuns |= name == "dx52ger.exe";
            scene.debuggerRuns |= name == "winedbg.exe";
        }
        CloseHandle(snapshot);
    }
    return scene;
}

bool LauncherRuns() { return g_launcher.process && WaitForSingleObject(g_launcher.process, 0) != WAIT_OBJECT_0; }

DEVMODEA CurrentMode()
{
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    return mode;
}

std::string ModeText(const DEVMODEA& mode)
{
    return std::to_string(mode.dmPelsWidth) + "x" + std::to_string(mode.dmPelsHeight) + "x"
         + std::to_string(mode.dmBitsPerPel);
}

bool SameMode(const DEVMODEA& a, const DEVMODEA& b)
{
    return a.dmPelsWidth == b.dmPelsWidth && a.dmPelsHeight == b.dmPelsHeight && a.dmBitsPerPel == b.dmBitsPerPel;
}

// --- the watch: answers, film windows, Wine's output ------------------------------------

// A step that blocks the launcher by design, named for the report: set before an action
// that may start one, cleared once the launcher answers again with nothing of it left.
std::atomic<const char*> g_blockingStep{nullptr};
std::atomic<bool> g_stopWatch{false};
std::atomic<long> g_questions{0};
std::atomic<long> g_missed{0};      // questions not answered within 100 ms
std::atomic<long> g_silence{0};     // the longest silence outside the intro and the blocking steps
std::atomic<long> g_introSilence{0};
// A window counts as not answering once it has left the questions (each waiting 100 ms)
// unanswered this long: on a loaded test machine one question now and then waits for the
// scheduler, not for the program.
long g_silenceBound = 500;
// The intro blocks longer while it sets up (the display and its mode, then the crawl's
// picture, tables and music): there the bound is the one after which Windows takes a
// window for hung, and the longest silence goes into the report.
constexpr DWORD kIntroBound = 5000;
std::string g_wineLog;
long long g_wineLogRead = 0;

// New lines of Wine's output that tell of a crash.
void ReadWineLog()
{
    if (g_wineLog.empty())
        return;
    HANDLE file = CreateFileA(g_wineLog.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    LARGE_INTEGER at;
    at.QuadPart = g_wineLogRead;
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    std::string text;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    // Whole lines only; a partial last line is read again next time.
    size_t end = text.rfind('\n');
    if (end == std::string::npos)
        return;
    g_wineLogRead += static_cast<long long>(end + 1);
    std::istringstream lines(text.substr(0, end));
    for (std::string line; std::getline(lines, line);) {
        std::string lower = Lower(line);
        if (lower.find("page fault") != std::string::npos || lower.find("unhandled exception") != std::string::npos
            || lower.find("wine: unhandled") != std::string::npos)
            Fault("Wine reports a crash: " + line);
    }
}

// Whether the window answers WM_NULL within 100 ms.
bool Answers(HWND window)
{
    DWORD_PTR result = 0;
    bool answered = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 100, &result) != 0;
    ++g_questions;
    return answered || !IsWindow(window);
}

// The step that blocks the launcher by design, if one runs.
const char* BlockedBy(const Scene& scene)
{
    return scene.gameRuns        ? "the game"
         : scene.installerRuns   ? "the DirectX installer"
         : scene.progress        ? "the copy"
                                 : g_blockingStep.load();
}

DWORD WINAPI Watch(void*)
{
    DWORD excusedUntil = 0, lastFilm = 0;
    while (!g_stopWatch) {
        Scene scene = Look();
        if (scene.films > 1)
            Fault(std::to_string(scene.films) + " film windows at once");
        if (scene.debuggerRuns)
            Fault("the debugger runs: a program of the soak crashed");
        ReadWineLog();
        const char* step = g_blockingStep;
        const char* by = BlockedBy(scene);
        if (by)
            excusedUntil = GetTickCount() + 1000; // the step's last moments
        if (scene.films)
            lastFilm = GetTickCount();
        bool intro = scene.films || GetTickCount() - lastFilm < 1000;
        bool allAnswered = true;
        for (HWND window : scene.windows) {
            if (Answers(window))
                continue;
            allAnswered = false;
            ++g_missed;
            // Asked on until it answers: how long it stays silent, and whether the intro or
            // a blocking step begins meanwhile.
            DWORD silent = GetTickCount() - 100;
            bool blocked = by || static_cast<long>(GetTickCount() - excusedUntil) < 0;
            while (!Answers(window) && GetTickCount() - silent < kIntroBound) {
                Scene now = Look();
                blocked = blocked || BlockedBy(now);
                intro = intro || now.films > 0;
            }
            long took = static_cast<long>(GetTickCount() - silent);
            // A window that was silent until it went was on its way out with its process.
            if (blocked || !IsWindow(window))
                continue;
            std::atomic<long>& longest = intro ? g_introSilence : g_silence;
            longest = std::max(longest.load(), took);
            if (took < (intro ? static_cast<long>(kIntroBound) : g_silenceBound))
                continue;
            Fault("the window \"" + ui::Text(window) + "\" (" + ClassOf(window) + ") left WM_NULL unanswered for "
                  + std::to_string(took) + " ms" + (intro ? ", during the intro" : "") + "; the desktop "
                  + ModeText(CurrentMode()));
        }
        if (step && allAnswered && scene.dialog && !scene.options && !scene.confirm && !scene.progress
            && !scene.gameRuns && !scene.installerRuns)
            g_blockingStep = nullptr;
        Sleep(60);
    }
    return 0;
}

// --- the state on the disk ---------------------------------------------------------------

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ProgramsFolder()
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, 0, path);
    return path;
}

std::string TempFolder()
{
    char path[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, path);
    return path;
}

bool KeyExists(HKEY root, const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The installation's parts, and the launcher's buttons when it is given them (-1: not
// looked at). The uninstall entry may be in either hive: the current user's where the
// machine's cannot be written.
std::string HalfInstallation(int buttons)
{
    const std::string folder = std::string(ui::kInstallDirectory) + "\\";
    const std::pair<const char*, bool> parts[] = {
        {"E:\\VeskMarlit.ini", Exists("E:\\VeskMarlit.ini")},
        {"C:\\VeskMarlit\\VeskMarlit.ini", Exists(folder + "VeskMarlit.ini")},
        {"C:\\VeskMarlit\\Vesk.exe", Exists(folder + "Vesk.exe")},
        {"the uninstall entry",
         KeyExists(HKEY_LOCAL_MACHINE, ui::kUninstallKey) || KeyExists(HKEY_CURRENT_USER, ui::kUninstallKey)},
        {"the shortcut", Exists(ProgramsFolder() + "\\TALVERO\\VeskMarlit\\VeskMarlit.lnk")},
        {"the launcher's six buttons", buttons == 6},
    };
    std::string there, gone;
    for (const auto& [name, present] : parts) {
        if (buttons < 0 && std::strstr(name, "buttons"))
            continue;
        std::string& list = present ? there : gone;
        list += (list.empty() ? "" : ", ") + std::string(name);
    }
    if (there.empty() || gone.empty())
        return "";
    return "half an installation: " + there + " there; " + gone + " gone";
}

// The program's own key exists only while it holds the choice of the window.
std::string KeyLeftBehind()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\VeskMarlit", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    DWORD type = REG_NONE, value = 0, size = sizeof value;
    LONG result = RegQueryValueExA(key, "IntroImFenster", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (result == ERROR_SUCCESS && type == REG_DWORD && value == 1)
        return "";
    return "HKCU\\Software\\VeskMarlit is there without the choice of the window (IntroImFenster = "
         + (result == ERROR_SUCCESS ? std::to_string(value) : std::string("none")) + ")";
}

// A snapshot of drive C: and of the registry: every file with its size and time, every key
// and value with a digest of its data.
using Snapshot = std::map<std::string, std::string>;

void SnapFiles(const std::string& directory, Snapshot& snapshot)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = entry.cFileName, path = directory + "\\" + name;
        if (name == "." || name == "..")
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            snapshot[Lower(path) + "\\"] = "";
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                SnapFiles(path, snapshot);
        } else {
            char facts[64];
            std::snprintf(facts, sizeof facts, "%lu bytes, time %08lx%08lx", entry.nFileSizeLow,
                          entry.ftLastWriteTime.dwHighDateTime, entry.ftLastWriteTime.dwLowDateTime);
            snapshot[Lower(path)] = facts;
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

void SnapKey(HKEY key, const std::string& path, Snapshot& snapshot)
{
    snapshot[Lower(path) + "\\"] = "";
    std::vector<BYTE> data(1 << 16);
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameSize = sizeof name, type = 0, size = static_cast<DWORD>(data.size());
        LONG status = RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data.data(), &size);
        if (status == ERROR_MORE_DATA)
            continue; // a value too big to compare is left out
        if (status != ERROR_SUCCESS)
            break;
        std::uint32_t digest = 2166136261u;
        for (DWORD b = 0; b < size; ++b)
            digest = (digest ^ data[b]) * 16777619u;
        snapshot[Lower(path) + "\\:" + name] = std::to_string(type) + "/" + std::to_string(size) + "/" + std::to_string(digest);
    }
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY sub;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
            SnapKey(sub, path + "\\" + name, snapshot);
            RegCloseKey(sub);
        }
    }
}

Snapshot TakeSnapshot()
{
    Snapshot snapshot;
    SnapFiles("C:", snapshot);
    SnapKey(HKEY_LOCAL_MACHINE, "HKLM", snapshot);
    SnapKey(HKEY_CURRENT_USER, "HKCU", snapshot);
    return snapshot;
}

// What the launcher may change, and what Wine changes of its own accord while programs run.
bool MayChange(const std::string& path)
{
    const std::string uninstall = Lower(std::string("\\") + ui::kUninstallKey) + "\\";
    const std::string allowed[] = {
        Lower(ui::kInstallDirectory) + "\\",
        Lower(ProgramsFolder()) + "\\talvero\\",
        Lower(TempFolder()) + "dx52ger.log", // the DirectX installer's own trace
        "hklm" + uninstall,
        "hkcu" + uninstall,
        "hkcu\\software\\veskmarlit\\",
        // Wine: the display's current mode, the devices it finds (the sound devices once a
        // program plays sound), its own settings.
        "hklm\\system\\currentcontrolset\\control\\video\\",
        "hklm\\system\\currentcontrolset\\control\\class\\",
        "hklm\\software\\microsoft\\windows\\currentversion\\mmdevices\\",
        "hklm\\hardware\\",
        "hkcu\\software\\wine\\",
    };
    for (const std::string& prefix : allowed)
        if (path.compare(0, prefix.size(), prefix) == 0)
            return true;
    return false;
}

void CompareSnapshots(const Snapshot& before, const Snapshot& after)
{
    std::vector<std::string> changes;
    for (const auto& [path, facts] : before) {
        auto now = after.find(path);
        if (now == after.end())
            changes.push_back("gone: " + path);
        else if (now->second != facts)
            changes.push_back("changed: " + path);
    }
    for (const auto& [path, facts] : after)
        if (!before.count(path))
            changes.push_back("new: " + path);
    std::string list;
    int shown = 0;
    for (const std::string& change : changes) {
        std::string path = change.substr(change.find(' ') + 1);
        if (MayChange(path))
            continue;
        if (++shown <= 30)
            list += "\n    " + change;
    }
    if (shown)
        Fault(std::to_string(shown) + " changes outside the installation, its Start-menu folder, the settings file and "
              "the program's key:" + list);
}

// --- actions ------------------------------------------------------------------------------

const struct {
    const char* name;
    int id;
} kButtons[] = {{"play-high", IDC_PLAY_HIGH},   {"install", IDC_INSTALL},   {"close", IDC_CLOSE},
                {"intro-high", IDC_INTRO_HIGH}, {"play-low", IDC_PLAY_LOW}, {"intro-low", IDC_INTRO_LOW}};

HWND g_elsewhere = nullptr; // another program's window, for Alt+Tab away and back
DEVMODEA g_mode = {};       // the desktop's mode before the first intro
bool g_filmSeen = false;

HWND WindowOfKind(const Scene& scene, const std::string& kind)
{
    if (kind == "dialog") return scene.dialog;
    if (kind == "options") return scene.options;
    if (kind == "confirm") return scene.confirm;
    if (kind == "progress") return scene.progress;
    if (kind == "film") return scene.film;
    if (kind == "game") return scene.game;
    if (kind == "box") return scene.other;
    return nullptr;
}

// The kinds of window in the scene, for actions on "every window of the program".
std::vector<std::string> Kinds(const Scene& scene)
{
    std::vector<std::string> kinds;
    for (const char* kind : {"dialog", "options", "confirm", "progress", "film", "game", "box"})
        if (WindowOfKind(scene, kind))
            kinds.push_back(kind);
    return kinds;
}

// Sleeps, looking at the faults now and then.
void Pause(DWORD ms)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms && !g_failed;)
        Sleep(std::min<DWORD>(50, ms));
}

// A launcher that has ended must have ended by itself, not by an exception.
void CheckExitCode()
{
    DWORD code = ui::WaitForExit(g_launcher, 0);
    if (code != STILL_ACTIVE && code >= 0xC0000000) {
        char text[64];
        std::snprintf(text, sizeof text, "the launcher ended with exception code 0x%08lX", code);
        Fault(text);
    }
}

bool StartLauncher()
{
    CheckExitCode();
    ui::Kill(g_launcher);
    if (!ui::Start(g_launcher, "E:\\Vesk.exe", "E:\\")) {
        Fault("E:\\Vesk.exe could not be started");
        return false;
    }
    if (!ui::WaitForWindow(g_launcher.id, ui::kLauncherTitle, ui::kDialogClass, 30000)) {
        Fault("the launcher dialog did not appear within 30 s");
        return false;
    }
    return true;
}

// Does one action on whatever the screen shows now. An action whose window is not there
// does nothing.
void Perform(const std::string& action)
{
    std::string verb = action, arg;
    size_t colon = action.find(':');
    if (colon != std::string::npos) {
        verb = action.substr(0, colon);
        arg = action.substr(colon + 1);
    }
    Scene scene = Look();
    // Anything done while the options or the removal's question are open may start the
    // installation or the removal (Enter, a click on OK or Yes).
    if ((scene.options || scene.confirm) && verb != "wait")
        g_blockingStep = scene.options ? "the installation" : "the removal";
    if (verb == "wait") {
        Pause(static_cast<DWORD>(std::atoi(arg.c_str())));
    } else if (verb == "start") {
        if (!LauncherRuns())
            StartLauncher();
    } else if (verb == "start-second") {
        // A second launcher beside the first ends on its own.
        ui::Program second;
        if (ui::Start(second, "E:\\Vesk.exe", "E:\\") && ui::WaitForExit(second, 15000) == STILL_ACTIVE && LauncherRuns())
            Fault("a second E:\\Vesk.exe did not end within 15 s");
        ui::Kill(second);
    } else if (verb == "button") {
        for (const auto& button : kButtons)
            if (arg == button.name && scene.dialog) {
                bool ready = scene.Idle() && !IsIconic(scene.dialog) && !g_blockingStep
                          && ui::IsVisible(scene.dialog, button.id);
                ui::ClickAt(ui::ControlCentre(scene.dialog, button.id));
                // A launcher that waits for input answers a click on a button it shows
                // with a window (or by ending), not with silence: an intro that goes on
                // without its window takes every click for itself.
                if (ready && !ui::WaitUntil(
                                 [] {
                                     Scene now = Look();
                                     return !LauncherRuns() || !now.Idle() || now.films > 0;
                                 },
                                 5000))
                    Fault(std::string("a click on the launcher's button \"") + button.name
                          + "\" changed nothing within 5 s");
            }
    } else if (verb == "options" && scene.options) {
        ui::Click(scene.options, arg == "ok" ? IDOK : arg == "cancel" ? IDCANCEL : IDC_PLAY_FROM_CD);
    } else if (verb == "remove" && scene.confirm) {
        ui::Click(scene.confirm, arg == "yes" ? IDYES : IDNO);
    } else if (verb == "point" || verb == "right") {
        int x = 0, y = 0;
        std::sscanf(arg.c_str(), "%d,%d", &x, &y);
        ui::ClickAt({x, y}, verb == "right");
    } else if (verb == "key") {
        if (arg == "esc") {
            ui::KeyDown(VK_ESCAPE);
            Sleep(150); // the crawl reads the key's state at its own pace
            ui::KeyUp(VK_ESCAPE);
        } else if (arg == "enter") {
            ui::PressKey(VK_RETURN);
        } else if (arg == "alt-enter") {
            ui::PressWithAlt(VK_RETURN);
        } else if (arg == "alt-f4") {
            ui::PressWithAlt(VK_F4);
        } else if (arg == "alt-tab") {
            ui::PressWithAlt(VK_TAB);
        } else if (arg == "menu") {
            ui::PressWithAlt(VK_SPACE);
            Sleep(300);
            ui::PressKey('F');
        }
    } else if (verb == "away") {
        ShowWindow(g_elsewhere, SW_SHOW);
        SetForegroundWindow(g_elsewhere);
    } else if (verb == "back") {
        if (HWND window = WindowOfKind(scene, arg))
            SetForegroundWindow(window);
    } else if (verb == "minimise" || verb == "restore" || verb == "close") {
        // As the taskbar asks.
        WPARAM command = verb == "minimise" ? SC_MINIMIZE : verb == "restore" ? SC_RESTORE : SC_CLOSE;
        if (HWND window = WindowOfKind(scene, arg))
            PostMessageA(window, WM_SYSCOMMAND, command, 0);
    } else if (verb == "game-esc") {
        if (scene.game) {
            SetForegroundWindow(scene.game);
            ui::PressKey(VK_ESCAPE);
        }
    }
}

std::string Pick(Random& random, const std::vector<std::pair<int, std::string>>& weighted)
{
    int total = 0;
    for (const auto& choice : weighted)
        total += choice.first;
    int at = random.Below(total);
    for (const auto& choice : weighted)
        if ((at -= choice.first) < 0)
            return choice.second;
    return weighted.back().second;
}

// Draws the next action, mostly one that fits what the screen shows.
std::string Choose(Random& random, const Scene& scene)
{
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    const std::string wait = "wait:" + std::to_string(random.Between(50, 2500));
    const std::string point = (random.Below(2) ? "point:" : "right:") + std::to_string(random.Below(width)) + ","
                            + std::to_string(random.Below(height));
    std::vector<std::string> kinds = Kinds(scene);
    const std::string kind = kinds.empty() ? "dialog" : kinds[random.Below(static_cast<int>(kinds.size()))];
    const std::string button = std::string("button:") + kButtons[random.Below(6)].name;
    const char* keys[] = {"key:esc", "key:enter", "key:alt-enter", "key:alt-f4", "key:alt-tab", "key:menu"};
    std::vector<std::pair<int, std::string>> choices = {
        {2, point}, {1, "away"}, {1, "back:" + kind}, {1, "minimise:" + kind}, {2, "restore:" + kind},
        {1, "close:" + kind}, {1, keys[random.Below(6)]}, {1, button},
    };
    if (!LauncherRuns())
        return random.Below(4) ? "start" : wait;
    if (scene.game)
        choices.insert(choices.end(), {{14, wait}, {4, "game-esc"}, {1, "close:game"}});
    else if (scene.gameRuns || scene.installerRuns || scene.progress)
        choices.insert(choices.end(), {{20, wait}});
    else if (scene.confirm)
        choices.insert(choices.end(), {{6, "remove:yes"}, {6, "remove:no"}, {1, "key:enter"}, {1, "close:confirm"}});
    else if (scene.options)
        choices.insert(choices.end(), {{6, "options:ok"}, {4, "options:cancel"}, {3, "options:cd"},
                                       {1, "key:esc"}, {1, "close:options"}});
    else if (scene.film)
        choices.insert(choices.end(), {{12, wait}, {4, "key:esc"}, {4, "key:alt-enter"}, {2, "away"}, {2, "back:film"},
                                       {1, "back:dialog"}, {2, "minimise:film"}, {2, "restore:film"}, {1, "close:film"},
                                       {1, "key:alt-f4"}, {2, button}});
    else if (scene.menu)
        choices.insert(choices.end(), {{3, "key:esc"}, {2, wait}, {1, point}});
    else if (scene.other)
        choices.insert(choices.end(), {{4, "key:enter"}, {2, "close:box"}, {2, wait}});
    else if (scene.dialog && IsIconic(scene.dialog))
        choices.insert(choices.end(), {{8, "restore:dialog"}, {2, wait}});
    else if (scene.dialog)
        choices.insert(choices.end(), {{5, wait}, {5, "button:intro-high"}, {5, "button:intro-low"}, {3, "button:play-high"},
                                       {3, "button:play-low"}, {4, "button:install"}, {1, "button:close"},
                                       {2, "key:menu"}, {1, "start-second"}});
    else
        choices.insert(choices.end(), {{6, wait}});
    return Pick(random, choices);
}

// After each action: the desktop's mode once the intro is over, and the installation's
// state whenever the launcher waits for input (looked at twice, a moment apart, so that a
// step that has just begun is not taken for the state it leaves).
void CheckAfterAction()
{
    Scene scene = Look();
    if (scene.films > 0)
        g_filmSeen = true;
    if (g_filmSeen && scene.films == 0) {
        g_filmSeen = false;
        if (!ui::WaitUntil([] { return SameMode(CurrentMode(), g_mode); }, 3000))
            Fault("the desktop's mode is " + ModeText(CurrentMode()) + " after the intro, not " + ModeText(g_mode));
    }
    if (!scene.Idle() || IsIconic(scene.dialog) || g_blockingStep)
        return;
    auto state = [](HWND dialog) {
        int buttons = static_cast<int>(ui::VisibleControls(dialog, ui::kAllButtons).size());
        return HalfInstallation(buttons) + "|" + std::to_string(buttons);
    };
    std::string first = state(scene.dialog);
    Sleep(300);
    Scene again = Look();
    if (!again.Idle() || again.dialog != scene.dialog || state(again.dialog) != first)
        return;
    std::string half = first.substr(0, first.find('|'));
    if (!half.empty())
        Fault(half);
    std::string key = KeyLeftBehind();
    if (!key.empty())
        Fault(key);
    // Disabled only while an intro runs.
    if (!IsWindowEnabled(again.dialog))
        Fault("the launcher's dialog stays disabled with nothing else open");
}

// Ends whatever runs and closes the launcher, as a user would; a launcher that cannot be
// closed so is a fault.
void WindDown()
{
    DWORD start = GetTickCount();
    while (LauncherRuns() && GetTickCount() - start < 60000) {
        Scene scene = Look();
        if (scene.film && IsIconic(scene.film)) {
            Perform("restore:film"); // from the taskbar
        } else if (scene.film) {
            SetForegroundWindow(scene.film);
            ui::KeyDown(VK_ESCAPE);
            ui::WaitForWindowGone(scene.film, 2000);
            ui::KeyUp(VK_ESCAPE);
        } else if (scene.game) {
            Perform("game-esc");
        } else if (scene.confirm) {
            Perform("remove:no");
        } else if (scene.options) {
            Perform("options:cancel");
        } else if (scene.menu || scene.other) {
            SetForegroundWindow(scene.menu ? scene.menu : scene.other);
            ui::PressKey(scene.menu ? VK_ESCAPE : VK_RETURN);
        } else if (scene.dialog && IsIconic(scene.dialog)) {
            Perform("restore:dialog");
        } else if (scene.Idle()) {
            ui::Click(scene.dialog, IDC_CLOSE);
            ui::WaitForExit(g_launcher, 5000);
        }
        Sleep(300);
    }
    if (LauncherRuns())
        Fault("the launcher could not be closed within 60 s: \"Schlie\xdf" "en\" did nothing");
    CheckExitCode();
    ui::Kill(g_launcher);
}

// Another program's window, for Alt+Tab away from the launcher and back; it has a thread
// of its own that answers whatever is sent to it.
DWORD WINAPI Elsewhere(void* ready)
{
    g_elsewhere = CreateWindowExA(0, "STATIC", "Anderes Programm", WS_POPUP | WS_CAPTION | WS_VISIBLE,
                                  GetSystemMetrics(SM_CXSCREEN) - 220, GetSystemMetrics(SM_CYSCREEN) - 120, 200, 100,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetEvent(ready);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}

// Ends every program of the medium that still runs (a game or a launcher left by a fault),
// so that nothing changes the disk after the last snapshot.
void EndPrograms()
{
    ui::Kill(g_launcher);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        std::string name = Lower(entry.szExeFile);
        if (name == "vesk.exe" || name == "prot_d.exe" || name == "dx52ger.exe")
            if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
                TerminateProcess(process, 99);
                WaitForSingleObject(process, 5000);
                CloseHandle(process);
            }
    }
    CloseHandle(snapshot);
}

std::string Quote(const std::vector<std::string>& actions)
{
    std::string text;
    for (const std::string& action : actions)
        text += (text.empty() ? "" : " ") + action;
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    double seconds = 45;
    std::vector<std::string> replay;
    bool replaying = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--seed" && i + 1 < argc)
            g_seed = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--seconds" && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (arg == "--silence" && i + 1 < argc)
            g_silenceBound = std::atol(argv[++i]);
        else if (arg == "--no-desktop")
            g_desktop = false;
        else if (arg == "--replay" && i + 1 < argc) {
            replaying = true;
            std::istringstream words(argv[++i]);
            for (std::string word; words >> word;)
                replay.push_back(word);
        } else {
            std::printf("usage: soak [--seed S] [--seconds N] [--no-desktop] [--silence MS] [--replay \"ACTIONS\"]\n");
            return 2;
        }
    }
    InitializeCriticalSection(&g_faultLock);
    char log[MAX_PATH] = "";
    if (GetEnvironmentVariableA("VESK_SOAK_WINE_LOG", log, sizeof log))
        g_wineLog = log;
    // Wine's shell would mirror the saved shortcut into the desktop's menus.
    SetEnvironmentVariableA("WINEDLLOVERRIDES", "winemenubuilder.exe=d");
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(CreateThread(nullptr, 0, Elsewhere, ready, 0, nullptr));
    WaitForSingleObject(ready, 5000);
    CloseHandle(ready);
    g_mode = CurrentMode();
    std::printf("soak: seed %llu, %s Wine's virtual desktop, %s, desktop %s\n",
                static_cast<unsigned long long>(g_seed), g_desktop ? "with" : "without",
                replaying ? "replaying the given actions" : (std::to_string(static_cast<int>(seconds)) + " s").c_str(),
                ModeText(g_mode).c_str());
    DWORD snapStart = GetTickCount();
    Snapshot before = TakeSnapshot();
    std::printf("soak: snapshot of C: and the registry, %zu entries, %lu ms\n", before.size(),
                GetTickCount() - snapStart);

    HANDLE watch = CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr);
    Random random{g_seed};
    DWORD start = GetTickCount();
    if (StartLauncher()) {
        for (size_t next = 0; !g_failed; ++next) {
            if (replaying ? next >= replay.size() : GetTickCount() - start >= seconds * 1000)
                break;
            std::string action = replaying ? replay[next] : Choose(random, Look());
            g_actions.push_back(action);
            Perform(action);
            // Let the program take the input before it is looked at.
            Pause(100);
            CheckAfterAction();
            if (g_actions.size() % 100 == 0)
                std::printf("soak: %zu actions, %lu s\n", g_actions.size(), (GetTickCount() - start) / 1000);
        }
    }
    double soaked = (GetTickCount() - start) / 1000.0;
    size_t acted = g_actions.size();
    if (!g_failed)
        WindDown();
    EndPrograms();
    g_stopWatch = true;
    WaitForSingleObject(watch, 5000);
    CloseHandle(watch);
    ReadWineLog();
    if (!g_failed) {
        for (const std::string& fault : {HalfInstallation(-1), KeyLeftBehind()})
            if (!fault.empty())
                Fault("at the end: " + fault);
        CompareSnapshots(before, TakeSnapshot());
    }
    std::printf("soak: %zu actions in %.0f s; %ld WM_NULL questions, %ld not answered within 100 ms; the longest "
                "silence %ld ms, of the intro %ld ms\n",
                acted, soaked, g_questions.load(), g_missed.load(), g_silence.load(), g_introSilence.load());
    if (g_faults.empty()) {
        std::printf("soak: no fault\n");
        return 0;
    }
    for (const std::string& fault : g_faults)
        std::printf("FAULT %s\n", fault.c_str());
    std::printf("seed %llu, actions so far:\n  %s\n", static_cast<unsigned long long>(g_seed), Quote(g_actions).c_str());
    std::printf("replay: ./vesk soak --seed %llu%s --replay \"%s\"\n", static_cast<unsigned long long>(g_seed),
                g_desktop ? "" : " --no-desktop", Quote(g_actions).c_str());
    return 1;
}
