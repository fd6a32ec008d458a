#include "crawl/crawl_music_win.h"

#include "crawl/cd_audio_win.h"
#include "launcher/launcher_state.h"

#include <cstring>
#include <new>

CrawlMusic g_crawlMusic;
DWORD g_musicReadPause = 0;

namespace {

constexpr UINT kMusicTrack = 2;

// The ring holds a second. The thread looks at it every few milliseconds and refills it
// once a twentieth of a second has been played, so the file is decoded in pieces of about
// one scroll step, not a few samples at a time.
constexpr DWORD kBufferSeconds = 1;
constexpr DWORD kRefillsPerSecond = 20;
constexpr DWORD kLookMilliseconds = 10;

// Locks a stretch of the ring, which may wrap into a second part; a buffer lost to another
// program's exclusive use of the sound card is restored, started again (a restored buffer
// stands still) and locked again once; what it held is lost, and the thread writes over
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

// Copies bytes of the decoded samples into the ring from offset on, and silence after them
// up to size.
void WriteRing(DWORD offset, DWORD size, DWORD bytes)
{
    void *first = nullptr, *second = nullptr;
    DWORD firstSize = 0, secondSize = 0;
    if (size == 0 || !LockRing(offset, size, first, firstSize, second, secondSize))
        return;
    const char* from = reinterpret_cast<const char*>(g_crawlMusic.Samples);
    DWORD inFirst = bytes < firstSize ? bytes : firstSize;
    std::memcpy(first, from, inFirst);
    std::memset(static_cast<char*>(first) + inFirst, 0, firstSize - inFirst);
    if (second) {
        DWORD inSecond = bytes - inFirst < secondSize ? bytes - inFirst : secondSize;
        std::memcpy(second, from + inFirst, inSecond);
        std::memset(static_cast<char*>(second) + inSecond, 0, secondSize - inSecond);
    }
    g_crawlMusic.Buffer->Unlock(first, firstSize, second, secondSize);
}

// What the play cursor has passed since the last look becomes silence, so that the ring
// never plays it again: when the thread falls behind (a long search through a damaged
// file), the cursor runs on into silence, not into the last second once more. Where it has
// run past everything written, the music goes on where the card reads next. False once it
// has run past the file's last sample: the music is over.
bool KeepRing()
{
    CrawlMusic& m = g_crawlMusic;
    DWORD play = 0, write = 0;
    if (FAILED(m.Buffer->GetCurrentPosition(&play, &write)))
        return true;
    play -= play % m.FrameBytes;
    write -= write % m.FrameBytes;
    const DWORD played = (play + m.BufferBytes - m.PlayOffset) % m.BufferBytes;
    if (played < m.AheadBytes && played < m.BufferBytes / kRefillsPerSecond)
        return true;
    WriteRing(m.PlayOffset, played, 0);
    m.PlayOffset = play;
    if (played < m.AheadBytes) {
        m.AheadBytes -= played;
        return true;
    }
    // Between the play and the write cursor the card has its own copy: that stretch is lost.
    m.WriteOffset = write;
    m.AheadBytes = (write + m.BufferBytes - play) % m.BufferBytes;
    return !m.Ended;
}

// Asked before every piece the decoders read.
bool KeepReading(void*)
{
    if (g_musicReadPause)
        Sleep(g_musicReadPause);
    if (WaitForSingleObject(g_crawlMusic.Stop, 0) != WAIT_TIMEOUT)
        return false;
    if (g_crawlMusic.Buffer)
        KeepRing();
    return true;
}

// Decodes into the room that the cursor has left, once it is a twentieth of a second, and
// copies it in; the cursor may have moved on meanwhile (KeepRing runs between reads), so the
// samples go where the ring then wants them.
void Refill()
{
    CrawlMusic& m = g_crawlMusic;
    DWORD room = m.BufferBytes - m.AheadBytes;
    if (room < m.BufferBytes / kRefillsPerSecond)
        return;
    DWORD frames = room / m.FrameBytes;
    DWORD got = static_cast<DWORD>(ReadMusicFrames(m.Stream, m.Samples, frames));
    if (got < frames)
        m.Ended = true;
    DWORD bytes = got * m.FrameBytes;
    if (bytes > m.BufferBytes - m.AheadBytes)
        bytes = m.BufferBytes - m.AheadBytes;
    if (bytes == 0)
        return;
    WriteRing(m.WriteOffset, bytes, bytes);
    m.WriteOffset = (m.WriteOffset + bytes) % m.BufferBytes;
    m.AheadBytes += bytes;
}

// A secondary buffer in the file's own format; DirectSound converts it for the card. It
// plays on while another window has the focus, as the drive would. It starts with the
// file's first second, and silence after a shorter file.
bool OpenSoundOutput(DWORD firstFrames)
{
    CrawlMusic& m = g_crawlMusic;
    if (FAILED(DirectSoundCreate(nullptr, &m.Sound, nullptr))) {
        m.Sound = nullptr;
        return false;
    }
    // The level's result is not examined: at the normal level sound plays all the same.
    m.Sound->SetCooperativeLevel(m.Window ? m.Window : GetDesktopWindow(), DSSCL_PRIORITY);

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
    IDirectSoundBuffer* buffer = nullptr;
    if (FAILED(m.Sound->CreateSoundBuffer(&desc, &buffer, nullptr)))
        return false;
    m.Buffer = buffer;
    DWORD bytes = firstFrames * m.FrameBytes < m.BufferBytes ? firstFrames * m.FrameBytes : m.BufferBytes;
    WriteRing(0, m.BufferBytes, bytes);
    m.WriteOffset = bytes % m.BufferBytes;
    m.PlayOffset = 0;
    m.AheadBytes = bytes;
    m.Ended = firstFrames < static_cast<DWORD>(m.Stream.Rate);
    return SUCCEEDED(m.Buffer->Play(0, 0, DSBPLAY_LOOPING));
}

// The buffer goes before the object that made it, and both before the file.
void ReleaseMusic()
{
    CrawlMusic& m = g_crawlMusic;
    IDirectSoundBuffer* buffer = m.Buffer;
    m.Buffer = nullptr;
    if (buffer) {
        buffer->Stop();
        buffer->Release();
    }
    if (m.Sound)
        m.Sound->Release();
    m.Sound = nullptr;
    CloseMusicStream(m.Stream);
    delete[] m.Samples;
    m.Samples = nullptr;
    m.FileIndex = -1;
}

// The music's thread: the first file that plays, its first second in the ring, then a
// refill whenever there is room, until the crawl ends or the music is over. Without sound
// output the file is of no use: silence, as without a drive.
DWORD WINAPI PlayMusicFile(void*)
{
    CrawlMusic& m = g_crawlMusic;
    m.Samples = new (std::nothrow) std::int16_t[std::size_t{kMostMusicRate} * 2];
    std::size_t firstFrames = 0;
    int index = m.Samples ? OpenFirstMusicFile(m.Stream, m.Paths, m.Samples, firstFrames, KeepReading, nullptr) : -1;
    if (index >= 0 && OpenSoundOutput(static_cast<DWORD>(firstFrames))) {
        m.FileIndex = index;
        while (WaitForSingleObject(m.Stop, kLookMilliseconds) == WAIT_TIMEOUT && KeepRing()) {
            if (!m.Ended)
                Refill();
        }
    }
    ReleaseMusic();
    InterlockedExchange(&m.Finished, 1);
    return 0;
}

// Tells the music's thread to stop and waits for it: it stops within one read of the file,
// and has then released the sound and closed the file.
void StopMusicFile()
{
    CrawlMusic& m = g_crawlMusic;
    if (m.Thread) {
        SetEvent(m.Stop);
        WaitForSingleObject(m.Thread, INFINITE);
        CloseHandle(m.Thread);
    }
    if (m.Stop)
        CloseHandle(m.Stop);
    m = CrawlMusic{};
}

void StartMusicFile(HWND window)
{
    CrawlMusic& m = g_crawlMusic;
    if (ListMusicFiles(g_launcher.SourceRoot, g_launcher.InstallRoot, g_launcher.Installed, m.Paths) == 0)
        return;
    m.Window = window;
    m.Stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (m.Stop)
        m.Thread = CreateThread(nullptr, 0, PlayMusicFile, nullptr, 0, nullptr);
    if (!m.Thread) {
        StopMusicFile();
        return;
    }
    // Where the processor is short, the crawl goes first; the music then has silence.
    SetThreadPriority(m.Thread, THREAD_PRIORITY_BELOW_NORMAL);
}

} // namespace

void PlayCrawlMusic(HWND window)
{
    StopMusicFile();
    if (PlayCdTrack(window, kMusicTrack) == 0)
        return;
    StartMusicFile(window);
}

// Where the crawl ends, on every path: the drive and the file stop together.
void StopCrawlMusic()
{
    StopCdAudio();
    StopMusicFile();
}
