// The game start in process: the graphics files mapped for the stand-in game, which reads
// them out of this process and writes what it found into a report; the launcher's side
// afterwards; and the silent end when a graphics file is missing.
#include "game/game_start.h"
#include "game/game_start_win.h"
#include "intro/film_player_win.h"
#include "launcher/launcher_state.h"
#include "launcher/text.h"
#include "crawl/credits_crawl.h"
#include "tests/game/game_report.h"
#include "tests/support/win_files.h"
#include "tools/medium/prot_d/game_facts.h"
#include "tools/smacker/film_patterns.h"
#include "tools/smacker/smacker_encoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kPage = 4096;

// What the game should report for a view of this file: the file rounded up to whole
// pages, the rest of the last page zero.
struct Expected {
    std::string Size, Crc, First;
};
Expected ExpectedView(const std::string& bytes)
{
    std::string view = bytes;
    view.resize((bytes.size() + kPage - 1) / kPage * kPage, '\0');
    ViewFacts facts;
    facts.FirstCount = bytes.size() < kFirstBytes ? bytes.size() : kFirstBytes;
    std::memcpy(facts.First, bytes.data(), facts.FirstCount);
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08x",
                  static_cast<unsigned>(Crc32(reinterpret_cast<const std::uint8_t*>(view.data()), view.size())));
    return {std::to_string(view.size()), crc, FirstBytesHex(facts)};
}

std::string GraphicsBytes(const char* name, std::size_t size)
{
    std::string bytes = std::string("graphics ") + name + "\n";
    for (std::size_t i = 0; bytes.size() < size; ++i)
        bytes += char('a' + (i * 7 + size) % 26);
    return bytes;
}

int g_introsBeforeTheGame = 0;
std::string g_reportPath;

void IntroStandIn()
{
    if (GetFileAttributesA(g_reportPath.c_str()) == INVALID_FILE_ATTRIBUTES)
        ++g_introsBeforeTheGame;
}

class GameStartTest : public testing::Test {
protected:
    void SetUp() override
    {
        saved_ = test::CurrentDirectory();
        scratch_ = test::MakeScratchDirectory("game");
        root_ = scratch_ + "\\VeskMarlit\\";
        lib_ = root_ + "Lib";
        CreateDirectoryA(root_.c_str(), nullptr);
        CreateDirectoryA(lib_.c_str(), nullptr);
        CopyFileA((test::ProgramDirectory() + "\\prot_d.exe").c_str(), (root_ + "prot_d.exe").c_str(), FALSE);
        files_ = {{"skatgrf.key", GraphicsBytes("skatgrf.key", 900)},
                  {"skatgrf.dat", GraphicsBytes("skatgrf.dat", 3 * kPage)},
                  {"skatgrf640.key", GraphicsBytes("skatgrf640.key", 5000)},
                  {"skatgrf640.dat", GraphicsBytes("skatgrf640.dat", 20000)}};
        for (const auto& [name, bytes] : files_)
            test::WriteWholeFile(lib_ + "\\" + name, bytes);

        g_launcher = LauncherState{};
        g_launcher.Instance = GetModuleHandleA(nullptr);
        CopyText(g_launcher.InstallRoot, root_.c_str());
        CopyText(g_launcher.LibraryDir, lib_.c_str());
        CopyText(g_launcher.SourceRoot, (scratch_ + "\\").c_str());
        JoinText(g_launcher.IntroDir, scratch_.c_str(), "\\intro");
        g_reportPath = scratch_ + "\\report.txt";
        SetEnvironmentVariableA(kReportVariable, g_reportPath.c_str());
        g_introsBeforeTheGame = 0;
    }
    void TearDown() override
    {
        SetEnvironmentVariableA(kReportVariable, nullptr);
        g_filmCrawl = RunCreditsCrawl;
        SetCurrentDirectoryA(saved_.c_str());
        test::RemoveTree(scratch_);
    }
    void ExpectView(const std::map<std::string, std::string>& report, const char* view, const char* file)
    {
        SCOPED_TRACE(view);
        Expected e = ExpectedView(files_[file]);
        EXPECT_EQ("yes", report.at(std::string(view) + ".read"));
        EXPECT_EQ(e.First, report.at(std::string(view) + ".first"));
        EXPECT_EQ(e.Size, report.at(std::string(view) + ".size"));
        EXPECT_EQ(e.Crc, report.at(std::string(view) + ".crc32"));
    }
    // Nothing is held after a game.
    void ExpectReleased()
    {
        EXPECT_EQ(nullptr, g_graphics.KeyFile);
        EXPECT_EQ(nullptr, g_graphics.KeyMapping);
        EXPECT_EQ(nullptr, g_graphics.DataFile);
        EXPECT_EQ(nullptr, g_graphics.DataMapping);
        for (const auto& entry : files_)
            EXPECT_TRUE(OpenableExclusively(lib_ + "\\" + entry.first)) << entry.first << " is still held";
    }
    // The game's directory, the installation's without its backslash, stays current.
    void ExpectInstallRootCurrent()
    {
        EXPECT_STRCASEEQ(root_.substr(0, root_.size() - 1).c_str(), test::CurrentDirectory().c_str());
    }
    void WriteIntro(const char* name, uint32_t width, uint32_t height)
    {
        SmkEncodeOptions options;
        options.Width = width;
        options.Height = height;
        options.FrameRate = 20;
        std::vector<uint8_t> file;
        std::string error;
        ASSERT_TRUE(SmkEncode(options, MakeTestFrames(width, height, 3, 5), {}, file, error)) << error;
        CreateDirectoryA(g_launcher.IntroDir, nullptr);
        test::WriteWholeFile(std::string(g_launcher.IntroDir) + "\\" + name, std::string(file.begin(), file.end()));
    }
    std::string saved_, scratch_, root_, lib_;
    std::map<std::string, std::string> files_;
};

} // namespace

TEST_F(GameStartTest, TheViewsAreWholeFilesMappedReadOnly)
{
    GraphicsViews views = MapGraphicsFiles(kHighResolution);
    ASSERT_TRUE(views.Data && views.Key);
    EXPECT_EQ(0, std::memcmp(views.Key, files_["skatgrf.key"].data(), files_["skatgrf.key"].size()));
    EXPECT_EQ(0, std::memcmp(views.Data, files_["skatgrf.dat"].data(), files_["skatgrf.dat"].size()));
    MEMORY_BASIC_INFORMATION info = {};
    VirtualQuery(views.Data, &info, sizeof info);
    EXPECT_EQ(DWORD(PAGE_READONLY), info.Protect);
    EXPECT_FALSE(OpenableExclusively(lib_ + "\\skatgrf.key")) << "held while mapped";
    UnmapGraphicsFiles(views.Data, views.Key);
    ExpectReleased();
}

// Each resolution gives the game its two files, data first; the intro comes first once after
// an installation, and a failed one does not stop the game.
TEST_F(GameStartTest, EachResolutionGivesTheGameItsTwoFilesAfterTheIntroOnceAfterAnInstallation)
{
    g_launcher.IntroPending = true; // but no film on this medium yet
    StartGame(kHighResolution);
    EXPECT_FALSE(g_launcher.IntroPending);
    auto report = ReadGameReport(g_reportPath);
    ASSERT_FALSE(report.empty()) << "the game did not run";
    EXPECT_EQ("high", report["mode"]);
    ExpectView(report, "data", "skatgrf.dat");
    ExpectView(report, "key", "skatgrf.key");
    ExpectReleased();

    DeleteFileA(g_reportPath.c_str());
    WriteIntro("intro320.smk", 320, 240);
    g_launcher.IntroPending = true;
    g_filmCrawl = IntroStandIn;
    StartGame(kLowResolution);
    EXPECT_FALSE(g_launcher.IntroPending);
    EXPECT_EQ(1, g_introsBeforeTheGame) << "the film ran to its end before the game";
    report = ReadGameReport(g_reportPath);
    EXPECT_EQ("low", report["mode"]);
    EXPECT_EQ("valid", report["arguments"]);
    EXPECT_STRCASEEQ("game_start_win_test.exe", report["parent"].c_str());
    EXPECT_STRCASEEQ(root_.substr(0, root_.size() - 1).c_str(), report["directory"].c_str());
    ExpectView(report, "data", "skatgrf640.dat");
    ExpectView(report, "key", "skatgrf640.key");
    ExpectReleased();
    ExpectInstallRootCurrent();

    DeleteFileA(g_reportPath.c_str());
    StartGame(kHighResolution);
    EXPECT_EQ(1, g_introsBeforeTheGame) << "only the first game after an installation";
    EXPECT_EQ("high", ReadGameReport(g_reportPath)["mode"]);
}

TEST_F(GameStartTest, AGameThatCannotStartReleasesTheFilesAtOnce)
{
    DeleteFileA((root_ + "prot_d.exe").c_str());
    StartGame(kHighResolution);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(g_reportPath.c_str()));
    ExpectReleased();
}

using GameStartDeathTest = GameStartTest;

TEST_F(GameStartDeathTest, AMissingOrEmptyGraphicsFileEndsTheLauncherWithZero)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    test::WriteWholeFile(lib_ + "\\skatgrf640.dat", "");
    EXPECT_EXIT(StartGame(kLowResolution), testing::ExitedWithCode(0), "");
    DeleteFileA((lib_ + "\\skatgrf.dat").c_str());
    EXPECT_EXIT(StartGame(kHighResolution), testing::ExitedWithCode(0), "");
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(g_reportPath.c_str())) << "no game was started";
    test::WriteWholeFile(lib_ + "\\skatgrf.dat", files_["skatgrf.dat"]);
    DeleteFileA((lib_ + "\\skatgrf.key").c_str());
    EXPECT_EXIT(MapGraphicsFiles(kHighResolution), testing::ExitedWithCode(0), "");
}

TEST_F(GameStartDeathTest, AnInstallationDirectoryThatIsNotAbsoluteStartsNoGameFromTheSearchPath)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    // A program of the game's name in the current directory, and another beside this test
    // program, where the system's search would find one.
    CopyFileA((test::ProgramDirectory() + "\\prot_d.exe").c_str(), (scratch_ + "\\prot_d.exe").c_str(), FALSE);
    SetCurrentDirectoryA(scratch_.c_str());
    for (const char* root : {"", "VeskMarlit\\", "\\VeskMarlit\\"}) {
        SCOPED_TRACE(std::string("InstallRoot \"") + root + "\"");
        CopyText(g_launcher.InstallRoot, root);
        EXPECT_EXIT(StartGame(kHighResolution), testing::ExitedWithCode(0), "");
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(g_reportPath.c_str())) << "a game was started";
        DeleteFileA(g_reportPath.c_str());
    }
}
