// The credits crawl that follows the intro film: the text of "intro.txt" drawn as a plane
// receding into the distance over the picture on the screen, with CD track 2 as music.
#pragma once

// Runs the crawl over the frame that is on the full-screen display and returns when it is
// over (Escape, or the last line gone into the distance). Expects the display to be ready
// with the film's colours in its palette, and the medium's root as the current directory.
// Leaves the display open, the cursor hidden and the last frame on the screen.
void RunCreditsCrawl();
