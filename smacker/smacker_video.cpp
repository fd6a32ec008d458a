// The video codec: runs of 4x4 blocks, each skipped, filled with one colour, drawn from two
// colours and a mask, or given pixel by pixel; and the copy of the picture into a display
// buffer.
#include "smacker/smacker_decoder.h"

#include "smacker/smacker_bits.h"

#include <algorithm>

namespace {

enum BlockKind { kMono = 0, kFull = 1, kSkip = 2, kSolid = 3 };

// Four pixels of a row as one 32-bit word in memory order.
constexpr uint32_t Row(uint32_t p0, uint32_t p1, uint32_t p2, uint32_t p3)
{
    if constexpr (std::endian::native == std::endian::little)
        return p0 | p1 << 8 | p2 << 16 | p3 << 24;
    else
        return p3 | p2 << 8 | p1 << 16 | p0 << 24;
}

// For each 4-bit slice of a mono block's mask, the bytes whose pixels take the second colour.
struct NibbleMasks {
    uint32_t Mask[16];
    constexpr NibbleMasks() : Mask()
    {
        for (uint32_t n = 0; n < 16; ++n)
            Mask[n] = Row(n & 1 ? 0xFF : 0, n & 2 ? 0xFF : 0, n & 4 ? 0xFF : 0, n & 8 ? 0xFF : 0);
    }
};
constexpr NibbleMasks kNibble;

inline void Put(uint8_t* p, uint32_t row) { std::memcpy(p, &row, 4); }

// A video tree during one frame: every lookup goes through the cache rule, so that a marker
// leaf yields the value its cache cell holds at that moment.
struct Tree {
    const SmkCode* Code;
    uint16_t* Values;
    uint16_t* Cache;

    explicit Tree(SmkBigTree& t) : Code(&t.Code), Values(t.Values.data()), Cache(t.Values.data() + t.Cache)
    {
        Cache[0] = Cache[1] = Cache[2] = 0;
    }
    uint32_t Lookup(SmkBits& bits) const
    {
        uint16_t v = Values[SmkDecode(*Code, bits)];
        if (v != Cache[0]) {
            Cache[2] = Cache[1];
            Cache[1] = Cache[0];
            Cache[0] = v;
        }
        return v;
    }
};

enum FullMode { kNormal, kDouble, kHalf };

// The block cursor: block rows top to bottom, blocks left to right.
struct Cursor {
    uint8_t* Row;
    uint32_t Column;
    uint32_t Columns;
    size_t Pitch;
    uint8_t* Block() const { return Row + 4 * size_t(Column); }
    void Next()
    {
        if (++Column == Columns) {
            Column = 0;
            Row += 4 * Pitch;
        }
    }
    void Skip(uint32_t n)
    {
        Column += n;
        Row += 4 * Pitch * (Column / Columns);
        Column %= Columns;
    }
};

bool DrawMono(Cursor& at, uint32_t n, const Tree& colours, const Tree& masks, SmkBits& bits)
{
    for (; n > 0; --n, at.Next()) {
        uint32_t pair = colours.Lookup(bits);
        uint32_t mask = masks.Lookup(bits);
        if (bits.Overrun())
            return false;
        uint32_t lo = (pair & 0xFF) * 0x01010101u;
        uint32_t flip = lo ^ ((pair >> 8) * 0x01010101u);
        uint8_t* p = at.Block();
        for (int y = 0; y < 4; ++y, mask >>= 4, p += at.Pitch)
            Put(p, lo ^ (flip & kNibble.Mask[mask & 15]));
    }
    return true;
}

bool DrawFull(Cursor& at, uint32_t n, FullMode mode, const Tree& full, SmkBits& bits)
{
    for (; n > 0; --n, at.Next()) {
        uint8_t* p = at.Block();
        uint32_t rows[4];
        if (mode == kNormal) {
            for (uint32_t& r : rows) {
                uint32_t right = full.Lookup(bits);
                uint32_t left = full.Lookup(bits);
                r = Row(left & 0xFF, left >> 8, right & 0xFF, right >> 8);
            }
        } else if (mode == kDouble) {
            for (int h = 0; h < 2; ++h) {
                uint32_t v = full.Lookup(bits);
                rows[2 * h] = rows[2 * h + 1] = Row(v & 0xFF, v & 0xFF, v >> 8, v >> 8);
            }
        } else {
            for (int h = 0; h < 2; ++h) {
                uint32_t right = full.Lookup(bits);
                uint32_t left = full.Lookup(bits);
                rows[2 * h] = rows[2 * h + 1] = Row(left & 0xFF, left >> 8, right & 0xFF, right >> 8);
            }
        }
        if (bits.Overrun())
            return false;
        for (uint32_t r : rows) {
            Put(p, r);
            p += at.Pitch;
        }
    }
    return true;
}

void DrawSolid(Cursor& at, uint32_t n, uint32_t colour)
{
    const uint32_t row = colour * 0x01010101u;
    for (; n > 0; --n, at.Next()) {
        uint8_t* p = at.Block();
        for (int y = 0; y < 4; ++y, p += at.Pitch)
            Put(p, row);
    }
}

FullMode ReadFullMode(SmkBits& bits)
{
    if (bits.ReadBit())
        return kDouble;
    return bits.ReadBit() ? kHalf : kNormal;
}

// --- display copy ------------------------------------------------------------------------------

// The palette as 16-bit colours of the target's pixel format.
void MakeColours(const uint8_t* palette, uint32_t blitFlags, uint16_t* colours)
{
    for (int i = 0; i < 256; ++i) {
        uint32_t r = palette[3 * i], g = palette[3 * i + 1], b = palette[3 * i + 2];
        uint32_t c;
        switch (blitFlags) {
        case kSmkBlit555:
            c = (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
            break;
        case kSmkBlit556:
            c = (r >> 3) << 11 | (g >> 3) << 6 | b >> 2;
            break;
        case kSmkBlit655:
            c = (r >> 2) << 10 | (g >> 3) << 5 | b >> 3;
            break;
        default: // 5-6-5
            c = (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
            break;
        }
        colours[i] = uint16_t(c);
    }
}

} // namespace

const uint16_t kSmkRunLength[64] = {
    1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,  13,  14,  15,   16,
    17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28,  29,  30,  31,   32,
    33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44,  45,  46,  47,   48,
    49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 128, 256, 512, 1024, 2048,
};

bool SmkDecodeVideo(SmkFilm& film)
{
    if (!film.VideoPending)
        return false;
    film.VideoPending = false;
    const SmkHeader& h = film.Header;
    SmkBits bits{film.Record.get() + film.VideoOffset, 0, uint64_t(film.VideoLength) * 8};
    const Tree masks(film.Trees[kSmkMMap]);
    const Tree colours(film.Trees[kSmkMClr]);
    const Tree full(film.Trees[kSmkFull]);
    const Tree types(film.Trees[kSmkType]);

    const uint32_t columns = h.Width / 4;
    const uint32_t blocks = columns * (h.Height / 4);
    Cursor at{film.Picture.data(), 0, columns, h.Width};
    uint32_t b = 0;
    while (b < blocks) {
        uint32_t t = types.Lookup(bits);
        if (bits.Overrun())
            return false;
        uint32_t n = std::min<uint32_t>(kSmkRunLength[(t >> 2) & 63], blocks - b);
        b += n;
        switch (t & 3) {
        case kMono:
            if (!DrawMono(at, n, colours, masks, bits))
                return false;
            break;
        case kFull: {
            FullMode mode = film.Smk4 ? ReadFullMode(bits) : kNormal;
            if (!DrawFull(at, n, mode, full, bits))
                return false;
            break;
        }
        case kSkip:
            at.Skip(n);
            break;
        case kSolid:
            DrawSolid(at, n, t >> 8);
            break;
        }
    }
    return true;
}

void SmkBlit(const SmkFilm& film, const SmkTarget& target)
{
    const SmkHeader& h = film.Header;
    if (!target.Pixels || film.Picture.empty())
        return;
    const bool wide = target.BlitFlags != kSmkBlit8Bit;
    const size_t width = std::min(h.Width, target.Columns);
    const uint32_t shown = std::min(SmkDisplayHeight(h), target.Rows);
    const bool doubled = h.Flags & kSmkYDoubled;
    const bool interlaced = !doubled && (h.Flags & kSmkYInterlaced);
    uint16_t colours[256];
    if (wide)
        MakeColours(film.Palette, target.BlitFlags, colours);

    uint8_t* out = target.Pixels;
    for (uint32_t y = 0; y < shown; ++y, out += target.Pitch) {
        uint32_t source = (doubled || interlaced) ? y / 2 : y;
        const uint8_t* in = film.Picture.data() + size_t(source) * h.Width;
        bool blank = interlaced && (y & 1);
        if (!wide) {
            if (blank)
                std::memset(out, 0, width);
            else
                std::memcpy(out, in, width);
            continue;
        }
        for (size_t x = 0; x < width; ++x) {
            uint16_t c = blank ? 0 : colours[in[x]];
            std::memcpy(out + 2 * x, &c, 2);
        }
    }
}
