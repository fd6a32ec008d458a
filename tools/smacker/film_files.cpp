#include "tools/smacker/film_files.h"

#include "tools/little_endian.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

} // namespace

bool WriteFileBytes(const std::string& path, const void* data, size_t size)
{
    File f(std::fopen(path.c_str(), "wb"));
    if (!f)
        return false;
    bool ok = std::fwrite(data, 1, size, f.get()) == size;
    return std::fclose(f.release()) == 0 && ok;
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& data)
{
    File f(std::fopen(path.c_str(), "rb"));
    if (!f)
        return false;
    data.clear();
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0)
        data.insert(data.end(), buffer, buffer + n);
    return !std::ferror(f.get());
}

bool WritePalettePng(const std::string& path, const uint8_t* pixels, uint32_t width, uint32_t height,
                     const uint8_t* palette)
{
    File f(std::fopen(path.c_str(), "wb"));
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<uint8_t> row(size_t(width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, f.get());
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x)
            std::memcpy(&row[3 * x], palette + 3 * pixels[size_t(y) * width + x], 3);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f.release()) == 0;
}

bool WriteWav(const std::string& path, const WavSound& s)
{
    const uint32_t frame = uint32_t(s.Channels * s.Bits / 8);
    std::vector<uint8_t> out;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    PutLe32(out, uint32_t(36 + s.Samples.size()));
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLe32(out, 16);
    PutLe16(out, 1); // PCM
    PutLe16(out, uint32_t(s.Channels));
    PutLe32(out, s.Rate);
    PutLe32(out, s.Rate * frame);
    PutLe16(out, frame);
    PutLe16(out, uint32_t(s.Bits));
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    PutLe32(out, uint32_t(s.Samples.size()));
    out.insert(out.end(), s.Samples.begin(), s.Samples.end());
    return WriteFileBytes(path, out.data(), out.size());
}

bool ReadWav(const std::string& path, WavSound& s)
{
    std::vector<uint8_t> d;
    if (!ReadFileBytes(path, d) || d.size() < 12 || std::memcmp(d.data(), "RIFF", 4) || std::memcmp(&d[8], "WAVE", 4))
        return false;
    bool format = false;
    for (size_t pos = 12; pos + 8 <= d.size();) {
        uint32_t size = Le32(&d[pos + 4]);
        const uint8_t* body = &d[pos + 8];
        if (size > d.size() - pos - 8)
            return false;
        if (!std::memcmp(&d[pos], "fmt ", 4) && size >= 16) {
            if (Le16(body) != 1)
                return false;
            s.Channels = int(Le16(body + 2));
            s.Rate = Le32(body + 4);
            s.Bits = int(Le16(body + 14));
            format = true;
        } else if (!std::memcmp(&d[pos], "data", 4) && format) {
            s.Samples.assign(body, body + size);
            return (s.Channels == 1 || s.Channels == 2) && (s.Bits == 8 || s.Bits == 16);
        }
        pos += 8 + size + (size & 1);
    }
    return false;
}

std::string FramePath(const std::string& dir, uint32_t frame, const char* extension)
{
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%05u.%s", frame, extension);
    return dir + name;
}
