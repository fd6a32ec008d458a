// The game start in process: the graphics files mapped for the stand-in game, which reads
// them out of this process and writes what it found into a report (the game journey walks
// the same from the launcher's buttons); the intro once after an installation; and the
// silent end without the graphics or without an absolute installation directory.
#include "game/game_start.h"
#include "game/game_start_win.h"
#include "intro/film_player_win.h"
#include "launcher/launcher_state.h"
#include "launcher/text.h"
#include "crawl/credits_crawl.h"
#include "tests/smacker/test_films.h"
#include "tests/support/win_files.h"
#include "tools/medium/prot_d/game_facts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The environment variable that makes the stand-in game write its report there and end.
constexpr char kReportVariable[] = "VESK_GAME_REPORT";

// The report's "name=value" lines. Empty when there is no report.
std::map<std::string, std::string> ReadGameReport(const std::string& path)
{
    std::map<std::string, std::string> facts;
    std::istringstream lines(test::ReadWholeFile(path));
    for (std::string line; std::getline(lines, line);) {
        std::size_t equals = line.find('=');
        if (equals != std::string::npos)
            facts[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return facts;
}

// The first bytes of a file as the game reports those of a view: hexadecimal pairs.
std::string FirstBytesOfFile(const std::string& path)
{
    std::string bytes = test::ReadWholeFile(path).substr(0, kFirstBytes);
    ViewFacts view;
    view.FirstCount = bytes.size();
    std::memcpy(view.First, bytes.data(), bytes.size());
    return FirstBytesHex(view);
}

const char* const kGraphics[] = {"skatgrf.key", "skatgrf.dat", "skatgrf640.key", "skatgrf640.dat"};

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
        CreateDirectoryA(root_.c_str(), nullptr);
        CreateDirectoryA((root_ + "Lib").c_str(), nullptr);
        CopyFileA((test::ProgramDirectory() + "\\prot_d.exe").c_str(), (root_ + "prot_d.exe").c_str(), FALSE);
        // Files that end within a page and on one, each told apart by its first bytes.
        std::size_t size = 900;
        for (const char* name : kGraphics) {
            std::string bytes = name;
            for (std::size_t i = 0; bytes.size() < size; ++i)
                bytes += char('a' + (i * 7 + size) % 26);
            test::WriteWholeFile(Library(name), bytes);
            size = size == 900 ? 3 * 4096 : size + 5000;
        }
        g_launcher = LauncherState{};
        g_launcher.Instance = GetModuleHandleA(nullptr);
        CopyText(g_launcher.InstallRoot, root_.c_str());
        JoinText(g_launcher.LibraryDir, root_.c_str(), "Lib");
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
    std::string Library(const char* name) { return root_ + "Lib\\" + name; }
    // Starts the game and returns its report; nothing is held afterwards.
    std::map<std::string, std::string> Play(int resolution)
    {
        DeleteFileA(g_reportPath.c_str());
        StartGame(resolution);
        EXPECT_EQ(nullptr, g_graphics.KeyFile);
        EXPECT_EQ(nullptr, g_graphics.KeyMapping);
        EXPECT_EQ(nullptr, g_graphics.DataFile);
        EXPECT_EQ(nullptr, g_graphics.DataMapping);
        for (const char* name : kGraphics)
            EXPECT_FALSE(test::FileHeld(Library(name))) << name << " is still held";
        return ReadGameReport(g_reportPath);
    }
    void ExpectViews(const std::map<std::string, std::string>& report, const char* data, const char* key)
    {
        EXPECT_EQ(FirstBytesOfFile(Library(data)), report.at("data.first"));
        EXPECT_EQ(FirstBytesOfFile(Library(key)), report.at("key.first"));
    }
    std::string saved_, scratch_, root_;
};

} // namespace

// The views are whole files mapped read-only; each resolution gives the game its two files,
// data first; the intro comes first once after an installation, and a failed one does not
// stop the game; a game that cannot start releases the files at once.
TEST_F(GameStartTest, EachResolutionGivesTheGameItsTwoFilesAfterTheIntroOnceAfterAnInstallation)
{
    GraphicsViews views = MapGraphicsFiles(kHighResolution);
    ASSERT_TRUE(views.Data && views.Key);
    std::string key = test::ReadWholeFile(Library("skatgrf.key")), data = test::ReadWholeFile(Library("skatgrf.dat"));
    EXPECT_EQ(0, std::memcmp(views.Key, key.data(), key.size()));
    EXPECT_EQ(0, std::memcmp(views.Data, data.data(), data.size()));
    MEMORY_BASIC_INFORMATION info = {};
    VirtualQuery(views.Data, &info, sizeof info);
    EXPECT_EQ(DWORD(PAGE_READONLY), info.Protect);
    EXPECT_TRUE(test::FileHeld(Library("skatgrf.key"))) << "held while mapped";
    UnmapGraphicsFiles(views.Data, views.Key);

    g_launcher.IntroPending = true; // but no film on this medium yet
    auto report = Play(kHighResolution);
    EXPECT_FALSE(g_launcher.IntroPending);
    ASSERT_FALSE(report.empty()) << "the game did not run";
    EXPECT_EQ("high", report["mode"]);
    ExpectViews(report, "skatgrf.dat", "skatgrf.key");

    SmkEncodeOptions options = FilmOptions(320, 240);
    options.FrameRate = 20;
    std::vector<uint8_t> film = EncodeFilm(options, MakeTestFrames(320, 240, 3, 5));
    CreateDirectoryA(g_launcher.IntroDir, nullptr);
    test::WriteWholeFile(std::string(g_launcher.IntroDir) + "\\intro320.smk", std::string(film.begin(), film.end()));
    g_launcher.IntroPending = true;
    g_filmCrawl = IntroStandIn;
    report = Play(kLowResolution);
    EXPECT_EQ(1, g_introsBeforeTheGame) << "the film ran to its end before the game";
    EXPECT_EQ("low", report["mode"]);
    ExpectViews(report, "skatgrf640.dat", "skatgrf640.key");
    EXPECT_STRCASEEQ(root_.substr(0, root_.size() - 1).c_str(), test::CurrentDirectory().c_str());

    EXPECT_EQ("high", Play(kHighResolution)["mode"]);
    EXPECT_EQ(1, g_introsBeforeTheGame) << "only the first game after an installation";

    DeleteFileA((root_ + "prot_d.exe").c_str());
    EXPECT_TRUE(Play(kHighResolution).empty());
}

using GameStartDeathTest = GameStartTest;

// A graphics file missing or empty, or an installation directory that would leave the game
// to the system's search (a program of its name lies in the current directory and beside
// this test program): the launcher ends with 0 and no game starts.
TEST_F(GameStartDeathTest, WithoutItsGraphicsOrAnAbsoluteDirectoryTheLauncherEndsWithZero)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    test::WriteWholeFile(Library("skatgrf640.dat"), "");
    EXPECT_EXIT(StartGame(kLowResolution), testing::ExitedWithCode(0), "");
    CopyFileA((root_ + "prot_d.exe").c_str(), (scratch_ + "\\prot_d.exe").c_str(), FALSE);
    SetCurrentDirectoryA(scratch_.c_str());
    for (const char* root : {"", "VeskMarlit\\", "\\VeskMarlit\\"}) {
        CopyText(g_launcher.InstallRoot, root);
        EXPECT_EXIT(StartGame(kHighResolution), testing::ExitedWithCode(0), "") << '"' << root << '"';
    }
    CopyText(g_launcher.InstallRoot, root_.c_str());
    DeleteFileA(Library("skatgrf.key").c_str());
    EXPECT_EXIT(MapGraphicsFiles(kHighResolution), testing::ExitedWithCode(0), "");
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(g_reportPath.c_str())) << "a game was started";
}
