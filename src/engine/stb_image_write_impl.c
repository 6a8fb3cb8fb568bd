/* The one translation unit that compiles stb_image_write's encoder: the
 * screenshots' PNG files, and the test images of the engine's own tests. */
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
