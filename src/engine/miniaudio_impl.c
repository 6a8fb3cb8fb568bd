/* The one translation unit that compiles miniaudio's implementation. */
#define MINIAUDIO_IMPLEMENTATION
#include <miniaudio.h>
