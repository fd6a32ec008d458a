// The film's sound: one track streamed through a DirectSound buffer. The film library
// queues each frame's samples as it reads the frame; a small thread of the sound's own
// follows the play cursor and silences what was played, so that the buffer never repeats
// old sound when its caller stops polling (as the intro does during the credits). The
// position played also serves as the film's clock while sound plays.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <cstdint>

struct SmackSound {
    IDirectSound* Device = nullptr;
    IDirectSoundBuffer* Buffer = nullptr;
    DWORD Size = 0;           // bytes in the ring buffer
    DWORD BytesPerSecond = 0;
    DWORD BlockAlign = 0;
    uint8_t Silence = 0;      // 0x80 for 8-bit sound, 0 for 16-bit
    DWORD WriteOffset = 0;    // where the next queued byte goes
    DWORD LastCursor = 0;     // the play cursor at the last look
    uint64_t Queued = 0;      // bytes of sound queued since the start
    uint64_t Played = 0;      // of those, bytes played
    bool Started = false;     // the film wants sound to run
    bool Playing = false;     // the buffer is running
    CRITICAL_SECTION Lock;    // the fields above, between the caller and the thread
    HANDLE Thread = nullptr;
    HANDLE Stop = nullptr;    // set to end the thread
};

// Prepares sound of the given format. directSound is the caller's object or null for one
// of our own. False (and nothing held) when there is no sound device.
bool OpenSmackSound(SmackSound& sound, IDirectSound* directSound, uint32_t rate, int channels, int bits);
void CloseSmackSound(SmackSound& sound);

// Adds decoded samples behind those queued before; what does not fit into the buffer is
// dropped.
void QueueSmackSound(SmackSound& sound, const uint8_t* samples, uint32_t size);

// Starts playing (with the first frame on the screen).
void StartSmackSound(SmackSound& sound);

// When sound is playing: true, and the position of the sound played so far, in units of
// 10 microseconds.
bool SmackSoundClock(SmackSound& sound, int64_t* clock);
