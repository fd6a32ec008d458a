#include "intro/film_player.h"

// Placeholder until the film player lands.
void PlayIntro(int) {}
