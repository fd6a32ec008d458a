// Synthetic pictures and sounds for test films.
#include "tools/smacker/film_patterns.h"

#include "smacker/smacker_decoder.h"

#include <cmath>

namespace {

uint32_t Next(uint32_t& state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

} // namespace

std::vector<SmkEncodeFrame> MakeTestFrames(uint32_t width, uint32_t height, uint32_t count, uint32_t seed)
{
    std::vector<SmkEncodeFrame> frames(count);
    uint32_t state = seed;
    for (uint32_t f = 0; f < count; ++f) {
        SmkEncodeFrame& frame = frames[f];
        frame.Pixels.assign(size_t(width) * height, 0);
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                uint8_t& p = frame.Pixels[size_t(y) * width + x];
                uint32_t band = (y / 8) % 6;
                uint32_t shift = x + f * 4; // the picture slides, so runs of skipped blocks appear too
                if (y >= height / 2 && x < width / 2)
                    p = uint8_t(10 + (y * 7 + x * 3) % 20); // unchanged region
                else if (band == 0)
                    p = uint8_t(40 + f % 5);                                  // solid
                else if (band == 1)
                    p = ((shift / 2 + y) & 1) ? 60 : 61;                      // two colours
                else if (band == 2)
                    p = uint8_t(80 + ((shift / 2) * 3 + (y / 2) * 5) % 17);   // 2x2 squares
                else if (band == 3)
                    p = uint8_t(100 + (shift * 7 + (y / 2) * 11) % 23);       // doubled rows
                else if (band == 4)
                    p = uint8_t(130 + Next(state) % 40);                      // noise
                else
                    p = uint8_t(200 + (shift + y) % 30);                      // gradients
            }
        }
        for (int i = 0; i < 256; ++i) {
            frame.Palette[3 * i] = SmkExpand6((i + f) % 64);
            frame.Palette[3 * i + 1] = SmkExpand6((i * 3) % 64);
            frame.Palette[3 * i + 2] = SmkExpand6((i * 5 + (f % 3 == 2 ? 7 : 0)) % 64);
        }
    }
    return frames;
}

SmkEncodeTrack MakeTone(uint32_t rate, int channels, int bits, bool compressed, size_t samples)
{
    SmkEncodeTrack t;
    t.Rate = rate;
    t.Channels = channels;
    t.Bits = bits;
    t.Compressed = compressed;
    for (size_t i = 0; i < samples; ++i) {
        for (int ch = 0; ch < channels; ++ch) {
            double v = std::sin(double(i) * (0.05 + 0.03 * ch)) * 0.6 + std::sin(double(i) * 0.31) * 0.2;
            if (bits == 8) {
                t.Samples.push_back(uint8_t(128 + int(v * 120)));
            } else {
                int16_t s = int16_t(v * 30000);
                t.Samples.push_back(uint8_t(s & 0xFF));
                t.Samples.push_back(uint8_t((s >> 8) & 0xFF));
            }
        }
    }
    return t;
}
