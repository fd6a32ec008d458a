// A reader of Windows program images (PE32 and PE32+) and of the archives that MinGW's
// import libraries are, just enough to check what a build produced without running it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PeImport {
    std::string Dll;
    std::vector<std::uint32_t> Ordinals; // functions imported by ordinal
    std::vector<std::string> Names;      // functions imported by name
};

struct PeImage {
    bool Valid = false;
    std::string Problem;        // why Valid is false
    std::uint16_t Machine = 0;  // 0x14c i386, 0x8664 x86-64
    std::uint16_t Magic = 0;    // 0x10b PE32, 0x20b PE32+
    std::uint16_t Subsystem = 0;
    bool IsDll = false;
    std::vector<PeImport> Imports;
    std::uint32_t ExportBase = 0;
    std::vector<std::uint32_t> ExportOrdinals; // ordinals with an address, ascending
    std::vector<std::string> ExportNames;
};

PeImage ReadPeImage(const std::vector<std::uint8_t>& file);

// The symbols of an archive's symbol table (the first member, "/"), empty when there is none.
std::vector<std::string> ArchiveSymbols(const std::vector<std::uint8_t>& file);

std::vector<std::uint8_t> ReadWholeFile(const std::string& path);
