#include "crawl/crawl_music_win.h"

#include "crawl/cd_audio_win.h"
#include "launcher/launcher_state.h"

#include <cstring>

CrawlMusic g_crawlMusic;

namespace {

constexpr UINT kMusicTrack = 2;

// The crawl calls in twenty times a second at the least (after every frame), mostly every
// few milliseconds; a second of sound outlasts any pause between its calls. A refill
// waits until a twentieth of a second has been played, so the file is decoded in pieces of
// one scroll step, not a few samples at a time.
constexpr DWORD kBufferSeconds = 1;
constexpr DWORD kRefillsPerSecond = 20;

// Locks a stretch of the ring, which may wrap into a second part; a buffer lost to another
// program's exclusive use of the sound card is restored, started again (a restored buffer
// stands still) and locked again once; what it held is lost, and the refills write over
// it as the cursor moves on.
bool LockRing(DWORD offset, DWORD size, void*& first, DWORD& firstSize, void*& second, DWORD& secondSize)
{
    IDirectSoundBuffer* buffer = g_crawlMusic.Buffer;
    HRESULT hr = buffer->Lock(offset, size, &first, &firstSize, &second, &secondSize, 0);
    if (hr == DSERR_BUFFERLOST && SUCCEEDED(buffer->Restore())) {
        buffer->Play(0, 0, DSBPLAY_LOOPING);
        hr = buffer->Lock(offset, size, &first, &firstSize, &second, &secondSize, 0);
    }
    return SUCCEEDED(hr);
}

// Decodes into one locked part; what the file no longer fills becomes silence.
void FillPart(void* part, DWORD size)
{
    CrawlMusic& m = g_crawlMusic;
    DWORD frames = size / m.FrameBytes;
    DWORD decoded = static_cast<DWORD>(ReadMusicFrames(m.Stream, static_cast<std::int16_t*>(part), frames));
    DWORD bytes = decoded * m.FrameBytes;
    std::memset(static_cast<char*>(part) + bytes, 0, size - bytes);
    if (decoded < frames)
        m.SilenceBytes += size - bytes;
}

void FillRing(DWORD size)
{
    CrawlMusic& m = g_crawlMusic;
    void *first = nullptr, *second = nullptr;
    DWORD firstSize = 0, secondSize = 0;
    if (!LockRing(m.WriteOffset, size, first, firstSize, second, secondSize))
        return;
    FillPart(first, firstSize);
    if (second)
        FillPart(second, secondSize);
    m.Buffer->Unlock(first, firstSize, second, secondSize);
    m.WriteOffset = (m.WriteOffset + firstSize + secondSize) % m.BufferBytes;
}

// A secondary buffer in the file's own format; DirectSound converts it for the card. It
// plays on while another window has the focus, as the drive would.
bool OpenSoundOutput(HWND window)
{
    CrawlMusic& m = g_crawlMusic;
    if (FAILED(DirectSoundCreate(nullptr, &m.Sound, nullptr))) {
        m.Sound = nullptr;
        return false;
    }
    // The level's result is not examined: at the normal level sound plays all the same.
    m.Sound->SetCooperativeLevel(window ? window : GetDesktopWindow(), DSSCL_PRIORITY);

    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(m.Stream.Channels);
    format.nSamplesPerSec = static_cast<DWORD>(m.Stream.Rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(format.nChannels * 2);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    m.FrameBytes = format.nBlockAlign;
    m.BufferBytes = format.nAvgBytesPerSec * kBufferSeconds;

    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS;
    desc.dwBufferBytes = m.BufferBytes;
    desc.lpwfxFormat = &format;
    if (FAILED(m.Sound->CreateSoundBuffer(&desc, &m.Buffer, nullptr))) {
        m.Buffer = nullptr;
        return false;
    }
    m.WriteOffset = 0;
    m.SilenceBytes = 0;
    FillRing(m.BufferBytes);
    return SUCCEEDED(m.Buffer->Play(0, 0, DSBPLAY_LOOPING));
}

// The buffer goes before the object that made it, and both before the file.
void StopMusicFile()
{
    CrawlMusic& m = g_crawlMusic;
    if (m.Buffer) {
        m.Buffer->Stop();
        m.Buffer->Release();
    }
    if (m.Sound)
        m.Sound->Release();
    CloseMusicStream(m.Stream);
    m = CrawlMusic{};
}

void PlayMusicFile(HWND window)
{
    MusicFilePaths paths;
    ListMusicFiles(g_launcher.SourceRoot, g_launcher.InstallRoot, g_launcher.Installed, paths);
    int index = OpenFirstMusicFile(g_crawlMusic.Stream, paths);
    if (index < 0)
        return;
    // Without sound output the file is of no use: silence, as without a drive.
    if (!OpenSoundOutput(window)) {
        StopMusicFile();
        return;
    }
    g_crawlMusic.FileIndex = index;
}

} // namespace

void PlayCrawlMusic(HWND window)
{
    StopMusicFile();
    if (PlayCdTrack(window, kMusicTrack) == 0)
        return;
    PlayMusicFile(window);
}

// Only what the play cursor has left behind is written; the stretch between the play and
// the write cursor belongs to the card. Once a whole buffer of silence has gone in after
// the file's end, everything of the file has been heard and the buffer stops: the music
// plays once, and a longer crawl goes on in silence.
void ServeCrawlMusic()
{
    CrawlMusic& m = g_crawlMusic;
    if (!m.Buffer || m.SilenceBytes >= m.BufferBytes)
        return;
    DWORD play = 0, write = 0;
    if (FAILED(m.Buffer->GetCurrentPosition(&play, &write)))
        return;
    DWORD played = (play + m.BufferBytes - m.WriteOffset) % m.BufferBytes;
    played -= played % m.FrameBytes;
    if (played < m.BufferBytes / kRefillsPerSecond)
        return;
    FillRing(played);
    if (m.SilenceBytes >= m.BufferBytes)
        m.Buffer->Stop();
}

// Where the crawl ends, on every path: the drive and the file stop together.
void StopCrawlMusic()
{
    StopCdAudio();
    StopMusicFile();
}
