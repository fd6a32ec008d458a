// Reduction of a painted picture to a palette of at most 256 colours: a variance-minimising
// median cut refined by a few k-means rounds, then serpentine Floyd-Steinberg dithering.
// Error diffusion rather than an ordered pattern, because the launcher stretches its
// pictures: a regular pattern would beat against the stretch into moire, noise does not.
#pragma once

#include "tools/art/picture.h"

#include <vector>

namespace art {

// Distance between colours as the quantiser sees it: green weighs most, blue least.
float ColourDistance(float r1, float g1, float b1, float r2, float g2, float b2);

// At most maxColours colours (1..256) for the opaque pixels of the picture (alpha at least
// one half), ordered from dark to light. A picture with no more distinct colours than that
// gets exactly its own colours. No opaque pixel: one black entry.
std::vector<Rgb8> MakePalette(const Picture& picture, int maxColours);

// The palette entry nearest to a colour of 0..255 components.
int NearestColour(const std::vector<Rgb8>& palette, float r, float g, float b);

// Maps every pixel to the palette, diffusing each opaque pixel's error to its opaque
// neighbours, scaled by strength (0: plain nearest colour, 1: full diffusion).
IndexedPicture Dither(const Picture& picture, const std::vector<Rgb8>& palette, float strength);

} // namespace art
