#include "crawl/vorbis_headers.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// A vendor name is a few dozen bytes, a comment list a few dozen entries; cover art rides in
// one long comment. The decoder's arena holds these bounds many times over, so its
// allocations for them never fail (the failure it handles badly).
constexpr std::uint32_t kMostVendorBytes = 1 << 16;
constexpr std::uint32_t kMostComments = 1 << 16;
constexpr std::uint32_t kMostCommentBytes = 0x7FFFFFF0; // its length plus one stays an int
// Real codebooks hold some thousands of values; the decoder's products of entries and
// dimensions overflow from 2^29 on.
constexpr std::uint64_t kMostCodebookValues = 1 << 20;

constexpr int kCommentPacket = 3, kSetupPacket = 5;

// The packets of the stream after the first page, read as the decoder reads them: a page's
// lacing values give its segments, a segment shorter than 255 bytes ends a packet, and the
// next page continues where the last one ended.
struct PacketReader {
    std::FILE* File;
    unsigned char Lacing[255];
    int Segments;         // on the current page
    int NextSegment;      // index of the next segment to begin
    unsigned SegmentLeft; // bytes of the current segment not yet read
    bool PacketEnded;     // the current segment is the packet's last
    bool Failed;          // the file ended, or a page was not where it should be
};

bool ReadPageHeader(PacketReader& r)
{
    unsigned char header[27];
    if (std::fread(header, 1, sizeof header, r.File) != sizeof header || std::memcmp(header, "OggS", 4) != 0)
        return false;
    r.Segments = header[26];
    r.NextSegment = 0;
    return std::fread(r.Lacing, 1, r.Segments, r.File) == static_cast<std::size_t>(r.Segments);
}

// Moves to the next segment of the current packet; false at the packet's end.
bool NextSegment(PacketReader& r)
{
    if (r.PacketEnded || r.Failed)
        return false;
    while (r.NextSegment == r.Segments) {
        if (!ReadPageHeader(r)) {
            r.Failed = true;
            return false;
        }
    }
    r.SegmentLeft = r.Lacing[r.NextSegment++];
    r.PacketEnded = r.SegmentLeft < 255;
    return true;
}

// The first packet of the page that follows.
bool StartPacket(PacketReader& r)
{
    if (!ReadPageHeader(r))
        return false;
    r.SegmentLeft = 0;
    r.PacketEnded = false;
    r.Failed = false;
    return true;
}

// Reads (bytes not null) or skips count bytes of the packet; false when it ends first.
bool TakeBytes(PacketReader& r, unsigned char* bytes, std::uint64_t count)
{
    while (count > 0) {
        while (r.SegmentLeft == 0) {
            if (!NextSegment(r))
                return false;
        }
        unsigned step = static_cast<unsigned>(count < r.SegmentLeft ? count : r.SegmentLeft);
        if (bytes) {
            if (std::fread(bytes, 1, step, r.File) != step)
                return false;
            bytes += step;
        } else if (std::fseek(r.File, static_cast<long>(step), SEEK_CUR) != 0) {
            return false;
        }
        r.SegmentLeft -= step;
        count -= step;
    }
    return true;
}

bool SkipRestOfPacket(PacketReader& r)
{
    do {
        if (r.SegmentLeft > 0 && std::fseek(r.File, static_cast<long>(r.SegmentLeft), SEEK_CUR) != 0)
            return false;
        r.SegmentLeft = 0;
    } while (NextSegment(r));
    return !r.Failed;
}

bool TakeLittle32(PacketReader& r, std::uint32_t& value)
{
    unsigned char b[4];
    if (!TakeBytes(r, b, 4))
        return false;
    value = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
            static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    return true;
}

bool TakeHeaderStart(PacketReader& r, int type)
{
    unsigned char start[7];
    return TakeBytes(r, start, sizeof start) && start[0] == type && std::memcmp(start + 1, "vorbis", 6) == 0;
}

// Bits of the packet, lowest first. Past the packet's end the decoder reads zeros, and so
// does this; Ended tells.
struct BitReader {
    PacketReader* Packets;
    std::uint32_t Byte;
    int BitsLeft;
    bool Ended;
};

std::uint32_t TakeBits(BitReader& b, int count)
{
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
        if (b.BitsLeft == 0) {
            unsigned char byte = 0;
            if (!b.Ended && !TakeBytes(*b.Packets, &byte, 1))
                b.Ended = true;
            b.Byte = b.Ended ? 0 : byte;
            b.BitsLeft = 8;
        }
        value |= (b.Byte & 1u) << i;
        b.Byte >>= 1;
        --b.BitsLeft;
    }
    return value;
}

int BitsFor(std::uint32_t n)
{
    int bits = 0;
    while (n) {
        ++bits;
        n >>= 1;
    }
    return bits;
}

// The decoder's count of values for its first lookup type: the largest r whose power of
// the dimensions stays within the entries, worked out in single precision as the decoder
// does, so that this reader stays in step with it; -1 where the decoder refuses the count.
std::int64_t LookupOneValues(std::uint32_t entries, std::uint32_t dimensions)
{
    if (dimensions == 0 || entries == 0)
        return -1;
    // The decoder's own mix of precisions: the logarithm and the exponential in double,
    // the quotient in float, the powers of a float base in double.
    float quotient = static_cast<float>(std::log(static_cast<double>(static_cast<float>(entries)))) / static_cast<float>(dimensions);
    int r = static_cast<int>(std::floor(std::exp(static_cast<double>(quotient))));
    auto power = [dimensions](int base) { return std::pow(static_cast<double>(static_cast<float>(base)), static_cast<double>(dimensions)); };
    // Powers beyond any count of entries compare as such, without an integer overflow.
    auto floored = [](double v) { return v < 1e15 ? static_cast<std::int64_t>(std::floor(v)) : std::int64_t(1) << 50; };
    // The decoder turns this power into an int: where it does not fit, the file is refused
    // before the decoder's conversion goes wrong.
    if (power(r + 1) >= 2147483648.0)
        return -1;
    if (floored(power(r + 1)) <= entries)
        ++r;
    if (power(r + 1) <= entries)
        return -1;
    if (floored(power(r)) > entries)
        return -1;
    return r;
}

bool CommentHeaderIsSafe(PacketReader& r)
{
    std::uint32_t vendor = 0, comments = 0;
    if (!TakeHeaderStart(r, kCommentPacket) || !TakeLittle32(r, vendor) || vendor > kMostVendorBytes ||
        !TakeBytes(r, nullptr, vendor) || !TakeLittle32(r, comments) || comments > kMostComments)
        return false;
    for (std::uint32_t i = 0; i < comments; ++i) {
        std::uint32_t length = 0;
        if (!TakeLittle32(r, length) || length > kMostCommentBytes || !TakeBytes(r, nullptr, length))
            return false;
    }
    return true;
}

// The codeword lengths, read only to get past them.
void SkipCodewordLengths(BitReader& b, std::uint32_t entries)
{
    if (TakeBits(b, 1)) { // ordered
        std::uint32_t entry = 0;
        TakeBits(b, 5);
        for (int length = 1; entry < entries && length < 33 && !b.Ended; ++length)
            entry += TakeBits(b, BitsFor(entries - entry));
        return;
    }
    bool sparse = TakeBits(b, 1) != 0;
    for (std::uint32_t j = 0; j < entries && !b.Ended; ++j) {
        if (!sparse || TakeBits(b, 1))
            TakeBits(b, 5);
    }
}

// Each codebook's entries times dimensions within bounds, and its lookup values present.
bool CodebooksAreSafe(PacketReader& r)
{
    if (!TakeHeaderStart(r, kSetupPacket))
        return false;
    BitReader b = {&r, 0, 0, false};
    int count = static_cast<int>(TakeBits(b, 8)) + 1;
    for (int i = 0; i < count; ++i) {
        if (TakeBits(b, 24) != 0x564342)
            return false;
        std::uint32_t dimensions = TakeBits(b, 16), entries = TakeBits(b, 24);
        if (b.Ended || (dimensions == 0 && entries != 0) ||
            static_cast<std::uint64_t>(entries) * dimensions > kMostCodebookValues)
            return false;
        SkipCodewordLengths(b, entries);
        std::uint32_t lookup = TakeBits(b, 4);
        if (lookup > 2)
            return false;
        if (lookup > 0) {
            TakeBits(b, 32);
            TakeBits(b, 32);
            int valueBits = static_cast<int>(TakeBits(b, 4)) + 1;
            TakeBits(b, 1);
            std::int64_t values = lookup == 1 ? LookupOneValues(entries, dimensions)
                                              : static_cast<std::int64_t>(entries) * dimensions;
            if (values <= 0)
                return false;
            for (std::int64_t v = 0; v < values && !b.Ended; ++v)
                TakeBits(b, valueBits);
        }
        if (b.Ended)
            return false;
    }
    return true;
}

} // namespace

// The first page holds the identification header alone; the decoder checks that one fully.
bool VorbisHeadersAreSafe(std::FILE* file)
{
    if (std::fseek(file, 0, SEEK_SET) != 0)
        return false;
    PacketReader r = {};
    r.File = file;
    if (!ReadPageHeader(r))
        return false;
    long firstPayload = 0;
    for (int i = 0; i < r.Segments; ++i)
        firstPayload += r.Lacing[i];
    if (std::fseek(file, firstPayload, SEEK_CUR) != 0 || !StartPacket(r) || !CommentHeaderIsSafe(r))
        return false;
    // The setup header begins with the segment after the comment header's last one.
    if (!SkipRestOfPacket(r))
        return false;
    r.PacketEnded = false;
    return CodebooksAreSafe(r);
}
