#include "tools/medium/prot_d/game_facts.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// "0x" followed by one to sixteen hexadecimal digits and nothing else.
bool ParseAddress(const char* text, std::uint64_t& address)
{
    if (!text || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return false;
    const char* digits = text + 2;
    std::size_t count = std::strspn(digits, "0123456789abcdefABCDEF");
    if (count == 0 || count > 16 || digits[count] != '\0')
        return false;
    address = std::strtoull(digits, nullptr, 16);
    return true;
}

std::string Hex(std::uint64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

void AppendView(std::string& report, const char* name, const ViewFacts& view)
{
    char line[128];
    report += std::string(name) + ".address=" + Hex(view.Address) + "\n";
    report += std::string(name) + ".read=" + (view.Read ? "yes" : "no") + "\n";
    if (!view.Read)
        return;
    std::snprintf(line, sizeof line, "%s.size=%llu\n%s.crc32=%08x\n", name,
                  static_cast<unsigned long long>(view.Size), name, static_cast<unsigned>(view.Crc));
    report += line;
    report += std::string(name) + ".first=" + FirstBytesHex(view) + "\n";
}

} // namespace

void ParseGameArguments(int argc, const char* const* argv, GameFacts& facts)
{
    facts.Mode = argc > 1 ? argv[1] : "";
    bool knownMode = facts.Mode == "high" || facts.Mode == "low";
    bool data = argc > 2 && ParseAddress(argv[2], facts.Data.Address);
    bool key = argc > 3 && ParseAddress(argv[3], facts.Key.Address);
    facts.ArgumentsValid = argc == 4 && knownMode && data && key;
}

// Reflected polynomial 0xEDB88320, bit by bit: the views are read once, at start-up.
std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size, std::uint32_t previous)
{
    std::uint32_t crc = ~previous;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string FormatReport(const GameFacts& facts)
{
    std::string report;
    report += "mode=" + facts.Mode + "\n";
    report += std::string("arguments=") + (facts.ArgumentsValid ? "valid" : "invalid") + "\n";
    report += "parent=" + facts.Parent + "\n";
    report += "directory=" + facts.Directory + "\n";
    AppendView(report, "data", facts.Data);
    AppendView(report, "key", facts.Key);
    return report;
}

std::string FirstBytesHex(const ViewFacts& view)
{
    std::string text;
    char pair[4];
    for (std::size_t i = 0; i < view.FirstCount; ++i) {
        std::snprintf(pair, sizeof pair, i ? " %02x" : "%02x", view.First[i]);
        text += pair;
    }
    return text;
}

std::string FirstBytesText(const ViewFacts& view)
{
    std::string text;
    for (std::size_t i = 0; i < view.FirstCount; ++i) {
        std::uint8_t b = view.First[i];
        text += (b >= 0x20 && b < 0x7F) ? char(b) : '.';
    }
    return text;
}
