// An installation from a medium that nobody can write, end to end: the settings file cannot
// go into the medium's root, yet the installed copy, the medium's launcher started again and
// a removal started as the system's list of installed software starts it all find the
// installation. Run by its own test step, which binds the sample medium read-only as E:.
#include "resources/resource.h"
#include "tests/e2e/e2e_support.h"
#include "tests/game/game_report.h"
#include "tests/install/install_test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

using namespace e2e;

namespace {

constexpr char kInstalledLauncher[] = "C:\\VeskMarlit\\Vesk.exe";

// The game's report: "name=value" lines.
std::map<std::string, std::string> ReadReport(const std::string& path)
{
    std::map<std::string, std::string> facts;
    std::string text = ReadWholeFile(path);
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        std::size_t equals = line.find('=');
        if (equals != std::string::npos)
            facts[line.substr(0, equals)] = line.substr(equals + 1);
        start = end + 1;
    }
    return facts;
}

std::string StartMenuGroup() { return installtest::ProgramsFolder() + "\\TALVERO"; }

bool MediumIsWritable()
{
    HANDLE probe = CreateFileA("E:\\vesk-probe.tmp", GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(probe);
    return true;
}

class ReadOnlyMedium : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_SAMPLE_MEDIUM();
        ASSERT_FALSE(MediumIsWritable()) << "the medium must be read-only for this test";
        SetEnvironmentVariableA("WINEDLLOVERRIDES", "winemenubuilder.exe=d");
        char temp[MAX_PATH] = "";
        GetTempPathA(MAX_PATH, temp);
        report_ = std::string(temp) + "vesk-readonly-game.txt";
        CleanUp();
    }
    void TearDown() override
    {
        ui::Kill(launcher_.program);
        ui::Kill(handedOver_);
        CleanUp();
        SetEnvironmentVariableA(kReportVariable, nullptr);
    }
    void CleanUp()
    {
        RemoveTree(kInstallDirectory);
        RemoveTree(StartMenuGroup());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VeskMarlit");
        DeleteFileA(report_.c_str());
    }
    bool WaitForButtons(const std::vector<int>& buttons)
    {
        return ui::WaitUntil([&] { return ui::VisibleControls(launcher_.dialog, kAllButtons) == buttons; }, kTimeout);
    }
    // Starts a launcher, expects all six buttons, plays with the given button and closes it.
    // Returns the game's report.
    std::map<std::string, std::string> StartInstalledAndPlay(const std::string& program, const char* directory,
                                                             int button)
    {
        // The game reports instead of showing its window; the launcher passes the variable on.
        DeleteFileA(report_.c_str());
        SetEnvironmentVariableA(kReportVariable, report_.c_str());
        launcher_ = StartLauncher(program, directory);
        if (!launcher_.dialog)
            return {};
        EXPECT_EQ(kAllButtons, ui::VisibleControls(launcher_.dialog, kAllButtons)) << program << " in " << directory;
        ui::Click(launcher_.dialog, button);
        ui::WaitUntil([&] { return Exists(report_); }, kTimeout);
        Sleep(300);
        SetEnvironmentVariableA(kReportVariable, nullptr);
        ui::Click(launcher_.dialog, IDC_CLOSE);
        EXPECT_EQ(1u, ui::WaitForExit(launcher_.program, kTimeout));
        ui::Kill(launcher_.program);
        return ReadReport(report_);
    }
    Launcher launcher_;
    ui::Program handedOver_;
    std::string report_;
};

} // namespace

TEST_F(ReadOnlyMedium, TheInstallationIsFoundAgainWithoutASettingsFileOnTheMedium)
{
    // Installed from the medium's root, where the settings file cannot be written.
    launcher_ = StartLauncher(kLauncher, "E:\\");
    ASSERT_NE(nullptr, launcher_.dialog);
    ui::Click(launcher_.dialog, IDC_INSTALL);
    HWND options = ui::WaitForWindowWithText(launcher_.program.id, "Ziellaufwerk", kTimeout);
    ASSERT_NE(nullptr, options);
    ui::Click(options, IDOK);
    ASSERT_TRUE(WaitForButtons(kAllButtons));
    EXPECT_FALSE(Exists("E:\\VeskMarlit.ini"));
    EXPECT_EQ(kFullInstallationSettings, ReadWholeFile(std::string(kInstallDirectory) + "\\VeskMarlit.ini"));
    EXPECT_TRUE(Exists(std::string(kInstallDirectory) + "\\Lib\\skatgrf.dat"));
    ui::Click(launcher_.dialog, IDC_CLOSE);
    ASSERT_EQ(1u, ui::WaitForExit(launcher_.program, kTimeout));
    ui::Kill(launcher_.program);

    // The installed copy, started as its shortcut starts it.
    auto high = StartInstalledAndPlay(kInstalledLauncher, kInstallDirectory, IDC_PLAY_HIGH);
    EXPECT_EQ("high", high["mode"]) << "the installed copy starts the game";
    EXPECT_STRCASEEQ(kInstallDirectory, high["directory"].c_str());

    // The medium's launcher, started again from the medium's root.
    auto low = StartInstalledAndPlay(kLauncher, "E:\\", IDC_PLAY_LOW);
    EXPECT_EQ("low", low["mode"]) << "the medium's launcher starts the game";
    EXPECT_STRCASEEQ(kInstallDirectory, low["directory"].c_str());

    // A removal as the system's list starts it, from another current directory. That
    // launcher's own path lies on C:, so it hands over to the medium's launcher, which asks.
    ASSERT_TRUE(ui::Start(handedOver_, std::string(kLauncher) + " /U", "C:\\windows"));
    HWND box = ui::WaitForWindowWithText(0, kConfirmation, kTimeout);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(0u, ui::WaitForExit(handedOver_, kTimeout));
    launcher_.program = ui::ProgramOf(box);
    ui::Click(box, IDYES);
    launcher_.dialog = ui::WaitForWindowWithText(launcher_.program.id, "Schlie\xdf" "en", kTimeout);
    ASSERT_NE(nullptr, launcher_.dialog);
    ASSERT_TRUE(WaitForButtons(kNotInstalledButtons));
    EXPECT_FALSE(Exists(kInstallDirectory));
    EXPECT_FALSE(Exists(StartMenuGroup()));
    EXPECT_FALSE(installtest::UninstallEntryExists());
    ui::Click(launcher_.dialog, IDC_CLOSE);
    EXPECT_EQ(1u, ui::WaitForExit(launcher_.program, kTimeout));

    // Nothing is installed any more: the medium's launcher offers the installation again.
    launcher_ = StartLauncher(kLauncher, "E:\\");
    ASSERT_NE(nullptr, launcher_.dialog);
    EXPECT_EQ(kNotInstalledButtons, ui::VisibleControls(launcher_.dialog, kAllButtons));
    ui::Click(launcher_.dialog, IDC_CLOSE);
    EXPECT_EQ(1u, ui::WaitForExit(launcher_.program, kTimeout));
}
