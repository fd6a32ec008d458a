#include "smacker/smack_sound_win.h"

#include <algorithm>
#include <cstring>

namespace {

// Two seconds of sound: enough for the lead that films send ahead and for the pauses of a
// caller that polls irregularly.
constexpr DWORD kBufferSeconds = 2;

// The cooperative level wants a window; the library has none of its own, so it takes the
// caller's foreground window (the film window while an intro starts) or the desktop.
HWND SoundWindow()
{
    HWND window = GetForegroundWindow();
    return window ? window : GetDesktopWindow();
}

// Writes size bytes at a ring offset, wrapping at the end; data null writes silence.
void WriteRing(SmackSound& s, DWORD offset, const uint8_t* data, DWORD size)
{
    void *first = nullptr, *second = nullptr;
    DWORD firstSize = 0, secondSize = 0;
    HRESULT hr = s.Buffer->Lock(offset, size, &first, &firstSize, &second, &secondSize, 0);
    if (hr == DSERR_BUFFERLOST) {
        s.Buffer->Restore();
        hr = s.Buffer->Lock(offset, size, &first, &firstSize, &second, &secondSize, 0);
    }
    if (FAILED(hr))
        return;
    if (data) {
        std::memcpy(first, data, firstSize);
        if (second)
            std::memcpy(second, data + firstSize, secondSize);
    } else {
        std::memset(first, s.Silence, firstSize);
        if (second)
            std::memset(second, s.Silence, secondSize);
    }
    s.Buffer->Unlock(first, firstSize, second, secondSize);
}

// Follows the play cursor: counts what was played, silences it behind the cursor, and stops
// the buffer when it has played everything queued. Called with the lock held.
void Follow(SmackSound& s)
{
    if (!s.Playing)
        return;
    DWORD cursor = 0, write = 0;
    if (FAILED(s.Buffer->GetCurrentPosition(&cursor, &write)))
        return;
    DWORD moved = (cursor + s.Size - s.LastCursor) % s.Size;
    if (moved > 0) {
        // What was played is silenced, so the buffer plays silence, never old sound.
        WriteRing(s, s.LastCursor, nullptr, moved);
        s.LastCursor = cursor;
    }
    if (moved >= s.Queued - s.Played) {
        // Everything queued has been played: stop until more comes.
        s.Buffer->Stop();
        s.Played = s.Queued;
        s.WriteOffset = cursor;
        s.Playing = false;
        return;
    }
    s.Played += moved;
}

// Playing resumes where the next unplayed byte lies. Called with the lock held.
void Play(SmackSound& s)
{
    if (s.Playing || s.Queued == s.Played)
        return;
    DWORD offset = DWORD((s.WriteOffset + s.Size - DWORD(s.Queued - s.Played)) % s.Size);
    s.Buffer->SetCurrentPosition(offset);
    s.LastCursor = offset;
    if (SUCCEEDED(s.Buffer->Play(0, 0, DSBPLAY_LOOPING)))
        s.Playing = true;
}

// Looks at the cursor 50 times a second: the buffer holds two seconds, so it never runs
// round unseen.
constexpr DWORD kFollowMs = 20;

DWORD WINAPI FollowThread(void* context)
{
    auto* s = static_cast<SmackSound*>(context);
    while (WaitForSingleObject(s->Stop, kFollowMs) == WAIT_TIMEOUT) {
        EnterCriticalSection(&s->Lock);
        Follow(*s);
        LeaveCriticalSection(&s->Lock);
    }
    return 0;
}

} // namespace

bool OpenSmackSound(SmackSound& s, IDirectSound* directSound, uint32_t rate, int channels, int bits)
{
    s = SmackSound{};
    if (directSound) {
        directSound->AddRef();
        s.Device = directSound;
    } else if (FAILED(DirectSoundCreate(nullptr, &s.Device, nullptr))) {
        s.Device = nullptr;
        return false;
    }
    s.Device->SetCooperativeLevel(SoundWindow(), DSSCL_PRIORITY);

    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = WORD(channels);
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = WORD(bits);
    format.nBlockAlign = WORD(channels * bits / 8);
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    s.BlockAlign = format.nBlockAlign;
    s.BytesPerSecond = format.nAvgBytesPerSec;
    s.Size = format.nAvgBytesPerSec * kBufferSeconds;
    s.Silence = bits == 8 ? 0x80 : 0;

    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    // Sound goes on while another window has the focus: the film's clock must not stop.
    desc.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS;
    desc.dwBufferBytes = s.Size;
    desc.lpwfxFormat = &format;
    if (FAILED(s.Device->CreateSoundBuffer(&desc, &s.Buffer, nullptr))) {
        s.Buffer = nullptr;
        CloseSmackSound(s);
        return false;
    }
    WriteRing(s, 0, nullptr, s.Size);
    InitializeCriticalSection(&s.Lock);
    s.Stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    s.Thread = s.Stop ? CreateThread(nullptr, 0, FollowThread, &s, 0, nullptr) : nullptr;
    if (!s.Thread) {
        CloseSmackSound(s);
        return false;
    }
    return true;
}

void CloseSmackSound(SmackSound& s)
{
    if (s.Thread) {
        SetEvent(s.Stop);
        WaitForSingleObject(s.Thread, INFINITE);
        CloseHandle(s.Thread);
    }
    if (s.Stop) {
        CloseHandle(s.Stop);
        DeleteCriticalSection(&s.Lock);
    }
    if (s.Buffer) {
        s.Buffer->Stop();
        s.Buffer->Release();
    }
    if (s.Device)
        s.Device->Release();
    s = SmackSound{};
}

void QueueSmackSound(SmackSound& s, const uint8_t* samples, uint32_t size)
{
    if (!s.Buffer || size == 0)
        return;
    EnterCriticalSection(&s.Lock);
    Follow(s);
    // Keep one block free, so that a full buffer is never mistaken for an empty one.
    uint64_t room = s.Size - s.BlockAlign - (s.Queued - s.Played);
    DWORD n = DWORD(std::min<uint64_t>(size, room));
    n -= n % s.BlockAlign;
    if (n > 0) {
        WriteRing(s, s.WriteOffset, samples, n);
        s.WriteOffset = (s.WriteOffset + n) % s.Size;
        s.Queued += n;
        if (s.Started)
            Play(s);
    }
    LeaveCriticalSection(&s.Lock);
}

void StartSmackSound(SmackSound& s)
{
    if (!s.Buffer)
        return;
    EnterCriticalSection(&s.Lock);
    s.Started = true;
    Play(s);
    LeaveCriticalSection(&s.Lock);
}

bool SmackSoundClock(SmackSound& s, int64_t* clock)
{
    if (!s.Buffer)
        return false;
    EnterCriticalSection(&s.Lock);
    Follow(s);
    bool playing = s.Playing;
    *clock = int64_t(s.Played * 100000 / s.BytesPerSecond);
    LeaveCriticalSection(&s.Lock);
    return playing;
}
