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

// A 16x4 film of one frame without palette or sound, whose type tree uses the cache: leaves
// "0" a solid block of colour 0x55, "10" and "110" the first marker, of which only the last
// reads the cache's first cell ("10" is an ordinary leaf of value 0: a mono block of colour
// 0), "111" the second marker. The frame: "0", "0", "110", "111"; as a value that the first
// cell holds already does not move the cache on, its picture is 0x55 but for the last
// block's columns, 0.
std::vector<uint8_t> CacheMarkerFilm();
