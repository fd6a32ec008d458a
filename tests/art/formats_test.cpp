// The bitmap, TGA and icon writers, read back field by field as the Windows loaders and
// the game read them.
#include "tools/art/formats.h"

#include <gtest/gtest.h>

namespace {

using art::IndexedPicture;
using art::Rgb8;
using art::Rgba8Picture;

uint32_t Read16(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b.at(at)) | uint32_t(b.at(at + 1)) << 8;
}

uint32_t Read32(const std::vector<uint8_t>& b, size_t at)
{
    return Read16(b, at) | Read16(b, at + 2) << 16;
}

IndexedPicture Indexed(int w, int h, size_t colours)
{
    IndexedPicture p;
    p.width = w;
    p.height = h;
    for (size_t i = 0; i < colours; ++i)
        p.palette.push_back({uint8_t(10 + i), uint8_t(20 + i), uint8_t(30 + i)});
    for (int i = 0; i < w * h; ++i)
        p.index.push_back(uint8_t((i * 7 + i / w) % colours));
    return p;
}

Rgba8Picture Rgba(int w, int h)
{
    Rgba8Picture p;
    p.width = w;
    p.height = h;
    for (int i = 0; i < w * h; ++i)
        p.rgba.insert(p.rgba.end(), {uint8_t(i), uint8_t(2 * i), uint8_t(3 * i), uint8_t(i % 3 == 0 ? 0 : 255)});
    return p;
}

// Pixel (x, y) of a bottom-up bitmap with 4 or 8 bits, rows starting at `offset`.
int IndexAt(const std::vector<uint8_t>& file, size_t offset, int w, int h, int bits, int x, int y)
{
    const size_t stride = size_t((w * bits + 31) / 32 * 4);
    const uint8_t byte = file.at(offset + size_t(h - 1 - y) * stride + size_t(x * bits / 8));
    return bits == 8 ? byte : (x % 2 == 0 ? byte >> 4 : byte & 15);
}

TEST(Bmp, EightBitsHeadersTableAndPaddedBottomUpRows)
{
    const IndexedPicture p = Indexed(5, 3, 200);
    const auto file = art::EncodeBmp(p, 8);
    const size_t offset = 14 + 40 + 4 * 256; // the table always has 256 entries
    const size_t stride = 8;                 // 5 bytes padded to 8
    ASSERT_EQ(file.size(), offset + stride * 3);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(Read32(file, 2), file.size());
    EXPECT_EQ(Read32(file, 10), offset);
    EXPECT_EQ(Read32(file, 14), 40u);
    EXPECT_EQ(Read32(file, 18), 5u);
    EXPECT_EQ(Read32(file, 22), 3u); // positive: bottom-up
    EXPECT_EQ(Read16(file, 26), 1u);
    EXPECT_EQ(Read16(file, 28), 8u);
    EXPECT_EQ(Read32(file, 30), 0u); // uncompressed
    EXPECT_EQ(Read32(file, 34), stride * 3);
    EXPECT_EQ(Read32(file, 46), 0u); // colours used 0: the loader takes 2^bits
    // Table entries are blue, green, red, reserved; the unused end is black.
    EXPECT_EQ(file[54 + 4 * 7 + 0], 30 + 7);
    EXPECT_EQ(file[54 + 4 * 7 + 1], 20 + 7);
    EXPECT_EQ(file[54 + 4 * 7 + 2], 10 + 7);
    EXPECT_EQ(file[54 + 4 * 7 + 3], 0);
    for (size_t i = 200; i < 256; ++i)
        EXPECT_EQ(Read32(file, 54 + 4 * i), 0u) << "entry " << i;
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(IndexAt(file, offset, 5, 3, 8, x, y), p.index[size_t(y * 5 + x)]) << x << "," << y;
        for (size_t pad = 5; pad < stride; ++pad)
            EXPECT_EQ(file[offset + size_t(2 - y) * stride + pad], 0);
    }
}

TEST(Bmp, FourBitsPackTheLeftPixelHigh)
{
    const IndexedPicture p = Indexed(7, 4, 16); // 7 nibbles: 4 bytes, one row a stride
    const auto file = art::EncodeBmp(p, 4);
    const size_t offset = 14 + 40 + 4 * 16;
    ASSERT_EQ(file.size(), offset + 4 * 4);
    EXPECT_EQ(Read16(file, 28), 4u);
    EXPECT_EQ(Read32(file, 10), offset);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(IndexAt(file, offset, 7, 4, 4, x, y), p.index[size_t(y * 7 + x)]) << x << "," << y;
        EXPECT_EQ(file[offset + size_t(3 - y) * 4 + 3] & 15, 0) << "the eighth nibble pads";
    }
}

TEST(Bmp, RefusesWhatTheFormatCannotHold)
{
    EXPECT_TRUE(art::EncodeBmp(Indexed(4, 4, 16), 24).empty());
    EXPECT_TRUE(art::EncodeBmp(Indexed(4, 4, 17), 4).empty()) << "17 colours in a 16-entry table";
    IndexedPicture outside = Indexed(4, 4, 10);
    outside.index[5] = 10;
    EXPECT_TRUE(art::EncodeBmp(outside, 8).empty()) << "index beyond the palette";
    IndexedPicture short_ = Indexed(4, 4, 10);
    short_.index.pop_back();
    EXPECT_TRUE(art::EncodeBmp(short_, 8).empty());
    EXPECT_TRUE(art::EncodeBmp(IndexedPicture{}, 8).empty());
}

TEST(Tga, TrueColourWithAlphaBottomUpAndFooter)
{
    const Rgba8Picture p = Rgba(3, 2);
    const auto file = art::EncodeTga(p);
    ASSERT_EQ(file.size(), 18 + 3 * 2 * 4 + 26);
    EXPECT_EQ(file[0], 0);  // no id
    EXPECT_EQ(file[1], 0);  // no colour map
    EXPECT_EQ(file[2], 2);  // uncompressed true colour
    EXPECT_EQ(Read16(file, 12), 3u);
    EXPECT_EQ(Read16(file, 14), 2u);
    EXPECT_EQ(file[16], 32);
    EXPECT_EQ(file[17], 0x08); // 8 alpha bits, origin at the bottom left
    // First stored pixel: the bottom row's left pixel, as blue, green, red, alpha.
    const size_t bottomLeft = 3 * 4;
    EXPECT_EQ(file[18 + 0], p.rgba[bottomLeft + 2]);
    EXPECT_EQ(file[18 + 1], p.rgba[bottomLeft + 1]);
    EXPECT_EQ(file[18 + 2], p.rgba[bottomLeft + 0]);
    EXPECT_EQ(file[18 + 3], p.rgba[bottomLeft + 3]);
    EXPECT_EQ(file[18 + 12 + 0], p.rgba[2]) << "the top row comes second";
    const std::string footer(file.end() - 18, file.end() - 1);
    EXPECT_EQ(footer, "TRUEVISION-XFILE.");
    EXPECT_EQ(file.back(), 0);
}

TEST(Tga, RefusesEmptyAndOversizedPictures)
{
    EXPECT_TRUE(art::EncodeTga(Rgba8Picture{}).empty());
    Rgba8Picture wide;
    wide.width = 70000;
    wide.height = 1;
    wide.rgba.assign(70000 * 4, 0);
    EXPECT_TRUE(art::EncodeTga(wide).empty());
    Rgba8Picture mismatch = Rgba(3, 3);
    mismatch.rgba.pop_back();
    EXPECT_TRUE(art::EncodeTga(mismatch).empty());
}

TEST(Ico, DirectoryPointsAtEachImageInTurn)
{
    std::vector<art::IconImage> images;
    images.push_back({Rgba(32, 32), Indexed(32, 32, 256)});
    images.push_back({Rgba(16, 16), std::nullopt});
    const auto file = art::EncodeIco(images);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(Read16(file, 0), 0u);
    EXPECT_EQ(Read16(file, 2), 1u);
    EXPECT_EQ(Read16(file, 4), 2u);

    // 8 bits: header, 256-entry table, 32 rows of 32 bytes, mask rows of 4 bytes.
    const size_t size8 = 40 + 1024 + 32 * 32 + 32 * 4;
    // 32 bits: header, 32-bit rows, mask rows padded to 4 bytes.
    const size_t size32 = 40 + 16 * 16 * 4 + 16 * 4;
    EXPECT_EQ(file[6], 32);
    EXPECT_EQ(file[7], 32);
    EXPECT_EQ(Read16(file, 6 + 6), 8u);
    EXPECT_EQ(Read32(file, 6 + 8), size8);
    EXPECT_EQ(Read32(file, 6 + 12), 6u + 2 * 16);
    EXPECT_EQ(file[22], 16);
    EXPECT_EQ(Read16(file, 22 + 6), 32u);
    EXPECT_EQ(Read32(file, 22 + 8), size32);
    EXPECT_EQ(Read32(file, 22 + 12), 6u + 2 * 16 + size8);
    EXPECT_EQ(file.size(), 6u + 2 * 16 + size8 + size32);

    const size_t first = 6 + 2 * 16;
    EXPECT_EQ(Read32(file, first + 4), 32u);
    EXPECT_EQ(Read32(file, first + 8), 64u) << "the height counts colour rows and mask rows";
}

TEST(Ico, MaskMarksTheTransparentPixels)
{
    const Rgba8Picture p = Rgba(16, 16); // every third pixel transparent
    const auto file = art::EncodeIco({{p, std::nullopt}});
    const size_t image = 6 + 16;
    const size_t mask = image + 40 + 16 * 16 * 4;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const bool transparent = (y * 16 + x) % 3 == 0;
            const uint8_t byte = file.at(mask + size_t(15 - y) * 4 + size_t(x / 8));
            EXPECT_EQ(bool(byte & (0x80 >> (x % 8))), transparent) << x << "," << y;
        }
    }
    // The colour rows keep the alpha, bottom row first.
    EXPECT_EQ(file[image + 40 + 3], p.rgba[size_t(15 * 16) * 4 + 3]);
}

TEST(Ico, RefusesWhatAnIconCannotHold)
{
    EXPECT_TRUE(art::EncodeIco({}).empty());
    EXPECT_TRUE(art::EncodeIco({{Rgba(16, 8), std::nullopt}}).empty()) << "not square";
    EXPECT_TRUE(art::EncodeIco({{Rgba(300, 300), std::nullopt}}).empty()) << "above 256";
    EXPECT_TRUE(art::EncodeIco({{Rgba(16, 16), Indexed(32, 32, 16)}}).empty()) << "indexed of another size";
}

} // namespace
