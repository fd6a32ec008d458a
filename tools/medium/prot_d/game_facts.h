// What the stand-in game finds out about its start: the mode, and the two graphics views
// read from its parent process. Portable, so that parsing and the report are tested natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr std::size_t kFirstBytes = 16;

struct ViewFacts {
    std::uint64_t Address = 0;   // as given on the command line
    bool Read = false;           // the view could be read from the parent
    std::uint64_t Size = 0;      // bytes of the view (the file rounded up to whole pages)
    std::uint32_t Crc = 0;       // CRC-32 of the whole view
    std::uint8_t First[kFirstBytes] = {};
    std::size_t FirstCount = 0;  // bytes in First: fewer only for a view shorter than that
};

struct GameFacts {
    std::string Mode;            // "high" or "low" as given; empty when missing
    bool ArgumentsValid = false; // a mode word and two hexadecimal addresses
    std::string Parent;          // the parent process's program name; empty when not found
    std::string Directory;       // the game's current directory
    ViewFacts Data, Key;
};

// Takes the arguments after the program's name: the mode word, the data view's address and
// the key view's address, each "0x" and hexadecimal digits. Fills Mode, Data.Address,
// Key.Address and ArgumentsValid.
void ParseGameArguments(int argc, const char* const* argv, GameFacts& facts);

// The CRC-32 of zip and PNG. A long stretch may be checked in pieces: the CRC of a piece,
// given the CRC of everything before it as previous, is the CRC of the whole so far.
std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size, std::uint32_t previous = 0);

// "name=value" lines, one fact a line, for the tests that start the game.
std::string FormatReport(const GameFacts& facts);

// The first bytes as hexadecimal pairs separated by spaces, and as text with a dot for
// every byte that is not printable.
std::string FirstBytesHex(const ViewFacts& view);
std::string FirstBytesText(const ViewFacts& view);
