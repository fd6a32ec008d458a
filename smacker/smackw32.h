// The film library "smackw32.dll" as its callers see it: the film record and the seven
// operations, which the import library names by ordinal only (smackw32.def).
//
// A caller plays a film like this:
//
//   SmackSoundUseDirectSound(0);                  // before opening: sound through DirectSound
//   SmackFilm* film = SmackOpen(path, kSmackAllTracks, kSmackAutoExtraBuffer);
//   while (playing) {
//       if (SmackWait(film)) continue;            // the next frame is not due yet
//       if (film->NewPalette) { ...use film->Palette... }
//       SmackToBuffer(film, 0, 0, pitch, rows, pixels, blitFlags);
//       SmackDoFrame(film);                       // draws frame film->CurrentFrame
//       if (film->CurrentFrame == film->Frames - 1) break;
//       SmackNextFrame(film);
//   }
//   SmackClose(film);
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define SMACK_CALL __stdcall
#else
#define SMACK_CALL
#endif
// Callers import the operations (the library itself defines them).
#if defined(_WIN32) && !defined(SMACKW32_BUILD)
#define SMACK_IMPORT __declspec(dllimport)
#else
#define SMACK_IMPORT
#endif

// The film record that SmackOpen returns. The first 104 bytes repeat the film's header
// (except Height, which counts the rows as shown); the fields after it change as the film
// plays. Callers read it and never write it.
struct SmackFilm {
    uint32_t Signature;
    uint32_t Width;        // pixels
    uint32_t Height;       // rows as shown: twice the stored rows for Y-doubled and -interlaced films
    uint32_t Frames;       // frames of the film (at least 1), not counting a ring frame
    int32_t FrameRate;     // > 0: milliseconds a frame; < 0: tens of microseconds; 0: 10 a second
    uint32_t Flags;        // ring frame 1, Y-interlaced 2, Y-doubled 4
    uint32_t AudioSize[7]; // largest decoded sound chunk of each track, in bytes
    uint32_t TreesSize;
    uint32_t TreeSize[4];
    uint32_t AudioRate[7]; // sample rate (low 24 bits) and format of each track
    uint32_t Reserved;
    uint32_t NewPalette;   // non-zero when the current frame brings new colours
    uint8_t Palette[768];  // red, green, blue of each entry, 8 bits each, for the current frame
    uint32_t FrameType;    // the current frame's record type: 1 palette, 2 << k sound of track k
    uint32_t SoundTrack;   // the track that is played (0..6), or 0xFFFFFFFF for none
    uint32_t CurrentFrame; // the frame SmackDoFrame draws next, counted from 0
    void* Library;         // the library's own state
};

static_assert(offsetof(SmackFilm, Height) == 8, "the launcher reads the height at 8");
static_assert(offsetof(SmackFilm, Frames) == 12, "the launcher reads the frame count at 12");
static_assert(offsetof(SmackFilm, NewPalette) == 104, "the launcher reads the new-palette flag at 104");
static_assert(offsetof(SmackFilm, Palette) == 108, "the launcher reads the palette at 108");
static_assert(offsetof(SmackFilm, CurrentFrame) == 884, "the launcher reads the current frame at 884");
// The library's pointer ends the record: 892 bytes in a 32-bit build; an x86-64 build keeps
// every offset above and only widens the pointer.
static_assert(offsetof(SmackFilm, Library) == 888, "the library's state follows the current frame");
static_assert(sizeof(SmackFilm) == 888 + sizeof(void*), "nothing after the library's state");

// SmackOpen flags: the sound tracks to load, bit 13 + k for track k.
constexpr uint32_t kSmackTrack0 = 0x2000;
constexpr uint32_t kSmackAllTracks = 0xFE000;
// SmackOpen's extra buffer: the library chooses.
constexpr uint32_t kSmackAutoExtraBuffer = 0xFFFFFFFF;

// SmackToBuffer blit flags: the destination's pixel format.
constexpr uint32_t kSmackBlit8Bit = 0;          // palette indices
constexpr uint32_t kSmackBlit565 = 0xC0000000;  // 16 bits: red 5, green 6, blue 5
constexpr uint32_t kSmackBlit555 = 0x80000000;  // red 5, green 5, blue 5
constexpr uint32_t kSmackBlit556 = 0xA0000000;  // red 5, green 5, blue 6
constexpr uint32_t kSmackBlit655 = 0xE0000000;  // red 6, green 5, blue 5

extern "C" {

// Ordinal 38. Chooses DirectSound for the sound of films opened afterwards. directSound is
// the caller's IDirectSound object, or null to let the library make its own when a film
// with sound opens. Without a sound device, films play silently at the same pace.
// Returns 1.
SMACK_IMPORT uint32_t SMACK_CALL SmackSoundUseDirectSound(void* directSound);

// Ordinal 14. Opens the film file at path (ANSI). flags selects the sound tracks to load
// (kSmackAllTracks: all); extraBuffer is accepted for compatibility and ignored (the
// library sizes its buffers itself). Afterwards the record describes frame 0: its
// palette is ready before the frame is drawn. Returns null when the file cannot be opened
// or is not a film.
SMACK_IMPORT SmackFilm* SMACK_CALL SmackOpen(const char* path, uint32_t flags, uint32_t extraBuffer);

// Ordinal 32. Non-zero while the current frame is not yet due, 0 when it is. The film's
// clock starts when frame 0 is drawn and follows the frame rate; while sound plays, frames
// also wait for the sound. After a hold-up (the caller stopped drawing) the film goes on
// at its pace from where it stood rather than hurrying to catch up. Never blocks.
SMACK_IMPORT uint32_t SMACK_CALL SmackWait(SmackFilm* film);

// Ordinal 23. Where SmackDoFrame draws: the pixel at (left, top) of a buffer whose rows are
// pitch bytes apart and which has destinationHeight rows; blitFlags gives its pixel format.
// What does not fit into the buffer's rows, or into a positive pitch, is cut off.
SMACK_IMPORT void SMACK_CALL SmackToBuffer(SmackFilm* film, uint32_t left, uint32_t top, int32_t pitch,
                                           uint32_t destinationHeight, void* buffer, uint32_t blitFlags);

// Ordinal 19. Decodes the current frame (once, however often it is called) and draws it
// into the buffer of SmackToBuffer. CurrentFrame still names this frame afterwards.
// Returns 0.
SMACK_IMPORT uint32_t SMACK_CALL SmackDoFrame(SmackFilm* film);

// Ordinal 21. Moves on to the next frame: reads it, so that NewPalette and Palette describe
// it, and queues its sound. After the last frame the film starts again at frame 0.
SMACK_IMPORT void SMACK_CALL SmackNextFrame(SmackFilm* film);

// Ordinal 18. Stops the sound and frees the film; null is ignored.
SMACK_IMPORT void SMACK_CALL SmackClose(SmackFilm* film);
}
