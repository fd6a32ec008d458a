// Pictures as the artwork generator paints them: floating-point colour with straight alpha,
// coverage masks, and the 8-bit forms that the file writers take. Rows run top-down and a
// pixel's centre is at (x + 0.5, y + 0.5).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace art {

// sRGB components and opacity, each 0..1.
struct Colour {
    float r = 0, g = 0, b = 0, a = 1;
};

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Colour> pixels;

    Picture() = default;
    Picture(int w, int h, Colour fill = {0, 0, 0, 0}) : width(w), height(h), pixels(std::size_t(w) * h, fill) {}
    Colour& At(int x, int y) { return pixels[std::size_t(y) * width + x]; }
    const Colour& At(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
};

// Coverage or intensity, 0..1; reads outside the mask give 0.
struct Mask {
    int width = 0;
    int height = 0;
    std::vector<float> values;

    Mask() = default;
    Mask(int w, int h, float fill = 0) : width(w), height(h), values(std::size_t(w) * h, fill) {}
    float& At(int x, int y) { return values[std::size_t(y) * width + x]; }
    float At(int x, int y) const { return values[std::size_t(y) * width + x]; }
    float Get(int x, int y) const { return x < 0 || y < 0 || x >= width || y >= height ? 0.0f : At(x, y); }
};

struct Rgb8 {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb8&) const = default;
};

// A palette picture: one palette index a pixel.
struct IndexedPicture {
    int width = 0;
    int height = 0;
    std::vector<Rgb8> palette;
    std::vector<uint8_t> index;
};

// 8-bit red, green, blue, alpha a pixel.
struct Rgba8Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
};

// Rounds a 0..1 component to 0..255.
uint8_t ToByte(float v);

Rgba8Picture ToRgba8(const Picture& picture);

} // namespace art
