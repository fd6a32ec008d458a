#include "crawl/music_file.h"

#include <FLAC/stream_decoder.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Rates that a sound card of any age plays (DirectSound takes 100 to 100,000 Hz).
constexpr std::uint32_t kLowestRate = 8000, kHighestRate = kMostMusicRate;

// How much of the file the decoders may read without giving back a sample. The headers
// come first, and a ripper's cover art rides in them (some MB, at times tens of MB); a
// stretch of damage is searched through for the next good page or frame. A file that goes
// on longer than this without sound ends there: a packet that claims the whole file cannot
// grow the library's buffers without bound, and a refill never reads for long.
constexpr std::uint64_t kMostBytesWithoutSound = std::uint64_t{64} << 20;

// The most frames of one FLAC block, the format's own limit.
constexpr unsigned kMostFlacBlock = 65536;

// Calls into libFLAC that neither read a byte nor yield a sample, one after another: each
// searches on through what the library already holds, which is far less. More means that
// the library reads nothing and never will: the music ends.
constexpr int kMostIdleFlacCalls = 1 << 20;

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
// declared size may exceed the file; reading then simply ends where the file does. A size
// of 0 is what a recorder leaves that was cut off before it closed the file: the data goes
// to the end of the file too.
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
            stream.WaveBytesLeft = size != 0 ? size : UINT64_MAX;
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
    while (done < frames && stream.WaveBytesLeft >= frameBytes && (!stream.Check || stream.Check(stream.CheckContext))) {
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
    MusicReadCheck Check;            // the stream's
    void* CheckContext;
    std::uint64_t BytesWithoutSound; // read since the last samples were decoded
    OggVorbis_File Vorbis;           // all zero unless the file is Ogg Vorbis
    FLAC__StreamDecoder* Flac;
    // FLAC: the layout from the stream's information block, once it is one that plays.
    bool FlacPlayable;
    unsigned FlacChannels, FlacRate, FlacBits;
    // FLAC: the last decoded block, interleaved 16-bit in the stream's channels, and how much
    // of it is handed out; before it, frames of silence that the library wrote in place of
    // damaged frames (they come with the next good block, in the same call).
    std::int16_t* Block;
    std::size_t BlockFrames, BlockUsed;
    std::uint64_t SilenceFrames;
};

namespace {

bool PlayableLayout(long channels, long rate)
{
    // A track of an audio CD has two channels; a file of more is no ripped track.
    return channels >= 1 && channels <= 2 && rate >= long{kLowestRate} && rate <= long{kHighestRate};
}

// One frame in the stream's channels, from the left and right samples of the file's (the
// same sample twice for one channel): both as they are, or their mean for one channel.
std::int16_t* PutFrame(std::int16_t* out, int channels, std::int16_t left, std::int16_t right)
{
    if (channels == 2) {
        *out++ = left;
        *out++ = right;
    } else {
        *out++ = static_cast<std::int16_t>((left + right) >> 1);
    }
    return out;
}

std::size_t ReadForDecoder(MusicDecoder& decoder, void* bytes, std::size_t size)
{
    if (decoder.Check && !decoder.Check(decoder.CheckContext))
        return 0;
    std::uint64_t allowed = kMostBytesWithoutSound - std::min(decoder.BytesWithoutSound, kMostBytesWithoutSound);
    allowed = std::min<std::uint64_t>({allowed, size, kMusicReadPiece});
    std::size_t got = std::fread(bytes, 1, static_cast<std::size_t>(allowed), decoder.File);
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

// A chained file's next part may have another channel count: its frames come in the
// stream's. Another rate would play at the wrong pitch: the music ends where it begins.
// Each piece is asked for in the channels of the part being read; a piece that straddles
// a part of fewer channels loses what goes past the frames asked for.
std::size_t ReadVorbisFrames(MusicStream& stream, std::int16_t* samples, std::size_t frames)
{
    MusicDecoder& d = *stream.Decoder;
    std::int16_t piece[4096];
    std::size_t done = 0;
    while (done < frames) {
        const vorbis_info* before = ov_info(&d.Vorbis, -1);
        const std::size_t asked = before && before->channels > 0 ? static_cast<std::size_t>(before->channels) : 2;
        const std::size_t want = std::min(frames - done, std::size(piece) / asked) * asked * 2;
        int part = 0;
        long got = ov_read(&d.Vorbis, reinterpret_cast<char*>(piece), static_cast<int>(want), 0, 2, 1, &part);
        if (got == OV_HOLE)
            continue; // pages lost to damage: the music goes on after them
        if (got <= 0)
            break;
        const vorbis_info* info = ov_info(&d.Vorbis, -1);
        if (!info || info->channels < 1 || info->rate != stream.Rate)
            break;
        const std::size_t channels = static_cast<std::size_t>(info->channels);
        const std::size_t count = std::min(static_cast<std::size_t>(got) / (2 * channels), frames - done);
        std::int16_t* out = samples + done * stream.Channels;
        for (std::size_t i = 0; i < count; ++i)
            out = PutFrame(out, stream.Channels, piece[i * channels], piece[i * channels + (channels > 1)]);
        d.BytesWithoutSound = 0;
        done += count;
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

// A decoded sample of the given width as a 16-bit one: wider samples rounded to the nearest,
// narrower ones scaled up. Held within range, since a damaged frame may decode to values
// wider than its stream's.
std::int16_t SampleFromFlac(FLAC__int32 value, unsigned bits)
{
    std::int64_t wide = value;
    if (bits > 16)
        wide = (wide + (std::int64_t{1} << (bits - 17))) >> (bits - 16);
    else
        wide *= std::int64_t{1} << (16 - bits);
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(wide, -32768, 32767));
}

// Blocks come in the stream's channels and 16 bits, whatever their own (a spliced file, a
// stereo rip followed by mono frames). Another rate would play at the wrong pitch: the
// music ends before it. Where frames were lost to damage, the library writes silence of
// their length before the next good block, in the same call: it is counted, so that the
// music keeps its time.
FLAC__StreamDecoderWriteStatus TakeFlacBlock(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                             const FLAC__int32* const channels[], void* decoder)
{
    MusicDecoder& d = *static_cast<MusicDecoder*>(decoder);
    const FLAC__FrameHeader& header = frame->header;
    if (!d.FlacPlayable || header.sample_rate != d.FlacRate || header.blocksize > kMostFlacBlock || header.channels < 1)
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    bool silent = true;
    for (unsigned c = 0; c < header.channels && silent; ++c)
        silent = frame->subframes[c].type == FLAC__SUBFRAME_TYPE_CONSTANT && frame->subframes[c].data.constant.value == 0;
    if (silent) {
        d.SilenceFrames += header.blocksize;
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }
    const int outChannels = static_cast<int>(d.FlacChannels);
    const unsigned right = header.channels > 1 ? 1 : 0;
    std::int16_t* out = d.Block;
    for (unsigned i = 0; i < header.blocksize; ++i) {
        out = PutFrame(out, outChannels, SampleFromFlac(channels[0][i], header.bits_per_sample),
                       SampleFromFlac(channels[right][i], header.bits_per_sample));
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

// Hands out the counted silence first, then the block that came with it. The library is
// asked again only while it goes on searching or decoding: in any other state (the end of
// the file, a block refused, a read that failed, ABORTED, in which it answers true for ever
// and reads nothing) the music ends.
std::size_t ReadFlacFrames(MusicStream& stream, std::int16_t* samples, std::size_t frames)
{
    MusicDecoder& d = *stream.Decoder;
    const std::size_t channels = static_cast<std::size_t>(stream.Channels);
    std::size_t done = 0;
    int idle = 0;
    while (done < frames) {
        if (d.SilenceFrames > 0) {
            std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(frames - done, d.SilenceFrames));
            std::memset(samples + done * channels, 0, take * channels * sizeof(std::int16_t));
            d.SilenceFrames -= take;
            done += take;
            continue;
        }
        if (d.BlockUsed == d.BlockFrames) {
            d.BlockFrames = d.BlockUsed = 0;
            std::uint64_t before = d.BytesWithoutSound;
            bool decoded = FLAC__stream_decoder_process_single(d.Flac) != 0;
            FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(d.Flac);
            if (!decoded || state >= FLAC__STREAM_DECODER_END_OF_STREAM)
                break;
            if (d.BlockFrames == 0 && d.SilenceFrames == 0) {
                // Damage searched past, or metadata: no samples yet.
                idle = d.BytesWithoutSound == before ? idle + 1 : 0;
                if (idle > kMostIdleFlacCalls)
                    break;
                continue;
            }
            d.BytesWithoutSound = 0;
            continue;
        }
        std::size_t take = std::min(frames - done, d.BlockFrames - d.BlockUsed);
        std::memcpy(samples + done * channels, d.Block + d.BlockUsed * channels, take * channels * sizeof(std::int16_t));
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

// A FLAC file may begin with an ID3v2 tag, as some taggers write it: libFLAC reads past it.
bool OpenMusicStream(MusicStream& stream, const char* path, MusicReadCheck check, void* context)
{
    stream = MusicStream{};
    stream.Check = check;
    stream.CheckContext = context;
    stream.File = std::fopen(path, "rb");
    if (!stream.File)
        return false;
    unsigned char magic[4];
    bool opened = false;
    if (ReadExactly(stream.File, magic, sizeof magic) && std::fseek(stream.File, 0, SEEK_SET) == 0) {
        if (std::memcmp(magic, "RIFF", 4) == 0) {
            opened = OpenWave(stream);
        } else if (std::memcmp(magic, "OggS", 4) == 0 || std::memcmp(magic, "fLaC", 4) == 0 ||
                   std::memcmp(magic, "ID3", 3) == 0) {
            stream.Decoder = new (std::nothrow) MusicDecoder{};
            if (stream.Decoder) {
                stream.Decoder->File = stream.File;
                stream.Decoder->Check = check;
                stream.Decoder->CheckContext = context;
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

// A file that opens but holds no music where it should start (a Wave file or an Ogg file
// cut off after its headers) gives way like one that does not open.
int OpenFirstMusicFile(MusicStream& stream, const MusicFilePaths& paths, std::int16_t* first, std::size_t& firstFrames,
                       MusicReadCheck check, void* context)
{
    firstFrames = 0;
    for (int i = 0; i < paths.Count; ++i) {
        if (!OpenMusicStream(stream, paths.Path[i], check, context))
            continue;
        firstFrames = ReadMusicFrames(stream, first, static_cast<std::size_t>(stream.Rate));
        if (firstFrames > 0)
            return i;
        CloseMusicStream(stream);
    }
    return -1;
}
