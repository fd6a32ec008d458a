#include "launcher/dib.h"

namespace {

constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kColourEntrySize = 4;
constexpr std::uint32_t kUncompressed = 0, kRunLength8 = 1, kRunLength4 = 2;

// The header's fields, little-endian as stored.
struct InfoHeader {
    std::uint32_t size;
    std::int32_t width, height;
    std::uint16_t planes, bitCount;
    std::uint32_t compression, imageSize;
    std::int32_t xPixelsPerMetre, yPixelsPerMetre;
    std::uint32_t coloursUsed, coloursImportant;
};
static_assert(sizeof(InfoHeader) == kInfoHeaderSize, "the header as stored");

std::uint32_t Little32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

std::uint16_t Little16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

InfoHeader ReadHeader(const std::uint8_t* p)
{
    InfoHeader h;
    h.size = Little32(p);
    h.width = static_cast<std::int32_t>(Little32(p + 4));
    h.height = static_cast<std::int32_t>(Little32(p + 8));
    h.planes = Little16(p + 12);
    h.bitCount = Little16(p + 14);
    h.compression = Little32(p + 16);
    h.imageSize = Little32(p + 20);
    h.xPixelsPerMetre = static_cast<std::int32_t>(Little32(p + 24));
    h.yPixelsPerMetre = static_cast<std::int32_t>(Little32(p + 28));
    h.coloursUsed = Little32(p + 32);
    h.coloursImportant = Little32(p + 36);
    return h;
}

bool KnownBitCount(std::uint16_t bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Bytes the pixel rows take: rows padded to 32 bits, or the coded image's stated size.
// Zero for a header that cannot describe any rows. 64 bits hold every product of the
// 32-bit fields.
std::uint64_t RowBytes(const InfoHeader& h)
{
    if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN)
        return 0;
    if (h.compression == kUncompressed) {
        std::uint64_t stride = (std::uint64_t(h.width) * h.bitCount + 31) / 32 * 4;
        std::uint64_t rows = h.height < 0 ? std::uint64_t(-std::int64_t(h.height)) : std::uint64_t(h.height);
        return stride * rows;
    }
    bool coded = (h.compression == kRunLength8 && h.bitCount == 8) || (h.compression == kRunLength4 && h.bitCount == 4);
    // Coded rows are stored bottom-up only.
    return coded && h.height > 0 ? h.imageSize : 0;
}

} // namespace

std::uint32_t DibColourCount(std::uint16_t bitCount, std::uint32_t coloursUsed)
{
    if (bitCount > 8)
        return 0;
    std::uint32_t most = std::uint32_t{1} << bitCount;
    return coloursUsed == 0 || coloursUsed > most ? most : coloursUsed;
}

bool ReadDibLayout(const void* bytes, std::size_t size, DibLayout& layout)
{
    if (!bytes || size < kInfoHeaderSize)
        return false;
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    InfoHeader h = ReadHeader(p);
    if (h.size < kInfoHeaderSize || h.size > size || h.planes != 1 || !KnownBitCount(h.bitCount))
        return false;
    std::uint32_t colours = DibColourCount(h.bitCount, h.coloursUsed);
    std::uint64_t rowsOffset = std::uint64_t(h.size) + std::uint64_t(colours) * kColourEntrySize;
    std::uint64_t rowBytes = RowBytes(h);
    if (rowBytes == 0 || rowsOffset > size || rowBytes > size - rowsOffset)
        return false;
    layout.Colours = colours;
    layout.TableOffset = h.size;
    layout.RowsOffset = static_cast<std::size_t>(rowsOffset);
    return true;
}
