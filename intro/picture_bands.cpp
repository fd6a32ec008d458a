#include "intro/picture_bands.h"

#include <algorithm>
#include <cstring>

namespace {

// Unchanged rows between two changed ones that are sent along rather than split the band.
constexpr std::int32_t kJoinGap = 8;

struct RowChange {
    bool Changed;
    std::int32_t First, Last; // columns, when changed
};

// The changed columns of one row: where it differs from the shown copy, widened to the whole
// row when it holds an entry whose colour changed.
RowChange CompareRow(const std::uint8_t* row, std::uint8_t* shown, std::int32_t width, const bool* recoloured,
                     bool anyRecoloured)
{
    RowChange change = {false, 0, 0};
    if (std::memcmp(row, shown, std::size_t(width)) != 0) {
        std::int32_t first = 0, last = width - 1;
        while (row[first] == shown[first])
            ++first;
        while (row[last] == shown[last])
            --last;
        change = {true, first, last};
        std::memcpy(shown, row, std::size_t(width));
    }
    if (anyRecoloured && !(change.Changed && change.First == 0 && change.Last == width - 1))
        for (std::int32_t x = 0; x < width; ++x)
            if (recoloured[row[x]])
                return {true, 0, width - 1};
    return change;
}

} // namespace

void FindChangedBands(ShownPicture& shown, const std::uint8_t* picture, std::int32_t pitch,
                      const PixelColour (&colours)[kPaletteEntries], const PicturePlacement& placement,
                      bool everything, std::vector<PictureBand>& bands)
{
    bands.clear();
    const std::int32_t width = placement.SourceWidth, height = placement.SourceHeight;
    if (width <= 0 || height <= 0)
        return;
    const std::size_t size = std::size_t(width) * std::size_t(height);
    if (!shown.Valid || shown.Pixels.size() != size) {
        shown.Pixels.assign(size, 0);
        everything = true;
    }
    bool recoloured[kPaletteEntries] = {};
    bool anyRecoloured = false;
    for (int i = 0; i < kPaletteEntries; ++i) {
        recoloured[i] = colours[i] != shown.Colours[i];
        anyRecoloured = anyRecoloured || recoloured[i];
    }
    std::memcpy(shown.Colours, colours, sizeof shown.Colours);
    shown.Valid = true;

    const std::uint8_t* first = picture + std::ptrdiff_t(placement.SourceY) * pitch + placement.SourceX;
    PictureBand band = {};
    std::int32_t lastChanged = -1;
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = first + std::ptrdiff_t(y) * pitch;
        std::uint8_t* copy = &shown.Pixels[std::size_t(y) * std::size_t(width)];
        RowChange change;
        if (everything) {
            std::memcpy(copy, row, std::size_t(width));
            change = {true, 0, width - 1};
        } else {
            change = CompareRow(row, copy, width, recoloured, anyRecoloured);
        }
        if (!change.Changed)
            continue;
        std::int32_t column = placement.SourceX + change.First, end = placement.SourceX + change.Last + 1;
        if (lastChanged >= 0 && y - lastChanged <= kJoinGap) {
            std::int32_t bandEnd = std::max(band.FirstColumn + band.Columns, end);
            band.FirstColumn = std::min(band.FirstColumn, column);
            band.Columns = bandEnd - band.FirstColumn;
            band.Rows = placement.SourceY + y + 1 - band.FirstRow;
        } else {
            if (lastChanged >= 0)
                bands.push_back(band);
            band = {placement.SourceY + y, 1, column, end - column};
        }
        lastChanged = y;
    }
    if (lastChanged >= 0)
        bands.push_back(band);
}

void ExpandPictureRows(const std::uint8_t* picture, std::int32_t pitch,
                       const PixelColour (&colours)[kPaletteEntries], const PicturePlacement& placement,
                       const PictureBand& band, std::int32_t firstRow, std::int32_t rows, PixelColour* target,
                       std::int32_t targetPitch)
{
    const std::int32_t scale = placement.Scale, width = band.Columns * scale;
    for (std::int32_t r = 0; r < rows; ++r) {
        const std::uint8_t* source = picture + std::ptrdiff_t(firstRow + r) * pitch + band.FirstColumn;
        PixelColour* out = target + std::ptrdiff_t(r) * scale * targetPitch;
        if (scale == 1) {
            for (std::int32_t x = 0; x < band.Columns; ++x)
                out[x] = colours[source[x]];
        } else {
            for (std::int32_t x = 0; x < band.Columns; ++x)
                std::fill_n(out + std::ptrdiff_t(x) * scale, scale, colours[source[x]]);
        }
        // The block's other rows are the first one again.
        for (std::int32_t k = 1; k < scale; ++k)
            std::memcpy(out + std::ptrdiff_t(k) * targetPitch, out, std::size_t(width) * sizeof(PixelColour));
    }
}
