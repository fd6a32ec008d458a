// Films for the tests, made with our encoder.
#pragma once

#include "smacker/smacker_decoder.h"
#include "tools/smacker/smacker_encoder.h"

#include <cstdint>
#include <vector>

// A film of `count` frames at width x height whose pictures mix every kind of block: flat
// areas, two-colour patterns, 2x2 squares, doubled rows, noise and unchanged regions; the
// palette drifts from frame to frame.
std::vector<SmkEncodeFrame> MakeTestFrames(uint32_t width, uint32_t height, uint32_t count, uint32_t seed);

// A tone of `samples` sample frames in the given format.
SmkEncodeTrack MakeTone(uint32_t rate, int channels, int bits, bool compressed, size_t samples);

// Encodes and fails the current test on error.
std::vector<uint8_t> EncodeFilm(const SmkEncodeOptions& options, const std::vector<SmkEncodeFrame>& frames,
                                const std::vector<SmkEncodeTrack>& tracks = {});

// The minimal film of the format description's test vectors: 16x16, one frame, a palette
// chunk setting entry 0 to red, and four 8-bit samples 128, 130, 130, 127.
extern const std::vector<uint8_t> kMinimalFilm;
