// The install options dialog on machines of the test's making: which drives it lists, what
// it shows for them, and what OK and Cancel return.
#include "install/install_win.h"
#include "launcher/launcher_state.h"
#include "launcher/text.h"
#include "resources/resource.h"
#include "tests/install/install_test_support.h"
#include "tests/support/win_files.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace installtest;

namespace {

struct Drive {
    UINT type;
    std::uint64_t freeBytes;
    bool queryFails = false;
};

// The machine the dialog looks at, and the roots it asked about.
std::map<char, Drive> g_machine;
std::vector<std::string> g_askedType, g_askedSpace;

UINT WINAPI FakeDriveType(LPCSTR root)
{
    g_askedType.push_back(root);
    auto drive = g_machine.find(root[0]);
    return drive == g_machine.end() ? DRIVE_NO_ROOT_DIR : drive->second.type;
}

BOOL WINAPI FakeFreeSpace(LPCSTR root, PULARGE_INTEGER available, PULARGE_INTEGER total, PULARGE_INTEGER free)
{
    g_askedSpace.push_back(root);
    const Drive& drive = g_machine.at(root[0]);
    if (drive.queryFails)
        return FALSE;
    available->QuadPart = drive.freeBytes;
    free->QuadPart = drive.freeBytes;
    total->QuadPart = drive.freeBytes * 2;
    return TRUE;
}

const DriveQueries kFakeDrives = {FakeDriveType, FakeFreeSpace};

class OptionsDialog : public testing::Test {
protected:
    void SetUp() override
    {
        g_launcher = LauncherState{};
        g_launcher.Instance = GetModuleHandleA(nullptr);
        CopyText(g_launcher.InstallRoot, "Q:\\vorher\\");
        g_machine.clear();
        g_askedType.clear();
        g_askedSpace.clear();
    }
    // Runs the dialog; the action looks at it and ends it.
    int Run(std::function<void(HWND)> action)
    {
        DialogAnswerer answerer([&](HWND dialog) {
            seen_ = dialog;
            entries_.clear();
            char text[256] = "";
            for (int i = 0; SendDlgItemMessageA(dialog, IDC_TARGET_DRIVE, CB_GETLBTEXT, i, LPARAM(text)) > 0; ++i)
                entries_.push_back(text);
            GetDlgItemTextA(dialog, IDC_TARGET_DRIVE, text, sizeof text);
            shown_ = text;
            checked_ = IsDlgButtonChecked(dialog, IDC_PLAY_FROM_CD) == BST_CHECKED;
            centred_ = test::Centred(dialog);
            action(dialog);
        });
        return InstallOptionsDialog(nullptr, kFakeDrives);
    }
    HWND seen_ = nullptr;
    std::vector<std::string> entries_;
    std::string shown_;
    bool checked_ = true, centred_ = false;
};

} // namespace

TEST_F(OptionsDialog, ListsTheFixedDrivesCToVWithTheLowestSelected)
{
    g_machine = {{'A', {DRIVE_FIXED, 1 << 30}},   {'B', {DRIVE_FIXED, 1 << 30}},
                 {'C', {DRIVE_FIXED, 32768000}},  {'D', {DRIVE_CDROM, 0}},
                 {'E', {DRIVE_FIXED, 5ull << 30}}, {'F', {DRIVE_REMOVABLE, 1 << 30}},
                 {'G', {DRIVE_REMOTE, 1 << 30}},  {'H', {DRIVE_RAMDISK, 1 << 30}},
                 {'I', {DRIVE_UNKNOWN, 1 << 30}}, {'V', {DRIVE_FIXED, 3ull << 20}},
                 {'W', {DRIVE_FIXED, 1 << 30}},   {'Z', {DRIVE_FIXED, 1 << 30}}};
    int mode = Run([](HWND dialog) { PressButton(dialog, IDOK); });
    ASSERT_NE(nullptr, seen_) << "the dialog did not show";
    EXPECT_EQ((std::vector<std::string>{"C:\\ 31MB frei", "E:\\ 5120MB frei", "V:\\ 3MB frei"}), entries_);
    EXPECT_EQ("C:\\ 31MB frei", shown_);
    EXPECT_FALSE(checked_) << "the check box starts cleared";
    ASSERT_EQ(20u, g_askedType.size()) << "C to V, nothing else";
    EXPECT_EQ("C:\\", g_askedType.front());
    EXPECT_EQ("V:\\", g_askedType.back());
    EXPECT_EQ((std::vector<std::string>{"C:\\", "E:\\", "V:\\"}), g_askedSpace) << "free space of fixed drives only";
    EXPECT_EQ(kInstallFull, mode);
    EXPECT_STREQ("C:\\", g_launcher.InstallRoot);
    EXPECT_TRUE(centred_);
}

TEST_F(OptionsDialog, WhatOkAndCancelReturnAndWhereToInstall)
{
    const Drive fixed = {DRIVE_FIXED, 1 << 30};
    const std::map<char, Drive> two = {{'C', fixed}, {'E', fixed}};
    bool stillOpen = false;
    const struct {
        const char* what;
        std::map<char, Drive> machine;
        std::function<void(HWND)> action;
        int mode;
        const char* root;
        std::vector<std::string> entries;
    } cases[] = {
        {"the ticked box and another drive give play-from-CD there", two,
         [](HWND dialog) {
             SendDlgItemMessageA(dialog, IDC_TARGET_DRIVE, CB_SETCURSEL, 1, 0);
             CheckDlgButton(dialog, IDC_PLAY_FROM_CD, BST_CHECKED);
             PressButton(dialog, IDOK);
         },
         kInstallFromCd, "E:\\", {"C:\\ 1024MB frei", "E:\\ 1024MB frei"}},
        {"text typed into the field is never read", two,
         [](HWND dialog) {
             SetDlgItemTextA(dialog, IDC_TARGET_DRIVE, "Q:\\Spiele");
             PressButton(dialog, IDOK);
         },
         kInstallFull, "C:\\", {"C:\\ 1024MB frei", "E:\\ 1024MB frei"}},
        {"OK waits for a drive while none is selected", {{'C', fixed}},
         [&](HWND dialog) {
             SendDlgItemMessageA(dialog, IDC_TARGET_DRIVE, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
             PressButton(dialog, IDOK);
             stillOpen = IsWindowVisible(dialog) != FALSE;
             SendDlgItemMessageA(dialog, IDC_TARGET_DRIVE, CB_SETCURSEL, 0, 0);
             PressButton(dialog, IDOK);
         },
         kInstallFull, "C:\\", {"C:\\ 1024MB frei"}},
        {"without a fixed drive OK is a cancel", {{'D', {DRIVE_CDROM, 0}}, {'X', fixed}},
         [](HWND dialog) { PressButton(dialog, IDOK); }, kInstallCancelled, "Q:\\vorher\\", {}},
        {"a drive whose free space is unknown is not listed", {{'C', {DRIVE_FIXED, 1 << 30, true}}, {'E', {DRIVE_FIXED, 7ull << 20}}},
         [](HWND dialog) { PressButton(dialog, IDOK); }, kInstallFull, "E:\\", {"E:\\ 7MB frei"}},
        {"cancel leaves InstallRoot alone", {{'C', fixed}}, [](HWND dialog) { PressButton(dialog, IDCANCEL); },
         kInstallCancelled, "Q:\\vorher\\", {"C:\\ 1024MB frei"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CopyText(g_launcher.InstallRoot, "Q:\\vorher\\");
        g_machine = c.machine;
        EXPECT_EQ(c.mode, Run(c.action));
        EXPECT_EQ(c.entries, entries_);
        EXPECT_STREQ(c.root, g_launcher.InstallRoot);
    }
    EXPECT_TRUE(stillOpen);

    // A module without the dialog template: no dialog is a cancel.
    g_launcher.Instance = GetModuleHandleA("kernel32.dll");
    EXPECT_EQ(kInstallCancelled, InstallOptionsDialog(nullptr, kFakeDrives));
    EXPECT_STREQ("Q:\\vorher\\", g_launcher.InstallRoot);
}
