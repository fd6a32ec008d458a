#include "tools/art/quantise.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <tuple>

namespace art {

namespace {

constexpr std::array<float, 3> kWeights = {3.0f, 4.0f, 2.0f};
constexpr int kRefinementRounds = 8;

// One distinct colour of the picture (components 0..255) and how many pixels have it.
struct Sample {
    std::array<float, 3> c;
    double count;
};

struct Box {
    size_t begin, end;
    double error; // weighted sum of squared distances to the box's mean
};

std::array<double, 3> Mean(const std::vector<Sample>& samples, size_t begin, size_t end)
{
    std::array<double, 3> sum = {0, 0, 0};
    double n = 0;
    for (size_t i = begin; i < end; ++i) {
        for (int k = 0; k < 3; ++k)
            sum[k] += samples[i].c[k] * samples[i].count;
        n += samples[i].count;
    }
    for (double& s : sum)
        s /= n;
    return sum;
}

double BoxError(const std::vector<Sample>& samples, size_t begin, size_t end)
{
    const auto mean = Mean(samples, begin, end);
    double error = 0;
    for (size_t i = begin; i < end; ++i) {
        for (int k = 0; k < 3; ++k) {
            const double d = samples[i].c[k] - mean[k];
            error += kWeights[k] * d * d * samples[i].count;
        }
    }
    return error;
}

// Sorts the box along its widest weighted axis and cuts it where the two halves together
// have the least squared error; returns the first index of the second half.
size_t SplitBox(std::vector<Sample>& samples, const Box& box)
{
    const auto mean = Mean(samples, box.begin, box.end);
    std::array<double, 3> spread = {0, 0, 0};
    for (size_t i = box.begin; i < box.end; ++i) {
        for (int k = 0; k < 3; ++k) {
            const double d = samples[i].c[k] - mean[k];
            spread[k] += kWeights[k] * d * d * samples[i].count;
        }
    }
    const int axis = int(std::max_element(spread.begin(), spread.end()) - spread.begin());
    std::sort(samples.begin() + long(box.begin), samples.begin() + long(box.end), [axis](const Sample& a, const Sample& b) {
        if (a.c[axis] != b.c[axis])
            return a.c[axis] < b.c[axis];
        return a.c < b.c;
    });

    // Prefix sums give every cut's error in one pass: error = sum w|c|^2 - |sum w c|^2 / sum w.
    const size_t n = box.end - box.begin;
    std::vector<double> weight(n + 1, 0), square(n + 1, 0);
    std::vector<std::array<double, 3>> linear(n + 1, {0, 0, 0});
    for (size_t i = 0; i < n; ++i) {
        const Sample& s = samples[box.begin + i];
        weight[i + 1] = weight[i] + s.count;
        square[i + 1] = square[i];
        linear[i + 1] = linear[i];
        for (int k = 0; k < 3; ++k) {
            square[i + 1] += kWeights[k] * s.c[k] * s.c[k] * s.count;
            linear[i + 1][k] += s.c[k] * s.count;
        }
    }
    auto error = [&](size_t from, size_t to) {
        const double w = weight[to] - weight[from];
        double e = square[to] - square[from];
        for (int k = 0; k < 3; ++k) {
            const double l = linear[to][k] - linear[from][k];
            e -= kWeights[k] * l * l / w;
        }
        return e;
    };
    size_t best = 1;
    double bestError = error(0, 1) + error(1, n);
    for (size_t cut = 2; cut < n; ++cut) {
        const double e = error(0, cut) + error(cut, n);
        if (e < bestError) {
            bestError = e;
            best = cut;
        }
    }
    return box.begin + best;
}

std::vector<Sample> DistinctOpaqueColours(const Picture& picture)
{
    std::map<uint32_t, double> counts; // ordered, so the result does not depend on hashing
    for (const Colour& p : picture.pixels) {
        if (p.a < 0.5f)
            continue;
        const uint32_t key = uint32_t(ToByte(p.r)) << 16 | uint32_t(ToByte(p.g)) << 8 | ToByte(p.b);
        counts[key] += 1;
    }
    std::vector<Sample> samples;
    samples.reserve(counts.size());
    for (const auto& [key, count] : counts)
        samples.push_back({{float(key >> 16), float(key >> 8 & 0xff), float(key & 0xff)}, count});
    return samples;
}

std::vector<std::array<double, 3>> MedianCut(std::vector<Sample>& samples, int maxColours)
{
    std::vector<Box> boxes = {{0, samples.size(), BoxError(samples, 0, samples.size())}};
    while (int(boxes.size()) < maxColours) {
        auto widest = std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
            return a.error < b.error;
        });
        if (widest->error <= 0 || widest->end - widest->begin < 2)
            break;
        const Box box = *widest;
        const size_t cut = SplitBox(samples, box);
        *widest = {box.begin, cut, BoxError(samples, box.begin, cut)};
        boxes.push_back({cut, box.end, BoxError(samples, cut, box.end)});
    }
    std::vector<std::array<double, 3>> centres;
    for (const Box& box : boxes)
        centres.push_back(Mean(samples, box.begin, box.end));
    return centres;
}

// Lloyd rounds: every colour goes to its nearest centre, every centre to its members' mean.
// A centre that loses all its members stays where it was.
void Refine(const std::vector<Sample>& samples, std::vector<std::array<double, 3>>& centres)
{
    for (int round = 0; round < kRefinementRounds; ++round) {
        std::vector<std::array<double, 4>> sums(centres.size(), {0, 0, 0, 0});
        for (const Sample& s : samples) {
            size_t best = 0;
            float bestDistance = INFINITY;
            for (size_t i = 0; i < centres.size(); ++i) {
                const float d = ColourDistance(s.c[0], s.c[1], s.c[2], float(centres[i][0]), float(centres[i][1]),
                                               float(centres[i][2]));
                if (d < bestDistance) {
                    bestDistance = d;
                    best = i;
                }
            }
            for (int k = 0; k < 3; ++k)
                sums[best][k] += s.c[k] * s.count;
            sums[best][3] += s.count;
        }
        for (size_t i = 0; i < centres.size(); ++i) {
            if (sums[i][3] > 0) {
                for (int k = 0; k < 3; ++k)
                    centres[i][k] = sums[i][k] / sums[i][3];
            }
        }
    }
}

uint8_t ClampByte(double v)
{
    return uint8_t(std::clamp(std::lround(v), 0L, 255L));
}

} // namespace

float ColourDistance(float r1, float g1, float b1, float r2, float g2, float b2)
{
    const float dr = r1 - r2, dg = g1 - g2, db = b1 - b2;
    return kWeights[0] * dr * dr + kWeights[1] * dg * dg + kWeights[2] * db * db;
}

std::vector<Rgb8> MakePalette(const Picture& picture, int maxColours)
{
    maxColours = std::clamp(maxColours, 1, 256);
    std::vector<Sample> samples = DistinctOpaqueColours(picture);
    if (samples.empty())
        return {Rgb8{}};

    std::vector<Rgb8> palette;
    if (int(samples.size()) <= maxColours) {
        for (const Sample& s : samples)
            palette.push_back({uint8_t(s.c[0]), uint8_t(s.c[1]), uint8_t(s.c[2])});
    } else {
        auto centres = MedianCut(samples, maxColours);
        Refine(samples, centres);
        for (const auto& c : centres)
            palette.push_back({ClampByte(c[0]), ClampByte(c[1]), ClampByte(c[2])});
    }
    std::sort(palette.begin(), palette.end(), [](const Rgb8& a, const Rgb8& b) {
        const int la = 3 * a.r + 4 * a.g + 2 * a.b, lb = 3 * b.r + 4 * b.g + 2 * b.b;
        if (la != lb)
            return la < lb;
        return std::tie(a.r, a.g, a.b) < std::tie(b.r, b.g, b.b);
    });
    return palette;
}

int NearestColour(const std::vector<Rgb8>& palette, float r, float g, float b)
{
    int best = 0;
    float bestDistance = INFINITY;
    for (size_t i = 0; i < palette.size(); ++i) {
        const float d = ColourDistance(r, g, b, palette[i].r, palette[i].g, palette[i].b);
        if (d < bestDistance) {
            bestDistance = d;
            best = int(i);
        }
    }
    return best;
}

IndexedPicture Dither(const Picture& picture, const std::vector<Rgb8>& palette, float strength)
{
    IndexedPicture out;
    out.width = picture.width;
    out.height = picture.height;
    out.palette = palette;
    out.index.assign(picture.pixels.size(), 0);
    if (palette.empty())
        return out;

    // Two rows of pending error, each with a spare pixel on either side.
    const int w = picture.width;
    std::vector<std::array<float, 3>> current(size_t(w) + 2, {0, 0, 0}), next(size_t(w) + 2, {0, 0, 0});
    for (int y = 0; y < picture.height; ++y) {
        const bool leftToRight = y % 2 == 0;
        const int step = leftToRight ? 1 : -1;
        for (int i = 0; i < w; ++i) {
            const int x = leftToRight ? i : w - 1 - i;
            const Colour& p = picture.At(x, y);
            const bool opaque = p.a >= 0.5f;
            std::array<float, 3> want = {p.r * 255, p.g * 255, p.b * 255};
            if (opaque) {
                // Clamped, so that a run of errors of one sign cannot grow without bound.
                for (int k = 0; k < 3; ++k)
                    want[k] = std::clamp(want[k] + current[size_t(x) + 1][k], -16.0f, 271.0f);
            }
            const int index = NearestColour(palette, want[0], want[1], want[2]);
            out.index[size_t(y) * w + x] = uint8_t(index);
            if (!opaque)
                continue;
            const Rgb8& got = palette[size_t(index)];
            const std::array<float, 3> error = {(want[0] - got.r) * strength, (want[1] - got.g) * strength,
                                                (want[2] - got.b) * strength};
            auto spread = [&](std::vector<std::array<float, 3>>& row, int nx, float share) {
                if (nx < 0 || nx >= w)
                    return;
                const int ny = &row == &current ? y : y + 1;
                if (ny >= picture.height || picture.At(nx, ny).a < 0.5f)
                    return;
                for (int k = 0; k < 3; ++k)
                    row[size_t(nx) + 1][k] += error[k] * share;
            };
            spread(current, x + step, 7.0f / 16);
            spread(next, x - step, 3.0f / 16);
            spread(next, x, 5.0f / 16);
            spread(next, x + step, 1.0f / 16);
        }
        std::swap(current, next);
        std::fill(next.begin(), next.end(), std::array<float, 3>{0, 0, 0});
    }
    return out;
}

} // namespace art
