// CopyFileWithProgress: what arrives, what the two bars show, and what counts as a failure.
#include "install/install_win.h"
#include "launcher/launcher_state.h"
#include "resources/resource.h"
#include "tests/install/install_test_support.h"
#include "tests/support/win_files.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>

using namespace installtest;

namespace {

std::string Pattern(std::size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + seed) ^ (i >> 8));
    return bytes;
}

std::uint64_t SizeOf(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return ~0ull;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

int BarMinimum(HWND bar) { return static_cast<int>(SendMessageA(bar, PBM_GETRANGE, TRUE, 0)); }
int BarMaximum(HWND bar) { return static_cast<int>(SendMessageA(bar, PBM_GETRANGE, FALSE, 0)); }
int BarPosition(HWND bar) { return static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0)); }

// The file's bar is set back after every file: its window procedure is watched for the
// highest position it has shown.
WNDPROC g_fileBarProc;
int g_fileBarPeak;

LRESULT CALLBACK WatchFileBar(HWND bar, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = CallWindowProcA(g_fileBarProc, bar, message, wParam, lParam);
    if (message >= WM_USER)
        g_fileBarPeak = std::max(g_fileBarPeak, static_cast<int>(CallWindowProcA(g_fileBarProc, bar, PBM_GETPOS, 0, 0)));
    return result;
}

class CopyWithProgress : public testing::Test {
protected:
    void SetUp() override
    {
        g_launcher = LauncherState{};
        g_launcher.Instance = GetModuleHandleA(nullptr);
        scratch_ = test::MakeScratchDirectory("copy");
        source_ = scratch_ + "\\cd\\";
        destination_ = scratch_ + "\\VeskMarlit\\";
        CreateDirectoryA(source_.c_str(), nullptr);
        CreateDirectoryA(destination_.c_str(), nullptr);
        dialog_ = CreateCopyProgressDialog(nullptr);
        ASSERT_NE(nullptr, dialog_) << "resource 107 with its two bars";
        fileBar_ = GetDlgItem(dialog_, IDC_FILE_BAR);
        totalBar_ = GetDlgItem(dialog_, IDC_TOTAL_BAR);
        g_fileBarPeak = 0;
        g_fileBarProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(fileBar_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchFileBar)));
        SetProgressBarBlocks(totalBar_, 100);
    }
    void TearDown() override
    {
        if (dialog_)
            DestroyWindow(dialog_);
        test::RemoveTree(scratch_);
    }
    CopyOutcome Copy(const char* name)
    {
        return CopyFileWithProgress(source_.c_str(), destination_.c_str(), name, dialog_);
    }
    std::string Title()
    {
        char title[256] = "";
        GetWindowTextA(dialog_, title, sizeof title);
        return title;
    }
    std::string scratch_, source_, destination_;
    HWND dialog_ = nullptr, fileBar_ = nullptr, totalBar_ = nullptr;
};

} // namespace

TEST_F(CopyWithProgress, CountsBlocksOnBothBarsAndTheTotalGoesOnFromFileToFile)
{
    EXPECT_TRUE(IsWindowVisible(dialog_));
    EXPECT_EQ(0, BarMinimum(fileBar_));
    EXPECT_EQ(0, BarPosition(fileBar_));
    EXPECT_EQ(0, BarMinimum(totalBar_));
    EXPECT_EQ(100, BarMaximum(totalBar_));

    // An empty file arrives empty and moves no bar, also over an older file.
    test::WriteWholeFile(source_ + "leer.dat", "");
    test::WriteWholeFile(destination_ + "leer.dat", "old contents");
    EXPECT_EQ(kCopyComplete, Copy("leer.dat"));
    EXPECT_EQ(0u, SizeOf(destination_ + "leer.dat"));
    EXPECT_EQ(0, BarMaximum(fileBar_)) << "range 0 to 0";
    EXPECT_EQ(0, g_fileBarPeak);
    EXPECT_EQ(0, BarPosition(totalBar_));
    EXPECT_EQ("leer.dat", Title());

    // 4097 bytes are two blocks, over a longer file that leaves no stale bytes behind.
    test::WriteWholeFile(source_ + "a.dat", Pattern(4097, 7));
    test::WriteWholeFile(destination_ + "a.dat", std::string(3 * 4096 + 17, 'x'));
    EXPECT_EQ(kCopyComplete, Copy("a.dat"));
    EXPECT_EQ(Pattern(4097, 7), test::ReadWholeFile(destination_ + "a.dat"));
    EXPECT_EQ(2, BarMaximum(fileBar_));
    EXPECT_EQ(2, g_fileBarPeak) << "the file's bar ends full";
    EXPECT_EQ(0, BarPosition(fileBar_)) << "and is set back afterwards";
    EXPECT_EQ(2, BarPosition(totalBar_));

    // Into a subdirectory; the total bar goes on from there, nothing resets it.
    CreateDirectoryA((source_ + "Lib").c_str(), nullptr);
    CreateDirectoryA((destination_ + "Lib").c_str(), nullptr);
    test::WriteWholeFile(source_ + "Lib\\b.dat", Pattern(3 * 4096, 9));
    g_fileBarPeak = 0;
    EXPECT_EQ(kCopyComplete, Copy("Lib\\b.dat"));
    EXPECT_EQ(Pattern(3 * 4096, 9), test::ReadWholeFile(destination_ + "Lib\\b.dat"));
    EXPECT_EQ(3, g_fileBarPeak);
    EXPECT_EQ(5, BarPosition(totalBar_));
    EXPECT_EQ("Lib\\b.dat", Title());

    // A missing source makes nothing and steps no bar, but shows its name; neither is a
    // missing directory, nor a directory that a search returns, a failure.
    CreateDirectoryA((source_ + "Unter").c_str(), nullptr);
    for (const char* name : {"fehlt.dat", "Fehlt\\auch.dat", "Unter", ".", ".."}) {
        EXPECT_EQ(kCopyNothingThere, Copy(name)) << name;
        EXPECT_EQ(0, BarPosition(fileBar_)) << name;
        EXPECT_EQ(5, BarPosition(totalBar_)) << name;
        EXPECT_TRUE(name[0] != 'f' || Title() == name) << name << " shows as " << Title();
    }
    for (const char* name : {"fehlt.dat", "Unter"})
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((destination_ + name).c_str())) << name;

    // Without the subdirectory at the destination nothing can be written.
    CreateDirectoryA((source_ + "Neu").c_str(), nullptr);
    test::WriteWholeFile(source_ + "Neu\\d.dat", "d");
    EXPECT_EQ(kCopyIncomplete, Copy("Neu\\d.dat"));

    // Without a progress dialog the copy goes on.
    test::WriteWholeFile(source_ + "ohne.dat", Pattern(10000, 4));
    EXPECT_EQ(kCopyComplete, CopyFileWithProgress(source_.c_str(), destination_.c_str(), "ohne.dat", nullptr));
    EXPECT_EQ(Pattern(10000, 4), test::ReadWholeFile(destination_ + "ohne.dat"));
}

TEST_F(CopyWithProgress, AFileOver256MiBEndsBothBarsExactlyFull)
{
    // Zeros (sparse where the file system allows) with marks at the start, the middle and the end.
    const std::string path = source_ + "gross.dat", copy = destination_ + "gross.dat";
    const long size = 256l * 1024 * 1024 + 3 * 4096 + 5, marks[] = {0, size / 2 + 1, size - 5};
    const std::uint64_t blocks = BlockCount(size);
    ASSERT_GT(blocks, 65535u);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    for (long at : marks) {
        std::fseek(file, at, SEEK_SET);
        std::fwrite("MARK!", 1, 5, file);
    }
    std::fclose(file);
    ASSERT_EQ(std::uint64_t(size), SizeOf(path));

    SetProgressBarBlocks(totalBar_, blocks);
    EXPECT_EQ(static_cast<int>(blocks), BarMaximum(totalBar_)) << "the full count, not its low 16 bits";
    EXPECT_EQ(kCopyComplete, Copy("gross.dat"));
    EXPECT_EQ(static_cast<int>(blocks), BarMaximum(fileBar_));
    EXPECT_EQ(static_cast<int>(blocks), g_fileBarPeak);
    EXPECT_EQ(static_cast<int>(blocks), BarPosition(totalBar_)) << "exactly full";
    EXPECT_EQ(std::uint64_t(size), SizeOf(copy));
    file = std::fopen(copy.c_str(), "rb");
    ASSERT_NE(nullptr, file);
    for (long at : {marks[0], size / 4, marks[1], marks[2]}) {
        char bytes[6] = "";
        EXPECT_TRUE(std::fseek(file, at, SEEK_SET) == 0 && std::fread(bytes, 1, 5, file) == 5) << at;
        EXPECT_EQ(at == size / 4 ? std::string(5, '\0') : "MARK!", std::string(bytes, 5)) << at;
    }
    std::fclose(file);
    DeleteFileA(copy.c_str());
    DeleteFileA(path.c_str());
}

// A path too long for its buffer or a read error is a failure; a read-only source gives a
// writable copy, and a read-only copy in the way is made writable.
TEST_F(CopyWithProgress, APathTooLongOrAReadErrorIsAFailureAndNoCopyStaysReadOnly)
{
    // 255 characters are the most a path buffer holds; this destination path is one longer.
    std::string name(255 - destination_.size() + 1, 'n');
    ASSERT_LT(source_.size() + name.size(), 256u) << "the source path itself fits";
    test::WriteWholeFile(source_ + name, "x");
    EXPECT_EQ(kCopyIncomplete, Copy(name.c_str()));
    EXPECT_FALSE(LongPathExists(destination_ + name));
    EXPECT_FALSE(LongPathExists(destination_ + name.substr(0, name.size() - 1))) << "nor a shortened name";
    EXPECT_EQ(0, BarPosition(totalBar_));

    const std::string path = source_ + "schreibgeschuetzt.dat", copy = destination_ + "schreibgeschuetzt.dat";
    test::WriteWholeFile(path, Pattern(100, 5));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(kCopyComplete, Copy("schreibgeschuetzt.dat"));
    EXPECT_EQ(0u, GetFileAttributesA(copy.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(Pattern(100, 5), test::ReadWholeFile(copy));

    // At the latest for the next attempt.
    ASSERT_TRUE(SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_READONLY));
    Copy("schreibgeschuetzt.dat");
    EXPECT_EQ(0u, GetFileAttributesA(copy.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(kCopyComplete, Copy("schreibgeschuetzt.dat"));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);

    // Under Wine, reading this process's own memory file from its start fails with an I/O
    // error: a source that opens but cannot be read, which is no silent end.
    if (!IsWine())
        return;
    EXPECT_EQ(kCopyIncomplete, CopyFileWithProgress("Z:\\proc\\self\\", destination_.c_str(), "mem", dialog_));
    EXPECT_EQ(0u, SizeOf(destination_ + "mem"));
    EXPECT_EQ(0, BarPosition(fileBar_));
}
