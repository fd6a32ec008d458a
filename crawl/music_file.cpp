#include "crawl/music_file.h"

#include "crawl/vorbis_decoder.h"
#include "crawl/vorbis_headers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {

// Rates that a sound card of any age plays (DirectSound takes 100 to 100,000 Hz).
constexpr std::uint32_t kLowestRate = 8000, kHighestRate = 96000;

// The Vorbis decoder's whole memory. A track encoded by the usual tools needs 150 to 250
// KiB for its codebooks and a frame, plus its comments (cover art among them, at times);
// a file that needs more than this is not played.
constexpr int kVorbisArenaBytes = 4 << 20;

// A hostile Wave file may hold any number of chunks before its data; real ones hold a few.
constexpr int kMostWaveChunks = 64;

constexpr std::uint16_t kWavePcm = 1, kWaveExtensible = 0xFFFE;
// The tail of the extensible format's PCM sub-format GUID, after its first two bytes (1, 0).
constexpr unsigned char kPcmGuidTail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};

std::uint16_t Little16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t Little32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool ReadExactly(std::FILE* file, void* bytes, std::size_t size)
{
    return std::fread(bytes, 1, size, file) == size;
}

// Chunks may declare up to 4 GiB, more than fseek's long holds on Windows: skipped in steps.
// Skipping past the end is no error here; the next read fails instead.
bool SkipBytes(std::FILE* file, std::uint64_t count)
{
    constexpr std::uint64_t kStep = 1u << 30;
    while (count > 0) {
        std::uint64_t step = std::min(count, kStep);
        if (std::fseek(file, static_cast<long>(step), SEEK_CUR) != 0)
            return false;
        count -= step;
    }
    return true;
}

bool AppendPath(char* out, const char* root, const char* name)
{
    std::size_t rootLength = std::strlen(root), nameLength = std::strlen(name);
    if (rootLength + nameLength >= static_cast<std::size_t>(kPathSize))
        return false;
    std::memcpy(out, root, rootLength);
    std::memcpy(out + rootLength, name, nameLength + 1);
    return true;
}

// The format chunk: plain or extensible PCM, one or two channels of 8 or 16 bits. The
// block alignment is not taken from the file; it follows from channels and bits.
bool ReadWaveFormat(MusicStream& stream, std::uint32_t size)
{
    unsigned char format[40] = {};
    if (size < 16)
        return false;
    std::uint32_t kept = std::min<std::uint32_t>(size, sizeof format);
    if (!ReadExactly(stream.File, format, kept) || !SkipBytes(stream.File, size - kept + (size & 1)))
        return false;
    std::uint16_t tag = Little16(format);
    if (tag == kWaveExtensible) {
        if (kept < 40 || Little16(format + 24) != kWavePcm || std::memcmp(format + 26, kPcmGuidTail, sizeof kPcmGuidTail) != 0)
            return false;
    } else if (tag != kWavePcm) {
        return false;
    }
    std::uint16_t channels = Little16(format + 2), bits = Little16(format + 14);
    std::uint32_t rate = Little32(format + 4);
    if (channels < 1 || channels > 2 || (bits != 8 && bits != 16) || rate < kLowestRate || rate > kHighestRate)
        return false;
    stream.Channels = channels;
    stream.Rate = static_cast<int>(rate);
    stream.WaveBits = bits;
    return true;
}

// Walks the chunks up to the data, which must come after the format. The data chunk's
// declared size may exceed the file; reading then simply ends where the file does.
bool OpenWave(MusicStream& stream)
{
    unsigned char header[12];
    if (!ReadExactly(stream.File, header, sizeof header) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0)
        return false;
    bool haveFormat = false;
    for (int chunk = 0; chunk < kMostWaveChunks; ++chunk) {
        unsigned char head[8];
        if (!ReadExactly(stream.File, head, sizeof head))
            return false;
        std::uint32_t size = Little32(head + 4);
        if (std::memcmp(head, "fmt ", 4) == 0) {
            if (haveFormat || !ReadWaveFormat(stream, size))
                return false;
            haveFormat = true;
        } else if (std::memcmp(head, "data", 4) == 0) {
            if (!haveFormat)
                return false;
            stream.WaveBytesLeft = size;
            stream.Kind = MusicKind::Wave;
            return true;
        } else if (!SkipBytes(stream.File, static_cast<std::uint64_t>(size) + (size & 1))) {
            return false;
        }
    }
    return false;
}

bool OpenVorbis(MusicStream& stream)
{
    if (!VorbisHeadersAreSafe(stream.File) || std::fseek(stream.File, 0, SEEK_SET) != 0)
        return false;
    stream.VorbisArena = new (std::nothrow) unsigned char[kVorbisArenaBytes];
    if (!stream.VorbisArena)
        return false;
    stb_vorbis_alloc arena = {reinterpret_cast<char*>(stream.VorbisArena), kVorbisArenaBytes};
    int error = 0;
    stream.Vorbis = stb_vorbis_open_file(stream.File, 0, &error, &arena);
    if (!stream.Vorbis)
        return false;
    stb_vorbis_info info = stb_vorbis_get_info(stream.Vorbis);
    // A track of an audio CD has two channels; a file of more is no ripped track.
    if (info.channels < 1 || info.channels > 2 || info.sample_rate < kLowestRate || info.sample_rate > kHighestRate)
        return false;
    stream.Channels = info.channels;
    stream.Rate = static_cast<int>(info.sample_rate);
    stream.Kind = MusicKind::Vorbis;
    return true;
}

std::size_t ReadWaveFrames(MusicStream& stream, std::int16_t* samples, std::size_t frames)
{
    const std::size_t frameBytes = static_cast<std::size_t>(stream.Channels) * (stream.WaveBits / 8);
    unsigned char raw[4096];
    std::size_t done = 0;
    while (done < frames && stream.WaveBytesLeft >= frameBytes) {
        std::size_t want = std::min<std::uint64_t>({(frames - done) * frameBytes, stream.WaveBytesLeft, sizeof raw});
        want -= want % frameBytes;
        std::size_t got = std::fread(raw, 1, want, stream.File);
        std::size_t gotFrames = got / frameBytes;
        std::int16_t* out = samples + done * stream.Channels;
        std::size_t values = gotFrames * stream.Channels;
        if (stream.WaveBits == 8) {
            for (std::size_t i = 0; i < values; ++i)
                out[i] = static_cast<std::int16_t>((raw[i] - 128) * 256);
        } else {
            for (std::size_t i = 0; i < values; ++i)
                out[i] = static_cast<std::int16_t>(Little16(raw + 2 * i));
        }
        done += gotFrames;
        stream.WaveBytesLeft -= got;
        if (got < want)
            stream.WaveBytesLeft = 0; // the file ends before its data chunk says
    }
    return done;
}

// A float sample as a 16-bit one, rounded to the nearest and held within range. The
// decoder's own conversion overflows an int on the wild values of a damaged stream; this
// one takes anything, not-a-number included (as silence).
std::int16_t SampleFromFloat(float value)
{
    float scaled = value * 32768.0f;
    if (!(scaled > -32768.0f))
        return scaled == scaled ? -32768 : 0;
    if (scaled >= 32767.0f)
        return 32767;
    return static_cast<std::int16_t>(std::lrint(scaled));
}

std::size_t ReadVorbisFrames(MusicStream& stream, std::int16_t* samples, std::size_t frames)
{
    constexpr std::size_t kPieceFrames = 1024;
    float piece[kPieceFrames * 2];
    std::size_t done = 0;
    while (done < frames) {
        std::size_t want = std::min(frames - done, kPieceFrames);
        int got = stb_vorbis_get_samples_float_interleaved(stream.Vorbis, stream.Channels, piece,
                                                           static_cast<int>(want * stream.Channels));
        if (got <= 0)
            break;
        std::size_t values = static_cast<std::size_t>(got) * stream.Channels;
        std::int16_t* out = samples + done * stream.Channels;
        for (std::size_t i = 0; i < values; ++i)
            out[i] = SampleFromFloat(piece[i]);
        done += static_cast<std::size_t>(got);
        if (static_cast<std::size_t>(got) < want)
            break;
    }
    if (done == 0)
        stream.Kind = MusicKind::None; // ended: stays ended, the decoder is not asked again
    return done;
}

} // namespace

int ListMusicFiles(const char* sourceRoot, const char* installRoot, bool installed, MusicFilePaths& paths)
{
    paths.Count = 0;
    const char* roots[2] = {sourceRoot, installed ? installRoot : nullptr};
    for (const char* root : roots) {
        if (!root)
            continue;
        for (const char* name : kMusicFileNames) {
            if (AppendPath(paths.Path[paths.Count], root, name))
                ++paths.Count;
        }
    }
    return paths.Count;
}

bool OpenMusicStream(MusicStream& stream, const char* path)
{
    stream = MusicStream{};
    stream.File = std::fopen(path, "rb");
    if (!stream.File)
        return false;
    unsigned char magic[4];
    bool opened = false;
    if (ReadExactly(stream.File, magic, sizeof magic) && std::fseek(stream.File, 0, SEEK_SET) == 0) {
        if (std::memcmp(magic, "RIFF", 4) == 0)
            opened = OpenWave(stream);
        else if (std::memcmp(magic, "OggS", 4) == 0)
            opened = OpenVorbis(stream);
    }
    if (!opened) {
        CloseMusicStream(stream);
        return false;
    }
    return true;
}

std::size_t ReadMusicFrames(MusicStream& stream, std::int16_t* samples, std::size_t frames)
{
    switch (stream.Kind) {
    case MusicKind::Wave:
        return ReadWaveFrames(stream, samples, frames);
    case MusicKind::Vorbis:
        return ReadVorbisFrames(stream, samples, frames);
    case MusicKind::None:
        break;
    }
    return 0;
}

// The decoder goes before the arena it lives in, and both before the file it reads.
void CloseMusicStream(MusicStream& stream)
{
    if (stream.Vorbis)
        stb_vorbis_close(stream.Vorbis);
    delete[] stream.VorbisArena;
    if (stream.File)
        std::fclose(stream.File);
    stream = MusicStream{};
}

int OpenFirstMusicFile(MusicStream& stream, const MusicFilePaths& paths)
{
    for (int i = 0; i < paths.Count; ++i) {
        if (OpenMusicStream(stream, paths.Path[i]))
            return i;
    }
    return -1;
}
