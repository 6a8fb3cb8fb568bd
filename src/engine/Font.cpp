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
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
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

// One font file in memory: its bytes and their checks, shared by every font
// loaded from it.
struct SharedFontFile {
    FontFile file;
    std::size_t bytes = 0;
    // What the file was when read: a file changed since is read anew.
    std::string path; // made absolute and canonical
    std::uintmax_t size = 0;
    std::filesystem::file_time_type written{};
};

// The font files in memory, each held by the fonts that use it and gone with
// the last of them: the registry only watches.
struct FontFiles {
    std::mutex lock;
    std::vector<std::weak_ptr<SharedFontFile>> files;

    // The file in memory that `wanted` describes: the same path, size and
    // time of writing.
    std::shared_ptr<SharedFontFile> find(const SharedFontFile& wanted) {
        const std::lock_guard<std::mutex> hold(lock);
        files.erase(std::remove_if(files.begin(), files.end(),
                                   [](const auto& file) { return file.expired(); }),
                    files.end());
        for (const auto& entry : files) {
            std::shared_ptr<SharedFontFile> file = entry.lock();
            if (file && file->path == wanted.path && file->size == wanted.size &&
                file->written == wanted.written) {
                return file;
            }
        }
        return nullptr;
    }
    void add(const std::shared_ptr<SharedFontFile>& file) {
        const std::lock_guard<std::mutex> hold(lock);
        files.push_back(file);
    }
    std::size_t bytes() {
        const std::lock_guard<std::mutex> hold(lock);
        std::size_t total = 0;
        for (const auto& entry : files) {
            if (const std::shared_ptr<SharedFontFile> file = entry.lock()) {
                total += file->bytes;
            }
        }
        return total;
    }
};

FontFiles& fontFiles() {
    static FontFiles files;
    return files;
}

// Why a font cannot be drawn at `pixelSize`, or "" when it can.
std::string sizeRefused(float pixelSize) {
    if (pixelSize > 0.0f && pixelSize <= Font::kLargestPixelSize) {
        return {};
    }
    return "pixel size " + std::to_string(pixelSize) + " is not within 0 to " +
           std::to_string(int(Font::kLargestPixelSize));
}

} // namespace

struct Font::State {
    std::shared_ptr<SharedFontFile> source;
    std::string name; // the path as load() read it, for messages
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

    ~State() { dropGlyphs(); }

    FontFile& file() const { return source->file; }
    float advance(int glyph) const {
        return glyph == 0 ? zeroAdvance : float(file().advance(glyph)) * scale;
    }
    void setSize(float pixelSize);
    void dropGlyphs();
    std::vector<Line> layOut(std::string_view text, const TextOptions& options) const;
    const Slot& slotFor(int glyph);
    void store(int glyph, const FontFile::Bitmap& bitmap);
    void upload(Page& page);
};

void Font::State::setSize(float pixelSize) {
    size = pixelSize;
    scale = pixelSize / float(file().unitsPerEm());
    int fontAscent = 0, fontDescent = 0, gap = 0;
    file().verticalMetrics(fontAscent, fontDescent, gap);
    ascent = float(fontAscent) * scale;
    descent = float(fontDescent) * scale;
    lineHeight = float(fontAscent - fontDescent + std::max(gap, 0)) * scale;
    // Glyph 0 without an outline of its own is drawn as a hollow box.
    FontFile::Bitmap zero;
    file().rasterise(0, scale, kLargestPageSide - 2 * kGlyphGap, zero);
    drawnBox = zero.width == 0;
    zeroAdvance = float(file().advance(0)) * scale;
    if (drawnBox) {
        zeroAdvance = std::max(zeroAdvance, std::round(pixelSize * 0.6f));
    }
}

void Font::State::dropGlyphs() {
    for (Page& page : pages) {
        deleteTexture(page);
    }
    pages.clear();
    slots.clear();
}

std::vector<Line> Font::State::layOut(std::string_view text, const TextOptions& options) const {
    std::vector<Line> lines(1);
    const int space = file().glyphIndex(U' ');
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
    auto kerning = [&](int glyph) {
        return previous >= 0 ? float(file().kerning(previous, glyph)) * scale : 0.0f;
    };
    auto newLine = [&] {
        lines.emplace_back();
        pen = 0.0f;
        previous = -1;
        canBreak = false;
        breakBlank = false;
    };
    // Ends the line: blanks at its end that reach past the wrap width do not
    // count, as they do not where a line breaks at them.
    auto endLine = [&] {
        lines.back().width = wrap > 0.0f && breakBlank && pen > wrap ? breakWidth : pen;
    };
    // Puts a glyph at the pen, on a new line where it would reach past the
    // wrap width: the break between two characters.
    auto put = [&](int glyph) {
        float kern = kerning(glyph);
        if (wrap > 0.0f && pen > 0.0f && pen + kern + advance(glyph) > wrap) {
            lines.back().width = pen;
            newLine();
            kern = 0.0f;
        }
        lines.back().glyphs.push_back({glyph, pen + kern});
        pen += kern + advance(glyph);
        previous = glyph;
    };
    for (std::size_t at = 0; at < text.size();) {
        const char32_t code = nextCodePoint(text, at, kReplacement);
        Line& line = lines.back();
        if (code == U'\n') {
            endLine();
            newLine();
            continue;
        }
        if (code == U'\r') {
            continue;
        }
        if (code == U' ' || code == U'\t') {
            // A break may come here: the line would end before the first of
            // these blanks, the next one start after the last.
            if (!(canBreak && breakAt == line.glyphs.size() && breakBlank)) {
                breakWidth = pen;
            }
            if (code == U' ') {
                line.glyphs.push_back({space, pen});
                pen += advance(space);
            } else if (tab > 0.0f) {
                pen = (std::floor(pen / tab) + 1.0f) * tab;
            }
            previous = code == U' ' ? space : -1;
            breakAt = line.glyphs.size();
            canBreak = true;
            breakBlank = true;
            continue;
        }
        breakBlank = false;
        const int glyph = file().glyphIndex(code);
        if (wrap > 0.0f && canBreak && pen + kerning(glyph) + advance(glyph) > wrap) {
            // The word after the last space moves to a new line, where it is
            // laid out anew: itself wider than the wrap, it breaks there.
            std::vector<int> moved;
            for (std::size_t i = breakAt; i < line.glyphs.size(); ++i) {
                moved.push_back(line.glyphs[i].glyph);
            }
            line.glyphs.resize(breakAt);
            while (!line.glyphs.empty() && line.glyphs.back().glyph == space) {
                line.glyphs.pop_back(); // the spaces at the break
            }
            line.width = breakWidth;
            newLine();
            for (const int word : moved) {
                put(word);
            }
        }
        put(glyph);
    }
    endLine();
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
    if (const std::string why = sizeRefused(pixelSize); !why.empty()) {
        return refuse(why);
    }
    // The file as it is now; one already in memory as it is is shared.
    auto wanted = std::make_shared<SharedFontFile>();
    std::error_code pathError, sizeError, timeError;
    wanted->path = std::filesystem::weakly_canonical(file, pathError).string();
    wanted->size = std::filesystem::file_size(file, sizeError);
    wanted->written = std::filesystem::last_write_time(file, timeError);
    const bool known = !pathError && !sizeError && !timeError;
    std::shared_ptr<SharedFontFile> source = known ? fontFiles().find(*wanted) : nullptr;
    if (!source) {
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
        std::string why;
        if (!wanted->file.open(std::move(bytes), why)) {
            return refuse(why);
        }
        wanted->bytes = static_cast<std::size_t>(length);
        source = std::move(wanted);
        if (known) {
            fontFiles().add(source);
        }
    }
    auto loaded = std::make_unique<State>();
    loaded->source = std::move(source);
    loaded->name = file;
    loaded->setSize(pixelSize);
    if (state) {
        loaded->batch = std::move(state->batch);
        loaded->drawCalls = state->drawCalls;
        loaded->largestSide = state->largestSide;
    }
    state = std::move(loaded);
    return true;
}

bool Font::setPixelSize(float pixelSize) {
    if (!state) {
        std::cerr << "Font::setPixelSize: no font is loaded\n";
        return false;
    }
    if (const std::string why = sizeRefused(pixelSize); !why.empty()) {
        std::cerr << "Font \"" << state->name << "\" keeps its size: " << why << '\n';
        return false;
    }
    if (pixelSize != state->size) {
        state->dropGlyphs();
        state->setSize(pixelSize);
    }
    return true;
}

std::size_t Font::fileMemory() {
    return fontFiles().bytes();
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
    // A bitmap larger than a page could hold is kept off the pages: nothing drawn.
    const bool fitsAPage =
        bitmap.width + 2 * kGlyphGap <= largestSide &&
        bitmap.height + 2 * kGlyphGap <= largestSide &&
        bitmap.coverage.size() >= std::size_t(bitmap.width) * std::size_t(bitmap.height);
    if (bitmap.width > 0 && bitmap.height > 0 && fitsAPage) {
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
    const int largestGlyph = largestSide - 2 * kGlyphGap;
    if (glyph == 0 && drawnBox) {
        // A hollow box from the baseline to most of the ascent, cut to the
        // largest glyph a page holds, as a real glyph is.
        const int width = std::clamp(int(std::round(size * 0.45f)), 3, largestGlyph);
        const int height = std::clamp(int(std::round(ascent * 0.9f)), 3, largestGlyph);
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
    } else if (!file().rasterise(glyph, scale, largestGlyph, bitmap) && !file().usable(glyph)) {
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
