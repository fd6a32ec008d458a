#include "tests/crawl/reference_crawl.h"

#include <cmath>

namespace reference {

namespace {

const std::size_t kFontSize = 256 * 27 * 16;

// Only complete lines count, at most 998 of them; bytes below 32 other than the line feed
// vanish.
std::vector<std::string> SplitLines(const std::vector<std::uint8_t>& file)
{
    std::vector<std::string> lines;
    std::string current;
    for (std::uint8_t byte : file) {
        if (lines.size() == 998)
            break;
        if (byte == '\n') {
            lines.push_back(current);
            current.clear();
        } else if (byte >= 32) {
            current.push_back(static_cast<char>(byte));
        }
    }
    return lines;
}

long long TruncateToward0(double value)
{
    return static_cast<long long>(std::trunc(value));
}

// 32-bit two's complement, as the crawl's integers are.
std::int64_t As32(std::int64_t value)
{
    std::uint32_t low = static_cast<std::uint32_t>(value);
    return low >= 0x80000000u ? static_cast<std::int64_t>(low) - 0x100000000LL : low;
}

double RowWidth(int r, int top, int end, int wt, int wb)
{
    return std::trunc(wt * 65536.0 + (r - top) * static_cast<double>(wb - wt) * 65536.0 / (end - top));
}

std::int64_t RowStep(double w, double scale, int wb)
{
    return TruncateToward0((1 / (1.35 * scale)) * (wb * 65536.0) / (w / 65536 + 0.1));
}

std::uint8_t Nearest(const std::vector<std::uint8_t>& palette, int grey)
{
    int best = 0;
    long long bestDistance = -1;
    for (int i = 0; i < 256; ++i) {
        long long r = palette[3 * i] - grey, g = palette[3 * i + 1] - grey, b = palette[3 * i + 2] - grey;
        long long d = r * r + g * g + b * b;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

} // namespace

Scene Prepare(const Inputs& in)
{
    Scene s;
    s.width = in.width;
    s.height = in.width * 3 / 4;
    s.top = s.height / 8;
    s.end = s.height - 5;
    s.lines = SplitLines(in.textFile);
    s.font = in.fontBefore.empty() ? std::vector<std::uint8_t>(kFontSize, 0) : in.fontBefore;
    for (std::size_t i = 0; i < in.fontFile.size() && i < kFontSize; ++i)
        s.font[i] = in.fontFile[i];
    s.background = in.background;

    int wt = s.width / 5, wb = s.width, xc = s.width / 2;
    double scale = s.width / 640.0;
    int g = static_cast<int>(480 * scale);
    s.rows.resize(s.height);
    for (int r = s.top; r <= s.end; ++r) {
        Row& row = s.rows[r];
        double w = RowWidth(r, s.top, s.end, wt, wb);
        row.left = xc * 65536LL - TruncateToward0(w / 2) + 16384;
        row.unit = TruncateToward0(scale * w / wb);
        row.depth = 0;
        for (int k = r; k < s.end; ++k)
            row.depth += RowStep(RowWidth(k, s.top, s.end, wt, wb), scale, wb);
        int h = (r * 192 / g + 4) & 255, m = (r * 176 / g) & 255, e = (r * 128 / g) & 255;
        row.highlight = Nearest(in.palette, h);
        row.shadow = Nearest(in.palette, 0);
        row.body = Nearest(in.palette, m);
        row.strongEdge = Nearest(in.palette, e);
        row.weakEdge = Nearest(in.palette, e / 2);
    }
    return s;
}

namespace {

struct Painter {
    std::vector<std::uint8_t>& frame;
    int width;
    int y;

    void Put(std::int64_t x, std::uint8_t colour)
    {
        if (x >= 0 && x < width)
            frame[static_cast<std::size_t>(y) * width + x] = colour;
    }
};

// The record's runs when it is one the renderer may draw; false for a broken record.
bool ReadRecord(const std::uint8_t* record, int& lead, int& runs)
{
    lead = record[0];
    runs = 0;
    if (lead > 31)
        return false;
    for (int i = 1; i <= 13; i += 2, ++runs) {
        if (record[i] == 255)
            return true;
        if (record[i] > 31 || record[i + 1] > 31)
            return false;
    }
    return false;
}

void Run(Painter& p, const Row& row, std::uint32_t pen, std::int64_t length)
{
    std::int64_t x = pen >> 16;
    std::int64_t fraction = pen & 0xFFFF;
    std::int64_t leftOver = length;
    if (length >= 65536) {
        p.Put(x, row.highlight);
        leftOver = length + fraction - 65536;
        std::int64_t whole = leftOver >> 16;
        for (std::int64_t i = 1; i <= whole; ++i)
            p.Put(x + i, row.body);
        x = x + 1 + whole;
    }
    std::int64_t coverage = leftOver & 0xFFFF;
    if (coverage >= 0xAAAA) {
        p.Put(x, row.strongEdge);
        x++;
    } else if (coverage >= 0x5555) {
        p.Put(x, row.weakEdge);
        x++;
    }
    p.Put(x, row.shadow);
}

void DrawLine(Painter& p, const Scene& s, const Row& row, const std::string& line, int scanline)
{
    std::uint32_t pen = static_cast<std::uint32_t>(row.left);
    std::int64_t eight = As32(8 * row.unit);
    // widthsFrom[i]: the advance widths of the line's glyphs from i to its end.
    std::vector<std::int64_t> widthsFrom(line.size() + 1, 0);
    for (std::size_t j = line.size(); j-- > 0;)
        widthsFrom[j] = widthsFrom[j + 1] + s.font[static_cast<std::uint8_t>(line[j]) * 432 + 15];
    for (std::size_t i = 0; i < line.size(); ++i) {
        std::uint8_t code = static_cast<std::uint8_t>(line[i]);
        std::int64_t centring = 0;
        if (code == '*') {
            if (i + 1 == line.size())
                break;
            std::int64_t sum = widthsFrom[i + 1];
            centring = eight * 320 / 8 - sum * eight / 16;
            ++i;
            code = static_cast<std::uint8_t>(line[i]);
        }
        pen += static_cast<std::uint32_t>(As32(centring));
        const std::uint8_t* record = &s.font[code * 432 + scanline * 16];
        int lead, runs;
        if (!ReadRecord(record, lead, runs)) {
            std::int64_t width = s.font[code * 432 + 15];
            pen += static_cast<std::uint32_t>(As32(width * As32(row.unit)));
            continue;
        }
        pen += static_cast<std::uint32_t>(As32(lead * row.unit));
        for (int r = 0; r < runs; ++r) {
            std::int64_t ink = record[1 + 2 * r], gap = record[2 + 2 * r];
            std::int64_t length = As32(ink * row.unit);
            Run(p, row, pen, length);
            pen += static_cast<std::uint32_t>(length);
            pen += static_cast<std::uint32_t>(As32(gap * row.unit));
        }
    }
}

} // namespace

std::vector<std::uint8_t> Draw(const Scene& s, std::int32_t scroll)
{
    std::vector<std::uint8_t> frame = s.background;
    for (int y = s.end - 1; y >= s.top; --y) {
        const Row& row = s.rows[y];
        std::int64_t units = static_cast<std::int64_t>(scroll) - (row.depth >> 16);
        if (units < 27)
            continue;
        std::int64_t number = units / 27;
        if (number > static_cast<std::int64_t>(s.lines.size()))
            continue;
        Painter p{frame, s.width, y};
        DrawLine(p, s, row, s.lines[number - 1], static_cast<int>(units % 27));
    }
    return frame;
}

} // namespace reference
