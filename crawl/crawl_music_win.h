// The crawl's music: CD track 2 played by the drive, or, where the drive cannot play it,
// the same track ripped to a file, which a thread of the music's own decodes into a
// DirectSound buffer. The crawl's loop never waits for the file: the thread opens it, plays
// it and ends when told to or when the music is over.
#pragma once

#include "crawl/music_file.h"

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

struct CrawlMusic {
    // Shared by the window's thread and the music's thread: nothing else is.
    HANDLE Thread = nullptr;             // the music's thread, until StopCrawlMusic has joined it
    HANDLE Stop = nullptr;               // event set when the crawl ends; the thread ends within a read
    volatile LONG Finished = 0;          // set by the thread as its last act, with everything released
    IDirectSoundBuffer* Buffer = nullptr; // the ring: a second of sound, looping, while the file plays
    // Given to the thread as it starts.
    HWND Window = nullptr;               // DirectSound's cooperative level is set for it
    MusicFilePaths Paths = {};           // the files to try, in order
    // The thread's own from its start to its end.
    MusicStream Stream = {};             // the file playing
    int FileIndex = -1;                  // of Paths, once its sound plays; else -1
    IDirectSound* Sound = nullptr;
    DWORD BufferBytes = 0;               // a whole number of frames
    DWORD FrameBytes = 0;                // 16-bit samples times the channels
    DWORD WriteOffset = 0;               // where the next decoded bytes go
    DWORD PlayOffset = 0;                // the play cursor when last looked at
    DWORD AheadBytes = 0;                // from PlayOffset to WriteOffset: written, not yet played
    bool Ended = false;                  // the file has given its last sample
    std::int16_t* Samples = nullptr;     // decoded, on their way into the ring: room for a second
};

extern CrawlMusic g_crawlMusic;

// Tests: milliseconds that each read of the music file waits first, as a slow drive or the
// decoders' longest search through damage would take.
extern DWORD g_musicReadPause;

// Starts track 2 on the CD; when it cannot play there, the music's thread, which plays the
// first of the ripped files that plays. Silent, without a message, when neither does.
void PlayCrawlMusic(HWND window);

// Stops the CD and closes its device; stops the music's thread and waits for it, which
// releases the sound and closes the file.
void StopCrawlMusic();
