#include "game/game_start.h"

// Placeholder until the game start lands.
void StartGame(int) {}
