#include "smacker/smacker_decoder.h"
#include "tests/smacker/test_films.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Decodes every record and checks each picture and palette against the frames encoded.
void ExpectFramesBack(const std::vector<uint8_t>& file, const std::vector<SmkEncodeFrame>& frames, bool ring)
{
    SmkFilm film;
    ASSERT_TRUE(SmkOpenMemory(film, file.data(), file.size(), 0x7F));
    ASSERT_EQ(frames.size(), film.Header.Frames);
    ASSERT_EQ(frames.size() + (ring ? 1 : 0), film.Records);
    for (uint32_t r = 0; r < film.Records; ++r) {
        const SmkEncodeFrame& f = frames[r < frames.size() ? r : 0];
        ASSERT_TRUE(SmkDecodeFrame(film, r)) << "record " << r;
        ASSERT_EQ(0, std::memcmp(f.Pixels.data(), film.Picture.data(), f.Pixels.size())) << "picture " << r;
        ASSERT_EQ(0, std::memcmp(f.Palette, film.Palette, 768)) << "palette " << r;
    }
}

// The concatenated samples of one track.
std::vector<uint8_t> DecodeTrack(const std::vector<uint8_t>& file, int track)
{
    SmkFilm film;
    std::vector<uint8_t> out;
    EXPECT_TRUE(SmkOpenMemory(film, file.data(), file.size(), 1u << track));
    for (uint32_t r = 0; r < film.Records; ++r) {
        EXPECT_NE(SmkRead::Dropped, SmkReadRecord(film, r));
        const SmkTrack& t = film.Tracks[track];
        out.insert(out.end(), t.Samples.get(), t.Samples.get() + t.Length);
    }
    return out;
}

struct Variant {
    bool Smk4;
    bool Cache;
    bool Ring;
};

} // namespace

TEST(SmackerEncoder, PicturesAndPalettesComeBackExactlyInEveryVariant)
{
    auto frames = MakeTestFrames(96, 64, 8, 7);
    for (Variant v : {Variant{false, false, false}, Variant{false, true, true}, Variant{true, false, true},
                      Variant{true, true, false}}) {
        SCOPED_TRACE(testing::Message() << "SMK4 " << v.Smk4 << ", cache " << v.Cache << ", ring " << v.Ring);
        SmkEncodeOptions o = FilmOptions(96, 64);
        o.Smk4 = v.Smk4;
        o.UseCache = v.Cache;
        o.RingFrame = v.Ring;
        std::vector<uint8_t> file = EncodeFilm(o, frames);
        ASSERT_EQ(v.Smk4 ? 0x344B4D53u : 0x324B4D53u, uint32_t(file[0] | file[1] << 8 | file[2] << 16 | file[3] << 24));
        ExpectFramesBack(file, frames, v.Ring);
    }
}

TEST(SmackerEncoder, TheCacheAndTheSmk4ModesMakeFilmsSmaller)
{
    auto frames = MakeTestFrames(96, 64, 8, 8);
    SmkEncodeOptions plain = FilmOptions(96, 64);
    plain.UseCache = false;
    SmkEncodeOptions better = plain;
    better.UseCache = true;
    better.Smk4 = true;
    EXPECT_LT(EncodeFilm(better, frames).size(), EncodeFilm(plain, frames).size());
}

TEST(SmackerEncoder, UnchangedFramesCostAlmostNothing)
{
    auto frames = MakeTestFrames(256, 128, 1, 9);
    frames.push_back(frames[0]);
    SmkEncodeOptions o = FilmOptions(256, 128);
    std::vector<uint8_t> file = EncodeFilm(o, frames);
    SmkFilm film;
    ASSERT_TRUE(SmkOpenMemory(film, file.data(), file.size(), 0));
    EXPECT_EQ(4u, film.RecordSize[1]) << "one run of skipped blocks, one byte, padded to four";
    EXPECT_EQ(0, film.RecordType[1]) << "no palette chunk when nothing changed";
    ExpectFramesBack(file, frames, false);
}

TEST(SmackerEncoder, SoundComesBackSampleForSampleInEveryFormat)
{
    auto frames = MakeTestFrames(16, 16, 10, 10);
    struct Format {
        int Channels, Bits;
        bool Compressed;
    };
    for (Format f : {Format{1, 8, true}, Format{2, 16, true}, Format{2, 8, true}, Format{1, 16, true},
                     Format{1, 8, false}, Format{2, 16, false}}) {
        SCOPED_TRACE(testing::Message() << f.Channels << " channels, " << f.Bits << " bits, compressed "
                                        << f.Compressed);
        SmkEncodeOptions o = FilmOptions(16, 16);
        o.FrameRate = -6667;
        o.AudioLeadMs = 250;
        SmkEncodeTrack tone = MakeTone(22050, f.Channels, f.Bits, f.Compressed, 22050 * 10 / 15 + 17);
        std::vector<uint8_t> file = EncodeFilm(o, frames, {tone});
        EXPECT_EQ(tone.Samples, DecodeTrack(file, 0));
    }
}

TEST(SmackerEncoder, SilenceAndSingleSampleChunksUseDegenerateTrees)
{
    auto frames = MakeTestFrames(16, 16, 3, 11);
    SmkEncodeOptions o = FilmOptions(16, 16);
    o.FrameRate = 1000; // one second a frame
    SmkEncodeTrack silence = MakeTone(4, 2, 16, true, 9);
    std::fill(silence.Samples.begin(), silence.Samples.end(), 0);
    silence.Samples[2] = 1; // the second sample frame differs once
    std::vector<uint8_t> file = EncodeFilm(o, frames, {silence});
    EXPECT_EQ(silence.Samples, DecodeTrack(file, 0));
}

TEST(SmackerEncoder, SeveralTracksKeepTheirOwnStreams)
{
    auto frames = MakeTestFrames(16, 16, 5, 12);
    SmkEncodeOptions o = FilmOptions(16, 16);
    SmkEncodeTrack a = MakeTone(8000, 1, 8, true, 4000), b = MakeTone(11025, 2, 16, false, 5512);
    std::vector<uint8_t> file = EncodeFilm(o, frames, {a, b});
    EXPECT_EQ(a.Samples, DecodeTrack(file, 0));
    EXPECT_EQ(b.Samples, DecodeTrack(file, 1));
}

TEST(SmackerEncoder, RefusesInputItCannotCode)
{
    SmkEncodeOptions o = FilmOptions(18, 16);
    std::vector<uint8_t> file;
    std::string error;
    auto frames = MakeTestFrames(16, 16, 1, 13);
    EXPECT_FALSE(SmkEncode(o, frames, {}, file, error)) << "width not a multiple of 4";
    o.Width = 16;
    EXPECT_FALSE(SmkEncode(o, {}, {}, file, error)) << "no frames";
    frames[0].Pixels.pop_back();
    EXPECT_FALSE(SmkEncode(o, frames, {}, file, error)) << "a short frame";
    frames = MakeTestFrames(16, 16, 1, 13);
    SmkEncodeTrack odd = MakeTone(8000, 2, 16, true, 10);
    odd.Samples.pop_back();
    EXPECT_FALSE(SmkEncode(o, frames, {odd}, file, error)) << "half a sample";
}

TEST(SmackerEncoder, ShortEightBitPcmChunksJoinTheirNeighbours)
{
    // 8000 Hz at 10 frames a second: 800 samples a frame; two samples are left for the last.
    auto frames = MakeTestFrames(16, 16, 5, 14);
    SmkEncodeOptions o = FilmOptions(16, 16);
    SmkEncodeTrack pcm = MakeTone(8000, 1, 8, false, 4 * 800 + 2);
    std::vector<uint8_t> file = EncodeFilm(o, frames, {pcm});
    SmkFilm film;
    ASSERT_TRUE(SmkOpenMemory(film, file.data(), file.size(), 1));
    for (uint32_t r = 0; r < film.Records; ++r)
        EXPECT_TRUE(SmkDecodeFrame(film, r)) << "record " << r << " keeps its chunk at eight bytes or more";
    EXPECT_EQ(pcm.Samples, DecodeTrack(file, 0));
}
