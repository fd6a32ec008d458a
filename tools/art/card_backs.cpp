// Card backs. Each design is a function from a point of the card, in units of a card 120
// wide and 180 high, to a colour; the painter averages 4 x 4 points a pixel, so the fine
// patterns stay smooth at any size.
#include "tools/art/designs.h"
#include "tools/art/paint.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace art {

namespace {

constexpr float kUnitWidth = 120, kUnitHeight = 180;
constexpr float kCornerRadius = 8;
constexpr float kMargin = 7; // white paper around the printed panel
constexpr int kSubsamples = 4;
constexpr float kPi = std::numbers::pi_v<float>;

const Colour kPaper = Rgb(248, 246, 238);

// Coverage of a line of the given width around the zero set of a signed distance.
float Line(float distance, float width, float pixel)
{
    return EdgeCoverage((std::abs(distance) - width * 0.5f) / pixel);
}

// The club as the union of three lobes and a flared stem, about 2 r high, centred.
float ClubDistance(float x, float y, float r)
{
    y += 0.1f * r;
    float d = CircleDistance(x, y + 0.55f * r, 0.5f * r);
    d = std::min(d, CircleDistance(x + 0.52f * r, y - 0.18f * r, 0.5f * r));
    d = std::min(d, CircleDistance(x - 0.52f * r, y - 0.18f * r, 0.5f * r));
    // The stem widens towards its foot.
    const float t = Clamp01(y / (1.05f * r));
    const float half = 0.09f * r + 0.32f * r * t * t * t;
    const float stem = std::max({std::abs(x) - half, -y, y - 1.05f * r});
    return std::min(d, stem);
}

// Deep red field with a fine diamond lattice and a medallion that holds a club.
Colour DefaultPanel(float x, float y, float pixel)
{
    const float cx = x - kUnitWidth / 2, cy = y - kUnitHeight / 2;
    const float edge = std::hypot(cx / kUnitWidth, cy / kUnitHeight);
    Colour c = Mix(Rgb(150, 30, 44), Rgb(92, 14, 26), SmoothStep(0.1f, 0.6f, edge));

    // Lattice: two families of diagonal lines, with a dot in the middle of every cell.
    const float spacing = 7.5f;
    const float a = (cx + cy) / spacing, b = (cx - cy) / spacing;
    const float da = (a - std::round(a)) * spacing / std::numbers::sqrt2_v<float>;
    const float db = (b - std::round(b)) * spacing / std::numbers::sqrt2_v<float>;
    const float lattice = std::max(Line(da, 0.7f, pixel), Line(db, 0.7f, pixel));
    const float ca = (a - std::floor(a) - 0.5f) * spacing, cb = (b - std::floor(b) - 0.5f) * spacing;
    const float dot = EdgeCoverage((std::hypot(ca, cb) / std::numbers::sqrt2_v<float> - 0.9f) / pixel);
    c = Mix(c, Rgb(214, 120, 118), 0.55f * lattice);
    c = Mix(c, Rgb(236, 190, 150), 0.7f * dot);

    // Medallion: an oval ring of two lines on a plain field, a gold club inside.
    const float ox = cx / 30, oy = cy / 40;
    const float oval = (std::hypot(ox, oy) - 1) * 30;
    const float inside = EdgeCoverage(oval / pixel);
    c = Mix(c, Rgb(118, 20, 34), inside);
    c = Mix(c, kPaper, Line(oval + 1.5f, 1.3f, pixel));
    c = Mix(c, Rgb(226, 184, 96), Line(oval - 1.2f, 0.6f, pixel));
    const float club = ClubDistance(cx, cy, 17);
    c = Mix(c, Rgb(70, 8, 18), 0.6f * EdgeCoverage((club - 1.2f) / pixel)); // its shadow line
    c = Mix(c, Mix(Rgb(246, 214, 130), Rgb(196, 146, 58), Clamp01((cy + 17) / 34)), EdgeCoverage(club / pixel));
    return c;
}

// Midnight blue field with a guilloche rosette: rings of waves, each ring turned by half
// a wave against the next, so that they weave into a net.
Colour AlphaPanel(float x, float y, float pixel)
{
    const float cx = x - kUnitWidth / 2, cy = y - kUnitHeight / 2;
    const float edge = std::hypot(cx / kUnitWidth, cy / kUnitHeight);
    Colour c = Mix(Rgb(30, 58, 122), Rgb(14, 28, 68), SmoothStep(0.05f, 0.6f, edge));

    // Background: fine concentric ovals.
    const float oval = std::hypot(cx, cy * 0.72f);
    const float rings = (oval / 2.4f - std::round(oval / 2.4f)) * 2.4f;
    c = Mix(c, Rgb(60, 96, 170), 0.45f * Line(rings, 0.45f, pixel));

    // Rosette: every ring is a braid of two waves in opposite phase.
    const float r = std::hypot(cx, cy * 0.8f);
    const float theta = std::atan2(cy * 0.8f, cx);
    float weave = 0;
    constexpr int kWaves = 10;
    for (int k = 0; k < 5; ++k) {
        const float base = 12 + 6.0f * k, amplitude = 3.6f;
        for (float sign : {1.0f, -1.0f}) {
            const float turn = kWaves * theta + k * kPi / 2;
            const float wave = base + sign * amplitude * std::sin(turn);
            const float slope = sign * amplitude * kWaves * std::cos(turn) / std::max(r, 1.0f);
            const float d = (r - wave) / std::sqrt(1 + slope * slope);
            weave = std::max(weave, Line(d, 0.7f, pixel) * (1 - 0.07f * k));
        }
    }
    const float fade = 1 - SmoothStep(40, 46, r);
    c = Mix(c, Rgb(196, 218, 250), weave * fade);
    const float centre = EdgeCoverage((CircleDistance(cx, cy * 0.8f, 6.5f)) / pixel);
    c = Mix(c, Rgb(226, 236, 252), centre);
    c = Mix(c, Rgb(30, 58, 122), EdgeCoverage((CircleDistance(cx, cy * 0.8f, 3.2f)) / pixel));

    // Corner diamonds.
    const float qx = std::abs(cx) - (kUnitWidth / 2 - kMargin - 11), qy = std::abs(cy) - (kUnitHeight / 2 - kMargin - 11);
    const float diamond = (std::abs(qx) + std::abs(qy) - 5) / std::numbers::sqrt2_v<float>;
    c = Mix(c, Rgb(196, 218, 250), EdgeCoverage(diamond / pixel));
    return c;
}

Colour CardBackAt(CardBackDesign design, float x, float y, float pixel)
{
    const float cx = x - kUnitWidth / 2, cy = y - kUnitHeight / 2;
    const float card = RoundedBoxDistance(cx, cy, kUnitWidth / 2, kUnitHeight / 2, kCornerRadius);
    if (card > pixel)
        return {0, 0, 0, 0};
    const float panel = RoundedBoxDistance(cx, cy, kUnitWidth / 2 - kMargin, kUnitHeight / 2 - kMargin, 3);
    Colour c = kPaper;
    if (panel < pixel) {
        Colour printed = design == CardBackDesign::Default ? DefaultPanel(x, y, pixel) : AlphaPanel(x, y, pixel);
        // An inner frame line a little inside the panel's edge.
        const Colour frame = design == CardBackDesign::Default ? Rgb(240, 214, 170) : Rgb(196, 218, 250);
        printed = Mix(printed, frame, Line(panel + 3.2f, 0.8f, pixel));
        c = Mix(c, printed, EdgeCoverage(panel / pixel));
    }
    // A faint grey edge, so that a card reads against a light ground.
    c = Mix(c, Rgb(150, 150, 150), 0.6f * Line(card + 0.4f, 0.8f, pixel));
    c.a = EdgeCoverage(card / pixel);
    return c;
}

} // namespace

Picture PaintCardBack(CardBackDesign design, int width, int height)
{
    Picture out(width, height);
    const float ux = kUnitWidth / float(width), uy = kUnitHeight / float(height);
    // Edges are smoothed over one subsample (in units); the averaging does the rest.
    const float pixel = std::max(ux, uy) / kSubsamples;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Colour sum{0, 0, 0, 0};
            for (int j = 0; j < kSubsamples; ++j) {
                for (int i = 0; i < kSubsamples; ++i) {
                    const Colour c = CardBackAt(design, (x + (i + 0.5f) / kSubsamples) * ux,
                                                (y + (j + 0.5f) / kSubsamples) * uy, pixel);
                    sum.r += c.r * c.a;
                    sum.g += c.g * c.a;
                    sum.b += c.b * c.a;
                    sum.a += c.a;
                }
            }
            if (sum.a > 0)
                out.At(x, y) = {sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, sum.a / (kSubsamples * kSubsamples)};
        }
    }
    return out;
}

} // namespace art
