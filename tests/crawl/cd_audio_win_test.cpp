// The CD audio's MCI commands through a recording stand-in for mciSendCommandA, and the
// real interface under Wine, which has no CD audio device.
#include "crawl/cd_audio_win.h"
#include "launcher/launcher_state.h"
#include "tests/crawl/crawl_win_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Read before any test runs: the identifier as the program starts with it.
const MCIDEVICEID kIdAtStart = g_cdDeviceId;

class CdAudioTest : public ::testing::Test {
protected:
    void SetUp() override { std::strcpy(g_launcher.SourceRoot, "E:\\"); }
    std::vector<UINT> Messages() const { return recorder.Messages(); }
    RecordedMci recorder;
    HWND dialog = reinterpret_cast<HWND>(0x1234);
};

// No device until the first open, and a stop before it sends nothing. Only the track number's
// low byte counts.
TEST_F(CdAudioTest, TrackTwoPlaysFromItsStartToItsEndWithNoticeToTheDialog)
{
    EXPECT_EQ(kIdAtStart, 0xFFFFu);
    StopCdAudio();
    EXPECT_TRUE(recorder.commands.empty());
    ASSERT_EQ(PlayCdTrack(dialog, 0x302), 0u);
    ASSERT_EQ(Messages(), (std::vector<UINT>{MCI_OPEN, MCI_SET, MCI_STATUS, MCI_PLAY}));
    const MciCommand& open = recorder.commands[0];
    EXPECT_EQ(open.device, 0u);
    EXPECT_EQ(open.flags, static_cast<DWORD_PTR>(MCI_OPEN_TYPE | MCI_OPEN_ELEMENT)) << "the device of the medium's drive";
    EXPECT_EQ(open.deviceType, "cdaudio");
    EXPECT_EQ(open.elementName, "E:");
    EXPECT_EQ(g_cdDeviceId, 7u);

    const MciCommand& set = recorder.commands[1];
    EXPECT_EQ(set.device, 7u);
    EXPECT_EQ(set.flags, static_cast<DWORD_PTR>(MCI_SET_TIME_FORMAT));
    EXPECT_EQ(set.timeFormat, static_cast<DWORD_PTR>(MCI_FORMAT_TMSF));

    const MciCommand& status = recorder.commands[2];
    EXPECT_EQ(status.flags, static_cast<DWORD_PTR>(0x110));
    EXPECT_EQ(status.item, static_cast<DWORD_PTR>(MCI_STATUS_LENGTH));
    EXPECT_EQ(status.track, 2u);

    const MciCommand& play = recorder.commands[3];
    EXPECT_EQ(play.device, 7u);
    EXPECT_EQ(play.flags, static_cast<DWORD_PTR>(0x0D)) << "notify, from, to";
    EXPECT_EQ(play.callback, reinterpret_cast<DWORD_PTR>(dialog));
    EXPECT_EQ(play.from, 2u) << "track 2, 0:00.00";
    EXPECT_EQ(play.to, 0x3C190302u) << "track 2 at 3:25.60, its end";

    recorder.commands.clear();
    StopCdAudio();
    ASSERT_EQ(Messages(), (std::vector<UINT>{MCI_STOP, MCI_CLOSE}));
    EXPECT_EQ(recorder.commands[0].device, 7u);
    EXPECT_EQ(recorder.commands[0].flags, 0u);
    EXPECT_TRUE(recorder.commands[0].hasParameters);
    EXPECT_EQ(recorder.commands[0].callback, 0u);
    EXPECT_EQ(recorder.commands[1].device, 7u);
    EXPECT_EQ(recorder.commands[1].flags, 0u);
    EXPECT_FALSE(recorder.commands[1].hasParameters);
    EXPECT_EQ(g_cdDeviceId, 7u) << "a close keeps the identifier";
}

TEST_F(CdAudioTest, TheMediumsDriveRefusedTheDefaultDevicePlays)
{
    recorder.openFailures = 1;
    std::strcpy(g_launcher.SourceRoot, "G:\\");
    ASSERT_EQ(PlayCdTrack(dialog, 2), 0u);
    ASSERT_EQ(Messages(), (std::vector<UINT>{MCI_OPEN, MCI_OPEN, MCI_SET, MCI_STATUS, MCI_PLAY}));
    EXPECT_EQ(recorder.commands[0].flags, static_cast<DWORD_PTR>(MCI_OPEN_TYPE | MCI_OPEN_ELEMENT));
    EXPECT_EQ(recorder.commands[0].elementName, "G:");
    const MciCommand& open = recorder.commands[1];
    EXPECT_EQ(open.device, 0u);
    EXPECT_EQ(open.flags, static_cast<DWORD_PTR>(MCI_OPEN_TYPE)) << "the type only: the default CD audio device";
    EXPECT_EQ(open.deviceType, "cdaudio");
    EXPECT_EQ(open.elementName, "G:\\") << "carried along, not used";
    EXPECT_EQ(g_cdDeviceId, 7u);
    for (std::size_t i = 2; i < recorder.commands.size(); ++i)
        EXPECT_EQ(recorder.commands[i].device, 7u) << i;
}

TEST_F(CdAudioTest, FailedOpensReturnTheDefaultDevicesErrorAndKeepTheIdentifier)
{
    recorder.failOn = MCI_OPEN;
    g_cdDeviceId = 3;
    EXPECT_EQ(PlayCdTrack(dialog, 2), kMciFailure);
    EXPECT_EQ(Messages(), (std::vector<UINT>{MCI_OPEN, MCI_OPEN}));
    EXPECT_EQ(g_cdDeviceId, 3u);
    StopCdAudio();
    EXPECT_EQ(Messages(), (std::vector<UINT>{MCI_OPEN, MCI_OPEN, MCI_STOP, MCI_CLOSE})) << "to the identifier kept";
}

// A command that fails after the open closes the device again and returns its error; a
// later stop goes to the closed device.
TEST_F(CdAudioTest, AFailedSetLengthQueryOrPlayClosesTheDevice)
{
    const std::vector<UINT> sequences[] = {{MCI_OPEN, MCI_SET, MCI_CLOSE},
                                           {MCI_OPEN, MCI_SET, MCI_STATUS, MCI_CLOSE},
                                           {MCI_OPEN, MCI_SET, MCI_STATUS, MCI_PLAY, MCI_CLOSE}};
    for (const std::vector<UINT>& sent : sequences) {
        recorder.commands.clear();
        recorder.failOn = sent[sent.size() - 2];
        SCOPED_TRACE(recorder.failOn);
        EXPECT_EQ(PlayCdTrack(dialog, 2), kMciFailure);
        ASSERT_EQ(Messages(), sent);
        EXPECT_EQ(recorder.commands.back().device, 7u);
        EXPECT_EQ(recorder.commands.back().flags, 0u);
        EXPECT_FALSE(recorder.commands.back().hasParameters);
    }
    recorder.commands.clear();
    StopCdAudio();
    EXPECT_EQ(Messages(), (std::vector<UINT>{MCI_STOP, MCI_CLOSE}));
    EXPECT_EQ(recorder.commands[0].device, 7u);
}

// Under Wine no audio CD plays: the open fails, or (with Wine's CD audio driver) a later
// command does and the device is closed again. Either way an error and nothing else.
TEST(CdAudioWineTest, NoAudioCdIsTheSilentPath)
{
    g_cdDeviceId = kNoCdDevice;
    std::strcpy(g_launcher.SourceRoot, "E:\\");
    DWORD start = GetTickCount();
    MCIERROR error = PlayCdTrack(nullptr, 2);
    if (error == 0) {
        StopCdAudio();
        GTEST_SKIP() << "this machine plays an audio CD";
    }
    EXPECT_LT(GetTickCount() - start, 5000u) << "no message box waited for a click";
    if (g_cdDeviceId != kNoCdDevice) {
        // Opened and closed again: a second close of the same identifier fails.
        EXPECT_NE(mciSendCommandA(g_cdDeviceId, MCI_CLOSE, 0, 0), 0u) << "left open after error " << error;
    }
    StopCdAudio();
    g_cdDeviceId = kNoCdDevice;
}

} // namespace
