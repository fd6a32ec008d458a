// File helpers shared by the native tests and fuzz targets.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <stdlib.h>
#include <unistd.h>

namespace test {

// A fresh folder below /tmp, removed with everything in it with the object.
class TempFolder {
public:
    explicit TempFolder(const std::string& name = "vesk-test")
    {
        std::string pattern = "/tmp/" + name + "-XXXXXX";
        path_ = mkdtemp(pattern.data()) ? pattern : "";
    }
    ~TempFolder()
    {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    bool Ready() const { return !path_.empty(); }

private:
    std::string path_;
};

// False when the file could not be made or not all of it was written.
inline bool WriteBytes(const std::string& path, const std::uint8_t* bytes, std::size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool written = size == 0 || std::fwrite(bytes, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

inline bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    return WriteBytes(path, bytes.data(), bytes.size());
}

// Empty when the file cannot be read.
inline std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fuzz target's scratch file, "/tmp/<prefix>-<process id>": unique among fuzzer processes
// running side by side. One that cannot be written ends the run, as every later input would
// test nothing.
inline std::string FuzzFilePath(const std::string& prefix) { return "/tmp/" + prefix + "-" + std::to_string(getpid()); }

inline void WriteFuzzFile(const std::string& path, const std::uint8_t* bytes, std::size_t size)
{
    if (!WriteBytes(path, bytes, size))
        std::abort();
}

} // namespace test
