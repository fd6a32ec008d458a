#include "crawl/music_file.h"

#include <FLAC/stream_decoder.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Rates that a sound card of any age plays (DirectSound takes 100 to 100,000 Hz).
constexpr std::uint32_t kLowestRate = 8000, kHighestRate = 96000;

// How much of the file the decoders may read without giving back a sample. The headers
// come first, and a ripper's cover art rides in them (some MB, at times tens of MB); a
// stretch of damage is searched through for the next good page or frame. A file that goes
// on longer than this without sound ends there: a packet that claims the whole file cannot
// grow the library's buffers without bound, and a refill never reads for long.
constexpr std::uint64_t kMostBytesWithoutSound = std::uint64_t{64} << 20;

// The most frames of one FLAC block, the format's own limit.
constexpr unsigned kMostFlacBlock = 65536;

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

} // namespace

// The libraries read the file through this record, which stays where it is while the
// stream's own record may be copied.
struct MusicDecoder {
    std::FILE* File;                 // the stream's; closed by CloseMusicStream
    std::uint64_t BytesWithoutSound; // read since the last samples were decoded
    OggVorbis_File Vorbis;           // all zero unless the file is Ogg Vorbis
    FLAC__StreamDecoder* Flac;
    // FLAC: the layout from the stream's information block, once it is one that plays.
    bool FlacPlayable;
    unsigned FlacChannels, FlacRate, FlacBits;
    // FLAC: the last decoded block, interleaved 16-bit, and how much of it is handed out.
    std::int16_t* Block;
    std::size_t BlockFrames, BlockUsed;
};

namespace {

bool PlayableLayout(long channels, long rate)
{
    // A track of an audio CD has two channels; a file of more is no ripped track.
    return channels >= 1 && channels <= 2 && rate >= long{kLowestRate} && rate <= long{kHighestRate};
}

std::size_t ReadForDecoder(MusicDecoder& decoder, void* bytes, std::size_t size)
{
    std::uint64_t allowed = kMostBytesWithoutSound - std::min(decoder.BytesWithoutSound, kMostBytesWithoutSound);
    std::size_t got = std::fread(bytes, 1, static_cast<std::size_t>(std::min<std::uint64_t>(size, allowed)), decoder.File);
    decoder.BytesWithoutSound += got;
    return got;
}

// --- Ogg Vorbis ----------------------------------------------------------------------------

std::size_t ReadVorbisFile(void* bytes, std::size_t size, std::size_t count, void* decoder)
{
    if (size == 0)
        return 0;
    return ReadForDecoder(*static_cast<MusicDecoder*>(decoder), bytes, size * count) / size;
}

// Opened without seeking: the file is read once from its start, as it plays, and never
// scanned whole for the lengths of its parts. The first bytes, already read to tell the
// format, go in as the start of the stream: libogg's first page search then never runs on
// an empty buffer, where it adds zero to a null pointer.
bool OpenVorbis(MusicStream& stream, const unsigned char (&start)[4])
{
    MusicDecoder& d = *stream.Decoder;
    const ov_callbacks callbacks = {ReadVorbisFile, nullptr, nullptr, nullptr};
    char initial[sizeof start];
    std::memcpy(initial, start, sizeof start);
    if (std::fseek(stream.File, sizeof start, SEEK_SET) != 0 ||
        ov_open_callbacks(&d, &d.Vorbis, initial, sizeof initial, callbacks) != 0)
        return false;
    const vorbis_info* info = ov_info(&d.Vorbis, -1);
    if (!info || !PlayableLayout(info->channels, info->rate))
        return false;
    // Nothing shows the comments; cover art among them would be held while the crawl runs.
    vorbis_comment_clear(ov_comment(&d.Vorbis, -1));
    stream.Channels = info->channels;
    stream.Rate = static_cast<int>(info->rate);
    stream.Kind = MusicKind::Vorbis;
    return true;
}

std::size_t ReadVorbisFrames(MusicStream& stream, std::int16_t* samples, std::size_t frames)
{
    MusicDecoder& d = *stream.Decoder;
    const std::size_t frameBytes = 2 * static_cast<std::size_t>(stream.Channels);
    std::size_t done = 0;
    while (done < frames) {
        int want = static_cast<int>(std::min<std::size_t>((frames - done) * frameBytes, 1 << 20));
        int part = 0;
        long got = ov_read(&d.Vorbis, reinterpret_cast<char*>(samples + done * stream.Channels), want, 0, 2, 1, &part);
        if (got == OV_HOLE)
            continue; // pages lost to damage: the music goes on after them
        if (got <= 0)
            break;
        // A chained file's next part may have another layout, which the sound buffer
        // cannot take: the music ends where it begins.
        const vorbis_info* info = ov_info(&d.Vorbis, -1);
        if (!info || info->channels != stream.Channels || info->rate != stream.Rate) {
            stream.Kind = MusicKind::None;
            return done;
        }
        d.BytesWithoutSound = 0;
        done += static_cast<std::size_t>(got) / frameBytes;
    }
    return done;
}

// --- FLAC ----------------------------------------------------------------------------------

FLAC__StreamDecoderReadStatus ReadFlacFile(const FLAC__StreamDecoder*, FLAC__byte bytes[], std::size_t* size, void* decoder)
{
    *size = ReadForDecoder(*static_cast<MusicDecoder*>(decoder), bytes, *size);
    return *size ? FLAC__STREAM_DECODER_READ_STATUS_CONTINUE : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
}

void TakeFlacInfo(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block, void* decoder)
{
    if (block->type != FLAC__METADATA_TYPE_STREAMINFO)
        return;
    MusicDecoder& d = *static_cast<MusicDecoder*>(decoder);
    const FLAC__StreamMetadata_StreamInfo& info = block->data.stream_info;
    d.FlacChannels = info.channels;
    d.FlacRate = info.sample_rate;
    d.FlacBits = info.bits_per_sample;
    d.FlacPlayable = PlayableLayout(info.channels, info.sample_rate) && (info.bits_per_sample == 16 || info.bits_per_sample == 24);
}

// A decoded sample as a 16-bit one: 24-bit samples rounded to the nearest. Held within range,
// since a damaged frame may decode to values wider than its stream's.
std::int16_t SampleFromFlac(FLAC__int32 value, unsigned shift)
{
    std::int64_t wide = value;
    if (shift > 0)
        wide = (wide + (std::int64_t{1} << (shift - 1))) >> shift;
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(wide, -32768, 32767));
}

// A block whose layout is not the stream's (a damaged or spliced file) would not fit the
// sound buffer: the music ends before it.
FLAC__StreamDecoderWriteStatus TakeFlacBlock(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                             const FLAC__int32* const channels[], void* decoder)
{
    MusicDecoder& d = *static_cast<MusicDecoder*>(decoder);
    const FLAC__FrameHeader& header = frame->header;
    if (!d.FlacPlayable || header.channels != d.FlacChannels || header.sample_rate != d.FlacRate ||
        header.bits_per_sample != d.FlacBits || header.blocksize > kMostFlacBlock)
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    const unsigned shift = d.FlacBits - 16;
    std::int16_t* out = d.Block;
    for (unsigned i = 0; i < header.blocksize; ++i) {
        for (unsigned c = 0; c < header.channels; ++c)
            *out++ = SampleFromFlac(channels[c][i], shift);
    }
    d.BlockFrames = header.blocksize;
    d.BlockUsed = 0;
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

// Damage is reported here and searched past by the library itself.
void IgnoreFlacError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {}

bool OpenFlac(MusicStream& stream)
{
    MusicDecoder& d = *stream.Decoder;
    d.Block = new (std::nothrow) std::int16_t[std::size_t{kMostFlacBlock} * 2];
    d.Flac = FLAC__stream_decoder_new();
    if (!d.Block || !d.Flac ||
        FLAC__stream_decoder_init_stream(d.Flac, ReadFlacFile, nullptr, nullptr, nullptr, nullptr, TakeFlacBlock,
                                         TakeFlacInfo, IgnoreFlacError, &d) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
        return false;
    if (!FLAC__stream_decoder_process_until_end_of_metadata(d.Flac) || !d.FlacPlayable)
        return false;
    stream.Channels = static_cast<int>(d.FlacChannels);
    stream.Rate = static_cast<int>(d.FlacRate);
    stream.Kind = MusicKind::Flac;
    return true;
}

std::size_t ReadFlacFrames(MusicStream& stream, std::int16_t* samples, std::size_t frames)
{
    MusicDecoder& d = *stream.Decoder;
    std::size_t done = 0;
    while (done < frames) {
        if (d.BlockUsed == d.BlockFrames) {
            d.BlockFrames = d.BlockUsed = 0;
            if (!FLAC__stream_decoder_process_single(d.Flac))
                break; // a block of another layout, or the library gave up
            if (d.BlockFrames == 0) {
                if (FLAC__stream_decoder_get_state(d.Flac) == FLAC__STREAM_DECODER_END_OF_STREAM)
                    break;
                continue; // damage searched past, or metadata: no samples yet
            }
            d.BytesWithoutSound = 0;
        }
        std::size_t take = std::min(frames - done, d.BlockFrames - d.BlockUsed);
        std::memcpy(samples + done * stream.Channels, d.Block + d.BlockUsed * stream.Channels,
                    take * stream.Channels * sizeof(std::int16_t));
        d.BlockUsed += take;
        done += take;
    }
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
        if (std::memcmp(magic, "RIFF", 4) == 0) {
            opened = OpenWave(stream);
        } else if (std::memcmp(magic, "OggS", 4) == 0 || std::memcmp(magic, "fLaC", 4) == 0) {
            stream.Decoder = new (std::nothrow) MusicDecoder{};
            if (stream.Decoder) {
                stream.Decoder->File = stream.File;
                opened = magic[0] == 'O' ? OpenVorbis(stream, magic) : OpenFlac(stream);
            }
        }
    }
    if (!opened) {
        CloseMusicStream(stream);
        return false;
    }
    return true;
}

std::size_t ReadMusicFrames(MusicStream& stream, std::int16_t* samples, std::size_t frames)
{
    std::size_t got = 0;
    switch (stream.Kind) {
    case MusicKind::Wave:
        got = ReadWaveFrames(stream, samples, frames);
        break;
    case MusicKind::Vorbis:
        got = ReadVorbisFrames(stream, samples, frames);
        break;
    case MusicKind::Flac:
        got = ReadFlacFrames(stream, samples, frames);
        break;
    case MusicKind::None:
        break;
    }
    if (got == 0 && frames > 0)
        stream.Kind = MusicKind::None; // ended: stays ended, the decoder is not asked again
    return got;
}

// The decoder goes before the file it reads. ov_clear is safe on a decoder that never
// opened a file, or whose open failed.
void CloseMusicStream(MusicStream& stream)
{
    if (MusicDecoder* d = stream.Decoder) {
        ov_clear(&d->Vorbis);
        if (d->Flac)
            FLAC__stream_decoder_delete(d->Flac);
        delete[] d->Block;
        delete d;
    }
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
