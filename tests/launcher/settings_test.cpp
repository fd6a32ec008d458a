// The settings file reader, repair and writer, on files with line feeds only (the
// journeys cover the CR LF files of text mode).
#include "launcher/launcher_state.h"
#include "launcher/settings.h"
#include "launcher/text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

const char kPath[] = "settings_test.ini";

void WriteFile(const std::string& text) { std::ofstream(kPath, std::ios::binary) << text; }

std::string ReadFile()
{
    std::ifstream in(kPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
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

// Reads `text` as the settings file with the medium in `source`; returns what the file
// holds afterwards.
std::string ReadAs(const std::string& text, const char* source)
{
    g_launcher = LauncherState{};
    WriteFile(text);
    CopyText(g_launcher.SourceRoot, source);
    EXPECT_TRUE(ReadSettingsFile(kPath));
    return ReadFile();
}

} // namespace

// The six paths are read without their line feeds, and written back as seven lines.
TEST_F(Settings, ReadFillsTheSixPathsAndWriteGivesTheSameSevenLines)
{
    const std::string lines = "VonHD\nC:\\VeskMarlit\\\nC:\\VeskMarlit\\SaveGames\nC:\\VeskMarlit\\KartenSets\n"
                              "C:\\VeskMarlit\\Protokolle\nC:\\VESKMARLIT\\LIB\nC:\\VeskMarlit\\NNet\n";
    ReadAs(lines, "e:\\");
    EXPECT_STREQ("C:\\VeskMarlit\\", g_launcher.InstallRoot);
    EXPECT_STREQ("C:\\VeskMarlit\\SaveGames", g_launcher.SaveGameDir);
    EXPECT_STREQ("C:\\VeskMarlit\\KartenSets", g_launcher.CardSetDir);
    EXPECT_STREQ("C:\\VeskMarlit\\Protokolle", g_launcher.ProtocolDir);
    EXPECT_STREQ("C:\\VESKMARLIT\\LIB", g_launcher.LibraryDir);
    EXPECT_STREQ("C:\\VeskMarlit\\NNet", g_launcher.NetworkDir);
    EXPECT_STREQ("E:\\", g_launcher.SourceRoot);
    ASSERT_TRUE(WriteSettingsFile(kPath, kModeWordFromHd));
    EXPECT_EQ(lines, ReadFile());
    ASSERT_TRUE(WriteSettingsFile(kPath, kModeWordFromCd));
    EXPECT_EQ("VonCD" + lines.substr(5), ReadFile());
}

TEST_F(Settings, OnlyFromCdOnAnotherDriveIsRepairedToTheMediumDrive)
{
    EXPECT_EQ("VonCD\nC:\\VeskMarlit\\\nC:\\VeskMarlit\\SaveGames\nC:\\VeskMarlit\\KartenSets\n"
              "C:\\VeskMarlit\\Protokolle\nF:\\LIB\nF:\\NNet\n",
              ReadAs(kFromCdOnD, "F:\\"));
    EXPECT_STREQ("F:\\LIB", g_launcher.LibraryDir);
    EXPECT_STREQ("F:\\NNet", g_launcher.NetworkDir);

    EXPECT_EQ(kFromCdOnD, ReadAs(kFromCdOnD, "d:\\")) << "the drives are compared after upper-casing";
    EXPECT_STREQ("D:\\LIB", g_launcher.LibraryDir);
    const std::string fromHd = "VonHD\nC:\\VeskMarlit\\\na\nb\nc\nD:\\Lib\nD:\\NNet\n";
    EXPECT_EQ(fromHd, ReadAs(fromHd, "F:\\"));
    EXPECT_STREQ("D:\\LIB", g_launcher.LibraryDir);
    EXPECT_EQ("VonCD\nC:\\VeskMarlit\\\n", ReadAs("VonCD\nC:\\VeskMarlit\\\n", "E:\\")) << "no library line";
    EXPECT_STREQ("", g_launcher.LibraryDir);
}

TEST_F(Settings, MissingOrOverlongLinesNeverSpillIntoTheNextField)
{
    // A last line without line feed loses a character; missing lines leave their fields.
    WriteFile("VonHD\nC:\\VeskMarlit\\\nC:\\Save");
    CopyText(g_launcher.CardSetDir, "kept");
    ReadSettingsFile(kPath);
    EXPECT_STREQ("C:\\VeskMarlit\\", g_launcher.InstallRoot);
    EXPECT_STREQ("C:\\Sav", g_launcher.SaveGameDir);
    EXPECT_STREQ("kept", g_launcher.CardSetDir);

    ReadAs(std::string(30, 'V') + "VonCD\n" + std::string(400, 'x') + "\nC:\\Save\nC:\\Cards\nC:\\Prot\nD:\\Lib\nD:\\NNet\n",
           "E:\\");
    // The first 254 characters of the long line, less the last one that stands in for
    // its line feed; the next fields come from their own lines.
    EXPECT_EQ(std::string(253, 'x'), g_launcher.InstallRoot);
    EXPECT_STREQ("C:\\Save", g_launcher.SaveGameDir);
    EXPECT_STREQ("C:\\Cards", g_launcher.CardSetDir);
    EXPECT_STREQ("D:\\LIB", g_launcher.LibraryDir);
    EXPECT_STREQ("D:\\NNet", g_launcher.NetworkDir);
}

TEST_F(Settings, AnUnreadableFileLeavesEverythingEmptyAndAnUncreatableOneIsNotWritten)
{
    CopyText(g_launcher.SourceRoot, "E:\\");
    EXPECT_FALSE(ReadSettingsFile(kPath));
    EXPECT_STREQ("", g_launcher.InstallRoot);
    EXPECT_STREQ("", g_launcher.LibraryDir);
    EXPECT_FALSE(WriteSettingsFile("no-such-directory/VeskMarlit.ini", kModeWordFromHd));
}
