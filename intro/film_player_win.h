// The film player's Win32 side, for the tests: its state, the film window's procedure and
// the frame step that PlayIntro's loop runs whenever the film's clock says so.
#pragma once

#include "smacker/smackw32.h"

#include <windows.h>

struct FilmPlayer {
    SmackFilm* Film;     // from SmackOpen to SmackClose; null otherwise
    POINT ClientOrigin;  // screen position of the film window's client area, taken after opening
    bool Ending;         // the crawl has begun: the intro is ending, the crawl runs no second time
    HWND Window;         // the film window while a display shows the intro; null otherwise
    bool Closing;        // the film window was closed (its Close, Alt+F4): the intro ends now,
                         // without the crawl or with the crawl ending at its next pass
    bool LauncherHeld;   // the launcher's dialog is disabled for the intro, as a modal
                         // dialog's owner is, until the film window goes
    bool Minimised;      // the film window is minimised; restored, the intro comes back
};

extern FilmPlayer g_film;

// "FilmFenster": registered by every intro and unregistered when its window is gone.
extern const char kFilmWindowClass[];

// The credits crawl that follows the film: RunCreditsCrawl, unless a test puts its own here.
extern void (*g_filmCrawl)();

LRESULT CALLBACK FilmWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Draws the frame that is due into the visible buffer, and ends the film after its last
// frame. Does nothing while another window has the keyboard focus.
void FilmFrameStep(HWND window);

// Entries 10 to 245 of the palette table from the film's palette, then all 256 into the
// display.
void UpdateFilmPalette(const SmackFilm* film);
