// Small films that cover the format's features, for the cross-check against FFmpeg.
#pragma once

#include <string>

// Writes them as DIR/NAME.smk; false when one cannot be made or written.
bool WriteTestFilms(const std::string& dir);
