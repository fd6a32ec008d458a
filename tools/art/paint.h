// The painter's tools: deterministic noise, masks (blur, grow), signed-distance shapes with
// anti-aliased edges, and compositing of layers, moved, turned and scaled with supersampling.
#pragma once

#include "tools/art/picture.h"

#include <cstdint>
#include <functional>

namespace art {

float Clamp01(float v);
float Mix(float a, float b, float t);
Colour Mix(const Colour& a, const Colour& b, float t);
float SmoothStep(float edge0, float edge1, float x);
Colour Rgb(int r, int g, int b, float a = 1);

// Noise: the same arguments always give the same value, on every machine.
float Hash01(int x, int y, uint32_t seed);                   // 0..1 a lattice point
float ValueNoise(float x, float y, uint32_t seed);           // 0..1, smooth
float FractalNoise(float x, float y, int octaves, uint32_t seed); // 0..1, octaves halving in size

// Gaussian blur with the given standard deviation; the mask keeps its size.
Mask Blur(const Mask& mask, float sigma);
// Grows the mask by a round brush of the radius (the maximum under the brush).
Mask Grow(const Mask& mask, float radius);
// A copy moved by (dx, dy) whole pixels, inside the same bounds.
Mask Shift(const Mask& mask, int dx, int dy);

// Signed distances (negative inside) to shapes centred on the origin.
float RoundedBoxDistance(float x, float y, float halfWidth, float halfHeight, float radius);
float CircleDistance(float x, float y, float radius);
// Coverage of a pixel by a shape from its signed distance in pixels.
float EdgeCoverage(float distance);

// Paints a colour through a mask placed at (left, top), at the given opacity.
void PaintMask(Picture& target, const Mask& mask, int left, int top, const Colour& colour, float opacity = 1);
// The same with a colour chosen per target pixel.
void PaintMask(Picture& target, const Mask& mask, int left, int top, const std::function<Colour(int x, int y)>& colour,
               float opacity = 1);
// Multiplies the target's colour by (1 - strength * mask): shadows.
void Darken(Picture& target, const Mask& mask, int left, int top, float strength);
// Lays a layer with straight alpha over the target at (left, top).
void Over(Picture& target, const Picture& layer, int left, int top);

// Where a layer goes: its centre lands on (x, y) of the target, turned by `degrees`
// (clockwise on the screen) and scaled by `scale` target pixels a layer pixel.
struct Placement {
    float x = 0, y = 0;
    float degrees = 0;
    float scale = 1;
};
// The layer as a picture of the target's size, transparent around it, each pixel the mean
// of supersample x supersample bilinear samples.
Picture Transform(const Picture& layer, int width, int height, const Placement& placement, int supersample = 3);

Mask AlphaOf(const Picture& picture);

} // namespace art
