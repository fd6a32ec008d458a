// The decoder's bit reader and Huffman codes (internal to the decoder).
#pragma once

#include "smacker/smacker_decoder.h"

#include <bit>
#include <cstring>

// Reads a bitstream least significant bit first. It fetches 64-bit words at the current
// byte, so the buffer must be followed by kSmkSlack readable bytes; reading past Limit is
// harmless until the caller asks Overrun(), which it does at least once per block, per
// audio sample and per tree leaf, long before the slack could be used up.
struct SmkBits {
    const uint8_t* Data;
    uint64_t Position; // bits consumed
    uint64_t Limit;    // bits in the stream

    uint64_t Window() const
    {
        uint64_t word;
        std::memcpy(&word, Data + (Position >> 3), sizeof word);
        if constexpr (std::endian::native == std::endian::big) {
            uint64_t swapped = 0;
            for (int i = 0; i < 8; ++i)
                swapped = (swapped << 8) | ((word >> (8 * i)) & 0xFF);
            word = swapped;
        }
        return word >> (Position & 7);
    }
    // Up to 32 bits, the first-read bit in bit 0.
    uint32_t Read(int n)
    {
        uint32_t v = n ? uint32_t(Window() & (~0ull >> (64 - n))) : 0;
        Position += n;
        return v;
    }
    uint32_t ReadBit() { return Read(1); }
    bool Overrun() const { return Position > Limit; }
};

// The deepest codes that the two kinds of tree may have.
constexpr int kSmkByteTreeDepth = 27;
constexpr int kSmkBigTreeDepth = 500;
constexpr int kSmkMaxFastBits = 12;

// Walks on from an internal entry one bit at a time, for codes longer than the table. At
// the end of the stream it gives up: the reader is left past its limit.
inline uint32_t SmkWalk(const SmkCode& code, SmkBits& bits, uint32_t node)
{
    while (!(code.Nodes[node] & kSmkLeaf)) {
        if (bits.Position >= bits.Limit) {
            bits.Position = bits.Limit + 1;
            return 0;
        }
        node = bits.ReadBit() ? code.Nodes[node] : node + 1;
    }
    return code.Nodes[node] & ~kSmkLeaf;
}

// Fast-table entries: payload in the low 24 bits, bits consumed in bits 24-28, and bit 31
// set when the payload is an entry to walk on from.
constexpr uint32_t kSmkWalkOn = 0x80000000;

inline uint32_t SmkDecode(const SmkCode& code, SmkBits& bits)
{
    uint32_t e = code.Fast[uint32_t(bits.Window()) & ((1u << code.FastBits) - 1)];
    bits.Position += (e >> 24) & 31;
    if (e & kSmkWalkOn)
        return SmkWalk(code, bits, e & 0xFFFFFF);
    return e & 0xFFFFFF;
}

// Parses the pre-order shape of a tree (1: internal node, 0: leaf followed by what
// readLeaf reads) into code.Nodes, which has room for maxNodes entries, without recursion.
// readLeaf(bits) returns the leaf's payload, or a value with kSmkLeaf set to refuse it.
// Fails on too many entries, too deep leaves and running out of bits; on success
// code.NodeCount is set and *depth receives the depth of the deepest leaf.
template <class ReadLeaf>
bool SmkParseShape(SmkCode& code, uint32_t maxNodes, int maxDepth, SmkBits& bits, ReadLeaf readLeaf, int* deepest)
{
    struct Open {
        uint32_t Node;
        int Depth;
        bool OnSecond;
    };
    Open stack[kSmkBigTreeDepth + 1];
    int top = 0;
    int depth = 0;
    uint32_t count = 0;
    *deepest = 0;
    for (;;) {
        if (count >= maxNodes || bits.Position >= bits.Limit)
            return false;
        if (bits.ReadBit()) {
            if (depth >= maxDepth)
                return false;
            stack[top++] = {count, depth, false};
            code.Nodes[count++] = 0;
            ++depth;
            continue;
        }
        uint32_t payload = readLeaf(bits);
        if ((payload & kSmkLeaf) || bits.Overrun())
            return false;
        code.Nodes[count++] = kSmkLeaf | payload;
        if (depth > *deepest)
            *deepest = depth;
        while (top > 0 && stack[top - 1].OnSecond)
            --top;
        if (top == 0)
            break;
        stack[top - 1].OnSecond = true;
        code.Nodes[stack[top - 1].Node] = count;
        depth = stack[top - 1].Depth + 1;
    }
    code.NodeCount = count;
    return true;
}

// Fills code.Fast (room for 1 << kSmkMaxFastBits entries) for the parsed shape.
void SmkBuildFastTable(SmkCode& code, int deepest);

// A tree made of one leaf with the given payload: every decode reads no bit.
void SmkSingleLeaf(SmkCode& code, uint32_t payload);
