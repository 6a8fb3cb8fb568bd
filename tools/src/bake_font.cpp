// bake_font: writes the game's bitmap font.
//
//   bake_font FONT.ttf OUT.png OUT.csv [EM_PIXELS]
//
// Bakes the printable characters of ASCII (32..126) and of Latin-1
// (U+00A0..U+00FF) into a white RGBA image with coverage in alpha, and the
// glyph table as ten comma-separated fields per line (see FontBaker.h).
#include "FontBaker.h"

#include <stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: bake_font FONT.ttf OUT.png OUT.csv [EM_PIXELS]\n");
        return 2;
    }
    int emPixels = argc > 4 ? std::atoi(argv[4]) : 48;
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<unsigned char> font((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        std::fprintf(stderr, "bake_font: cannot read %s\n", argv[1]);
        return 1;
    }
    std::string error;
    // Grow the image until everything fits; the smallest that fits keeps loading cheap.
    for (int size = 256; size <= 4096; size *= 2) {
        FontBaker baker(emPixels, size);
        if (!baker.bake(font, {{32, 126}, {0xA0, 0xFF}}, error)) {
            continue;
        }
        const Image& image = baker.image();
        if (!stbi_write_png(argv[2], image.width, image.height, 4, image.rgba.data(),
                            image.width * 4)) {
            std::fprintf(stderr, "bake_font: cannot write %s\n", argv[2]);
            return 1;
        }
        std::ofstream csv(argv[3]);
        for (const BakedGlyph& g : baker.glyphs()) {
            csv << FontBaker::formatLine(g) << "\n";
        }
        if (!csv) {
            std::fprintf(stderr, "bake_font: cannot write %s\n", argv[3]);
            return 1;
        }
        std::printf("bake_font: %zu glyphs at %d px/em in %dx%d\n", baker.glyphs().size(), emPixels,
                    size, size);
        return 0;
    }
    std::fprintf(stderr, "bake_font: %s\n", error.c_str());
    return 1;
}
