// Text as coverage masks, rendered with FreeType from the fonts installed on the machine.
#pragma once

#include "tools/art/picture.h"

#include <string>
#include <string_view>

namespace art {

struct TextMask {
    Mask mask;      // the ink, with the requested margin on every side
    float baseline; // y of the baseline inside the mask
    float left;     // x of the pen's start inside the mask
};

class Typeface {
public:
    explicit Typeface(const std::string& path);
    ~Typeface();
    Typeface(const Typeface&) = delete;
    Typeface& operator=(const Typeface&) = delete;

    bool Loaded() const { return face_ != nullptr; }
    // One line of text, unhinted (the shapes as drawn, placed to a 64th of a pixel), with
    // the font's kerning and `tracking` extra pixels between letters.
    TextMask Render(std::u32string_view text, float pixelSize, float tracking = 0, int margin = 0) const;

private:
    void* library_ = nullptr; // FT_Library
    void* face_ = nullptr;    // FT_Face
};

} // namespace art
