// The bitmap checks: a resource's header, colour table and rows are known to lie within
// it before anything of it is used.
#include "launcher/dib.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
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

} // namespace

TEST(Dib, TheLaunchersOwnPicturesPass)
{
    // The background: 504 x 666 at 8 bits, 256 colours; the button face: 80 x 39 at 4 bits.
    DibLayout layout = kUnread;
    ASSERT_TRUE(Dib(504, 666, 8, 0, 256, 504 * 666).Read(layout));
    EXPECT_EQ(256u, layout.Colours);
    EXPECT_EQ(40u, layout.TableOffset);
    EXPECT_EQ(40u + 1024u, layout.RowsOffset);
    layout = kUnread;
    ASSERT_TRUE(Dib(80, 39, 4, 0, 16, 40 * 39).Read(layout));
    EXPECT_EQ(16u, layout.Colours);
    EXPECT_EQ(40u + 64u, layout.RowsOffset);
}

TEST(Dib, TheColourCountIsCappedAtWhatItsBitsTellApart)
{
    EXPECT_EQ(7u, DibColourCount(8, 7));
    EXPECT_EQ(256u, DibColourCount(8, 0));
    EXPECT_EQ(256u, DibColourCount(8, 257));
    EXPECT_EQ(256u, DibColourCount(8, 0xFFFFFFFF));
    EXPECT_EQ(16u, DibColourCount(4, 200));
    EXPECT_EQ(2u, DibColourCount(1, 0x80000000));
    EXPECT_EQ(0u, DibColourCount(24, 100));

    // A header that claims four billion colours: the table is read as 256 entries.
    DibLayout layout = kUnread;
    ASSERT_TRUE(Dib(16, 16, 8, 0xFFFFFFFF, 256, 16 * 16).Read(layout));
    EXPECT_EQ(256u, layout.Colours);
    EXPECT_EQ(40u + 1024u, layout.RowsOffset);
}

TEST(Dib, ATableOrRowsPastTheEndAreRefusedBeforeAnythingIsRead)
{
    DibLayout layout = kUnread;
    // 256 entries claimed, room for 10 and no rows.
    EXPECT_FALSE(Dib(16, 16, 8, 256, 10, 0).Read(layout));
    // The table fits, the rows do not.
    EXPECT_FALSE(Dib(100, 100, 8, 0, 256, 100 * 99).Read(layout));
    // Rows of a 24-bit picture are padded to four bytes: 3 * 3 + 3.
    EXPECT_FALSE(Dib(3, 2, 24, 0, 0, 2 * 9).Read(layout));
    // Sizes whose products do not fit 32 bits.
    EXPECT_FALSE(Dib(0x7FFFFFFF, 0x7FFFFFFF, 32, 0, 0, 64).Read(layout));
    EXPECT_FALSE(Dib(16, INT32_MIN, 8, 0, 256, 256).Read(layout));
    EXPECT_EQ(0xDEADBEEFu, layout.Colours) << "nothing is given out for a refused bitmap";
    EXPECT_TRUE(Dib(3, 2, 24, 0, 0, 2 * 12).Read(layout));
    EXPECT_TRUE(Dib(16, -16, 8, 0, 256, 256).Read(layout)) << "top-down rows";
}

TEST(Dib, HeadersThatAreNotABitmapsAreRefused)
{
    DibLayout layout = kUnread;
    Dib good(16, 16, 8, 0, 256, 256);
    EXPECT_FALSE(ReadDibLayout(good.bytes.data(), 39, layout)) << "shorter than a header";
    EXPECT_FALSE(ReadDibLayout(nullptr, 0, layout));

    Dib huge = good;
    Put32(huge.bytes, 0, 0xFFFFFFF0); // a header size past the end
    EXPECT_FALSE(huge.Read(layout));
    Dib small = good;
    Put32(small.bytes, 0, 12); // the old core header is not one this program made
    EXPECT_FALSE(small.Read(layout));
    Dib bits = good;
    Put16(bits.bytes, 14, 7);
    EXPECT_FALSE(bits.Read(layout));
    Dib planes = good;
    Put16(planes.bytes, 12, 2);
    EXPECT_FALSE(planes.Read(layout));
    Dib wide = good;
    Put32(wide.bytes, 4, 0xFFFFFFF0); // a negative width
    EXPECT_FALSE(wide.Read(layout));
    Dib fields = good;
    Put32(fields.bytes, 16, 3); // colour masks instead of a table
    EXPECT_FALSE(fields.Read(layout));

    // Run-length coded rows are as long as the header says, and must be there.
    Dib coded(16, 16, 8, 0, 256, 100);
    Put32(coded.bytes, 16, 1);
    EXPECT_TRUE(coded.Read(layout));
    Put32(coded.bytes, 20, 101);
    EXPECT_FALSE(coded.Read(layout));
    Put32(coded.bytes, 20, 0);
    EXPECT_FALSE(coded.Read(layout));
}

TEST(Dib, ALongerHeaderPutsTheTableBehindItself)
{
    Dib v5(8, 8, 8, 4, 0, 0);
    v5.bytes.assign(124 + 16 + 64, 0x22);
    Put32(v5.bytes, 0, 124);
    Put32(v5.bytes, 4, 8);
    Put32(v5.bytes, 8, 8);
    Put16(v5.bytes, 12, 1);
    Put16(v5.bytes, 14, 8);
    Put32(v5.bytes, 16, 0);
    Put32(v5.bytes, 32, 4);
    DibLayout layout = kUnread;
    ASSERT_TRUE(v5.Read(layout));
    EXPECT_EQ(124u, layout.TableOffset);
    EXPECT_EQ(124u + 16u, layout.RowsOffset);
}
