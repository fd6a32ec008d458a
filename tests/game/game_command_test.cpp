// The game start's text: which graphics files each resolution maps, and the game's command
// line with the data view first.
#include "game/game_command.h"
#include "launcher/launcher_state.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

std::string Path(int resolution, GraphicsFile file, const char* dir = "C:\\VeskMarlit\\Lib")
{
    char path[kPathSize] = "marker";
    EXPECT_TRUE(FormatGraphicsPath(path, sizeof path, dir, resolution, file));
    return path;
}

std::string Line(int resolution, std::uintptr_t data, std::uintptr_t key, const char* root = "G:\\VeskMarlit\\")
{
    char line[kPathSize] = "marker";
    EXPECT_TRUE(FormatGameCommandLine(line, sizeof line, resolution, root, data, key));
    return line;
}

} // namespace

TEST(GraphicsPaths, HighResolutionMapsTheFilesWithout640LowThoseWith640AndAPathThatDoesNotFitIsRefused)
{
    EXPECT_EQ("C:\\VeskMarlit\\Lib\\skatgrf.key", Path(kHighResolution, GraphicsFile::Key));
    EXPECT_EQ("C:\\VeskMarlit\\Lib\\skatgrf.dat", Path(kHighResolution, GraphicsFile::Data));
    EXPECT_EQ("E:\\Lib\\skatgrf640.key", Path(kLowResolution, GraphicsFile::Key, "E:\\Lib"));
    EXPECT_EQ("E:\\Lib\\skatgrf640.dat", Path(kLowResolution, GraphicsFile::Data, "E:\\Lib"));

    std::string dir(kPathSize - 12, 'x'); // "\skatgrf.key" makes it one too long
    char path[kPathSize] = "marker";
    EXPECT_FALSE(FormatGraphicsPath(path, sizeof path, dir.c_str(), kHighResolution, GraphicsFile::Key));
    EXPECT_STREQ("", path) << "not cut";
    dir.pop_back();
    EXPECT_EQ(std::size_t(kPathSize - 1), Path(kHighResolution, GraphicsFile::Key, dir.c_str()).size());
}

TEST(GameCommandLine, DataViewFirstInLowerCaseHexWithoutLeadingZeros)
{
    EXPECT_EQ("G:\\VeskMarlit\\prot_d.exe high 0xa40000 0x3f0000", Line(kHighResolution, 0xA40000, 0x3F0000));
    EXPECT_EQ("G:\\VeskMarlit\\prot_d.exe low 0x1 0xfedcba98", Line(kLowResolution, 0x1, 0xFEDCBA98));
    EXPECT_EQ("C:\\prot_d.exe high 0x0 0x10", Line(kHighResolution, 0, 0x10, "C:\\"));
    // A line that does not fit is refused.
    std::string root(kPathSize - 30, 'r');
    root += '\\';
    char line[kPathSize] = "marker";
    EXPECT_FALSE(FormatGameCommandLine(line, sizeof line, kHighResolution, root.c_str(), 0xFFFFFFFF, 0xFFFFFFFF));
    EXPECT_STREQ("", line);
    EXPECT_TRUE(FormatGameCommandLine(line, sizeof line, kHighResolution, root.c_str(), 0x1, 0x2));
}

TEST(GameProgramPath, OnlyADriveRootOrAShareIsAbsolute)
{
    for (const char* path : {"G:\\VeskMarlit\\", "c:\\", "\\\\server\\spiele\\VeskMarlit\\"})
        EXPECT_TRUE(IsAbsolutePath(path)) << path;
    // Relative, drive-relative, relative to the current drive, a share without a server name.
    for (const char* path : {"", "VeskMarlit\\", "G:VeskMarlit\\", "G:", "\\VeskMarlit\\", "\\\\", "\\\\\\VeskMarlit\\",
                             "1:\\VeskMarlit\\"})
        EXPECT_FALSE(IsAbsolutePath(path)) << path;
}
