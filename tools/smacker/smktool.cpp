// smktool: looks into, decodes, encodes and times Smacker films.
//
//   smktool info FILM
//   smktool decode FILM --png-dir DIR [--raw-dir DIR] [--wav FILE]
//   smktool encode OUT --raw-dir DIR --width W --height H [--frame-rate CODE] [--smk4] [--ring]
//                  [--y-doubled | --y-interlaced] [--no-cache] [--wav FILE [--pcm]]
//   smktool bench FILM [--seconds S]
#include "smacker/smacker_decoder.h"
#include "tools/smacker/film_files.h"
#include "tools/smacker/smacker_encoder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: smktool info FILM\n"
                 "       smktool decode FILM --png-dir DIR [--raw-dir DIR] [--wav FILE]\n"
                 "       smktool encode OUT --raw-dir DIR --width W --height H [--frame-rate CODE] [--smk4]\n"
                 "                      [--ring] [--y-doubled | --y-interlaced] [--no-cache] [--wav FILE [--pcm]]\n"
                 "       smktool bench FILM [--seconds S]\n");
    return 2;
}

// Options after the command's positional argument: "--name value" pairs and "--flag"s.
struct Args {
    std::vector<std::string> Items;
    bool Has(const char* name) const
    {
        for (const std::string& s : Items)
            if (s == name)
                return true;
        return false;
    }
    std::string Value(const char* name, const char* fallback = "") const
    {
        for (size_t i = 0; i + 1 < Items.size(); ++i)
            if (Items[i] == name)
                return Items[i + 1];
        return fallback;
    }
};

// Makes a folder and the folders above it, as "mkdir -p" does.
void MakeDir(const std::string& dir)
{
    for (size_t slash = dir.find('/', 1); slash != std::string::npos; slash = dir.find('/', slash + 1))
        mkdir(dir.substr(0, slash).c_str(), 0755);
    mkdir(dir.c_str(), 0755);
}

const char* TrackCodec(const SmkTrack& t)
{
    if (t.TransformCoded)
        return "other codec (skipped)";
    return t.Compressed ? "Huffman DPCM" : "PCM";
}

int Info(const std::string& path)
{
    SmkFilm film;
    if (!SmkOpenFile(film, path.c_str(), 0x7F)) {
        std::fprintf(stderr, "%s: not a film this decoder can open\n", path.c_str());
        return 1;
    }
    const SmkHeader& h = film.Header;
    const int64_t duration = SmkFrameDuration(h.FrameRate);
    std::printf("signature   %s\n", film.Smk4 ? "SMK4" : "SMK2");
    std::printf("size        %u x %u (shown %u rows%s)\n", h.Width, h.Height, SmkDisplayHeight(h),
                (h.Flags & kSmkYDoubled) ? ", Y-doubled" : (h.Flags & kSmkYInterlaced) ? ", Y-interlaced" : "");
    std::printf("frames      %u%s\n", h.Frames, (h.Flags & kSmkRingFrame) ? " and a ring frame" : "");
    std::printf("frame rate  %.3f fps (code %d, %.2f ms a frame)\n", 100000.0 / double(duration), h.FrameRate,
                double(duration) / 100.0);
    std::printf("length      %.2f s\n", double(duration) * h.Frames / 100000.0);
    for (int k = 0; k < kSmkTracks; ++k) {
        const SmkTrack& t = film.Tracks[k];
        if (t.Rate)
            std::printf("track %d     %u Hz, %d-bit, %s, %s\n", k, t.Rate, t.Bits, t.Channels == 2 ? "stereo" : "mono",
                        TrackCodec(t));
    }
    return 0;
}

int Decode(const std::string& path, const Args& args)
{
    const std::string pngDir = args.Value("--png-dir"), rawDir = args.Value("--raw-dir"), wav = args.Value("--wav");
    if (pngDir.empty())
        return Usage();
    SmkFilm film;
    if (!SmkOpenFile(film, path.c_str(), 0x7F)) {
        std::fprintf(stderr, "%s: not a film this decoder can open\n", path.c_str());
        return 1;
    }
    MakeDir(pngDir);
    if (!rawDir.empty())
        MakeDir(rawDir);
    int track = -1;
    for (int k = 0; k < kSmkTracks && track < 0; ++k)
        if (film.Tracks[k].Wanted)
            track = k;
    WavSound sound;
    if (track >= 0) {
        sound.Rate = film.Tracks[track].Rate;
        sound.Channels = film.Tracks[track].Channels;
        sound.Bits = film.Tracks[track].Bits;
    }
    const SmkHeader& h = film.Header;
    uint32_t pictures = 0;
    for (uint32_t r = 0; r < film.Records; ++r) {
        SmkRead read = SmkReadRecord(film, r);
        if (track >= 0) {
            const SmkTrack& t = film.Tracks[track];
            sound.Samples.insert(sound.Samples.end(), t.Samples.get(), t.Samples.get() + t.Length);
        }
        if (read == SmkRead::Failed) {
            std::fprintf(stderr, "%s: record %u cannot be read\n", path.c_str(), r);
            return 1;
        }
        if (read != SmkRead::Ready || !SmkDecodeVideo(film)) {
            std::fprintf(stderr, "%s: record %u gives no picture\n", path.c_str(), r);
            continue;
        }
        if (!WritePalettePng(FramePath(pngDir, r, "png"), film.Picture.data(), h.Width, h.Height, film.Palette)) {
            std::fprintf(stderr, "%s: cannot be written\n", FramePath(pngDir, r, "png").c_str());
            return 1;
        }
        if (!rawDir.empty() && (!WriteFileBytes(FramePath(rawDir, r, "raw"), film.Picture.data(), film.Picture.size()) ||
                                !WriteFileBytes(FramePath(rawDir, r, "pal"), film.Palette, sizeof film.Palette))) {
            std::fprintf(stderr, "%s: raw frames cannot be written\n", rawDir.c_str());
            return 1;
        }
        ++pictures;
    }
    if (!wav.empty() && track >= 0 && !WriteWav(wav, sound)) {
        std::fprintf(stderr, "%s: cannot be written\n", wav.c_str());
        return 1;
    }
    std::printf("%u pictures of %u records%s\n", pictures, film.Records, track >= 0 && !wav.empty() ? ", sound written" : "");
    return 0;
}

int Encode(const std::string& out, const Args& args)
{
    const std::string rawDir = args.Value("--raw-dir");
    SmkEncodeOptions o;
    o.Width = uint32_t(std::strtoul(args.Value("--width", "0").c_str(), nullptr, 10));
    o.Height = uint32_t(std::strtoul(args.Value("--height", "0").c_str(), nullptr, 10));
    o.FrameRate = int32_t(std::strtol(args.Value("--frame-rate", "100").c_str(), nullptr, 10));
    o.Smk4 = args.Has("--smk4");
    o.RingFrame = args.Has("--ring");
    o.UseCache = !args.Has("--no-cache");
    o.DisplayFlags = args.Has("--y-doubled") ? kSmkYDoubled : args.Has("--y-interlaced") ? kSmkYInterlaced : 0;
    if (rawDir.empty())
        return Usage();
    std::vector<SmkEncodeFrame> frames;
    for (uint32_t n = 0;; ++n) {
        SmkEncodeFrame f;
        std::vector<uint8_t> palette;
        if (!ReadFileBytes(FramePath(rawDir, n, "raw"), f.Pixels))
            break;
        if (!ReadFileBytes(FramePath(rawDir, n, "pal"), palette) || palette.size() != 768) {
            std::fprintf(stderr, "%s: missing or short\n", FramePath(rawDir, n, "pal").c_str());
            return 1;
        }
        std::memcpy(f.Palette, palette.data(), 768);
        frames.push_back(std::move(f));
    }
    std::vector<SmkEncodeTrack> tracks;
    if (args.Has("--wav")) {
        WavSound s;
        if (!ReadWav(args.Value("--wav"), s)) {
            std::fprintf(stderr, "%s: not a PCM WAV file\n", args.Value("--wav").c_str());
            return 1;
        }
        SmkEncodeTrack t;
        t.Rate = s.Rate;
        t.Channels = s.Channels;
        t.Bits = s.Bits;
        t.Compressed = !args.Has("--pcm");
        t.Samples = std::move(s.Samples);
        tracks.push_back(std::move(t));
    }
    std::vector<uint8_t> file;
    std::string error;
    if (!SmkEncode(o, frames, tracks, file, error)) {
        std::fprintf(stderr, "encode: %s\n", error.c_str());
        return 1;
    }
    if (!WriteFileBytes(out, file.data(), file.size())) {
        std::fprintf(stderr, "%s: cannot be written\n", out.c_str());
        return 1;
    }
    std::printf("%s: %zu frames, %zu bytes\n", out.c_str(), frames.size(), file.size());
    return 0;
}

int Bench(const std::string& path, const Args& args)
{
    std::vector<uint8_t> data;
    if (!ReadFileBytes(path, data)) {
        std::fprintf(stderr, "%s: cannot be read\n", path.c_str());
        return 1;
    }
    const double seconds = std::atof(args.Value("--seconds", "2").c_str());
    SmkFilm film;
    using Clock = std::chrono::steady_clock;
    uint64_t frames = 0;
    auto start = Clock::now();
    double elapsed = 0;
    do {
        if (!SmkOpenMemory(film, data.data(), data.size(), 0)) {
            std::fprintf(stderr, "%s: not a film this decoder can open\n", path.c_str());
            return 1;
        }
        for (uint32_t r = 0; r < film.Records; ++r)
            frames += SmkDecodeFrame(film, r);
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < seconds);
    std::printf("%s: %llu frames in %.3f s: %.1f frames per second\n", path.c_str(), (unsigned long long)frames, elapsed,
                double(frames) / elapsed);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Usage();
    const std::string command = argv[1], target = argv[2];
    Args args;
    for (int i = 3; i < argc; ++i)
        args.Items.push_back(argv[i]);
    if (command == "info")
        return Info(target);
    if (command == "decode")
        return Decode(target, args);
    if (command == "encode")
        return Encode(target, args);
    if (command == "bench")
        return Bench(target, args);
    return Usage();
}
