// Software stand-in for the sprite program, for previews and checks.
#include "AtlasSampler.h"

#include <cmath>

AtlasSampler::AtlasSampler(const Image& atlas, const std::vector<AtlasPlacement>& entries)
    : atlas(atlas), entries(entries) {}

const AtlasPlacement* AtlasSampler::find(const std::string& name) const {
    int line = firstMatchingLine(entries, name);
    return line < 0 ? nullptr : &entries[line];
}

void AtlasSampler::sample(double u, double v, unsigned char out[4]) const {
    // Texel centres sit at half-integers; the texture repeats in both directions.
    double fx = u * atlas.width - 0.5;
    double fy = v * atlas.height - 0.5;
    double x0 = std::floor(fx);
    double y0 = std::floor(fy);
    double ax = fx - x0;
    double ay = fy - y0;
    auto wrap = [](long i, int n) { return static_cast<int>(((i % n) + n) % n); };
    int xs[2] = {wrap(static_cast<long>(x0), atlas.width),
                 wrap(static_cast<long>(x0) + 1, atlas.width)};
    int ys[2] = {wrap(static_cast<long>(y0), atlas.height),
                 wrap(static_cast<long>(y0) + 1, atlas.height)};
    double weights[4] = {(1 - ax) * (1 - ay), ax * (1 - ay), (1 - ax) * ay, ax * ay};
    for (int c = 0; c < 4; ++c) {
        double sum = 0.0;
        for (int k = 0; k < 4; ++k) {
            sum += weights[k] * atlas.pixel(xs[k % 2], ys[k / 2])[c];
        }
        out[c] = static_cast<unsigned char>(std::lround(sum));
    }
}

bool AtlasSampler::draw(Image& frame, const std::string& name, double x, double y) const {
    const AtlasPlacement* e = find(name);
    if (!e) {
        return false;
    }
    for (int row = 0; row < frame.height; ++row) {
        // Pixel centres, row 0 at the top of the frame; model y points up.
        double my = (frame.height - row - 0.5) / frame.height * kViewModelHeight;
        double dy = my - y;
        if (dy < 0.0 || dy >= e->h) {
            continue;
        }
        for (int col = 0; col < frame.width; ++col) {
            double mx = (col + 0.5) / frame.width * kViewModelWidth;
            double dx = mx - x;
            if (dx < 0.0 || dx >= e->w) {
                continue;
            }
            unsigned char texel[4];
            sample(e->x + dx, e->y + e->h - dy, texel);
            if (texel[3] < 128) {
                continue;
            }
            unsigned char* p = frame.pixel(col, row);
            p[0] = texel[0];
            p[1] = texel[1];
            p[2] = texel[2];
            p[3] = 255;
        }
    }
    return true;
}
