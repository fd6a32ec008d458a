#include "tests/install/install_test_support.h"

#include "tests/support/win_files.h"

#include <objbase.h>
#include <shlobj.h>

#include <vector>

namespace installtest {

bool IsWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

namespace {

std::wstring Wide(const std::string& text)
{
    std::wstring wide(text.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(n > 0 ? n - 1 : 0);
    return wide;
}

std::wstring LongForm(const std::string& path) { return L"\\\\?\\" + Wide(path); }

// Under Wine, the Unix path of a Windows path.
std::string UnixPath(const std::string& path)
{
    using Converter = char*(CDECL*)(LPCWSTR);
    auto convert = reinterpret_cast<Converter>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert)
        return {};
    char* unix = convert(Wide(path).c_str());
    if (!unix)
        return {};
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// Under Wine, starts a Unix program: Wine runs ELF programs as they are, but its handle of
// such a process does not wait for the program, so callers wait for its effect.
bool RunUnix(const std::string& commandLine)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}

template <class Predicate> bool WaitFor(Predicate done)
{
    for (int i = 0; i < 250; ++i, Sleep(20))
        if (done())
            return true;
    return false;
}

} // namespace

bool MakeDirectoryLink(const std::string& link, const std::string& target)
{
    if (!IsWine()) { // a directory link, made without privileges where the system allows it
        using MakeLink = BOOLEAN(WINAPI*)(LPCSTR, LPCSTR, DWORD);
        auto make = reinterpret_cast<MakeLink>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateSymbolicLinkA")));
        return make && make(link.c_str(), target.c_str(), 1 | 2);
    }
    std::string unixLink = UnixPath(link), unixTarget = UnixPath(target);
    if (unixLink.empty() || unixTarget.empty() || !RunUnix("/bin/ln -s \"" + unixTarget + "\" \"" + unixLink + "\""))
        return false;
    return WaitFor([&] {
        DWORD attributes = GetFileAttributesA(link.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    });
}

bool MakeLongDirectory(const std::string& path) { return CreateDirectoryW(LongForm(path).c_str(), nullptr) != FALSE; }

bool MakeLongFile(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool LongPathExists(const std::string& path)
{
    return GetFileAttributesW(LongForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveLongFile(const std::string& path) { DeleteFileW(LongForm(path).c_str()); }

// Under Wine a link whose target is gone shows no attributes and cannot be removed through
// the Windows functions: the Unix tool removes the tree.
void RemoveScratchTree(const std::string& path)
{
    // The Unix tool runs on its own; it is only started for a tree that is there, and done
    // once the tree's top is gone, which it removes last.
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return;
    std::string unixPath = IsWine() ? UnixPath(path) : std::string();
    if (unixPath.empty() || !RunUnix("/bin/rm -rf \"" + unixPath + "\"")) {
        test::RemoveTree(path);
        return;
    }
    WaitFor([&] { return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

namespace {

DialogAnswerer* g_answerer;

BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM lParam)
{
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    if (IsWindowVisible(window) && lstrcmpA(name, "#32770") == 0) {
        *reinterpret_cast<HWND*>(lParam) = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

DialogAnswerer::DialogAnswerer(std::function<void(HWND)> answer) : answer_(std::move(answer))
{
    g_answerer = this;
    timer_ = SetTimer(nullptr, 0, 30, Tick);
}

DialogAnswerer::~DialogAnswerer()
{
    KillTimer(nullptr, timer_);
    g_answerer = nullptr;
}

void CALLBACK DialogAnswerer::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindVisibleDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog || !g_answerer)
        return;
    // Answering may start another modal loop; the answer must not be run inside itself.
    static bool busy = false;
    if (busy)
        return;
    busy = true;
    g_answerer->answer_(dialog);
    ++g_answerer->answered_;
    busy = false;
}

bool UninstallEntryIn(HKEY hive)
{
    HKEY key;
    if (RegOpenKeyExA(hive, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VeskMarlit", 0, KEY_READ, &key)
        != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool UninstallEntryExists() { return UninstallEntryIn(HKEY_LOCAL_MACHINE) || UninstallEntryIn(HKEY_CURRENT_USER); }

std::string UninstallValue(HKEY hive, const char* name)
{
    DWORD data[128], type = 0, size = sizeof data;
    if (RegGetValueA(hive, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VeskMarlit", name,
                     RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, data, &size) != ERROR_SUCCESS)
        return "(none)";
    return type == REG_DWORD ? std::to_string(data[0]) : std::string(reinterpret_cast<const char*>(data));
}

bool SetUninstallValue(HKEY hive, const char* name, DWORD type, const std::string& bytes)
{
    HKEY key;
    if (RegCreateKeyExA(hive, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VeskMarlit", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()), DWORD(bytes.size()));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

std::string ProgramsFolder()
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, 0, path);
    return path;
}

LinkFacts ReadLink(const std::string& file)
{
    LinkFacts facts;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return facts;
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))
        && SUCCEEDED(persist->Load(Wide(file).c_str(), STGM_READ))) {
        char text[4][MAX_PATH] = {};
        link->GetPath(text[0], MAX_PATH, nullptr, SLGP_RAWPATH);
        link->GetWorkingDirectory(text[1], MAX_PATH);
        link->GetDescription(text[2], MAX_PATH);
        link->GetArguments(text[3], MAX_PATH);
        facts = {text[0], text[1], text[2], text[3]};
    }
    if (persist)
        persist->Release();
    link->Release();
    return facts;
}

std::string MessageBoxText(HWND box)
{
    std::string text;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[32] = "", buffer[1024] = "";
        GetClassNameA(child, name, sizeof name);
        if (lstrcmpiA(name, "Static") != 0)
            continue;
        GetWindowTextA(child, buffer, sizeof buffer);
        text += buffer;
    }
    return text;
}

void PressButton(HWND dialog, int id)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

} // namespace installtest
