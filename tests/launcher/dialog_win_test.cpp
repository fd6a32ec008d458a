// The launcher dialog and its pictures, in process: which buttons show, what the commands
// do, and what the drawing puts on the screen.
#include "intro/intro_choice_win.h"
#include "launcher/launcher_state.h"
#include "launcher/launcher_win.h"
#include "resources/resource.h"
#include "tests/support/win_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int kAllButtons[] = {IDC_PLAY_HIGH, IDC_INSTALL, IDC_CLOSE, IDC_INTRO_HIGH, IDC_PLAY_LOW, IDC_INTRO_LOW};

bool Visible(HWND dialog, int id) { return (GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0; }

// A 32-bit memory canvas filled with the marker colour, so that every pixel a drawing
// leaves alone is recognisable.
struct Canvas {
    Canvas(int w, int h) : width(w), height(h)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        old = SelectObject(dc, bitmap);
        for (int i = 0; i < w * h; ++i)
            bits[i] = 0x00FF00FF;
    }
    ~Canvas()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    std::vector<DWORD> Pixels() const
    {
        GdiFlush();
        return std::vector<DWORD>(bits, bits + width * height);
    }
    int width, height;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    DWORD* bits = nullptr;
};

class LauncherDialog : public testing::Test {
protected:
    void SetUp() override
    {
        g_launcher = LauncherState{};
        g_launcher.Instance = GetModuleHandleA(nullptr);
    }
    void TearDown() override
    {
        if (dialog_)
            DestroyWindow(dialog_);
        if (g_launcher.UiFont)
            DeleteObject(g_launcher.UiFont);
    }
    HWND Open()
    {
        dialog_ = CreateDialogParamA(g_launcher.Instance, MAKEINTRESOURCEA(IDD_LAUNCHER), nullptr, LauncherDialogProc, 0);
        return dialog_;
    }
    void UseArial() { g_launcher.UiFont = CreateFontA(15, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Arial"); }
    // What the dialog procedure draws for a button (or, given a label, the picture button
    // with that label), on a fresh canvas of the button's size.
    std::vector<DWORD> DrawnButton(int id, UINT state, const char* label = nullptr)
    {
        HWND button = GetDlgItem(dialog_, id);
        RECT rect;
        GetClientRect(button, &rect);
        Canvas canvas(rect.right, rect.bottom);
        DRAWITEMSTRUCT item = {ODT_BUTTON, static_cast<UINT>(id), 0, ODA_DRAWENTIRE, state, button, canvas.dc, rect, 0};
        if (label)
            DrawPictureButton(item, label);
        else
            EXPECT_EQ(TRUE, LauncherDialogProc(dialog_, WM_DRAWITEM, id, reinterpret_cast<LPARAM>(&item)));
        return canvas.Pixels();
    }
    HWND dialog_ = nullptr;
};

} // namespace

// Not installed: only Installieren and Schließen show; the dialog is centred at its
// template's size, without a close box, and its colour messages answer the hollow brush.
// Escape, Enter and unknown commands are swallowed, and so is everything while it is held.
TEST_F(LauncherDialog, NotInstalledShowsOnlyInstallAndCloseAndOnlySchliessenEndsIt)
{
    g_launcher.UninstallMode = true; // "/U": the install command, posted to itself
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(dialog_, g_launcher.LauncherDialog);
    MSG message;
    bool posted = false;
    while (PeekMessageA(&message, dialog_, WM_COMMAND, WM_COMMAND, PM_REMOVE))
        posted = posted || (message.wParam == MAKEWPARAM(IDC_INSTALL, 0) && message.lParam == 0);
    EXPECT_TRUE(posted);
    for (int id : kAllButtons)
        EXPECT_EQ(id == IDC_INSTALL || id == IDC_CLOSE, Visible(dialog_, id)) << "button " << id;
    EXPECT_TRUE(test::Centred(dialog_));
    RECT units = {0, 0, 239, 295};
    MapDialogRect(dialog_, &units);
    RECT client;
    GetClientRect(dialog_, &client);
    EXPECT_EQ(units.right, client.right);
    EXPECT_EQ(units.bottom, client.bottom);
    EXPECT_EQ(0, GetWindowLongA(dialog_, GWL_STYLE) & WS_SYSMENU) << "no close box";
    INT_PTR hollow = reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    EXPECT_EQ(hollow, LauncherDialogProc(dialog_, WM_CTLCOLORBTN, 0, 0));
    EXPECT_EQ(hollow, LauncherDialogProc(dialog_, WM_CTLCOLORSTATIC, 0, 0));

    ShowWindow(dialog_, SW_SHOW);
    for (int id : {IDOK, IDCANCEL, 999, 1006}) {
        EXPECT_EQ(TRUE, LauncherDialogProc(dialog_, WM_COMMAND, MAKEWPARAM(id, 0), 0)) << id;
        EXPECT_TRUE(IsWindowVisible(dialog_)) << id;
    }
    // The six buttons answer FALSE; the play buttons do nothing while not installed.
    EXPECT_EQ(FALSE, LauncherDialogProc(dialog_, WM_COMMAND, MAKEWPARAM(IDC_PLAY_HIGH, BN_CLICKED), 0));
    EXPECT_EQ(FALSE, LauncherDialogProc(dialog_, WM_COMMAND, MAKEWPARAM(IDC_PLAY_LOW, 0), 0));
    EXPECT_TRUE(IsWindowVisible(dialog_));
    EnableWindow(dialog_, FALSE);
    LauncherDialogProc(dialog_, WM_COMMAND, MAKEWPARAM(IDC_CLOSE, 0), 0);
    EXPECT_TRUE(EnableWindow(dialog_, TRUE) && IsWindowVisible(dialog_)) << "held, as by the intro, it does nothing";
    EXPECT_EQ(FALSE, LauncherDialogProc(dialog_, WM_COMMAND, MAKEWPARAM(IDC_CLOSE, 0), 0));
    EXPECT_FALSE(IsWindowVisible(dialog_)) << "Schließen ends the dialog";
}

// Installed: all six show, the install button is drawn as Entfernen, and a change of the
// display's mode (the intro's, whose colours anything drawn meanwhile used) redraws them all.
TEST_F(LauncherDialog, InstalledShowsAllSixDrawsInstallAsRemoveAndAModeChangeRedrawsThem)
{
    g_launcher.Installed = true;
    UseArial();
    ASSERT_NE(nullptr, Open());
    for (int id : kAllButtons)
        EXPECT_TRUE(Visible(dialog_, id)) << "button " << id;
    char text[40] = "";
    GetDlgItemTextA(dialog_, IDC_INSTALL, text, sizeof text);
    EXPECT_STREQ("Installieren", text) << "the template text stays; only the drawing changes";

    std::vector<DWORD> drawn = DrawnButton(IDC_INSTALL, 0);
    EXPECT_EQ(DrawnButton(IDC_INSTALL, 0, "Entfernen"), drawn);
    EXPECT_NE(DrawnButton(IDC_INSTALL, 0, "Installieren"), drawn);

    g_launcher.Installed = false;
    EXPECT_EQ(DrawnButton(IDC_INSTALL, 0, "Installieren"), DrawnButton(IDC_INSTALL, 0));
    // Other buttons are labelled with their own text.
    EXPECT_EQ(DrawnButton(IDC_CLOSE, 0, "Schlie\xdf" "en"), DrawnButton(IDC_CLOSE, 0));

    ShowWindow(dialog_, SW_SHOW);
    UpdateWindow(dialog_);
    ASSERT_FALSE(GetUpdateRect(GetDlgItem(dialog_, IDC_INTRO_HIGH), nullptr, FALSE));
    EXPECT_EQ(FALSE, LauncherDialogProc(dialog_, WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768)));
    EXPECT_TRUE(GetUpdateRect(dialog_, nullptr, FALSE));
    for (int id : kAllButtons)
        EXPECT_TRUE(GetUpdateRect(GetDlgItem(dialog_, id), nullptr, FALSE)) << "button " << id;
}

// The window menu's item flips the remembered choice; what a user or a damaged profile put
// there in its place means full screen.
TEST_F(LauncherDialog, TheWindowMenuItemFlipsTheIntroChoiceAndAnythingElseStoredMeansFullScreen)
{
    ASSERT_NE(nullptr, Open());
    ForgetIntroChoice();
    HKEY key;
    auto keyExists = [&] { return RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\VeskMarlit", 0, KEY_READ, &key) == 0 && !RegCloseKey(key); };
    for (bool chosen : {true, false}) {
        EXPECT_EQ(FALSE, LauncherDialogProc(dialog_, WM_COMMAND, MAKEWPARAM(IDM_INTRO_WINDOW, 0), 0));
        EXPECT_EQ(chosen, IntroWindowChosen());
        EXPECT_EQ(chosen, keyExists()) << "the key exists only while it holds the choice";
    }
    const struct {
        DWORD type;
        std::vector<BYTE> bytes;
    } stored[] = {{REG_DWORD, {1, 0, 0, 0}}, {REG_DWORD, {2, 0, 0, 0}}, {REG_DWORD, {1, 0}}, {REG_BINARY, {1, 0, 0, 0}},
                  {REG_SZ, {'1', 0}}, {REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}}, {REG_BINARY, std::vector<BYTE>(4096, 1)}};
    for (const auto& v : stored) {
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\VeskMarlit", 0, nullptr, 0,
                                                 KEY_SET_VALUE, nullptr, &key, nullptr));
        RegSetValueExA(key, "IntroImFenster", 0, v.type, v.bytes.data(), DWORD(v.bytes.size()));
        RegCloseKey(key);
        EXPECT_EQ(&v == stored, IntroWindowChosen()) << "type " << v.type << ", " << v.bytes.size() << " bytes";
    }
    ForgetIntroChoice();
    EXPECT_FALSE(IntroWindowChosen()) << "nothing stored";
}

// Moved to a monitor of 144 DPI, the buttons grow by half and the labels get a font for it.
TEST_F(LauncherDialog, OnAMonitorOfAnotherDpiTheButtonsAndTheirFontGrow)
{
    ASSERT_NE(nullptr, Open());
    RECT window, before, after;
    GetWindowRect(dialog_, &window);
    GetWindowRect(GetDlgItem(dialog_, IDC_INTRO_LOW), &before);
    RECT suggested = {window.left, window.top, window.left + (window.right - window.left) * 3 / 2,
                      window.top + (window.bottom - window.top) * 3 / 2};
    LauncherDialogProc(dialog_, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    GetWindowRect(GetDlgItem(dialog_, IDC_INTRO_LOW), &after);
    LOGFONTA font = {};
    ASSERT_TRUE(GetObjectA(g_launcher.UiFont, sizeof font, &font));
    EXPECT_EQ(22, font.lfHeight) << "15 pixels at 96 DPI";
    EXPECT_NEAR((before.right - before.left) * 1.5, after.right - after.left, 2.0);
    EXPECT_NEAR((before.bottom - before.top) * 1.5, after.bottom - after.top, 2.0);
}

TEST_F(LauncherDialog, BackgroundFillsTheWholeClientArea)
{
    ASSERT_NE(nullptr, Open());
    for (SIZE size : {SIZE{358, 479}, SIZE{504, 666}, SIZE{1000, 300}}) {
        Canvas canvas(size.cx, size.cy);
        RECT rect = {0, 0, size.cx, size.cy};
        DrawBackground(canvas.dc, rect, IDB_BACKGROUND);
        std::vector<DWORD> pixels = canvas.Pixels();
        EXPECT_EQ(0, std::count(pixels.begin(), pixels.end(), 0x00FF00FFu)) << size.cx << "x" << size.cy;
    }
}

TEST_F(LauncherDialog, AHeldButtonMovesOnlyItsLabelByOnePixel)
{
    UseArial();
    ASSERT_NE(nullptr, Open());
    std::vector<DWORD> face = DrawnButton(IDC_CLOSE, 0, "");
    std::vector<DWORD> up = DrawnButton(IDC_CLOSE, 0, "Schlie\xdf" "en");
    std::vector<DWORD> down = DrawnButton(IDC_CLOSE, ODS_SELECTED, "Schlie\xdf" "en");
    EXPECT_EQ(face, DrawnButton(IDC_CLOSE, ODS_SELECTED, "")) << "the face is the same in every state";
    RECT rect;
    GetClientRect(GetDlgItem(dialog_, IDC_CLOSE), &rect);
    int w = rect.right, h = rect.bottom, inked = 0, moved = 0;
    for (int y = 0; y + 1 < h; ++y)
        for (int x = 0; x + 1 < w; ++x) {
            bool inkUp = up[y * w + x] != face[y * w + x];
            bool inkDown = down[(y + 1) * w + x + 1] != face[(y + 1) * w + x + 1];
            inked += inkUp;
            moved += inkUp && inkDown;
        }
    EXPECT_GT(inked, 20) << "the label is drawn";
    EXPECT_GT(moved, inked * 9 / 10) << "the label's pixels reappear one pixel right and down";
}

TEST(Pictures, PalettesComeFromTheColourTables)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    const int pictures[][4] = {{IDB_BACKGROUND, 504, 666, 256}, {IDB_BUTTON, 80, 39, 16}};
    for (const auto& [id, width, height, colours] : pictures) {
        HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_BITMAP));
        ASSERT_NE(nullptr, found);
        const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(instance, found)));
        ASSERT_EQ(40u, header->biSize);
        DibPicture picture = LoadBitmapResource(instance, id);
        ASSERT_NE(nullptr, picture.bitmap);
        PALETTEENTRY entries[256];
        std::memset(entries, 0xEE, sizeof entries);
        ASSERT_EQ(static_cast<UINT>(colours), GetPaletteEntries(picture.palette, 0, 256, entries));
        const auto* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(header) + 40);
        for (int i = 0; i < colours; ++i) {
            EXPECT_EQ(table[i].rgbRed, entries[i].peRed) << i;
            EXPECT_EQ(table[i].rgbGreen, entries[i].peGreen) << i;
            EXPECT_EQ(table[i].rgbBlue, entries[i].peBlue) << i;
            EXPECT_EQ(0, entries[i].peFlags) << i;
        }
        BITMAP info = {};
        GetObjectA(picture.bitmap, sizeof info, &info);
        EXPECT_EQ(width, info.bmWidth);
        EXPECT_EQ(height, info.bmHeight);
        DeleteObject(picture.bitmap);
        DeleteObject(picture.palette);
    }
    DibPicture missing = LoadBitmapResource(instance, 4242);
    EXPECT_TRUE(missing.bitmap == nullptr && missing.palette == nullptr) << "a missing resource gives neither";
}
