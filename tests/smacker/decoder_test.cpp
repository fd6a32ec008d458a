#include "smacker/smacker_bits.h"
#include "smacker/smacker_decoder.h"
#include "tests/smacker/test_films.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

void PutU32(std::vector<uint8_t>& file, size_t offset, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        file[offset + i] = uint8_t(v >> (8 * i));
}

// Opens the data and decodes every record; returns the number of pictures, -1 when the data
// does not open.
int DecodeAll(const std::vector<uint8_t>& file)
{
    SmkFilm film;
    if (!SmkOpenMemory(film, file.data(), file.size(), 0x7F))
        return -1;
    int pictures = 0;
    for (uint32_t r = 0; r < film.Records; ++r)
        pictures += SmkDecodeFrame(film, r);
    return pictures;
}

} // namespace

TEST(SmackerDecoder, DecodesTheMinimalFilmOfTheFormatDescriptionAndTimesFramesByTheSignOfTheRate)
{
    SmkFilm film;
    ASSERT_TRUE(SmkOpenMemory(film, kMinimalFilm.data(), kMinimalFilm.size(), 0x7F));
    EXPECT_EQ(16u, film.Header.Width);
    EXPECT_EQ(1u, film.Records);
    EXPECT_EQ(100, film.Header.FrameRate);
    EXPECT_EQ(10000, SmkFrameDuration(100));  // 100 ms
    EXPECT_EQ(6667, SmkFrameDuration(-6667)); // 66.67 ms
    EXPECT_EQ(10000, SmkFrameDuration(0));    // the default of 10 frames a second
    EXPECT_EQ(int64_t(INT_MAX / 100) * 100, SmkFrameDuration(INT_MAX / 100));
    ASSERT_EQ(SmkRead::Ready, SmkReadRecord(film, 0));
    EXPECT_EQ(255, film.Palette[0]);
    for (int i = 1; i < 768; ++i)
        ASSERT_EQ(0, film.Palette[i]) << "component " << i;
    const SmkTrack& t = film.Tracks[0];
    EXPECT_EQ(22050u, t.Rate);
    EXPECT_EQ((std::vector<uint8_t>{128, 130, 130, 127}), std::vector<uint8_t>(t.Samples.get(), t.Samples.get() + t.Length));
    std::memset(film.Picture.data(), 0xAB, film.Picture.size());
    EXPECT_TRUE(SmkDecodeVideo(film));
    for (uint8_t p : film.Picture)
        ASSERT_EQ(0, p);
    EXPECT_FALSE(SmkDecodeVideo(film)) << "a record's video is decoded once";
}

TEST(SmackerDecoder, TheLastLeafOfAMarkerReadsTheCacheWhichMovesOnlyForANewValue)
{
    const std::vector<uint8_t> file = CacheMarkerFilm();
    SmkFilm film;
    ASSERT_TRUE(SmkOpenMemory(film, file.data(), file.size(), 0x7F));
    ASSERT_EQ(SmkRead::Ready, SmkReadRecord(film, 0));
    ASSERT_TRUE(SmkDecodeVideo(film));
    for (size_t i = 0; i < film.Picture.size(); ++i)
        ASSERT_EQ(i % 16 < 12 ? 0x55 : 0, film.Picture[i]) << "pixel " << i;
}

TEST(SmackerDecoder, LongCodesWalkOnPastTheTableAndStopAtTheEnd)
{
    // A comb: leaf k has the code of k ones and a zero, up to 20 ones for the last leaf.
    std::vector<uint8_t> data(16 + kSmkSlack, 0);
    uint32_t nodes[64], fast[1 << kSmkMaxFastBits];
    SmkCode code;
    code.Nodes = nodes;
    code.Fast = fast;
    for (uint32_t k = 0; k < 20; ++k) {
        nodes[2 * k] = 2 * k + 2; // internal: 1-branch two entries on
        nodes[2 * k + 1] = kSmkLeaf | k;
    }
    nodes[40] = kSmkLeaf | 20;
    code.NodeCount = 41;
    SmkBuildFastTable(code, 20);
    data[0] = 0xFF, data[1] = 0xFF, data[2] = 0x07; // 19 ones and a zero: leaf 19
    data[3] = 0x02;                                  // then 0, 1, 0: leaves 0 and 1
    SmkBits bits{data.data(), 0, 40};
    EXPECT_EQ(19u, SmkDecode(code, bits));
    EXPECT_EQ(20u, bits.Position);
    SmkBits cut{data.data(), 0, 15};
    SmkDecode(code, cut);
    EXPECT_TRUE(cut.Overrun()) << "a code that runs past the stream's end is noticed";
}

TEST(SmackerDecoder, PaletteCommandsKeepCopyFromTheOldPaletteAndSetAndChunksThatOverrunAreRefused)
{
    uint8_t palette[768];
    for (int i = 0; i < 768; ++i)
        palette[i] = uint8_t(i / 3);
    // Set entry 0 to (63, 0, 32); copy 3 entries from old entries 0..2 into 1..3 (old values,
    // although entry 0 was just rewritten); keep the remaining 252.
    const uint8_t commands[] = {0x3F, 0x00, 0x20, 0x42, 0x00, 0xFF, 0xFF, 0xFB};
    ASSERT_TRUE(SmkApplyPalette(palette, commands, sizeof commands));
    const int expected[][2] = {{0, 255}, {1, 0}, {2, 130}, {3, 0}, {6, 1}, {9, 2}, {12, 4}, {765, 255}};
    for (const auto& e : expected)
        EXPECT_EQ(e[1], palette[e[0]]) << "component " << e[0] << " (entry 1 takes old entry 0)";

    const uint8_t shortOfEntries[] = {0xFF, 0x3F, 0x00};   // 128 kept, then a SET without blue
    const uint8_t copyTooFar[] = {0xFF, 0x41, 0xFF, 0xFF}; // copy 2 from entry 255
    const uint8_t notAllEntries[] = {0xFF, 0xFE};          // only 255 entries accounted for
    palette[0] = 7;
    EXPECT_FALSE(SmkApplyPalette(palette, shortOfEntries, sizeof shortOfEntries));
    EXPECT_FALSE(SmkApplyPalette(palette, copyTooFar, sizeof copyTooFar));
    EXPECT_FALSE(SmkApplyPalette(palette, notAllEntries, sizeof notAllEntries));
    EXPECT_EQ(7, palette[0]) << "a refused chunk changes nothing";
    const uint8_t keepPastTheEnd[] = {0xFF, 0xFF, 0xFF}; // 384 entries kept: ends at 256
    EXPECT_TRUE(SmkApplyPalette(palette, keepPastTheEnd, sizeof keepPastTheEnd));
}

TEST(SmackerDecoder, HostileHeadersFailToOpen)
{
    std::vector<uint8_t> good = kMinimalFilm;
    ASSERT_EQ(1, DecodeAll(good));
    struct Case {
        const char* What;
        size_t Offset;
        uint32_t Value;
        size_t Offset2 = 0; // a second field, when not 0
        uint32_t Value2 = 0;
    } cases[] = {
        {"another signature", 0, 0x334B4D53},
        {"zero width", 4, 0},
        {"zero height", 8, 0},
        {"huge width", 4, 0x10000},
        {"height beyond the limit", 8, 0x10000},
        {"a picture of a gigabyte", 4, 32768, 8, 32768},
        {"no frames", 12, 0},
        {"a ring frame without frames", 12, 0, 20, kSmkRingFrame},
        {"frames beyond the file", 12, 1000},
        {"frame count that wraps with a ring frame", 12, 0xFFFFFFFF, 20, kSmkRingFrame},
        {"rate that overflows", 16, 0x7FFFFFFF},
        {"the most negative rate", 16, 0x80000000},
        {"no tree data", 52, 0},
        {"tree data beyond the file", 52, 0x7FFFFFFF},
        {"tree size field that is too large", 56, 0x0FFFFFFF},
        {"tree size field too small for the tree", 68, 0},
        {"first record beyond the file", 104, 0x1000},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bad = good;
        PutU32(bad, c.Offset, c.Value);
        if (c.Offset2)
            PutU32(bad, c.Offset2, c.Value2);
        EXPECT_EQ(-1, DecodeAll(bad)) << c.What;
    }
}

TEST(SmackerDecoder, TruncatedFilmsFailToOpenOrLoseOnlyTheirCutRecordsAndCutVideoEndsOnlyItsFrame)
{
    SmkEncodeOptions o = FilmOptions(32, 16);
    auto frames = MakeTestFrames(32, 16, 6, 1);
    std::vector<uint8_t> file = EncodeFilm(o, frames, {MakeTone(11025, 1, 8, true, 4000)});
    ASSERT_EQ(6, DecodeAll(file));
    for (size_t n = 0; n < file.size(); ++n) {
        std::vector<uint8_t> cut(file.begin(), file.begin() + std::ptrdiff_t(n));
        SmkFilm film;
        if (!SmkOpenMemory(film, cut.data(), cut.size(), 0x7F))
            continue;
        EXPECT_LT(film.Records, 6u) << "cut at " << n;
        EXPECT_EQ(film.Records, film.Header.Frames);
        for (uint32_t r = 0; r < film.Records; ++r)
            EXPECT_TRUE(SmkDecodeFrame(film, r)) << "whole record " << r << " of a film cut at " << n;
    }
    SmkFilm film;
    ASSERT_TRUE(SmkOpenMemory(film, file.data(), file.size(), 0));
    ASSERT_EQ(SmkRead::Ready, SmkReadRecord(film, 0));
    film.VideoLength = 4; // the bitstream ends after a few blocks
    EXPECT_FALSE(SmkDecodeVideo(film));
    EXPECT_TRUE(SmkDecodeFrame(film, 1)) << "the next frame decodes as usual";
}

TEST(SmackerDecoder, DamagedBytesNeverLeadOutsideTheBuffers)
{
    SmkEncodeOptions o = FilmOptions(32, 32);
    o.Smk4 = true;
    o.RingFrame = true;
    auto frames = MakeTestFrames(32, 32, 3, 2);
    std::vector<uint8_t> file =
        EncodeFilm(o, frames, {MakeTone(8000, 2, 16, true, 600), MakeTone(8000, 1, 8, false, 600)});
    ASSERT_EQ(4, DecodeAll(file));
    // Every byte, set to telling values; the sanitizers watch every access.
    for (size_t i = 0; i < file.size(); ++i) {
        for (uint8_t v : {uint8_t(0xFF), uint8_t(file[i] ^ 0x11)}) {
            std::vector<uint8_t> bad = file;
            bad[i] = v;
            ASSERT_LE(DecodeAll(bad), 4) << "byte " << i;
        }
    }
}

TEST(SmackerDecoder, DamagedChunksDropTheRecordOrSilenceTheTrack)
{
    struct Case {
        const char* What;
        size_t Offset;
        uint32_t Value;
        int Size; // bytes written at Offset
        uint32_t Mask;
        SmkRead Read;
        uint8_t Red; // palette entry 0's red: 0 when nothing of the record is applied
    } cases[] = {
        {"a palette chunk that claims more than the record holds", 0x92, 0x20, 1, 0x7F, SmkRead::Dropped, 0},
        {"an audio chunk that reaches past the record", 0x9A, 0x40, 1, 0x7F, SmkRead::Dropped, 0},
        {"an audio chunk that swallows the video data", 0x9A, 0x10, 1, 0x7F, SmkRead::NoPicture, 255},
        {"a header saying stereo where the chunk says mono", 0x4B, 0xD0, 1, 0x7F, SmkRead::Ready, 255},
        {"200 samples, the bits run out long before", 0x9E, 200, 4, 0x7F, SmkRead::Ready, 255},
        {"the track outside the mask", 0, 0x324B4D53, 4, 0x7E, SmkRead::Ready, 255},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> file = kMinimalFilm;
        if (c.Size == 4)
            PutU32(file, c.Offset, c.Value);
        else
            file[c.Offset] = uint8_t(c.Value);
        SmkFilm film;
        ASSERT_TRUE(SmkOpenMemory(film, file.data(), file.size(), c.Mask)) << c.What;
        EXPECT_EQ(c.Read, SmkReadRecord(film, 0)) << c.What;
        EXPECT_EQ(c.Red, film.Palette[0]) << c.What;
        EXPECT_EQ(c.Read == SmkRead::NoPicture ? 4u : 0u, film.Tracks[0].Length) << c.What << ": palette and sound only";
        EXPECT_EQ(bool(c.Mask & 1), film.Tracks[0].Wanted) << c.What;
        if (c.Read == SmkRead::NoPicture) {
            EXPECT_FALSE(SmkDecodeVideo(film)) << c.What;
        }
    }
}
