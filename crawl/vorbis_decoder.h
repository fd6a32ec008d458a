// The Ogg Vorbis decoder: stb_vorbis from the system (Debian's libstb-dev names it
// stb_vorbis.h, its upstream stb_vorbis.c; the build says which one it found). This header
// gives its declarations only; vorbis_decoder.c holds the one copy of its code.
#pragma once

#ifndef STB_VORBIS_HEADER_ONLY
#define STB_VORBIS_HEADER_ONLY
#endif
#if defined(VESK_STB_VORBIS_C)
#include <stb_vorbis.c>
#else
#include <stb_vorbis.h>
#endif
