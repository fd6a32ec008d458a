// The stand-in game's own logic: its arguments and the checksum it reports (the report
// itself is read back by every game start test).
#include "tools/medium/prot_d/game_facts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

GameFacts Parse(std::initializer_list<const char*> args)
{
    std::vector<const char*> argv = {"prot_d.exe"};
    argv.insert(argv.end(), args.begin(), args.end());
    GameFacts facts;
    ParseGameArguments(int(argv.size()), argv.data(), facts);
    return facts;
}

} // namespace

TEST(GameArguments, TheLaunchersLineIsValid)
{
    GameFacts f = Parse({"low", "0xa40000", "0x3F0000"});
    EXPECT_TRUE(f.ArgumentsValid);
    EXPECT_EQ("low", f.Mode);
    EXPECT_EQ(0xA40000u, f.Data.Address);
    EXPECT_EQ(0x3F0000u, f.Key.Address);
    EXPECT_TRUE(Parse({"high", "0x1", "0xffffffff"}).ArgumentsValid);
}

TEST(GameArguments, AnythingElseIsInvalid)
{
    EXPECT_FALSE(Parse({}).ArgumentsValid);
    EXPECT_FALSE(Parse({"high", "0x10"}).ArgumentsValid);
    EXPECT_FALSE(Parse({"medium", "0x10", "0x20"}).ArgumentsValid);
    EXPECT_FALSE(Parse({"high", "10", "0x20"}).ArgumentsValid) << "no 0x";
    EXPECT_FALSE(Parse({"high", "0x", "0x20"}).ArgumentsValid) << "no digits";
    EXPECT_FALSE(Parse({"high", "0x1g", "0x20"}).ArgumentsValid);
    EXPECT_FALSE(Parse({"high", "0x10", "0x20", "extra"}).ArgumentsValid);
    EXPECT_FALSE(Parse({"high", "0x11112222333344445", "0x20"}).ArgumentsValid) << "17 digits";
}

TEST(GameCrc, KnownValuesAndPieces)
{
    const char* text = "123456789";
    auto bytes = reinterpret_cast<const std::uint8_t*>(text);
    EXPECT_EQ(0xCBF43926u, Crc32(bytes, 9));
    EXPECT_EQ(0u, Crc32(bytes, 0));
    EXPECT_EQ(Crc32(bytes, 9), Crc32(bytes + 4, 5, Crc32(bytes, 4)));
    ViewFacts view;
    std::memcpy(view.First, "VMGRF1\r\n", 8);
    view.FirstCount = 8;
    EXPECT_EQ("VMGRF1..", FirstBytesText(view)) << "as the game's window shows them";
}
