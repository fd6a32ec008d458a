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

TEST_F(DeleteTreeTest, RemovesANestedTreeAndAnEmptyPathNothing)
{
    for (const char* dir : {"SaveGames", "Lib", "Lib\\Tief", "Lib\\Tief\\Tiefer", "Leer"})
        Make(dir);
    for (const char* file : {"SaveGames\\spiel1.sav", "Lib\\a.dat", "Lib\\Tief\\Tiefer\\b.dat", "Vesk.exe"})
        Make(file, "x");
    Delete(tree_ + "\\");
    EXPECT_FALSE(Exists(tree_));
    EXPECT_TRUE(Exists(scratch_)) << "the parent stays";

    // A path without its backslash gets one in place.
    CreateDirectoryA(tree_.c_str(), nullptr);
    Make("a.dat", "a");
    char buffer[kPathSize];
    ASSERT_TRUE(CopyText(buffer, tree_.c_str()));
    DeleteTree(buffer);
    EXPECT_EQ(tree_ + "\\", buffer);
    EXPECT_FALSE(Exists(tree_));

    // "\" would be the root of the current drive.
    CreateDirectoryA(tree_.c_str(), nullptr);
    std::string saved = test::CurrentDirectory();
    SetCurrentDirectoryA(tree_.c_str());
    Make("a.dat", "a");
    buffer[0] = '\0';
    DeleteTree(buffer);
    SetCurrentDirectoryA(saved.c_str());
    EXPECT_STREQ("", buffer);
    EXPECT_TRUE(Exists(tree_ + "\\a.dat"));
}

TEST_F(DeleteTreeTest, AReadOnlyFileOrAnEntryTooLongForTheBufferStaysAndSoDoItsParents)
{
    Make("SaveGames");
    Make("SaveGames\\Alt");
    Make("SaveGames\\Alt\\gesperrt.sav", "keep");
    Make("SaveGames\\Alt\\frei.sav", "go");
    Make("Lib");
    Make("Lib\\a.dat", "a");
    std::string locked = tree_ + "\\SaveGames\\Alt\\gesperrt.sav";
    ASSERT_TRUE(SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY));
    // The directory's own path fits; the path of the file inside it would not.
    std::string deep = tree_ + "\\" + std::string(250 - tree_.size(), 'd');
    std::string file = deep + "\\" + std::string(40, 'f') + ".dat";
    ASSERT_LE(deep.size() + 1, 255u);
    ASSERT_GT(file.size(), 255u);
    ASSERT_TRUE(MakeLongDirectory(deep));
    ASSERT_TRUE(MakeLongFile(file, "far"));

    Delete(tree_);
    EXPECT_EQ("keep", test::ReadWholeFile(locked));
    EXPECT_FALSE(Exists(tree_ + "\\SaveGames\\Alt\\frei.sav"));
    EXPECT_FALSE(Exists(tree_ + "\\Lib")) << "the rest of the tree goes";
    EXPECT_TRUE(LongPathExists(file));
    EXPECT_TRUE(Exists(deep));
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A link inside the tree, and the installation directory itself as a link (named as
// InstallRoot names it, with and without its backslash): each goes as the link it is and
// what it points to stays. Windows removes a junction as the link it is; Wine cannot remove
// a link to a directory that is not empty, so there the link and its parents stay.
TEST_F(DeleteTreeTest, ALinkIsNotFollowedAndItsTargetSurvives)
{
    std::string target = scratch_ + "\\Woanders";
    CreateDirectoryA(target.c_str(), nullptr);
    CreateDirectoryA((target + "\\Innen").c_str(), nullptr);
    test::WriteWholeFile(target + "\\wichtig.txt", "keep");
    test::WriteWholeFile(target + "\\Innen\\auch.txt", "keep too");
    auto expectTargetKept = [&](const char* how) {
        EXPECT_EQ("keep", test::ReadWholeFile(target + "\\wichtig.txt")) << how;
        EXPECT_EQ("keep too", test::ReadWholeFile(target + "\\Innen\\auch.txt")) << how;
    };
    Make("SaveGames");
    Make("SaveGames\\spiel.sav", "go");
    ASSERT_TRUE(MakeDirectoryLink(tree_ + "\\SaveGames\\Verweis", target));
    ASSERT_EQ("keep", test::ReadWholeFile(tree_ + "\\SaveGames\\Verweis\\wichtig.txt")) << "a working link";
    Delete(tree_);
    expectTargetKept("inside the tree");
    EXPECT_FALSE(Exists(tree_ + "\\SaveGames\\spiel.sav"));
    if (!IsWine()) {
        EXPECT_FALSE(Exists(tree_));
    }

    RemoveScratchTree(tree_);
    ASSERT_TRUE(MakeDirectoryLink(tree_, target));
    ASSERT_EQ("keep", test::ReadWholeFile(tree_ + "\\wichtig.txt")) << "a working link";
    Delete(tree_ + "\\");
    expectTargetKept("at the top");
    Delete(tree_);
    expectTargetKept("at the top, without the backslash");
    if (!IsWine()) {
        EXPECT_FALSE(Exists(tree_));
    }
}
