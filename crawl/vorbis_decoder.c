/* The one copy of the Ogg Vorbis decoder's code (see vorbis_decoder.h). The decoder takes
 * all its memory from the arena that its caller hands over, never from the heap or the
 * stack, so a file's declared sizes cannot make it ask for more. */
#if defined(VESK_STB_VORBIS_C)
#include <stb_vorbis.c>
#else
#include <stb_vorbis.h>
#endif
