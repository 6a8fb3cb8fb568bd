// Texture: one OpenGL 2D texture made from an image file in "data/textures/",
// decoded by stb_image and registered by its file name without extension.
#pragma once

#include <map>
#include <string>

namespace velmora {

// How a texture is sampled between and across its texels: Linear blends the
// nearest four (smooth when magnified), Nearest takes the one texel under the
// sample (hard texel edges, for pixel art drawn large). Textures, atlases and
// canvases start Linear.
enum class Filter { Linear, Nearest };

class Texture {
  public:
    // Decodes "data/textures/" + `name` ("data" being the settings'
    // dataDirectory, see Application.h) into a new texture object (repeat
    // wrapping, linear filtering, one level) and registers it. A file that
    // cannot be decoded is reported on standard output and still yields a
    // registered 0×0 texture without storage. Needs a current context.
    static Texture* load(const char* name);

    // Binds this texture as GL_TEXTURE_2D on texture unit 0.
    void bind();

    // Sets the texture's minification and magnification filters together:
    // GL_LINEAR both for Linear, GL_NEAREST both for Nearest. Its levels,
    // wrapping and texels stay. Binds nothing (direct state access); needs a
    // current context. A texture without an object (textureId 0) is left
    // alone.
    void setFilter(Filter filter);
    // The texture's magnification filter as OpenGL holds it, whoever set
    // it: Nearest for GL_NEAREST, else Linear; Linear without an object.
    // Needs a current context.
    Filter filter() const;

    unsigned int textureId = 0;
    unsigned int width = 0;
    unsigned int height = 0;
};

// The most pixels an image may have: a few PNG bytes can claim a size whose
// decoded pixels would exhaust memory.
constexpr long long kMaxTexturePixels = 8192LL * 8192LL;

// Whether an image of width × height pixels is loaded: both sides within
// the context's limit and at most kMaxTexturePixels pixels.
bool textureSizeAcceptable(int width, int height, int maxTextureSize);

// Name -> texture, by file name without extension ("atlas", "font").
extern std::map<std::string, Texture*> textureRegistry;

} // namespace velmora
