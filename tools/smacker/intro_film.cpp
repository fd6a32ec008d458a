#include "tools/smacker/intro_film.h"
bool WriteIntroFilm(const std::string&, uint32_t, uint32_t) { return false; }
