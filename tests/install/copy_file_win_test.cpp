// CopyFileWithProgress: what arrives, what the two bars show, and what counts as a failure.
#include "install/install_win.h"
#include "launcher/launcher_state.h"
#include "resources/resource.h"
#include "tests/install/install_test_support.h"
#include "tests/support/win_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

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
        fileWatch_ = std::make_unique<BarWatch>(fileBar_);
        totalWatch_ = std::make_unique<BarWatch>(totalBar_);
        SetProgressBarBlocks(totalBar_, 100);
    }
    void TearDown() override
    {
        fileWatch_.reset();
        totalWatch_.reset();
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
    std::unique_ptr<BarWatch> fileWatch_, totalWatch_;
};

} // namespace

TEST_F(CopyWithProgress, TheDialogCountsBlocksOnBothBarsFromZero)
{
    EXPECT_TRUE(IsWindowVisible(dialog_));
    EXPECT_EQ(0, BarMinimum(fileBar_));
    EXPECT_EQ(0, BarPosition(fileBar_));
    EXPECT_EQ(0, BarMinimum(totalBar_));
    EXPECT_EQ(100, BarMaximum(totalBar_));
    EXPECT_EQ(0, BarPosition(totalBar_));
}

TEST_F(CopyWithProgress, AnEmptyFileArrivesEmptyAndMovesNoBar)
{
    test::WriteWholeFile(source_ + "leer.dat", "");
    EXPECT_EQ(kCopyComplete, Copy("leer.dat"));
    EXPECT_EQ(0u, SizeOf(destination_ + "leer.dat"));
    EXPECT_EQ(0, BarMaximum(fileBar_)) << "range 0 to 0";
    EXPECT_EQ(0, fileWatch_->Peak());
    EXPECT_EQ(0, BarPosition(totalBar_));
    EXPECT_EQ("leer.dat", Title());
}

TEST_F(CopyWithProgress, AFileOf4097BytesIsTwoBlocksOnBothBars)
{
    std::string bytes = Pattern(4097, 7);
    test::WriteWholeFile(source_ + "a.dat", bytes);
    EXPECT_EQ(kCopyComplete, Copy("a.dat"));
    EXPECT_EQ(bytes, test::ReadWholeFile(destination_ + "a.dat"));
    EXPECT_EQ(2, BarMaximum(fileBar_));
    EXPECT_EQ(2, fileWatch_->Peak()) << "the file's bar ends full";
    EXPECT_EQ(0, BarPosition(fileBar_)) << "and is set back afterwards";
    EXPECT_EQ(2, BarPosition(totalBar_));

    // The total bar goes on from there with the next file; nothing resets it.
    test::WriteWholeFile(source_ + "b.dat", Pattern(3 * 4096, 9));
    fileWatch_->Reset();
    EXPECT_EQ(kCopyComplete, Copy("b.dat"));
    EXPECT_EQ(3, fileWatch_->Peak());
    EXPECT_EQ(5, BarPosition(totalBar_));
    EXPECT_EQ("b.dat", Title());
}

TEST_F(CopyWithProgress, ANameWithASubdirectoryCopiesIntoThatSubdirectory)
{
    CreateDirectoryA((source_ + "Lib").c_str(), nullptr);
    CreateDirectoryA((destination_ + "Lib").c_str(), nullptr);
    test::WriteWholeFile(source_ + "Lib\\c.dat", Pattern(5000, 3));
    EXPECT_EQ(kCopyComplete, Copy("Lib\\c.dat"));
    EXPECT_EQ(Pattern(5000, 3), test::ReadWholeFile(destination_ + "Lib\\c.dat"));
    EXPECT_EQ("Lib\\c.dat", Title());

    // Without the subdirectory at the destination nothing can be written.
    CreateDirectoryA((source_ + "Neu").c_str(), nullptr);
    test::WriteWholeFile(source_ + "Neu\\d.dat", "d");
    EXPECT_EQ(kCopyIncomplete, Copy("Neu\\d.dat"));
}

TEST_F(CopyWithProgress, AFileOver256MiBEndsBothBarsExactlyFull)
{
    // Sparse where the file system allows: marks at the start, the middle and the end.
    const std::string path = source_ + "gross.dat";
    const std::uint64_t size = 256ull * 1024 * 1024 + 3 * 4096 + 5;
    const std::uint64_t blocks = BlockCount(size);
    ASSERT_GT(blocks, 65535u);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    const std::uint64_t marks[] = {0, size / 2 + 1, size - 5};
    for (std::uint64_t at : marks) {
        LARGE_INTEGER offset;
        offset.QuadPart = static_cast<LONGLONG>(at);
        SetFilePointerEx(file, offset, nullptr, FILE_BEGIN);
        DWORD written;
        WriteFile(file, "MARK!", 5, &written, nullptr);
    }
    CloseHandle(file);
    ASSERT_EQ(size, SizeOf(path));

    SetProgressBarBlocks(totalBar_, blocks);
    EXPECT_EQ(static_cast<int>(blocks), BarMaximum(totalBar_)) << "the full count, not its low 16 bits";
    EXPECT_EQ(kCopyComplete, Copy("gross.dat"));
    EXPECT_EQ(static_cast<int>(blocks), BarMaximum(fileBar_));
    EXPECT_EQ(static_cast<int>(blocks), fileWatch_->Peak());
    EXPECT_EQ(static_cast<int>(blocks), BarPosition(totalBar_)) << "exactly full";

    const std::string copy = destination_ + "gross.dat";
    ASSERT_EQ(size, SizeOf(copy));
    HANDLE a = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE b = CreateFileA(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, a);
    ASSERT_NE(INVALID_HANDLE_VALUE, b);
    std::unique_ptr<char[]> x(new char[1 << 20]), y(new char[1 << 20]);
    std::uint64_t compared = 0, firstDifference = ~0ull;
    for (;;) {
        DWORD nx = 0, ny = 0;
        ReadFile(a, x.get(), 1 << 20, &nx, nullptr);
        ReadFile(b, y.get(), 1 << 20, &ny, nullptr);
        if (nx != ny || (nx && std::memcmp(x.get(), y.get(), nx) != 0)) {
            firstDifference = compared;
            break;
        }
        if (nx == 0)
            break;
        compared += nx;
    }
    CloseHandle(a);
    CloseHandle(b);
    EXPECT_EQ(~0ull, firstDifference) << "the copy differs in the MiB at byte " << firstDifference;
    EXPECT_EQ(size, compared);
    DeleteFileA(copy.c_str());
    DeleteFileA(path.c_str());
}

TEST_F(CopyWithProgress, AMissingSourceMakesNothingButShowsItsName)
{
    test::WriteWholeFile(source_ + "da.dat", Pattern(9000, 1));
    EXPECT_EQ(kCopyComplete, Copy("da.dat"));
    ASSERT_EQ(3, BarPosition(totalBar_));
    EXPECT_EQ(kCopyNothingThere, Copy("fehlt.dat"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((destination_ + "fehlt.dat").c_str()));
    EXPECT_EQ("fehlt.dat", Title());
    EXPECT_EQ(0, BarPosition(fileBar_));
    EXPECT_EQ(3, BarPosition(totalBar_)) << "the total bar is not stepped";
    EXPECT_EQ(kCopyNothingThere, Copy("Fehlt\\auch.dat")) << "nor is a missing directory a failure";
}

TEST_F(CopyWithProgress, DirectoriesThatASearchReturnsAreNothingToCopy)
{
    CreateDirectoryA((source_ + "Unter").c_str(), nullptr);
    EXPECT_EQ(kCopyNothingThere, Copy("Unter"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((destination_ + "Unter").c_str()));
    EXPECT_EQ(kCopyNothingThere, Copy("."));
    EXPECT_EQ(kCopyNothingThere, Copy(".."));
    EXPECT_EQ(0, BarPosition(totalBar_));
}

TEST_F(CopyWithProgress, AReadOnlySourceGivesAWritableCopy)
{
    const std::string path = source_ + "schreibgeschuetzt.dat";
    test::WriteWholeFile(path, Pattern(100, 5));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(kCopyComplete, Copy("schreibgeschuetzt.dat"));
    DWORD attributes = GetFileAttributesA((destination_ + "schreibgeschuetzt.dat").c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_EQ(0u, attributes & FILE_ATTRIBUTE_READONLY) << std::hex << attributes;
    EXPECT_EQ(Pattern(100, 5), test::ReadWholeFile(destination_ + "schreibgeschuetzt.dat"));

    // A read-only copy in the way is made writable, at the latest for the next attempt.
    ASSERT_TRUE(SetFileAttributesA((destination_ + "schreibgeschuetzt.dat").c_str(), FILE_ATTRIBUTE_READONLY));
    Copy("schreibgeschuetzt.dat");
    EXPECT_EQ(0u, GetFileAttributesA((destination_ + "schreibgeschuetzt.dat").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(kCopyComplete, Copy("schreibgeschuetzt.dat"));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(CopyWithProgress, ALongerDestinationIsCutToTheSourcesLength)
{
    test::WriteWholeFile(destination_ + "alt.dat", std::string(3 * 4096 + 17, 'x'));
    test::WriteWholeFile(source_ + "alt.dat", Pattern(4097, 2));
    EXPECT_EQ(kCopyComplete, Copy("alt.dat"));
    EXPECT_EQ(Pattern(4097, 2), test::ReadWholeFile(destination_ + "alt.dat")) << "no stale bytes behind the copy";

    test::WriteWholeFile(source_ + "leer.dat", "");
    test::WriteWholeFile(destination_ + "leer.dat", "old contents");
    EXPECT_EQ(kCopyComplete, Copy("leer.dat"));
    EXPECT_EQ(0u, SizeOf(destination_ + "leer.dat"));
}

TEST_F(CopyWithProgress, APathTooLongForItsBufferIsSkippedAndFailed)
{
    // 255 characters are the most a path buffer holds; this destination path is one longer.
    std::string name(255 - destination_.size() + 1, 'n');
    ASSERT_LT(source_.size() + name.size(), 256u) << "the source path itself fits";
    test::WriteWholeFile(source_ + name, "x");
    EXPECT_EQ(kCopyIncomplete, Copy(name.c_str()));
    EXPECT_FALSE(LongPathExists(destination_ + name));
    EXPECT_FALSE(LongPathExists(destination_ + name.substr(0, name.size() - 1))) << "nor a shortened name";
    EXPECT_EQ(0, BarPosition(totalBar_));
}

TEST_F(CopyWithProgress, AReadErrorIsAFailureNotASilentEnd)
{
    // Under Wine, reading this process's own memory file from its start fails with an I/O
    // error: a source that opens but cannot be read.
    if (!IsWine())
        GTEST_SKIP() << "needs Wine's view of the Unix /proc";
    EXPECT_EQ(kCopyIncomplete, CopyFileWithProgress("Z:\\proc\\self\\", destination_.c_str(), "mem", dialog_));
    EXPECT_EQ(0u, SizeOf(destination_ + "mem"));
    EXPECT_EQ(0, BarPosition(fileBar_));
}

TEST_F(CopyWithProgress, WithoutAProgressDialogTheCopyGoesOn)
{
    test::WriteWholeFile(source_ + "ohne.dat", Pattern(10000, 4));
    EXPECT_EQ(kCopyComplete, CopyFileWithProgress(source_.c_str(), destination_.c_str(), "ohne.dat", nullptr));
    EXPECT_EQ(Pattern(10000, 4), test::ReadWholeFile(destination_ + "ohne.dat"));
}
