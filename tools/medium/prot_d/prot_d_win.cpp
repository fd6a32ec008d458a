// prot_d.exe: the sample medium's stand-in for the game. The launcher starts it as
//   prot_d.exe high|low 0x<data view> 0x<key view>
// with the addresses of the two graphics files that it keeps mapped until the game ends.
// On NT-class systems those addresses mean nothing in this process, so the game finds its
// parent through a process snapshot and reads both views out of it. It shows what it found
// in a window titled "Vesk Marlit" until Escape or the close box; when VESK_GAME_REPORT
// names a file, it writes the same facts there instead and ends at once.
#include "tools/medium/prot_d/game_facts.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kReportVariable[] = "VESK_GAME_REPORT";
constexpr char kWindowClass[] = "VeskMarlitSpiel";
constexpr char kWindowTitle[] = "Vesk Marlit";
constexpr int kClientWidth = 640, kClientHeight = 500;
// Views are read in pieces of this size, so a large file needs no buffer of its own size.
constexpr std::size_t kReadPiece = 64 * 1024;

GameFacts g_facts;

// --- finding the parent and reading its views ------------------------------------------

// The parent's process id and program name, from a snapshot of all processes.
bool FindParent(DWORD& parentId, std::string& parentName)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    const DWORD self = GetCurrentProcessId();
    parentId = 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ProcessID == self)
            parentId = entry.th32ParentProcessID;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); parentId && more; more = Process32Next(snapshot, &entry))
        if (entry.th32ProcessID == parentId)
            parentName = entry.szExeFile;
    CloseHandle(snapshot);
    return parentId != 0 && !parentName.empty();
}

// The committed bytes from address to the end of its allocation: for a mapped view, the
// file rounded up to whole pages.
std::uint64_t CommittedSize(HANDLE process, const std::uint8_t* address)
{
    MEMORY_BASIC_INFORMATION first = {};
    if (!VirtualQueryEx(process, address, &first, sizeof first) || first.State != MEM_COMMIT)
        return 0;
    std::uint64_t size = 0;
    const std::uint8_t* cursor = address;
    for (;;) {
        MEMORY_BASIC_INFORMATION region = {};
        if (!VirtualQueryEx(process, cursor, &region, sizeof region) || region.State != MEM_COMMIT ||
            region.AllocationBase != first.AllocationBase)
            return size;
        const auto* end = static_cast<const std::uint8_t*>(region.BaseAddress) + region.RegionSize;
        size += std::uint64_t(end - cursor);
        cursor = end;
    }
}

void ReadView(HANDLE process, ViewFacts& view)
{
    if (view.Address == 0 || view.Address > UINTPTR_MAX)
        return;
    const auto* address = reinterpret_cast<const std::uint8_t*>(static_cast<std::uintptr_t>(view.Address));
    std::uint64_t size = CommittedSize(process, address);
    if (size == 0)
        return;
    std::vector<std::uint8_t> piece(kReadPiece);
    std::uint32_t crc = 0;
    for (std::uint64_t done = 0; done < size;) {
        SIZE_T want = SIZE_T(size - done < kReadPiece ? size - done : kReadPiece);
        SIZE_T got = 0;
        if (!ReadProcessMemory(process, address + done, piece.data(), want, &got) || got != want)
            return;
        if (done == 0) {
            view.FirstCount = want < kFirstBytes ? want : kFirstBytes;
            std::memcpy(view.First, piece.data(), view.FirstCount);
        }
        crc = Crc32(piece.data(), want, crc);
        done += want;
    }
    view.Read = true;
    view.Size = size;
    view.Crc = crc;
}

void GatherFacts(GameFacts& facts)
{
    ParseGameArguments(__argc, __argv, facts);
    char directory[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof directory, directory);
    facts.Directory = directory;
    DWORD parentId = 0;
    if (!FindParent(parentId, facts.Parent))
        return;
    HANDLE parent = OpenProcess(PROCESS_VM_READ | PROCESS_QUERY_INFORMATION, FALSE, parentId);
    if (!parent)
        return;
    ReadView(parent, facts.Data);
    ReadView(parent, facts.Key);
    CloseHandle(parent);
}

bool WriteReport(const char* path, const GameFacts& facts)
{
    std::FILE* file = std::fopen(path, "wb");
    if (!file)
        return false;
    std::string report = FormatReport(facts);
    bool written = std::fwrite(report.data(), 1, report.size(), file) == report.size();
    return std::fclose(file) == 0 && written;
}

// --- the window ------------------------------------------------------------------------

// Colours of the card table.
constexpr COLORREF kFeltTop = RGB(0x17, 0x62, 0x3a);
constexpr COLORREF kFeltBottom = RGB(0x08, 0x2e, 0x1b);
constexpr COLORREF kPanel = RGB(0x0b, 0x40, 0x25);
constexpr COLORREF kGold = RGB(0xe9, 0xcf, 0x7f);
constexpr COLORREF kShadow = RGB(0x04, 0x1c, 0x10);
constexpr COLORREF kText = RGB(0xec, 0xf2, 0xec);
constexpr COLORREF kQuiet = RGB(0xa6, 0xc6, 0xb0);
constexpr COLORREF kWarning = RGB(0xff, 0xa0, 0x90);
constexpr COLORREF kCardFace = RGB(0xfb, 0xf8, 0xf0);
constexpr COLORREF kCardEdge = RGB(0x9a, 0x96, 0x8c);
constexpr COLORREF kRedSuit = RGB(0xc8, 0x1e, 0x2a);
constexpr COLORREF kBlackSuit = RGB(0x1c, 0x1c, 0x1c);

struct Fonts {
    HFONT Title, Heading, Body, Mono, Small;
};
Fonts g_fonts;

HFONT MakeFont(int height, int weight, const char* face)
{
    return CreateFontA(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, face);
}

void CreateFonts()
{
    g_fonts.Title = MakeFont(46, FW_BOLD, "Times New Roman");
    g_fonts.Heading = MakeFont(17, FW_BOLD, "Arial");
    g_fonts.Body = MakeFont(16, FW_NORMAL, "Arial");
    g_fonts.Mono = MakeFont(15, FW_NORMAL, "Courier New");
    g_fonts.Small = MakeFont(13, FW_NORMAL, "Arial");
}

void DeleteFonts()
{
    for (HFONT font : {g_fonts.Title, g_fonts.Heading, g_fonts.Body, g_fonts.Mono, g_fonts.Small})
        if (font)
            DeleteObject(font);
    g_fonts = {};
}

// A solid brush and a one-pixel pen, selected into a device context for as long as the
// object lives, then put back and deleted.
class SolidTools {
public:
    SolidTools(HDC dc, COLORREF fill, COLORREF edge)
        : dc_(dc), brush_(CreateSolidBrush(fill)), pen_(CreatePen(PS_SOLID, 1, edge)),
          oldBrush_(SelectObject(dc, brush_)), oldPen_(SelectObject(dc, pen_))
    {
    }
    ~SolidTools()
    {
        SelectObject(dc_, oldBrush_);
        SelectObject(dc_, oldPen_);
        DeleteObject(brush_);
        DeleteObject(pen_);
    }
    SolidTools(const SolidTools&) = delete;
    SolidTools& operator=(const SolidTools&) = delete;

private:
    HDC dc_;
    HBRUSH brush_;
    HPEN pen_;
    HGDIOBJ oldBrush_, oldPen_;
};

void FillSolid(HDC dc, const RECT& rect, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

BYTE Blend(BYTE a, BYTE b, int step, int steps) { return BYTE(a + (int(b) - int(a)) * step / steps); }

// The felt, darkening from top to bottom in bands of four pixels.
void DrawFelt(HDC dc, int width, int height)
{
    const int band = 4, steps = height / band;
    for (int i = 0; i <= steps; ++i) {
        COLORREF c = RGB(Blend(GetRValue(kFeltTop), GetRValue(kFeltBottom), i, steps),
                         Blend(GetGValue(kFeltTop), GetGValue(kFeltBottom), i, steps),
                         Blend(GetBValue(kFeltTop), GetBValue(kFeltBottom), i, steps));
        RECT r = {0, i * band, width, i * band + band};
        FillSolid(dc, r, c);
    }
}

void DrawShape(HDC dc, COLORREF colour, void (*shape)(HDC, int, int, int), int x, int y, int size)
{
    SolidTools tools(dc, colour, colour);
    shape(dc, x, y, size);
}

// The four suits, each centred on (x, y) within a square of about size pixels.
void DiamondShape(HDC dc, int x, int y, int s)
{
    POINT p[] = {{x, y - s / 2}, {x + s * 3 / 8, y}, {x, y + s / 2}, {x - s * 3 / 8, y}};
    Polygon(dc, p, 4);
}

void HeartShape(HDC dc, int x, int y, int s)
{
    int r = s / 4;
    Ellipse(dc, x - 2 * r, y - s / 2, x + 1, y - s / 2 + 2 * r + 1);
    Ellipse(dc, x - 1, y - s / 2, x + 2 * r, y - s / 2 + 2 * r + 1);
    POINT p[] = {{x - 2 * r + 1, y - s / 2 + r + 2}, {x + 2 * r - 1, y - s / 2 + r + 2}, {x, y + s / 2}};
    Polygon(dc, p, 3);
}

void SpadeShape(HDC dc, int x, int y, int s)
{
    int r = s / 4;
    POINT tip[] = {{x, y - s / 2}, {x + 2 * r - 1, y + r / 2}, {x - 2 * r + 1, y + r / 2}};
    Polygon(dc, tip, 3);
    Ellipse(dc, x - 2 * r, y - r / 2, x + 1, y + r + r / 2 + 1);
    Ellipse(dc, x - 1, y - r / 2, x + 2 * r, y + r + r / 2 + 1);
    POINT stem[] = {{x, y + r / 2}, {x + r / 2 + 1, y + s / 2}, {x - r / 2 - 1, y + s / 2}};
    Polygon(dc, stem, 3);
}

void ClubShape(HDC dc, int x, int y, int s)
{
    int r = s * 9 / 40;
    Ellipse(dc, x - r, y - s / 2, x + r + 1, y - s / 2 + 2 * r + 1);
    Ellipse(dc, x - 2 * r - 1, y - r / 2, x + 1, y + r + r / 2 + 1);
    Ellipse(dc, x - 1, y - r / 2, x + 2 * r + 1, y + r + r / 2 + 1);
    POINT stem[] = {{x, y}, {x + r / 2 + 1, y + s / 2}, {x - r / 2 - 1, y + s / 2}};
    Polygon(dc, stem, 3);
}

// A playing card: its suit small in the top left corner, where it shows in a fan, and
// large in the middle.
void DrawCard(HDC dc, int left, int top, int suit)
{
    const int width = 40, height = 56;
    {
        SolidTools tools(dc, kCardFace, kCardEdge);
        RoundRect(dc, left, top, left + width, top + height, 7, 7);
    }
    static void (*const shapes[])(HDC, int, int, int) = {ClubShape, SpadeShape, HeartShape, DiamondShape};
    COLORREF colour = suit < 2 ? kBlackSuit : kRedSuit;
    DrawShape(dc, colour, shapes[suit], left + 9, top + 11, 11);
    DrawShape(dc, colour, shapes[suit], left + width / 2 + 2, top + height / 2 + 4, 20);
}

// A fan of the four suits, the middle two raised a little.
void DrawCardFan(HDC dc, int left, int top)
{
    for (int suit = 0; suit < 4; ++suit)
        DrawCard(dc, left + suit * 17, top + (suit == 1 || suit == 2 ? 0 : 4), suit);
}

void DrawTextAt(HDC dc, HFONT font, COLORREF colour, const std::string& text, RECT rect, UINT format)
{
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, colour);
    DrawTextA(dc, text.c_str(), int(text.size()), &rect, format | DT_NOPREFIX);
    SelectObject(dc, old);
}

std::string HexAddress(std::uint64_t address)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llx", static_cast<unsigned long long>(address));
    return text;
}

// 123456 as "123.456", the German way.
std::string Grouped(std::uint64_t value)
{
    std::string digits = std::to_string(value), text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0)
            text += '.';
        text += digits[i];
    }
    return text;
}

const char* FileName(bool data)
{
    bool low = g_facts.Mode == "low";
    if (data)
        return low ? "skatgrf640.dat" : "skatgrf.dat";
    return low ? "skatgrf640.key" : "skatgrf.key";
}

// One block of the panel: a heading and four rows of label and value.
int DrawViewBlock(HDC dc, int left, int top, int right, const char* heading, bool data, const ViewFacts& view)
{
    std::string title = std::string(heading) + "  (" + FileName(data) + ")";
    DrawTextAt(dc, g_fonts.Heading, kGold, title, {left, top, right, top + 22}, DT_LEFT | DT_SINGLELINE);
    top += 26;
    auto row = [&](const char* label, const std::string& value, COLORREF colour) {
        DrawTextAt(dc, g_fonts.Body, kQuiet, label, {left + 12, top, left + 120, top + 20}, DT_LEFT | DT_SINGLELINE);
        DrawTextAt(dc, g_fonts.Mono, colour, value, {left + 120, top + 1, right, top + 20}, DT_LEFT | DT_SINGLELINE);
        top += 21;
    };
    row("Adresse", HexAddress(view.Address), kText);
    if (!view.Read) {
        row("Inhalt", "nicht lesbar", kWarning);
        return top + 10;
    }
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(view.Crc));
    row("Ansicht", Grouped(view.Size) + " Bytes", kText);
    row("CRC-32", crc, kText);
    row("Anfang", FirstBytesHex(view), kText);
    // Built piece by piece: GCC 12 warns falsely about a one-expression concatenation here.
    std::string quoted = "\x84";
    quoted += FirstBytesText(view);
    quoted += "\x93";
    row("", quoted, kQuiet);
    return top + 10;
}

std::string ModeLine()
{
    if (g_facts.Mode == "high")
        return "Modus \x84high\x93 \x96 hohe Aufl\xf6sung";
    if (g_facts.Mode == "low")
        return "Modus \x84low\x93 \x96 niedrige Aufl\xf6sung";
    return "Kein g\xfcltiger Modus angegeben";
}

std::string ParentLine()
{
    if (g_facts.Parent.empty())
        return "Startprogramm nicht gefunden";
    return "Gestartet von " + g_facts.Parent + " in " + g_facts.Directory;
}

void DrawScene(HDC dc, int width, int height)
{
    DrawFelt(dc, width, height);
    SetBkMode(dc, TRANSPARENT);
    DrawCardFan(dc, 26, 20);
    DrawCardFan(dc, width - 26 - 40 - 3 * 17, 20);

    RECT title = {0, 16, width, 72};
    DrawTextAt(dc, g_fonts.Title, kShadow, kWindowTitle, {2, 18, width + 2, 74}, DT_CENTER | DT_SINGLELINE);
    DrawTextAt(dc, g_fonts.Title, kGold, kWindowTitle, title, DT_CENTER | DT_SINGLELINE);
    DrawTextAt(dc, g_fonts.Body, kText, ModeLine(), {0, 78, width, 98}, DT_CENTER | DT_SINGLELINE);
    DrawTextAt(dc, g_fonts.Small, kQuiet, ParentLine(), {20, 100, width - 20, 118},
               DT_CENTER | DT_SINGLELINE | DT_PATH_ELLIPSIS);

    RECT panel = {24, 128, width - 24, height - 40};
    {
        SolidTools tools(dc, kPanel, kGold);
        RoundRect(dc, panel.left, panel.top, panel.right, panel.bottom, 14, 14);
    }

    int top = panel.top + 14;
    top = DrawViewBlock(dc, panel.left + 20, top, panel.right - 16, "Grafikdaten", true, g_facts.Data);
    DrawViewBlock(dc, panel.left + 20, top, panel.right - 16, "Grafikschl\xfcssel", false, g_facts.Key);

    DrawTextAt(dc, g_fonts.Small, kQuiet, "Esc oder das Schlie\xdf" "feld beendet das Spiel.",
               {0, height - 30, width, height - 10}, DT_CENTER | DT_SINGLELINE);
}

// Drawn off-screen first, so that the picture appears whole.
void OnPaint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ old = SelectObject(memory, bitmap);
    DrawScene(memory, client.right, client.bottom);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    EndPaint(window, &paint);
}

LRESULT CALLBACK GameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        CreateFonts();
        return 0;
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_ERASEBKGND:
        return 1; // the whole client area is painted
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE)
            DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        DeleteFonts();
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND CreateGameWindow(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = GameWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassA(&windowClass))
        return nullptr;
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRect(&frame, style, FALSE);
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    return CreateWindowExA(0, kWindowClass, kWindowTitle, style, x, y, width, height, nullptr, nullptr, instance,
                           nullptr);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    GatherFacts(g_facts);
    char report[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA(kReportVariable, report, sizeof report);
    if (length > 0 && length < sizeof report)
        return WriteReport(report, g_facts) ? 0 : 1;

    HWND window = CreateGameWindow(instance);
    if (!window)
        return 1;
    ShowWindow(window, show);
    SetForegroundWindow(window);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
