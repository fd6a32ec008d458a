// File and directory helpers shared by the Windows tests.
#pragma once

#include <windows.h>

#include <string>

namespace test {

// The directory of the running test program, without trailing backslash.
std::string ProgramDirectory();
// A fresh, empty directory below the Windows temporary folder.
std::string MakeScratchDirectory(const char* name);
std::string ReadWholeFile(const std::string& path);
// False when the file could not be made or not all of it was written.
bool WriteWholeFile(const std::string& path, const std::string& bytes);
std::string CurrentDirectory();
// Removes a directory with everything in it; links in it go as the links they are.
void RemoveTree(const std::string& path);
// Whether some program holds the file open: one that lets others read refuses an open that
// shares nothing, exactly while it holds the file.
bool FileHeld(const std::string& path);

// The sample medium as CD-ROM drive E: of the test prefix, with its launcher in the root.
// Tests that hide one of its files rename it to NAME.hidden and rename it back in their
// tear-down; a test program that ended before its tear-down leaves one behind, which is put
// back here first, so that it cannot spoil the tests after it.
bool SampleMediumReady();
// Whether this run is the test command's own (it names its run folder in VESK_TEST_RUN):
// there the sample medium is always mounted, and its absence is a fault, not a reason to
// skip.
bool InTestRun();

} // namespace test

// Ends the set-up of a test that needs the sample medium: a failure under the test command,
// a skip where a test program runs on its own outside the prepared prefix.
#define REQUIRE_SAMPLE_MEDIUM()                                                                                 \
    do {                                                                                                       \
        if (!test::SampleMediumReady()) {                                                                      \
            if (test::InTestRun())                                                                             \
                FAIL() << "the sample medium is not in CD-ROM drive E: of the test prefix";                    \
            GTEST_SKIP() << "needs the test prefix: the sample medium as CD-ROM drive E:";                     \
        }                                                                                                      \
    } while (0)

namespace test {

// Whether the window stands in the middle of the screen, as every dialog of the launcher.
bool Centred(HWND window);

// Points the module's (null: this program's) import of dll!function, found by its name, at a
// replacement until destroyed, so that a test sees what the code under test hands the system
// or makes a system call fail; original, if given, gets the function imported before.
class ImportPatch {
public:
    template <class F>
    ImportPatch(HMODULE module, const char* dll, const char* function, F* replacement, F** original = nullptr)
        : ImportPatch(module, dll, function, reinterpret_cast<void*>(replacement))
    {
        if (original)
            *original = reinterpret_cast<F*>(original_);
    }
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    bool Active() const { return slot_ != nullptr; }

private:
    ImportPatch(HMODULE module, const char* dll, const char* function, void* replacement);
    ULONG_PTR* slot_ = nullptr;
    void* original_ = nullptr;
};

} // namespace test
