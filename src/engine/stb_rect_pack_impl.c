/* The one translation unit that compiles stb_rect_pack's packer. */
#define STB_RECT_PACK_IMPLEMENTATION
#include <stb_rect_pack.h>
