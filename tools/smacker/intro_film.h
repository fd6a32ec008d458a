// The intro film of the sample medium: cards dealt onto a felt table, the title, music;
// and the crawl's music, the medium's track 2 as a file, made with the same instruments.
#pragma once

#include <cstdint>
#include <string>

// Renders and encodes the film at width x height (a multiple of 4 each); false on failure,
// with a message on standard error.
bool WriteIntroFilm(const std::string& path, uint32_t width, uint32_t height);

// Writes the crawl's music as a 16-bit stereo Wave file of the given length (5 to 600
// seconds); false on failure, with a message on standard error.
bool WriteCrawlMusic(const std::string& path, double seconds);
