// Files the film tools read and write: PNG pictures, WAV sound, raw frames and palettes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes width x height palette indices as an RGB PNG through the 768-byte palette.
bool WritePalettePng(const std::string& path, const uint8_t* pixels, uint32_t width, uint32_t height,
                     const uint8_t* palette);

bool WriteFileBytes(const std::string& path, const void* data, size_t size);
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& data);

struct WavSound {
    uint32_t Rate = 0;
    int Channels = 0;
    int Bits = 0;
    std::vector<uint8_t> Samples; // interleaved; 8-bit unsigned, 16-bit signed little-endian
};
bool WriteWav(const std::string& path, const WavSound& sound);
bool ReadWav(const std::string& path, WavSound& sound);

// "DIR/frame-00012.ext"
std::string FramePath(const std::string& dir, uint32_t frame, const char* extension);
