// Atlas packing: sizes from the atlas geometry, places from stb_rect_pack,
// texels resampled with stb_image_resize.
#include "AtlasPacker.h"

#include <stb_image_resize.h>
#include <stb_rect_pack.h>

#include <algorithm>
#include <cstring>

AtlasPacker::AtlasPacker(int atlasWidthPx, int atlasHeightPx, int gutterPx)
    : geometry(atlasWidthPx, atlasHeightPx), gutter(gutterPx), atlas(atlasWidthPx, atlasHeightPx) {}

Image AtlasPacker::resample(const Image& src, int w, int h) {
    if (src.width == w && src.height == h) {
        return src;
    }
    Image out(w, h);
    stbir_resize_uint8_srgb(src.rgba.data(), src.width, src.height, 0, out.rgba.data(), w, h, 0, 4,
                            3, 0);
    return out;
}

void AtlasPacker::bleedColour(Image& image, int passes) {
    // Texels that hold a usable colour: opaque ones, then those filled by
    // earlier passes. Transparency itself is never changed.
    std::vector<unsigned char> known(static_cast<size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            known[static_cast<size_t>(y) * image.width + x] = image.pixel(x, y)[3] > 0;
        }
    }
    for (int pass = 0; pass < passes; ++pass) {
        std::vector<unsigned char> next = known;
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                if (known[static_cast<size_t>(y) * image.width + x]) {
                    continue;
                }
                int sum[3] = {0, 0, 0};
                int count = 0;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        int nx = x + dx, ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= image.width || ny >= image.height ||
                            !known[static_cast<size_t>(ny) * image.width + nx]) {
                            continue;
                        }
                        const unsigned char* n = image.pixel(nx, ny);
                        sum[0] += n[0];
                        sum[1] += n[1];
                        sum[2] += n[2];
                        ++count;
                    }
                }
                if (count) {
                    unsigned char* p = image.pixel(x, y);
                    for (int c = 0; c < 3; ++c) {
                        p[c] = static_cast<unsigned char>(sum[c] / count);
                    }
                    next[static_cast<size_t>(y) * image.width + x] = 1;
                }
            }
        }
        known.swap(next);
    }
}

void AtlasPacker::blit(const Image& picture, int left, int top) {
    // The picture plus its gutter: gutter texels repeat the nearest edge texel.
    for (int y = -gutter; y < picture.height + gutter; ++y) {
        int sy = std::clamp(y, 0, picture.height - 1);
        for (int x = -gutter; x < picture.width + gutter; ++x) {
            int sx = std::clamp(x, 0, picture.width - 1);
            std::memcpy(atlas.pixel(left + x, top + y), picture.pixel(sx, sy), 4);
        }
    }
}

bool AtlasPacker::pack(const std::vector<Picture>& pictures, std::string& error) {
    std::vector<stbrp_rect> rects(pictures.size());
    for (size_t i = 0; i < pictures.size(); ++i) {
        int w = 0, h = 0;
        geometry.atlasSizeFor(pictures[i].screenWidth, pictures[i].screenHeight, w, h);
        rects[i].id = static_cast<int>(i);
        rects[i].w = w + 2 * gutter;
        rects[i].h = h + 2 * gutter;
    }
    std::vector<stbrp_node> nodes(atlas.width);
    stbrp_context context;
    stbrp_init_target(&context, atlas.width, atlas.height, nodes.data(),
                      static_cast<int>(nodes.size()));
    if (!stbrp_pack_rects(&context, rects.data(), static_cast<int>(rects.size()))) {
        error = "the pictures do not fit into " + std::to_string(atlas.width) + "x" +
                std::to_string(atlas.height);
        return false;
    }
    placed.clear();
    for (size_t i = 0; i < pictures.size(); ++i) {
        const Picture& p = pictures[i];
        int left = rects[i].x + gutter;
        int top = rects[i].y + gutter;
        Image texels = resample(p.source, rects[i].w - 2 * gutter, rects[i].h - 2 * gutter);
        bleedColour(texels, 4);
        blit(texels, left, top);
        placed.push_back(geometry.entryFor(p.name, p.screenWidth, p.screenHeight, left, top));
    }
    std::vector<std::string> problems = validateAtlas(placed, atlas.width, atlas.height);
    if (!problems.empty()) {
        error = problems.front();
        return false;
    }
    return true;
}
