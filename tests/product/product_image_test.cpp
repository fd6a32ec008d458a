// The 32-bit product as the build left it, read by MinGW's binutils without running it: the
// launcher is a GUI program that needs nothing but system DLLs and our film library, binds
// the film library's seven operations by ordinal, and the film library exports exactly those
// seven; its import library carries the __stdcall names that a 32-bit caller's compiler
// binds to. Every program on the medium is PE32 i386. These checks run on every host, also
// where no 32-bit program can run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>

namespace {

const std::string kBuild = VESK_PRODUCT_BUILD;

const std::set<unsigned> kFilmOrdinals = {14, 18, 19, 21, 23, 32, 38};

// What Windows itself provides; a MinGW runtime DLL (libgcc_s_*, libstdc++-6,
// libwinpthread-1) would be missing on a player's machine.
const std::set<std::string> kSystemDlls = {"advapi32.dll", "comctl32.dll", "ddraw.dll", "dsound.dll",
                                           "gdi32.dll",    "kernel32.dll", "msvcrt.dll", "ole32.dll",
                                           "shell32.dll",  "user32.dll",   "winmm.dll"};

// What a tool of the i686 binutils prints about a file of the build; the test fails when the
// tool cannot read it.
std::string Dump(const std::string& tool, const std::string& file)
{
    const std::string command = "i686-w64-mingw32-" + tool + " '" + kBuild + "/" + file + "' 2>&1";
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    EXPECT_TRUE(pipe && pclose(pipe) == 0) << command << ": " << out;
    return out;
}

struct Imports {
    std::set<std::string> Dlls; // in lower case
    std::set<unsigned> FilmOrdinals;
    std::set<std::string> FilmNames;
};

// objdump -p lists each imported DLL as "DLL Name: NAME", then a line a function up to a
// blank line: its address, its hint or ordinal, its name ("<none>" when bound by ordinal).
Imports ReadImports(const std::string& dump)
{
    Imports imports;
    std::istringstream lines(dump);
    std::string line, dll;
    while (std::getline(lines, line)) {
        if (line.rfind("\tDLL Name: ", 0) == 0) {
            dll = line.substr(11);
            std::transform(dll.begin(), dll.end(), dll.begin(), [](unsigned char c) { return std::tolower(c); });
            imports.Dlls.insert(dll);
        } else if (line.empty()) {
            dll.clear();
        }
        unsigned address, ordinal;
        char name[256];
        if (dll == "smackw32.dll" && std::sscanf(line.c_str(), "\t%x %u %255s", &address, &ordinal, name) == 3) {
            if (std::string(name) == "<none>")
                imports.FilmOrdinals.insert(ordinal);
            else
                imports.FilmNames.insert(name);
        }
    }
    return imports;
}

void ExpectOnlySystemDllsAnd(const Imports& imports, const std::string& own, const std::string& what)
{
    EXPECT_FALSE(imports.Dlls.empty()) << what;
    for (const std::string& dll : imports.Dlls)
        EXPECT_TRUE(kSystemDlls.count(dll) || dll == own) << what << " imports " << dll;
}

TEST(ProductImage, TheLauncherIsAGuiProgramThatNeedsOnlySystemDllsAndBindsTheFilmLibraryByOrdinal)
{
    const std::string dump = Dump("objdump -p", "win/Vesk.exe");
    EXPECT_NE(std::string::npos, dump.find("(Windows GUI)"));
    EXPECT_EQ(std::string::npos, dump.find("\n\tDLL\n")) << "a program, not a library";
    const Imports imports = ReadImports(dump);
    ExpectOnlySystemDllsAnd(imports, "smackw32.dll", "Vesk.exe");
    EXPECT_EQ(kFilmOrdinals, imports.FilmOrdinals);
    EXPECT_TRUE(imports.FilmNames.empty()) << "bound by name: " << *imports.FilmNames.begin();
}

TEST(ProductImage, TheFilmLibraryExportsItsSevenOrdinalsWithoutNamesAndItsImportLibraryTheStdcallNames)
{
    const std::string dump = Dump("objdump -p", "win/smacker/smackw32.dll");
    EXPECT_NE(std::string::npos, dump.find("\n\tDLL\n"));
    EXPECT_NE(std::string::npos, dump.find("\t[Name Pointer/Ordinal] Table\t00000000\n")) << "no export names";
    std::set<unsigned> ordinals;
    for (size_t at = dump.find("+base["); at != std::string::npos; at = dump.find("+base[", at + 1))
        ordinals.insert(unsigned(std::stoul(dump.substr(at + 6))));
    EXPECT_EQ(kFilmOrdinals, ordinals);
    ExpectOnlySystemDllsAnd(ReadImports(dump), "", "smackw32.dll");

    const std::string index = Dump("nm -s", "win/smacker/smackw32.dll.a");
    for (const char* name : {"_SmackOpen@12", "_SmackClose@4", "_SmackDoFrame@4", "_SmackNextFrame@4",
                             "_SmackToBuffer@28", "_SmackWait@4", "_SmackSoundUseDirectSound@4"}) {
        EXPECT_NE(std::string::npos, index.find(std::string("\n") + name + " in ")) << name;
        EXPECT_NE(std::string::npos, index.find(std::string("\n__imp_") + name + " in ")) << "__imp_" << name;
    }
}

TEST(ProductImage, EveryProgramOnTheMediumIsPe32I386)
{
    for (const char* program : {"Vesk.exe", "smackw32.dll", "prot_d.exe", "convtop16.dll", "dx52ger.exe"})
        EXPECT_NE(std::string::npos, Dump("objdump -f", std::string("medium/") + program).find("file format pei-i386\n"))
            << program;
}

} // namespace
