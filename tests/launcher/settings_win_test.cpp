// The settings file under Windows, where another program may hold it (the installation and
// launcher journeys write, read and repair its CR LF lines).
#include "launcher/launcher_state.h"
#include "launcher/settings.h"
#include "launcher/text.h"
#include "tests/support/win_files.h"

#include <gtest/gtest.h>

TEST(SettingsFile, ARepairThatCannotWriteChangesNothing)
{
    const std::string dir = test::MakeScratchDirectory("settings"), path = dir + "\\VeskMarlit.ini";
    const std::string original = "VonCD\r\nC:\\VeskMarlit\\\r\na\r\nb\r\nc\r\nD:\\Lib\r\nD:\\NNet\r\n";
    test::WriteWholeFile(path, original);
    // Another program holds the file open for reading only: the rewrite cannot open it.
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    g_launcher = LauncherState{};
    CopyText(g_launcher.SourceRoot, "E:\\");
    ReadSettingsFile(path.c_str());
    CloseHandle(held);
    EXPECT_EQ(original, test::ReadWholeFile(path));
    EXPECT_STREQ("D:\\LIB", g_launcher.LibraryDir);
    EXPECT_STREQ("D:\\NNet", g_launcher.NetworkDir);
    test::RemoveTree(dir);
}
