// The crawl's music when the CD cannot play: the MCI commands through a recording stand-in
// that fails where a machine without a drive, without an audio CD or without track 2 would,
// ripped files in folders of the test's own as medium and installation, and the sound
// through the DirectSound of the test prefix (ALSA's null device), fed by the music's thread.
#include "crawl/cd_audio_win.h"
#include "crawl/crawl_music_win.h"
#include "launcher/launcher_state.h"

#include "tests/support/win_files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct MciStandIn {
    std::vector<UINT> messages;
    UINT failOn = 0; // 0: the CD plays
};

MciStandIn* g_mci = nullptr;

MCIERROR WINAPI RecordMci(MCIDEVICEID, UINT message, DWORD_PTR, DWORD_PTR parameters)
{
    g_mci->messages.push_back(message);
    if (message == g_mci->failOn)
        return MCIERR_DEVICE_NOT_READY;
    if (message == MCI_OPEN)
        reinterpret_cast<MCI_OPEN_PARMSA*>(parameters)->wDeviceID = 9;
    return 0;
}

void PutLittle(std::string& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>(value >> (8 * i)));
}

// A 16-bit Wave file of the given frames; sample i of channel c is (i * 7 + c * 1000) mod
// 65536, so any misplaced byte shows.
std::string WaveFile(int channels, std::uint32_t rate, std::uint32_t frames)
{
    std::string data;
    for (std::uint32_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            PutLittle(data, (i * 7 + c * 1000) & 0xFFFF, 2);
    std::string out = "RIFF";
    PutLittle(out, 36 + static_cast<std::uint32_t>(data.size()), 4);
    out += "WAVEfmt ";
    PutLittle(out, 16, 4);
    PutLittle(out, 1, 2);
    PutLittle(out, channels, 2);
    PutLittle(out, rate, 4);
    PutLittle(out, rate * channels * 2, 4);
    PutLittle(out, channels * 2, 2);
    PutLittle(out, 16, 2);
    out += "data";
    PutLittle(out, static_cast<std::uint32_t>(data.size()), 4);
    return out + data;
}

// Another program (or the player) taking the file away: refused while the crawl holds it.
bool CanBeRenamed(const std::string& path)
{
    std::string other = path + ".away";
    if (!MoveFileA(path.c_str(), other.c_str()))
        return false;
    MoveFileA(other.c_str(), path.c_str());
    return true;
}

bool HaveDirectSound()
{
    IDirectSound* sound = nullptr;
    if (FAILED(DirectSoundCreate(nullptr, &sound, nullptr)))
        return false;
    sound->Release();
    return true;
}

class CrawlMusicTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        base = std::string(temp) + "crawl-music-" + std::to_string(GetCurrentProcessId());
        medium = base + "\\medium\\";
        installation = base + "\\installed\\";
        for (const std::string& folder : {base, base + "\\medium", base + "\\installed", medium + "Music", installation + "Music"})
            CreateDirectoryA(folder.c_str(), nullptr);
        std::strcpy(g_launcher.SourceRoot, medium.c_str());
        std::strcpy(g_launcher.InstallRoot, installation.c_str());
        g_launcher.Installed = true;
        g_mci = &mci;
        g_mciSendCommand = RecordMci;
        g_cdDeviceId = kNoCdDevice;
        window = CreateWindowA("STATIC", "music", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override
    {
        StopCrawlMusic();
        g_mciSendCommand = mciSendCommandA;
        g_mci = nullptr;
        g_cdDeviceId = kNoCdDevice;
        g_launcher.Installed = false;
        DestroyWindow(window);
        for (const std::string& root : {medium, installation}) {
            for (const char* name : kMusicFileNames)
                DeleteFileA((root + name).c_str());
            RemoveDirectoryA((root + "Music").c_str());
            RemoveDirectoryA(root.c_str());
        }
        RemoveDirectoryA(base.c_str());
    }
    void Put(const std::string& root, const char* name, const std::string& bytes)
    {
        ASSERT_TRUE(test::WriteWholeFile(root + name, bytes)) << root << name;
    }
    // What the choice of file needs of the sound: the tests of the choice skip without it.
    bool NeedSound()
    {
        if (HaveDirectSound())
            return true;
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
    MciStandIn mci;
    HWND window = nullptr;
};

const std::string kDamaged = std::string("OggS\0\2\0\0", 8) + "not a Vorbis stream";

TEST_F(CrawlMusicTest, ACdThatPlaysLeavesTheFilesAlone)
{
    Put(medium, "Music\\Track02.wav", WaveFile(2, 22050, 22050));
    PlayCrawlMusic(window);
    EXPECT_EQ(mci.messages, (std::vector<UINT>{MCI_OPEN, MCI_SET, MCI_STATUS, MCI_PLAY}));
    EXPECT_EQ(nullptr, g_crawlMusic.Thread) << "no thread for the file";
    EXPECT_TRUE(CanBeRenamed(medium + "Music\\Track02.wav"));
    mci.messages.clear();
    StopCrawlMusic();
    EXPECT_EQ(mci.messages, (std::vector<UINT>{MCI_STOP, MCI_CLOSE}));
}

// Each way the drive fails leads to the file, once the device it opened is closed again;
// the file plays, held open, until the crawl stops it.
TEST_F(CrawlMusicTest, EveryFailureOfTheDriveLeadsToTheFileWhichPlaysUntilTheCrawlStopsIt)
{
    if (!NeedSound())
        return;
    Put(medium, "Music\\Track02.wav", WaveFile(2, 22050, 3 * 22050));
    for (UINT failing : {UINT(MCI_OPEN), UINT(MCI_SET), UINT(MCI_STATUS), UINT(MCI_PLAY)}) {
        SCOPED_TRACE(failing);
        mci = {{}, failing};
        PlayCrawlMusic(window);
        EXPECT_EQ(2, Chosen());
        EXPECT_EQ(failing == MCI_OPEN ? MCI_OPEN : MCI_CLOSE, mci.messages.back()) << "the device closed before the file plays";
        ASSERT_NE(nullptr, g_crawlMusic.Buffer);
        DWORD status = 0;
        g_crawlMusic.Buffer->GetStatus(&status);
        EXPECT_TRUE(status & DSBSTATUS_PLAYING);
        EXPECT_FALSE(CanBeRenamed(medium + "Music\\Track02.wav")) << "held while it plays";
        mci.messages.clear();
        StopCrawlMusic();
        if (failing == MCI_OPEN) {
            EXPECT_EQ(mci.messages, (std::vector<UINT>{})) << "no device was opened";
        }
        EXPECT_EQ(-1, g_crawlMusic.FileIndex);
        EXPECT_EQ(nullptr, g_crawlMusic.Buffer);
        EXPECT_EQ(nullptr, g_crawlMusic.Thread);
        EXPECT_TRUE(CanBeRenamed(medium + "Music\\Track02.wav")) << "released at once";
    }
}

TEST_F(CrawlMusicTest, TheMediumBeforeTheInstallationAndOggThenFlacThenWave)
{
    if (!NeedSound())
        return;
    mci.failOn = MCI_OPEN;
    struct Case {
        const char* Why;
        std::vector<std::pair<bool, const char*>> Files; // on the medium?, name
        bool Installed;
        int Expected;
    };
    const Case cases[] = {
        {"the medium's Ogg first", {{true, "Music\\Track02.wav"}, {true, "Music\\Track02.flac"}, {true, "Music\\Track02.ogg"}, {false, "Music\\Track02.ogg"}}, true, 0},
        {"the medium's FLAC before its Wave", {{true, "Music\\Track02.wav"}, {true, "Music\\Track02.flac"}}, true, 1},
        {"the medium's Wave before the installation's Ogg", {{true, "Music\\Track02.wav"}, {false, "Music\\Track02.ogg"}}, true, 2},
        {"the installation's Ogg", {{false, "Music\\Track02.ogg"}, {false, "Music\\Track02.wav"}}, true, 3},
        {"the installation's FLAC before its Wave", {{false, "Music\\Track02.flac"}, {false, "Music\\Track02.wav"}}, true, 4},
        {"the installation's Wave", {{false, "Music\\Track02.wav"}}, true, 5},
        {"nothing installed: the installation is not looked at", {{false, "Music\\Track02.wav"}}, false, -1},
        {"nothing there", {}, true, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        for (const auto& [onMedium, name] : c.Files) {
            // Ogg and FLAC files stand in as Wave data: the kind is told by the bytes, not the name.
            ASSERT_NO_FATAL_FAILURE(Put(onMedium ? medium : installation, name, WaveFile(1, 8000, 800)));
        }
        g_launcher.Installed = c.Installed;
        PlayCrawlMusic(window);
        EXPECT_EQ(c.Expected, Chosen());
        EXPECT_EQ(c.Expected >= 0, g_crawlMusic.Buffer != nullptr);
        StopCrawlMusic();
        for (const auto& [onMedium, name] : c.Files)
            EXPECT_TRUE(DeleteFileA(((onMedium ? medium : installation) + name).c_str())) << name << ": released";
    }
}

TEST_F(CrawlMusicTest, ADamagedFileGivesWayToTheNextAndNoneMeansSilence)
{
    if (!NeedSound())
        return;
    mci.failOn = MCI_PLAY;
    Put(medium, "Music\\Track02.ogg", kDamaged);
    Put(medium, "Music\\Track02.flac", std::string("fLaC\x80\0\0\x22", 8) + "a stream information block cut short");
    Put(medium, "Music\\Track02.wav", std::string("RIFF\x10\0\0\0WAVEdata", 16));
    Put(installation, "Music\\Track02.ogg", WaveFile(2, 44100, 4410));
    PlayCrawlMusic(window);
    EXPECT_EQ(3, Chosen());
    StopCrawlMusic();
    ASSERT_TRUE(DeleteFileA((installation + "Music\\Track02.ogg").c_str()));
    PlayCrawlMusic(window);
    EXPECT_EQ(-1, Chosen());
    EXPECT_EQ(nullptr, g_crawlMusic.Buffer);
    EXPECT_TRUE(CanBeRenamed(medium + "Music\\Track02.ogg")) << "a file that cannot play is not kept open";
}

// The buffer holds the file's first second as it starts (silence where the cursor has
// passed), then what the file holds next as the cursor moves on; a short file plays once,
// and the thread ends by itself, the file closed, while the crawl goes on.
TEST_F(CrawlMusicTest, TheBufferIsFedFromTheFileAndTheThreadEndsAfterIt)
{
    if (!NeedSound())
        return;
    const std::uint32_t rate = 22050, frames = rate * 3 / 2;
    Put(medium, "Music\\Track02.wav", WaveFile(2, rate, frames));
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
    EXPECT_TRUE(CanBeRenamed(medium + "Music\\Track02.wav")) << "closed after its end";
}

TEST_F(CrawlMusicTest, StopWithoutMusicDoesNothing)
{
    StopCrawlMusic();
    EXPECT_TRUE(mci.messages.empty());
    EXPECT_EQ(-1, g_crawlMusic.FileIndex);
}

// Hostile Ogg pages, a capture pattern every 7 bytes, through which libogg searches for a
// page, its checksum each time; each read waits besides. The crawl's end stops the search
// within a read, with the file closed.
TEST_F(CrawlMusicTest, TheCrawlsEndStopsTheLongestSearchAtOnce)
{
    std::string pattern;
    while (pattern.size() < (1u << 20))
        pattern += std::string("OggS\0\xFF\xFF", 7);
    Put(medium, "Music\\Track02.ogg", pattern);
    mci.failOn = MCI_OPEN;
    g_musicReadPause = 5;
    PlayCrawlMusic(window);
    Sleep(300);
    EXPECT_FALSE(g_crawlMusic.Finished) << "still searching";
    EXPECT_FALSE(CanBeRenamed(medium + "Music\\Track02.ogg")) << "held by the search";
    DWORD start = GetTickCount();
    StopCrawlMusic();
    DWORD took = GetTickCount() - start;
    g_musicReadPause = 0;
    EXPECT_LT(took, 200u) << "milliseconds to stop";
    EXPECT_TRUE(CanBeRenamed(medium + "Music\\Track02.ogg")) << "closed";
    EXPECT_EQ(-1, g_crawlMusic.FileIndex);
}

} // namespace
