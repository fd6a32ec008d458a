// DeleteTree: depth first, what cannot go stays with its parents, links are not followed,
// and no path outgrows its buffer.
#include "install/install_win.h"
#include "launcher/text.h"
#include "tests/install/install_test_support.h"
#include "tests/support/win_files.h"

#include <gtest/gtest.h>

using namespace installtest;

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class DeleteTreeTest : public testing::Test {
protected:
    void SetUp() override
    {
        // A link left by an interrupted run would stay in the tree: it goes first.
        char temp[MAX_PATH] = "";
        GetTempPathA(MAX_PATH, temp);
        RemoveScratchTree(std::string(temp) + "vesk-deletetree");
        scratch_ = test::MakeScratchDirectory("deletetree");
        tree_ = scratch_ + "\\VeskMarlit";
        CreateDirectoryA(tree_.c_str(), nullptr);
    }
    void TearDown() override { RemoveScratchTree(scratch_); }
    void Make(const std::string& relative, const char* contents = nullptr)
    {
        std::string path = tree_ + "\\" + relative;
        if (contents)
            test::WriteWholeFile(path, contents);
        else
            CreateDirectoryA(path.c_str(), nullptr);
    }
    void Delete(const std::string& path)
    {
        char buffer[kPathSize];
        ASSERT_TRUE(CopyText(buffer, path.c_str()));
        DeleteTree(buffer);
    }
    std::string scratch_, tree_;
};

} // namespace

TEST_F(DeleteTreeTest, RemovesANestedTreeWithEverythingInIt)
{
    Make("SaveGames");
    Make("SaveGames\\spiel1.sav", "1");
    Make("Lib");
    Make("Lib\\a.dat", "a");
    Make("Lib\\Tief");
    Make("Lib\\Tief\\Tiefer");
    Make("Lib\\Tief\\Tiefer\\b.dat", "b");
    Make("Leer");
    Make("Vesk.exe", "MZ");
    Delete(tree_ + "\\");
    EXPECT_FALSE(Exists(tree_));
    EXPECT_TRUE(Exists(scratch_)) << "the parent stays";
}

TEST_F(DeleteTreeTest, APathWithoutBackslashGetsOneInPlace)
{
    Make("a.dat", "a");
    char buffer[kPathSize];
    ASSERT_TRUE(CopyText(buffer, tree_.c_str()));
    DeleteTree(buffer);
    EXPECT_EQ(tree_ + "\\", buffer);
    EXPECT_FALSE(Exists(tree_));
}

TEST_F(DeleteTreeTest, AnEmptyPathRemovesNothing)
{
    // "\" would be the root of the current drive.
    std::string saved = test::CurrentDirectory();
    SetCurrentDirectoryA(tree_.c_str());
    Make("a.dat", "a");
    char buffer[kPathSize] = "";
    DeleteTree(buffer);
    SetCurrentDirectoryA(saved.c_str());
    EXPECT_STREQ("", buffer);
    EXPECT_TRUE(Exists(tree_ + "\\a.dat"));
}

TEST_F(DeleteTreeTest, AReadOnlyFileStaysAndSoDoItsParents)
{
    Make("SaveGames");
    Make("SaveGames\\Alt");
    Make("SaveGames\\Alt\\gesperrt.sav", "keep");
    Make("SaveGames\\Alt\\frei.sav", "go");
    Make("Lib");
    Make("Lib\\a.dat", "a");
    std::string locked = tree_ + "\\SaveGames\\Alt\\gesperrt.sav";
    ASSERT_TRUE(SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY));
    Delete(tree_);
    EXPECT_EQ("keep", test::ReadWholeFile(locked));
    EXPECT_FALSE(Exists(tree_ + "\\SaveGames\\Alt\\frei.sav"));
    EXPECT_FALSE(Exists(tree_ + "\\Lib")) << "the rest of the tree goes";
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(DeleteTreeTest, ALinkIsNotFollowedAndItsTargetSurvives)
{
    std::string target = scratch_ + "\\Woanders";
    CreateDirectoryA(target.c_str(), nullptr);
    CreateDirectoryA((target + "\\Innen").c_str(), nullptr);
    test::WriteWholeFile(target + "\\wichtig.txt", "keep");
    test::WriteWholeFile(target + "\\Innen\\auch.txt", "keep too");
    Make("SaveGames");
    Make("SaveGames\\spiel.sav", "go");
    ASSERT_TRUE(MakeDirectoryLink(tree_ + "\\SaveGames\\Verweis", target));
    ASSERT_EQ("keep", test::ReadWholeFile(tree_ + "\\SaveGames\\Verweis\\wichtig.txt")) << "a working link";

    Delete(tree_);
    EXPECT_EQ("keep", test::ReadWholeFile(target + "\\wichtig.txt"));
    EXPECT_EQ("keep too", test::ReadWholeFile(target + "\\Innen\\auch.txt"));
    EXPECT_FALSE(Exists(tree_ + "\\SaveGames\\spiel.sav"));
    // Windows removes a junction as the link it is; Wine cannot remove a link to a
    // directory that is not empty, so there the link and its parents stay.
    if (!IsWine()) {
        EXPECT_FALSE(Exists(tree_));
    }
}

TEST_F(DeleteTreeTest, AnEntryTooLongForTheBufferStaysAndSoDoItsParents)
{
    // The directory's own path fits; the path of the file inside it would not.
    std::string deep = tree_ + "\\" + std::string(250 - tree_.size(), 'd');
    std::string file = deep + "\\" + std::string(40, 'f') + ".dat";
    ASSERT_LE(deep.size() + 1, 255u);
    ASSERT_GT(file.size(), 255u);
    ASSERT_TRUE(MakeLongDirectory(deep));
    ASSERT_TRUE(MakeLongFile(file, "far"));
    Make("kurz.dat", "short");

    Delete(tree_);
    EXPECT_TRUE(LongPathExists(file));
    EXPECT_TRUE(Exists(deep));
    EXPECT_FALSE(Exists(tree_ + "\\kurz.dat"));
}

TEST_F(DeleteTreeTest, ALinkAtTheTopGoesAsALinkAndWhatItPointsToStays)
{
    std::string target = scratch_ + "\\Woanders";
    CreateDirectoryA(target.c_str(), nullptr);
    CreateDirectoryA((target + "\\Innen").c_str(), nullptr);
    test::WriteWholeFile(target + "\\wichtig.txt", "keep");
    test::WriteWholeFile(target + "\\Innen\\auch.txt", "keep too");
    // The installation directory itself is the link, named as InstallRoot names it.
    RemoveDirectoryA(tree_.c_str());
    ASSERT_TRUE(MakeDirectoryLink(tree_, target));
    ASSERT_EQ("keep", test::ReadWholeFile(tree_ + "\\wichtig.txt")) << "a working link";

    Delete(tree_ + "\\");
    EXPECT_EQ("keep", test::ReadWholeFile(target + "\\wichtig.txt"));
    EXPECT_EQ("keep too", test::ReadWholeFile(target + "\\Innen\\auch.txt"));
    Delete(tree_);
    EXPECT_EQ("keep", test::ReadWholeFile(target + "\\wichtig.txt")) << "also without the backslash";
    EXPECT_EQ("keep too", test::ReadWholeFile(target + "\\Innen\\auch.txt"));
    // Windows removes the junction; Wine cannot remove a link to a directory that is not
    // empty, and there the link stays.
    if (!IsWine()) {
        EXPECT_FALSE(Exists(tree_));
    }
}
