#include "tools/art/paint.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace art {

uint8_t ToByte(float v)
{
    return uint8_t(std::lround(Clamp01(v) * 255.0f));
}

Rgba8Picture ToRgba8(const Picture& picture)
{
    Rgba8Picture out;
    out.width = picture.width;
    out.height = picture.height;
    out.rgba.reserve(picture.pixels.size() * 4);
    for (const Colour& c : picture.pixels)
        out.rgba.insert(out.rgba.end(), {ToByte(c.r), ToByte(c.g), ToByte(c.b), ToByte(c.a)});
    return out;
}

float Clamp01(float v)
{
    return std::clamp(v, 0.0f, 1.0f);
}

float Mix(float a, float b, float t)
{
    return a + (b - a) * t;
}

Colour Mix(const Colour& a, const Colour& b, float t)
{
    return {Mix(a.r, b.r, t), Mix(a.g, b.g, t), Mix(a.b, b.b, t), Mix(a.a, b.a, t)};
}

float SmoothStep(float edge0, float edge1, float x)
{
    const float t = Clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}

Colour Rgb(int r, int g, int b, float a)
{
    return {r / 255.0f, g / 255.0f, b / 255.0f, a};
}

float Hash01(int x, int y, uint32_t seed)
{
    // An integer mixer with good avalanche: neighbouring lattice points are unrelated.
    uint32_t h = uint32_t(x) * 0x8da6b343u ^ uint32_t(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return float(h >> 8) / float(1u << 24);
}

float ValueNoise(float x, float y, uint32_t seed)
{
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = int(fx), iy = int(fy);
    const float tx = SmoothStep(0, 1, x - fx), ty = SmoothStep(0, 1, y - fy);
    const float top = Mix(Hash01(ix, iy, seed), Hash01(ix + 1, iy, seed), tx);
    const float bottom = Mix(Hash01(ix, iy + 1, seed), Hash01(ix + 1, iy + 1, seed), tx);
    return Mix(top, bottom, ty);
}

float FractalNoise(float x, float y, int octaves, uint32_t seed)
{
    float sum = 0, amplitude = 0.5f, total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * ValueNoise(x, y, seed + uint32_t(i) * 1013u);
        total += amplitude;
        x *= 2.03f;
        y *= 2.03f;
        amplitude *= 0.5f;
    }
    return sum / total;
}

namespace {

std::vector<float> GaussianKernel(float sigma)
{
    const int radius = std::max(1, int(std::ceil(sigma * 3)));
    std::vector<float> kernel(size_t(2 * radius + 1));
    float sum = 0;
    for (int i = -radius; i <= radius; ++i) {
        kernel[size_t(i + radius)] = std::exp(-0.5f * float(i * i) / (sigma * sigma));
        sum += kernel[size_t(i + radius)];
    }
    for (float& k : kernel)
        k /= sum;
    return kernel;
}

} // namespace

Mask Blur(const Mask& mask, float sigma)
{
    if (sigma <= 0)
        return mask;
    const std::vector<float> kernel = GaussianKernel(sigma);
    const int radius = int(kernel.size() / 2);
    Mask across(mask.width, mask.height), out(mask.width, mask.height);
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            float sum = 0;
            for (int i = -radius; i <= radius; ++i)
                sum += kernel[size_t(i + radius)] * mask.Get(x + i, y);
            across.At(x, y) = sum;
        }
    }
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            float sum = 0;
            for (int i = -radius; i <= radius; ++i)
                sum += kernel[size_t(i + radius)] * across.Get(x, y + i);
            out.At(x, y) = sum;
        }
    }
    return out;
}

Mask Grow(const Mask& mask, float radius)
{
    const int r = int(std::ceil(radius));
    Mask out(mask.width, mask.height);
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            float best = 0;
            for (int dy = -r; dy <= r; ++dy) {
                for (int dx = -r; dx <= r; ++dx) {
                    // The brush's own edge is anti-aliased, so growth by a fraction shows.
                    const float weight = Clamp01(radius + 0.5f - std::sqrt(float(dx * dx + dy * dy)));
                    best = std::max(best, weight * mask.Get(x + dx, y + dy));
                }
            }
            out.At(x, y) = best;
        }
    }
    return out;
}

Mask Shift(const Mask& mask, int dx, int dy)
{
    Mask out(mask.width, mask.height);
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x)
            out.At(x, y) = mask.Get(x - dx, y - dy);
    }
    return out;
}

float RoundedBoxDistance(float x, float y, float halfWidth, float halfHeight, float radius)
{
    const float qx = std::abs(x) - halfWidth + radius, qy = std::abs(y) - halfHeight + radius;
    const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - radius;
}

float CircleDistance(float x, float y, float radius)
{
    return std::hypot(x, y) - radius;
}

float EdgeCoverage(float distance)
{
    return Clamp01(0.5f - distance);
}

namespace {

// Calls visit(sourceX, sourceY, target pixel) for every pixel of a width x height source
// placed at (left, top) that falls inside the target.
template <class Visit>
void ForEachPlaced(Picture& target, int width, int height, int left, int top, Visit visit)
{
    const int x0 = std::max(0, -left), x1 = std::min(width, target.width - left);
    const int y0 = std::max(0, -top), y1 = std::min(height, target.height - top);
    for (int sy = y0; sy < y1; ++sy) {
        for (int sx = x0; sx < x1; ++sx)
            visit(sx, sy, target.At(left + sx, top + sy));
    }
}

} // namespace

void PaintMask(Picture& target, const Mask& mask, int left, int top, const Colour& colour, float opacity)
{
    PaintMask(target, mask, left, top, [&colour](int, int) { return colour; }, opacity);
}

void PaintMask(Picture& target, const Mask& mask, int left, int top, const std::function<Colour(int x, int y)>& colour,
               float opacity)
{
    ForEachPlaced(target, mask.width, mask.height, left, top, [&](int mx, int my, Colour& d) {
        const float m = mask.At(mx, my);
        if (m <= 0)
            return;
        const Colour c = colour(left + mx, top + my);
        const float a = Clamp01(m * opacity * c.a);
        d = {Mix(d.r, c.r, a), Mix(d.g, c.g, a), Mix(d.b, c.b, a), d.a + (1 - d.a) * a};
    });
}

void Darken(Picture& target, const Mask& mask, int left, int top, float strength)
{
    ForEachPlaced(target, mask.width, mask.height, left, top, [&](int mx, int my, Colour& d) {
        const float f = 1 - Clamp01(strength * mask.At(mx, my));
        d.r *= f;
        d.g *= f;
        d.b *= f;
    });
}

void Over(Picture& target, const Picture& layer, int left, int top)
{
    ForEachPlaced(target, layer.width, layer.height, left, top, [&](int lx, int ly, Colour& d) {
        const Colour& s = layer.At(lx, ly);
        if (s.a <= 0)
            return;
        const float a = s.a + d.a * (1 - s.a);
        const float keep = d.a * (1 - s.a);
        d = {(s.r * s.a + d.r * keep) / a, (s.g * s.a + d.g * keep) / a, (s.b * s.a + d.b * keep) / a, a};
    });
}

namespace {

// Bilinear sample with premultiplied colour. Outside the layer is transparent; inside, the
// edge pixels extend to the very edge, so a layer neither bleeds nor shrinks by half a pixel.
Colour SamplePremultiplied(const Picture& layer, float x, float y)
{
    if (x < 0 || y < 0 || x >= float(layer.width) || y >= float(layer.height))
        return {0, 0, 0, 0};
    const float fx = std::clamp(x - 0.5f, 0.0f, float(layer.width - 1));
    const float fy = std::clamp(y - 0.5f, 0.0f, float(layer.height - 1));
    const int x0 = int(fx), y0 = int(fy);
    const int x1 = std::min(x0 + 1, layer.width - 1), y1 = std::min(y0 + 1, layer.height - 1);
    const float tx = fx - float(x0), ty = fy - float(y0);
    Colour sum{0, 0, 0, 0};
    const int xs[2] = {x0, x1}, ys[2] = {y0, y1};
    for (int j = 0; j < 2; ++j) {
        for (int i = 0; i < 2; ++i) {
            const float w = (i ? tx : 1 - tx) * (j ? ty : 1 - ty);
            const Colour& c = layer.At(xs[i], ys[j]);
            sum.r += c.r * c.a * w;
            sum.g += c.g * c.a * w;
            sum.b += c.b * c.a * w;
            sum.a += c.a * w;
        }
    }
    return sum;
}

} // namespace

Picture Transform(const Picture& layer, int width, int height, const Placement& placement, int supersample)
{
    Picture out(width, height);
    const float radians = placement.degrees * std::numbers::pi_v<float> / 180.0f;
    const float c = std::cos(radians), s = std::sin(radians);
    const float halfW = layer.width * 0.5f, halfH = layer.height * 0.5f;
    // Only the target pixels that the turned layer's bounding box touches are visited.
    const float reachX = (std::abs(c) * halfW + std::abs(s) * halfH) * placement.scale + 2;
    const float reachY = (std::abs(s) * halfW + std::abs(c) * halfH) * placement.scale + 2;
    const int x0 = std::max(0, int(placement.x - reachX)), x1 = std::min(width, int(placement.x + reachX) + 1);
    const int y0 = std::max(0, int(placement.y - reachY)), y1 = std::min(height, int(placement.y + reachY) + 1);
    const float inverse = 1.0f / placement.scale;
    const float samples = float(supersample * supersample);
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            Colour sum{0, 0, 0, 0};
            for (int j = 0; j < supersample; ++j) {
                for (int i = 0; i < supersample; ++i) {
                    const float dx = x + (i + 0.5f) / supersample - placement.x;
                    const float dy = y + (j + 0.5f) / supersample - placement.y;
                    // Undo the turn and the scale: target offset to layer coordinates.
                    const float lx = (c * dx + s * dy) * inverse + halfW;
                    const float ly = (-s * dx + c * dy) * inverse + halfH;
                    const Colour p = SamplePremultiplied(layer, lx, ly);
                    sum.r += p.r;
                    sum.g += p.g;
                    sum.b += p.b;
                    sum.a += p.a;
                }
            }
            if (sum.a <= 0)
                continue;
            out.At(x, y) = {sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, sum.a / samples};
        }
    }
    return out;
}

Mask AlphaOf(const Picture& picture)
{
    Mask out(picture.width, picture.height);
    for (size_t i = 0; i < picture.pixels.size(); ++i)
        out.values[i] = picture.pixels[i].a;
    return out;
}

} // namespace art
