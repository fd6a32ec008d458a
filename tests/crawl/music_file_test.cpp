// The crawl's music file: where it is looked for, which file is taken, and its samples held
// against FFmpeg's decode of the same file (sample for sample for Wave and 16-bit FLAC, within
// a small tolerance for Vorbis and 24-bit FLAC, which the two decoders round differently).
#include "crawl/music_file.h"
#include "tests/support/native_files.h"
#include "tests/support/wave_file.h"

#include <gtest/gtest.h>
#include <ogg/ogg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using test::MakeWave;
using test::ReadBytes;
using test::Spec;
using test::TempFolder;
using test::WaveSpec;

// The file, or a failure of the test when it cannot be written.
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    ASSERT_TRUE(test::WriteBytes(path, bytes)) << path;
}

// Some seconds of a chord that moves, with a little noise: every sample value differs from
// its neighbours, and both channels differ from each other.
std::vector<std::uint8_t> MakePcm(int channels, std::uint32_t rate, int bits, double seconds)
{
    std::vector<std::uint8_t> pcm;
    std::uint32_t noise = 12345;
    std::size_t frames = std::size_t(seconds * rate);
    for (std::size_t i = 0; i < frames; ++i) {
        double t = double(i) / rate;
        for (int c = 0; c < channels; ++c) {
            noise = noise * 1103515245u + 12345u;
            double v = 0.4 * std::sin(2 * M_PI * (220 + 110 * c) * t) + 0.25 * std::sin(2 * M_PI * (330 + 40 * t) * t) +
                       0.02 * (double(noise >> 16 & 0x7FFF) / 16384.0 - 1);
            if (bits == 8) {
                pcm.push_back(std::uint8_t(std::lround(128 + 127 * v)));
            } else if (bits == 16) {
                PutLe16(pcm, std::uint16_t(std::int16_t(std::lround(32767 * v))));
            } else {
                std::uint32_t wide = std::uint32_t(std::int32_t(std::lround(8388607 * v)));
                pcm.insert(pcm.end(), {std::uint8_t(wide), std::uint8_t(wide >> 8), std::uint8_t(wide >> 16)});
            }
        }
    }
    return pcm;
}

// Everything the file gives, read in pieces of the given size.
std::vector<std::int16_t> DecodeFile(const std::string& path, std::size_t piece = 1000, int* channels = nullptr, int* rate = nullptr)
{
    MusicStream stream = {};
    if (!OpenMusicStream(stream, path.c_str())) {
        ADD_FAILURE() << "cannot open " << path;
        return {};
    }
    if (channels)
        *channels = stream.Channels;
    if (rate)
        *rate = stream.Rate;
    std::vector<std::int16_t> all, buffer(piece * 2 + 8, 0x5A5A);
    for (std::size_t got; (got = ReadMusicFrames(stream, buffer.data(), piece)) > 0;) {
        EXPECT_LE(got, piece);
        all.insert(all.end(), buffer.begin(), buffer.begin() + got * stream.Channels);
    }
    CloseMusicStream(stream);
    return all;
}

bool HaveProgram(const char* name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// FFmpeg's decode of a file as signed 16-bit samples in the given channel count.
std::vector<std::int16_t> FfmpegDecode(const std::string& path, int channels)
{
    std::string command = "ffmpeg -v error -i '" + path + "' -ac " + std::to_string(channels) + " -f s16le -acodec pcm_s16le -";
    std::FILE* pipe = popen(command.c_str(), "r");
    std::vector<std::int16_t> samples;
    if (!pipe)
        return samples;
    std::int16_t buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, sizeof buffer[0], 4096, pipe)) > 0)
        samples.insert(samples.end(), buffer, buffer + got);
    EXPECT_EQ(0, pclose(pipe)) << command;
    return samples;
}

// --- where the file is looked for ----------------------------------------------------------

// The medium first, then the installation when there is one; a path that does not fit its
// buffer is left out: "Music\Track02.ogg" has 17 characters, so a root of 238 makes 255, the
// most that fits, and leaves no room for "Music\Track02.flac".
TEST(MusicFileList, TheMediumFirstThenTheInstallationWhatFits)
{
    const std::string fits(238, 'a'), tooLong(239, 'b');
    const struct {
        std::string medium, installation;
        bool installed;
        std::vector<std::string> paths;
    } cases[] = {
        {"E:\\", "C:\\VeskMarlit\\", false, {"E:\\Music\\Track02.ogg", "E:\\Music\\Track02.flac", "E:\\Music\\Track02.wav"}},
        {"E:\\", "C:\\VeskMarlit\\", true,
         {"E:\\Music\\Track02.ogg", "E:\\Music\\Track02.flac", "E:\\Music\\Track02.wav", "C:\\VeskMarlit\\Music\\Track02.ogg",
          "C:\\VeskMarlit\\Music\\Track02.flac", "C:\\VeskMarlit\\Music\\Track02.wav"}},
        {fits, tooLong, true, {fits + "Music\\Track02.ogg", fits + "Music\\Track02.wav"}},
        {tooLong, fits, false, {}},
    };
    for (const auto& c : cases) {
        MusicFilePaths paths;
        std::memset(&paths, 0x5A, sizeof paths);
        ASSERT_EQ(int(c.paths.size()), ListMusicFiles(c.medium.c_str(), c.installation.c_str(), c.installed, paths));
        EXPECT_EQ(int(c.paths.size()), paths.Count);
        for (std::size_t i = 0; i < c.paths.size(); ++i)
            EXPECT_EQ(c.paths[i], paths.Path[i]);
    }
}

// --- which file is taken -----------------------------------------------------------------

class MusicFileChoice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.Ready());
        WriteBytes(folder.File("good.wav"), MakeWave(Spec(2, 44100, 16), MakePcm(2, 44100, 16, 0.1)));
        WriteBytes(folder.File("other.wav"), MakeWave(Spec(1, 22050, 16), MakePcm(1, 22050, 16, 0.1)));
        WriteBytes(folder.File("damaged.ogg"), {'O', 'g', 'g', 'S', 0, 2, 0, 0, 1, 2, 3});
        WriteBytes(folder.File("empty.wav"), {});
        WriteBytes(folder.File("silent.wav"), MakeWave(Spec(2, 44100, 16), {}));
    }
    int OpenFirst() { return OpenFirstMusicFile(stream, paths, first.data(), firstFrames); }
    void TearDown() override { CloseMusicStream(stream); }
    void Use(std::initializer_list<const char*> names)
    {
        paths.Count = 0;
        for (const char* name : names)
            std::snprintf(paths.Path[paths.Count++], kPathSize, "%s", folder.File(name).c_str());
    }
    TempFolder folder;
    MusicFilePaths paths = {};
    MusicStream stream = {};
    std::vector<std::int16_t> first = std::vector<std::int16_t>(2 * kMostMusicRate);
    std::size_t firstFrames = 0;
};

// The first file that opens and yields a sample in its first second is taken (a Wave file
// whose data holds nothing opens, but yields none); with none, nothing is held.
TEST_F(MusicFileChoice, TheFirstThatPlaysIsTaken)
{
    const struct {
        std::initializer_list<const char*> names;
        int taken, channels, rate;
    } cases[] = {
        {{"missing.ogg", "good.wav", "other.wav"}, 1, 2, 44100},
        {{"damaged.ogg", "empty.wav", "silent.wav", "other.wav", "good.wav"}, 3, 1, 22050},
        {{"missing.ogg", "damaged.ogg", "empty.wav", "silent.wav"}, -1, 0, 0},
        {{}, -1, 0, 0},
    };
    for (const auto& c : cases) {
        Use(c.names);
        // Each file tried clears the stream; with none to try it stays as it was.
        std::memset(&stream, c.names.size() ? 0x5A : 0, sizeof stream);
        ASSERT_EQ(c.taken, OpenFirst());
        EXPECT_EQ(c.taken < 0 ? MusicKind::None : MusicKind::Wave, stream.Kind);
        if (c.taken < 0) {
            EXPECT_EQ(nullptr, stream.File);
            EXPECT_EQ(nullptr, stream.Decoder);
            std::int16_t samples[8];
            EXPECT_EQ(0u, ReadMusicFrames(stream, samples, 4));
            continue;
        }
        EXPECT_EQ(c.channels, stream.Channels);
        EXPECT_EQ(c.rate, stream.Rate);
        if (c.taken == 1) {
            EXPECT_EQ(4410u, firstFrames) << "its first second, here all of it";
        }
        CloseMusicStream(stream);
    }
}

// --- Wave ------------------------------------------------------------------------------------

// Eight-bit samples centred and scaled; a data chunk longer than the file (five whole stereo
// frames and half of a sixth, declared as 4 GiB less one) ends with the file, one shorter than
// the file with the chunk.
TEST(Wave, SamplesAndTheEndOfTheData)
{
    TempFolder folder;
    ASSERT_TRUE(folder.Ready());
    const struct {
        WaveSpec spec;
        std::vector<std::uint8_t> pcm;
        std::vector<std::int16_t> plays;
    } cases[] = {
        {Spec(1, 8000, 8), {0, 1, 127, 128, 129, 255}, {-32768, -32512, -256, 0, 256, 32512}},
        {WaveSpec{.DeclaredData = 0xFFFFFFFF}, {1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8, 0, 9, 0, 10, 0, 11, 0},
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {WaveSpec{.Channels = 1, .DeclaredData = 6}, {1, 0, 2, 0, 3, 0, 4, 0, 5, 0}, {1, 2, 3}},
    };
    for (const auto& c : cases) {
        WriteBytes(folder.File("case.wav"), MakeWave(c.spec, c.pcm));
        EXPECT_EQ(c.plays, DecodeFile(folder.File("case.wav"), 4));
    }
}

// A file that is refused holds nothing open.
void ExpectRefused(const std::string& path, const std::string& why)
{
    MusicStream stream = {};
    EXPECT_FALSE(OpenMusicStream(stream, path.c_str())) << why;
    EXPECT_EQ(nullptr, stream.File) << why;
    EXPECT_EQ(nullptr, stream.Decoder) << why;
    CloseMusicStream(stream);
}

// --- against FFmpeg; Ogg Vorbis and FLAC -------------------------------------------------

// Some seconds of the test's music in a Wave of the given layout, encoded by the reference
// encoder of the format ("ogg": oggenc, "flac": flac) with the options given ("wav": as it is). The path of
// the file, or "" with a failure when the encoder fails.
std::string Encode(const TempFolder& folder, const std::string& name, const std::string& format, const WaveSpec& spec,
                   double seconds, const std::string& options = "")
{
    std::string wave = folder.File(name + ".wav"), out = folder.File(name + "." + format);
    WriteBytes(wave, MakeWave(spec, MakePcm(spec.Channels, spec.Rate, spec.Bits, seconds)));
    if (format == "wav")
        return wave;
    // The test's Wave files of three channels carry no channel mask, which flac asks for.
    std::string command = format == "ogg" ? "oggenc -Q -q 3 " : "flac -s -f --channel-map=none ";
    command += options + " -o '" + out + "' '" + wave + "'";
    EXPECT_EQ(0, std::system(command.c_str())) << command;
    return out;
}

bool HaveEncoders()
{
    return HaveProgram("oggenc") && HaveProgram("flac") && HaveProgram("vorbiscomment");
}

struct EncodedCase {
    const char* Name;
    const char* Format;
    WaveSpec Spec;
    int Tolerance; // steps of 32768 by which FFmpeg's samples may differ from ours
};

class EncodedAgainstFfmpeg : public ::testing::TestWithParam<EncodedCase> {};

// Both decoders read the same file. Vorbis decoders may round differently by a few steps;
// 24-bit FLAC is rounded to 16 bits here and cut by FFmpeg. Read in pieces of an odd size,
// so that reads end in the middle of the file's own blocks.
TEST_P(EncodedAgainstFfmpeg, WithinRounding)
{
    if (!HaveProgram("ffmpeg") || !HaveEncoders())
        GTEST_SKIP() << "needs ffmpeg, oggenc and flac";
    TempFolder folder;
    ASSERT_TRUE(folder.Ready());
    const EncodedCase& c = GetParam();
    std::string file = Encode(folder, c.Name, c.Format, c.Spec, 1.3);
    int channels = 0, rate = 0;
    std::vector<std::int16_t> ours = DecodeFile(file, 777, &channels, &rate);
    EXPECT_EQ(c.Spec.Channels, channels);
    EXPECT_EQ(int(c.Spec.Rate), rate);
    std::vector<std::int16_t> reference = FfmpegDecode(file, c.Spec.Channels);
    ASSERT_EQ(std::size_t(1.3 * c.Spec.Rate) * c.Spec.Channels, reference.size()) << "the encoder keeps the length";
    ASSERT_EQ(reference.size(), ours.size());
    int worst = 0;
    double squares = 0;
    for (std::size_t i = 0; i < ours.size(); ++i) {
        int difference = std::abs(int(ours[i]) - int(reference[i]));
        worst = std::max(worst, difference);
        squares += double(difference) * difference;
    }
    RecordProperty("largest_difference", worst);
    EXPECT_LE(worst, c.Tolerance) << "of 32768";
    EXPECT_LE(std::sqrt(squares / double(ours.size())), 1.0);
}

INSTANTIATE_TEST_SUITE_P(Formats, EncodedAgainstFfmpeg,
    ::testing::Values(EncodedCase{"waveStereo16At44100", "wav", Spec(2, 44100, 16), 0},
                      EncodedCase{"waveMono16At22050", "wav", Spec(1, 22050, 16), 0},
                      EncodedCase{"waveStereo8At11025", "wav", Spec(2, 11025, 8), 0},
                      EncodedCase{"waveMono8At8000", "wav", Spec(1, 8000, 8), 0},
                      EncodedCase{"waveStereo16At48000", "wav", Spec(2, 48000, 16), 0},
                      EncodedCase{"waveExtensible", "wav", WaveSpec{.Rate = 32000, .Extensible = true}, 0},
                      EncodedCase{"waveListChunkBeforeData", "wav", WaveSpec{.Rate = 22050, .Before = {'L', 'I', 'S', 'T', 5, 0, 0, 0, 'I', 'N', 'F', 'O', 'x', 0}}, 0},
                      EncodedCase{"oggStereoAt44100", "ogg", Spec(2, 44100, 16), 2},
                      EncodedCase{"oggMonoAt22050", "ogg", Spec(1, 22050, 16), 2},
                      EncodedCase{"oggStereoAt22050", "ogg", Spec(2, 22050, 16), 2},
                      EncodedCase{"flacStereo16At44100", "flac", Spec(2, 44100, 16), 0},
                      EncodedCase{"flacMono16At8000", "flac", Spec(1, 8000, 16), 0},
                      EncodedCase{"flacStereo24At96000", "flac", Spec(2, 96000, 24), 1},
                      EncodedCase{"flacMono24At48000", "flac", Spec(1, 48000, 24), 1}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Vorbis, ATruncatedFileEndsEarlyAndCleanly)
{
    if (!HaveEncoders())
        GTEST_SKIP() << "needs oggenc";
    TempFolder folder;
    ASSERT_TRUE(folder.Ready());
    std::string ogg = Encode(folder, "whole", "ogg", Spec(2, 44100, 16), 2.0);
    std::vector<std::int16_t> whole = DecodeFile(ogg);
    ASSERT_EQ(2u * 88200, whole.size());
    std::vector<std::uint8_t> bytes = ReadBytes(ogg);
    bytes.resize(bytes.size() / 2);
    WriteBytes(folder.File("cut.ogg"), bytes);
    std::vector<std::int16_t> half = DecodeFile(folder.File("cut.ogg"));
    EXPECT_GT(half.size(), 0u);
    EXPECT_LT(half.size(), whole.size());
    // What there is of it is the start of the whole.
    EXPECT_TRUE(std::equal(half.begin(), half.begin() + std::min(half.size(), std::size_t(20000)), whole.begin()));
}

// Rippers embed the cover in the file's comments (Vorbis) or a picture block (FLAC), often
// of some MB: the music plays whole, sample for sample as without it.
TEST(Encoded, ACoverOf8MiBPlaysWhole)
{
    if (!HaveEncoders())
        GTEST_SKIP() << "needs oggenc, vorbiscomment and flac";
    for (const std::string format : {"ogg", "flac"}) {
        TempFolder folder;
        ASSERT_TRUE(folder.Ready());
        std::string plain = Encode(folder, "plain", format, Spec(2, 44100, 16), 1.0), art = folder.File("cover");
        // What the picture holds is of no matter; as a comment it is written in base64, whose
        // letters these are.
        const std::string picture(8 << 20, 'Q');
        std::string command;
        if (format == "ogg") {
            std::string tags = "COVERART=" + picture + "\n";
            WriteBytes(folder.File("tags"), {tags.begin(), tags.end()});
            command = "vorbiscomment -w -c '" + folder.File("tags") + "' '" + plain + "' '" + art + "'";
        } else {
            WriteBytes(folder.File("picture"), {picture.begin(), picture.end()});
            command = "metaflac --import-picture-from='3|image/jpeg||600x600x24|" + folder.File("picture") + "' '" + plain + "'";
            art = plain;
        }
        std::vector<std::int16_t> expected = DecodeFile(plain);
        ASSERT_EQ(0, std::system(command.c_str())) << command;
        ASSERT_GT(ReadBytes(art).size(), std::size_t(8 << 20));
        EXPECT_EQ(expected, DecodeFile(art)) << format;
    }
}

// What a ripped track is not: more than two channels, a rate no sound card plays, samples of
// other widths, other kinds of file, Wave files damaged or made to mislead.
TEST(MusicFile, FormsThatCannotBePlayedAreRefused)
{
    TempFolder folder;
    ASSERT_TRUE(folder.Ready());
    std::vector<std::uint8_t> pcm = MakePcm(2, 44100, 16, 0.01);
    struct Refused {
        const char* Why;
        std::vector<std::uint8_t> Bytes;
    };
    std::vector<std::uint8_t> noFormat = MakeWave(Spec(2, 44100, 16), pcm);
    noFormat.erase(noFormat.begin() + 12, noFormat.begin() + 36); // the format chunk
    std::vector<std::uint8_t> notWave = MakeWave(Spec(2, 44100, 16), pcm);
    std::memcpy(notWave.data() + 8, "AVI ", 4);
    std::vector<std::uint8_t> shortFormat = MakeWave(Spec(2, 44100, 16), pcm);
    shortFormat[16] = 14;
    std::vector<std::uint8_t> manyChunks = MakeWave({.Before = std::vector<std::uint8_t>(70 * 8, 0)}, pcm);
    for (std::size_t c = 0; c < 70; ++c)
        std::memcpy(manyChunks.data() + 36 + c * 8, "junk", 4);
    std::vector<std::uint8_t> hugeChunk = MakeWave({.Before = {'j', 'u', 'n', 'k', 0xFF, 0xFF, 0xFF, 0xFF}}, pcm);
    const Refused refused[] = {
        {"float samples", MakeWave({.Tag = 3}, pcm)},
        {"24-bit samples", MakeWave(Spec(2, 44100, 24), pcm)},
        {"three channels", MakeWave(Spec(3, 44100, 16), pcm)},
        {"no channels", MakeWave(Spec(0, 44100, 16), pcm)},
        {"a rate of 4000", MakeWave(Spec(2, 4000, 16), pcm)},
        {"a rate of 192000", MakeWave(Spec(2, 192000, 16), pcm)},
        {"extensible float", MakeWave({.Tag = 3, .Extensible = true}, pcm)},
        {"no format chunk", noFormat},
        {"not WAVE", notWave},
        {"a format chunk of 14 bytes", shortFormat},
        {"more chunks than a real file", manyChunks},
        {"a chunk past the file's end", hugeChunk},
        {"nothing but RIFF", {'R', 'I', 'F', 'F'}},
        {"an MP3", {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0}},
        // A page whose packet starts like Opus, not like a Vorbis identification header.
        {"Ogg that is not Vorbis", {'O', 'g', 'g', 'S', 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,
                                    19, 'O', 'p', 'u', 's', 'H', 'e', 'a', 'd', 1, 2, 0, 0, 0x80, 0xBB, 0, 0, 0, 0, 0}},
    };
    for (const Refused& r : refused) {
        WriteBytes(folder.File("refused"), r.Bytes);
        ExpectRefused(folder.File("refused"), r.Why);
    }
    if (!HaveEncoders())
        GTEST_SKIP() << "the encoded ones need oggenc and flac";
    const EncodedCase encoded[] = {
        {"oggThreeChannels", "ogg", Spec(3, 22050, 16), 0},
        {"flacThreeChannels", "flac", Spec(3, 22050, 16), 0},
        {"flacEightBits", "flac", Spec(2, 22050, 8), 0},
        {"flacAt4000", "flac", Spec(2, 4000, 16), 0},
        {"flacAt192000", "flac", Spec(1, 192000, 24), 0},
    };
    for (const EncodedCase& c : encoded)
        ExpectRefused(Encode(folder, c.Name, c.Format, c.Spec, 0.3), c.Name);
}

// The hostile files of these tests seed the music fuzzer: its test step runs them with
// VESK_MUSIC_SEEDS naming its corpus.
void KeepAsSeed(const std::string& name, const std::string& path)
{
    if (const char* corpus = std::getenv("VESK_MUSIC_SEEDS"))
        WriteBytes(std::string(corpus) + "/" + name, ReadBytes(path));
}

// Files as real tools write them, and what plays of each: the parts they were made of, each
// read on its own, in the layout of the file's start.
struct ToolFile {
    const char* Name;
    std::string (*Make)(const TempFolder& folder, std::vector<std::int16_t>& plays);
};

std::string Joined(const TempFolder& folder, std::vector<std::uint8_t> bytes, const std::string& tail)
{
    std::vector<std::uint8_t> more = ReadBytes(tail);
    bytes.insert(bytes.end(), more.begin(), more.end());
    WriteBytes(folder.File("made"), bytes);
    return folder.File("made");
}

void Append(std::vector<std::int16_t>& plays, const std::vector<std::int16_t>& more, bool monoToStereo = false)
{
    for (std::int16_t sample : more)
        plays.insert(plays.end(), monoToStereo ? 2 : 1, sample);
}

const ToolFile kToolFiles[] = {
    // A cat of two rips, a stereo one and a mono one: mono to both channels.
    {"flacStereoThenMono", [](const TempFolder& f, std::vector<std::int16_t>& plays) {
         std::string a = Encode(f, "a", "flac", Spec(2, 44100, 16), 0.5), b = Encode(f, "b", "flac", Spec(1, 44100, 16), 0.5);
         plays = DecodeFile(a);
         Append(plays, DecodeFile(b), true);
         return Joined(f, ReadBytes(a), b);
     }},
    {"flac16Then24Bits", [](const TempFolder& f, std::vector<std::int16_t>& plays) {
         std::string a = Encode(f, "a", "flac", Spec(2, 48000, 16), 0.5), b = Encode(f, "b", "flac", Spec(2, 48000, 24), 0.5);
         plays = DecodeFile(a);
         Append(plays, DecodeFile(b));
         return Joined(f, ReadBytes(a), b);
     }},
    // Another rate ends the music, where libFLAC once stood ABORTED, answering for ever.
    {"flacRateChangeEndsThere", [](const TempFolder& f, std::vector<std::int16_t>& plays) {
         std::string a = Encode(f, "a", "flac", Spec(2, 44100, 16), 0.5), b = Encode(f, "b", "flac", Spec(2, 22050, 16), 0.5);
         plays = DecodeFile(a);
         return Joined(f, ReadBytes(a), b);
     }},
    {"flacBehindAnId3v2Tag", [](const TempFolder& f, std::vector<std::int16_t>& plays) {
         std::string a = Encode(f, "a", "flac", Spec(2, 44100, 16), 0.5);
         plays = DecodeFile(a);
         std::vector<std::uint8_t> tag = {'I', 'D', '3', 4, 0, 0, 0, 0, 8, 0}; // 1,024 bytes follow
         tag.resize(10 + 1024, 0);
         return Joined(f, tag, a);
     }},
    // A byte of frame 2 damaged: libFLAC writes silence of its length in its place, and
    // (1.4.2) clears frame 3 with it, which it then hands out as silence too.
    {"flacDamagedFrameKeepsTime", [](const TempFolder& f, std::vector<std::int16_t>& plays) {
         std::string a = Encode(f, "a", "flac", Spec(2, 44100, 16), 1.0, "-b 4096");
         plays = DecodeFile(a);
         std::fill(plays.begin() + 2 * 2 * 4096, plays.begin() + 2 * 4 * 4096, 0);
         std::vector<std::uint8_t> bytes = ReadBytes(a);
         const std::uint8_t sync[] = {0xFF, 0xF8};
         auto frame0 = std::search(bytes.begin() + 42, bytes.end(), sync, sync + 2);
         const std::uint8_t frame2[] = {0xFF, 0xF8, frame0[2], frame0[3], 2};
         auto at = std::search(frame0, bytes.end(), frame2, frame2 + 5);
         if (at != bytes.end())
             at[40] ^= 0x55;
         return Joined(f, bytes, "/dev/null");
     }},
    // A recorder cut off before it closed the file: the data chunk says 0 bytes.
    {"waveDataOfNoSize", [](const TempFolder& f, std::vector<std::int16_t>& plays) {
         std::vector<std::uint8_t> bytes = MakeWave(Spec(2, 22050, 16), {1, 0, 2, 0, 3, 0, 4, 0});
         std::fill(bytes.end() - 12, bytes.end() - 8, 0);
         plays = {1, 2, 3, 4};
         return Joined(f, bytes, "/dev/null");
     }},
};

class ToolFiles : public ::testing::TestWithParam<ToolFile> {};

TEST_P(ToolFiles, PlayWhatTheyHold)
{
    if (!HaveEncoders())
        GTEST_SKIP() << "needs flac";
    TempFolder folder;
    ASSERT_TRUE(folder.Ready());
    std::vector<std::int16_t> plays;
    std::string path = GetParam().Make(folder, plays);
    KeepAsSeed(GetParam().Name, path);
    ASSERT_FALSE(plays.empty());
    std::vector<std::int16_t> got = DecodeFile(path, 2205);
    ASSERT_EQ(plays.size(), got.size());
    EXPECT_TRUE(plays == got);
}

INSTANTIATE_TEST_SUITE_P(Files, ToolFiles, ::testing::ValuesIn(kToolFiles), [](const auto& info) { return std::string(info.param.Name); });

// The pages of an Ogg file: each page's header (with its lacing values) and its body.
struct OggPage {
    std::vector<std::uint8_t> Header, Body;
};

std::vector<OggPage> SplitPages(const std::vector<std::uint8_t>& file)
{
    std::vector<OggPage> pages;
    for (std::size_t at = 0; at + 27 <= file.size();) {
        std::size_t headerSize = 27 + file[at + 26], bodySize = 0;
        for (std::size_t i = 27; i < headerSize; ++i)
            bodySize += file[at + i];
        auto start = file.begin() + at;
        pages.push_back({{start, start + headerSize}, {start + headerSize, start + headerSize + bodySize}});
        at += headerSize + bodySize;
    }
    return pages;
}

// The pages as a file, numbered afresh, each with its checksum.
std::vector<std::uint8_t> JoinPages(std::vector<OggPage> pages)
{
    std::vector<std::uint8_t> file;
    for (std::uint32_t n = 0; n < pages.size(); ++n) {
        OggPage& p = pages[n];
        std::memcpy(&p.Header[18], &n, 4);
        ogg_page page = {p.Header.data(), long(p.Header.size()), p.Body.data(), long(p.Body.size())};
        ogg_page_checksum_set(&page);
        file.insert(file.end(), p.Header.begin(), p.Header.end());
        file.insert(file.end(), p.Body.begin(), p.Body.end());
    }
    return file;
}

// An Ogg file cut off after its headers opens, but holds no music: the next file plays.
TEST_F(MusicFileChoice, AnOggFileCutAfterItsHeadersGivesWayToTheNext)
{
    if (!HaveEncoders())
        GTEST_SKIP() << "needs oggenc";
    std::vector<std::uint8_t> headers;
    for (const OggPage& page : SplitPages(ReadBytes(Encode(folder, "whole", "ogg", Spec(2, 22050, 16), 0.5)))) {
        if (std::any_of(page.Header.begin() + 6, page.Header.begin() + 14, [](std::uint8_t b) { return b != 0; }))
            break; // a granule position: the first page of music
        headers.insert(headers.end(), page.Header.begin(), page.Header.end());
        headers.insert(headers.end(), page.Body.begin(), page.Body.end());
    }
    WriteBytes(folder.File("headers.ogg"), headers);
    ASSERT_TRUE(OpenMusicStream(stream, folder.File("headers.ogg").c_str())) << "it opens";
    CloseMusicStream(stream);
    Use({"headers.ogg", "other.wav"});
    EXPECT_EQ(1, OpenFirst());
}

// A page of no segments inside the comment header, after a segment of 255 bytes that says
// the packet goes on: legal Ogg, and its granule position (0x7FFFFFFF) is the size of no
// comment. The packet goes on after it, and the file plays as without it.
TEST(Vorbis, AnEmptyPageInsideTheCommentHeaderPlaysAsWithoutIt)
{
    if (!HaveEncoders())
        GTEST_SKIP() << "needs oggenc";
    TempFolder folder;
    ASSERT_TRUE(folder.Ready());
    std::string ogg = Encode(folder, "source", "ogg", Spec(1, 22050, 16), 0.5, "-c 'COMMENT=" + std::string(600, 'c') + "'");
    std::vector<OggPage> pages = SplitPages(ReadBytes(ogg));
    // Page 1 holds the comment header, 255 bytes a segment, then the setup header.
    ASSERT_GT(pages.size(), 2u);
    OggPage first = pages[1], rest = pages[1];
    ASSERT_EQ(255, first.Header[27]);
    first.Header.resize(28);
    first.Header[26] = 1;
    std::memset(&first.Header[6], 0xFF, 8); // no packet ends on it
    first.Body.resize(255);
    rest.Header.erase(rest.Header.begin() + 27);
    rest.Header[5] = 1; // continued
    rest.Header[26] -= 1;
    rest.Body.erase(rest.Body.begin(), rest.Body.begin() + 255);
    OggPage empty = {{rest.Header.begin(), rest.Header.begin() + 27}, {}};
    const std::uint8_t granule[8] = {0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0};
    std::memcpy(&empty.Header[6], granule, 8);
    empty.Header[26] = 0;
    pages[1] = first;
    pages.insert(pages.begin() + 2, {empty, rest});
    std::string hostile = folder.File("empty-page.ogg");
    WriteBytes(hostile, JoinPages(pages));
    KeepAsSeed("empty-page.ogg", hostile);
    EXPECT_EQ(DecodeFile(ogg), DecodeFile(hostile));
}

// Sizes in the comment header that no encoder writes: libvorbis refuses the header.
TEST(Vorbis, HostileCommentSizesAreRefused)
{
    if (!HaveEncoders())
        GTEST_SKIP() << "needs oggenc";
    TempFolder folder;
    ASSERT_TRUE(folder.Ready());
    std::string ogg = Encode(folder, "good", "ogg", Spec(1, 22050, 16), 0.5);
    std::vector<std::uint8_t> good = ReadBytes(ogg);
    // The first page: a header of 27 bytes, one lacing value, the 30-byte identification
    // header. The comment header starts the second page's payload.
    ASSERT_GT(good.size(), 200u);
    ASSERT_EQ(0, std::memcmp(good.data() + 58, "OggS", 4));
    std::size_t payload = 58 + 27 + good[58 + 26];
    ASSERT_EQ(0, std::memcmp(good.data() + payload, "\3vorbis", 7));
    std::uint32_t vendor;
    std::memcpy(&vendor, good.data() + payload + 7, 4);
    std::size_t count = payload + 11 + vendor;

    struct Patch {
        const char* Why;
        std::size_t At;
        std::uint32_t Value;
    };
    const Patch patches[] = {
        {"a billion comments", count, 0x40000000},
        {"more comments than an int holds", count, 0xFFFFFFF0},
        {"a vendor name of minus sixteen bytes", payload + 7, 0xFFFFFFF0},
        {"a vendor name of 64 MiB", payload + 7, 64u << 20},
    };
    for (const Patch& p : patches) {
        std::vector<std::uint8_t> bytes = good;
        std::memcpy(bytes.data() + p.At, &p.Value, 4);
        std::string path = folder.File("patched.ogg");
        WriteBytes(path, JoinPages(SplitPages(bytes))); // with the page's checksum set again, as a forger would
        KeepAsSeed("comment-size-" + std::to_string(&p - patches) + ".ogg", path);
        ExpectRefused(path, p.Why);
    }
    MusicStream stream = {};
    EXPECT_TRUE(OpenMusicStream(stream, ogg.c_str())) << "the file as the encoder made it";
    CloseMusicStream(stream);
}

} // namespace
