// 64-bit file positions on 32-bit POSIX hosts too.
#define _FILE_OFFSET_BITS 64

#include "crawl/crawl_text.h"

#include <algorithm>
#include <cstdio>
#include <new>

CrawlText g_crawlText;
std::uint8_t g_glyphFont[kGlyphFontBytes];
void (*g_reportReadError)(const char* fileName) = nullptr;
static std::uint32_t g_textGeneration;

namespace {

constexpr unsigned char kLineFeed = 10;
constexpr unsigned char kFirstPrintable = 32;
constexpr std::size_t kReadChunk = 4096;

void ReportReadError(const char* fileName)
{
    if (g_reportReadError)
        g_reportReadError(fileName);
}

// The file's length, or -1 when it cannot be told (a stream that cannot seek). Measured in
// 64 bits: the `long` of fseek and ftell is 32 bits on Windows, also in x86-64 builds.
std::int64_t FileLength(std::FILE* file)
{
#if defined(_WIN32)
    if (_fseeki64(file, 0, SEEK_END) != 0)
        return -1;
    std::int64_t length = _ftelli64(file);
    if (_fseeki64(file, 0, SEEK_SET) != 0)
        return -1;
#else
    if (fseeko(file, 0, SEEK_END) != 0)
        return -1;
    std::int64_t length = ftello(file);
    if (fseeko(file, 0, SEEK_SET) != 0)
        return -1;
#endif
    return length;
}

// Turns the file's bytes into lines, each byte taken once, in order. Stops at the end of
// the file, at a read error (the complete lines so far stay), at the line table's capacity,
// and when the buffer is full (a file longer than a text may be, or one that grew after it
// was measured), so the buffer is never overrun. Returns false after a read error.
bool ReadLines(std::FILE* file, std::int64_t capacity, std::int32_t& lineCount, int& nextEntry)
{
    CrawlText& text = g_crawlText;
    unsigned char chunk[kReadChunk];
    std::int64_t position = 0;
    for (;;) {
        std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
        for (std::size_t i = 0; i < got; ++i) {
            unsigned char c = chunk[i];
            if (c != kLineFeed && c < kFirstPrintable)
                continue;
            if (position == capacity)
                return true;
            if (c != kLineFeed) {
                text.Buffer[position++] = static_cast<char>(c);
                continue;
            }
            text.Buffer[position++] = '\0';
            text.LineStart[nextEntry++] = static_cast<std::int32_t>(position);
            if (++lineCount == kMaxCrawlLines)
                return true;
        }
        if (got < sizeof chunk)
            return !std::ferror(file);
    }
}

} // namespace

std::int32_t LoadCrawlText(const char* fileName)
{
    FreeCrawlText();
    CrawlText& text = g_crawlText;
    text.LineStart[0] = 0;

    std::FILE* file = std::fopen(fileName, "rb");
    std::int64_t length = file ? FileLength(file) : -1;
    // Lines start at 32-bit offsets: a longer file is kept up to the last byte they reach.
    std::int64_t capacity = std::min(length, kMaxCrawlTextBytes);
    if (capacity >= 0 && static_cast<std::uint64_t>(capacity) <= SIZE_MAX)
        text.Buffer = new (std::nothrow) char[static_cast<std::size_t>(capacity)];
    if (!text.Buffer) {
        // Not opened, not measurable or too big to hold: the crawl runs as long as one
        // line would, and shows nothing.
        if (file)
            std::fclose(file);
        ReportReadError(fileName);
        return 1;
    }

    text.LineStart[1] = 0;
    std::int32_t lineCount = 0;
    int nextEntry = 2;
    if (!ReadLines(file, capacity, lineCount, nextEntry))
        ReportReadError(fileName);
    text.LineLimit = nextEntry - 1;
    std::fclose(file);
    return lineCount;
}

std::uint32_t CrawlTextGeneration()
{
    return g_textGeneration;
}

void FreeCrawlText()
{
    ++g_textGeneration;
    delete[] g_crawlText.Buffer;
    g_crawlText.Buffer = nullptr;
    g_crawlText.LineLimit = 0;
}

std::int32_t LoadGlyphFont(const char* fileName)
{
    std::FILE* file = std::fopen(fileName, "rb");
    if (!file)
        return 1;
    if (std::fread(g_glyphFont, 1, sizeof g_glyphFont, file) < sizeof g_glyphFont)
        ReportReadError(fileName);
    std::fclose(file);
    return 0;
}

bool ScanlineDrawable(const std::uint8_t* record)
{
    if (record[0] >= kRunLengthLimit)
        return false;
    for (int i = 1; i <= kLastTerminatorByte; i += 2) {
        if (record[i] == kScanlineEnd)
            return true;
        if (record[i] >= kRunLengthLimit || record[i + 1] >= kRunLengthLimit)
            return false;
    }
    return false;
}
