// smkcheck: holds our decoder against FFmpeg's (through libavformat and libavcodec).
//
//   smkcheck compare FILM        every picture, palette and audio sample must be equal
//   smkcheck bench FILM [--seconds S]
//                                decodes the film's video with both decoders, from memory,
//                                and prints both rates and their ratio
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

#include "smacker/smacker_decoder.h"
#include "tools/smacker/film_files.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Picture {
    std::vector<uint8_t> Pixels;
    uint8_t Palette[768];
};

struct Decoded {
    uint32_t Width = 0, Height = 0;
    std::vector<Picture> Pictures;
    std::vector<std::vector<uint8_t>> Tracks; // interleaved samples of each audio stream, in order
};

// --- FFmpeg's side -----------------------------------------------------------------------------

struct Stream {
    AVCodecContext* Codec = nullptr;
    int Track = -1; // index into Decoded::Tracks, -1 for video
};

void TakeAudio(const AVFrame* f, std::vector<uint8_t>& out)
{
    const int bytes = av_get_bytes_per_sample(AVSampleFormat(f->format));
    const int channels = f->ch_layout.nb_channels;
    if (!av_sample_fmt_is_planar(AVSampleFormat(f->format))) {
        out.insert(out.end(), f->data[0], f->data[0] + size_t(f->nb_samples) * channels * bytes);
        return;
    }
    for (int i = 0; i < f->nb_samples; ++i)
        for (int ch = 0; ch < channels; ++ch)
            out.insert(out.end(), f->extended_data[ch] + size_t(i) * bytes, f->extended_data[ch] + size_t(i + 1) * bytes);
}

void TakePicture(const AVFrame* f, Decoded& d)
{
    Picture p;
    for (int y = 0; y < f->height; ++y)
        p.Pixels.insert(p.Pixels.end(), f->data[0] + size_t(y) * f->linesize[0], f->data[0] + size_t(y) * f->linesize[0] + f->width);
    for (int i = 0; i < 256; ++i) {
        uint32_t argb;
        std::memcpy(&argb, f->data[1] + 4 * i, 4);
        p.Palette[3 * i] = uint8_t(argb >> 16);
        p.Palette[3 * i + 1] = uint8_t(argb >> 8);
        p.Palette[3 * i + 2] = uint8_t(argb);
    }
    d.Width = uint32_t(f->width);
    d.Height = uint32_t(f->height);
    d.Pictures.push_back(std::move(p));
}

void Drain(Stream& s, AVFrame* frame, Decoded& d)
{
    while (avcodec_receive_frame(s.Codec, frame) == 0) {
        if (s.Track < 0)
            TakePicture(frame, d);
        else
            TakeAudio(frame, d.Tracks[size_t(s.Track)]);
        av_frame_unref(frame);
    }
}

bool OpenStreams(AVFormatContext* format, std::vector<Stream>& streams, Decoded& d)
{
    streams.resize(format->nb_streams);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVCodecParameters* par = format->streams[i]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        if (!codec)
            return false;
        streams[i].Codec = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(streams[i].Codec, par);
        streams[i].Codec->thread_count = 1;
        if (avcodec_open2(streams[i].Codec, codec, nullptr) < 0)
            return false;
        if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
            streams[i].Track = int(d.Tracks.size());
            d.Tracks.emplace_back();
        }
    }
    return true;
}

void CloseStreams(std::vector<Stream>& streams)
{
    for (Stream& s : streams)
        avcodec_free_context(&s.Codec);
}

bool DecodeWithFfmpeg(const std::string& path, Decoded& d)
{
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        return false;
    std::vector<Stream> streams;
    bool ok = avformat_find_stream_info(format, nullptr) >= 0 && OpenStreams(format, streams, d);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    while (ok && av_read_frame(format, packet) >= 0) {
        Stream& s = streams[size_t(packet->stream_index)];
        if (avcodec_send_packet(s.Codec, packet) == 0)
            Drain(s, frame, d);
        av_packet_unref(packet);
    }
    for (Stream& s : streams) {
        if (!ok)
            break;
        avcodec_send_packet(s.Codec, nullptr);
        Drain(s, frame, d);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    CloseStreams(streams);
    avformat_close_input(&format);
    return ok;
}

// --- our side ------------------------------------------------------------------------------------

bool DecodeWithOurs(const std::string& path, Decoded& d)
{
    SmkFilm film;
    if (!SmkOpenFile(film, path.c_str(), 0x7F))
        return false;
    std::vector<int> streamOf(kSmkTracks, -1);
    for (int k = 0; k < kSmkTracks; ++k) {
        if (film.Tracks[k].Rate) {
            streamOf[size_t(k)] = int(d.Tracks.size());
            d.Tracks.emplace_back();
        }
    }
    d.Width = film.Header.Width;
    d.Height = film.Header.Height;
    for (uint32_t r = 0; r < film.Records; ++r) {
        SmkRead read = SmkReadRecord(film, r);
        for (int k = 0; k < kSmkTracks; ++k) {
            const SmkTrack& t = film.Tracks[k];
            if (streamOf[size_t(k)] >= 0)
                d.Tracks[size_t(streamOf[size_t(k)])].insert(d.Tracks[size_t(streamOf[size_t(k)])].end(), t.Samples.get(),
                                                             t.Samples.get() + t.Length);
        }
        if (read == SmkRead::Ready && SmkDecodeVideo(film)) {
            Picture p;
            p.Pixels = film.Picture;
            std::memcpy(p.Palette, film.Palette, 768);
            d.Pictures.push_back(std::move(p));
        }
    }
    return true;
}

int Compare(const std::string& path)
{
    Decoded ours, theirs;
    if (!DecodeWithOurs(path, ours)) {
        std::printf("%s: our decoder cannot open it\n", path.c_str());
        return 1;
    }
    if (!DecodeWithFfmpeg(path, theirs)) {
        std::printf("%s: FFmpeg cannot open it\n", path.c_str());
        return 1;
    }
    int faults = 0;
    if (ours.Pictures.size() != theirs.Pictures.size() || ours.Width != theirs.Width || ours.Height != theirs.Height) {
        std::printf("%s: %zu pictures of %ux%u, FFmpeg %zu of %ux%u\n", path.c_str(), ours.Pictures.size(), ours.Width,
                    ours.Height, theirs.Pictures.size(), theirs.Width, theirs.Height);
        ++faults;
    }
    size_t common = std::min(ours.Pictures.size(), theirs.Pictures.size());
    for (size_t i = 0; i < common && faults < 10; ++i) {
        const Picture &a = ours.Pictures[i], &b = theirs.Pictures[i];
        if (a.Pixels != b.Pixels) {
            size_t at = 0;
            while (at < a.Pixels.size() && at < b.Pixels.size() && a.Pixels[at] == b.Pixels[at])
                ++at;
            std::printf("%s: picture %zu differs first at pixel %zu\n", path.c_str(), i, at);
            ++faults;
        }
        if (std::memcmp(a.Palette, b.Palette, 768) != 0) {
            std::printf("%s: palette %zu differs\n", path.c_str(), i);
            ++faults;
        }
    }
    if (ours.Tracks.size() != theirs.Tracks.size()) {
        std::printf("%s: %zu audio tracks, FFmpeg %zu\n", path.c_str(), ours.Tracks.size(), theirs.Tracks.size());
        ++faults;
    }
    size_t samples = 0;
    for (size_t k = 0; k < std::min(ours.Tracks.size(), theirs.Tracks.size()); ++k) {
        if (ours.Tracks[k] != theirs.Tracks[k]) {
            std::printf("%s: audio track %zu differs (%zu bytes, FFmpeg %zu)\n", path.c_str(), k, ours.Tracks[k].size(),
                        theirs.Tracks[k].size());
            ++faults;
        }
        samples += ours.Tracks[k].size();
    }
    std::printf("%s: %zu pictures, %zu audio tracks (%zu bytes of samples): %s\n", path.c_str(), ours.Pictures.size(),
                ours.Tracks.size(), samples, faults ? "DIFFERENT" : "identical to FFmpeg");
    return faults ? 1 : 0;
}

// --- speed -----------------------------------------------------------------------------------------

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// FFmpeg: the video packets are read into memory first, then decoded again and again.
double FfmpegRate(const std::string& path, double seconds)
{
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0 || avformat_find_stream_info(format, nullptr) < 0)
        return 0;
    int video = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    std::vector<AVPacket*> packets;
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == video)
            packets.push_back(av_packet_clone(packet));
        av_packet_unref(packet);
    }
    const AVCodecParameters* par = format->streams[video]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    AVFrame* frame = av_frame_alloc();
    uint64_t pictures = 0;
    auto start = Clock::now();
    double elapsed = 0;
    do {
        AVCodecContext* ctx = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(ctx, par);
        ctx->thread_count = 1;
        avcodec_open2(ctx, codec, nullptr);
        for (AVPacket* p : packets) {
            avcodec_send_packet(ctx, p);
            while (avcodec_receive_frame(ctx, frame) == 0) {
                ++pictures;
                av_frame_unref(frame);
            }
        }
        avcodec_free_context(&ctx);
        elapsed = Seconds(start);
    } while (elapsed < seconds);
    for (AVPacket*& p : packets)
        av_packet_free(&p);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&format);
    return double(pictures) / elapsed;
}

// Ours: the whole file in memory, video only, the same work as FFmpeg's video decoder.
double OurRate(const std::string& path, double seconds)
{
    std::vector<uint8_t> data;
    if (!ReadFileBytes(path, data))
        return 0;
    SmkFilm film;
    uint64_t pictures = 0;
    auto start = Clock::now();
    double elapsed = 0;
    do {
        if (!SmkOpenMemory(film, data.data(), data.size(), 0))
            return 0;
        for (uint32_t r = 0; r < film.Records; ++r)
            pictures += SmkDecodeFrame(film, r);
        elapsed = Seconds(start);
    } while (elapsed < seconds);
    return double(pictures) / elapsed;
}

int Bench(const std::string& path, double seconds)
{
    double ffmpeg = FfmpegRate(path, seconds);
    double ours = OurRate(path, seconds);
    if (ffmpeg <= 0 || ours <= 0) {
        std::printf("%s: cannot be decoded by both decoders\n", path.c_str());
        return 1;
    }
    std::printf("%s\n  our decoder:    %9.1f frames per second\n  FFmpeg's:       %9.1f frames per second\n"
                "  ratio (ours / FFmpeg's): %.2f\n",
                path.c_str(), ours, ffmpeg, ours / ffmpeg);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    av_log_set_level(AV_LOG_ERROR);
    if (argc >= 3 && std::strcmp(argv[1], "compare") == 0) {
        int failures = 0;
        for (int i = 2; i < argc; ++i)
            failures += Compare(argv[i]);
        return failures ? 1 : 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "bench") == 0) {
        double seconds = argc >= 5 && std::strcmp(argv[3], "--seconds") == 0 ? std::atof(argv[4]) : 3.0;
        return Bench(argv[2], seconds);
    }
    std::fprintf(stderr, "usage: smkcheck compare FILM...\n       smkcheck bench FILM [--seconds S]\n");
    return 2;
}
