#include "tests/crawl/crawl_test_support.h"

#include "crawl/crawl_text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <atomic>
#include <new>

namespace {

std::vector<std::string>* g_recording = nullptr;
std::atomic<bool> g_allocationsFail{false};

void* Allocate(std::size_t size)
{
    if (g_allocationsFail.load())
        return nullptr;
    return std::malloc(size ? size : 1);
}

void* AllocateOrThrow(std::size_t size)
{
    void* p = Allocate(size);
    if (!p)
        throw std::bad_alloc();
    return p;
}

void Record(const char* name)
{
    if (g_recording)
        g_recording->push_back(name);
}

} // namespace

TempFile::TempFile(const std::vector<std::uint8_t>& bytes)
{
    test::WriteBytes(path_, bytes);
}

TempFile::TempFile(const std::string& text) : TempFile(Bytes(text)) {}

std::vector<std::uint8_t> Bytes(const std::string& text)
{
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

ReadErrorRecorder::ReadErrorRecorder()
{
    g_recording = &names;
    g_reportReadError = Record;
}

ReadErrorRecorder::~ReadErrorRecorder()
{
    g_reportReadError = nullptr;
    g_recording = nullptr;
}

std::vector<std::uint8_t> Scanline(int lead, const std::vector<std::pair<int, int>>& runs, int width)
{
    std::vector<std::uint8_t> record(kScanlineBytes, 0);
    record[0] = static_cast<std::uint8_t>(lead);
    std::size_t at = 1;
    for (auto [ink, gap] : runs) {
        record[at++] = static_cast<std::uint8_t>(ink);
        record[at++] = static_cast<std::uint8_t>(gap);
    }
    record[at] = kScanlineEnd;
    record[kScanlineWidthByte] = static_cast<std::uint8_t>(width);
    return record;
}

std::vector<std::uint8_t> MakeFont(const std::vector<GlyphShape>& glyphs)
{
    std::vector<std::uint8_t> font(kGlyphFontBytes, 0);
    for (std::size_t code = 0; code < glyphs.size() && code < kGlyphCount; ++code) {
        for (int s = 0; s < kGlyphScanlines; ++s) {
            const std::vector<std::uint8_t>& record = glyphs[code].scanlines[s];
            std::memcpy(&font[code * kGlyphBytes + s * kScanlineBytes], record.data(), kScanlineBytes);
        }
    }
    return font;
}

GlyphShape RandomGlyph(std::mt19937& random, int width)
{
    GlyphShape glyph{width, {}};
    for (int s = 0; s < kGlyphScanlines; ++s) {
        // Cut the width into lead, runs and gaps at random points.
        int runCount = std::uniform_int_distribution<int>(0, std::min(kMaxInkRuns, width / 2))(random);
        std::vector<int> cuts;
        for (int i = 0; i < 2 * runCount; ++i)
            cuts.push_back(std::uniform_int_distribution<int>(0, width)(random));
        std::sort(cuts.begin(), cuts.end());
        std::vector<std::pair<int, int>> runs;
        int lead = runCount ? cuts[0] : width;
        for (int i = 0; i < runCount; ++i) {
            int start = cuts[2 * i], end = cuts[2 * i + 1];
            int next = i + 1 < runCount ? cuts[2 * i + 2] : width;
            runs.push_back({end - start, next - end});
        }
        glyph.scanlines.push_back(Scanline(lead, runs, width));
    }
    return glyph;
}

std::vector<std::uint8_t> RandomFont(std::mt19937& random, double brokenShare)
{
    std::vector<GlyphShape> glyphs;
    for (int code = 0; code < kGlyphCount; ++code) {
        int width = std::uniform_int_distribution<int>(1, kRunLengthLimit - 1)(random);
        glyphs.push_back(RandomGlyph(random, width));
    }
    std::vector<std::uint8_t> font = MakeFont(glyphs);
    std::uniform_real_distribution<double> chance(0, 1);
    std::uniform_int_distribution<int> byte(0, 255), position(0, kScanlineBytes - 2);
    for (int i = 0; i < kGlyphCount * kGlyphScanlines; ++i) {
        if (chance(random) < brokenShare)
            font[i * kScanlineBytes + position(random)] = static_cast<std::uint8_t>(byte(random));
    }
    return font;
}

FailingAllocations::FailingAllocations()
{
    g_allocationsFail = true;
}

FailingAllocations::~FailingAllocations()
{
    g_allocationsFail = false;
}

// The program's operator new and delete, so that FailingAllocations can make them fail (the
// array forms, left as they are, come to these or, under AddressSanitizer, pair with its own).
void* operator new(std::size_t size)
{
    return AllocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
