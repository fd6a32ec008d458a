// Decoder of Smacker films ("SMK2" and "SMK4"): the container, the palettised video codec,
// palette chunks and the audio tracks (PCM and Huffman-coded DPCM). Plain C++, no platform
// headers: the library, the host tools and the tests all decode through this.
//
// A film is opened once; afterwards each record is read (palette and audio first, so that a
// player can show a frame's colours before its picture) and its video is decoded into the
// film's own picture, which persists from frame to frame. Everything a frame needs is
// allocated when the film is opened: decoding never allocates.
//
// Damaged or hostile input never makes the decoder read or write outside a buffer: a file
// that is not a valid film fails to open, a damaged record is dropped (no palette, audio or
// picture change), and damage found in the video bitstream ends that frame's decoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

constexpr int kSmkTracks = 7;
constexpr int kSmkHeaderSize = 104;
constexpr uint32_t kSmkSignature2 = 0x324B4D53; // "SMK2"
constexpr uint32_t kSmkSignature4 = 0x344B4D53; // "SMK4"

// Header flags.
constexpr uint32_t kSmkRingFrame = 0x1;
constexpr uint32_t kSmkYInterlaced = 0x2;
constexpr uint32_t kSmkYDoubled = 0x4;

// Bits of a track descriptor (AudioRate).
constexpr uint32_t kSmkRateMask = 0x00FFFFFF;
constexpr uint32_t kSmkAudioTransformDct = 0x04000000;
constexpr uint32_t kSmkAudioTransformRdft = 0x08000000;
constexpr uint32_t kSmkAudioStereo = 0x10000000;
constexpr uint32_t kSmkAudio16Bit = 0x20000000;
constexpr uint32_t kSmkAudioPresent = 0x40000000;
constexpr uint32_t kSmkAudioCompressed = 0x80000000;

// Blocks covered by a run, by the run index of a TYPE value.
extern const uint16_t kSmkRunLength[64];

// A stored 6-bit palette component as an 8-bit one: its top bits repeat below.
constexpr uint8_t SmkExpand6(int v) { return uint8_t((v << 2) | (v >> 4)); }

// Limits the decoder accepts. Anything larger is refused at open.
constexpr uint32_t kSmkMaxDimension = 32768;
constexpr uint64_t kSmkMaxPixels = 1u << 26;
constexpr uint32_t kSmkMaxRecords = 0xFFFFFF;
constexpr uint32_t kSmkMaxAudioChunk = 1u << 24;

// Bytes readable behind the end of every bitstream buffer, so that the bit reader can
// fetch whole 64-bit words without testing each one against the end.
constexpr size_t kSmkSlack = 64;

// The file header, as stored (all fields little-endian).
struct SmkHeader {
    uint32_t Signature;
    uint32_t Width;
    uint32_t Height;   // stored rows; Y-doubled and Y-interlaced films are shown twice as high
    uint32_t Frames;   // not counting the ring frame
    int32_t FrameRate; // > 0: milliseconds per frame; < 0: -(10 microsecond units); 0: 10 fps
    uint32_t Flags;
    uint32_t AudioSize[kSmkTracks]; // largest decoded chunk of each track, in bytes
    uint32_t TreesSize;
    uint32_t MMapSize;
    uint32_t MClrSize;
    uint32_t FullSize;
    uint32_t TypeSize;
    uint32_t AudioRate[kSmkTracks]; // sample rate and format bits of each track
    uint32_t Dummy;
};
static_assert(sizeof(SmkHeader) == kSmkHeaderSize, "the header is stored as it stands in the file");

// Where a film's bytes come from: Read fills size bytes from offset, or answers false.
struct SmkSource {
    void* Context = nullptr;
    bool (*Read)(void* context, uint64_t offset, void* destination, size_t size) = nullptr;
    uint64_t Size = 0;
};

// A Huffman code as transmitted: the tree's entries in pre-order (an internal entry holds
// the index of its 1-branch, its 0-branch follows it; a leaf holds kSmkLeaf and a payload),
// and a table indexed by the next FastBits bits of the stream that resolves every code of
// at most FastBits bits at once and tells where to go on walking for longer ones.
struct SmkCode {
    uint32_t* Nodes = nullptr;
    uint32_t* Fast = nullptr;
    uint32_t NodeCount = 0;
    int FastBits = 0;
};
constexpr uint32_t kSmkLeaf = 0x80000000;

// A video tree: its code's payloads index Values, whose last three cells are the cache
// (c0, c1, c2) that the marker leaves refer to.
struct SmkBigTree {
    SmkCode Code;
    std::vector<uint32_t> NodeStore, FastStore;
    std::vector<uint16_t> Values;
    uint32_t Cache = 0; // index of c0 in Values
};

enum SmkTreeIndex { kSmkMMap, kSmkMClr, kSmkFull, kSmkType };

struct SmkTrack {
    uint32_t Rate = 0; // samples per second; 0: the film has no such track
    int Channels = 0;
    int Bits = 0;      // 8 (unsigned samples) or 16 (signed, little-endian)
    bool Compressed = false;
    bool TransformCoded = false; // a codec this decoder does not know: its chunks are skipped
    bool Wanted = false;
    std::unique_ptr<uint8_t[]> Samples; // decoded bytes of the current record
    uint32_t Capacity = 0;
    uint32_t Length = 0;
};

// Scratch space for the four byte trees of one compressed audio chunk.
struct SmkAudioTrees {
    uint32_t Nodes[4][511];
    uint32_t Fast[4][1 << 12];
    SmkCode Code[4];
};

enum class SmkRead {
    Ready,     // palette and audio applied; the video is ready for SmkDecodeVideo
    NoPicture, // palette and audio applied, but the record has no video data
    Dropped,   // the record is damaged: nothing of it was applied
    Failed,    // the record could not be read from the source
};

struct SmkFilm {
    SmkHeader Header{};
    bool Smk4 = false;
    uint32_t Records = 0; // Frames, plus one when there is a ring frame
    std::vector<uint32_t> RecordSize;
    std::vector<uint8_t> RecordType;
    std::vector<uint64_t> RecordOffset;
    SmkBigTree Trees[4];

    std::vector<uint8_t> Picture; // Width x Height palette indices, rows Width bytes apart
    uint8_t Palette[768] = {};    // 8-bit red, green, blue of each entry
    SmkTrack Tracks[kSmkTracks];

    // The record read last, followed by kSmkSlack zero bytes.
    std::unique_ptr<uint8_t[]> Record;
    uint32_t RecordCapacity = 0;
    uint32_t RecordNumber = 0;
    uint32_t VideoOffset = 0;
    uint32_t VideoLength = 0;
    bool VideoPending = false;

    std::unique_ptr<SmkAudioTrees> Audio;
    SmkSource Source;
    std::FILE* File = nullptr; // owned when the film was opened from a file
    const uint8_t* MemoryData = nullptr; // the caller's bytes, for a film opened from memory
    size_t MemorySize = 0;

    SmkFilm() = default;
    SmkFilm(const SmkFilm&) = delete;
    SmkFilm& operator=(const SmkFilm&) = delete;
    ~SmkFilm();
};

// Opens a film. trackMask selects the audio tracks to decode (bit k: track k). False when
// the data is not a film this decoder can play; the film is then closed.
bool SmkOpen(SmkFilm& film, const SmkSource& source, uint32_t trackMask);
bool SmkOpenFile(SmkFilm& film, const char* path, uint32_t trackMask);
bool SmkOpenMemory(SmkFilm& film, const uint8_t* data, size_t size, uint32_t trackMask);
void SmkClose(SmkFilm& film);

// Reads record number `record` (0 .. Records-1): applies its palette chunk and decodes the
// audio chunks of the wanted tracks into their Samples.
SmkRead SmkReadRecord(SmkFilm& film, uint32_t record);

// Decodes the video of the record read last into Picture, once. False when there was none
// to decode, or when the bitstream was damaged (the blocks before the damage stay drawn).
bool SmkDecodeVideo(SmkFilm& film);

// Applies the commands of a palette chunk (the bytes after its length byte) to a palette of
// 256 8-bit (red, green, blue) entries. A chunk whose commands reach past its end or copy
// from beyond entry 255 is refused, and the palette left as it was.
bool SmkApplyPalette(uint8_t* palette, const uint8_t* commands, uint32_t size);

// Reads and decodes one record: true when it produced a picture.
bool SmkDecodeFrame(SmkFilm& film, uint32_t record);

// The duration of one frame in units of 10 microseconds.
int64_t SmkFrameDuration(int32_t frameRate);

// Rows of the picture as shown: twice the stored rows for Y-doubled and Y-interlaced films.
uint32_t SmkDisplayHeight(const SmkHeader& header);

// Pixel formats of a destination buffer (the blit flags of the display).
constexpr uint32_t kSmkBlit8Bit = 0;
constexpr uint32_t kSmkBlit565 = 0xC0000000;
constexpr uint32_t kSmkBlit555 = 0x80000000;
constexpr uint32_t kSmkBlit556 = 0xA0000000;
constexpr uint32_t kSmkBlit655 = 0xE0000000;

// A destination buffer: its top-left pixel, the distance between its rows in bytes (negative
// for bottom-up buffers), and the rows and columns it has from that pixel on.
struct SmkTarget {
    uint8_t* Pixels = nullptr;
    std::ptrdiff_t Pitch = 0;
    uint32_t Rows = 0;
    uint32_t Columns = UINT32_MAX;
    uint32_t BlitFlags = kSmkBlit8Bit;
};

// Copies the picture as shown (rows doubled or interlaced as the film asks) into target:
// 8-bit indices, or 16-bit colours through the palette for the 16-bit blit flags. Rows and
// columns beyond the target's are cut off.
void SmkBlit(const SmkFilm& film, const SmkTarget& target);
