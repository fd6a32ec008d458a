// The drive list's entries, the removal's guard and the settings file's place.
#include "install/install_paths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(DriveEntry, ShowsWholeMebibytesFree)
{
    char entry[64];
    ASSERT_TRUE(FormatDriveEntry(entry, sizeof entry, "C:\\", 32768000)); // 1000 clusters of 64 x 512
    EXPECT_STREQ("C:\\ 31MB frei", entry);
    ASSERT_TRUE(FormatDriveEntry(entry, sizeof entry, "E:\\", 0));
    EXPECT_STREQ("E:\\ 0MB frei", entry);
    ASSERT_TRUE(FormatDriveEntry(entry, sizeof entry, "E:\\", (1 << 20) - 1));
    EXPECT_STREQ("E:\\ 0MB frei", entry);
}

TEST(DriveEntry, LargeDrivesShowTheirTrueSize)
{
    char entry[64];
    ASSERT_TRUE(FormatDriveEntry(entry, sizeof entry, "C:\\", 5ull << 30)); // would wrap to 1 GiB in 32 bits
    EXPECT_STREQ("C:\\ 5120MB frei", entry);
    ASSERT_TRUE(FormatDriveEntry(entry, sizeof entry, "D:\\", 16ull << 40));
    EXPECT_STREQ("D:\\ 16777216MB frei", entry);
    ASSERT_TRUE(FormatDriveEntry(entry, sizeof entry, "V:\\", ~0ull));
    EXPECT_STREQ("V:\\ 17592186044415MB frei", entry);
}

TEST(DriveEntry, RefusesABufferTooSmall)
{
    char entry[13];
    std::strcpy(entry, "unchanged");
    EXPECT_FALSE(FormatDriveEntry(entry, sizeof entry, "C:\\", 32768000)); // needs 14 bytes
    EXPECT_STREQ("unchanged", entry);
}

TEST(RemovalGuard, AcceptsOnlyADriveRootFollowedByTheInstallFolder)
{
    for (const char* path : {"C:\\VeskMarlit\\", "c:\\veskmarlit\\", "Z:\\VESKMARLIT\\", "G:\\vESKmARLIT\\"})
        EXPECT_TRUE(IsInstallationDirectory(path)) << path;
}

TEST(RemovalGuard, RefusesEveryOtherDirectory)
{
    const char* refused[] = {
        "",                          // an empty settings line
        "C:\\",                      // a hand-edited root
        "C:\\Windows\\",
        "C:\\Program Files\\VeskMarlit\\",
        "C:\\VeskMarlit",            // without its backslash
        "C:\\VeskMarlit\\\\",
        "C:\\VeskMarlit\\Lib\\",
        "C:\\VeskMarlit\\..\\",
        "C:\\VeskMarlit\\..\\Windows\\",
        "C:VeskMarlit\\",
        "C:/VeskMarlit\\",          // a slash for the root's backslash
        "C:/VeskMarlit/",
        "1:\\VeskMarlit\\",
        "\\\\Server\\VeskMarlit\\",
        "\\\\?\\C:\\VeskMarlit\\",
        " C:\\VeskMarlit\\",
        "C:\\ VeskMarlit\\",
        "C:\\VeskMarli\\",
        "C:\\VeskMarlitt\\",
        "C:\\VeskMarlit.\\",
        "\xe4:\\VeskMarlit\\",
    };
    for (const char* path : refused)
        EXPECT_FALSE(IsInstallationDirectory(path)) << '"' << path << '"';
}

TEST(SettingsFilePlace, IsTheNamedDirectoryWithOrWithoutItsBackslash)
{
    char path[256];
    ASSERT_TRUE(SettingsFileInDirectory(path, sizeof path, "C:\\VeskMarlit\\"));
    EXPECT_STREQ("C:\\VeskMarlit\\VeskMarlit.ini", path);
    ASSERT_TRUE(SettingsFileInDirectory(path, sizeof path, "D:\\Spiele\\VeskMarlit"));
    EXPECT_STREQ("D:\\Spiele\\VeskMarlit\\VeskMarlit.ini", path);
    EXPECT_FALSE(SettingsFileInDirectory(path, sizeof path, "")) << "not the current directory's file";
    std::string deep = "C:\\" + std::string(240, 'd') + "\\";
    EXPECT_FALSE(SettingsFileInDirectory(path, sizeof path, deep.c_str()));
}
