// The settings file under Windows: text mode writes CR LF, and the reader takes CR LF
// lines without their carriage returns.
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

TEST_F(SettingsFile, IsWrittenWithCarriageReturnAndLineFeedWhichAreNotPartOfThePathsReadBack)
{
    CopyText(g_launcher.InstallRoot, "C:\\VeskMarlit\\");
    CopyText(g_launcher.SaveGameDir, "C:\\VeskMarlit\\SaveGames");
    CopyText(g_launcher.CardSetDir, "C:\\VeskMarlit\\KartenSets");
    CopyText(g_launcher.ProtocolDir, "C:\\VeskMarlit\\Protokolle");
    CopyText(g_launcher.LibraryDir, "C:\\VeskMarlit\\Lib");
    CopyText(g_launcher.NetworkDir, "C:\\VeskMarlit\\NNet");
    ASSERT_TRUE(WriteSettingsFile(path_.c_str(), kModeWordFromHd));
    EXPECT_EQ("VonHD\r\nC:\\VeskMarlit\\\r\nC:\\VeskMarlit\\SaveGames\r\nC:\\VeskMarlit\\KartenSets\r\n"
              "C:\\VeskMarlit\\Protokolle\r\nC:\\VeskMarlit\\Lib\r\nC:\\VeskMarlit\\NNet\r\n",
              test::ReadWholeFile(path_));
    g_launcher = LauncherState{};
    CopyText(g_launcher.SourceRoot, "E:\\");
    ASSERT_TRUE(ReadSettingsFile(path_.c_str()));
    EXPECT_STREQ("C:\\VeskMarlit\\", g_launcher.InstallRoot);
    EXPECT_STREQ("C:\\VeskMarlit\\SaveGames", g_launcher.SaveGameDir);
    EXPECT_STREQ("C:\\VESKMARLIT\\LIB", g_launcher.LibraryDir);
    EXPECT_STREQ("C:\\VeskMarlit\\NNet", g_launcher.NetworkDir);
}

TEST_F(SettingsFile, RepairRewritesTheCdDriveInTextModeUnlessTheFileCannotBeWritten)
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

    ReadSettingsFile(path_.c_str());
    EXPECT_EQ("VonCD\r\nC:\\VeskMarlit\\\r\na\r\nb\r\nc\r\nE:\\LIB\r\nE:\\NNet\r\n", test::ReadWholeFile(path_));
}
