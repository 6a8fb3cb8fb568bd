/* The one translation unit that compiles miniaudio's implementation, with
   stb_vorbis as its Ogg Vorbis decoder: miniaudio looks for stb_vorbis's
   declarations before its own implementation, and the decoder's own code
   follows it. */
#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

#define MINIAUDIO_IMPLEMENTATION
#include <miniaudio.h>

#undef STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>
