// music_bench: how fast the crawl's music files decode, with our stream (libvorbisfile or
// libFLAC, in the pieces the crawl's refills ask for) and with FFmpeg's own decoders, on the
// same files in one run; and the most heap our stream holds for each file.
//
//   music_bench [--rounds=N] FILE...
//
// Each round decodes the whole file; the best round of each decoder counts. FFmpeg hands out
// its decoders' own sample format (planar float for Vorbis, 16-bit for FLAC), which it is
// timed in; our stream hands out interleaved 16-bit samples, ready for the sound buffer. The
// heap is counted over one more decode of ours, from its open to its close.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "crawl/music_file.h"
#include "tools/crawl/heap_count.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Round {
    double Seconds = 0;
    std::uint64_t Frames = 0;
    long long PeakHeap = 0; // bytes, from before the open to after the close
};

// As the crawl decodes: a twentieth of a second at a time.
Round DecodeOurs(const char* path, int& rate, int& channels)
{
    Round round;
    // The crawl's sound buffer is a second long; a refill never asks for more.
    std::vector<std::int16_t> samples(2 * 96000);
    long long before = HeapInUse();
    ResetHeapPeak();
    auto start = Clock::now();
    MusicStream stream = {};
    if (!OpenMusicStream(stream, path))
        return round;
    rate = stream.Rate;
    channels = stream.Channels;
    std::size_t piece = static_cast<std::size_t>(stream.Rate / 20);
    std::size_t got;
    while ((got = ReadMusicFrames(stream, samples.data(), piece)) > 0)
        round.Frames += got;
    CloseMusicStream(stream);
    round.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
    round.PeakHeap = HeapPeak() - before;
    return round;
}

Round DecodeFfmpeg(const char* path)
{
    Round round;
    auto start = Clock::now();
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path, nullptr, nullptr) < 0)
        return round;
    const AVCodec* codec = nullptr;
    int index = -1;
    if (avformat_find_stream_info(format, nullptr) >= 0)
        index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    AVCodecContext* context = index >= 0 ? avcodec_alloc_context3(codec) : nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    if (context && avcodec_parameters_to_context(context, format->streams[index]->codecpar) >= 0 &&
        avcodec_open2(context, codec, nullptr) >= 0) {
        auto drain = [&] {
            while (avcodec_receive_frame(context, frame) >= 0)
                round.Frames += static_cast<std::uint64_t>(frame->nb_samples);
        };
        while (av_read_frame(format, packet) >= 0) {
            if (packet->stream_index == index && avcodec_send_packet(context, packet) >= 0)
                drain();
            av_packet_unref(packet);
        }
        avcodec_send_packet(context, nullptr);
        drain();
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    avformat_close_input(&format);
    round.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return round;
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = 10, first = 1;
    if (argc > 1 && std::strncmp(argv[1], "--rounds=", 9) == 0) {
        rounds = std::max(1, std::atoi(argv[1] + 9));
        first = 2;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: music_bench [--rounds=N] FILE...\n");
        return 2;
    }
    // FFmpeg notes each Vorbis file's pre-skip at its start, and a FLAC file's cover picture
    // that is not one; nothing to see here.
    av_log_set_level(AV_LOG_QUIET);
    for (int f = first; f < argc; ++f) {
        const char* path = argv[f];
        int rate = 0, channels = 0;
        Round ours{1e9, 0}, theirs{1e9, 0};
        for (int i = 0; i < rounds; ++i) {
            Round a = DecodeOurs(path, rate, channels), b = DecodeFfmpeg(path);
            if (a.Frames == 0 || b.Frames == 0) {
                std::fprintf(stderr, "music_bench: %s does not decode (%s)\n", path, a.Frames ? "FFmpeg" : "our stream");
                return 1;
            }
            if (a.Seconds < ours.Seconds)
                ours = a;
            if (b.Seconds < theirs.Seconds)
                theirs = b;
        }
        long long peak = DecodeOurs(path, rate, channels).PeakHeap;
        double music = double(ours.Frames) / rate;
        std::printf("%s: %.1f s of music, %d Hz, %d channel(s); best of %d rounds\n", path, music, rate, channels, rounds);
        std::printf("  our stream (16-bit, pieces of 1/20 s): %8.2f ms, %6.0fx real time, %llu frames\n",
                    ours.Seconds * 1000, music / ours.Seconds, static_cast<unsigned long long>(ours.Frames));
        std::printf("  FFmpeg's decoder:                      %8.2f ms, %6.0fx real time, %llu frames\n",
                    theirs.Seconds * 1000, double(theirs.Frames) / rate / theirs.Seconds,
                    static_cast<unsigned long long>(theirs.Frames));
        std::printf("  ours takes %.2f times FFmpeg's time; one crawl step's refill (1/20 s of music) costs %.1f us\n",
                    ours.Seconds / theirs.Seconds, ours.Seconds / (music * 20) * 1e6);
        std::printf("  peak heap of our stream, from open to close: %.2f MiB (%lld bytes)\n", double(peak) / (1 << 20), peak);
    }
    return 0;
}
