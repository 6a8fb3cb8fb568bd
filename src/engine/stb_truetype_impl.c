/* The one translation unit that compiles stb_truetype's rasteriser. Fonts
 * reach it only through FontFile (FontFile.h), which checks every table it
 * reads against the file's size first. Its assertions mark paths FontFile
 * never takes (cmap format 2, point-matched components); should one be
 * taken after all, the library's own fallback (glyph 0, no offset) is the
 * sound answer rather than ending the game. */
#define STB_TRUETYPE_IMPLEMENTATION
#define STBTT_assert(x) ((void)0)
#include <stb_truetype.h>
