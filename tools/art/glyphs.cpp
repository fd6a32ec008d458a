#include "tools/art/glyphs.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace art {

namespace {

struct PlacedGlyph {
    Mask coverage;
    int left, top; // position of the bitmap's top-left corner relative to the pen's start
};

} // namespace

Typeface::Typeface(const std::string& path)
{
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        return;
    FT_Face face = nullptr;
    if (FT_New_Face(library, path.c_str(), 0, &face) != 0) {
        FT_Done_FreeType(library);
        return;
    }
    library_ = library;
    face_ = face;
}

Typeface::~Typeface()
{
    if (face_)
        FT_Done_Face(static_cast<FT_Face>(face_));
    if (library_)
        FT_Done_FreeType(static_cast<FT_Library>(library_));
}

TextMask Typeface::Render(std::u32string_view text, float pixelSize, float tracking, int margin) const
{
    TextMask result{Mask(2 * margin + 1, 2 * margin + 1), float(margin), float(margin)};
    auto face = static_cast<FT_Face>(face_);
    if (!face || FT_Set_Char_Size(face, 0, FT_F26Dot6(std::lround(pixelSize * 64)), 72, 72) != 0)
        return result;

    std::vector<PlacedGlyph> glyphs;
    long pen = 0; // 26.6 fixed point
    FT_UInt previous = 0;
    for (char32_t ch : text) {
        const FT_UInt index = FT_Get_Char_Index(face, FT_ULong(ch));
        if (previous && index && FT_HAS_KERNING(face)) {
            FT_Vector kern;
            if (FT_Get_Kerning(face, previous, index, FT_KERNING_UNFITTED, &kern) == 0)
                pen += kern.x;
        }
        // The fraction of the pen position moves the outline before rendering, so that
        // letters keep their true spacing instead of snapping to whole pixels.
        FT_Vector delta{pen & 63, 0};
        FT_Set_Transform(face, nullptr, &delta);
        if (FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING | FT_LOAD_RENDER) == 0) {
            const FT_Bitmap& bitmap = face->glyph->bitmap;
            PlacedGlyph g{Mask(int(bitmap.width), int(bitmap.rows)), int(pen >> 6) + face->glyph->bitmap_left,
                          -face->glyph->bitmap_top};
            for (int y = 0; y < int(bitmap.rows); ++y) {
                for (int x = 0; x < int(bitmap.width); ++x)
                    g.coverage.At(x, y) = bitmap.buffer[y * bitmap.pitch + x] / 255.0f;
            }
            glyphs.push_back(std::move(g));
            pen += face->glyph->advance.x + long(std::lround(tracking * 64));
        }
        previous = index;
    }
    FT_Set_Transform(face, nullptr, nullptr);

    int minX = INT_MAX, minY = INT_MAX, maxX = INT_MIN, maxY = INT_MIN;
    for (const PlacedGlyph& g : glyphs) {
        if (g.coverage.width == 0 || g.coverage.height == 0)
            continue;
        minX = std::min(minX, g.left);
        minY = std::min(minY, g.top);
        maxX = std::max(maxX, g.left + g.coverage.width);
        maxY = std::max(maxY, g.top + g.coverage.height);
    }
    if (minX > maxX)
        return result;

    result.mask = Mask(maxX - minX + 2 * margin, maxY - minY + 2 * margin);
    result.left = float(margin - minX);
    result.baseline = float(margin - minY);
    for (const PlacedGlyph& g : glyphs) {
        for (int y = 0; y < g.coverage.height; ++y) {
            for (int x = 0; x < g.coverage.width; ++x) {
                float& m = result.mask.At(g.left - minX + margin + x, g.top - minY + margin + y);
                m = std::min(1.0f, m + g.coverage.At(x, y));
            }
        }
    }
    return result;
}

} // namespace art
