#include "tools/art/formats.h"

#include "tools/little_endian.h"

#include <cstdio>

namespace art {

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr int kTgaHeaderSize = 18;
constexpr int kIconDirSize = 6;
constexpr int kIconEntrySize = 16;
constexpr uint32_t kPixelsPerMetre = 2835; // 72 dots an inch
constexpr uint8_t kTgaTrueColour = 2;
constexpr uint8_t kTgaEightAlphaBits = 0x08; // origin bit 5 clear: bottom-up rows
constexpr int kMaxIconSide = 256;

int RowStride(int width, int bitsPerPixel)
{
    return (width * bitsPerPixel + 31) / 32 * 4;
}

bool ValidIndexed(const IndexedPicture& picture, size_t tableSize)
{
    if (picture.width <= 0 || picture.height <= 0 || picture.palette.empty() || picture.palette.size() > tableSize)
        return false;
    if (picture.index.size() != size_t(picture.width) * picture.height)
        return false;
    for (uint8_t i : picture.index) {
        if (i >= picture.palette.size())
            return false;
    }
    return true;
}

// BITMAPINFOHEADER; an icon image stores twice its height (colour rows, then the mask).
void PutInfoHeader(std::vector<uint8_t>& out, int width, int height, int bitsPerPixel, uint32_t imageSize)
{
    PutLe32(out, kInfoHeaderSize);
    PutLe32(out, uint32_t(width));
    PutLe32(out, uint32_t(height));
    PutLe16(out, 1); // planes
    PutLe16(out, uint32_t(bitsPerPixel));
    PutLe32(out, 0); // no compression
    PutLe32(out, imageSize);
    PutLe32(out, kPixelsPerMetre);
    PutLe32(out, kPixelsPerMetre);
    PutLe32(out, 0); // colours used: the whole table
    PutLe32(out, 0); // all colours important
}

void PutColourTable(std::vector<uint8_t>& out, const std::vector<Rgb8>& palette, size_t entries)
{
    for (size_t i = 0; i < entries; ++i) {
        Rgb8 c = i < palette.size() ? palette[i] : Rgb8{};
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
}

// Bottom-up rows of 4 or 8 bits a pixel; with 4 bits the left pixel is the high nibble.
void PutIndexedRows(std::vector<uint8_t>& out, const IndexedPicture& picture, int bitsPerPixel)
{
    const int stride = RowStride(picture.width, bitsPerPixel);
    for (int y = picture.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(size_t(stride), 0);
        const uint8_t* src = &picture.index[size_t(y) * picture.width];
        for (int x = 0; x < picture.width; ++x) {
            if (bitsPerPixel == 8)
                row[size_t(x)] = src[x];
            else
                row[size_t(x / 2)] |= uint8_t(x % 2 == 0 ? src[x] << 4 : src[x]);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
}

// The AND mask of an icon image: one bit a pixel, set where the pixel is transparent.
void PutIconMask(std::vector<uint8_t>& out, const Rgba8Picture& picture)
{
    const int stride = RowStride(picture.width, 1);
    for (int y = picture.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(size_t(stride), 0);
        for (int x = 0; x < picture.width; ++x) {
            if (picture.rgba[(size_t(y) * picture.width + x) * 4 + 3] < 128)
                row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
}

bool ValidRgba(const Rgba8Picture& picture)
{
    return picture.width > 0 && picture.height > 0 && picture.rgba.size() == size_t(picture.width) * picture.height * 4;
}

std::vector<uint8_t> EncodeIconImage(const IconImage& image)
{
    const Rgba8Picture& rgba = image.rgba;
    const int bits = image.indexed ? 8 : 32;
    const int colourBytes = RowStride(rgba.width, bits) * rgba.height;
    const int maskBytes = RowStride(rgba.width, 1) * rgba.height;
    std::vector<uint8_t> out;
    PutInfoHeader(out, rgba.width, rgba.height * 2, bits, uint32_t(colourBytes + maskBytes));
    if (image.indexed) {
        PutColourTable(out, image.indexed->palette, 256);
        PutIndexedRows(out, *image.indexed, 8);
    } else {
        for (int y = rgba.height - 1; y >= 0; --y) {
            for (int x = 0; x < rgba.width; ++x) {
                const uint8_t* p = &rgba.rgba[(size_t(y) * rgba.width + x) * 4];
                out.insert(out.end(), {p[2], p[1], p[0], p[3]});
            }
        }
    }
    PutIconMask(out, rgba);
    return out;
}

} // namespace

std::vector<uint8_t> EncodeBmp(const IndexedPicture& picture, int bitsPerPixel)
{
    if (bitsPerPixel != 4 && bitsPerPixel != 8)
        return {};
    const size_t tableSize = size_t(1) << bitsPerPixel;
    if (!ValidIndexed(picture, tableSize))
        return {};
    const uint32_t imageSize = uint32_t(RowStride(picture.width, bitsPerPixel)) * uint32_t(picture.height);
    const uint32_t offset = uint32_t(kFileHeaderSize + kInfoHeaderSize + 4 * tableSize);

    std::vector<uint8_t> out;
    out.reserve(offset + imageSize);
    out.push_back('B');
    out.push_back('M');
    PutLe32(out, offset + imageSize);
    PutLe32(out, 0); // two reserved words
    PutLe32(out, offset);
    PutInfoHeader(out, picture.width, picture.height, bitsPerPixel, imageSize);
    PutColourTable(out, picture.palette, tableSize);
    PutIndexedRows(out, picture, bitsPerPixel);
    return out;
}

std::vector<uint8_t> EncodeTga(const Rgba8Picture& picture)
{
    if (!ValidRgba(picture) || picture.width > 0xffff || picture.height > 0xffff)
        return {};
    std::vector<uint8_t> out;
    out.reserve(kTgaHeaderSize + picture.rgba.size() + 26);
    out.push_back(0); // no image id
    out.push_back(0); // no colour map
    out.push_back(kTgaTrueColour);
    out.insert(out.end(), 5, 0); // no colour map: its five fields stay zero
    PutLe16(out, 0); // x origin
    PutLe16(out, 0); // y origin
    PutLe16(out, uint32_t(picture.width));
    PutLe16(out, uint32_t(picture.height));
    out.push_back(32);
    out.push_back(kTgaEightAlphaBits);
    for (int y = picture.height - 1; y >= 0; --y) {
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* p = &picture.rgba[(size_t(y) * picture.width + x) * 4];
            out.insert(out.end(), {p[2], p[1], p[0], p[3]});
        }
    }
    // Version 2 footer: no extension area, no developer directory.
    PutLe32(out, 0);
    PutLe32(out, 0);
    static const char kSignature[] = "TRUEVISION-XFILE.";
    out.insert(out.end(), kSignature, kSignature + sizeof kSignature); // with its terminating zero
    return out;
}

std::vector<uint8_t> EncodeIco(const std::vector<IconImage>& images)
{
    if (images.empty() || images.size() > 0xffff)
        return {};
    std::vector<std::vector<uint8_t>> bodies;
    for (const IconImage& image : images) {
        const Rgba8Picture& rgba = image.rgba;
        if (!ValidRgba(rgba) || rgba.width != rgba.height || rgba.width > kMaxIconSide)
            return {};
        if (image.indexed && (image.indexed->width != rgba.width || image.indexed->height != rgba.height
                                 || !ValidIndexed(*image.indexed, 256)))
            return {};
        bodies.push_back(EncodeIconImage(image));
    }

    std::vector<uint8_t> out;
    PutLe16(out, 0); // reserved
    PutLe16(out, 1); // icon, not cursor
    PutLe16(out, uint32_t(images.size()));
    uint32_t offset = uint32_t(kIconDirSize + kIconEntrySize * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const int side = images[i].rgba.width;
        out.push_back(uint8_t(side == kMaxIconSide ? 0 : side)); // 0 stands for 256
        out.push_back(uint8_t(side == kMaxIconSide ? 0 : side));
        out.push_back(0); // colour count: 0 for 256 colours and more
        out.push_back(0);
        PutLe16(out, 1); // planes
        PutLe16(out, images[i].indexed ? 8 : 32);
        PutLe32(out, uint32_t(bodies[i].size()));
        PutLe32(out, offset);
        offset += uint32_t(bodies[i].size());
    }
    for (const auto& body : bodies)
        out.insert(out.end(), body.begin(), body.end());
    return out;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    if (bytes.empty())
        return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

} // namespace art
