// The launcher's pictures: the card-table background with the title and a fan of aces, the
// face of its buttons, and the program's icon.
//
// The background is 504 x 666 and is stretched to the dialog's client area (about 358 x 479
// on a standard display): everything is drawn a little bolder than it will finally look.
// The six buttons sit in two rows over the lowest seventh of the picture (from y = 567
// down), so that part is plain felt.
#include "tools/art/designs.h"
#include "tools/art/paint.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace art {

namespace {

constexpr uint32_t kFeltSeed = 0x5ca7f3e1;
constexpr int kSupersample = 3; // card faces are painted at three times their size

const Colour kGoldLight = Rgb(255, 238, 170);
const Colour kGoldMid = Rgb(226, 180, 82);
const Colour kGoldDeep = Rgb(166, 114, 36);

// Green baize: a large soft mottling, a fine grain, a pool of light over the middle of the
// table and darker edges.
void PaintFelt(Picture& canvas)
{
    const Colour base = Rgb(30, 104, 60);
    const float w = float(canvas.width), h = float(canvas.height);
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            const float mottle = FractalNoise(x / 70.0f, y / 70.0f, 4, kFeltSeed) - 0.5f;
            const float grain = 0.55f * (Hash01(x, y, kFeltSeed + 1) - 0.5f)
                                + 0.45f * (ValueNoise(x / 2.2f, y / 2.2f, kFeltSeed + 2) - 0.5f);
            const float lx = (x - w * 0.5f) / (w * 0.55f), ly = (y - h * 0.42f) / (h * 0.48f);
            const float light = 0.78f + 0.42f * std::exp(-(lx * lx + ly * ly) * 1.6f);
            const float ex = (x - w * 0.5f) / (w * 0.5f), ey = (y - h * 0.5f) / (h * 0.5f);
            const float vignette = 1 - 0.38f * SmoothStep(0.55f, 1.45f, std::hypot(ex, ey));
            const float f = light * vignette * (1 + 0.10f * mottle + 0.09f * grain);
            canvas.At(x, y) = {base.r * f, base.g * f, base.b * f, 1};
        }
    }
}

// A thin double gilt line around the table, close to the picture's edge: the buttons come
// within 15 pixels of it, and the lines must keep clear of them.
void PaintFrame(Picture& canvas)
{
    const float w = float(canvas.width), h = float(canvas.height);
    Mask outer(canvas.width, canvas.height), inner(canvas.width, canvas.height);
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            const float cx = x + 0.5f - w / 2, cy = y + 0.5f - h / 2;
            const float d1 = RoundedBoxDistance(cx, cy, w / 2 - 5, h / 2 - 5, 9);
            const float d2 = RoundedBoxDistance(cx, cy, w / 2 - 8.5f, h / 2 - 8.5f, 6);
            outer.At(x, y) = EdgeCoverage(std::abs(d1) - 0.9f);
            inner.At(x, y) = EdgeCoverage(std::abs(d2) - 0.45f);
        }
    }
    Darken(canvas, Shift(Blur(outer, 1.2f), 1, 1), 0, 0, 0.35f);
    PaintMask(canvas, outer, 0, 0, kGoldMid, 0.85f);
    PaintMask(canvas, inner, 0, 0, kGoldMid, 0.6f);
}

// Metal-like fill for raised letters: light at the top, a darker band below the middle,
// a reflected glow at the foot.
Colour GoldAt(float t)
{
    if (t < 0.5f)
        return Mix(kGoldLight, kGoldMid, t / 0.5f);
    if (t < 0.75f)
        return Mix(kGoldMid, kGoldDeep, (t - 0.5f) / 0.25f);
    return Mix(kGoldDeep, kGoldMid, (t - 0.75f) / 0.25f);
}

// Raised gilt lettering: soft shadow on the felt, a dark rim, the gold fill, and an
// emboss that lights the upper-left slopes of each stroke.
void PaintGildedText(Picture& canvas, const TextMask& text, int left, int top)
{
    const Mask& m = text.mask;
    Darken(canvas, Shift(Blur(Grow(m, 1.5f), 3.5f), 3, 5), left, top, 0.65f);
    PaintMask(canvas, Grow(m, 1.6f), left, top, Rgb(44, 28, 8));

    const Mask relief = Blur(m, 1.4f);
    int inkTop = m.height, inkBottom = 0;
    for (int y = 0; y < m.height; ++y) {
        for (int x = 0; x < m.width; ++x) {
            if (m.At(x, y) > 0.5f) {
                inkTop = std::min(inkTop, y);
                inkBottom = std::max(inkBottom, y);
            }
        }
    }
    const float span = float(std::max(1, inkBottom - inkTop));
    PaintMask(canvas, m, left, top, [&](int x, int y) {
        const int mx = x - left, my = y - top;
        Colour c = GoldAt(Clamp01((my - inkTop) / span));
        const float slope = relief.Get(mx - 1, my - 1) - relief.Get(mx + 1, my + 1);
        if (slope > 0)
            c = Mix(c, Rgb(255, 250, 225), Clamp01(slope * 1.6f));
        else
            c = Mix(c, Rgb(110, 70, 16), Clamp01(-slope * 1.2f));
        return c;
    });
}

// Renders text so that its ink is `width` pixels wide.
TextMask RenderToWidth(const Typeface& face, std::u32string_view text, float width, float tracking, int margin)
{
    const float probeSize = 100;
    const TextMask probe = face.Render(text, probeSize, tracking, 0);
    const float size = probeSize * width / float(std::max(1, probe.mask.width));
    return face.Render(text, size, tracking * size / probeSize, margin);
}

void PaintTitle(Picture& canvas, const Fonts& fonts)
{
    const int margin = 16;
    const TextMask title = RenderToWidth(fonts.title, U"Vesk Marlit", 392, 1.0f, margin);
    const int left = (canvas.width - title.mask.width) / 2;
    const int top = 40 - margin;
    PaintGildedText(canvas, title, left, top);
}

// Under the title: a gilt rule broken by the four suits, in the order of their rank.
void PaintSuitRule(Picture& canvas, const Fonts& fonts, int y)
{
    const std::u32string_view suits[] = {U"\u2663", U"\u2660", U"\u2665", U"\u2666"};
    const float spacing = 30;
    const float centre = canvas.width * 0.5f;
    for (int i = 0; i < 4; ++i) {
        const TextMask glyph = fonts.suits.Render(suits[i], 19, 0, 6);
        const float x = centre + (i - 1.5f) * spacing;
        const int left = int(x - glyph.mask.width * 0.5f), top = int(y - glyph.mask.height * 0.5f);
        Darken(canvas, Shift(Blur(glyph.mask, 1.5f), 1, 2), left, top, 0.5f);
        PaintMask(canvas, Grow(glyph.mask, 1.0f), left, top, i < 2 ? Rgb(236, 226, 196) : Rgb(242, 232, 206));
        PaintMask(canvas, glyph.mask, left, top, i < 2 ? Rgb(26, 26, 30) : Rgb(190, 28, 40));
    }
    // The rule, fading out towards its ends.
    Mask rule(canvas.width, 3);
    const float inner = 1.5f * spacing + 22, outer = 178;
    for (int x = 0; x < canvas.width; ++x) {
        const float d = std::abs(x + 0.5f - centre);
        const float fade = SmoothStep(inner, inner + 8, d) * (1 - SmoothStep(outer - 60, outer, d));
        rule.At(x, 1) = fade;
        rule.At(x, 0) = rule.At(x, 2) = 0.25f * fade;
    }
    Darken(canvas, Shift(Blur(rule, 1.0f), 1, 1), 0, y - 1, 0.4f);
    PaintMask(canvas, rule, 0, y - 1, kGoldMid);
}

// Lays a card (painted at kSupersample times its size) on the table with its shadow.
void LayCard(Picture& canvas, const Picture& card, const Placement& placement, float shadowLift)
{
    const Picture layer = Transform(card, canvas.width, canvas.height, placement, 2);
    const Mask alpha = AlphaOf(layer);
    Darken(canvas, Shift(Blur(alpha, 2.0f + shadowLift), int(1 + shadowLift * 0.6f), int(2 + shadowLift)), 0, 0, 0.55f);
    Over(canvas, layer, 0, 0);
}

// Four aces fanned from one hand, clubs to diamonds; beside them the skat, two cards
// face down.
void PaintCards(Picture& canvas, const Fonts& fonts)
{
    const int cardW = 110, cardH = 158;
    const float scale = 1.0f / kSupersample;

    const Picture back = PaintCardBack(CardBackDesign::Default, cardW * kSupersample, cardH * kSupersample);
    LayCard(canvas, back, {112, 384, -78, scale}, 2);
    LayCard(canvas, back, {394, 390, 71, scale}, 2);

    const Suit suits[] = {Suit::Clubs, Suit::Spades, Suit::Hearts, Suit::Diamonds};
    const float pivotX = canvas.width * 0.5f, pivotY = 505, reach = 182;
    const float angles[] = {-24, -8, 8, 24};
    for (int i = 0; i < 4; ++i) {
        const float a = angles[i] * std::numbers::pi_v<float> / 180.0f;
        const Picture ace = PaintAce(fonts, suits[i], cardW * kSupersample, cardH * kSupersample);
        LayCard(canvas, ace, {pivotX + reach * std::sin(a), pivotY - reach * std::cos(a), angles[i], scale}, 4);
    }
}

// A card for the icon, drawn `kDetail` times larger than it appears: a face with a club
// filling most of it, or a plain red back.
Picture PaintIconCard(const Fonts& fonts, int width, int height, bool face)
{
    const float w = float(width), h = float(height);
    const float edge = 0.065f * w; // the grey rim: about one icon pixel
    Picture card(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float cx = x + 0.5f - w / 2, cy = y + 0.5f - h / 2;
            const float d = RoundedBoxDistance(cx, cy, w / 2, h / 2, 0.16f * w);
            Colour c = Rgb(253, 252, 246);
            if (!face) {
                const float panel = RoundedBoxDistance(cx, cy, w / 2 - 1.6f * edge, h / 2 - 1.6f * edge, 0.08f * w);
                c = Mix(c, Mix(Rgb(170, 34, 48), Rgb(118, 18, 32), Clamp01((y / h) * 1.2f)), EdgeCoverage(panel));
            }
            c = Mix(c, Rgb(96, 92, 88), EdgeCoverage(std::abs(d + edge * 0.5f) - edge * 0.5f));
            c.a = EdgeCoverage(d);
            card.At(x, y) = c;
        }
    }
    if (face) {
        const Mask club = fonts.suits.Render(U"\u2663", 0.82f * h, 0, 1).mask;
        PaintMask(card, club, (width - club.width) / 2, (height - club.height) / 2, Rgb(18, 18, 22));
    }
    return card;
}

} // namespace

Picture PaintBackground(const Fonts& fonts)
{
    Picture canvas(kBackgroundWidth, kBackgroundHeight, {0, 0, 0, 1});
    PaintFelt(canvas);
    PaintFrame(canvas);
    PaintTitle(canvas, fonts);
    PaintSuitRule(canvas, fonts, 130);
    PaintCards(canvas, fonts);
    return canvas;
}

Picture PaintButtonFace()
{
    // Stretched to about 96 x 23: rows shrink to some 0.6, columns grow to 1.2 and more,
    // so the frame is two rows thick at top and bottom and one column at the sides.
    Picture face(kButtonWidth, kButtonHeight);
    const float h = float(kButtonHeight);
    for (int y = 0; y < kButtonHeight; ++y) {
        for (int x = 0; x < kButtonWidth; ++x) {
            const float t = (y + 0.5f) / h;
            Colour c = Mix(Rgb(252, 246, 226), Rgb(226, 210, 166), t);
            // A soft sheen across the upper half.
            c = Mix(c, Rgb(255, 253, 244), 0.5f * (1 - SmoothStep(0.0f, 0.5f, t)));
            face.At(x, y) = c;
        }
    }
    const Colour rim = Rgb(112, 82, 34), light = Rgb(255, 252, 240), shade = Rgb(188, 160, 98);
    for (int x = 0; x < kButtonWidth; ++x) {
        for (int y : {0, 1, kButtonHeight - 2, kButtonHeight - 1})
            face.At(x, y) = rim;
        face.At(x, 2) = face.At(x, 3) = light;
        face.At(x, kButtonHeight - 3) = face.At(x, kButtonHeight - 4) = shade;
    }
    for (int y = 2; y < kButtonHeight - 2; ++y) {
        face.At(0, y) = face.At(kButtonWidth - 1, y) = rim;
        face.At(1, y) = Mix(face.At(1, y), light, 0.8f);
        face.At(kButtonWidth - 2, y) = Mix(face.At(kButtonWidth - 2, y), shade, 0.8f);
    }
    return face;
}

Picture PaintIcon(const Fonts& fonts, int size)
{
    // At icon sizes a real card's detail turns to noise: plain cards, one bold club.
    constexpr int kDetail = 8; // cards are painted this many times larger than they appear
    const float s = float(size);
    const bool large = size >= 32;
    const float unit = s / (large ? 32.0f : 16.0f); // icon pixels of the design's grid
    Picture icon(size, size);
    if (large) {
        const Picture back = PaintIconCard(fonts, 17 * kDetail, 24 * kDetail, false);
        Over(icon, Transform(back, size, size, {11.5f * unit, 16.5f * unit, -15, unit / kDetail}, 2), 0, 0);
        const Picture front = PaintIconCard(fonts, 19 * kDetail, 26 * kDetail, true);
        Over(icon, Transform(front, size, size, {19.5f * unit, 15.5f * unit, 8, unit / kDetail}, 2), 0, 0);
    } else {
        const Picture front = PaintIconCard(fonts, 13 * kDetail, 16 * kDetail, true);
        Over(icon, Transform(front, size, size, {8 * unit, 8 * unit, 0, unit / kDetail}, 2), 0, 0);
    }
    return icon;
}

} // namespace art
