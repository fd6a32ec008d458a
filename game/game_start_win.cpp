#include "game/game_start.h"
#include "game/game_start_win.h"

#include "game/game_command.h"
#include "intro/film_player.h"
#include "launcher/launcher_state.h"
#include "launcher/launcher_win.h"

#include <cstdint>
#include <cstdlib>

GraphicsMapping g_graphics;

namespace {

// The launcher cannot go on without the game's graphics (say, the CD of a play-from-CD
// installation has been taken out). It ends the ordinary way, running exit handlers, while
// its dialog is still open; the handles already opened go with the process.
[[noreturn]] void EndWithoutGraphics()
{
    std::exit(0);
}

// Maps one file whole and read-only. Others may read and even write the file meanwhile,
// as the game's own tools may.
const void* MapWholeFile(const char* path, HANDLE& file, HANDLE& mapping)
{
    file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        EndWithoutGraphics();
    // An empty file cannot be mapped: it ends the launcher like a missing one.
    mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping)
        EndWithoutGraphics();
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    if (!view)
        EndWithoutGraphics();
    return view;
}

const void* MapGraphicsFile(int resolution, GraphicsFile which, HANDLE& file, HANDLE& mapping)
{
    char path[kPathSize];
    if (!FormatGraphicsPath(path, sizeof path, g_launcher.LibraryDir, resolution, which))
        EndWithoutGraphics();
    return MapWholeFile(path, file, mapping);
}

void CloseAndForget(HANDLE& handle)
{
    CloseHandle(handle);
    handle = nullptr;
}

} // namespace

GraphicsViews MapGraphicsFiles(int resolution)
{
    GraphicsViews views;
    views.Key = MapGraphicsFile(resolution, GraphicsFile::Key, g_graphics.KeyFile, g_graphics.KeyMapping);
    views.Data = MapGraphicsFile(resolution, GraphicsFile::Data, g_graphics.DataFile, g_graphics.DataMapping);
    return views;
}

// The key file was opened first and goes last.
void UnmapGraphicsFiles(const void* dataView, const void* keyView)
{
    UnmapViewOfFile(dataView);
    CloseAndForget(g_graphics.DataMapping);
    CloseAndForget(g_graphics.DataFile);
    UnmapViewOfFile(keyView);
    CloseAndForget(g_graphics.KeyMapping);
    CloseAndForget(g_graphics.KeyFile);
}

void StartGame(int resolution)
{
    // Only the first game after an installation shows the intro, played or not.
    if (g_launcher.IntroPending)
        PlayIntro(resolution);
    g_launcher.IntroPending = false;

    // An installation directory that is empty or relative (a damaged settings file still
    // counts as installed) would leave the game program to the system's search, which runs
    // whatever program of that name it finds first. No game starts: the launcher ends as
    // it does without the game's files.
    if (!IsAbsolutePath(g_launcher.InstallRoot))
        EndWithoutGraphics();
    GraphicsViews views = MapGraphicsFiles(resolution);
    SetCurrentDirectoryA(g_launcher.InstallRoot);
    char line[kPathSize];
    if (FormatGameCommandLine(line, sizeof line, resolution, g_launcher.InstallRoot,
                              reinterpret_cast<std::uintptr_t>(views.Data), reinterpret_cast<std::uintptr_t>(views.Key)))
        RunProgram(line, 0);
    // The game has ended (or never started): its graphics can go.
    UnmapGraphicsFiles(views.Data, views.Key);
}
