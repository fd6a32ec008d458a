// Checks on an Ogg Vorbis file's headers that the decoder leaves out. stb_vorbis trusts some
// declared sizes while it sets up: a huge comment count or a negative length frees or writes
// through memory it never got, and a codebook whose entries times dimensions overflows its
// size arithmetic is written far past its allocation. Such files are refused before the
// decoder sees them; every real encoder's files pass.
#pragma once

#include <cstdio>

// Reads the comment and setup headers from the start of the file, the way the decoder reads
// them (packets across pages by their lacing). True when none of the sizes that the decoder
// trusts is out of bounds. Leaves the file's position anywhere.
bool VorbisHeadersAreSafe(std::FILE* file);
