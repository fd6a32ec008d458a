#include "launcher/text.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Text, CopyAndAppendRefuseWhatDoesNotFitOrABufferWithoutTerminatorAndLeaveTheBufferAlone)
{
    char buffer[8];
    std::memset(buffer, 0x5A, sizeof buffer);
    EXPECT_TRUE(CopyText(buffer, "E:\\"));
    EXPECT_STREQ("E:\\", buffer);
    EXPECT_TRUE(AppendText(buffer, "1234")); // 7 characters: the last that fits
    EXPECT_STREQ("E:\\1234", buffer);
    EXPECT_FALSE(AppendText(buffer, "5"));
    EXPECT_STREQ("E:\\1234", buffer);
    EXPECT_FALSE(CopyText(buffer, "12345678"));
    EXPECT_STREQ("E:\\1234", buffer);
    EXPECT_TRUE(CopyText(buffer, ""));
    EXPECT_STREQ("", buffer);
    char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_FALSE(AppendText(unterminated, ""));
    EXPECT_EQ('d', unterminated[3]);
}

TEST(Text, JoinBuildsAllPiecesOrNothing)
{
    char buffer[12] = "unchanged";
    EXPECT_FALSE(JoinText(buffer, "C:\\", "VeskMarlit\\"));
    EXPECT_STREQ("unchanged", buffer);
    EXPECT_TRUE(JoinText(buffer, "C:\\", "Vesk", ".exe"));
    EXPECT_STREQ("C:\\Vesk.exe", buffer);
    // The first piece may be the buffer itself.
    char path[16] = "E:\\";
    EXPECT_TRUE(JoinText(path, path, "intro"));
    EXPECT_STREQ("E:\\intro", path);
}

TEST(Text, UpperCaseTouchesOnlyAsciiLetters)
{
    char text[] = "d:\\lib\xe4z{";
    UpperCaseAscii(text);
    EXPECT_STREQ("D:\\LIB\xe4Z{", text);
}

TEST(Text, CutsAtTheLastBackslashOrToTheDirectoryKeepingTheBackslashOfADriveRoot)
{
    const struct {
        bool ToDirectory;
        const char* Text;
        const char* Cut; // null: refused, the text stays
    } cases[] = {
        {false, "G:\\VeskMarlit\\prot_d.exe high 0x1 0x2", "G:\\VeskMarlit"},
        {false, "E:\\dx52ger.exe", "E:"},
        {false, "notepad.exe", nullptr},
        {false, "E:\\prog.exe C:\\data\\x", "E:\\prog.exe C:\\data"},
        {true, "E:\\Vesk.exe", "E:\\"}, // not the drive-relative E:
        {true, "C:\\Spiele\\Vesk.exe", "C:\\Spiele"},
        {true, "\\\\server\\cd\\Vesk.exe", "\\\\server\\cd"},
        {true, "Vesk.exe", nullptr},
    };
    for (const auto& c : cases) {
        char text[64];
        CopyText(text, c.Text);
        EXPECT_EQ(c.Cut != nullptr, c.ToDirectory ? CutToDirectory(text) : CutAtLastBackslash(text)) << c.Text;
        EXPECT_STREQ(c.Cut ? c.Cut : c.Text, text);
    }
}
