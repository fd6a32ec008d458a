// The settings file under Windows, where another program may hold it (the installation and
// launcher journeys write, read and repair its CR LF lines).
#include "launcher/launcher_state.h"
#include "launcher/settings.h"
#include "launcher/text.h"
#include "tests/support/win_files.h"

#include <gtest/gtest.h>

namespace {

class SettingsFile : public testing::Test {
protected:
    void SetUp() override
    {
        g_launcher = LauncherState{};
        dir_ = test::MakeScratchDirectory("settings");
        path_ = dir_ + "\\VeskMarlit.ini";
    }
    void TearDown() override { test::RemoveTree(dir_); }
    std::string dir_, path_;
};

} // namespace

TEST_F(SettingsFile, ARepairThatCannotWriteChangesNothing)
{
    const std::string original = "VonCD\r\nC:\\VeskMarlit\\\r\na\r\nb\r\nc\r\nD:\\Lib\r\nD:\\NNet\r\n";
    test::WriteWholeFile(path_, original);
    // Another program holds the file open for reading only: the rewrite cannot open it.
    HANDLE held = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    CopyText(g_launcher.SourceRoot, "E:\\");
    ReadSettingsFile(path_.c_str());
    CloseHandle(held);
    EXPECT_EQ(original, test::ReadWholeFile(path_));
    EXPECT_STREQ("D:\\LIB", g_launcher.LibraryDir);
    EXPECT_STREQ("D:\\NNet", g_launcher.NetworkDir);
}
