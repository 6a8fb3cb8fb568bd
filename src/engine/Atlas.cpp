#include "velmora/Atlas.h"

#include "engine/AtlasDescription.h"
#include "engine/AtlasStorage.h"
#include "engine/DataDirectory.h"
#include "engine/GlState.h"
#include "engine/TextureUpload.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <stb_image.h>
#include <stb_rect_pack.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <set>
#include <utility>

namespace velmora {

namespace {

namespace fs = std::filesystem;

constexpr DataFolder kTextureDirectory{"textures/"};

// Texels around each packed picture that repeat its edge: linear filtering
// reaches half a texel beyond the picture at most.
constexpr int kGutter = 1;

// The description gives rectangles as fractions of the image, rounded to a
// few digits; a side within this many texels of a whole number is that number.
constexpr float kWholeTexelSlack = 0.01f;

float texels(float fraction, unsigned int imageSide) {
    const float exact = fraction * static_cast<float>(imageSide);
    const float whole = std::round(exact);
    return std::fabs(exact - whole) <= kWholeTexelSlack ? whole : exact;
}

bool whole(float texels) {
    return texels == std::round(texels);
}

// The registered texture of an atlas, or null when there is none.
Texture* registeredTexture(const std::string& key) {
    const auto entry = textureRegistry.find(key);
    return entry != textureRegistry.end() ? entry->second : nullptr;
}

// The full quad as a mesh: corners lower-left, lower-right, upper-right,
// upper-left.
TightMesh fullQuad(const Vec2& size) {
    TightMesh quad;
    quad.points = {{0.0f, 0.0f}, {size.x, 0.0f}, {size.x, size.y}, {0.0f, size.y}};
    quad.triangles = {0, 1, 2, 2, 3, 0};
    return quad;
}

// The alpha the sampler can reach around the picture whose top-left texel
// is (left, top) in `texture`: the picture and a ring of one texel. Texels
// beyond the image count as opaque, which only makes the mesh larger.
PictureAlpha readPictureAlpha(const Texture& texture, int left, int top, int width, int height) {
    PictureAlpha picture;
    picture.width = width;
    picture.height = height;
    picture.alpha.assign(static_cast<std::size_t>(width + 2) * (height + 2), 255);
    GLint swizzle = GL_ALPHA;
    glGetTextureParameteriv(texture.textureId, GL_TEXTURE_SWIZZLE_A, &swizzle);
    int channel = 3;
    switch (swizzle) {
    case GL_RED:
        channel = 0;
        break;
    case GL_GREEN:
        channel = 1;
        break;
    case GL_BLUE:
        channel = 2;
        break;
    case GL_ALPHA:
        channel = 3;
        break;
    default:
        return picture; // a constant alpha: everything may pass
    }
    const int x0 = std::max(left - 1, 0);
    const int y0 = std::max(top - 1, 0);
    const int x1 = std::min(left + width + 1, static_cast<int>(texture.width));
    const int y1 = std::min(top + height + 1, static_cast<int>(texture.height));
    if (x1 <= x0 || y1 <= y0) {
        return picture;
    }
    // Opaque until read: should the read fail all the same, the mesh is the
    // full quad, which shows the picture as it is, only less tightly.
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(x1 - x0) * (y1 - y0) * 4, 255);
    const PackStateKeeper packState;
    glGetTextureSubImage(texture.textureId, 0, x0, y0, 0, x1 - x0, y1 - y0, 1, GL_RGBA,
                         GL_UNSIGNED_BYTE, static_cast<GLsizei>(rgba.size()), rgba.data());
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            picture.alpha[static_cast<std::size_t>(y - top + 1) * (width + 2) + (x - left + 1)] =
                rgba[(static_cast<std::size_t>(y - y0) * (x1 - x0) + (x - x0)) * 4 + channel];
        }
    }
    return picture;
}

// Gives `picture` its tight meshes, for cut-out and for blended drawing,
// when it covers whole texels of `texture` from its top-left texel (left,
// top).
void computeMesh(AtlasPicture& picture, const Texture& texture, float left, float top) {
    const Vec2& size = picture.size;
    if (texture.width > 0 && texture.height > 0 && whole(left) && whole(top) && whole(size.x) &&
        whole(size.y) && size.x > 0.0f && size.y > 0.0f) {
        const PictureAlpha alpha =
            readPictureAlpha(texture, static_cast<int>(left), static_cast<int>(top),
                             static_cast<int>(size.x), static_cast<int>(size.y));
        picture.mesh = computeTightMesh(alpha);
        picture.blendedMesh = computeTightMesh(alpha, kVisibleAlpha);
        picture.hasMesh = true;
    }
}

// One PNG file, decoded to RGBA.
struct Image {
    std::string name;
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgba; // rows top to bottom
};

// The files `paths` name, folders opened up into their ".png" files in name
// order, each read inside the data directory unless absolute.
std::vector<fs::path> pictureFiles(const std::vector<std::string>& paths) {
    std::vector<fs::path> files;
    for (const std::string& path : paths) {
        // A relative path is read from the data directory.
        const fs::path full = fs::path(dataDirectory()) / path;
        std::error_code error;
        if (!fs::is_directory(full, error)) {
            files.push_back(full);
            continue;
        }
        std::vector<fs::path> inFolder;
        for (const fs::directory_entry& entry : fs::directory_iterator(full, error)) {
            if (entry.path().extension() == ".png" && !entry.is_directory(error)) {
                inFolder.push_back(entry.path());
            }
        }
        if (inFolder.empty()) {
            std::cout << "No pictures in the folder " << full.string() << std::endl;
        }
        std::sort(inFolder.begin(), inFolder.end());
        files.insert(files.end(), inFolder.begin(), inFolder.end());
    }
    return files;
}

// Decodes `file` as RGBA; false when it is no image, or one whose decoded
// pixels would be unreasonably large.
bool decode(const fs::path& file, Image& image) {
    const std::string path = file.string();
    int channels = 0;
    if (stbi_info(path.c_str(), &image.width, &image.height, &channels) == 0 ||
        image.width <= 0 || image.height <= 0 ||
        static_cast<long long>(image.width) * image.height > kMaxTexturePixels) {
        return false;
    }
    unsigned char* pixels = stbi_load(path.c_str(), &image.width, &image.height, &channels, 4);
    if (pixels == nullptr) {
        return false;
    }
    image.rgba.assign(pixels, pixels + static_cast<std::size_t>(image.width) * image.height * 4);
    stbi_image_free(pixels);
    return true;
}

// Places the images, each with its gutter, in the smallest texture of
// power-of-two sides that holds them, no side above `maxSide`. False when
// none does. Sides grow by turns, so the texture stays about square.
bool pack(const std::vector<Image>& images, int maxSide, std::vector<stbrp_rect>& rects,
          int& width, int& height) {
    rects.assign(images.size(), stbrp_rect{});
    long long area = 0;
    width = 1;
    height = 1;
    for (std::size_t i = 0; i < images.size(); ++i) {
        rects[i].id = static_cast<int>(i);
        rects[i].w = images[i].width + 2 * kGutter;
        rects[i].h = images[i].height + 2 * kGutter;
        area += static_cast<long long>(rects[i].w) * rects[i].h;
        while (width < rects[i].w) {
            width *= 2;
        }
        while (height < rects[i].h) {
            height *= 2;
        }
    }
    std::vector<stbrp_node> nodes;
    while (width <= maxSide && height <= maxSide) {
        if (static_cast<long long>(width) * height >= area) {
            nodes.resize(static_cast<std::size_t>(width));
            stbrp_context context;
            stbrp_init_target(&context, width, height, nodes.data(), width);
            if (stbrp_pack_rects(&context, rects.data(), static_cast<int>(rects.size())) == 1) {
                return true;
            }
        }
        (width <= height ? width : height) *= 2;
    }
    return false;
}

std::unique_ptr<Texture> makeTexture(int width, int height, const std::vector<unsigned char>& rgba) {
    auto texture = std::make_unique<Texture>();
    glCreateTextures(GL_TEXTURE_2D, 1, &texture->textureId);
    glTextureParameteri(texture->textureId, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTextureParameteri(texture->textureId, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTextureParameteri(texture->textureId, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTextureParameteri(texture->textureId, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    uploadRgba8(texture->textureId, width, height, rgba.data());
    texture->width = static_cast<unsigned int>(width);
    texture->height = static_cast<unsigned int>(height);
    return texture;
}

const std::string kNoName;

} // namespace

bool openAtlasDescription(const std::string& atlasName, std::ifstream& description) {
    const std::string path = kTextureDirectory + atlasName + ".txt";
    // A directory would open like an empty file; it is no description.
    std::error_code ignored;
    if (!fs::is_directory(path, ignored)) {
        description.open(path);
    }
    if (!description.is_open()) {
        std::cerr << "Failed to open the file: \"" << path << "\"" << std::endl;
        return false;
    }
    return true;
}

Texture* atlasTexture(const std::string& atlasName) {
    // The atlas image is decoded once, by the first user of the atlas. An
    // entry left empty by a lookup elsewhere counts as not loaded.
    Texture* atlas = registeredTexture(atlasName);
    if (atlas == nullptr) {
        Texture::load((atlasName + ".png").c_str());
        atlas = registeredTexture(atlasName);
    }
    return atlas;
}

Atlas::Storage::Storage() {
    static std::uint64_t loads = 0;
    load = ++loads;
}

Atlas::Storage::~Storage() {
    // An atlas that outlives its window has nothing left to delete: the
    // context took the texture with it.
    if (owned != nullptr && glfwGetCurrentContext() != nullptr) {
        glDeleteTextures(1, &owned->textureId);
    }
}

Atlas::Atlas() = default;
Atlas::~Atlas() = default;
Atlas::Atlas(Atlas&& other) noexcept = default;
Atlas& Atlas::operator=(Atlas&& other) noexcept = default;

bool Atlas::load(const std::string& atlasName) {
    std::ifstream description;
    if (!openAtlasDescription(atlasName, description)) {
        return false;
    }
    std::vector<AtlasEntry> read;
    visitAtlasEntries(
        description, std::cerr,
        [&](AtlasEntry& entry) {
            read.push_back(std::move(entry));
            return false; // every line, not just the first match
        },
        atlasRectangleInImage);
    auto loaded = std::make_unique<Storage>();
    loaded->texture = atlasTexture(atlasName);
    const unsigned int width = loaded->texture != nullptr ? loaded->texture->width : 0;
    const unsigned int height = loaded->texture != nullptr ? loaded->texture->height : 0;
    for (AtlasEntry& entry : read) {
        AtlasPicture picture;
        picture.size = {texels(entry.w, width), texels(entry.h, height)};
        picture.uv = pictureTexCoords(entry);
        picture.quad = fullQuad(picture.size);
        if (loaded->texture != nullptr) {
            computeMesh(picture, *loaded->texture, texels(entry.x, width), texels(entry.y, height));
        }
        picture.name = std::move(entry.name);
        loaded->pictures.push_back(std::move(picture));
    }
    if (filterChosen && loaded->texture != nullptr) {
        loaded->texture->setFilter(filtering);
    }
    storage = std::move(loaded);
    return true;
}

bool Atlas::loadPictures(const std::vector<std::string>& paths) {
    std::vector<Image> images;
    std::set<std::string> names;
    for (const fs::path& file : pictureFiles(paths)) {
        Image image;
        image.name = file.filename().string();
        if (names.count(image.name) != 0) {
            std::cerr << "Picture name taken twice: " << file.string() << std::endl;
            continue;
        }
        if (!decode(file, image)) {
            std::cout << "Failed to load texture " << file.string() << std::endl;
            continue;
        }
        names.insert(image.name);
        images.push_back(std::move(image));
    }
    if (images.empty()) {
        // Each path that gave nothing was named above.
        if (paths.empty()) {
            std::cout << "No pictures to load: the list of files and folders is empty"
                      << std::endl;
        }
        return false;
    }

    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    std::vector<stbrp_rect> rects;
    int width = 0;
    int height = 0;
    if (!pack(images, maxSide, rects, width, height)) {
        long long area = 0;
        const stbrp_rect* largest = nullptr;
        for (const stbrp_rect& rect : rects) {
            area += static_cast<long long>(rect.w) * rect.h;
            if (largest == nullptr || static_cast<long long>(rect.w) * rect.h >
                                          static_cast<long long>(largest->w) * largest->h) {
                largest = &rect;
            }
        }
        std::cerr << "Cannot pack " << images.size() << " pictures into one texture: the largest is "
                  << largest->w - 2 * kGutter << " x " << largest->h - 2 * kGutter
                  << " texels, all of them take " << area
                  << " texels with their gutters, and the largest texture the driver allows is "
                  << maxSide << " x " << maxSide << std::endl;
        return false;
    }

    // Each picture with its gutter, which repeats the picture's edge texels.
    std::vector<unsigned char> rgba(static_cast<std::size_t>(width) * height * 4, 0);
    for (const stbrp_rect& rect : rects) {
        const Image& image = images[rect.id];
        for (int y = 0; y < rect.h; ++y) {
            const int sourceY = std::clamp(y - kGutter, 0, image.height - 1);
            for (int x = 0; x < rect.w; ++x) {
                const int sourceX = std::clamp(x - kGutter, 0, image.width - 1);
                std::copy_n(&image.rgba[(static_cast<std::size_t>(sourceY) * image.width + sourceX) * 4],
                            4,
                            &rgba[(static_cast<std::size_t>(rect.y + y) * width + rect.x + x) * 4]);
            }
        }
    }

    auto loaded = std::make_unique<Storage>();
    loaded->owned = makeTexture(width, height, rgba);
    loaded->texture = loaded->owned.get();
    for (const stbrp_rect& rect : rects) {
        Image& image = images[rect.id];
        const float left = static_cast<float>(rect.x + kGutter);
        const float top = static_cast<float>(rect.y + kGutter);
        AtlasPicture picture;
        picture.name = std::move(image.name);
        picture.size = {static_cast<float>(image.width), static_cast<float>(image.height)};
        picture.uv = {left / width, (top + picture.size.y) / height, (left + picture.size.x) / width,
                      top / height};
        picture.quad = fullQuad(picture.size);
        computeMesh(picture, *loaded->texture, left, top);
        loaded->pictures.push_back(std::move(picture));
    }
    loaded->texture->setFilter(filtering);
    storage = std::move(loaded);
    return true;
}

const AtlasPicture* Atlas::picture(int picture) const {
    if (storage == nullptr || picture < 0 ||
        static_cast<std::size_t>(picture) >= storage->pictures.size()) {
        return nullptr;
    }
    return &storage->pictures[static_cast<std::size_t>(picture)];
}

int Atlas::find(const std::string& name) const {
    for (std::size_t i = 0; i < size(); ++i) {
        if (storage->pictures[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::size_t Atlas::size() const {
    return storage != nullptr ? storage->pictures.size() : 0;
}

const std::string& Atlas::name(int index) const {
    const AtlasPicture* found = picture(index);
    return found != nullptr ? found->name : kNoName;
}

Vec2 Atlas::pictureSize(int index) const {
    const AtlasPicture* found = picture(index);
    return found != nullptr ? found->size : Vec2{};
}

Rect Atlas::texCoords(int index) const {
    const AtlasPicture* found = picture(index);
    return found != nullptr ? found->uv : Rect{};
}

Texture* Atlas::texture() const {
    return storage != nullptr ? storage->texture : nullptr;
}

void Atlas::setFilter(Filter filter) {
    filtering = filter;
    filterChosen = true;
    if (texture() != nullptr) {
        texture()->setFilter(filter);
    }
}

Filter Atlas::filter() const { return texture() != nullptr ? texture()->filter() : filtering; }

void Atlas::showWhole(Texture* texture, int width, int height, const Rect& uv, const char* name) {
    if (texture == nullptr) {
        storage.reset();
        return;
    }
    auto loaded = std::make_unique<Storage>();
    loaded->texture = texture;
    AtlasPicture picture;
    picture.name = name;
    picture.size = {static_cast<float>(width), static_cast<float>(height)};
    picture.uv = uv;
    picture.quad = fullQuad(picture.size);
    loaded->pictures.push_back(std::move(picture));
    storage = std::move(loaded);
}

} // namespace velmora
