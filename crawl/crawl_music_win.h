// The crawl's music: CD track 2 played by the drive, or, where the drive cannot play it,
// the same track ripped to a file, streamed through a DirectSound buffer that the crawl's
// own loop keeps filled. No thread and no timer: the crawl calls in on every pass.
#pragma once

#include "crawl/music_file.h"

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

struct CrawlMusic {
    MusicStream Stream = {};             // the file playing; Kind None once it has ended
    int FileIndex = -1;                  // of the paths ListMusicFiles gave, once its sound plays; else -1
    IDirectSound* Sound = nullptr;
    IDirectSoundBuffer* Buffer = nullptr; // a ring of a second, looping
    DWORD BufferBytes = 0;               // a whole number of frames
    DWORD FrameBytes = 0;                // 16-bit samples times the channels
    DWORD WriteOffset = 0;               // where the next decoded bytes go; the play cursor chases it
    DWORD SilenceBytes = 0;              // silence written since the file ended
};

extern CrawlMusic g_crawlMusic;

// Starts track 2 on the CD; when it cannot play there, the first of the ripped files that
// plays. Silent, without a message, when neither does.
void PlayCrawlMusic(HWND window);

// Refills what the buffer has played with the next of the file, and stops the buffer once
// the file's last sample has been played. Does nothing while no file plays.
void ServeCrawlMusic();

// Stops the CD and closes its device, and stops and releases the file's sound and the file.
void StopCrawlMusic();
