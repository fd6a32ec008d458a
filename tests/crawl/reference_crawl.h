// A second, deliberately plain rendering of crawl frames, written from the rules alone and
// sharing no code with the crawl: the tests hold the crawl's frames against it pixel for
// pixel. It favours obviousness over speed (every pixel is plotted on its own, every depth
// summed afresh).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace reference {

struct Inputs {
    std::vector<std::uint8_t> textFile;   // the bytes of "intro.txt"
    std::vector<std::uint8_t> fontFile;   // the bytes of "ALPHABET.DAT", possibly short or long
    std::vector<std::uint8_t> fontBefore; // the glyph table before the font was read; empty: all zero
    std::vector<std::uint8_t> palette;    // 768 bytes, red, green, blue per entry
    std::vector<std::uint8_t> background; // width x height indices
    int width = 640;                      // 640 or 320; the height is three quarters of it
};

struct Row {
    std::int64_t left;  // 16.16 pixels
    std::int64_t unit;  // 16.16 pixels per glyph unit
    std::int64_t depth; // 16.16 text units
    std::uint8_t highlight, shadow, body, strongEdge, weakEdge;
};

// Everything that does not depend on the scroll position.
struct Scene {
    int width = 0, height = 0, top = 0, end = 0;
    std::vector<std::string> lines; // the shown lines, line 1 first
    std::vector<std::uint8_t> font; // 110,592 bytes
    std::vector<Row> rows;          // indexed by screen row; rows top to end - 1 are drawn
    std::vector<std::uint8_t> background;
};

Scene Prepare(const Inputs& inputs);

// The frame at the scroll position: the background with the text drawn over it.
std::vector<std::uint8_t> Draw(const Scene& scene, std::int32_t scroll);

} // namespace reference
