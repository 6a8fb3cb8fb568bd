// preview_scene: renders one frame of the game from the atlas, as the
// sprite program would draw it, for looking at the art in place.
//
//   preview_scene ATLAS.png ATLAS.txt OUT.png WxH NAME@X,Y...
//
// Each NAME@X,Y draws a picture with its lower-left corner at model (X, Y),
// in the order given, over black.
#include "AtlasSampler.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: preview_scene ATLAS.png ATLAS.txt OUT.png WxH NAME@X,Y...\n");
        return 2;
    }
    int w = 0, h = 0, n = 0;
    unsigned char* pixels = stbi_load(argv[1], &w, &h, &n, 4);
    if (!pixels) {
        std::fprintf(stderr, "preview_scene: cannot read %s\n", argv[1]);
        return 1;
    }
    Image atlas(w, h);
    std::memcpy(atlas.rgba.data(), pixels, atlas.rgba.size());
    stbi_image_free(pixels);
    std::ifstream in(argv[2]);
    std::stringstream text;
    text << in.rdbuf();
    std::vector<AtlasPlacement> entries;
    if (!in || !parseAtlasText(text.str(), entries)) {
        std::fprintf(stderr, "preview_scene: cannot read %s\n", argv[2]);
        return 1;
    }
    int fw = 1024, fh = 768;
    std::sscanf(argv[4], "%dx%d", &fw, &fh);
    Image frame(fw, fh);
    for (size_t i = 3; i < frame.rgba.size(); i += 4) {
        frame.rgba[i] = 255;
    }
    AtlasSampler sampler(atlas, entries);
    for (int i = 5; i < argc; ++i) {
        char name[128] = {0};
        double x = 0.0, y = 0.0;
        if (std::sscanf(argv[i], "%127[^@]@%lf,%lf", name, &x, &y) != 3 ||
            !sampler.draw(frame, name, x, y)) {
            std::fprintf(stderr, "preview_scene: cannot draw %s\n", argv[i]);
            return 1;
        }
    }
    return stbi_write_png(argv[3], fw, fh, 4, frame.rgba.data(), fw * 4) ? 0 : 1;
}
