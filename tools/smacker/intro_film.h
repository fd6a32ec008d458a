// The intro film of the sample medium: cards dealt onto a felt table, the title, music.
#pragma once

#include <cstdint>
#include <string>

// Renders and encodes the film at width x height (a multiple of 4 each); false on failure,
// with a message on standard error.
bool WriteIntroFilm(const std::string& path, uint32_t width, uint32_t height);
