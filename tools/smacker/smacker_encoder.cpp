// The encoder works in two passes over the film: the first decides every frame's blocks and
// so the sequence of values each video tree will be asked for; the second builds the trees
// from those statistics (the trees are shared by all frames) and writes the records.
#include "tools/smacker/smacker_encoder.h"

#include "smacker/smacker_decoder.h"
#include "tools/little_endian.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

// --- bits ---------------------------------------------------------------------------------------

// Writes least significant bit first, as the decoder reads.
struct BitWriter {
    std::vector<uint8_t> Bytes;
    uint64_t Pending = 0;
    int Count = 0;

    void Put(uint32_t value, int n)
    {
        if (n == 0)
            return;
        Pending |= uint64_t(value & (0xFFFFFFFFu >> (32 - n))) << Count;
        Count += n;
        while (Count >= 8) {
            Bytes.push_back(uint8_t(Pending));
            Pending >>= 8;
            Count -= 8;
        }
    }
    void PutBit(uint32_t bit) { Put(bit & 1, 1); }
    void Align()
    {
        if (Count)
            Put(0, 8 - Count);
    }
};

// --- Huffman trees -----------------------------------------------------------------------------

struct Code {
    uint32_t Bits = 0; // first branch in bit 0
    int Length = -1;   // -1: the symbol has no leaf
};

struct HuffTree {
    struct Node {
        int Child[2] = {-1, -1};
        uint32_t Symbol = 0;
    };
    std::vector<Node> Nodes;
    int Root = -1;
};

// Builds a Huffman tree over the symbols with a non-zero count. Ties are broken by symbol
// and by age, so the result depends on nothing but the counts. Too deep trees are rebuilt
// from flattened counts until they fit maxDepth.
HuffTree BuildTree(const std::vector<std::pair<uint32_t, uint64_t>>& counts, int maxDepth)
{
    std::vector<std::pair<uint32_t, uint64_t>> work = counts;
    for (;;) {
        HuffTree tree;
        std::vector<std::pair<uint64_t, int>> leaves; // (count, node)
        std::sort(work.begin(), work.end(), [](auto& a, auto& b) { return a.first < b.first; });
        for (auto& [symbol, count] : work) {
            HuffTree::Node n;
            n.Symbol = symbol;
            tree.Nodes.push_back(n);
            leaves.push_back({count, int(tree.Nodes.size()) - 1});
        }
        std::stable_sort(leaves.begin(), leaves.end(), [](auto& a, auto& b) { return a.first < b.first; });
        if (leaves.empty())
            return tree;
        // Two queues: the sorted leaves and the merged nodes, which come out in order.
        std::vector<std::pair<uint64_t, int>> merged;
        size_t li = 0, mi = 0;
        auto take = [&]() {
            if (li < leaves.size() && (mi >= merged.size() || leaves[li].first <= merged[mi].first))
                return leaves[li++];
            return merged[mi++];
        };
        while ((leaves.size() - li) + (merged.size() - mi) > 1) {
            auto a = take();
            auto b = take();
            HuffTree::Node n;
            n.Child[0] = a.second;
            n.Child[1] = b.second;
            tree.Nodes.push_back(n);
            merged.push_back({a.first + b.first, int(tree.Nodes.size()) - 1});
        }
        tree.Root = take().second;

        int deepest = 0;
        std::function<void(int, int)> depth = [&](int node, int d) {
            const auto& n = tree.Nodes[node];
            if (n.Child[0] < 0) {
                deepest = std::max(deepest, d);
                return;
            }
            depth(n.Child[0], d + 1);
            depth(n.Child[1], d + 1);
        };
        depth(tree.Root, 0);
        if (deepest <= maxDepth)
            return tree;
        for (auto& [symbol, count] : work)
            count = (count + 1) / 2;
    }
}

void AssignCodes(const HuffTree& tree, int node, uint32_t bits, int length, std::vector<Code>& codes)
{
    const auto& n = tree.Nodes[node];
    if (n.Child[0] < 0) {
        codes[n.Symbol] = Code{bits, length};
        return;
    }
    AssignCodes(tree, n.Child[0], bits, length + 1, codes);
    AssignCodes(tree, n.Child[1], bits | (1u << length), length + 1, codes);
}

void WriteShape(const HuffTree& tree, int node, BitWriter& out, const std::function<void(uint32_t)>& leaf)
{
    const auto& n = tree.Nodes[node];
    if (n.Child[0] < 0) {
        out.PutBit(0);
        leaf(n.Symbol);
        return;
    }
    out.PutBit(1);
    WriteShape(tree, n.Child[0], out, leaf);
    WriteShape(tree, n.Child[1], out, leaf);
}

// A byte tree with its codes. Without any symbol it is a single leaf 0.
struct ByteTree {
    HuffTree Tree;
    std::vector<Code> Codes = std::vector<Code>(256);

    explicit ByteTree(const std::array<uint64_t, 256>& counts)
    {
        std::vector<std::pair<uint32_t, uint64_t>> list;
        for (uint32_t s = 0; s < 256; ++s)
            if (counts[s])
                list.push_back({s, counts[s]});
        if (list.empty())
            list.push_back({0, 1});
        Tree = BuildTree(list, 24);
        AssignCodes(Tree, Tree.Root, 0, 0, Codes);
    }
    void Write(BitWriter& out) const
    {
        out.PutBit(1);
        WriteShape(Tree, Tree.Root, out, [&](uint32_t s) { out.Put(s, 8); });
        out.PutBit(0);
    }
    void Put(BitWriter& out, uint32_t symbol) const { out.Put(Codes[symbol].Bits, Codes[symbol].Length); }
};

// --- video trees -------------------------------------------------------------------------------

// Leaf symbols of a video tree: the 16-bit values, and the three cache slots after them.
constexpr uint32_t kSlot = 0x10000;
constexpr uint32_t kSymbols = kSlot + 3;

// Follows a tree's cache exactly as the decoder keeps it, and picks for each value the leaf
// that codes it: a slot whose cell holds the value, or else the value's own leaf.
struct CacheModel {
    uint16_t Cell[3] = {0, 0, 0};
    bool Enabled;

    explicit CacheModel(bool enabled) : Enabled(enabled) {}
    uint32_t Choose(uint16_t v)
    {
        uint32_t symbol = v;
        if (Enabled) {
            for (uint32_t k = 0; k < 3; ++k) {
                if (Cell[k] == v) {
                    symbol = kSlot + k;
                    break;
                }
            }
        }
        if (v != Cell[0]) {
            Cell[2] = Cell[1];
            Cell[1] = Cell[0];
            Cell[0] = v;
        }
        return symbol;
    }
};

struct VideoTree {
    std::vector<uint64_t> Counts = std::vector<uint64_t>(kSymbols, 0);
    std::vector<Code> Codes = std::vector<Code>(kSymbols);
    HuffTree Tree;
    uint16_t Markers[3] = {};
    uint32_t Leaves = 0;

    void Build()
    {
        std::vector<std::pair<uint32_t, uint64_t>> list;
        std::vector<bool> used(0x10000, false);
        for (uint32_t s = 0; s < kSymbols; ++s) {
            if (Counts[s]) {
                list.push_back({s, Counts[s]});
                if (s < kSlot)
                    used[s] = true;
            }
        }
        if (list.empty())
            list.push_back({0, 1}); // a tree that no frame uses: one leaf of value 0
        // Markers must differ from every value that has a leaf of its own.
        uint32_t candidate = 0xFFFF;
        for (uint16_t& m : Markers) {
            while (used[candidate])
                --candidate;
            m = uint16_t(candidate--);
        }
        Tree = BuildTree(list, 32);
        Leaves = uint32_t(list.size());
        AssignCodes(Tree, Tree.Root, 0, 0, Codes);
    }
    uint16_t Transmitted(uint32_t symbol) const { return symbol >= kSlot ? Markers[symbol - kSlot] : uint16_t(symbol); }

    void Write(BitWriter& out) const
    {
        std::array<uint64_t, 256> lo{}, hi{};
        std::function<void(int)> gather = [&](int node) {
            const auto& n = Tree.Nodes[node];
            if (n.Child[0] < 0) {
                uint16_t v = Transmitted(n.Symbol);
                ++lo[v & 0xFF];
                ++hi[v >> 8];
                return;
            }
            gather(n.Child[0]);
            gather(n.Child[1]);
        };
        gather(Tree.Root);
        ByteTree loTree(lo), hiTree(hi);
        out.PutBit(1);
        loTree.Write(out);
        hiTree.Write(out);
        for (uint16_t m : Markers)
            out.Put(m, 16);
        WriteShape(Tree, Tree.Root, out, [&](uint32_t symbol) {
            uint16_t v = Transmitted(symbol);
            loTree.Put(out, v & 0xFF);
            hiTree.Put(out, v >> 8);
        });
        out.PutBit(0);
    }
    uint32_t SizeField() const { return 8 * Leaves + 8; }
};

// --- frame analysis ----------------------------------------------------------------------------

enum { kMono = 0, kFull = 1, kSkip = 2, kSolid = 3 };
enum { kTreeMMap = 0, kTreeMClr = 1, kTreeFull = 2, kTreeType = 3, kModeBits = 4 };
enum { kNormal = 0, kDouble = 1, kHalf = 2 };

// One lookup of a video tree (or, for kModeBits, the mode bits of an SMK4 full run).
inline uint32_t Op(uint32_t tree, uint32_t value) { return tree << 16 | value; }

struct Block {
    uint8_t P[16];
};

Block ReadBlock(const uint8_t* picture, uint32_t width, uint32_t bx, uint32_t by)
{
    Block b;
    for (uint32_t y = 0; y < 4; ++y)
        std::memcpy(b.P + 4 * y, picture + size_t(4 * by + y) * width + 4 * bx, 4);
    return b;
}

struct BlockChoice {
    int Kind;
    uint32_t Extra; // SOLID: the colour; FULL in SMK4: the mode
};

BlockChoice Classify(const Block& b, const Block& before, bool mayskip, bool smk4)
{
    if (mayskip && std::memcmp(b.P, before.P, 16) == 0)
        return {kSkip, 0};
    uint8_t first = b.P[0], second = b.P[0];
    bool two = true;
    for (uint8_t p : b.P) {
        if (p == first)
            continue;
        if (second == first)
            second = p;
        else if (p != second)
            two = false;
    }
    if (two && second == first)
        return {kSolid, first};
    if (two)
        return {kMono, 0};
    if (!smk4)
        return {kFull, kNormal};
    auto px = [&](int x, int y) { return b.P[4 * y + x]; };
    bool squares = true, rows = true;
    for (int h = 0; h < 2; ++h) {
        for (int x = 0; x < 4; ++x) {
            if (px(x, 2 * h) != px(x, 2 * h + 1))
                rows = squares = false;
        }
        if (px(0, 2 * h) != px(1, 2 * h) || px(2, 2 * h) != px(3, 2 * h))
            squares = false;
    }
    return {kFull, uint32_t(squares ? kDouble : rows ? kHalf : kNormal)};
}

void BlockOps(const Block& b, const BlockChoice& c, std::vector<uint32_t>& ops)
{
    auto pair = [&](int x, int y) { return uint32_t(b.P[4 * y + x]) | uint32_t(b.P[4 * y + x + 1]) << 8; };
    if (c.Kind == kMono) {
        uint8_t lo = b.P[0], hi = b.P[0];
        for (uint8_t p : b.P) {
            lo = std::min(lo, p);
            hi = std::max(hi, p);
        }
        uint32_t mask = 0;
        for (int i = 0; i < 16; ++i)
            if (b.P[i] == hi)
                mask |= 1u << i;
        ops.push_back(Op(kTreeMClr, uint32_t(lo) | uint32_t(hi) << 8));
        ops.push_back(Op(kTreeMMap, mask));
    } else if (c.Kind == kFull) {
        if (c.Extra == kDouble) {
            ops.push_back(Op(kTreeFull, uint32_t(b.P[0]) | uint32_t(b.P[2]) << 8));
            ops.push_back(Op(kTreeFull, uint32_t(b.P[8]) | uint32_t(b.P[10]) << 8));
        } else {
            for (int y = 0; y < 4; y += c.Extra == kHalf ? 2 : 1) {
                ops.push_back(Op(kTreeFull, pair(2, y)));
                ops.push_back(Op(kTreeFull, pair(0, y)));
            }
        }
    }
}

// The largest run index whose length does not exceed n (n >= 1).
int RunIndex(uint32_t n)
{
    int i = 63;
    while (kSmkRunLength[i] > n)
        --i;
    return i;
}

// The lookups that turn `before` into `picture`; afterwards `before` is `picture`.
std::vector<uint32_t> AnalyseFrame(const SmkEncodeOptions& o, const std::vector<uint8_t>& picture,
                                   std::vector<uint8_t>& before, bool keyframe)
{
    const uint32_t columns = o.Width / 4, rows = o.Height / 4;
    std::vector<Block> blocks;
    std::vector<BlockChoice> choices;
    blocks.reserve(size_t(columns) * rows);
    for (uint32_t by = 0; by < rows; ++by) {
        for (uint32_t bx = 0; bx < columns; ++bx) {
            Block b = ReadBlock(picture.data(), o.Width, bx, by);
            Block old = ReadBlock(before.data(), o.Width, bx, by);
            blocks.push_back(b);
            choices.push_back(Classify(b, old, !keyframe, o.Smk4));
        }
    }
    std::vector<uint32_t> ops;
    size_t i = 0;
    while (i < blocks.size()) {
        size_t end = i + 1;
        while (end < blocks.size() && choices[end].Kind == choices[i].Kind && choices[end].Extra == choices[i].Extra)
            ++end;
        while (i < end) {
            int index = RunIndex(uint32_t(end - i));
            uint32_t n = kSmkRunLength[index];
            const BlockChoice& c = choices[i];
            uint32_t type = uint32_t(c.Kind) | uint32_t(index) << 2 | (c.Kind == kSolid ? c.Extra << 8 : 0);
            ops.push_back(Op(kTreeType, type));
            if (c.Kind == kFull && o.Smk4)
                ops.push_back(Op(kModeBits, c.Extra));
            for (uint32_t k = 0; k < n; ++k)
                BlockOps(blocks[i + k], c, ops);
            i += n;
        }
    }
    before = picture;
    return ops;
}

// --- palettes ------------------------------------------------------------------------------------

// The palette chunk that turns `current` (6-bit components) into `target`, or nothing when
// they are equal and the chunk is not forced. Afterwards `current` is `target`.
std::vector<uint8_t> PaletteChunk(uint8_t* current, const uint8_t* target, bool force)
{
    if (!force && std::memcmp(current, target, 768) == 0)
        return {};
    auto same = [](const uint8_t* a, const uint8_t* b) { return std::memcmp(a, b, 3) == 0; };
    std::vector<uint8_t> cmd;
    int i = 0;
    while (i < 256) {
        if (same(current + 3 * i, target + 3 * i)) {
            int n = 1;
            while (i + n < 256 && n < 128 && same(current + 3 * (i + n), target + 3 * (i + n)))
                ++n;
            cmd.push_back(uint8_t(0x80 | (n - 1)));
            i += n;
            continue;
        }
        int best = 0, from = 0;
        for (int s = 0; s < 256; ++s) {
            int n = 0;
            while (n < 64 && i + n < 256 && s + n < 256 && same(current + 3 * (s + n), target + 3 * (i + n)))
                ++n;
            if (n > best)
                best = n, from = s;
        }
        if (best > 0) {
            cmd.push_back(uint8_t(0x40 | (best - 1)));
            cmd.push_back(uint8_t(from));
            i += best;
            continue;
        }
        cmd.insert(cmd.end(), target + 3 * i, target + 3 * i + 3);
        ++i;
    }
    std::memcpy(current, target, 768);
    std::vector<uint8_t> chunk;
    size_t words = (1 + cmd.size() + 3) / 4;
    chunk.push_back(uint8_t(words));
    chunk.insert(chunk.end(), cmd.begin(), cmd.end());
    chunk.resize(words * 4, 0);
    return chunk;
}

// --- audio ----------------------------------------------------------------------------------------

std::vector<uint8_t> CompressAudio(const SmkEncodeTrack& t, const uint8_t* data, size_t bytes)
{
    const int channels = t.Channels, width = t.Bits / 8;
    const size_t samples = bytes / width;
    auto sample = [&](size_t i) -> uint32_t {
        return width == 1 ? data[i] : uint32_t(data[2 * i]) | uint32_t(data[2 * i + 1]) << 8;
    };
    // Deltas of each channel, from its second sample on, as bytes per tree.
    const int treeCount = channels * width;
    std::vector<std::array<uint64_t, 256>> counts(treeCount, std::array<uint64_t, 256>{});
    std::vector<uint32_t> deltas(samples, 0);
    for (size_t i = size_t(channels); i < samples; ++i) {
        uint32_t d = (sample(i) - sample(i - channels)) & (width == 1 ? 0xFF : 0xFFFF);
        deltas[i] = d;
        int ch = int(i % channels);
        ++counts[ch * width][d & 0xFF];
        if (width == 2)
            ++counts[ch * width + 1][d >> 8];
    }
    std::vector<ByteTree> trees;
    for (auto& c : counts)
        trees.emplace_back(c);

    BitWriter out;
    out.PutBit(1);
    out.PutBit(channels == 2);
    out.PutBit(width == 2);
    for (const ByteTree& tree : trees)
        tree.Write(out);
    for (int ch = channels - 1; ch >= 0; --ch) {
        uint32_t v = sample(size_t(ch));
        if (width == 2)
            out.Put(v >> 8, 8);
        out.Put(v & 0xFF, 8);
    }
    for (size_t i = size_t(channels); i < samples; ++i) {
        int ch = int(i % channels);
        trees[ch * width].Put(out, deltas[i] & 0xFF);
        if (width == 2)
            trees[ch * width + 1].Put(out, deltas[i] >> 8);
    }
    out.Align();
    std::vector<uint8_t> chunk;
    PutLe32(chunk, uint32_t(8 + out.Bytes.size()));
    PutLe32(chunk, uint32_t(bytes));
    chunk.insert(chunk.end(), out.Bytes.begin(), out.Bytes.end());
    return chunk;
}

// Sample frames of a track that records 0 .. frames-1 carry: each record a frame's worth,
// the first record also the lead. The last boundary is the whole track.
std::vector<size_t> AudioBoundaries(const SmkEncodeOptions& o, const SmkEncodeTrack& t, size_t frames, size_t total)
{
    const int64_t duration = SmkFrameDuration(o.FrameRate); // 10-microsecond units
    const size_t lead = size_t(uint64_t(t.Rate) * o.AudioLeadMs / 1000);
    std::vector<size_t> at(frames + 1);
    at[0] = 0;
    for (size_t i = 1; i <= frames; ++i) {
        size_t due = size_t((uint64_t(t.Rate) * i * uint64_t(duration) + 50000) / 100000) + lead;
        at[i] = std::min(due, total);
    }
    at[frames] = total;
    // An 8-bit PCM chunk needs at least four bytes: a shorter one joins the next one, the
    // last one the one before it.
    if (!t.Compressed && t.Bits == 8) {
        const size_t least = 4 / size_t(t.Channels);
        auto shortChunk = [&](size_t i) { return at[i + 1] > at[i] && at[i + 1] - at[i] < least; };
        for (size_t i = 0; i + 1 < frames; ++i)
            if (shortChunk(i))
                at[i + 1] = at[i];
        if (frames > 1 && shortChunk(frames - 1))
            at[frames - 1] = at[frames - 2];
    }
    return at;
}

std::vector<uint8_t> AudioChunk(const SmkEncodeTrack& t, size_t first, size_t end)
{
    const size_t frameBytes = size_t(t.Channels * t.Bits / 8);
    const uint8_t* data = t.Samples.data() + first * frameBytes;
    size_t bytes = (end - first) * frameBytes;
    if (t.Compressed)
        return CompressAudio(t, data, bytes);
    std::vector<uint8_t> chunk;
    PutLe32(chunk, uint32_t(4 + bytes));
    chunk.insert(chunk.end(), data, data + bytes);
    return chunk;
}

bool CheckInput(const SmkEncodeOptions& o, const std::vector<SmkEncodeFrame>& frames,
                const std::vector<SmkEncodeTrack>& tracks, std::string& error)
{
    if (o.Width == 0 || o.Height == 0 || o.Width % 4 || o.Height % 4 || o.Width > kSmkMaxDimension ||
        o.Height > kSmkMaxDimension) {
        error = "width and height must be positive multiples of 4";
        return false;
    }
    if (frames.empty()) {
        error = "a film needs at least one frame";
        return false;
    }
    for (const SmkEncodeFrame& f : frames) {
        if (f.Pixels.size() != size_t(o.Width) * o.Height) {
            error = "a frame does not have width x height pixels";
            return false;
        }
    }
    if (tracks.size() > size_t(kSmkTracks)) {
        error = "at most 7 sound tracks";
        return false;
    }
    for (const SmkEncodeTrack& t : tracks) {
        if (t.Rate == 0 || t.Rate > kSmkRateMask || (t.Channels != 1 && t.Channels != 2) ||
            (t.Bits != 8 && t.Bits != 16) || t.Samples.size() % size_t(t.Channels * t.Bits / 8)) {
            error = "a sound track has an unusable format";
            return false;
        }
    }
    if (o.FrameRate > INT32_MAX / 100 || o.FrameRate == INT32_MIN) {
        error = "frame rate out of range";
        return false;
    }
    return true;
}

} // namespace

uint8_t SmkQuantize6(uint8_t value)
{
    struct Table {
        uint8_t Nearest[256];
        Table()
        {
            for (int v = 0; v < 256; ++v) {
                int best = 0;
                for (int i = 1; i < 64; ++i)
                    if (std::abs(SmkExpand6(i) - v) < std::abs(SmkExpand6(best) - v))
                        best = i;
                Nearest[v] = uint8_t(best);
            }
        }
    };
    static const Table table;
    return table.Nearest[value];
}

bool SmkEncode(const SmkEncodeOptions& o, const std::vector<SmkEncodeFrame>& frames,
               const std::vector<SmkEncodeTrack>& tracks, std::vector<uint8_t>& file, std::string& error)
{
    if (!CheckInput(o, frames, tracks, error))
        return false;
    const size_t frameCount = frames.size();
    const size_t records = frameCount + (o.RingFrame ? 1 : 0);

    // Pass 1: palettes and the lookups of every record.
    struct Record {
        std::vector<uint8_t> Palette;
        std::vector<uint32_t> Ops;
        bool Keyframe = false;
    };
    std::vector<Record> recs(records);
    std::vector<uint8_t> picture(size_t(o.Width) * o.Height, 0);
    uint8_t palette[768] = {};
    for (size_t r = 0; r < records; ++r) {
        const SmkEncodeFrame& f = frames[r < frameCount ? r : 0];
        uint8_t target[768];
        for (int i = 0; i < 768; ++i)
            target[i] = SmkQuantize6(f.Palette[i]);
        bool key = r == 0 || (r < frameCount && o.KeyframeInterval && r % o.KeyframeInterval == 0);
        recs[r].Keyframe = key;
        recs[r].Palette = PaletteChunk(palette, target, r == 0);
        recs[r].Ops = AnalyseFrame(o, f.Pixels, picture, key);
    }

    // Pass 2: the trees, from the values each will be asked for, chosen through its cache.
    VideoTree trees[4];
    for (const Record& rec : recs) {
        CacheModel caches[4] = {CacheModel(o.UseCache), CacheModel(o.UseCache), CacheModel(o.UseCache),
                                CacheModel(o.UseCache)};
        for (uint32_t op : rec.Ops)
            if ((op >> 16) < 4)
                ++trees[op >> 16].Counts[caches[op >> 16].Choose(uint16_t(op))];
    }
    BitWriter treeBits;
    for (VideoTree& t : trees) {
        t.Build();
        t.Write(treeBits);
    }
    treeBits.Align();

    // Records: palette chunk, sound chunks, video.
    std::vector<std::vector<size_t>> bounds;
    for (const SmkEncodeTrack& t : tracks)
        bounds.push_back(AudioBoundaries(o, t, frameCount, t.Samples.size() / size_t(t.Channels * t.Bits / 8)));
    uint32_t audioSize[kSmkTracks] = {};
    std::vector<uint8_t> body;
    std::vector<uint32_t> sizes(records);
    std::vector<uint8_t> types(records);
    for (size_t r = 0; r < records; ++r) {
        const Record& rec = recs[r];
        std::vector<uint8_t> out = rec.Palette;
        uint8_t type = rec.Palette.empty() ? 0 : 1;
        for (size_t k = 0; k < tracks.size() && r < frameCount; ++k) {
            if (bounds[k][r + 1] == bounds[k][r])
                continue;
            std::vector<uint8_t> chunk = AudioChunk(tracks[k], bounds[k][r], bounds[k][r + 1]);
            uint32_t decoded = uint32_t((bounds[k][r + 1] - bounds[k][r]) * size_t(tracks[k].Channels * tracks[k].Bits / 8));
            audioSize[k] = std::max(audioSize[k], decoded);
            out.insert(out.end(), chunk.begin(), chunk.end());
            type |= uint8_t(2 << k);
        }
        BitWriter video;
        CacheModel caches[4] = {CacheModel(o.UseCache), CacheModel(o.UseCache), CacheModel(o.UseCache),
                                CacheModel(o.UseCache)};
        for (uint32_t op : rec.Ops) {
            uint32_t tree = op >> 16, value = op & 0xFFFF;
            if (tree == kModeBits) {
                if (value == kDouble)
                    video.PutBit(1);
                else
                    video.Put(value == kHalf ? 2 : 0, 2); // 0 then 1 for HALF, 0 then 0 for NORMAL
                continue;
            }
            const Code& c = trees[tree].Codes[caches[tree].Choose(uint16_t(value))];
            video.Put(c.Bits, c.Length);
        }
        video.Align();
        if (video.Bytes.empty())
            video.Bytes.push_back(0); // a record without video data shows no picture
        out.insert(out.end(), video.Bytes.begin(), video.Bytes.end());
        out.resize((out.size() + 3) & ~size_t(3), 0);
        sizes[r] = uint32_t(out.size()) | (rec.Keyframe ? 1 : 0);
        types[r] = type;
        body.insert(body.end(), out.begin(), out.end());
    }

    // Header and tables.
    file.clear();
    PutLe32(file, o.Smk4 ? kSmkSignature4 : kSmkSignature2);
    PutLe32(file, o.Width);
    PutLe32(file, o.Height);
    PutLe32(file, uint32_t(frameCount));
    PutLe32(file, uint32_t(o.FrameRate));
    PutLe32(file, (o.RingFrame ? kSmkRingFrame : 0) | (o.DisplayFlags & (kSmkYInterlaced | kSmkYDoubled)));
    for (int k = 0; k < kSmkTracks; ++k)
        PutLe32(file, audioSize[k]);
    PutLe32(file, uint32_t(treeBits.Bytes.size()));
    for (const VideoTree& t : trees)
        PutLe32(file, t.SizeField());
    for (int k = 0; k < kSmkTracks; ++k) {
        uint32_t rate = 0;
        if (size_t(k) < tracks.size()) {
            const SmkEncodeTrack& t = tracks[size_t(k)];
            rate = t.Rate | kSmkAudioPresent | (t.Channels == 2 ? kSmkAudioStereo : 0) |
                   (t.Bits == 16 ? kSmkAudio16Bit : 0) | (t.Compressed ? kSmkAudioCompressed : 0);
        }
        PutLe32(file, rate);
    }
    PutLe32(file, 0);
    for (uint32_t s : sizes)
        PutLe32(file, s);
    file.insert(file.end(), types.begin(), types.end());
    file.insert(file.end(), treeBits.Bytes.begin(), treeBits.Bytes.end());
    file.insert(file.end(), body.begin(), body.end());
    return true;
}
