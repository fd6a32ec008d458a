#include "game/game_command.h"

#include "launcher/launcher_state.h"

#include <cinttypes>
#include <cstdio>

namespace {

// snprintf reports the length it wanted: anything that did not fit leaves the buffer empty
// instead of holding a cut-off path or command.
bool Fits(char* text, std::size_t size, int written)
{
    if (written >= 0 && std::size_t(written) < size)
        return true;
    if (size > 0)
        text[0] = '\0';
    return false;
}

} // namespace

bool FormatGraphicsPath(char* path, std::size_t size, const char* libraryDir, int resolution, GraphicsFile file)
{
    const char* name;
    if (resolution == kLowResolution)
        name = file == GraphicsFile::Key ? "skatgrf640.key" : "skatgrf640.dat";
    else
        name = file == GraphicsFile::Key ? "skatgrf.key" : "skatgrf.dat";
    return Fits(path, size, std::snprintf(path, size, "%s\\%s", libraryDir, name));
}

// The game takes the data file's view first although the key file is mapped first. The
// addresses are written at the pointer's full width, which on the 32-bit game's platform is
// the "%x" of an unsigned int.
bool FormatGameCommandLine(char* line, std::size_t size, int resolution, const char* installRoot,
                           std::uintptr_t dataView, std::uintptr_t keyView)
{
    const char* mode = resolution == kLowResolution ? "low" : "high";
    return Fits(line, size,
                std::snprintf(line, size, "%sprot_d.exe %s 0x%" PRIxPTR " 0x%" PRIxPTR, installRoot, mode, dataView,
                              keyView));
}

bool IsAbsolutePath(const char* path)
{
    bool letter = (path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z');
    if (letter && path[1] == ':' && path[2] == '\\')
        return true;
    return path[0] == '\\' && path[1] == '\\' && path[2] != '\0' && path[2] != '\\';
}
