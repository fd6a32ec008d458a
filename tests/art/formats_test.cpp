// The bitmap, TGA and icon writers, read back field by field as the Windows loaders and
// the game read them.
#include "tools/art/formats.h"

#include <gtest/gtest.h>

namespace {

using art::IndexedPicture;
using art::Rgba8Picture;

uint32_t Read16(const std::vector<uint8_t>& b, size_t at) { return uint32_t(b.at(at)) | uint32_t(b.at(at + 1)) << 8; }
uint32_t Read32(const std::vector<uint8_t>& b, size_t at) { return Read16(b, at) | Read16(b, at + 2) << 16; }

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

Rgba8Picture Rgba(int w, int h) // every third pixel transparent
{
    Rgba8Picture p;
    p.width = w;
    p.height = h;
    for (int i = 0; i < w * h; ++i)
        p.rgba.insert(p.rgba.end(), {uint8_t(i), uint8_t(2 * i), uint8_t(3 * i), uint8_t(i % 3 == 0 ? 0 : 255)});
    return p;
}

TEST(Bmp, HeadersTableAndPaddedBottomUpRowsOfFourAndEightBits)
{
    // 8 bits: 5 bytes a row padded to 8, 256 table entries; 4 bits: 7 nibbles in 4 bytes.
    for (int bits : {8, 4}) {
        SCOPED_TRACE(bits);
        const int w = bits == 8 ? 5 : 7, h = bits == 8 ? 3 : 4;
        const IndexedPicture p = Indexed(w, h, bits == 8 ? 200 : 16);
        const auto file = art::EncodeBmp(p, bits);
        const size_t offset = 14 + 40 + 4 * (size_t(1) << bits), stride = bits == 8 ? 8 : 4;
        ASSERT_EQ(file.size(), offset + stride * h);
        EXPECT_EQ(Read16(file, 0), uint32_t('B' | 'M' << 8));
        const std::pair<size_t, uint32_t> fields[] = {{2, uint32_t(file.size())}, {10, uint32_t(offset)}, {14, 40},
                                                     {18, uint32_t(w)}, {22, uint32_t(h)}, {26, uint32_t(1 | bits << 16)},
                                                     {30, 0}, {34, uint32_t(stride * h)}, {46, 0}};
        for (const auto& [at, value] : fields)
            EXPECT_EQ(Read32(file, at), value) << "field at " << at; // colours used 0: the loader takes 2^bits
        EXPECT_EQ(Read32(file, 54 + 4 * 7), 37u | 27u << 8 | 17u << 16) << "blue, green, red, 0";
        if (bits == 8)
            EXPECT_EQ(Read32(file, 54 + 4 * 255), 0u) << "the unused end is black";
        for (int y = 0; y < h; ++y) {
            const size_t row = offset + size_t(h - 1 - y) * stride;
            for (int x = 0; x < w; ++x) {
                const uint8_t byte = file[row + size_t(x * bits / 8)];
                EXPECT_EQ(bits == 8 ? byte : x % 2 == 0 ? byte >> 4 : byte & 15, p.index[size_t(y * w + x)]) << x << "," << y;
            }
            EXPECT_EQ(file[row + stride - 1] & (bits == 8 ? 0xFF : 15), 0) << "padding";
        }
    }
}

TEST(Formats, RefuseWhatTheyCannotHold)
{
    EXPECT_TRUE(art::EncodeBmp(Indexed(4, 4, 16), 24).empty());
    EXPECT_TRUE(art::EncodeBmp(Indexed(4, 4, 17), 4).empty()) << "17 colours in a 16-entry table";
    IndexedPicture outside = Indexed(4, 4, 10), short_ = Indexed(4, 4, 10);
    outside.index[5] = 10;
    short_.index.pop_back();
    EXPECT_TRUE(art::EncodeBmp(outside, 8).empty()) << "index beyond the palette";
    EXPECT_TRUE(art::EncodeBmp(short_, 8).empty());
    EXPECT_TRUE(art::EncodeBmp(IndexedPicture{}, 8).empty());

    EXPECT_TRUE(art::EncodeTga(Rgba8Picture{}).empty());
    EXPECT_TRUE(art::EncodeTga(Rgba(70000, 1)).empty());
    Rgba8Picture mismatch = Rgba(3, 3);
    mismatch.rgba.pop_back();
    EXPECT_TRUE(art::EncodeTga(mismatch).empty());

    EXPECT_TRUE(art::EncodeIco({}).empty());
    EXPECT_TRUE(art::EncodeIco({{Rgba(16, 8), std::nullopt}}).empty()) << "not square";
    EXPECT_TRUE(art::EncodeIco({{Rgba(300, 300), std::nullopt}}).empty()) << "above 256";
    EXPECT_TRUE(art::EncodeIco({{Rgba(16, 16), Indexed(32, 32, 16)}}).empty()) << "indexed of another size";
}

TEST(Tga, TrueColourWithAlphaBottomUpAndFooter)
{
    const Rgba8Picture p = Rgba(3, 2);
    const auto file = art::EncodeTga(p);
    ASSERT_EQ(file.size(), 18 + 3 * 2 * 4 + 26);
    EXPECT_EQ(Read32(file, 0), 2u << 16) << "no id, no colour map, uncompressed true colour";
    EXPECT_EQ(Read32(file, 12), 3u | 2u << 16);
    EXPECT_EQ(Read16(file, 16), 32u | 0x08u << 8) << "8 alpha bits, origin at the bottom left";
    // First stored pixel: the bottom row's left pixel, as blue, green, red, alpha.
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(file[18 + size_t(k)], p.rgba[12 + size_t(k < 3 ? 2 - k : 3)]) << k;
    EXPECT_EQ(file[18 + 12], p.rgba[2]) << "the top row comes second";
    EXPECT_EQ(std::string(file.end() - 18, file.end()), std::string("TRUEVISION-XFILE.", 18));
}

TEST(Ico, DirectoryPointsAtEachImageAndTheMaskMarksTheTransparentPixels)
{
    const Rgba8Picture small = Rgba(16, 16);
    const auto file = art::EncodeIco({{Rgba(32, 32), Indexed(32, 32, 256)}, {small, std::nullopt}});
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(Read32(file, 0), 1u << 16);
    EXPECT_EQ(Read16(file, 4), 2u);
    // 8 bits: header, 256-entry table, 32 rows of 32 bytes, mask rows of 4 bytes; 32 bits:
    // header, 32-bit rows, mask rows padded to 4 bytes.
    const size_t size8 = 40 + 1024 + 32 * 32 + 32 * 4, size32 = 40 + 16 * 16 * 4 + 16 * 4, first = 6 + 2 * 16;
    EXPECT_EQ(Read16(file, 6), 32u | 32u << 8);
    EXPECT_EQ(Read16(file, 6 + 6), 8u);
    EXPECT_EQ(Read32(file, 6 + 8), size8);
    EXPECT_EQ(Read32(file, 6 + 12), first);
    EXPECT_EQ(file[22], 16);
    EXPECT_EQ(Read16(file, 22 + 6), 32u);
    EXPECT_EQ(Read32(file, 22 + 8), size32);
    EXPECT_EQ(Read32(file, 22 + 12), first + size8);
    EXPECT_EQ(file.size(), first + size8 + size32);
    EXPECT_EQ(Read32(file, first + 4), 32u);
    EXPECT_EQ(Read32(file, first + 8), 64u) << "the height counts colour rows and mask rows";

    const size_t image = first + size8, mask = image + 40 + 16 * 16 * 4;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint8_t byte = file.at(mask + size_t(15 - y) * 4 + size_t(x / 8));
            EXPECT_EQ(bool(byte & (0x80 >> (x % 8))), (y * 16 + x) % 3 == 0) << x << "," << y;
        }
    EXPECT_EQ(file[image + 40 + 3], small.rgba[size_t(15 * 16) * 4 + 3]) << "colour rows keep alpha, bottom first";
}

} // namespace
