#include "launcher/settings.h"

#include "launcher/launcher_state.h"
#include "launcher/text.h"

#include <cstdio>
#include <cstring>

namespace {

// Line 1 is read into a buffer of 20 bytes, the path lines with a limit of 255 bytes
// including the terminator: at most 254 characters, which the writer never exceeds.
constexpr int kModeLineSize = 20;
constexpr int kPathLineLimit = 255;

// Reads one line as fgets does, into a buffer of the given size. A line longer than the
// buffer belongs to a damaged file: its remainder is skipped, so it never spills into the
// next field. Returns false at the end of the file (the buffer is then unchanged).
bool ReadLine(std::FILE* file, char* buffer, int size)
{
    if (!std::fgets(buffer, size, file))
        return false;
    std::size_t n = std::strlen(buffer);
    if (n > 0 && buffer[n - 1] != '\n') {
        int c;
        while ((c = std::fgetc(file)) != EOF && c != '\n') {
        }
    }
    return true;
}

// The last character of a path line is its line feed, and goes. A line that has none
// (the last line of a file without a final line feed, or a cut, over-long line) loses
// its last character all the same.
void DropLastCharacter(char* text)
{
    std::size_t n = std::strlen(text);
    if (n > 0)
        text[n - 1] = '\0';
}

char* PathField(int line)
{
    switch (line) {
    case 2: return g_launcher.InstallRoot;
    case 3: return g_launcher.SaveGameDir;
    case 4: return g_launcher.CardSetDir;
    case 5: return g_launcher.ProtocolDir;
    case 6: return g_launcher.LibraryDir;
    default: return g_launcher.NetworkDir;
    }
}

void WriteLines(std::FILE* file, const char* modeWord)
{
    std::fprintf(file, "%s\n", modeWord);
    for (int line = 2; line <= 7; ++line)
        std::fprintf(file, "%s\n", PathField(line));
}

} // namespace

bool WriteSettingsFile(const char* path, const char* modeWord)
{
    std::FILE* file = std::fopen(path, "w");
    if (!file)
        return false;
    WriteLines(file, modeWord);
    std::fclose(file);
    return true;
}

bool ReadSettingsFile(const char* path)
{
    char modeLine[kModeLineSize] = "";
    std::FILE* file = std::fopen(path, "r");
    if (file) {
        ReadLine(file, modeLine, kModeLineSize);
        for (int line = 2; line <= 7; ++line) {
            char* field = PathField(line);
            if (ReadLine(file, field, kPathLineLimit))
                DropLastCharacter(field);
        }
        std::fclose(file);
    }

    UpperCaseAscii(g_launcher.LibraryDir);
    UpperCaseAscii(g_launcher.SourceRoot);

    // A play-from-CD installation follows the CD when it sits in another drive than at
    // installation time. The file is rewritten, and memory changed, only when the file
    // can be opened for writing; a file without a library line is left alone, since a
    // drive letter alone would make no library path.
    if (std::strstr(modeLine, kModeWordFromCd) && g_launcher.LibraryDir[0] != '\0'
        && g_launcher.LibraryDir[0] != g_launcher.SourceRoot[0]) {
        std::FILE* out = std::fopen(path, "w");
        if (out) {
            g_launcher.LibraryDir[0] = g_launcher.SourceRoot[0];
            g_launcher.NetworkDir[0] = g_launcher.SourceRoot[0];
            WriteLines(out, kModeWordFromCd);
            std::fclose(out);
        }
    }
    return file != nullptr;
}
