// The 32-bit product as the build left it, read without running it: the launcher and the
// film library are PE32 i386 images, the launcher is a GUI program that needs nothing but
// system DLLs and our film library, binds the film library's seven operations by ordinal,
// and the film library exports exactly those seven; its import library carries the
// __stdcall names that a 32-bit caller's compiler binds to. Every program on the medium is
// 32-bit. These checks run on every host, also where no 32-bit program can run.
#include "tests/product/pe_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>

namespace {

const std::string kBuild = VESK_PRODUCT_BUILD;
const std::string kWin = kBuild + "/win";
const std::string kMedium = kBuild + "/medium";

constexpr std::uint16_t kI386 = 0x14c, kPe32 = 0x10b, kGui = 2;

const std::set<std::uint32_t> kFilmOrdinals = {14, 18, 19, 21, 23, 32, 38};

// What Windows itself provides; a MinGW runtime DLL (libgcc_s_*, libstdc++-6,
// libwinpthread-1) would be missing on a player's machine.
const std::set<std::string> kSystemDlls = {"advapi32.dll", "comctl32.dll", "ddraw.dll", "dsound.dll",
                                           "gdi32.dll",    "kernel32.dll", "msvcrt.dll", "ole32.dll",
                                           "shell32.dll",  "user32.dll",   "winmm.dll"};

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

PeImage Read(const std::string& path)
{
    std::vector<std::uint8_t> file = ReadWholeFile(path);
    EXPECT_FALSE(file.empty()) << path << " is missing";
    PeImage image = ReadPeImage(file);
    EXPECT_TRUE(image.Valid) << path << ": " << image.Problem;
    return image;
}

void ExpectOnlySystemDllsAnd(const PeImage& image, const std::set<std::string>& own, const std::string& what)
{
    EXPECT_FALSE(image.Imports.empty()) << what;
    for (const PeImport& import : image.Imports) {
        std::string dll = Lower(import.Dll);
        EXPECT_TRUE(kSystemDlls.count(dll) || own.count(dll)) << what << " imports " << import.Dll;
    }
}

TEST(ProductImage, TheLauncherIsA32BitGuiProgramThatNeedsOnlySystemDllsAndTheFilmLibrary)
{
    PeImage launcher = Read(kWin + "/Vesk.exe"); // machine and format: as every program on the medium
    EXPECT_EQ(kGui, launcher.Subsystem);
    EXPECT_FALSE(launcher.IsDll);
    ExpectOnlySystemDllsAnd(launcher, {"smackw32.dll"}, "Vesk.exe");

    std::set<std::uint32_t> ordinals;
    for (const PeImport& import : launcher.Imports) {
        if (Lower(import.Dll) != "smackw32.dll")
            continue;
        EXPECT_TRUE(import.Names.empty()) << "bound by name: " << import.Names.front();
        ordinals.insert(import.Ordinals.begin(), import.Ordinals.end());
    }
    EXPECT_EQ(kFilmOrdinals, ordinals);
}

TEST(ProductImage, TheFilmLibraryExportsExactlyItsSevenOrdinalsAndNoNames)
{
    PeImage library = Read(kWin + "/smacker/smackw32.dll");
    EXPECT_TRUE(library.IsDll);
    EXPECT_EQ(std::vector<std::uint32_t>(kFilmOrdinals.begin(), kFilmOrdinals.end()), library.ExportOrdinals);
    EXPECT_TRUE(library.ExportNames.empty()) << library.ExportNames.size() << " names, the first "
                                             << (library.ExportNames.empty() ? "" : library.ExportNames.front());
    ExpectOnlySystemDllsAnd(library, {}, "smackw32.dll");
}

TEST(ProductImage, TheImportLibraryCarriesTheStdcallNamesOfA32BitCaller)
{
    std::vector<std::string> symbols = ArchiveSymbols(ReadWholeFile(kWin + "/smacker/smackw32.dll.a"));
    ASSERT_FALSE(symbols.empty()) << "no symbol table in smackw32.dll.a";
    std::set<std::string> have(symbols.begin(), symbols.end());
    for (const char* name : {"_SmackOpen@12", "_SmackClose@4", "_SmackDoFrame@4", "_SmackNextFrame@4",
                             "_SmackToBuffer@28", "_SmackWait@4", "_SmackSoundUseDirectSound@4"}) {
        EXPECT_TRUE(have.count(name)) << name;
        EXPECT_TRUE(have.count(std::string("__imp_") + name)) << "__imp_" << name;
    }
}

TEST(ProductImage, EveryProgramOnTheMediumIs32Bit)
{
    for (const char* program : {"Vesk.exe", "smackw32.dll", "prot_d.exe", "convtop16.dll", "dx52ger.exe"}) {
        PeImage image = Read(kMedium + "/" + program);
        EXPECT_EQ(kI386, image.Machine) << program;
        EXPECT_EQ(kPe32, image.Magic) << program;
    }
}

} // namespace
