// The game start's Win32 side, for the tests: the mapping of the two graphics files.
#pragma once

#include <windows.h>

// The two views, each a whole graphics file mapped read-only; the game is given both
// addresses, the data view's first.
struct GraphicsViews {
    const void* Data;
    const void* Key;
};

// The handles behind the views, held from MapGraphicsFiles to UnmapGraphicsFiles. The
// launcher's thread is blocked while the game runs, so one set is enough.
struct GraphicsMapping {
    HANDLE KeyFile;
    HANDLE KeyMapping;
    HANDLE DataFile;
    HANDLE DataMapping;
};

extern GraphicsMapping g_graphics;

// Maps the key file, then the data file, of the resolution from the library directory.
// Returns only on success: when either cannot be opened or mapped, the process ends with
// exit code 0 and says nothing.
GraphicsViews MapGraphicsFiles(int resolution);

// Releases the data file's view, mapping and file, then the key file's, in that order.
void UnmapGraphicsFiles(const void* dataView, const void* keyView);
