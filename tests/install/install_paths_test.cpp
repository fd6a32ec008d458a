// The drive list's entries, the removal's guard and the settings file's place.
#include "install/install_paths.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

TEST(DriveEntry, ShowsWholeMebibytesFreeInTheirTrueSize)
{
    const struct {
        std::uint64_t bytes;
        const char* shown;
    } cases[] = {
        {32768000, "C:\\ 31MB frei"}, // 1000 clusters of 64 x 512
        {0, "C:\\ 0MB frei"},
        {(1 << 20) - 1, "C:\\ 0MB frei"},
        {5ull << 30, "C:\\ 5120MB frei"}, // would wrap to 1 GiB in 32 bits
        {16ull << 40, "C:\\ 16777216MB frei"},
        {~0ull, "C:\\ 17592186044415MB frei"},
    };
    char entry[64];
    for (const auto& c : cases) {
        ASSERT_TRUE(FormatDriveEntry(entry, sizeof entry, "C:\\", c.bytes)) << c.shown;
        EXPECT_STREQ(c.shown, entry);
    }
    char small[13] = "unchanged";
    EXPECT_FALSE(FormatDriveEntry(small, sizeof small, "C:\\", 32768000)) << "needs 14 bytes";
    EXPECT_STREQ("unchanged", small);
}

TEST(RemovalGuard, AcceptsOnlyADriveRootFollowedByTheInstallFolder)
{
    for (const char* path : {"C:\\VeskMarlit\\", "c:\\veskmarlit\\", "Z:\\VESKMARLIT\\", "G:\\vESKmARLIT\\"})
        EXPECT_TRUE(IsInstallationDirectory(path)) << path;
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
