// The CD audio's MCI commands through a recording stand-in for mciSendCommandA, and the real
// interface under Wine, which has no CD audio device; the crawl's music when the CD cannot
// play: the stand-in failing where a machine without a drive, without an audio CD or without
// track 2 would, ripped files in folders of the test's own as medium and installation, and
// the sound through the DirectSound of the test prefix (ALSA's null device), fed by the
// music's thread.
#include "crawl/cd_audio_win.h"
#include "crawl/crawl_music_win.h"
#include "launcher/launcher_state.h"
#include "tests/crawl/crawl_win_support.h"
#include "tests/support/wave_file.h"
#include "tests/support/win_files.h"

#include <gtest/gtest.h>

#include <cstdint>
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
    // The device of the medium's drive; track 2 from 0:00.00 to its end at 3:25.60, with
    // notice to the dialog (notify, from, to).
    const DWORD_PTR notice = reinterpret_cast<DWORD_PTR>(dialog);
    EXPECT_EQ(recorder.commands, (std::vector<MciCommand>{
                                     {0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, true, "cdaudio", "E:"},
                                     {7, MCI_SET, MCI_SET_TIME_FORMAT, true, "", "", 0, MCI_FORMAT_TMSF},
                                     {7, MCI_STATUS, 0x110, true, "", "", 0, 0, MCI_STATUS_LENGTH, 2},
                                     {7, MCI_PLAY, 0x0D, true, "", "", notice, 0, 0, 0, 2, 0x3C190302},
                                 }));
    EXPECT_EQ(g_cdDeviceId, 7u);
    recorder.commands.clear();
    StopCdAudio();
    EXPECT_EQ(recorder.commands, (std::vector<MciCommand>{{7, MCI_STOP, 0, true}, {7, MCI_CLOSE, 0, false}}));
    EXPECT_EQ(g_cdDeviceId, 7u) << "a close keeps the identifier";
}

TEST_F(CdAudioTest, TheMediumsDriveRefusedTheDefaultDevicePlays)
{
    recorder.openFailures = 1;
    std::strcpy(g_launcher.SourceRoot, "G:\\");
    ASSERT_EQ(PlayCdTrack(dialog, 2), 0u);
    ASSERT_EQ(Messages(), (std::vector<UINT>{MCI_OPEN, MCI_OPEN, MCI_SET, MCI_STATUS, MCI_PLAY}));
    EXPECT_EQ(recorder.commands[0], (MciCommand{0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, true, "cdaudio", "G:"}));
    // The type only: the default CD audio device; the element is carried along, not used.
    EXPECT_EQ(recorder.commands[1], (MciCommand{0, MCI_OPEN, MCI_OPEN_TYPE, true, "cdaudio", "G:\\"}));
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
        EXPECT_EQ(recorder.commands.back(), (MciCommand{7, MCI_CLOSE, 0, false}));
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

// A 16-bit Wave file of the given frames; sample i of channel c is (i * 7 + c * 1000) mod
// 65536, so any misplaced byte shows.
std::string WaveFile(int channels, std::uint32_t rate, std::uint32_t frames)
{
    std::vector<std::uint8_t> pcm;
    for (std::uint32_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c)
            PutLe16(pcm, (i * 7 + c * 1000) & 0xFFFF);
    }
    std::vector<std::uint8_t> wave = test::MakeWave(test::Spec(channels, rate, 16), pcm);
    return std::string(wave.begin(), wave.end());
}

class CrawlMusicTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        base = test::MakeScratchDirectory("crawl-music");
        medium = base + "\\medium\\";
        installation = base + "\\installed\\";
        for (const std::string& folder : {medium, installation, medium + "Music", installation + "Music"})
            CreateDirectoryA(folder.c_str(), nullptr);
        std::strcpy(g_launcher.SourceRoot, medium.c_str());
        std::strcpy(g_launcher.InstallRoot, installation.c_str());
        g_launcher.Installed = true;
        window = CreateWindowA("STATIC", "music", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override
    {
        StopCrawlMusic();
        g_launcher.Installed = false;
        DestroyWindow(window);
        test::RemoveTree(base);
    }
    void Put(const std::string& root, const char* name, const std::string& bytes)
    {
        ASSERT_TRUE(test::WriteWholeFile(root + name, bytes)) << root << name;
    }
    // What the choice of file needs of the sound: the tests of the choice skip without it.
    bool NeedSound()
    {
        IDirectSound* sound = nullptr;
        if (SUCCEEDED(DirectSoundCreate(nullptr, &sound, nullptr))) {
            sound->Release();
            return true;
        }
        ADD_FAILURE() << "no DirectSound in this prefix: the test run's null sound device is missing";
        return false;
    }
    // The music's thread has chosen: the index of the file whose sound plays, or -1 once the
    // thread has ended without one.
    int Chosen()
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(5)) {
            if (g_crawlMusic.FileIndex >= 0 || g_crawlMusic.Finished)
                return g_crawlMusic.FileIndex;
        }
        ADD_FAILURE() << "the music's thread neither plays nor ends";
        return -2;
    }
    std::string base, medium, installation;
    RecordedMci mci;
    HWND window = nullptr;
};

constexpr char kOgg[] = "Music\\Track02.ogg", kFlac[] = "Music\\Track02.flac", kWav[] = "Music\\Track02.wav";

TEST_F(CrawlMusicTest, ACdThatPlaysLeavesTheFilesAlone)
{
    StopCrawlMusic();
    EXPECT_TRUE(mci.commands.empty()) << "a stop without music sends nothing";
    Put(medium, kWav, WaveFile(2, 22050, 22050));
    PlayCrawlMusic(window);
    EXPECT_EQ(mci.Messages(), (std::vector<UINT>{MCI_OPEN, MCI_SET, MCI_STATUS, MCI_PLAY}));
    EXPECT_EQ(nullptr, g_crawlMusic.Thread) << "no thread for the file";
    EXPECT_FALSE(FileHeld(medium + kWav));
    mci.commands.clear();
    StopCrawlMusic();
    EXPECT_EQ(mci.Messages(), (std::vector<UINT>{MCI_STOP, MCI_CLOSE}));
}

// Each way the drive fails leads to the file, once the device it opened is closed again;
// the file plays, held open, until the crawl stops it.
TEST_F(CrawlMusicTest, EveryFailureOfTheDriveLeadsToTheFileWhichPlaysUntilTheCrawlStopsIt)
{
    if (!NeedSound())
        return;
    Put(medium, kWav, WaveFile(2, 22050, 3 * 22050));
    for (UINT failing : {UINT(MCI_OPEN), UINT(MCI_SET), UINT(MCI_STATUS), UINT(MCI_PLAY)}) {
        SCOPED_TRACE(failing);
        mci.commands.clear();
        mci.failOn = failing;
        PlayCrawlMusic(window);
        EXPECT_EQ(2, Chosen());
        EXPECT_EQ(failing == MCI_OPEN ? MCI_OPEN : MCI_CLOSE, mci.Messages().back()) << "the device closed before the file plays";
        ASSERT_NE(nullptr, g_crawlMusic.Buffer);
        DWORD status = 0;
        g_crawlMusic.Buffer->GetStatus(&status);
        EXPECT_TRUE(status & DSBSTATUS_PLAYING);
        EXPECT_TRUE(FileHeld(medium + kWav)) << "held while it plays";
        mci.commands.clear();
        StopCrawlMusic();
        if (failing == MCI_OPEN) {
            EXPECT_TRUE(mci.commands.empty()) << "no device was opened";
        }
        EXPECT_EQ(-1, g_crawlMusic.FileIndex);
        EXPECT_EQ(nullptr, g_crawlMusic.Buffer);
        EXPECT_EQ(nullptr, g_crawlMusic.Thread);
        EXPECT_FALSE(FileHeld(medium + kWav)) << "released at once";
    }
}

// Ogg and FLAC files stand in as Wave data: the kind is told by the bytes, not the name. A
// damaged file gives way to the next; a file that cannot play is not kept open.
TEST_F(CrawlMusicTest, TheMediumBeforeTheInstallationAndOggThenFlacThenWave)
{
    if (!NeedSound())
        return;
    mci.failOn = MCI_OPEN;
    struct File {
        bool OnMedium;
        const char* Name;
        std::string Bytes = WaveFile(1, 8000, 800);
    };
    const std::string damagedOgg = std::string("OggS\0\2\0\0", 8) + "not a Vorbis stream";
    const std::string cutFlac = std::string("fLaC\x80\0\0\x22", 8) + "a stream information block cut short";
    const std::string noFormat("RIFF\x10\0\0\0WAVEdata", 16);
    const struct {
        const char* Why;
        std::vector<File> Files;
        bool Installed;
        int Expected;
    } cases[] = {
        {"the medium's Ogg first", {{true, kWav}, {true, kFlac}, {true, kOgg}, {false, kOgg}}, true, 0},
        {"the medium's FLAC before its Wave", {{true, kWav}, {true, kFlac}}, true, 1},
        {"the medium's Wave before the installation's Ogg", {{true, kWav}, {false, kOgg}}, true, 2},
        {"the installation's Ogg", {{false, kOgg}, {false, kWav}}, true, 3},
        {"the installation's FLAC before its Wave", {{false, kFlac}, {false, kWav}}, true, 4},
        {"the installation's Wave", {{false, kWav}}, true, 5},
        {"nothing installed: the installation is not looked at", {{false, kWav}}, false, -1},
        {"nothing there", {}, true, -1},
        {"damaged files give way", {{true, kOgg, damagedOgg}, {true, kFlac, cutFlac}, {true, kWav, noFormat}, {false, kOgg}}, true, 3},
        {"only damaged files: silence", {{true, kOgg, damagedOgg}, {true, kFlac, cutFlac}, {true, kWav, noFormat}}, true, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Why);
        for (const File& file : c.Files)
            ASSERT_NO_FATAL_FAILURE(Put(file.OnMedium ? medium : installation, file.Name, file.Bytes));
        g_launcher.Installed = c.Installed;
        PlayCrawlMusic(window);
        EXPECT_EQ(c.Expected, Chosen());
        EXPECT_EQ(c.Expected >= 0, g_crawlMusic.Buffer != nullptr);
        StopCrawlMusic();
        for (const File& file : c.Files)
            EXPECT_TRUE(DeleteFileA(((file.OnMedium ? medium : installation) + file.Name).c_str())) << file.Name << ": released";
    }
}

// The buffer holds the file's first second as it starts (silence where the cursor has
// passed), then what the file holds next as the cursor moves on; a short file plays once,
// and the thread ends by itself, the file closed, while the crawl goes on.
TEST_F(CrawlMusicTest, TheBufferIsFedFromTheFileAndTheThreadEndsAfterIt)
{
    if (!NeedSound())
        return;
    const std::uint32_t rate = 22050, frames = rate * 3 / 2;
    Put(medium, kWav, WaveFile(2, rate, frames));
    mci.failOn = MCI_OPEN;
    PlayCrawlMusic(window);
    ASSERT_EQ(2, Chosen());
    ASSERT_EQ(rate * 4, g_crawlMusic.BufferBytes) << "a second of 16-bit stereo";
    void *first = nullptr, *second = nullptr;
    DWORD firstSize = 0, secondSize = 0, start = g_crawlMusic.WriteOffset;
    ASSERT_EQ(DS_OK, g_crawlMusic.Buffer->Lock(0, g_crawlMusic.BufferBytes, &first, &firstSize, &second, &secondSize, 0));
    const auto* samples = static_cast<const std::uint16_t*>(first);
    int wrong = 0, music = 0;
    // Frame i of the ring holds the file's frame i, or i + rate once refilled.
    auto holds = [&](DWORD i, DWORD frame) {
        return samples[2 * i] == ((frame * 7) & 0xFFFF) && samples[2 * i + 1] == ((frame * 7 + 1000) & 0xFFFF);
    };
    for (DWORD i = 0; i < firstSize / 4; ++i) {
        bool silent = samples[2 * i] == 0 && samples[2 * i + 1] == 0;
        bool right = holds(i, i) || holds(i, i + rate);
        wrong += !silent && !right;
        music += right;
    }
    g_crawlMusic.Buffer->Unlock(first, firstSize, second, secondSize);
    EXPECT_EQ(0, wrong) << "of " << firstSize / 4 << " frames";
    EXPECT_GT(music, 0);
    bool refilled = false;
    for (DWORD wait = GetTickCount(); GetTickCount() - wait < 10000 && !g_crawlMusic.Finished; Sleep(1))
        refilled = refilled || (g_crawlMusic.Buffer && g_crawlMusic.WriteOffset != start);
    EXPECT_TRUE(refilled);
    EXPECT_TRUE(g_crawlMusic.Finished) << "the music plays once";
    EXPECT_FALSE(FileHeld(medium + kWav)) << "closed after its end";
}

// Hostile Ogg pages, a capture pattern every 7 bytes, through which libogg searches for a
// page, its checksum each time; each read waits besides. The crawl's end stops the search
// within a read, with the file closed.
TEST_F(CrawlMusicTest, TheCrawlsEndStopsTheLongestSearchAtOnce)
{
    std::string pattern;
    while (pattern.size() < (1u << 20))
        pattern += std::string("OggS\0\xFF\xFF", 7);
    Put(medium, kOgg, pattern);
    mci.failOn = MCI_OPEN;
    g_musicReadPause = 5;
    PlayCrawlMusic(window);
    Sleep(300);
    EXPECT_FALSE(g_crawlMusic.Finished) << "still searching";
    EXPECT_TRUE(FileHeld(medium + kOgg)) << "held by the search";
    DWORD start = GetTickCount();
    StopCrawlMusic();
    DWORD took = GetTickCount() - start;
    g_musicReadPause = 0;
    EXPECT_LT(took, 200u) << "milliseconds to stop";
    EXPECT_FALSE(FileHeld(medium + kOgg)) << "closed";
    EXPECT_EQ(-1, g_crawlMusic.FileIndex);
}

} // namespace
