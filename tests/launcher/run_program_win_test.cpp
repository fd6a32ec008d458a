// RunProgram: the child's directory becomes the launcher's current directory, the call
// waits for the child unless told not to, and failures are silent.
#include "launcher/launcher_win.h"
#include "tests/support/win_files.h"
#include "tools/uidriver/uidriver.h"

#include <gtest/gtest.h>

namespace {

class RunProgramTest : public testing::Test {
protected:
    void SetUp() override
    {
        saved_ = test::CurrentDirectory();
        scratch_ = test::MakeScratchDirectory("runprogram");
        out_ = scratch_ + "\\probe.txt";
        probe_ = test::ProgramDirectory() + "\\childprobe.exe";
        SetEnvironmentVariableA("VESK_PROBE_OUT", out_.c_str());
        SetEnvironmentVariableA("VESK_PROBE_SLEEP", nullptr);
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(saved_.c_str());
        test::RemoveTree(scratch_);
    }
    // First line: the child's current directory; second: its command line.
    std::string ProbeLine(int n)
    {
        std::string text = test::ReadWholeFile(out_);
        size_t start = 0;
        for (int i = 0; i < n; ++i)
            start = text.find('\n', start) + 1;
        return text.substr(start, text.find('\n', start) - start);
    }
    std::string saved_, scratch_, out_, probe_;
};

} // namespace

TEST_F(RunProgramTest, WaitsForTheChildUnlessToldNotTo)
{
    SetEnvironmentVariableA("VESK_PROBE_SLEEP", "300");
    std::string line = probe_ + " high 0x1a 0x2b";
    EXPECT_NE(0, RunProgram(line.c_str(), 0));
    EXPECT_EQ(test::ProgramDirectory(), ProbeLine(0)) << "the child's report is complete: it has ended";
    EXPECT_EQ(line, ProbeLine(1));
    EXPECT_EQ(test::ProgramDirectory(), test::CurrentDirectory()) << "the launcher stays in the child's directory";

    DeleteFileA(out_.c_str());
    SetEnvironmentVariableA("VESK_PROBE_SLEEP", "1500");
    DWORD start = GetTickCount();
    EXPECT_NE(0, RunProgram(probe_.c_str(), 1));
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(out_.c_str())) << "the child has not written yet";
    EXPECT_TRUE(ui::WaitUntil([&] { return !ProbeLine(1).empty(); }, 10000));
}

TEST_F(RunProgramTest, TheDirectoryIsWhatTheTextBeforeTheLastBackslashNames)
{
    // In a drive root: "C:" alone names drive C's own current directory, its root when none
    // was kept.
    std::string rootProbe = "C:\\vesk-childprobe.exe";
    ASSERT_TRUE(CopyFileA(probe_.c_str(), rootProbe.c_str(), FALSE));
    SetCurrentDirectoryA("Z:\\");
    EXPECT_NE(0, RunProgram(rootProbe.c_str(), 0));
    DeleteFileA(rootProbe.c_str());
    EXPECT_EQ("C:\\", test::CurrentDirectory());
    EXPECT_EQ("C:\\", ProbeLine(0));

    // Without a backslash the directory stays; the system finds the program in the test
    // program's own directory.
    SetCurrentDirectoryA(scratch_.c_str());
    EXPECT_NE(0, RunProgram("childprobe.exe plain", 0));
    EXPECT_EQ(scratch_, test::CurrentDirectory());
    EXPECT_EQ(scratch_, ProbeLine(0));

    // A backslash in the arguments moves the cut: here to a directory that happens to be
    // called that.
    std::string odd = scratch_ + "\\childprobe.exe sub";
    ASSERT_TRUE(CreateDirectoryA(odd.c_str(), nullptr));
    EXPECT_NE(0, RunProgram("childprobe.exe sub\\file", 0));
    EXPECT_EQ(odd, test::CurrentDirectory());
    EXPECT_EQ(odd, ProbeLine(0));
}

TEST_F(RunProgramTest, AMissingProgramOrAnOverlongLineReturnsZero)
{
    std::string missing = scratch_ + "\\missing.exe";
    SetCurrentDirectoryA("C:\\");
    EXPECT_EQ(0, RunProgram(missing.c_str(), 0));
    EXPECT_EQ(scratch_, test::CurrentDirectory()) << "after changing the directory";
    std::string tooLong = probe_ + " " + std::string(300, 'x');
    EXPECT_EQ(0, RunProgram(tooLong.c_str(), 0));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(out_.c_str())) << "not started";
}
