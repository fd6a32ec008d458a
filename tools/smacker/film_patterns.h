// Synthetic pictures and sounds for test films.
#pragma once

#include "tools/smacker/smacker_encoder.h"

#include <cstdint>
#include <vector>

// A film of `count` frames at width x height whose pictures mix every kind of block: flat
// areas, two-colour patterns, 2x2 squares, doubled rows, noise and unchanged regions; the
// palette drifts from frame to frame.
std::vector<SmkEncodeFrame> MakeTestFrames(uint32_t width, uint32_t height, uint32_t count, uint32_t seed);

// A tone of `samples` sample frames in the given format.
SmkEncodeTrack MakeTone(uint32_t rate, int channels, int bits, bool compressed, size_t samples);
