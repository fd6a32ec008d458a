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
        if (r > 0 && r < frames.size() && f.Pixels == frames[r - 1].Pixels) {
            EXPECT_EQ(4u, film.RecordSize[r]) << "an unchanged frame: a run of skipped blocks and no palette";
        }
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

} // namespace

TEST(SmackerEncoder, PicturesAndPalettesComeBackExactlyInEveryVariantUnchangedFramesCostNothingAndTheCacheAndSmk4MakeFilmsSmaller)
{
    auto frames = MakeTestFrames(96, 64, 8, 7);
    frames.push_back(frames.back());
    size_t plainSize = 0;
    for (int variant = 0; variant < 4; ++variant) {
        SmkEncodeOptions o = FilmOptions(96, 64);
        o.Smk4 = variant & 2;
        o.UseCache = variant & 1;
        o.RingFrame = o.Smk4 != o.UseCache; // each feature with and without the others
        SCOPED_TRACE(testing::Message() << "SMK4 " << o.Smk4 << ", cache " << o.UseCache << ", ring " << o.RingFrame);
        std::vector<uint8_t> file = EncodeFilm(o, frames);
        ASSERT_EQ(o.Smk4 ? 0x344B4D53u : 0x324B4D53u, uint32_t(file[0] | file[1] << 8 | file[2] << 16 | file[3] << 24));
        ExpectFramesBack(file, frames, o.RingFrame);
        if (variant == 0)
            plainSize = file.size();
        else if (variant == 3) {
            EXPECT_LT(file.size(), plainSize);
        }
    }
}

TEST(SmackerEncoder, SoundComesBackSampleForSampleInEveryFormatAndTrack)
{
    SmkEncodeTrack silence = MakeTone(4, 2, 16, true, 9); // degenerate trees
    std::fill(silence.Samples.begin(), silence.Samples.end(), 0);
    silence.Samples[2] = 1; // the second sample frame differs once
    struct Case {
        const char* What;
        uint32_t Frames;
        int32_t FrameRate;
        std::vector<SmkEncodeTrack> Tracks;
    } cases[] = {
        {"mono 8 bits", 10, -6667, {MakeTone(22050, 1, 8, true, 22050 * 10 / 15 + 17)}},
        {"stereo 16 bits", 10, -6667, {MakeTone(22050, 2, 16, true, 22050 * 10 / 15 + 17)}},
        {"stereo 8 bits", 10, -6667, {MakeTone(22050, 2, 8, true, 22050 * 10 / 15 + 17)}},
        {"mono 16 bits", 10, -6667, {MakeTone(22050, 1, 16, true, 22050 * 10 / 15 + 17)}},
        {"mono 8 bits PCM", 10, -6667, {MakeTone(22050, 1, 8, false, 22050 * 10 / 15 + 17)}},
        {"stereo 16 bits PCM", 10, -6667, {MakeTone(22050, 2, 16, false, 22050 * 10 / 15 + 17)}},
        {"silence and single samples, a second a frame", 3, 1000, {silence}},
        {"two tracks", 5, 100, {MakeTone(8000, 1, 8, true, 4000), MakeTone(11025, 2, 16, false, 5512)}},
        // 800 samples a frame; two are left for the last, whose chunk joins its neighbour's.
        {"short 8-bit PCM chunk", 5, 100, {MakeTone(8000, 1, 8, false, 4 * 800 + 2)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        auto frames = MakeTestFrames(16, 16, c.Frames, 10);
        SmkEncodeOptions o = FilmOptions(16, 16);
        o.FrameRate = c.FrameRate;
        o.AudioLeadMs = c.FrameRate < 0 ? 250 : 0;
        std::vector<uint8_t> file = EncodeFilm(o, frames, c.Tracks);
        SmkFilm film;
        ASSERT_TRUE(SmkOpenMemory(film, file.data(), file.size(), 0x7F));
        for (uint32_t r = 0; r < film.Records; ++r)
            EXPECT_TRUE(SmkDecodeFrame(film, r)) << "record " << r;
        for (size_t t = 0; t < c.Tracks.size(); ++t)
            EXPECT_EQ(c.Tracks[t].Samples, DecodeTrack(file, int(t))) << "track " << t;
    }
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
