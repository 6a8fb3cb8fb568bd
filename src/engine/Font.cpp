#include "velmora/Font.h"

#include "engine/DataDirectory.h"
#include "engine/FontFile.h"
#include "engine/GlState.h"
#include "engine/Utf8.h"
#include "velmora/Camera.h"
#include "velmora/SpriteBatch.h"
#include "velmora/Texture.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iostream>
#include <iterator>
#include <unordered_map>
#include <utility>
#include <vector>

namespace velmora {

namespace {

constexpr DataFolder kFontDirectory{"fonts/"};

// A page's first side, and the largest it grows to (or the driver's limit).
constexpr int kFirstPageSide = 256;
constexpr int kLargestPageSide = 2048;
// Empty texels kept around each glyph, so that linear filtering at a
// fractional position never samples a neighbour.
constexpr int kGlyphGap = 1;
constexpr int kTabSpaces = 4;
constexpr char32_t kReplacement = 0xFFFD;
// The largest font file read: beyond any real font, short of exhausting memory.
constexpr std::streamoff kLargestFile = 256LL << 20;

// One page of the glyph atlas: its texels kept here (one byte of coverage
// each, row 0 first) and uploaded to its texture before a draw.
struct Page {
    int width = 0, height = 0;
    std::vector<unsigned char> texels;
    // The shelf being filled: glyphs go left to right along it.
    int shelfX = kGlyphGap, shelfY = kGlyphGap, shelfHeight = 0;
    // Rows [dirtyFrom, dirtyTo) changed since the last upload; a resized
    // page needs a new texture.
    int dirtyFrom = 0, dirtyTo = 0;
    bool resized = true;
    std::unique_ptr<Texture> texture = std::make_unique<Texture>();
};

// Where a glyph's bitmap lies: page -1 for a glyph with nothing to draw.
struct Slot {
    int page = -1;
    int x = 0, y = 0, width = 0, height = 0;
    int left = 0, top = 0; // from the pen, up from the baseline
};

struct PlacedGlyph {
    int glyph;
    float pen; // from the line's start, camera units
};

struct Line {
    std::vector<PlacedGlyph> glyphs;
    float width = 0.0f;
};

bool fits(const Page& page, int width, int height) {
    const int x = page.shelfX + width + kGlyphGap > page.width ? kGlyphGap : page.shelfX;
    const int y = x == kGlyphGap && page.shelfX != kGlyphGap ? page.shelfY + page.shelfHeight
                                                              : page.shelfY;
    return x + width + kGlyphGap <= page.width && y + height + kGlyphGap <= page.height;
}

void grow(Page& page, int largestSide) {
    const int width = page.width <= page.height && page.width < largestSide ? page.width * 2
                                                                             : page.width;
    const int height = width == page.width ? std::min(page.height * 2, largestSide) : page.height;
    std::vector<unsigned char> texels(std::size_t(width) * std::size_t(height), 0);
    for (int row = 0; row < page.height; ++row) {
        std::copy_n(page.texels.begin() + std::ptrdiff_t(row) * page.width, page.width,
                    texels.begin() + std::ptrdiff_t(row) * width);
    }
    page.texels = std::move(texels);
    page.width = width;
    page.height = height;
    page.resized = true;
}

void deleteTexture(Page& page) {
    if (page.texture && page.texture->textureId != 0 && glfwGetCurrentContext() != nullptr) {
        glDeleteTextures(1, &page.texture->textureId);
    }
    if (page.texture) {
        page.texture->textureId = 0;
    }
}

} // namespace

struct Font::State {
    FontFile file;
    float size = 0.0f;
    float scale = 0.0f;
    float ascent = 0.0f, descent = 0.0f, lineHeight = 0.0f;
    // The missing-glyph box drawn when glyph 0 has no outline, and its advance.
    bool drawnBox = false;
    float zeroAdvance = 0.0f;
    std::vector<Page> pages;
    std::unordered_map<int, Slot> slots;
    std::unique_ptr<SpriteBatch> batch;
    std::size_t drawCalls = 0;
    int largestSide = 0;

    ~State() {
        for (Page& page : pages) {
            deleteTexture(page);
        }
    }

    float advance(int glyph) const {
        return glyph == 0 ? zeroAdvance : float(file.advance(glyph)) * scale;
    }
    std::vector<Line> layOut(std::string_view text, const TextOptions& options) const;
    const Slot& slotFor(int glyph);
    void store(int glyph, const FontFile::Bitmap& bitmap);
    void upload(Page& page);
};

std::vector<Line> Font::State::layOut(std::string_view text, const TextOptions& options) const {
    std::vector<Line> lines(1);
    const int space = file.glyphIndex(U' ');
    const float tab = float(kTabSpaces) * advance(space);
    const float wrap = options.wrapWidth > 0.0f ? options.wrapWidth : 0.0f;
    float pen = 0.0f;
    int previous = -1;
    // The last space of the current line: the glyph after it, and the pen
    // where the line would end if broken there.
    std::size_t breakAt = 0;
    float breakWidth = 0.0f;
    bool canBreak = false;
    bool breakBlank = false; // the last character was a blank
    auto newLine = [&] {
        lines.emplace_back();
        pen = 0.0f;
        previous = -1;
        canBreak = false;
    };
    for (std::size_t at = 0; at < text.size();) {
        const char32_t code = nextCodePoint(text, at, kReplacement);
        Line* line = &lines.back();
        if (code == U'\n') {
            line->width = pen;
            newLine();
            continue;
        }
        if (code == U'\r') {
            continue;
        }
        if (code == U' ' || code == U'\t') {
            // A break may come here: the line would end before the first of
            // these blanks, the next one start after the last.
            if (!(canBreak && breakAt == line->glyphs.size() && breakBlank)) {
                breakWidth = pen;
            }
            if (code == U' ') {
                line->glyphs.push_back({space, pen});
                pen += advance(space);
            } else if (tab > 0.0f) {
                pen = (std::floor(pen / tab) + 1.0f) * tab;
            }
            previous = code == U' ' ? space : -1;
            breakAt = line->glyphs.size();
            canBreak = true;
            breakBlank = true;
            continue;
        }
        breakBlank = false;
        const int glyph = file.glyphIndex(code);
        float kern = previous >= 0 ? float(file.kerning(previous, glyph)) * scale : 0.0f;
        const float after = pen + kern + advance(glyph);
        if (wrap > 0.0f && after > wrap && !line->glyphs.empty()) {
            if (canBreak) {
                // The words after the last space move to a new line.
                std::vector<PlacedGlyph> moved(line->glyphs.begin() + std::ptrdiff_t(breakAt),
                                               line->glyphs.end());
                line->glyphs.resize(breakAt);
                while (!line->glyphs.empty() && line->glyphs.back().glyph == space) {
                    line->glyphs.pop_back(); // the spaces at the break
                }
                const float restart = moved.empty() ? pen : moved.front().pen;
                const float movedPen = pen - restart;
                line->width = breakWidth;
                newLine();
                line = &lines.back();
                for (PlacedGlyph& placed : moved) {
                    placed.pen -= restart;
                    line->glyphs.push_back(placed);
                }
                pen = movedPen;
                previous = line->glyphs.empty() ? -1 : line->glyphs.back().glyph;
            } else {
                line->width = pen;
                newLine();
                line = &lines.back();
            }
            kern = previous >= 0 ? float(file.kerning(previous, glyph)) * scale : 0.0f;
        }
        line->glyphs.push_back({glyph, pen + kern});
        pen += kern + advance(glyph);
        previous = glyph;
    }
    lines.back().width = pen;
    return lines;
}

namespace {
// What an empty font (new, moved from) answers with.
const Font::State& nothingLoaded() {
    static const Font::State empty;
    return empty;
}
} // namespace

Font::Font() = default;
Font::~Font() = default;
Font::Font(Font&& other) noexcept = default;
Font& Font::operator=(Font&& other) noexcept = default;

const Font::State& Font::current() const {
    return state ? *state : nothingLoaded();
}

bool Font::load(const std::string& path, float pixelSize) {
    const std::string file = !path.empty() && path.front() == '/' ? path : kFontDirectory + path;
    auto refuse = [&](const std::string& why) {
        std::cerr << "Failed to load font \"" << file << "\": " << why << '\n';
        return false;
    };
    if (!(pixelSize > 0.0f && pixelSize <= kLargestPixelSize)) {
        return refuse("pixel size " + std::to_string(pixelSize) + " is not within 0 to " +
                      std::to_string(int(kLargestPixelSize)));
    }
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    const std::streamoff length = in ? std::streamoff(in.tellg()) : -1;
    if (length < 0) {
        return refuse("cannot open it");
    }
    if (length > kLargestFile) {
        return refuse("larger than any font");
    }
    std::vector<unsigned char> bytes(static_cast<std::size_t>(length));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), length)) {
        return refuse("cannot read it");
    }
    auto loaded = std::make_unique<State>();
    std::string why;
    if (!loaded->file.open(std::move(bytes), why)) {
        return refuse(why);
    }
    State& s = *loaded;
    s.size = pixelSize;
    s.scale = pixelSize / float(s.file.unitsPerEm());
    int ascent = 0, descent = 0, gap = 0;
    s.file.verticalMetrics(ascent, descent, gap);
    s.ascent = float(ascent) * s.scale;
    s.descent = float(descent) * s.scale;
    s.lineHeight = float(ascent - descent + std::max(gap, 0)) * s.scale;
    // Glyph 0 without an outline of its own is drawn as a hollow box.
    FontFile::Bitmap zero;
    s.file.rasterise(0, s.scale, kLargestPageSide - 2 * kGlyphGap, zero);
    s.drawnBox = zero.width == 0;
    s.zeroAdvance = float(s.file.advance(0)) * s.scale;
    if (s.drawnBox) {
        s.zeroAdvance = std::max(s.zeroAdvance, std::round(pixelSize * 0.6f));
    }
    if (state) {
        loaded->batch = std::move(state->batch);
        loaded->drawCalls = state->drawCalls;
    }
    state = std::move(loaded);
    return true;
}

bool Font::loaded() const {
    return current().size > 0.0f;
}
float Font::pixelSize() const {
    return current().size;
}
float Font::ascent() const {
    return current().ascent;
}
float Font::descent() const {
    return current().descent;
}
float Font::lineHeight() const {
    return current().lineHeight;
}
std::size_t Font::pageCount() const {
    return current().pages.size();
}
Vec2 Font::pageSize(std::size_t page) const {
    const State& s = current();
    if (page >= s.pages.size()) {
        return {};
    }
    return {float(s.pages[page].width), float(s.pages[page].height)};
}
const Texture* Font::pageTexture(std::size_t page) const {
    const State& s = current();
    return page < s.pages.size() ? s.pages[page].texture.get() : nullptr;
}
std::size_t Font::glyphCount() const {
    return current().slots.size();
}
std::size_t Font::drawCalls() const {
    return current().drawCalls;
}

Vec2 Font::measure(std::string_view text, const TextOptions& options) const {
    if (!loaded() || text.empty()) {
        return {};
    }
    const std::vector<Line> lines = current().layOut(text, options);
    float widest = 0.0f;
    for (const Line& line : lines) {
        widest = std::max(widest, line.width);
    }
    const float lineHeight = options.lineHeight > 0.0f ? options.lineHeight : current().lineHeight;
    return {widest, float(lines.size()) * lineHeight};
}

void Font::State::store(int glyph, const FontFile::Bitmap& bitmap) {
    Slot slot;
    slot.left = bitmap.left;
    slot.top = bitmap.top;
    slot.width = bitmap.width;
    slot.height = bitmap.height;
    if (bitmap.width > 0 && bitmap.height > 0) {
        if (pages.empty() || !fits(pages.back(), bitmap.width, bitmap.height)) {
            while (!pages.empty() && !fits(pages.back(), bitmap.width, bitmap.height) &&
                   (pages.back().width < largestSide || pages.back().height < largestSide)) {
                grow(pages.back(), largestSide);
            }
        }
        if (pages.empty() || !fits(pages.back(), bitmap.width, bitmap.height)) {
            Page page;
            page.width = page.height = kFirstPageSide;
            while (page.width < largestSide &&
                   page.width < bitmap.width + 2 * kGlyphGap) {
                page.width *= 2;
            }
            while (page.height < largestSide && page.height < bitmap.height + 2 * kGlyphGap) {
                page.height *= 2;
            }
            page.texels.assign(std::size_t(page.width) * std::size_t(page.height), 0);
            pages.push_back(std::move(page));
        }
        Page& page = pages.back();
        if (page.shelfX + bitmap.width + kGlyphGap > page.width) {
            page.shelfX = kGlyphGap;
            page.shelfY += page.shelfHeight;
            page.shelfHeight = 0;
        }
        slot.page = int(pages.size() - 1);
        slot.x = page.shelfX;
        slot.y = page.shelfY;
        for (int row = 0; row < bitmap.height; ++row) {
            std::copy_n(bitmap.coverage.begin() + std::ptrdiff_t(row) * bitmap.width, bitmap.width,
                        page.texels.begin() + std::ptrdiff_t(slot.y + row) * page.width + slot.x);
        }
        page.shelfX += bitmap.width + kGlyphGap;
        page.shelfHeight = std::max(page.shelfHeight, bitmap.height + kGlyphGap);
        if (page.dirtyFrom == page.dirtyTo) {
            page.dirtyFrom = slot.y;
            page.dirtyTo = slot.y + bitmap.height;
        } else {
            page.dirtyFrom = std::min(page.dirtyFrom, slot.y);
            page.dirtyTo = std::max(page.dirtyTo, slot.y + bitmap.height);
        }
    }
    slots[glyph] = slot;
}

const Slot& Font::State::slotFor(int glyph) {
    const auto found = slots.find(glyph);
    if (found != slots.end()) {
        return found->second;
    }
    FontFile::Bitmap bitmap;
    if (glyph == 0 && drawnBox) {
        // A hollow box from the baseline to most of the ascent.
        const int width = std::max(3, int(std::round(size * 0.45f)));
        const int height = std::max(3, int(std::round(ascent * 0.9f)));
        const int line = std::max(1, int(std::round(size / 16.0f)));
        bitmap.width = width;
        bitmap.height = height;
        bitmap.left = std::max(1, int(std::round((zeroAdvance - float(width)) / 2.0f)));
        bitmap.top = height;
        bitmap.coverage.assign(std::size_t(width) * std::size_t(height), 0);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const bool edge = x < line || y < line || x >= width - line || y >= height - line;
                bitmap.coverage[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                    edge ? 255 : 0;
            }
        }
    } else if (!file.rasterise(glyph, scale, largestSide - 2 * kGlyphGap, bitmap) &&
               !file.usable(glyph)) {
        std::cerr << "Font: glyph " << glyph << " has a broken outline; drawn as the box\n";
        slots[glyph] = slotFor(0);
        return slots[glyph];
    }
    store(glyph, bitmap);
    return slots[glyph];
}

void Font::State::upload(Page& page) {
    Texture& texture = *page.texture;
    if (page.resized || texture.textureId == 0) {
        deleteTexture(page);
        glCreateTextures(GL_TEXTURE_2D, 1, &texture.textureId);
        glTextureStorage2D(texture.textureId, 1, GL_R8, page.width, page.height);
        glTextureParameteri(texture.textureId, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTextureParameteri(texture.textureId, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTextureParameteri(texture.textureId, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTextureParameteri(texture.textureId, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        // Coverage is alpha over white: the batch's tint gives the colour.
        const GLint swizzle[4] = {GL_ONE, GL_ONE, GL_ONE, GL_RED};
        glTextureParameteriv(texture.textureId, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
        texture.width = unsigned(page.width);
        texture.height = unsigned(page.height);
        page.dirtyFrom = 0;
        page.dirtyTo = page.height;
        page.resized = false;
    }
    if (page.dirtyTo > page.dirtyFrom) {
        UnpackStateKeeper unpack;
        glTextureSubImage2D(texture.textureId, 0, 0, page.dirtyFrom, page.width,
                            page.dirtyTo - page.dirtyFrom, GL_RED, GL_UNSIGNED_BYTE,
                            page.texels.data() + std::ptrdiff_t(page.dirtyFrom) * page.width);
    }
    page.dirtyFrom = page.dirtyTo = 0;
}

void Font::draw(const Camera& camera, std::string_view text, float x, float y, const Vec4& colour,
                const TextOptions& options) {
    if (!loaded() || text.empty()) {
        return;
    }
    State& s = *state;
    if (s.largestSide == 0) {
        GLint limit = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
        s.largestSide = std::max(kFirstPageSide, std::min(kLargestPageSide, int(limit)));
    }
    const std::vector<Line> lines = s.layOut(text, options);
    const float lineHeight = options.lineHeight > 0.0f ? options.lineHeight : s.lineHeight;
    struct Quad {
        int page;
        Rect where;
        const Slot* slot;
    };
    std::vector<Quad> quads;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        float start = x;
        if (options.align == TextAlign::Centre) {
            start = x - std::round(line.width / 2.0f);
        } else if (options.align == TextAlign::Right) {
            start = x - std::round(line.width);
        }
        const float baseline = y - std::round(s.ascent + float(i) * lineHeight);
        for (const PlacedGlyph& placed : line.glyphs) {
            const Slot& slot = s.slotFor(placed.glyph);
            if (slot.page < 0) {
                continue;
            }
            const float left = start + std::round(placed.pen) + float(slot.left);
            const float top = baseline + float(slot.top);
            quads.push_back({slot.page,
                             Rect{left, top - float(slot.height), left + float(slot.width), top},
                             &slot});
        }
    }
    if (quads.empty()) {
        return;
    }
    if (!s.batch) {
        s.batch = std::make_unique<SpriteBatch>();
    }
    for (std::size_t page = 0; page < s.pages.size(); ++page) {
        Page& atlas = s.pages[page];
        s.batch->clear();
        for (const Quad& quad : quads) {
            if (quad.page != int(page)) {
                continue;
            }
            const float w = float(atlas.width), h = float(atlas.height);
            const Slot& slot = *quad.slot;
            const Rect uv{float(slot.x) / w, float(slot.y + slot.height) / h,
                          float(slot.x + slot.width) / w, float(slot.y) / h};
            s.batch->addQuad(quad.where, uv, colour);
        }
        if (s.batch->size() == 0) {
            continue;
        }
        s.upload(atlas);
        s.batch->setTexture(atlas.texture.get());
        s.batch->draw(camera);
        ++s.drawCalls;
    }
}

} // namespace velmora
