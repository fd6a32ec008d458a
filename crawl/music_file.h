// The crawl's music as a file: track 2 ripped from the CD, for machines where the drive
// cannot play it. The file is read a little at a time while the crawl runs, never decoded
// whole, so a long file costs no more memory than a short one. Ogg Vorbis and FLAC are
// decoded by their reference libraries (libvorbisfile, libFLAC); Wave is read here.
// A stream is used by one thread at a time: the music's own, in the program.
#pragma once

#include "launcher/launcher_state.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iterator>

// Where a ripped track is looked for, in this order: the medium, then the installation;
// in each, the names in this order.
constexpr const char* kMusicFileNames[] = {"Music\\Track02.ogg", "Music\\Track02.flac", "Music\\Track02.wav"};
constexpr int kMusicFileCount = 2 * static_cast<int>(std::size(kMusicFileNames));

struct MusicFilePaths {
    char Path[kMusicFileCount][kPathSize];
    int Count;
};

// Fills in the paths to try, in order; a path that would not fit into its buffer is left
// out. Returns the count.
int ListMusicFiles(const char* sourceRoot, const char* installRoot, bool installed, MusicFilePaths& paths);

// The highest rate that plays, and so the most frames of a second of music.
constexpr int kMostMusicRate = 96000;

// The decoders read the file in pieces of at most this many bytes, and before each piece
// ask the stream's check, when it has one: false ends the reading there, as the file's end
// would. A stop is so honoured within one piece even in the libraries' longest searches
// through a damaged file, and the caller may see to other things meanwhile.
constexpr std::size_t kMusicReadPiece = 4096;
using MusicReadCheck = bool (*)(void* context);

// Everything is handed out as signed 16-bit samples, interleaved, in one or two channels.
enum class MusicKind { None, Wave, Vorbis, Flac };

// The Vorbis or FLAC library's state, and what it decoded that has not been handed out yet.
struct MusicDecoder;

struct MusicStream {
    MusicKind Kind;               // None once the music has ended
    std::FILE* File;
    int Channels;                 // of the samples handed out: 1 or 2
    int Rate;                     // frames per second
    // Wave: the PCM data's layout and what is left of it in the file.
    int WaveBits;                 // 8 (unsigned) or 16 (signed, little-endian)
    std::uint64_t WaveBytesLeft;  // of the data chunk, never more than the file holds
    MusicDecoder* Decoder;        // Vorbis and FLAC
    MusicReadCheck Check;         // null: reads on to the end
    void* CheckContext;
};

// Opens a Wave (PCM, 8 or 16 bits), Ogg Vorbis or FLAC (16 or 24 bits, also behind an ID3v2
// tag) file of one or two channels at 8 to 96 kHz, told apart by its first bytes. False,
// with nothing held, for a file that is missing, damaged or in a form that cannot be played.
bool OpenMusicStream(MusicStream& stream, const char* path, MusicReadCheck check = nullptr, void* context = nullptr);

// Reads up to frames frames into samples (frames x Channels values). Returns the frames
// read; fewer than asked only at the end of the music (its file's end, damage that the
// decoder cannot get past, a check that said stop, a change of rate), and 0 from then on.
// Frames of another channel count or sample width later in the file come in the stream's.
std::size_t ReadMusicFrames(MusicStream& stream, std::int16_t* samples, std::size_t frames);

// Safe on a stream that was never opened or has been closed.
void CloseMusicStream(MusicStream& stream);

// Opens the first of the paths that plays: one that opens and yields samples in its first
// second, which are read into first (room for a second at kMostMusicRate, two channels)
// and counted in firstFrames. Returns its index, or -1 with nothing held.
int OpenFirstMusicFile(MusicStream& stream, const MusicFilePaths& paths, std::int16_t* first, std::size_t& firstFrames,
                       MusicReadCheck check = nullptr, void* context = nullptr);
