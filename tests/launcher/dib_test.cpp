// The bitmap checks: a resource's header, colour table and rows are known to lie within
// it before anything of it is used.
#include "launcher/dib.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace {

void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v)
{
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// A packed bitmap as the resource compiler stores one: header, table, rows.
struct Dib {
    std::vector<std::uint8_t> bytes;

    Dib(std::int32_t width, std::int32_t height, std::uint16_t bits, std::uint32_t coloursUsed,
        std::size_t tableEntries, std::size_t rowBytes)
        : bytes(40 + 4 * tableEntries + rowBytes, 0x11)
    {
        Put32(bytes, 0, 40);
        Put32(bytes, 4, static_cast<std::uint32_t>(width));
        Put32(bytes, 8, static_cast<std::uint32_t>(height));
        Put16(bytes, 12, 1);
        Put16(bytes, 14, bits);
        Put32(bytes, 16, 0);
        Put32(bytes, 20, static_cast<std::uint32_t>(rowBytes));
        Put32(bytes, 32, coloursUsed);
        Put32(bytes, 36, 0);
    }
    bool Read(DibLayout& layout) const { return ReadDibLayout(bytes.data(), bytes.size(), layout); }
};

constexpr DibLayout kUnread = {0xDEADBEEF, 0xDEADBEEF, 0xDEADBEEF};

Dib With(Dib dib, std::size_t at, std::uint32_t value, int size = 4)
{
    if (size == 2)
        Put16(dib.bytes, at, static_cast<std::uint16_t>(value));
    else
        Put32(dib.bytes, at, value);
    return dib;
}

} // namespace

TEST(Dib, TheColourCountIsCappedAtWhatItsBitsTellApart)
{
    EXPECT_EQ(7u, DibColourCount(8, 7));
    EXPECT_EQ(256u, DibColourCount(8, 0));
    EXPECT_EQ(256u, DibColourCount(8, 257));
    EXPECT_EQ(256u, DibColourCount(8, 0xFFFFFFFF));
    EXPECT_EQ(16u, DibColourCount(4, 200));
    EXPECT_EQ(2u, DibColourCount(1, 0x80000000));
    EXPECT_EQ(0u, DibColourCount(24, 100));
}

TEST(Dib, AHeaderTableAndRowsMustLieWithinTheBitmapBeforeAnythingIsRead)
{
    const Dib good(16, 16, 8, 0, 256, 256);
    Dib v5(8, 8, 8, 4, 0, 0); // a longer header puts the table behind itself
    v5.bytes.assign(124 + 16 + 64, 0x22);
    for (auto [at, value] : std::initializer_list<std::pair<int, int>>{{0, 124}, {4, 8}, {8, 8}, {12, 1 | 8 << 16}, {16, 0}, {32, 4}})
        Put32(v5.bytes, std::size_t(at), std::uint32_t(value));
    const Dib coded = With(With(Dib(16, 16, 8, 0, 256, 100), 16, 1), 20, 100); // run-length rows, as long as stated
    struct Case {
        const char* What;
        Dib Bitmap;
        DibLayout Layout; // all kUnread: refused
    } cases[] = {
        {"the background, 504 x 666 at 8 bits", Dib(504, 666, 8, 0, 256, 504 * 666), {256, 40, 40 + 1024}},
        {"the button face, 80 x 39 at 4 bits", Dib(80, 39, 4, 0, 16, 40 * 39), {16, 40, 40 + 64}},
        {"four billion colours: the table is read as 256 entries", Dib(16, 16, 8, 0xFFFFFFFF, 256, 256), {256, 40, 40 + 1024}},
        {"24-bit rows padded to four bytes", Dib(3, 2, 24, 0, 0, 2 * 12), {0, 40, 40}},
        {"top-down rows", Dib(16, -16, 8, 0, 256, 256), {256, 40, 40 + 1024}},
        {"a longer header", v5, {4, 124, 124 + 16}},
        {"run-length rows", coded, {256, 40, 40 + 1024}},
        {"256 entries claimed, room for 10 and no rows", Dib(16, 16, 8, 256, 10, 0), kUnread},
        {"the table fits, the rows do not", Dib(100, 100, 8, 0, 256, 100 * 99), kUnread},
        {"24-bit rows without their padding", Dib(3, 2, 24, 0, 0, 2 * 9), kUnread},
        {"sizes whose products do not fit 32 bits", Dib(0x7FFFFFFF, 0x7FFFFFFF, 32, 0, 0, 64), kUnread},
        {"the most negative height", Dib(16, INT32_MIN, 8, 0, 256, 256), kUnread},
        {"a header size past the end", With(good, 0, 0xFFFFFFF0), kUnread},
        {"the old core header, not one this program made", With(good, 0, 12), kUnread},
        {"7 bits a pixel", With(good, 14, 7, 2), kUnread},
        {"2 planes", With(good, 12, 2, 2), kUnread},
        {"a negative width", With(good, 4, 0xFFFFFFF0), kUnread},
        {"colour masks instead of a table", With(good, 16, 3), kUnread},
        {"run-length rows longer than the bitmap", With(coded, 20, 101), kUnread},
        {"run-length rows of no stated size", With(coded, 20, 0), kUnread},
    };
    for (const Case& c : cases) {
        DibLayout layout = kUnread;
        EXPECT_EQ(c.Layout.Colours != kUnread.Colours, c.Bitmap.Read(layout)) << c.What;
        EXPECT_EQ(c.Layout.Colours, layout.Colours) << c.What << ": nothing is given out for a refused bitmap";
        EXPECT_EQ(c.Layout.TableOffset, layout.TableOffset) << c.What;
        EXPECT_EQ(c.Layout.RowsOffset, layout.RowsOffset) << c.What;
    }
    DibLayout layout = kUnread;
    EXPECT_FALSE(ReadDibLayout(good.bytes.data(), 39, layout)) << "shorter than a header";
    EXPECT_FALSE(ReadDibLayout(nullptr, 0, layout));
}
