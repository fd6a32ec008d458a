// The pictures themselves: the launcher's background, its button face and icon, and the
// backs of the two card sets of the medium. Every design is fixed: no clock, no random
// state, the same picture on every run.
#pragma once

#include "tools/art/glyphs.h"
#include "tools/art/picture.h"

#include <string>

namespace art {

// The faces the designs use, loaded from one font folder.
struct Fonts {
    explicit Fonts(const std::string& folder);
    bool Loaded() const;

    Typeface title; // the name on the background
    Typeface index; // rank letters in the card corners
    Typeface suits; // club, spade, heart, diamond
};

enum class CardBackDesign { Default, Alpha };

// A card back with rounded, transparent corners; any size, the design scales with it.
Picture PaintCardBack(CardBackDesign design, int width, int height);

// The face of an ace, with rounded, transparent corners.
enum class Suit { Clubs, Spades, Hearts, Diamonds };
Picture PaintAce(const Fonts& fonts, Suit suit, int width, int height);

// The launcher's pictures, at the sizes of their resources.
constexpr int kBackgroundWidth = 504;
constexpr int kBackgroundHeight = 666;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 39;

Picture PaintBackground(const Fonts& fonts);
Picture PaintButtonFace();
// A square icon of 16 or 32 pixels (other sizes are drawn like the larger one).
Picture PaintIcon(const Fonts& fonts, int size);

} // namespace art
