// The intro film: a dark green felt table under a soft light fades in, ten cards of a Skat
// hand are dealt onto it into a fan, the title "Vesk Marlit" appears in gold above them, and
// the light dims to a calm picture for the credits to run over. Music and the sound of the
// cards are synthesized. Everything is computed from fixed seeds: the same film every time.
//
// The pictures are rendered in true colour, then quantized to one palette of 220 colours
// (entries 10 to 229; the player keeps 0 to 9 and 246 to 255 for the system colours, and
// 230 to 245 hold a grey ramp for the credits) chosen by median cut from the film itself. The fades are palette changes: the pictures keep their
// indices, only the colours they stand for change.
#include "tools/smacker/intro_film.h"

#include "smacker/smacker_decoder.h"
#include "tools/smacker/film_files.h"
#include "tools/smacker/smacker_encoder.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kFrameRateCode = -6667; // 14.999 frames a second
constexpr double kFps = 100000.0 / 6667.0;
constexpr int kFrames = 120;          // eight seconds
constexpr int kFirstEntry = 10;       // palette entries the film may use: 10 .. 245
constexpr int kPictureEntries = 220;  // 10 .. 229 for the pictures
// 230 .. 245: a ramp of neutral greys that no picture uses and no fade dims. The credits
// crawl draws its grey text over the last frame with the palette's nearest colours; these
// give it an even ramp even where the film's own colours are dark.
constexpr int kGreyEntries = 16;
constexpr int kGreyStep = 12; // levels 12 .. 192, the range of the crawl's shading
constexpr uint32_t kSampleRate = 22050;

const char* const kSerifBold = "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf";
const char* const kSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kSansBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

struct Rgb {
    float R = 0, G = 0, B = 0;
};
Rgb Mix(Rgb a, Rgb b, float t) { return {a.R + (b.R - a.R) * t, a.G + (b.G - a.G) * t, a.B + (b.B - a.B) * t}; }
Rgb Scale(Rgb a, float s) { return {a.R * s, a.G * s, a.B * s}; }

struct Image {
    int W = 0, H = 0;
    std::vector<Rgb> P;
    Image() = default;
    Image(int w, int h) : W(w), H(h), P(size_t(w) * h) {}
    Rgb& At(int x, int y) { return P[size_t(y) * W + x]; }
};

struct Mask {
    int W = 0, H = 0;
    std::vector<float> A;
    Mask() = default;
    Mask(int w, int h) : W(w), H(h), A(size_t(w) * h, 0.f) {}
    float At(int x, int y) const { return (x < 0 || y < 0 || x >= W || y >= H) ? 0.f : A[size_t(y) * W + x]; }
    float& Ref(int x, int y) { return A[size_t(y) * W + x]; }
};

double Ease(double t) { return t <= 0 ? 0 : t >= 1 ? 1 : 1 - std::pow(1 - t, 3); }
double Clamp01(double t) { return t < 0 ? 0 : t > 1 ? 1 : t; }

// A small deterministic noise source.
struct Random {
    uint32_t State;
    explicit Random(uint32_t seed) : State(seed) {}
    float Next()
    {
        State ^= State << 13;
        State ^= State >> 17;
        State ^= State << 5;
        return float(State & 0xFFFFFF) / float(0x1000000);
    }
};

// --- text ----------------------------------------------------------------------------------

struct Fonts {
    FT_Library Library = nullptr;
    FT_Face Serif = nullptr, Sans = nullptr, SansBold = nullptr;
    bool Open()
    {
        return FT_Init_FreeType(&Library) == 0 && FT_New_Face(Library, kSerifBold, 0, &Serif) == 0 &&
               FT_New_Face(Library, kSans, 0, &Sans) == 0 && FT_New_Face(Library, kSansBold, 0, &SansBold) == 0;
    }
    ~Fonts()
    {
        for (FT_Face f : {Serif, Sans, SansBold})
            if (f)
                FT_Done_Face(f);
        if (Library)
            FT_Done_FreeType(Library);
    }
};

// Renders UTF-32 text at a pixel size into a coverage mask, with `pad` pixels of margin.
Mask RenderText(FT_Face face, const std::u32string& text, int pixels, int pad, float tracking = 0)
{
    FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixels));
    int width = 0, ascent = int(face->size->metrics.ascender >> 6), descent = int(-face->size->metrics.descender >> 6);
    for (char32_t c : text) {
        if (FT_Load_Char(face, c, FT_LOAD_DEFAULT) == 0)
            width += int(face->glyph->advance.x >> 6) + int(tracking);
    }
    Mask m(width + 2 * pad, ascent + descent + 2 * pad);
    int pen = pad;
    for (char32_t c : text) {
        if (FT_Load_Char(face, c, FT_LOAD_RENDER) != 0)
            continue;
        const FT_Bitmap& b = face->glyph->bitmap;
        int left = pen + face->glyph->bitmap_left, top = pad + ascent - face->glyph->bitmap_top;
        for (unsigned y = 0; y < b.rows; ++y)
            for (unsigned x = 0; x < b.width; ++x) {
                int px = left + int(x), py = top + int(y);
                if (px >= 0 && py >= 0 && px < m.W && py < m.H)
                    m.Ref(px, py) = std::max(m.Ref(px, py), b.buffer[y * unsigned(b.pitch) + x] / 255.f);
            }
        pen += int(face->glyph->advance.x >> 6) + int(tracking);
    }
    return m;
}

Mask Blur(const Mask& in, int radius)
{
    Mask tmp(in.W, in.H), out(in.W, in.H);
    const float n = float(2 * radius + 1);
    for (int y = 0; y < in.H; ++y)
        for (int x = 0; x < in.W; ++x) {
            float s = 0;
            for (int k = -radius; k <= radius; ++k)
                s += in.At(x + k, y);
            tmp.Ref(x, y) = s / n;
        }
    for (int y = 0; y < in.H; ++y)
        for (int x = 0; x < in.W; ++x) {
            float s = 0;
            for (int k = -radius; k <= radius; ++k)
                s += tmp.At(x, y + k);
            out.Ref(x, y) = s / n;
        }
    return out;
}

// Paints a mask with a colour (a function of the mask's row) and opacity at (x0, y0).
template <class Colour> void Paint(Image& img, const Mask& m, int x0, int y0, float opacity, Colour colour)
{
    for (int y = 0; y < m.H; ++y) {
        int iy = y0 + y;
        if (iy < 0 || iy >= img.H)
            continue;
        for (int x = 0; x < m.W; ++x) {
            int ix = x0 + x;
            float a = m.A[size_t(y) * m.W + x] * opacity;
            if (ix < 0 || ix >= img.W || a <= 0)
                continue;
            img.At(ix, iy) = Mix(img.At(ix, iy), colour(float(y) / float(m.H)), a);
        }
    }
}

// --- cards -----------------------------------------------------------------------------------

struct Card {
    const char32_t* Rank;
    char32_t Suit;
    bool Red;
};

// A Skat hand: the four jacks ("Buben"), then hearts and the ace of diamonds.
const Card kHand[10] = {
    {U"B", U'\u2663', false}, {U"B", U'\u2660', false}, {U"B", U'\u2665', true}, {U"B", U'\u2666', true},
    {U"A", U'\u2665', true},  {U"10", U'\u2665', true}, {U"K", U'\u2665', true}, {U"D", U'\u2665', true},
    {U"9", U'\u2665', true},  {U"A", U'\u2666', true},
};

// A card face as an image with coverage (rounded corners), drawn at its final pixel size.
struct CardFace {
    Image Face;
    Mask Shape;
};

float RoundedRect(float x, float y, float w, float h, float r)
{
    // Signed distance to a rounded rectangle of the given size (negative inside).
    float qx = std::fabs(x - w / 2) - (w / 2 - r), qy = std::fabs(y - h / 2) - (h / 2 - r);
    float ox = std::max(qx, 0.f), oy = std::max(qy, 0.f);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.f) - r;
}

void Stamp(Image& face, const Mask& m, int x0, int y0, Rgb colour, bool flip)
{
    for (int y = 0; y < m.H; ++y)
        for (int x = 0; x < m.W; ++x) {
            int fx = flip ? m.W - 1 - x : x, fy = flip ? m.H - 1 - y : y;
            float a = m.A[size_t(fy) * m.W + fx];
            int ix = x0 + x, iy = y0 + y;
            if (a > 0 && ix >= 0 && iy >= 0 && ix < face.W && iy < face.H)
                face.At(ix, iy) = Mix(face.At(ix, iy), colour, a);
        }
}

CardFace MakeCard(const Fonts& fonts, const Card& card, int w, int h)
{
    CardFace c{Image(w, h), Mask(w, h)};
    const float radius = float(w) * 0.09f;
    const Rgb paper{0.97f, 0.95f, 0.90f}, edge{0.78f, 0.76f, 0.72f};
    const Rgb ink = card.Red ? Rgb{0.80f, 0.08f, 0.10f} : Rgb{0.08f, 0.08f, 0.10f};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float d = RoundedRect(float(x) + 0.5f, float(y) + 0.5f, float(w), float(h), radius);
            c.Shape.Ref(x, y) = float(Clamp01(0.5 - d));
            // A faint shade towards the border gives the card some thickness.
            float border = float(Clamp01((-d) / (float(w) * 0.06f)));
            c.Face.At(x, y) = Mix(edge, paper, border);
        }
    const int corner = std::max(8, w / 6);
    Mask rank = RenderText(fonts.SansBold, card.Rank, corner, 0, card.Rank[1] ? -float(corner) * 0.12f : 0.f);
    Mask suit = RenderText(fonts.Sans, std::u32string(1, card.Suit), corner, 0);
    Mask big = RenderText(fonts.Sans, std::u32string(1, card.Suit), int(float(w) * 0.62f), 0);
    int margin = std::max(2, w / 16);
    Stamp(c.Face, rank, margin, margin - corner / 8, ink, false);
    Stamp(c.Face, suit, margin, margin + corner - corner / 6, ink, false);
    Stamp(c.Face, rank, w - margin - rank.W, h - margin - rank.H + corner / 8, ink, true);
    Stamp(c.Face, suit, w - margin - suit.W, h - margin - corner - suit.H + corner / 6 + corner / 8, ink, true);
    Stamp(c.Face, big, (w - big.W) / 2, (h - big.H) / 2, ink, false);
    return c;
}

struct Placement {
    float X, Y;     // centre
    float Angle;    // radians, clockwise
    float Scale;
    float Lift;     // height above the table: the shadow's offset and softness
};

// Draws a card with its shadow, by inverse mapping with bilinear sampling.
void DrawCard(Image& img, const CardFace& card, const Placement& p, float unit)
{
    const float cs = std::cos(p.Angle), sn = std::sin(p.Angle);
    const float hw = float(card.Face.W) / 2 * p.Scale, hh = float(card.Face.H) / 2 * p.Scale;
    const float reach = std::sqrt(hw * hw + hh * hh) + p.Lift * 2 + 4;
    auto sample = [&](float fx, float fy, Rgb* colour) -> float {
        // Screen point to card texture coordinates.
        float dx = fx - p.X, dy = fy - p.Y;
        float u = (dx * cs + dy * sn) / p.Scale + float(card.Face.W) / 2 - 0.5f;
        float v = (-dx * sn + dy * cs) / p.Scale + float(card.Face.H) / 2 - 0.5f;
        int x0 = int(std::floor(u)), y0 = int(std::floor(v));
        float tx = u - float(x0), ty = v - float(y0);
        float a = 0;
        Rgb c;
        for (int k = 0; k < 4; ++k) {
            int x = x0 + (k & 1), y = y0 + (k >> 1);
            float wgt = ((k & 1) ? tx : 1 - tx) * ((k >> 1) ? ty : 1 - ty);
            if (x < 0 || y < 0 || x >= card.Face.W || y >= card.Face.H)
                continue;
            float s = card.Shape.At(x, y) * wgt;
            a += s;
            if (colour) {
                const Rgb& t = card.Face.P[size_t(y) * card.Face.W + x];
                c.R += t.R * s, c.G += t.G * s, c.B += t.B * s;
            }
        }
        if (colour && a > 0)
            *colour = Scale(c, 1 / a);
        return a;
    };
    const float shadowX = unit * (1.5f + p.Lift * 0.5f), shadowY = unit * (2.5f + p.Lift * 0.8f);
    const float shadowStrength = 0.55f - std::min(0.3f, p.Lift * 0.02f);
    int x0 = std::max(0, int(p.X - reach)), x1 = std::min(img.W - 1, int(p.X + reach + shadowX));
    int y0 = std::max(0, int(p.Y - reach)), y1 = std::min(img.H - 1, int(p.Y + reach + shadowY));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float fx = float(x) + 0.5f, fy = float(y) + 0.5f;
            float shadow = sample(fx - shadowX, fy - shadowY, nullptr);
            Rgb& d = img.At(x, y);
            if (shadow > 0)
                d = Scale(d, 1 - shadow * shadowStrength);
            Rgb c;
            float a = sample(fx, fy, &c);
            if (a > 0)
                d = Mix(d, c, std::min(1.f, a));
        }
}

// --- the scene -------------------------------------------------------------------------------------

struct Scene {
    int W, H;
    float Unit; // one pixel at 640 wide
    Image Table;
    std::vector<CardFace> Cards;
    Mask Title, TitleShadow, Subtitle;
};

Image MakeTable(int w, int h, float unit)
{
    Image t(w, h);
    Random rnd(20260);
    // Felt: fine fibres (noise smoothed a little) under a warm pool of light.
    Mask grain(w, h);
    for (float& g : grain.A)
        g = rnd.Next();
    grain = Blur(grain, std::max(1, int(unit)));
    const Rgb felt{0.05f, 0.34f, 0.17f}, deep{0.005f, 0.05f, 0.03f};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float dx = (float(x) - float(w) * 0.5f) / float(w), dy = (float(y) - float(h) * 0.55f) / float(h);
            float light = float(std::exp(-(dx * dx * 2.6 + dy * dy * 3.2) * 2.2));
            float g = 0.9f + (grain.At(x, y) - 0.5f) * 0.9f;
            t.At(x, y) = Scale(Mix(deep, felt, light), g);
        }
    return t;
}

void PlaceFan(const Scene& s, int i, Placement& p)
{
    const float spread = 0.095f; // radians between cards
    float a = (float(i) - 4.5f) * spread;
    float radius = s.Unit * 300.f;
    float cx = float(s.W) * 0.5f, cy = float(s.H) * 0.72f + radius;
    p.X = cx + radius * std::sin(a);
    p.Y = cy - radius * std::cos(a);
    p.Angle = a;
    p.Scale = 1;
    p.Lift = 0;
}

// Card i leaves the dealer's hand at this time (seconds) and lands 0.55 s later.
double DealTime(int i) { return 0.7 + 0.33 * i; }
constexpr double kFlight = 0.55;
constexpr double kTitleIn = 4.3, kTitleFull = 5.5;
constexpr double kGlintFrom = 5.5, kGlintTo = 6.4;
constexpr double kDimFrom = 6.6, kDimTo = 7.8;

void RenderFrame(const Scene& s, double t, Image& out)
{
    out = s.Table;
    for (int i = 0; i < 10; ++i) {
        double start = DealTime(i);
        if (t < start)
            continue;
        Placement end;
        PlaceFan(s, i, end);
        double k = Ease((t - start) / kFlight);
        // From the dealer, above the top edge, in an arc with a turn and a lift.
        Placement p;
        float fromX = float(s.W) * (0.5f + 0.18f * float((i % 3) - 1)), fromY = -s.Unit * 90.f;
        float arc = float(std::sin(k * kPi)) * s.Unit * 40.f;
        p.X = float(fromX + (end.X - fromX) * k) - arc * 0.4f;
        p.Y = float(fromY + (end.Y - fromY) * k) - arc;
        p.Angle = float(end.Angle + (1 - k) * (2.4 + 0.3 * i));
        p.Scale = float(1 + (1 - k) * 0.18);
        p.Lift = float((1 - k) * 14);
        DrawCard(out, s.Cards[size_t(i)], p, s.Unit);
    }
    if (t >= kTitleIn) {
        float a = float(Ease((t - kTitleIn) / (kTitleFull - kTitleIn)));
        int tx = (s.W - s.Title.W) / 2, ty = int(float(s.H) * 0.10f);
        Paint(out, s.TitleShadow, tx + int(s.Unit * 3), ty + int(s.Unit * 4), 0.8f * a,
              [](float) { return Rgb{0, 0.02f, 0.01f}; });
        // Gold, bright at the top of the letters and deeper below, with a light line.
        Paint(out, s.Title, tx, ty, a, [](float v) {
            Rgb hi{1.0f, 0.93f, 0.62f}, mid{0.93f, 0.70f, 0.22f}, lo{0.55f, 0.33f, 0.08f};
            return v < 0.5f ? Mix(hi, mid, v * 2) : Mix(mid, lo, (v - 0.5f) * 2);
        });
        // Once the title stands, a glint of light runs over the letters.
        double glint = (t - kGlintFrom) / (kGlintTo - kGlintFrom);
        if (glint > 0 && glint < 1) {
            float centre = float(glint) * float(s.Title.W + s.Title.H) - float(s.Title.H) * 0.5f;
            float half = s.Unit * 18.f;
            for (int y = 0; y < s.Title.H; ++y)
                for (int x = 0; x < s.Title.W; ++x) {
                    float d = std::fabs(float(x) - float(y) * 0.45f - centre);
                    float m = s.Title.At(x, y);
                    if (d >= half || m <= 0 || tx + x < 0 || tx + x >= out.W || ty + y < 0 || ty + y >= out.H)
                        continue;
                    float k = (1 - d / half) * (1 - d / half) * m * 0.85f;
                    out.At(tx + x, ty + y) = Mix(out.At(tx + x, ty + y), Rgb{1.0f, 0.98f, 0.88f}, k);
                }
        }
        float b = float(Ease((t - kTitleIn - 0.6) / 1.0));
        int sx = (s.W - s.Subtitle.W) / 2, sy = ty + s.Title.H - int(s.Unit * 14);
        Paint(out, s.Subtitle, sx, sy, 0.9f * b, [](float) { return Rgb{0.86f, 0.82f, 0.70f}; });
    }
}

// The palette of each frame: the film's colours faded in from black and dimmed at the end.
double Brightness(double t)
{
    double in = Clamp01(t / 1.1);
    double dim = Clamp01((t - kDimFrom) / (kDimTo - kDimFrom));
    return (1 - std::pow(1 - in, 2)) * (1 - 0.55 * (dim * dim * (3 - 2 * dim)));
}

// --- palette ---------------------------------------------------------------------------------------

// A colour of the film at the palette's precision (6 bits a component) and how often it occurs.
struct Bin {
    std::array<uint8_t, 3> Colour;
    uint64_t Count;
};

// Median cut over the film's colours, into at most n boxes split at their weighted medians;
// each box's weighted mean becomes a palette colour (6-bit components).
std::vector<std::array<uint8_t, 3>> MedianCut(std::vector<Bin> bins, int n)
{
    struct Box {
        size_t First, Last; // bins[First, Last)
        uint64_t Weight;
    };
    auto weigh = [&](size_t a, size_t b) {
        uint64_t w = 0;
        for (size_t i = a; i < b; ++i)
            w += bins[i].Count;
        return w;
    };
    auto spread = [&](const Box& b, int c) {
        int lo = 63, hi = 0;
        for (size_t i = b.First; i < b.Last; ++i)
            lo = std::min(lo, int(bins[i].Colour[size_t(c)])), hi = std::max(hi, int(bins[i].Colour[size_t(c)]));
        return hi - lo;
    };
    std::vector<Box> boxes{{0, bins.size(), weigh(0, bins.size())}};
    while (int(boxes.size()) < n) {
        size_t best = 0;
        int channel = 0;
        double score = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].Last - boxes[i].First < 2)
                continue;
            for (int c = 0; c < 3; ++c) {
                double s = double(spread(boxes[i], c)) * std::sqrt(double(boxes[i].Weight));
                if (s > score)
                    score = s, best = i, channel = c;
            }
        }
        if (score <= 0)
            break;
        Box& b = boxes[best];
        std::sort(bins.begin() + std::ptrdiff_t(b.First), bins.begin() + std::ptrdiff_t(b.Last), [&](const Bin& x, const Bin& y) {
            return x.Colour[size_t(channel)] != y.Colour[size_t(channel)] ? x.Colour[size_t(channel)] < y.Colour[size_t(channel)]
                                                                          : x.Colour < y.Colour;
        });
        size_t cut = b.First;
        uint64_t below = 0;
        while (cut + 1 < b.Last && below + bins[cut].Count <= b.Weight / 2)
            below += bins[cut++].Count;
        if (cut == b.First)
            below += bins[cut++].Count;
        Box upper{cut, b.Last, b.Weight - below};
        b.Last = cut;
        b.Weight = below;
        boxes.push_back(upper);
    }
    std::vector<std::array<uint8_t, 3>> palette;
    for (const Box& b : boxes) {
        double sum[3] = {};
        for (size_t i = b.First; i < b.Last; ++i)
            for (int k = 0; k < 3; ++k)
                sum[k] += double(bins[i].Colour[size_t(k)]) * double(bins[i].Count);
        std::array<uint8_t, 3> mean;
        for (int k = 0; k < 3; ++k)
            mean[size_t(k)] = uint8_t(sum[k] / double(b.Weight) + 0.5);
        palette.push_back(mean);
    }
    return palette;
}

// True colour to bytes, with a slight lift of the dark tones; through a table, since every
// pixel of every frame passes here.
struct ToneCurve {
    uint8_t Table[4097];
    ToneCurve()
    {
        for (int i = 0; i <= 4096; ++i)
            Table[i] = uint8_t(std::lround(std::pow(i / 4096.0, 1 / 1.15) * 255));
    }
    std::array<uint8_t, 3> operator()(const Rgb& c) const
    {
        auto b = [&](float v) { return Table[int(Clamp01(double(v)) * 4096)]; };
        return {b(c.R), b(c.G), b(c.B)};
    }
};
const ToneCurve ToBytes;

// Maps colours to the nearest palette entry, through a cache of 6 bits a component.
struct Quantizer {
    std::vector<std::array<uint8_t, 3>> Palette; // 6-bit exact colours, as stored
    std::vector<int16_t> Cache = std::vector<int16_t>(1 << 18, -1);

    uint8_t Index(std::array<uint8_t, 3> c)
    {
        int key = (c[0] >> 2) << 12 | (c[1] >> 2) << 6 | (c[2] >> 2);
        int16_t& slot = Cache[size_t(key)];
        if (slot < 0) {
            int best = 0, bestDistance = 1 << 30;
            for (size_t i = 0; i < Palette.size(); ++i) {
                int d = 0;
                const int weight[3] = {3, 4, 2};
                for (int k = 0; k < 3; ++k) {
                    int e = int(SmkExpand6(Palette[i][size_t(k)])) - int(c[size_t(k)]);
                    d += weight[k] * e * e;
                }
                if (d < bestDistance)
                    bestDistance = d, best = int(i);
            }
            slot = int16_t(best);
        }
        return uint8_t(kFirstEntry + slot);
    }
};

// --- sound -----------------------------------------------------------------------------------------

struct Mixer {
    std::vector<float> L, R;
    explicit Mixer(size_t n) : L(n, 0.f), R(n, 0.f) {}
    void Add(size_t at, float v, float pan)
    {
        if (at < L.size()) {
            L[at] += v * (1 - pan);
            R[at] += v * (1 + pan);
        }
    }
};

double NoteHz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

// A plucked string (Karplus-Strong) with a gentle low-pass: warm, guitar-like tones.
void Pluck(Mixer& m, double at, int midi, float volume, float pan, uint32_t seed)
{
    const double hz = NoteHz(midi);
    const size_t period = size_t(double(kSampleRate) / hz);
    std::vector<float> line(period);
    Random rnd(seed);
    for (float& v : line)
        v = rnd.Next() * 2 - 1;
    size_t start = size_t(at * kSampleRate), n = size_t(3.0 * kSampleRate);
    float previous = 0;
    for (size_t i = 0; i < n; ++i) {
        size_t k = i % period;
        float v = line[k];
        float next = 0.4985f * (v + line[(k + 1) % period]);
        line[k] = next;
        float soft = 0.6f * v + 0.4f * previous;
        previous = v;
        m.Add(start + i, soft * volume, pan);
    }
}

// A soft pad: detuned sines with a slow swell.
void Pad(Mixer& m, double at, double length, const std::vector<int>& notes, float volume)
{
    size_t start = size_t(at * kSampleRate), n = size_t(length * kSampleRate);
    for (size_t i = 0; i < n; ++i) {
        double t = double(i) / kSampleRate;
        double env = std::min(1.0, t / 0.8) * std::min(1.0, (length - t) / 0.9);
        double v = 0;
        for (int note : notes) {
            double f = NoteHz(note);
            v += std::sin(2 * kPi * f * t) + 0.5 * std::sin(2 * kPi * f * 1.003 * t + 1.0) +
                 0.2 * std::sin(2 * kPi * f * 2.0 * t);
        }
        m.Add(start + i, float(v * env * volume / double(notes.size())), 0);
    }
}

// A bell: inharmonic partials that fade at different speeds.
void Bell(Mixer& m, double at, int midi, float volume, float pan)
{
    const double f = NoteHz(midi);
    const double ratio[5] = {1.0, 2.01, 2.76, 4.07, 5.43}, decay[5] = {1.6, 1.1, 0.8, 0.5, 0.35},
                 level[5] = {1.0, 0.5, 0.35, 0.2, 0.12};
    size_t start = size_t(at * kSampleRate), n = size_t(3.5 * kSampleRate);
    for (size_t i = 0; i < n; ++i) {
        double t = double(i) / kSampleRate, v = 0;
        for (int k = 0; k < 5; ++k)
            v += level[k] * std::exp(-t / decay[k]) * std::sin(2 * kPi * f * ratio[k] * t);
        m.Add(start + i, float(v * volume * std::min(1.0, t / 0.004)), pan);
    }
}

// A card: a swish of filtered noise while it flies, a soft tap when it lands.
void CardSound(Mixer& m, double at, float pan, uint32_t seed)
{
    Random rnd(seed);
    size_t start = size_t(at * kSampleRate), n = size_t(kFlight * kSampleRate);
    float low = 0, band = 0;
    for (size_t i = 0; i < n; ++i) {
        double t = double(i) / double(n);
        float noise = rnd.Next() * 2 - 1;
        low += 0.25f * (noise - low);
        band += 0.5f * ((noise - low) - band);
        float env = float(std::sin(kPi * t) * std::exp(-2.5 * t));
        m.Add(start + i, band * env * 0.10f, pan * float(1 - t));
    }
    size_t land = start + n - size_t(0.03 * kSampleRate);
    for (size_t i = 0; i < size_t(0.06 * kSampleRate); ++i) {
        double t = double(i) / kSampleRate;
        float noise = rnd.Next() * 2 - 1;
        m.Add(land + i, float((noise * 0.5 + std::sin(2 * kPi * 180 * t)) * std::exp(-t * 90) * 0.18), 0);
    }
}

// 16-bit little-endian stereo through a gentle limiter; the last second fades out.
void MixToSamples(const Mixer& m, double seconds, std::vector<uint8_t>& samples)
{
    const size_t n = m.L.size();
    for (size_t i = 0; i < n; ++i) {
        double t = double(i) / kSampleRate;
        float fade = float(std::max(0.0, std::min(1.0, (seconds - t) / 1.0)));
        for (float v : {m.L[i], m.R[i]}) {
            float s = std::tanh(v * 1.8f) * fade;
            int16_t q = int16_t(std::lround(s * 26000));
            samples.push_back(uint8_t(q & 0xFF));
            samples.push_back(uint8_t((q >> 8) & 0xFF));
        }
    }
}

SmkEncodeTrack MakeMusic(double seconds)
{
    Mixer m(size_t(seconds * kSampleRate));
    // D major, calm: D - Bm - G - A - D, one chord every 1.6 s, an arpeggio above.
    const int chords[5][3] = {{50, 57, 62}, {47, 54, 59}, {43, 50, 55}, {45, 52, 57}, {50, 57, 62}};
    for (int c = 0; c < 5; ++c) {
        double at = 0.2 + 1.6 * c;
        Pad(m, at, c == 4 ? seconds - at - 0.05 : 1.75, {chords[c][0] + 12, chords[c][1] + 12, chords[c][2] + 12}, 0.05f);
        Pluck(m, at, chords[c][0] - 12, 0.30f, 0, 11u + uint32_t(c));
        const int pattern[4] = {0, 1, 2, 1};
        for (int k = 0; k < 4 && c < 4; ++k) {
            int note = chords[c][pattern[k]] + 12 + (k == 2 ? 12 : 0);
            Pluck(m, at + 0.4 * k, note, 0.18f, k % 2 ? 0.35f : -0.35f, 100u + uint32_t(c * 4 + k));
        }
    }
    for (int i = 0; i < 10; ++i)
        CardSound(m, DealTime(i), (i % 3 - 1) * 0.5f, 700u + uint32_t(i));
    Bell(m, kTitleIn + 0.1, 74, 0.16f, -0.2f);
    Bell(m, kTitleIn + 0.1, 78, 0.11f, 0.2f);
    Bell(m, kTitleIn + 0.1, 81, 0.09f, 0);

    SmkEncodeTrack track;
    track.Rate = kSampleRate;
    track.Channels = 2;
    track.Bits = 16;
    track.Compressed = true;
    MixToSamples(m, seconds, track.Samples);
    return track;
}

// The crawl's music, track 2 of the sample medium: the film's instruments in a slow round
// of eight chords in D major, twice, the second time with a melody of bells above the
// arpeggios, and a last chord that rings out.
WavSound MakeCrawlMusic(double seconds)
{
    Mixer m(size_t(seconds * kSampleRate));
    const int chords[8][3] = {{50, 57, 62}, {47, 54, 59}, {43, 50, 55}, {45, 52, 57},
                              {50, 57, 62}, {43, 50, 55}, {40, 47, 55}, {45, 52, 57}};
    const int melody[8] = {78, 74, 74, 76, 81, 79, 76, 73};
    const double chordLength = 2.4;
    int round = 0;
    for (double at = 0.3; at + chordLength < seconds - 2.5; at += chordLength, ++round) {
        const int* chord = chords[round % 8];
        Pad(m, at, chordLength + 0.35, {chord[0] + 12, chord[1] + 12, chord[2] + 12}, 0.045f);
        Pluck(m, at, chord[0] - 12, 0.30f, 0, 300u + uint32_t(round));
        const int pattern[6] = {0, 1, 2, 1, 2, 1};
        for (int k = 0; k < 6; ++k) {
            int note = chord[pattern[k]] + 12 + (k == 2 ? 12 : 0);
            Pluck(m, at + 0.4 * k, note, 0.16f, k % 2 ? 0.35f : -0.35f, 400u + uint32_t(round * 6 + k));
        }
        if (round >= 8)
            Bell(m, at + 0.05, melody[round % 8], 0.10f, (round % 3 - 1) * 0.3f);
    }
    const double last = 0.3 + chordLength * round;
    Pad(m, last, seconds - last - 0.05, {62, 69, 74}, 0.05f);
    Pluck(m, last, 38, 0.30f, 0, 900u);
    Bell(m, last + 0.05, 74, 0.12f, 0);

    WavSound sound;
    sound.Rate = kSampleRate;
    sound.Channels = 2;
    sound.Bits = 16;
    MixToSamples(m, seconds, sound.Samples);
    return sound;
}

} // namespace

bool WriteIntroFilm(const std::string& path, uint32_t width, uint32_t height)
{
    if (width == 0 || height == 0 || width % 4 || height % 4) {
        std::fprintf(stderr, "intro: width and height must be multiples of 4\n");
        return false;
    }
    Fonts fonts;
    if (!fonts.Open()) {
        std::fprintf(stderr, "intro: the DejaVu fonts cannot be loaded\n");
        return false;
    }
    Scene s;
    s.W = int(width);
    s.H = int(height);
    s.Unit = float(width) / 640.f;
    s.Table = MakeTable(s.W, s.H, s.Unit);
    const int cardW = int(std::lround(72 * s.Unit)), cardH = int(std::lround(104 * s.Unit));
    for (const Card& c : kHand)
        s.Cards.push_back(MakeCard(fonts, c, cardW, cardH));
    s.Title = RenderText(fonts.Serif, U"Vesk Marlit", int(std::lround(70 * s.Unit)), int(8 * s.Unit) + 2);
    s.TitleShadow = Blur(s.Title, std::max(1, int(3 * s.Unit)));
    s.Subtitle = RenderText(fonts.Sans, U"S K A T", int(std::lround(20 * s.Unit)), 2, 4 * s.Unit);

    // Render every frame in true colour, then choose the palette from a sample of them.
    std::vector<Image> rendered(kFrames);
    std::vector<uint64_t> histogram(1 << 18, 0);
    for (int f = 0; f < kFrames; ++f) {
        RenderFrame(s, f / kFps, rendered[size_t(f)]);
        for (const Rgb& p : rendered[size_t(f)].P) {
            std::array<uint8_t, 3> c = ToBytes(p);
            ++histogram[size_t(SmkQuantize6(c[0]) << 12 | SmkQuantize6(c[1]) << 6 | SmkQuantize6(c[2]))];
        }
    }
    std::vector<Bin> bins;
    for (uint32_t key = 0; key < histogram.size(); ++key)
        if (histogram[key])
            bins.push_back({{uint8_t(key >> 12), uint8_t((key >> 6) & 63), uint8_t(key & 63)}, histogram[key]});
    Quantizer q;
    q.Palette = MedianCut(std::move(bins), kPictureEntries);

    std::vector<SmkEncodeFrame> frames(kFrames);
    for (int f = 0; f < kFrames; ++f) {
        SmkEncodeFrame& out = frames[size_t(f)];
        out.Pixels.resize(size_t(width) * height);
        for (size_t i = 0; i < out.Pixels.size(); ++i)
            out.Pixels[i] = q.Index(ToBytes(rendered[size_t(f)].P[i]));
        const double light = Brightness(f / kFps);
        for (size_t i = 0; i < q.Palette.size(); ++i)
            for (int k = 0; k < 3; ++k)
                out.Palette[3 * (kFirstEntry + i) + size_t(k)] =
                    SmkExpand6(int(std::lround(q.Palette[i][size_t(k)] * light)));
        for (int g = 0; g < kGreyEntries; ++g)
            std::memset(out.Palette + 3 * (kFirstEntry + kPictureEntries + g), kGreyStep * (g + 1), 3);
    }

    SmkEncodeOptions o;
    o.Width = width;
    o.Height = height;
    o.FrameRate = kFrameRateCode;
    o.Smk4 = true;
    o.AudioLeadMs = 300;
    std::vector<uint8_t> file;
    std::string error;
    if (!SmkEncode(o, frames, {MakeMusic(kFrames / kFps)}, file, error)) {
        std::fprintf(stderr, "intro: %s\n", error.c_str());
        return false;
    }
    if (!WriteFileBytes(path, file.data(), file.size())) {
        std::fprintf(stderr, "%s: cannot be written\n", path.c_str());
        return false;
    }
    return true;
}

bool WriteCrawlMusic(const std::string& path, double seconds)
{
    if (!(seconds >= 5 && seconds <= 600)) {
        std::fprintf(stderr, "crawl music: between 5 and 600 seconds\n");
        return false;
    }
    if (!WriteWav(path, MakeCrawlMusic(seconds))) {
        std::fprintf(stderr, "%s: cannot be written\n", path.c_str());
        return false;
    }
    return true;
}
