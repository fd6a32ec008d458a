// crawlview: renders frames of the credits crawl on the host with the crawl's own code.
//
//   crawlview --text FILE --font FILE --width 640|320 --scroll N
//             [--palette FILE] [--background FILE] (--raw OUT | --png OUT)
//   crawlview --text FILE --font FILE --width 640|320 --frames A:B:STEP --png-dir DIR
//             [--palette FILE] [--background FILE]
//
// A palette file is 768 bytes, red, green and blue of each entry (default: entry i is the
// grey of level i); a background is width x height raw 8-bit indices (default all 0). --raw
// writes the frame as width x height raw indices, --png as an indexed PNG. --frames renders
// the scroll positions A, A + STEP, ... up to B into DIR/frame-NNNNN.png.
#include "crawl/crawl_renderer.h"
#include "crawl/crawl_text.h"

#include <png.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kPaletteFileBytes = 3 * kPaletteEntries;

struct Options {
    std::string text, font, palette, background, raw, png, pngDir;
    int width = 0;
    long scroll = 0;
    bool haveScroll = false;
    long first = 0, last = 0, step = 1;
    bool haveFrames = false;
};

struct Screen {
    int width, height;
    DisplayColour palette[kPaletteEntries];
    std::vector<std::uint8_t> background, frame;
};

bool ReadWhole(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    bytes.clear();
    std::uint8_t chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool ParseNumber(const char* text, long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0';
}

// Scroll positions are 32-bit; the frame loop's sum of two of them stays within a long.
bool InScrollRange(long value)
{
    return value >= INT32_MIN && value <= INT32_MAX;
}

bool ParseFrames(const char* text, Options& options)
{
    std::string range = text;
    std::size_t a = range.find(':'), b = range.find(':', a == std::string::npos ? a : a + 1);
    if (a == std::string::npos || b == std::string::npos)
        return false;
    return ParseNumber(range.substr(0, a).c_str(), options.first) &&
           ParseNumber(range.substr(a + 1, b - a - 1).c_str(), options.last) &&
           ParseNumber(range.substr(b + 1).c_str(), options.step) && options.step > 0 &&
           InScrollRange(options.first) && InScrollRange(options.last) && InScrollRange(options.step);
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string name = argv[i];
        const char* value = argv[i + 1];
        long number;
        if (name == "--text")
            options.text = value;
        else if (name == "--font")
            options.font = value;
        else if (name == "--palette")
            options.palette = value;
        else if (name == "--background")
            options.background = value;
        else if (name == "--raw")
            options.raw = value;
        else if (name == "--png")
            options.png = value;
        else if (name == "--png-dir")
            options.pngDir = value;
        else if (name == "--width" && ParseNumber(value, number) && (number == 640 || number == 320))
            options.width = static_cast<int>(number);
        else if (name == "--scroll" && ParseNumber(value, options.scroll) && InScrollRange(options.scroll))
            options.haveScroll = true;
        else if (name == "--frames" && ParseFrames(value, options))
            options.haveFrames = true;
        else
            return false;
    }
    if (argc % 2 == 0 || options.text.empty() || options.font.empty() || options.width == 0)
        return false;
    bool single = options.haveScroll && (options.raw.empty() != options.png.empty()) && options.pngDir.empty();
    bool sequence = options.haveFrames && !options.pngDir.empty() && options.raw.empty() && options.png.empty() &&
                    !options.haveScroll;
    return single || sequence;
}

bool LoadScreen(const Options& options, Screen& screen)
{
    screen.width = options.width;
    screen.height = options.width * 3 / 4;
    std::size_t size = static_cast<std::size_t>(screen.width) * screen.height;
    for (int i = 0; i < kPaletteEntries; ++i)
        screen.palette[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i), 0};
    if (!options.palette.empty()) {
        std::vector<std::uint8_t> bytes;
        if (!ReadWhole(options.palette, bytes) || bytes.size() != kPaletteFileBytes) {
            std::fprintf(stderr, "crawlview: %s is not a palette of %d bytes\n", options.palette.c_str(),
                         kPaletteFileBytes);
            return false;
        }
        for (int i = 0; i < kPaletteEntries; ++i)
            screen.palette[i] = {bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2], 0};
    }
    screen.background.assign(size, 0);
    if (!options.background.empty() && (!ReadWhole(options.background, screen.background) ||
                                        screen.background.size() != size)) {
        std::fprintf(stderr, "crawlview: %s is not a background of %dx%d bytes\n", options.background.c_str(),
                     screen.width, screen.height);
        return false;
    }
    screen.frame.assign(size, 0);
    return true;
}

void ReportReadError(const char* fileName)
{
    std::fprintf(stderr, "crawlview: error reading %s\n", fileName);
}

// The text, the font and the tables, as the crawl makes them at its start.
bool PrepareCrawl(const Options& options, Screen& screen)
{
    g_reportReadError = ReportReadError;
    std::FILE* probe = std::fopen(options.text.c_str(), "rb");
    if (!probe) {
        std::fprintf(stderr, "crawlview: cannot open %s\n", options.text.c_str());
        return false;
    }
    std::fclose(probe);
    LoadCrawlText(options.text.c_str());
    if (BuildCrawlTablesForScreen(screen.width, screen.height, options.font.c_str(), screen.palette) != 0) {
        std::fprintf(stderr, "crawlview: cannot open %s\n", options.font.c_str());
        return false;
    }
    g_crawlCanvas = {screen.frame.data(), screen.width, screen.height};
    return true;
}

void RenderFrame(Screen& screen, long scroll)
{
    std::memcpy(screen.frame.data(), screen.background.data(), screen.frame.size());
    DrawCrawlRows(0, 0, static_cast<std::int32_t>(scroll));
}

bool WriteRaw(const std::string& path, const Screen& screen)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(screen.frame.data(), 1, screen.frame.size(), file) == screen.frame.size();
    return std::fclose(file) == 0 && ok;
}

bool WritePng(const std::string& path, const Screen& screen)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, screen.width, screen.height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color colours[kPaletteEntries];
    for (int i = 0; i < kPaletteEntries; ++i)
        colours[i] = {screen.palette[i].Red, screen.palette[i].Green, screen.palette[i].Blue};
    png_set_PLTE(png, info, colours, kPaletteEntries);
    png_write_info(png, info);
    for (int y = 0; y < screen.height; ++y)
        png_write_row(png, screen.frame.data() + static_cast<std::size_t>(y) * screen.width);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: crawlview --text FILE --font FILE --width 640|320 --scroll N\n"
                 "                 [--palette FILE] [--background FILE] (--raw OUT | --png OUT)\n"
                 "       crawlview --text FILE --font FILE --width 640|320 --frames A:B:STEP --png-dir DIR\n"
                 "                 [--palette FILE] [--background FILE]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options))
        return Usage();
    static Screen screen;
    if (!LoadScreen(options, screen) || !PrepareCrawl(options, screen))
        return 1;
    if (options.haveScroll) {
        RenderFrame(screen, options.scroll);
        bool ok = options.raw.empty() ? WritePng(options.png, screen) : WriteRaw(options.raw, screen);
        if (!ok) {
            std::fprintf(stderr, "crawlview: cannot write %s\n", (options.raw.empty() ? options.png : options.raw).c_str());
            return 1;
        }
        return 0;
    }
    for (long scroll = options.first; scroll <= options.last; scroll += options.step) {
        RenderFrame(screen, scroll);
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%05ld.png", scroll);
        if (!WritePng(options.pngDir + name, screen)) {
            std::fprintf(stderr, "crawlview: cannot write %s%s\n", options.pngDir.c_str(), name);
            return 1;
        }
    }
    return 0;
}
