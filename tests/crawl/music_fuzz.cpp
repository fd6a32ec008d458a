// libFuzzer target: hostile Wave, Ogg Vorbis and FLAC files through the crawl's music loader
// (and libvorbisfile and libFLAC, instrumented too), opened and read to their end in pieces of
// changing size, as the crawl's refills read them; and hostile roots through the lookup, whose
// paths must stay inside their buffers.
#include "crawl/music_file.h"
#include "tests/support/native_files.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A file may hold far more music than the fuzzer has time for; its start is enough.
constexpr std::size_t kMostFrames = 1 << 20;

std::string FilePath()
{
    return test::FuzzFilePath("music-fuzz");
}

void ListWithRoots(const std::uint8_t* data, std::size_t size)
{
    std::string source(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 300));
    std::string install(source.rbegin(), source.rend());
    MusicFilePaths paths;
    int count = ListMusicFiles(source.c_str(), install.c_str(), size % 2 == 0, paths);
    if (count < 0 || count > kMusicFileCount)
        std::abort();
    for (int i = 0; i < count; ++i) {
        if (std::strlen(paths.Path[i]) >= static_cast<std::size_t>(kPathSize))
            std::abort();
    }
}

// Stops the reading after as many reads as the input's last byte says, when it is 1 to 15, as
// the crawl's end stops the music's thread at any point.
bool StopAfterReads(void* left)
{
    int& reads = *static_cast<int*>(left);
    return reads < 0 || reads-- > 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ListWithRoots(data, size);
    std::string path = FilePath();
    test::WriteFuzzFile(path, data, size);
    MusicStream stream = {};
    int reads = size > 0 && data[size - 1] > 0 && data[size - 1] < 16 ? data[size - 1] : -1;
    if (OpenMusicStream(stream, path.c_str(), StopAfterReads, &reads)) {
        if (stream.Channels < 1 || stream.Channels > 2 || stream.Rate < 8000 || stream.Rate > 96000)
            std::abort();
        // Samples land in a buffer of exactly the piece's size, so that AddressSanitizer
        // catches a decoder that writes past what it was asked for.
        const std::size_t pieces[] = {1, 7, 333, 4096, 2205};
        std::size_t total = 0;
        for (int i = 0; total < kMostFrames; ++i) {
            std::size_t piece = pieces[i % 5];
            std::vector<std::int16_t> samples(piece * stream.Channels);
            std::size_t got = ReadMusicFrames(stream, samples.data(), piece);
            if (got > piece)
                std::abort();
            if (got == 0)
                break;
            total += got;
        }
    }
    CloseMusicStream(stream);
    return 0;
}
