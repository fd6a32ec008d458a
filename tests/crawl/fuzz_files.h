// What the crawl's fuzz targets share: the loaders read files, so each input goes through a
// scratch file of this process's own.
#pragma once

#include "tests/support/native_files.h"

#include <cstdlib>
#include <unistd.h>

// "/tmp/<prefix>-<process id>", unique among fuzzer processes running side by side.
inline std::string FuzzFilePath(const std::string& prefix)
{
    return "/tmp/" + prefix + "-" + std::to_string(getpid());
}

// A file that cannot be written ends the run: every later input would test nothing.
inline void WriteFuzzFile(const std::string& path, const std::uint8_t* bytes, std::size_t size)
{
    if (!test::WriteBytes(path, bytes, size))
        std::abort();
}
