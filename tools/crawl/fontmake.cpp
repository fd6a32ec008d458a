// fontmake: turns a TrueType font into the crawl's glyph font "ALPHABET.DAT", and checks
// such a file.
//
//   fontmake --font FILE.ttf --out ALPHABET.DAT [--size PIXELS] [--baseline ROW] [--stretch F]
//   fontmake --check ALPHABET.DAT
//
// Byte values 32 to 255 are the Latin-1 characters of the same code (so that the umlauts,
// the sharp s and the accented letters of German texts appear); 0 to 31, 127 and the C1
// controls 128 to 159 become empty glyphs of no width. Each glyph is rendered into 27
// scanlines, thresholded, and encoded as runs in units of one design-grid column.
#include "crawl/crawl_text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kFirstCharacter = 32;
constexpr int kDelete = 127;
constexpr int kLastControl = 159;
constexpr int kInkThreshold = 128; // of FreeType's 0-255 coverage

struct Options {
    std::string font, out, check;
    int size = 22;        // pixel size of the em
    int baseline = 21;    // scanline of the baseline: ascenders above, descenders below
    double stretch = 1.2; // horizontal widening: the plane is seen at a slant
};

// One scanline as ink columns, 0 or 1 each, across the glyph's width.
using Scanline = std::vector<unsigned char>;

struct Glyph {
    int width = 0;
    std::vector<Scanline> rows = std::vector<Scanline>(kGlyphScanlines);
};

bool Encodable(int code)
{
    return code >= kFirstCharacter && code != kDelete && !(code > kDelete && code <= kLastControl);
}

bool RenderGlyph(FT_Face face, int code, const Options& options, Glyph& glyph, int& clipped)
{
    FT_UInt index = FT_Get_Char_Index(face, static_cast<FT_ULong>(code));
    if (index == 0 && code != kFirstCharacter)
        std::fprintf(stderr, "fontmake: the font has no glyph for %d; using its missing-glyph shape\n", code);
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) || FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL))
        return false;
    FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    int left = std::max(0, slot->bitmap_left);
    int advance = static_cast<int>(std::lround(slot->advance.x / 64.0));
    glyph.width = std::max(advance, left + static_cast<int>(bitmap.width));
    for (Scanline& row : glyph.rows)
        row.assign(glyph.width, 0);
    for (unsigned y = 0; y < bitmap.rows; ++y) {
        int row = options.baseline - slot->bitmap_top + static_cast<int>(y);
        const unsigned char* source = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
        bool ink = false;
        for (unsigned x = 0; x < bitmap.width; ++x)
            ink = ink || source[x] >= kInkThreshold;
        if (row < 0 || row >= kGlyphScanlines) {
            clipped += ink;
            continue;
        }
        for (unsigned x = 0; x < bitmap.width; ++x)
            glyph.rows[row][left + x] = source[x] >= kInkThreshold;
    }
    return true;
}

struct Run {
    int start, end; // ink columns [start, end)
};

std::vector<Run> InkRuns(const Scanline& row)
{
    std::vector<Run> runs;
    for (int x = 0; x < static_cast<int>(row.size());) {
        if (!row[x]) {
            ++x;
            continue;
        }
        int start = x;
        while (x < static_cast<int>(row.size()) && row[x])
            ++x;
        runs.push_back({start, x});
    }
    // A record holds six runs at most: the narrowest gaps are closed until they fit.
    while (static_cast<int>(runs.size()) > kMaxInkRuns) {
        std::size_t narrowest = 0;
        for (std::size_t i = 1; i + 1 < runs.size(); ++i) {
            if (runs[i + 1].start - runs[i].end < runs[narrowest + 1].start - runs[narrowest].end)
                narrowest = i;
        }
        runs[narrowest].end = runs[narrowest + 1].end;
        runs.erase(runs.begin() + static_cast<std::ptrdiff_t>(narrowest) + 1);
    }
    return runs;
}

void EncodeScanline(const Scanline& row, int width, std::uint8_t* record)
{
    std::memset(record, 0, kScanlineBytes);
    std::vector<Run> runs = InkRuns(row);
    record[0] = static_cast<std::uint8_t>(runs.empty() ? width : runs[0].start);
    int at = 1;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        int next = i + 1 < runs.size() ? runs[i + 1].start : width;
        record[at++] = static_cast<std::uint8_t>(runs[i].end - runs[i].start);
        record[at++] = static_cast<std::uint8_t>(next - runs[i].end);
    }
    record[at] = kScanlineEnd;
    record[kScanlineWidthByte] = static_cast<std::uint8_t>(width);
}

// An empty glyph of no width: lead 0, the terminator at once.
void EncodeEmpty(std::uint8_t* glyph)
{
    for (int s = 0; s < kGlyphScanlines; ++s) {
        std::uint8_t* record = glyph + s * kScanlineBytes;
        std::memset(record, 0, kScanlineBytes);
        record[1] = kScanlineEnd;
    }
}

// What the renderer relies on for every glyph that text can name: each record drawable,
// spanning exactly the glyph's width, the same width in all scanlines.
bool CheckFont(const std::vector<std::uint8_t>& font)
{
    bool sound = true;
    for (int code = kFirstCharacter; code < kGlyphCount; ++code) {
        int width = GlyphWidth(font.data(), code);
        for (int s = 0; s < kGlyphScanlines; ++s) {
            const std::uint8_t* record = GlyphScanline(font.data(), code, s);
            const char* fault = nullptr;
            if (!ScanlineDrawable(record)) {
                fault = "not drawable";
            } else {
                int span = record[0];
                for (int i = 1; record[i] != kScanlineEnd; ++i)
                    span += record[i];
                if (span != width)
                    fault = "does not span the width";
                else if (record[kScanlineWidthByte] != width)
                    fault = "states another width";
            }
            if (fault) {
                std::fprintf(stderr, "fontmake: glyph %d scanline %d %s\n", code, s, fault);
                sound = false;
            }
        }
    }
    return sound;
}

bool MakeFont(const Options& options, std::vector<std::uint8_t>& font)
{
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library))
        return false;
    if (FT_New_Face(library, options.font.c_str(), 0, &face)) {
        std::fprintf(stderr, "fontmake: cannot open the font %s\n", options.font.c_str());
        FT_Done_FreeType(library);
        return false;
    }
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(options.size));
    FT_Matrix widen = {static_cast<FT_Fixed>(std::lround(options.stretch * 65536)), 0, 0, 0x10000};
    FT_Set_Transform(face, &widen, nullptr);

    bool ok = true;
    font.assign(kGlyphFontBytes, 0);
    for (int code = 0; code < kGlyphCount && ok; ++code) {
        std::uint8_t* glyphBytes = font.data() + code * kGlyphBytes;
        if (!Encodable(code)) {
            EncodeEmpty(glyphBytes);
            continue;
        }
        Glyph glyph;
        int clipped = 0;
        if (!RenderGlyph(face, code, options, glyph, clipped)) {
            std::fprintf(stderr, "fontmake: FreeType cannot render %d\n", code);
            ok = false;
            break;
        }
        if (clipped)
            std::fprintf(stderr, "fontmake: %d ink rows of %d lie outside the 27 scanlines\n", clipped, code);
        if (glyph.width >= kRunLengthLimit) {
            std::fprintf(stderr, "fontmake: %d is %d units wide; at most %d fit\n", code, glyph.width,
                         kRunLengthLimit - 1);
            ok = false;
            break;
        }
        for (int s = 0; s < kGlyphScanlines; ++s)
            EncodeScanline(glyph.rows[s], glyph.width, glyphBytes + s * kScanlineBytes);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return ok && CheckFont(font);
}

bool ReadFile(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    bytes.assign(kGlyphFontBytes + 1, 0);
    std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    bytes.resize(got);
    return true;
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

int Usage()
{
    std::fprintf(stderr, "usage: fontmake --font FILE.ttf --out ALPHABET.DAT [--size PIXELS] [--baseline ROW]"
                         " [--stretch FACTOR]\n       fontmake --check ALPHABET.DAT\n");
    return 2;
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (i + 1 >= argc)
            return false;
        const char* value = argv[++i];
        if (name == "--font")
            options.font = value;
        else if (name == "--out")
            options.out = value;
        else if (name == "--check")
            options.check = value;
        else if (name == "--size")
            options.size = std::atoi(value);
        else if (name == "--baseline")
            options.baseline = std::atoi(value);
        else if (name == "--stretch")
            options.stretch = std::atof(value);
        else
            return false;
    }
    bool make = !options.font.empty() && !options.out.empty();
    return make != !options.check.empty() && options.size > 0 && options.stretch > 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options))
        return Usage();
    std::vector<std::uint8_t> font;
    if (!options.check.empty()) {
        if (!ReadFile(options.check, font)) {
            std::fprintf(stderr, "fontmake: cannot read %s\n", options.check.c_str());
            return 1;
        }
        if (font.size() != static_cast<std::size_t>(kGlyphFontBytes)) {
            std::fprintf(stderr, "fontmake: %s holds %zu bytes, not %d\n", options.check.c_str(), font.size(),
                         kGlyphFontBytes);
            return 1;
        }
        return CheckFont(font) ? 0 : 1;
    }
    if (!MakeFont(options, font))
        return 1;
    if (!WriteFile(options.out, font)) {
        std::fprintf(stderr, "fontmake: cannot write %s\n", options.out.c_str());
        return 1;
    }
    return 0;
}
