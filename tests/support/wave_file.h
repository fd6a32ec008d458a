// Wave files of a test's own making, shared by the native and the Windows tests of the music.
#pragma once

#include "tools/little_endian.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace test {

inline void PutTag(std::vector<std::uint8_t>& out, const char* tag)
{
    out.insert(out.end(), tag, tag + 4);
}

// A Wave file's layout: PCM by default, or the format tag given, in the extensible form
// when asked; a data chunk declared at another size, and chunks before it, as tools write them.
struct WaveSpec {
    int Channels = 2;
    std::uint32_t Rate = 44100;
    int Bits = 16;
    std::uint8_t Tag = 1;
    bool Extensible = false;
    std::uint32_t DeclaredData = 0;   // 0: the data's real size
    std::vector<std::uint8_t> Before = {}; // chunks between the format and the data
};

inline WaveSpec Spec(int channels, std::uint32_t rate, int bits)
{
    WaveSpec spec;
    spec.Channels = channels;
    spec.Rate = rate;
    spec.Bits = bits;
    return spec;
}

// A Wave file around the given raw PCM bytes.
inline std::vector<std::uint8_t> MakeWave(const WaveSpec& spec, const std::vector<std::uint8_t>& pcm)
{
    std::vector<std::uint8_t> out;
    PutTag(out, "RIFF");
    PutLe32(out, 0); // patched below
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    PutLe32(out, spec.Extensible ? 40 : 16);
    PutLe16(out, spec.Extensible ? 0xFFFE : spec.Tag);
    PutLe16(out, spec.Channels);
    PutLe32(out, spec.Rate);
    int block = spec.Channels * spec.Bits / 8;
    PutLe32(out, spec.Rate * block);
    PutLe16(out, block);
    PutLe16(out, spec.Bits);
    if (spec.Extensible) {
        PutLe16(out, 22);
        PutLe16(out, spec.Bits);
        PutLe32(out, spec.Channels == 2 ? 3 : 4);
        const std::uint8_t guid[16] = {spec.Tag, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        out.insert(out.end(), guid, guid + 16);
    }
    out.insert(out.end(), spec.Before.begin(), spec.Before.end());
    PutTag(out, "data");
    PutLe32(out, spec.DeclaredData ? spec.DeclaredData : std::uint32_t(pcm.size()));
    out.insert(out.end(), pcm.begin(), pcm.end());
    std::uint32_t riff = std::uint32_t(out.size() - 8);
    std::memcpy(out.data() + 4, &riff, 4);
    return out;
}

} // namespace test
