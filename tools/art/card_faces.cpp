// The fonts of the designs and the faces of the four aces.
#include "tools/art/designs.h"
#include "tools/art/paint.h"

#include <algorithm>

namespace art {

Fonts::Fonts(const std::string& folder)
    : title(folder + "/DejaVuSerif-Bold.ttf"), index(folder + "/DejaVuSansCondensed-Bold.ttf"),
      suits(folder + "/DejaVuSans.ttf")
{
}

bool Fonts::Loaded() const
{
    return title.Loaded() && index.Loaded() && suits.Loaded();
}

namespace {

char32_t SuitSymbol(Suit suit)
{
    switch (suit) {
    case Suit::Clubs: return U'\u2663';
    case Suit::Spades: return U'\u2660';
    case Suit::Hearts: return U'\u2665';
    case Suit::Diamonds: return U'\u2666';
    }
    return U'?';
}

bool IsRed(Suit suit)
{
    return suit == Suit::Hearts || suit == Suit::Diamonds;
}

Mask Turned180(const Mask& mask)
{
    Mask out = mask;
    std::reverse(out.values.begin(), out.values.end());
    return out;
}

// Paints a glyph mask with its ink centred on (x, y).
void PaintCentred(Picture& card, const Mask& mask, float x, float y, const Colour& colour)
{
    PaintMask(card, mask, int(x - mask.width * 0.5f + 0.5f), int(y - mask.height * 0.5f + 0.5f), colour);
}

} // namespace

Picture PaintAce(const Fonts& fonts, Suit suit, int width, int height)
{
    const float w = float(width), h = float(height);
    const float radius = 0.07f * w;
    Picture card(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float cx = x + 0.5f - w / 2, cy = y + 0.5f - h / 2;
            const float d = RoundedBoxDistance(cx, cy, w / 2, h / 2, radius);
            // Paper with a faint warm fall-off towards the bottom, and a thin grey edge.
            Colour c = Mix(Rgb(253, 252, 247), Rgb(240, 236, 224), Clamp01((y / h) * 0.9f + 0.1f));
            c = Mix(c, Rgb(128, 124, 116), EdgeCoverage(std::abs(d + 0.008f * w) - 0.006f * w));
            c.a = EdgeCoverage(d);
            card.At(x, y) = c;
        }
    }

    const Colour ink = IsRed(suit) ? Rgb(196, 26, 38) : Rgb(24, 24, 30);
    const std::u32string symbol(1, SuitSymbol(suit));
    const Mask letter = fonts.index.Render(U"A", 0.15f * h, 0, 1).mask;
    const Mask small = fonts.suits.Render(symbol, 0.13f * h, 0, 1).mask;
    const Mask big = fonts.suits.Render(symbol, 0.36f * h, 0, 1).mask;

    // Corner indices: rank over suit at the top left, and the same turned at the bottom right.
    const float ix = 0.12f * w, letterY = 0.1f * h, suitY = 0.21f * h;
    PaintCentred(card, letter, ix, letterY, ink);
    PaintCentred(card, small, ix, suitY, ink);
    PaintCentred(card, Turned180(letter), w - ix, h - letterY, ink);
    PaintCentred(card, Turned180(small), w - ix, h - suitY, ink);
    PaintCentred(card, big, w / 2, h / 2, ink);
    return card;
}

} // namespace art
