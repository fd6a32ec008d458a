// The intro: the film on the full-screen display, followed by the credits crawl.
#pragma once

// Plays the intro film (640x480 for kHighResolution, 320x240 for kLowResolution) and the
// credits crawl after it. Leaves SourceRoot as the current directory.
void PlayIntro(int resolution);

// Takes and dispatches the film window's waiting messages; nothing outside an intro. For
// loops that run inside the intro without the player's own (the credits crawl).
void ServeFilmWindow();

// True once the intro is to end at once: its film window was closed, or is gone. The crawl
// then ends at its next pass, as it does on Escape, rather than run on unseen.
bool IntroClosing();

// Brings a playing intro to the front again, as a modal dialog is brought to the front when
// its owner is activated; nothing outside an intro.
void ReturnToIntro();
