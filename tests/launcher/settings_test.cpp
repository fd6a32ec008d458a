// The settings file reader, repair and writer, on files with line feeds only (the
// Windows tests cover the CR LF files of text mode).
#include "launcher/launcher_state.h"
#include "launcher/settings.h"
#include "launcher/text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const char kPath[] = "settings_test.ini";

void WriteFile(const std::string& text) { std::ofstream(kPath, std::ios::binary) << text; }

std::string ReadFile()
{
    std::ifstream in(kPath, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Settings : public testing::Test {
protected:
    void SetUp() override
    {
        g_launcher = LauncherState{};
        std::remove(kPath);
    }
    void TearDown() override { std::remove(kPath); }
};

const std::string kFromCdOnD = "VonCD\nC:\\VeskMarlit\\\nC:\\VeskMarlit\\SaveGames\nC:\\VeskMarlit\\KartenSets\n"
                               "C:\\VeskMarlit\\Protokolle\nd:\\Lib\nD:\\NNet\n";

} // namespace

TEST_F(Settings, ReadFillsTheSixPathsWithoutLineFeeds)
{
    WriteFile("VonHD\nC:\\VeskMarlit\\\nC:\\VeskMarlit\\SaveGames\nC:\\VeskMarlit\\KartenSets\n"
              "C:\\VeskMarlit\\Protokolle\nC:\\VeskMarlit\\Lib\nC:\\VeskMarlit\\NNet\n");
    CopyText(g_launcher.SourceRoot, "e:\\");
    EXPECT_TRUE(ReadSettingsFile(kPath));
    EXPECT_STREQ("C:\\VeskMarlit\\", g_launcher.InstallRoot);
    EXPECT_STREQ("C:\\VeskMarlit\\SaveGames", g_launcher.SaveGameDir);
    EXPECT_STREQ("C:\\VeskMarlit\\KartenSets", g_launcher.CardSetDir);
    EXPECT_STREQ("C:\\VeskMarlit\\Protokolle", g_launcher.ProtocolDir);
    EXPECT_STREQ("C:\\VESKMARLIT\\LIB", g_launcher.LibraryDir); // upper-cased in place
    EXPECT_STREQ("C:\\VeskMarlit\\NNet", g_launcher.NetworkDir);
    EXPECT_STREQ("E:\\", g_launcher.SourceRoot);
}

TEST_F(Settings, FromCdOnAnotherDriveIsRepairedToTheMediumDrive)
{
    WriteFile(kFromCdOnD);
    CopyText(g_launcher.SourceRoot, "F:\\");
    ReadSettingsFile(kPath);
    EXPECT_STREQ("F:\\LIB", g_launcher.LibraryDir);
    EXPECT_STREQ("F:\\NNet", g_launcher.NetworkDir);
    EXPECT_EQ("VonCD\nC:\\VeskMarlit\\\nC:\\VeskMarlit\\SaveGames\nC:\\VeskMarlit\\KartenSets\n"
              "C:\\VeskMarlit\\Protokolle\nF:\\LIB\nF:\\NNet\n",
              ReadFile());
}

TEST_F(Settings, FromCdOnTheSameDriveAndFromHdAreNeverRewritten)
{
    WriteFile(kFromCdOnD);
    CopyText(g_launcher.SourceRoot, "d:\\"); // compared after upper-casing
    ReadSettingsFile(kPath);
    EXPECT_EQ(kFromCdOnD, ReadFile());
    EXPECT_STREQ("D:\\LIB", g_launcher.LibraryDir);

    std::string fromHd = "VonHD\nC:\\VeskMarlit\\\na\nb\nc\nD:\\Lib\nD:\\NNet\n";
    WriteFile(fromHd);
    g_launcher = LauncherState{};
    CopyText(g_launcher.SourceRoot, "F:\\");
    ReadSettingsFile(kPath);
    EXPECT_EQ(fromHd, ReadFile());
    EXPECT_STREQ("D:\\LIB", g_launcher.LibraryDir);
}

TEST_F(Settings, MissingLinesLeaveTheirFieldsAndALastLineWithoutLineFeedLosesACharacter)
{
    WriteFile("VonHD\nC:\\VeskMarlit\\\nC:\\Save");
    CopyText(g_launcher.CardSetDir, "kept");
    ReadSettingsFile(kPath);
    EXPECT_STREQ("C:\\VeskMarlit\\", g_launcher.InstallRoot);
    EXPECT_STREQ("C:\\Sav", g_launcher.SaveGameDir);
    EXPECT_STREQ("kept", g_launcher.CardSetDir);
}

TEST_F(Settings, AnUnreadableFileLeavesEverythingEmpty)
{
    CopyText(g_launcher.SourceRoot, "E:\\");
    EXPECT_FALSE(ReadSettingsFile(kPath));
    EXPECT_STREQ("", g_launcher.InstallRoot);
    EXPECT_STREQ("", g_launcher.LibraryDir);
}

TEST_F(Settings, OverlongLinesNeverSpillIntoTheNextField)
{
    std::string longLine(400, 'x');
    WriteFile(std::string(30, 'V') + "VonCD\n" + longLine + "\nC:\\Save\nC:\\Cards\nC:\\Prot\nD:\\Lib\nD:\\NNet\n");
    CopyText(g_launcher.SourceRoot, "E:\\");
    ReadSettingsFile(kPath);
    // The first 254 characters of the long line, less the last one that stands in for
    // its line feed; the next fields come from their own lines.
    EXPECT_EQ(std::string(253, 'x'), g_launcher.InstallRoot);
    EXPECT_STREQ("C:\\Save", g_launcher.SaveGameDir);
    EXPECT_STREQ("C:\\Cards", g_launcher.CardSetDir);
    EXPECT_STREQ("D:\\LIB", g_launcher.LibraryDir);
    EXPECT_STREQ("D:\\NNet", g_launcher.NetworkDir);
}

TEST_F(Settings, AFromCdFileWithoutLibraryLineIsNotRewritten)
{
    WriteFile("VonCD\nC:\\VeskMarlit\\\n");
    CopyText(g_launcher.SourceRoot, "E:\\");
    ReadSettingsFile(kPath);
    EXPECT_STREQ("", g_launcher.LibraryDir);
    EXPECT_EQ("VonCD\nC:\\VeskMarlit\\\n", ReadFile());
}

TEST_F(Settings, WriteProducesSevenLinesThatReadBackTheSame)
{
    CopyText(g_launcher.InstallRoot, "C:\\VeskMarlit\\");
    CopyText(g_launcher.SaveGameDir, "C:\\VeskMarlit\\SaveGames");
    CopyText(g_launcher.CardSetDir, "C:\\VeskMarlit\\KartenSets");
    CopyText(g_launcher.ProtocolDir, "C:\\VeskMarlit\\Protokolle");
    CopyText(g_launcher.LibraryDir, "E:\\Lib");
    CopyText(g_launcher.NetworkDir, "E:\\NNet");
    ASSERT_TRUE(WriteSettingsFile(kPath, kModeWordFromCd));
    EXPECT_EQ("VonCD\nC:\\VeskMarlit\\\nC:\\VeskMarlit\\SaveGames\nC:\\VeskMarlit\\KartenSets\n"
              "C:\\VeskMarlit\\Protokolle\nE:\\Lib\nE:\\NNet\n",
              ReadFile());

    LauncherState written = g_launcher;
    g_launcher = LauncherState{};
    CopyText(g_launcher.SourceRoot, "E:\\");
    ReadSettingsFile(kPath);
    EXPECT_STREQ(written.InstallRoot, g_launcher.InstallRoot);
    EXPECT_STREQ(written.ProtocolDir, g_launcher.ProtocolDir);
    EXPECT_STREQ("E:\\LIB", g_launcher.LibraryDir);
}

TEST_F(Settings, WriteFailsWhenTheFileCannotBeCreated)
{
    EXPECT_FALSE(WriteSettingsFile("no-such-directory/VeskMarlit.ini", kModeWordFromHd));
}
