// Encoder of Smacker films: 8-bit frames with their palettes and optional PCM sound tracks
// in, an "SMK2" or "SMK4" file out. The video is lossless: each 4x4 block is skipped,
// filled, drawn from two colours or coded pixel by pair of pixels, whichever fits, with
// Huffman trees built from the whole film's statistics.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SmkEncodeFrame {
    std::vector<uint8_t> Pixels; // Width x Height palette indices
    uint8_t Palette[768] = {};   // 8-bit red, green, blue; stored with 6 bits a component
};

struct SmkEncodeTrack {
    uint32_t Rate = 0;     // samples per second
    int Channels = 1;      // 1 or 2
    int Bits = 8;          // 8 (unsigned) or 16 (signed, little-endian)
    bool Compressed = true;
    std::vector<uint8_t> Samples; // interleaved PCM of the whole film
};

struct SmkEncodeOptions {
    uint32_t Width = 0;
    uint32_t Height = 0;
    int32_t FrameRate = 100;  // header code: > 0 milliseconds, < 0 tens of microseconds
    bool Smk4 = false;        // also code 4x4 blocks made of 2x2 squares or of doubled rows
    bool RingFrame = false;   // append a record that turns the last picture back into frame 0
    uint32_t DisplayFlags = 0; // kSmkYInterlaced or kSmkYDoubled
    bool UseCache = true;     // code repeated values through the trees' cache leaves
    uint32_t KeyframeInterval = 0; // 0: only frame 0 is a keyframe
    // Sound sent ahead of the picture in the first record, so a player can fill its
    // buffer before the first frame is due (milliseconds).
    uint32_t AudioLeadMs = 0;
};

// Encodes the film. Returns false (with a message in error) for inconsistent input.
bool SmkEncode(const SmkEncodeOptions& options, const std::vector<SmkEncodeFrame>& frames,
               const std::vector<SmkEncodeTrack>& tracks, std::vector<uint8_t>& file, std::string& error);

// Nearest 6-bit palette component for an 8-bit one.
uint8_t SmkQuantize6(uint8_t value);
