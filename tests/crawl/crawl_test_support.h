// Helpers of the crawl's native tests: temporary files, synthetic glyph fonts, and a
// recorder for the loaders' read-error reports.
#pragma once

#include "tests/support/native_files.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

// A file in a fresh temporary folder, removed with the object.
class TempFile {
public:
    explicit TempFile(const std::vector<std::uint8_t>& bytes);
    explicit TempFile(const std::string& text);
    const char* path() const { return path_.c_str(); }

private:
    test::TempFolder folder_{"crawl-test"};
    std::string path_ = folder_.File("file");
};

std::vector<std::uint8_t> Bytes(const std::string& text);

// Collects the file names that the loaders report while it lives.
class ReadErrorRecorder {
public:
    ReadErrorRecorder();
    ~ReadErrorRecorder();
    std::vector<std::string> names;
};

// While it lives, every allocation through operator new fails (the throwing forms throw
// std::bad_alloc, the others answer null): memory running out at the worst moment.
class FailingAllocations {
public:
    FailingAllocations();
    ~FailingAllocations();
    FailingAllocations(const FailingAllocations&) = delete;
    FailingAllocations& operator=(const FailingAllocations&) = delete;
};

// A sound font: every glyph of width widthOf(code) with the given scanline shape. Glyph
// codes 0 to 31 stay empty records of width 0.
struct GlyphShape {
    int width;
    std::vector<std::vector<std::uint8_t>> scanlines; // 27 records of 16 bytes
};
std::vector<std::uint8_t> MakeFont(const std::vector<GlyphShape>& glyphs);

// A scanline record: lead, then (ink, gap) pairs, the terminator, the width in byte 15.
std::vector<std::uint8_t> Scanline(int lead, const std::vector<std::pair<int, int>>& runs, int width);

// A glyph of the given width with random runs in every scanline, meeting every invariant.
GlyphShape RandomGlyph(std::mt19937& random, int width);

// A font of random sound glyphs (widths 1 to 31), some records broken on purpose when
// brokenShare is above 0.
std::vector<std::uint8_t> RandomFont(std::mt19937& random, double brokenShare);
