// Sprite: one textured quad with its own vertex array, vertex and index
// buffers and model matrix. It is built once, from a line of a texture atlas
// description or from a pixel rectangle of a texture, and then placed with
// its model matrix and drawn through the current program.
#pragma once

#include "velmora/Math.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace velmora {

class Shader;
class Texture;

// The interleaved vertex in a sprite's vertex buffer: position at byte 0
// (attribute 0), colour at byte 12 (attribute 1), texture coordinate at byte
// 28 (attribute 2).
struct SpriteVertex {
    float position[3];
    float colour[4];
    float texCoord[2];
};
static_assert(sizeof(SpriteVertex) == 36, "the vertex layout is 9 tightly packed floats");

// Points `vertexArray` at `indexBuffer` for its indices and at `vertexBuffer`
// read as SpriteVertex records: attributes 0, 1 and 2 on binding point 0.
void setSpriteVertexLayout(unsigned int vertexArray, unsigned int vertexBuffer,
                           unsigned int indexBuffer);

class Sprite {
  public:
    // Empty lists, one empty texture slot, identity model; creates the vertex
    // array and both buffers. Needs a current context.
    Sprite();

    // Status of loadFromAtlas.
    static constexpr int kLoaded = 0;
    static constexpr int kNoDescription = 1; // the description file could not be opened
    static constexpr int kNoPicture = 2;     // no line of the description names the picture

    // Cuts the picture `fileName` out of the atlas `atlasName`
    // ("data/textures/" + atlasName + ".txt" and ".png", "data" being the
    // settings' dataDirectory): a quad as large as
    // the picture's rectangle, its lower-left corner at the model origin,
    // the picture upright. The atlas image is loaded by the first sprite
    // that names the atlas. The sprite is registered under `spriteName`
    // unless that is empty or the description could not be opened.
    // A picture the description lacks is reported on standard error and
    // leaves the sprite's geometry as it was (a new sprite draws nothing).
    int loadFromAtlas(std::string spriteName, std::string atlasName, std::string fileName);

    // Gives the sprite the quad `positionRect` (model units) showing
    // `pixelRect` of `texture` (pixels, y counted up from the image's bottom
    // row), and uploads it.
    void setQuadFromPixels(const Texture* texture, const Rect& positionRect, const Rect& pixelRect);

    // Interleaves the vertex lists into the vertex buffer, fills the index
    // buffer and sets up the vertex array. Lists that do not describe a valid
    // mesh (fewer colours or texture coordinates than positions, an index
    // past the last vertex) upload nothing, and the sprite draws nothing.
    void uploadGeometry();

    void resetTransform();                     // model = identity
    void translate(float x, float y, float z); // model = model × translation

    // Sets "modelMatrix" in `shader`'s program, which must be current, and
    // draws the sprite's triangles. A null shader draws nothing.
    void draw(const Shader* shader) const;

    unsigned int vertexArray = 0;
    unsigned int vertexBuffer = 0;
    unsigned int indexBuffer = 0;
    std::vector<Vec3> positions;
    std::vector<std::uint32_t> indices;
    std::vector<Vec2> texCoords;
    std::vector<Vec4> colors;
    std::vector<Texture*> textures;
    Matrix4 model;

  private:
    // Replaces whatever quad the sprite held by the one given, corner by
    // corner in the order 0 to 3, with the triangles 0-1-2 and 2-3-0.
    void setQuad(const Vec3 (&corners)[4], const Vec2 (&uvs)[4]);
    // The number of indices that draw() hands to OpenGL.
    int drawCount = 0;
};

// Sprite name -> sprite, filled by loadFromAtlas.
extern std::map<std::string, Sprite*> spriteRegistry;

// The texture coordinates of `pixelRect` of `texture` (pixels, y counted up
// from the image's bottom row) at the left, bottom, right and top edges. A
// missing or 0×0 texture gives coordinates of 0.
Rect pixelTexCoords(const Texture* texture, const Rect& pixelRect);

} // namespace velmora
