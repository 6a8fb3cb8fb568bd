// pack_atlas: builds the game's atlas image and description.
//
//   pack_atlas [--size WxH] [--gutter N] [--filter F] LIST OUT.png OUT.txt
//   pack_atlas [--size WxH] --texels SCREEN_W SCREEN_H
//
// LIST names the pictures and their sizes on the 1024x768 reference screen
// (see Manifest.h). --texels prints the atlas texels such a picture gets,
// "W H", so its source can be drawn at exactly that size. 3288x4017 maps
// every picture 1:1 to screen pixels at 1024x768.
#include "AtlasPacker.h"
#include "Manifest.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

bool loadPicture(const ManifestItem& item, Picture& picture) {
    int w = 0, h = 0, n = 0;
    unsigned char* pixels = stbi_load(item.sourcePath.c_str(), &w, &h, &n, 4);
    if (!pixels) {
        std::fprintf(stderr, "pack_atlas: cannot read %s\n", item.sourcePath.c_str());
        return false;
    }
    picture.name = item.name;
    picture.screenWidth = item.screenWidth;
    picture.screenHeight = item.screenHeight;
    picture.source = Image(w, h);
    std::memcpy(picture.source.rgba.data(), pixels, picture.source.rgba.size());
    stbi_image_free(pixels);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int width = 3288;
    int height = 4017;
    int gutter = 2;
    int filter = -1;
    int arg = 1;
    for (; arg < argc && argv[arg][0] == '-'; ++arg) {
        if (std::strcmp(argv[arg], "--size") == 0 && arg + 1 < argc) {
            std::sscanf(argv[++arg], "%dx%d", &width, &height);
        } else if (std::strcmp(argv[arg], "--gutter") == 0 && arg + 1 < argc) {
            gutter = std::atoi(argv[++arg]);
        } else if (std::strcmp(argv[arg], "--filter") == 0 && arg + 1 < argc) {
            filter = std::atoi(argv[++arg]);
        } else if (std::strcmp(argv[arg], "--texels") == 0 && arg + 2 < argc) {
            int w = 0, h = 0;
            AtlasPacker(width, height, 0)
                .texelSize(std::atoi(argv[arg + 1]), std::atoi(argv[arg + 2]), w, h);
            std::printf("%d %d\n", w, h);
            return 0;
        } else {
            break;
        }
    }
    if (argc - arg != 3 || width <= 0 || height <= 0 || gutter < 0) {
        std::fprintf(
            stderr,
            "usage: pack_atlas [--size WxH] [--gutter N] [--filter F] LIST OUT.png OUT.txt\n");
        return 2;
    }
    std::vector<ManifestItem> items;
    std::string error;
    if (!readManifest(argv[arg], items, error)) {
        std::fprintf(stderr, "pack_atlas: %s\n", error.c_str());
        return 1;
    }
    std::vector<Picture> pictures(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        if (!loadPicture(items[i], pictures[i])) {
            return 1;
        }
    }
    AtlasPacker packer(width, height, gutter);
    if (!packer.pack(pictures, error)) {
        std::fprintf(stderr, "pack_atlas: %s\n", error.c_str());
        return 1;
    }
    const Image& atlas = packer.image();
    stbi_write_png_compression_level = 9;
    // PNG row filter: -1 lets the writer choose per row; a fixed one trades
    // file size against decoding time (see tools/README.md).
    stbi_write_force_png_filter = filter;
    if (!stbi_write_png(argv[arg + 1], atlas.width, atlas.height, 4, atlas.rgba.data(),
                        atlas.width * 4)) {
        std::fprintf(stderr, "pack_atlas: cannot write %s\n", argv[arg + 1]);
        return 1;
    }
    std::ostringstream text;
    for (const AtlasPlacement& e : packer.entries()) {
        text << formatAtlasLine(e) << "\n";
    }
    // Read the description back as the engine will and check it once more.
    std::vector<AtlasPlacement> reread;
    if (!parseAtlasText(text.str(), reread) ||
        !validateAtlas(reread, atlas.width, atlas.height).empty()) {
        std::fprintf(stderr, "pack_atlas: the written description does not read back soundly\n");
        return 1;
    }
    std::ofstream(argv[arg + 2]) << text.str();
    for (const AtlasPlacement& e : packer.entries()) {
        std::printf(
            "%-20s model %.6f x %.6f  atlas px %d,%d %dx%d\n", e.name.c_str(), e.w, e.h,
            static_cast<int>(e.x * atlas.width + 0.5), static_cast<int>(e.y * atlas.height + 0.5),
            static_cast<int>(e.w * atlas.width + 0.5), static_cast<int>(e.h * atlas.height + 0.5));
    }
    return 0;
}
