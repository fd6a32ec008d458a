// Opening a film: header, record tables and the four video trees; reading records: palette
// chunks and audio chunks. The video codec is in smacker_video.cpp.
#include "smacker/smacker_decoder.h"

#include "smacker/smacker_bits.h"

#include <algorithm>
#include <climits>
#include <new>
#include <stdexcept>

namespace {

uint32_t LoadU32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// --- sources ------------------------------------------------------------------------------

bool ReadMemory(void* context, uint64_t offset, void* destination, size_t size)
{
    auto* film = static_cast<SmkFilm*>(context);
    if (offset > film->MemorySize || size > film->MemorySize - offset)
        return false;
    std::memcpy(destination, film->MemoryData + offset, size);
    return true;
}

bool ReadFile(void* context, uint64_t offset, void* destination, size_t size)
{
    auto* file = static_cast<std::FILE*>(context);
    if (offset > uint64_t(LONG_MAX) || std::fseek(file, long(offset), SEEK_SET) != 0)
        return false;
    return std::fread(destination, 1, size, file) == size;
}

// --- trees ----------------------------------------------------------------------------------

// A byte tree's body after its presence bit: the nodes and the terminator bit.
bool ParseByteTree(SmkCode& code, SmkBits& bits)
{
    int deepest = 0;
    auto readLeaf = [](SmkBits& b) { return b.Read(8); };
    if (!SmkParseShape(code, 511, kSmkByteTreeDepth, bits, readLeaf, &deepest))
        return false;
    bits.ReadBit(); // the terminator: its value does not matter
    if (bits.Overrun())
        return false;
    SmkBuildFastTable(code, deepest);
    return true;
}

struct ByteTreeStore {
    uint32_t Nodes[511];
    uint32_t Fast[1 << kSmkMaxFastBits];
    SmkCode Code;
    ByteTreeStore() { Code.Nodes = Nodes, Code.Fast = Fast; }
};

// A byte tree that describes the leaf bytes of a video tree; an absent one gives 0 for every
// leaf and takes no bits.
bool ParseLeafByteTree(ByteTreeStore& store, SmkBits& bits)
{
    if (bits.ReadBit())
        return ParseByteTree(store.Code, bits);
    SmkSingleLeaf(store.Code, 0);
    return !bits.Overrun();
}

void MakeAbsentTree(SmkBigTree& tree)
{
    tree.NodeStore.assign(1, kSmkLeaf);
    tree.FastStore.assign(1, 0);
    tree.Values.assign(4, 0);
    tree.Cache = 1;
    tree.Code.Nodes = tree.NodeStore.data();
    tree.Code.Fast = tree.FastStore.data();
    SmkSingleLeaf(tree.Code, 0);
}

// Parses one video tree. Leaves whose value equals one of the three markers refer to the
// cache cells; when several leaves carry the same marker, the last one does, and the others
// stay ordinary leaves of value 0.
bool ParseBigTree(SmkBigTree& tree, SmkBits& bits, uint32_t sizeField, uint32_t treesSize, bool* present)
{
    *present = bits.ReadBit() != 0;
    if (!*present) {
        MakeAbsentTree(tree);
        return !bits.Overrun();
    }
    auto lo = std::make_unique<ByteTreeStore>();
    auto hi = std::make_unique<ByteTreeStore>();
    if (!ParseLeafByteTree(*lo, bits) || !ParseLeafByteTree(*hi, bits))
        return false;
    uint32_t markers[3];
    for (uint32_t& m : markers)
        m = bits.Read(16);
    if (bits.Overrun() || sizeField >= 0x0FFFFFFF)
        return false;

    // A tree never has more entries than its size field allows or than there are bits.
    uint64_t cap = std::min<uint64_t>((uint64_t(sizeField) + 3) / 4, uint64_t(treesSize) * 8);
    cap = std::min<uint64_t>(cap, (1u << 24) - 4);
    tree.NodeStore.assign(size_t(cap), 0);
    tree.Values.clear();
    tree.Code.Nodes = tree.NodeStore.data();

    uint32_t slotCell[3] = {UINT32_MAX, UINT32_MAX, UINT32_MAX};
    auto readLeaf = [&](SmkBits& b) -> uint32_t {
        uint32_t v = SmkDecode(lo->Code, b);
        v |= SmkDecode(hi->Code, b) << 8;
        uint32_t cell = uint32_t(tree.Values.size());
        for (int k = 0; k < 3; ++k) {
            if (v == markers[k]) {
                slotCell[k] = cell;
                v = 0;
                break;
            }
        }
        tree.Values.push_back(uint16_t(v));
        return cell;
    };
    int deepest = 0;
    if (cap == 0 || !SmkParseShape(tree.Code, uint32_t(cap), kSmkBigTreeDepth, bits, readLeaf, &deepest))
        return false;
    bits.ReadBit(); // terminator
    if (bits.Overrun())
        return false;

    tree.Cache = uint32_t(tree.Values.size());
    tree.Values.insert(tree.Values.end(), 3, 0);
    for (uint32_t i = 0; i < tree.Code.NodeCount; ++i) {
        uint32_t& e = tree.Code.Nodes[i];
        if (!(e & kSmkLeaf))
            continue;
        for (int k = 0; k < 3; ++k)
            if ((e & ~kSmkLeaf) == slotCell[k])
                e = kSmkLeaf | (tree.Cache + k);
    }
    tree.FastStore.assign(size_t(1) << std::min(deepest, kSmkMaxFastBits), 0);
    tree.Code.Fast = tree.FastStore.data();
    SmkBuildFastTable(tree.Code, deepest);
    return true;
}

bool ParseVideoTrees(SmkFilm& film, const uint8_t* data, uint32_t size)
{
    SmkBits bits{data, 0, uint64_t(size) * 8};
    const uint32_t sizes[4] = {film.Header.MMapSize, film.Header.MClrSize, film.Header.FullSize, film.Header.TypeSize};
    int present = 0;
    for (int t = 0; t < 4; ++t) {
        bool here = false;
        if (!ParseBigTree(film.Trees[t], bits, sizes[t], size, &here))
            return false;
        present += here;
    }
    return present > 0;
}

// --- opening ----------------------------------------------------------------------------------

SmkHeader ParseHeader(const uint8_t* b)
{
    // The header is 26 little-endian 32-bit fields, in the order of SmkHeader.
    uint32_t fields[kSmkHeaderSize / 4];
    for (int i = 0; i < kSmkHeaderSize / 4; ++i)
        fields[i] = LoadU32(b + 4 * i);
    SmkHeader h;
    std::memcpy(&h, fields, sizeof h);
    return h;
}

bool ValidHeader(const SmkHeader& h)
{
    if (h.Signature != kSmkSignature2 && h.Signature != kSmkSignature4)
        return false;
    if (h.Width == 0 || h.Height == 0 || h.Width > kSmkMaxDimension || h.Height > kSmkMaxDimension)
        return false;
    if (uint64_t(h.Width) * h.Height > kSmkMaxPixels)
        return false;
    // A ring frame alone is no film: it only leads back to a frame 0 that is not there.
    if (h.Frames == 0)
        return false;
    // Durations are computed in 10-microsecond units: keep rate * 100 and -rate in range.
    if (h.FrameRate > INT_MAX / 100 || h.FrameRate == INT_MIN)
        return false;
    return h.TreesSize >= 1;
}

// Reads the size and type tables. Records that reach past the end of the file are cut off,
// together with everything after them; a film without a single whole record fails.
bool ReadRecordTables(SmkFilm& film, uint64_t records)
{
    const SmkSource& src = film.Source;
    std::vector<uint8_t> tables(size_t(records) * 5);
    if (!src.Read(src.Context, kSmkHeaderSize, tables.data(), tables.size()))
        return false;
    uint64_t offset = kSmkHeaderSize + records * 5 + film.Header.TreesSize;
    uint32_t whole = 0;
    film.RecordSize.resize(size_t(records));
    film.RecordType.resize(size_t(records));
    film.RecordOffset.resize(size_t(records));
    for (uint32_t i = 0; i < records; ++i) {
        uint32_t size = LoadU32(&tables[4 * i]) & ~3u;
        if (offset + size > src.Size)
            break;
        film.RecordSize[i] = size;
        film.RecordType[i] = tables[size_t(records) * 4 + i];
        film.RecordOffset[i] = offset;
        offset += size;
        whole = i + 1;
    }
    if (whole == 0)
        return false;
    if (whole < records) {
        // The ring frame is the last record: a cut film never has one.
        film.Header.Frames = std::min(film.Header.Frames, whole);
        film.Header.Flags &= ~kSmkRingFrame;
    }
    film.Records = whole;
    return true;
}

void SetUpTracks(SmkFilm& film, uint32_t trackMask, uint32_t largestRecord)
{
    bool compressed = false;
    for (int k = 0; k < kSmkTracks; ++k) {
        SmkTrack& t = film.Tracks[k];
        uint32_t rate = film.Header.AudioRate[k];
        t = SmkTrack{};
        t.Rate = rate & kSmkRateMask;
        if (t.Rate == 0)
            continue;
        t.Channels = (rate & kSmkAudioStereo) ? 2 : 1;
        t.Bits = (rate & kSmkAudio16Bit) ? 16 : 8;
        t.TransformCoded = (rate & (kSmkAudioTransformDct | kSmkAudioTransformRdft)) != 0;
        t.Compressed = !t.TransformCoded && (rate & kSmkAudioCompressed);
        t.Wanted = !t.TransformCoded && ((trackMask >> k) & 1);
        if (!t.Wanted)
            continue;
        // Room for the largest chunk the header announces, and at least for any PCM chunk;
        // compressed chunks that claim more are dropped.
        uint64_t capacity = std::max<uint64_t>(film.Header.AudioSize[k], uint64_t(largestRecord) * 2);
        t.Capacity = uint32_t(std::min<uint64_t>(capacity, kSmkMaxAudioChunk));
        t.Samples.reset(new uint8_t[t.Capacity]);
        compressed |= t.Compressed;
    }
    if (compressed)
        film.Audio = std::make_unique<SmkAudioTrees>();
}

bool ReadFilmHeaders(SmkFilm& film, uint32_t trackMask)
{
    const SmkSource& src = film.Source;
    uint8_t head[kSmkHeaderSize];
    if (src.Size < kSmkHeaderSize || !src.Read(src.Context, 0, head, sizeof head))
        return false;
    film.Header = ParseHeader(head);
    const SmkHeader& h = film.Header;
    if (!ValidHeader(h))
        return false;
    film.Smk4 = h.Signature == kSmkSignature4;

    uint64_t records = uint64_t(h.Frames) + (h.Flags & kSmkRingFrame);
    if (records == 0 || records > kSmkMaxRecords)
        return false;
    if (kSmkHeaderSize + records * 5 + h.TreesSize > src.Size)
        return false;
    if (!ReadRecordTables(film, records))
        return false;

    std::vector<uint8_t> trees(size_t(h.TreesSize) + kSmkSlack, 0);
    if (!src.Read(src.Context, kSmkHeaderSize + records * 5, trees.data(), h.TreesSize))
        return false;
    if (!ParseVideoTrees(film, trees.data(), h.TreesSize))
        return false;

    uint32_t largest = *std::max_element(film.RecordSize.begin(), film.RecordSize.begin() + film.Records);
    film.RecordCapacity = largest;
    film.Record.reset(new uint8_t[size_t(largest) + kSmkSlack]);
    film.Picture.assign(size_t(h.Width) * h.Height, 0);
    std::memset(film.Palette, 0, sizeof film.Palette);
    SetUpTracks(film, trackMask, largest);
    return true;
}

// --- palette chunks ---------------------------------------------------------------------------

} // namespace

// Copies come from the palette as it stood before the chunk, even where this chunk has
// already rewritten the source entries.
bool SmkApplyPalette(uint8_t* palette, const uint8_t* chunk, uint32_t size)
{
    uint8_t next[768];
    std::memcpy(next, palette, sizeof next);
    uint32_t pos = 0;
    int i = 0;
    while (i < 256) {
        if (pos >= size)
            return false;
        uint8_t c = chunk[pos++];
        if (c & 0x80) {
            i += (c & 0x7F) + 1;
        } else if (c & 0x40) {
            int n = (c & 0x3F) + 1;
            if (pos >= size)
                return false;
            int s = chunk[pos++];
            if (s + n > 256)
                return false;
            n = std::min(n, 256 - i);
            std::memcpy(next + 3 * i, palette + 3 * s, size_t(3 * n));
            i += n;
        } else {
            if (size - pos < 2)
                return false;
            next[3 * i] = SmkExpand6(c);
            next[3 * i + 1] = SmkExpand6(chunk[pos] & 0x3F);
            next[3 * i + 2] = SmkExpand6(chunk[pos + 1] & 0x3F);
            pos += 2;
            ++i;
        }
    }
    std::memcpy(palette, next, sizeof next);
    return true;
}

namespace {

// --- audio chunks -----------------------------------------------------------------------------

uint32_t DecodePcm(SmkTrack& track, const uint8_t* payload, uint32_t size)
{
    uint32_t frame = uint32_t(track.Channels * track.Bits / 8);
    uint32_t n = std::min(size - size % frame, track.Capacity - track.Capacity % frame);
    std::memcpy(track.Samples.get(), payload, n);
    return n;
}

// One compressed (Huffman DPCM) chunk; the payload is followed by readable slack. Returns
// the bytes decoded, 0 when the chunk is unusable.
uint32_t DecodeDpcm(SmkTrack& track, SmkAudioTrees& trees, const uint8_t* payload, uint32_t size)
{
    const int stereo = track.Channels == 2;
    const int wide = track.Bits == 16;
    const uint32_t channels = uint32_t(track.Channels);
    const uint32_t bytesPerSample = uint32_t(wide + 1);
    uint32_t unpacked = LoadU32(payload);
    if (unpacked == 0 || unpacked > track.Capacity || unpacked % (channels * bytesPerSample) != 0)
        return 0;
    SmkBits bits{payload + 4, 0, uint64_t(size - 4) * 8};
    if (!bits.ReadBit())
        return 0; // a chunk that carries no samples
    if (int(bits.ReadBit()) != stereo || int(bits.ReadBit()) != wide)
        return 0;
    const int treeCount = 1 << (stereo + wide);
    for (int t = 0; t < treeCount; ++t) {
        trees.Code[t].Nodes = trees.Nodes[t];
        trees.Code[t].Fast = trees.Fast[t];
        bits.ReadBit(); // presence: a tree follows whatever it says
        if (!ParseByteTree(trees.Code[t], bits))
            return 0;
    }
    uint32_t value[2] = {0, 0};
    for (int ch = int(channels) - 1; ch >= 0; --ch) {
        if (wide) {
            uint32_t high = bits.Read(8);
            value[ch] = (high << 8) | bits.Read(8);
        } else {
            value[ch] = bits.Read(8);
        }
    }
    if (bits.Overrun())
        return 0;

    uint8_t* out = track.Samples.get();
    const uint32_t samples = unpacked / bytesPerSample;
    if (!wide) {
        out[0] = uint8_t(value[0]);
        if (stereo)
            out[1] = uint8_t(value[1]);
        for (uint32_t i = channels; i < samples; ++i) {
            uint32_t ch = i & (channels - 1);
            value[ch] += SmkDecode(trees.Code[ch], bits);
            out[i] = uint8_t(value[ch]);
            if (bits.Overrun())
                return 0;
        }
    } else {
        for (uint32_t ch = 0; ch < channels; ++ch) {
            out[2 * ch] = uint8_t(value[ch]);
            out[2 * ch + 1] = uint8_t(value[ch] >> 8);
        }
        for (uint32_t i = channels; i < samples; ++i) {
            uint32_t ch = i & (channels - 1);
            uint32_t delta = SmkDecode(trees.Code[2 * ch], bits);
            delta |= SmkDecode(trees.Code[2 * ch + 1], bits) << 8;
            value[ch] += delta;
            out[2 * i] = uint8_t(value[ch]);
            out[2 * i + 1] = uint8_t(value[ch] >> 8);
            if (bits.Overrun())
                return 0;
        }
    }
    return unpacked;
}

// Where the parts of a record lie, found before anything of it is applied.
struct RecordLayout {
    uint32_t PaletteSize = 0; // 4P bytes, 0 without a palette chunk
    uint32_t AudioOffset[kSmkTracks] = {};
    uint32_t AudioSize[kSmkTracks] = {};
    uint32_t VideoOffset = 0;
};

bool LayOutRecord(const SmkFilm& film, const uint8_t* rec, uint32_t length, uint8_t type, RecordLayout& layout)
{
    uint32_t pos = 0;
    if (type & 1) {
        if (length == 0)
            return false;
        uint32_t size = 4u * rec[0];
        if (size == 0 || size > length)
            return false;
        layout.PaletteSize = size;
        pos = size;
    }
    for (int k = 0; k < kSmkTracks; ++k) {
        if (!(type & (2 << k)))
            continue;
        if (length - pos < 4)
            return false;
        uint32_t size = LoadU32(rec + pos);
        const SmkTrack& t = film.Tracks[k];
        uint32_t least = (t.Rate != 0 && (t.Compressed || t.Bits == 8)) ? 8 : 4;
        if (size < least || size > length - pos)
            return false;
        layout.AudioOffset[k] = pos;
        layout.AudioSize[k] = size;
        pos += size;
    }
    layout.VideoOffset = pos;
    return true;
}

} // namespace

// --- shared helpers of the codes ---------------------------------------------------------------

void SmkSingleLeaf(SmkCode& code, uint32_t payload)
{
    code.Nodes[0] = kSmkLeaf | payload;
    code.NodeCount = 1;
    code.FastBits = 0;
    code.Fast[0] = payload;
}

void SmkBuildFastTable(SmkCode& code, int deepest)
{
    const int fastBits = std::min(deepest, kSmkMaxFastBits);
    code.FastBits = fastBits;
    struct Item {
        uint32_t Node;
        int Depth;
        uint32_t Bits;
    };
    Item stack[kSmkMaxFastBits + 2];
    int top = 0;
    stack[top++] = {0, 0, 0};
    const uint32_t entries = 1u << fastBits;
    while (top > 0) {
        Item it = stack[--top];
        uint32_t e = code.Nodes[it.Node];
        uint32_t fill;
        if (e & kSmkLeaf)
            fill = (uint32_t(it.Depth) << 24) | (e & ~kSmkLeaf);
        else if (it.Depth == fastBits)
            fill = kSmkWalkOn | (uint32_t(it.Depth) << 24) | it.Node;
        else {
            stack[top++] = {e, it.Depth + 1, it.Bits | (1u << it.Depth)};
            stack[top++] = {it.Node + 1, it.Depth + 1, it.Bits};
            continue;
        }
        for (uint32_t j = it.Bits; j < entries; j += 1u << it.Depth)
            code.Fast[j] = fill;
    }
}

// --- public operations ------------------------------------------------------------------------

SmkFilm::~SmkFilm() { SmkClose(*this); }

namespace {

// Opens from a source that SmkOpenFile or SmkOpenMemory may already have tied to the film.
bool OpenFrom(SmkFilm& film, const SmkSource& source, uint32_t trackMask)
{
    film.Source = source;
    bool ok = false;
    try {
        ok = ReadFilmHeaders(film, trackMask);
    } catch (const std::bad_alloc&) {
        ok = false;
    } catch (const std::length_error&) {
        ok = false;
    }
    if (!ok)
        SmkClose(film);
    return ok;
}

} // namespace

bool SmkOpen(SmkFilm& film, const SmkSource& source, uint32_t trackMask)
{
    SmkClose(film);
    return OpenFrom(film, source, trackMask);
}

bool SmkOpenFile(SmkFilm& film, const char* path, uint32_t trackMask)
{
    SmkClose(film);
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        size = std::ftell(file);
    if (size < 0) {
        std::fclose(file);
        return false;
    }
    film.File = file;
    SmkSource source;
    source.Context = file;
    source.Read = ReadFile;
    source.Size = uint64_t(size);
    return OpenFrom(film, source, trackMask);
}

bool SmkOpenMemory(SmkFilm& film, const uint8_t* data, size_t size, uint32_t trackMask)
{
    SmkClose(film);
    film.MemoryData = data;
    film.MemorySize = size;
    SmkSource source;
    source.Context = &film;
    source.Read = ReadMemory;
    source.Size = size;
    return OpenFrom(film, source, trackMask);
}

void SmkClose(SmkFilm& film)
{
    if (film.File)
        std::fclose(film.File);
    film.File = nullptr;
    film.MemoryData = nullptr;
    film.MemorySize = 0;
    film.Source = SmkSource{};
    film.Header = SmkHeader{};
    film.Records = 0;
    film.RecordSize.clear();
    film.RecordType.clear();
    film.RecordOffset.clear();
    for (SmkBigTree& t : film.Trees)
        t = SmkBigTree{};
    film.Picture.clear();
    for (SmkTrack& t : film.Tracks)
        t = SmkTrack{};
    film.Record.reset();
    film.RecordCapacity = 0;
    film.VideoPending = false;
    film.Audio.reset();
}

SmkRead SmkReadRecord(SmkFilm& film, uint32_t record)
{
    film.VideoPending = false;
    for (SmkTrack& t : film.Tracks)
        t.Length = 0;
    if (record >= film.Records)
        return SmkRead::Failed;
    const uint32_t length = film.RecordSize[record];
    uint8_t* rec = film.Record.get();
    if (!film.Source.Read(film.Source.Context, film.RecordOffset[record], rec, length))
        return SmkRead::Failed;
    std::memset(rec + length, 0, kSmkSlack);
    film.RecordNumber = record;

    RecordLayout layout;
    const uint8_t type = film.RecordType[record];
    if (!LayOutRecord(film, rec, length, type, layout))
        return SmkRead::Dropped;
    if (layout.PaletteSize && !SmkApplyPalette(film.Palette, rec + 1, layout.PaletteSize - 1))
        return SmkRead::Dropped;
    for (int k = 0; k < kSmkTracks; ++k) {
        SmkTrack& t = film.Tracks[k];
        if (!(type & (2 << k)) || !t.Wanted)
            continue;
        const uint8_t* payload = rec + layout.AudioOffset[k] + 4;
        uint32_t size = layout.AudioSize[k] - 4;
        t.Length = t.Compressed ? DecodeDpcm(t, *film.Audio, payload, size) : DecodePcm(t, payload, size);
    }
    film.VideoOffset = layout.VideoOffset;
    film.VideoLength = length - layout.VideoOffset;
    if (film.VideoLength == 0)
        return SmkRead::NoPicture;
    film.VideoPending = true;
    return SmkRead::Ready;
}

bool SmkDecodeFrame(SmkFilm& film, uint32_t record)
{
    return SmkReadRecord(film, record) == SmkRead::Ready && SmkDecodeVideo(film);
}

int64_t SmkFrameDuration(int32_t frameRate)
{
    if (frameRate > 0)
        return int64_t(frameRate) * 100;
    if (frameRate < 0)
        return -int64_t(frameRate);
    return 10000;
}

uint32_t SmkDisplayHeight(const SmkHeader& header)
{
    bool doubled = header.Flags & (kSmkYInterlaced | kSmkYDoubled);
    return doubled ? header.Height * 2 : header.Height;
}
