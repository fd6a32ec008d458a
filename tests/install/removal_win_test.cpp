// RunUninstallation in process: what Yes removes, and the guard that keeps the removal to the
// directory an installation makes. DeleteTree: depth first, what cannot go stays with its
// parents, links are not followed, and no path outgrows its buffer.
#include "install/install_win.h"
#include "install/installation.h"
#include "intro/intro_choice_win.h"
#include "launcher/launcher_state.h"
#include "launcher/text.h"
#include "tests/install/install_test_support.h"
#include "tests/support/win_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace installtest;

namespace {

constexpr char kInstallRoot[] = "C:\\VeskMarlit\\";
constexpr char kInstallDirectory[] = "C:\\VeskMarlit";

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Refuses the machine's hive, as Windows does to a user who is no administrator.
LONG RefuseTheMachine(HKEY hive, HKEY* key)
{
    return hive == HKEY_LOCAL_MACHINE ? ERROR_ACCESS_DENIED : CreateUninstallKey(hive, key);
}

// A hand-over would end this process through exit(), which must not pass for success.
bool g_removalRunning = false;
void FailOnExitDuringRemoval()
{
    if (g_removalRunning) {
        std::fputs("the removal ended the process: it handed over to the medium\n", stderr);
        std::_Exit(3);
    }
}

class Removal : public testing::Test {
protected:
    static void SetUpTestSuite() { std::atexit(FailOnExitDuringRemoval); }
    void SetUp() override
    {
        g_launcher = LauncherState{};
        g_launcher.Installed = true;
        g_launcher.IntroPending = true;
        // The medium's own launcher, its drive spelled in lower case once.
        CopyText(g_launcher.SourceRoot, "c:\\");
        CopyText(g_launcher.OwnPath, "C:\\vesk-medium\\Vesk.exe");
        CopyText(g_launcher.InstallRoot, kInstallRoot);
        CopyText(g_launcher.LibraryDir, "C:\\VeskMarlit\\Lib");

        saved_ = test::CurrentDirectory();
        cwd_ = test::MakeScratchDirectory("removal");
        SetCurrentDirectoryA(cwd_.c_str());
        test::WriteWholeFile(cwd_ + "\\VeskMarlit.ini", "VonHD\r\n");

        test::RemoveTree(kInstallDirectory);
        for (const char* dir : {"", "SaveGames", "KartenSets", "KartenSetsLib", "Protokolle", "Lib", "NNet"})
            CreateDirectoryA((std::string(kInstallRoot) + dir).c_str(), nullptr);
        test::WriteWholeFile(std::string(kInstallRoot) + "Vesk.exe", "MZ");
        test::WriteWholeFile(std::string(kInstallRoot) + "SaveGames\\spiel1.sav", "1");
        test::WriteWholeFile(std::string(kInstallRoot) + "VeskMarlit.ini", "VonHD\r\n");

        ASSERT_TRUE(SetUninstallValue(HKEY_LOCAL_MACHINE, "DisplayName", REG_SZ, std::string("x", 2)));

        group_ = ProgramsFolder() + kStartMenuGroup;
        folder_ = group_ + kStartMenuFolder;
        link_ = folder_ + kShortcutFile;
        CreateDirectoryA(group_.c_str(), nullptr);
        CreateDirectoryA(folder_.c_str(), nullptr);
        test::WriteWholeFile(link_, "link");
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(saved_.c_str());
        test::RemoveTree(cwd_);
        test::RemoveTree(kInstallDirectory);
        test::RemoveTree(group_);
        RemoveUninstallEntries();
    }
    // Runs the removal, answering Yes to its confirmation (the journeys read its text and
    // walk No too); returns how often it asked.
    int Remove()
    {
        DialogAnswerer answerer([](HWND box) { PressButton(box, IDYES); });
        g_removalRunning = true;
        RunUninstallation();
        g_removalRunning = false;
        return answerer.Answered();
    }
    std::string saved_, cwd_, group_, folder_, link_;
};

class DeleteTreeTest : public testing::Test {
protected:
    void SetUp() override
    {
        // A link left by an interrupted run would stay in the tree: it goes first.
        scratch_ = test::MakeScratchDirectory("deletetree");
        RemoveScratchTree(scratch_);
        CreateDirectoryA(scratch_.c_str(), nullptr);
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
    // Deletes the tree the path names; returns the path as the deletion left it.
    std::string Delete(const std::string& path)
    {
        char buffer[kPathSize];
        EXPECT_TRUE(CopyText(buffer, path.c_str()));
        DeleteTree(buffer);
        return buffer;
    }
    std::string scratch_, tree_;
};

} // namespace

// Not installed, nothing is asked; Yes removes what the installation made (the journeys
// walk No and Yes through the real box).
TEST_F(Removal, NotInstalledAsksNothingAndYesRemovesAllThatTheInstallationMade)
{
    g_launcher.Installed = false;
    EXPECT_EQ(0, Remove());
    EXPECT_TRUE(Exists(cwd_ + "\\VeskMarlit.ini") && Exists(link_) && UninstallEntryExists());
    g_launcher.Installed = true;
    RememberIntroWindowChosen(true);
    EXPECT_EQ(1, Remove()) << "the drive letters agree once upper-cased: no hand-over";
    HKEY choice = nullptr;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\VeskMarlit", 0, KEY_READ, &choice))
        << "the intro's remembered display goes too";
    EXPECT_STREQ("C:\\", g_launcher.SourceRoot);
    EXPECT_FALSE(Exists(kInstallDirectory));
    EXPECT_FALSE(Exists(cwd_ + "\\VeskMarlit.ini"));
    EXPECT_FALSE(Exists(link_));
    EXPECT_FALSE(Exists(folder_));
    EXPECT_FALSE(Exists(group_)) << "an empty TALVERO goes too";
    EXPECT_FALSE(UninstallEntryExists());
    EXPECT_FALSE(g_launcher.Installed);
    EXPECT_TRUE(g_launcher.IntroPending) << "left as it was";
    EXPECT_STREQ(kInstallRoot, g_launcher.InstallRoot);
}

TEST_F(Removal, TheGuardKeepsEveryOtherDirectoryAndTheRestOfTheRemovalGoesOn)
{
    const std::string decoy = "C:\\vesk-decoy";
    // An empty line, a hand-edited directory, one that looks like the installation's but
    // leads elsewhere, and its name a level too deep (the guard's own test has many more).
    for (const char* root : {"", "C:\\vesk-decoy\\", "C:\\VeskMarlit\\..\\vesk-decoy\\", "C:\\vesk-decoy\\VeskMarlit\\"}) {
        SCOPED_TRACE(std::string("InstallRoot \"") + root + "\"");
        test::RemoveTree(decoy);
        CreateDirectoryA(decoy.c_str(), nullptr);
        CreateDirectoryA((decoy + "\\VeskMarlit").c_str(), nullptr);
        test::WriteWholeFile(decoy + "\\wichtig.txt", "keep");
        test::WriteWholeFile(decoy + "\\VeskMarlit\\auch.txt", "keep");
        test::WriteWholeFile(cwd_ + "\\VeskMarlit.ini", "VonHD\r\n");
        ASSERT_TRUE(SetUninstallValue(HKEY_LOCAL_MACHINE, "DisplayName", REG_SZ, std::string("x", 2)));
        g_launcher.Installed = true;
        CopyText(g_launcher.InstallRoot, root);

        Remove();
        EXPECT_EQ("keep", test::ReadWholeFile(decoy + "\\wichtig.txt"));
        EXPECT_EQ("keep", test::ReadWholeFile(decoy + "\\VeskMarlit\\auch.txt"));
        EXPECT_FALSE(Exists(cwd_ + "\\VeskMarlit.ini")) << "the settings file goes all the same";
        EXPECT_FALSE(UninstallEntryExists());
        EXPECT_FALSE(g_launcher.Installed);
    }
    test::RemoveTree(decoy);
    EXPECT_TRUE(Exists(std::string(kInstallRoot) + "Vesk.exe")) << "and the real one was never named";
}

TEST_F(Removal, ALauncherInTheRootOfTheSameDriveLeavesForTheRootAndTheDirectoryGoes)
{
    // Started from C:\, then a game made the installation's directory current. "C:" would
    // name that current directory again, and the emptied folder could not go.
    CopyText(g_launcher.OwnPath, "C:\\Vesk.exe");
    ASSERT_TRUE(SetCurrentDirectoryA((std::string(kInstallRoot) + "SaveGames").c_str()));
    Remove();
    EXPECT_EQ("C:\\", test::CurrentDirectory());
    EXPECT_FALSE(Exists(kInstallDirectory));
    EXPECT_FALSE(g_launcher.Installed);
}

TEST_F(Removal, WhereTheMachineRefusesTheEntryTheUsersReplacesItsOldOneAndRemovalClearsBoth)
{
    // The user's entry of an earlier installation, with values of the wrong type or that hide it.
    for (const char* name : {"SystemComponent", "InstallLocation"})
        ASSERT_TRUE(SetUninstallValue(HKEY_CURRENT_USER, name, REG_DWORD, std::string("\1\0\0\0", 4)));

    ASSERT_EQ(HKEY_CURRENT_USER, RegisterUninstallEntry(RefuseTheMachine));
    CompleteUninstallEntry(HKEY_CURRENT_USER, 5000);
    EXPECT_EQ("x", UninstallValue(HKEY_LOCAL_MACHINE, "DisplayName")) << "the machine's entry is not touched";
    const char* expected[][2] = {{"DisplayName", "Vesk Marlit Deinstallieren"}, {"InstallLocation", kInstallRoot},
        {"DisplayIcon", "C:\\VeskMarlit\\Vesk.exe"}, {"Publisher", "TALVERO"}, {"EstimatedSize", "5"},
        {"NoModify", "1"}, {"NoRepair", "1"}, {"SystemComponent", "(none)"}};
    for (const auto& value : expected)
        EXPECT_EQ(value[1], UninstallValue(HKEY_CURRENT_USER, value[0])) << value[0] << " (none of the old values stays)";
    EXPECT_TRUE(ReadSettingsFromInstallLocation()) << "start-up finds the installation through the user's entry";

    Remove();
    EXPECT_FALSE(UninstallEntryIn(HKEY_LOCAL_MACHINE));
    EXPECT_FALSE(UninstallEntryIn(HKEY_CURRENT_USER));
}

// The removal's tests and journeys delete whole installations; here a path without its
// backslash gets one in place, and an empty one, which would name the current drive's root,
// deletes nothing.
TEST_F(DeleteTreeTest, APathGetsItsBackslashAndAnEmptyPathDeletesNothing)
{
    Make("Lib");
    Make("Lib\\a.dat", "a");
    EXPECT_EQ(tree_ + "\\", Delete(tree_));
    EXPECT_FALSE(Exists(tree_));
    EXPECT_TRUE(Exists(scratch_)) << "the parent stays";

    CreateDirectoryA(tree_.c_str(), nullptr);
    std::string saved = test::CurrentDirectory();
    SetCurrentDirectoryA(tree_.c_str());
    Make("a.dat", "a");
    EXPECT_EQ("", Delete(""));
    SetCurrentDirectoryA(saved.c_str());
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
    RemoveLongFile(file);
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
    EXPECT_TRUE(IsWine() || !Exists(tree_));

    RemoveScratchTree(tree_);
    ASSERT_TRUE(MakeDirectoryLink(tree_, target));
    ASSERT_EQ("keep", test::ReadWholeFile(tree_ + "\\wichtig.txt")) << "a working link";
    Delete(tree_ + "\\");
    expectTargetKept("at the top");
    Delete(tree_);
    expectTargetKept("at the top, without the backslash");
    EXPECT_TRUE(IsWine() || !Exists(tree_));
}
