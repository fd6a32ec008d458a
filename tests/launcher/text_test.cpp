#include "launcher/text.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Text, CopyAndAppendRefuseWhatDoesNotFitAndLeaveTheBufferAlone)
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
}

TEST(Text, AppendRefusesABufferWithoutTerminator)
{
    char buffer[4] = {'a', 'b', 'c', 'd'};
    EXPECT_FALSE(AppendText(buffer, ""));
    EXPECT_EQ('d', buffer[3]);
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

TEST(Text, CutAtLastBackslash)
{
    char game[] = "G:\\VeskMarlit\\prot_d.exe high 0x1 0x2";
    EXPECT_TRUE(CutAtLastBackslash(game));
    EXPECT_STREQ("G:\\VeskMarlit", game);
    char root[] = "E:\\dx52ger.exe";
    EXPECT_TRUE(CutAtLastBackslash(root));
    EXPECT_STREQ("E:", root);
    char none[] = "notepad.exe";
    EXPECT_FALSE(CutAtLastBackslash(none));
    EXPECT_STREQ("notepad.exe", none);
    char inArguments[] = "E:\\prog.exe C:\\data\\x";
    EXPECT_TRUE(CutAtLastBackslash(inArguments));
    EXPECT_STREQ("E:\\prog.exe C:\\data", inArguments);
}

TEST(Text, CutToDirectoryKeepsTheBackslashOfADriveRoot)
{
    char root[] = "E:\\Vesk.exe";
    EXPECT_TRUE(CutToDirectory(root));
    EXPECT_STREQ("E:\\", root) << "not the drive-relative E:";
    char nested[] = "C:\\Spiele\\Vesk.exe";
    EXPECT_TRUE(CutToDirectory(nested));
    EXPECT_STREQ("C:\\Spiele", nested);
    char share[] = "\\\\server\\cd\\Vesk.exe";
    EXPECT_TRUE(CutToDirectory(share));
    EXPECT_STREQ("\\\\server\\cd", share);
    char none[] = "Vesk.exe";
    EXPECT_FALSE(CutToDirectory(none));
    EXPECT_STREQ("Vesk.exe", none);
}
