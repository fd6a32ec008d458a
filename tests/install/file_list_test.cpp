// What an installation copies, how its blocks are counted, and what it reports.
#include "install/file_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Entries(const FileList& list)
{
    std::vector<std::string> entries;
    for (const auto& entry : list.entry) {
        if (entry[0] == '\0')
            break;
        entries.push_back(entry);
    }
    return entries;
}

} // namespace

// Whatever is not play-from-CD is a full installation. The rest of the play-from-CD table is
// empty, so a reader that stops at the first empty entry and one that reads all ten agree.
TEST(FileList, FullInstallationCopiesAlsoTheLibrariesAndNetworkDataPlayFromCdOnlyThePrograms)
{
    const std::vector<std::string> programs = {"convtop16.dll", "Vesk.exe", "smackw32.dll", "prot_d.exe"};
    std::vector<std::string> full = programs;
    full.insert(full.end(), {"Lib\\*.*", "NNet\\*.*"});
    EXPECT_EQ(full, Entries(FileListForMode(1)));
    EXPECT_EQ(&kFullInstallFiles, &FileListForMode(0));
    EXPECT_EQ(programs, Entries(FileListForMode(2)));
    for (int i = 4; i < kFileListEntries; ++i)
        EXPECT_EQ('\0', kFromCdInstallFiles.entry[i][0]) << i;
}

TEST(BlockCount, RoundsUpToWholeBlocksOf4096)
{
    EXPECT_EQ(0u, BlockCount(0));
    EXPECT_EQ(1u, BlockCount(1));
    EXPECT_EQ(1u, BlockCount(4096));
    EXPECT_EQ(2u, BlockCount(4097));
    EXPECT_EQ(10001u, BlockCount(40960001));
    // Beyond the 16 bits of a bar's old range message, and beyond 4 GiB.
    EXPECT_EQ(65536u, BlockCount(268435456));
    EXPECT_EQ(65537u, BlockCount(268435457));
    EXPECT_EQ(1048577u, BlockCount((1ull << 32) + 1));
}

TEST(SizeInKibibytes, RoundsUpAndStopsAt32Bits)
{
    EXPECT_EQ(1u, SizeInKibibytes(1024));
    EXPECT_EQ(2u, SizeInKibibytes(1025));
    EXPECT_EQ(0xffffffffu, SizeInKibibytes(1ull << 50));
}

TEST(RelativeName, KeepsThePatternsDirectoryPart)
{
    char out[256];
    ASSERT_TRUE(RelativeName(out, sizeof out, "Lib\\*.*", "a.dat"));
    EXPECT_STREQ("Lib\\a.dat", out);
    ASSERT_TRUE(RelativeName(out, sizeof out, "NNet\\*.*", "."));
    EXPECT_STREQ("NNet\\.", out);
    ASSERT_TRUE(RelativeName(out, sizeof out, "Vesk.exe", "VESK.EXE"));
    EXPECT_STREQ("VESK.EXE", out) << "the match's own spelling";

    // A name that does not fit is refused, and leaves the buffer as it was.
    char small[16] = "xxxxxxxxxxxxxxx";
    EXPECT_FALSE(RelativeName(small, sizeof small, "Lib\\*.*", "abcdefghijkl"));
    EXPECT_STREQ("xxxxxxxxxxxxxxx", small);
    EXPECT_TRUE(RelativeName(small, sizeof small, "Lib\\*.*", "abcdefghijk")); // 15 characters fit
    EXPECT_STREQ("Lib\\abcdefghijk", small);
    EXPECT_FALSE(RelativeName(out, sizeof out, "Vesk.exe", std::string(300, 'n').c_str()));
}

// The installation journey reads a short list, with names shortened in the middle; a long
// one counts what it leaves out.
TEST(CopyFailureMessage, ALongListCountsWhatItLeavesOut)
{
    std::vector<std::string> files;
    for (int i = 0; i < 40; ++i)
        files.push_back("E:\\Lib\\f" + std::to_string(i));
    std::string text = CopyFailureMessage(files);
    EXPECT_NE(std::string::npos, text.find("\nE:\\Lib\\f14\n"));
    EXPECT_EQ(std::string::npos, text.find("E:\\Lib\\f15"));
    EXPECT_EQ("\n... und 25 weitere", text.substr(text.rfind('\n')));
}
