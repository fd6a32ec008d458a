// The player's choice between the full-screen intro and the intro in a window, remembered
// per user under the program's own key. Never in the settings file: its seven lines belong
// to the installation, which the repair and the game read.
#pragma once

// True when the user chose the window: by Alt+Enter during an intro, or by "Intro im
// Fenster" in the launcher's window menu. Anything else stored there (a value of another
// type or size, or another number) means full screen, as does nothing stored at all.
bool IntroWindowChosen();
// The window is stored as 1; full screen as nothing at all, the key going once it is empty.
void RememberIntroWindowChosen(bool window);
// The removal takes the choice away with the rest of what the program made.
void ForgetIntroChoice();
