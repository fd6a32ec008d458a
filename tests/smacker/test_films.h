// Films for the tests, made with our encoder.
#pragma once

#include "smacker/smacker_decoder.h"
#include "tools/smacker/film_patterns.h"
#include "tools/smacker/smacker_encoder.h"

#include <cstdint>
#include <vector>

// Options for a film of width x height at 10 frames a second, everything else as default.
SmkEncodeOptions FilmOptions(uint32_t width, uint32_t height);

// Encodes and fails the current test on error.
std::vector<uint8_t> EncodeFilm(const SmkEncodeOptions& options, const std::vector<SmkEncodeFrame>& frames,
                                const std::vector<SmkEncodeTrack>& tracks = {});

// The minimal film of the format description's test vectors: 16x16, one frame, a palette
// chunk setting entry 0 to red, and four 8-bit samples 128, 130, 130, 127.
extern const std::vector<uint8_t> kMinimalFilm;
