#include "velmora/Texture.h"

#include "engine/DataDirectory.h"
#include "engine/GlState.h"
#include "engine/RegistryKey.h"
#include "engine/TextureUpload.h"

#include <GL/glew.h>
#include <stb_image.h>

#include <iostream>
#include <utility>
#include <vector>

namespace velmora {

std::map<std::string, Texture*> textureRegistry;

namespace {

constexpr DataFolder kTextureDirectory{"textures/"};

struct PixelLayout {
    GLenum internalFormat;
    GLenum format;
    // Where red, green, blue and alpha are read from when sampling.
    GLint swizzle[4];
};

// stb_image hands back grey, grey+alpha, RGB or RGBA. Grey images are stored
// in one or two channels and swizzled so that shaders see ordinary colours.
bool layoutFor(int channels, PixelLayout& layout) {
    switch (channels) {
    case 1:
        layout = {GL_R8, GL_RED, {GL_RED, GL_RED, GL_RED, GL_ONE}};
        return true;
    case 2:
        layout = {GL_RG8, GL_RG, {GL_RED, GL_RED, GL_RED, GL_GREEN}};
        return true;
    case 3:
        layout = {GL_RGB8, GL_RGB, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}};
        return true;
    case 4:
        layout = {GL_RGBA8, GL_RGBA, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}};
        return true;
    default:
        return false;
    }
}

// Whether the context can hold an image of this size at all. Asked before
// decoding, so that a file that claims an absurd size is never decoded.
bool fitsTheContext(int width, int height) {
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    return textureSizeAcceptable(width, height, maxSize);
}

void upload(GLuint texture, int width, int height, const PixelLayout& layout,
            const unsigned char* pixels) {
    if (layout.format == GL_RGBA) {
        uploadRgba8(texture, width, height, pixels);
        return;
    }
    glTextureStorage2D(texture, 1, layout.internalFormat, width, height);
    glTextureParameteriv(texture, GL_TEXTURE_SWIZZLE_RGBA, layout.swizzle);
    {
        // stb_image rows are tightly packed; OpenGL's default row alignment
        // of 4 would skew every image whose row is not a multiple of 4 bytes
        // long, and a game's row length, skips or unpack buffer would read
        // past the image.
        const UnpackStateKeeper unpackState;
        glTextureSubImage2D(texture, 0, 0, 0, width, height, layout.format, GL_UNSIGNED_BYTE,
                            pixels);
    }
    glGenerateTextureMipmap(texture);
}

// Decodes and uploads the image; false when nothing usable could be read.
bool decodeInto(Texture& texture, const std::string& path) {
    int width = 0;
    int height = 0;
    int channels = 0;
    if (stbi_info(path.c_str(), &width, &height, &channels) == 0 ||
        !fitsTheContext(width, height)) {
        return false;
    }
    // The vertical flip is left off: row 0 of the texture is the image's top
    // row, which the texture coordinates of atlases and fonts expect.
    unsigned char* pixels = stbi_load(path.c_str(), &width, &height, &channels, 0);
    PixelLayout layout{};
    if (pixels == nullptr || !layoutFor(channels, layout) || !fitsTheContext(width, height)) {
        stbi_image_free(pixels);
        return false;
    }
    upload(texture.textureId, width, height, layout, pixels);
    stbi_image_free(pixels);
    texture.width = static_cast<unsigned int>(width);
    texture.height = static_cast<unsigned int>(height);
    return true;
}

} // namespace

void uploadRgba8(unsigned int texture, int width, int height, const unsigned char* pixels) {
    std::vector<unsigned char> bgra(pixels, pixels + static_cast<std::size_t>(width) * height * 4);
    for (std::size_t i = 0; i < bgra.size(); i += 4) {
        std::swap(bgra[i], bgra[i + 2]);
    }
    glTextureParameteri(texture, GL_TEXTURE_BASE_LEVEL, 0);
    glTextureParameteri(texture, GL_TEXTURE_MAX_LEVEL, 0);
    // glTexImage2D has no DSA form; the binding of the active unit is put back.
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    const UnpackStateKeeper unpackState;
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                 bgra.data());
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
}

bool textureSizeAcceptable(int width, int height, int maxTextureSize) {
    if (width <= 0 || height <= 0 || width > maxTextureSize || height > maxTextureSize) {
        return false;
    }
    return static_cast<long long>(width) * height <= kMaxTexturePixels;
}

Texture* Texture::load(const char* name) {
    const std::string fileName = name != nullptr ? name : "";
    const std::string path = kTextureDirectory + fileName;

    // An entry under the name exactly as given (extension included) is handed
    // back as it is. Entries are normally stored without the extension, so
    // this rarely matches; when it does, the caller still gets a usable
    // texture instead of nothing.
    const auto known = textureRegistry.find(fileName);
    if (known != textureRegistry.end() && known->second != nullptr) {
        return known->second;
    }

    auto* texture = new Texture;
    glCreateTextures(GL_TEXTURE_2D, 1, &texture->textureId);
    // Set before decoding, so that a texture whose file fails still samples
    // with the same settings as every other.
    glTextureParameteri(texture->textureId, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTextureParameteri(texture->textureId, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTextureParameteri(texture->textureId, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTextureParameteri(texture->textureId, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    if (!decodeInto(*texture, path)) {
        std::cout << "Failed to load texture " << fileName << std::endl;
    }
    textureRegistry[registryKey(fileName)] = texture;
    return texture;
}

void Texture::bind() {
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, textureId);
}

Filter Texture::filter() const {
    GLint mode = GL_LINEAR;
    if (textureId != 0) {
        glGetTextureParameteriv(textureId, GL_TEXTURE_MAG_FILTER, &mode);
    }
    return mode == GL_NEAREST ? Filter::Nearest : Filter::Linear;
}

void Texture::setFilter(Filter filter) {
    if (textureId == 0) {
        return;
    }
    const GLint mode = filter == Filter::Nearest ? GL_NEAREST : GL_LINEAR;
    glTextureParameteri(textureId, GL_TEXTURE_MIN_FILTER, mode);
    glTextureParameteri(textureId, GL_TEXTURE_MAG_FILTER, mode);
}

} // namespace velmora
