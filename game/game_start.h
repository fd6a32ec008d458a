// Game start: maps the two graphics files and runs the game with their addresses.
#pragma once

// Starts the installed game in the given resolution (kHighResolution or kLowResolution),
// playing the intro first when one is pending, and waits until the game has ended.
void StartGame(int resolution);
