// The set of small films that the cross-check against FFmpeg decodes: together they cover
// every block kind and full-block mode, the three palette commands, the ring frame, both
// display flags, both signatures, both cache strategies and every kind of sound track.
#include "tools/smacker/test_films.h"

#include "smacker/smacker_decoder.h"
#include "tools/smacker/film_files.h"
#include "tools/smacker/film_patterns.h"

#include <cstdio>
#include <cstring>

namespace {

struct TestFilm {
    const char* Name;
    SmkEncodeOptions Options;
    std::vector<SmkEncodeFrame> Frames;
    std::vector<SmkEncodeTrack> Tracks;
};

SmkEncodeOptions Size(uint32_t width, uint32_t height)
{
    SmkEncodeOptions o;
    o.Width = width;
    o.Height = height;
    o.FrameRate = -6667;
    return o;
}

// Frames whose palettes change by rotating (copies), by a few entries (keeps and sets) and
// not at all, while the picture stays put.
std::vector<SmkEncodeFrame> PaletteFrames()
{
    std::vector<SmkEncodeFrame> frames = MakeTestFrames(64, 48, 1, 5);
    for (int f = 1; f < 8; ++f) {
        SmkEncodeFrame next = frames.back();
        if (f % 3 == 1) {
            for (int i = 10; i < 246; ++i) // rotate entries 10..245 by 7
                std::memcpy(next.Palette + 3 * i, frames.back().Palette + 3 * (10 + (i - 10 + 7) % 236), 3);
        } else if (f % 3 == 2) {
            for (int i = 50; i < 60; ++i)
                next.Palette[3 * i] = uint8_t(255 - next.Palette[3 * i]);
        }
        frames.push_back(next);
    }
    return frames;
}

std::vector<TestFilm> TestFilms()
{
    std::vector<TestFilm> films;
    SmkEncodeOptions o = Size(96, 64);
    o.UseCache = false;
    films.push_back({"blocks-smk2", o, MakeTestFrames(96, 64, 12, 1), {}});
    o = Size(96, 64);
    o.Smk4 = true;
    films.push_back({"blocks-smk4", o, MakeTestFrames(96, 64, 12, 2), {}});
    o = Size(80, 48);
    o.RingFrame = true;
    o.KeyframeInterval = 4;
    films.push_back({"ring-frame", o, MakeTestFrames(80, 48, 9, 3), {}});
    films.push_back({"palette", Size(64, 48), PaletteFrames(), {}});
    o = Size(64, 32);
    o.DisplayFlags = kSmkYDoubled;
    films.push_back({"y-doubled", o, MakeTestFrames(64, 32, 4, 4), {}});
    o.DisplayFlags = kSmkYInterlaced;
    o.Smk4 = true;
    films.push_back({"y-interlaced", o, MakeTestFrames(64, 32, 4, 5), {}});
    o = Size(32, 32);
    o.AudioLeadMs = 200;
    films.push_back({"audio-8-mono", o, MakeTestFrames(32, 32, 15, 6), {MakeTone(22050, 1, 8, true, 22050)}});
    films.push_back({"audio-16-stereo", o, MakeTestFrames(32, 32, 15, 7), {MakeTone(44100, 2, 16, true, 44100)}});
    films.push_back({"audio-pcm", o, MakeTestFrames(32, 32, 15, 8),
                     {MakeTone(11025, 1, 8, false, 11025), MakeTone(22050, 2, 16, false, 22050)}});
    o.FrameRate = 100;
    films.push_back({"audio-mixed", o, MakeTestFrames(32, 32, 10, 9),
                     {MakeTone(8000, 2, 8, true, 8000), MakeTone(16000, 1, 16, true, 16000)}});
    // Every block changes in every frame: the heavy case, also for the speed comparison.
    o = Size(320, 240);
    o.Smk4 = true;
    films.push_back({"motion", o, MakeTestFrames(320, 240, 30, 10), {}});
    return films;
}

} // namespace

bool WriteTestFilms(const std::string& dir)
{
    for (const TestFilm& film : TestFilms()) {
        std::vector<uint8_t> file;
        std::string error;
        const std::string path = dir + "/" + film.Name + ".smk";
        if (!SmkEncode(film.Options, film.Frames, film.Tracks, file, error)) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
            return false;
        }
        if (!WriteFileBytes(path, file.data(), file.size())) {
            std::fprintf(stderr, "%s: cannot be written\n", path.c_str());
            return false;
        }
    }
    return true;
}
