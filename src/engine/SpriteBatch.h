// SpriteBatch: many textured quads cut from one texture, placed anew each
// frame and drawn with a single draw call. The quads are gathered on the CPU
// in the sprites' vertex layout and uploaded into one vertex buffer that is
// reused from frame to frame; its index buffer holds the fixed two-triangle
// pattern for every quad it can take. Both grow geometrically and never
// shrink, so once a batch has held its largest frame, building and drawing
// allocate nothing. Sprites of an atlas and the glyphs of text both draw
// through it.
//
// Typical frame:
//     batch.clear();
//     batch.add(bunny, x, y, w, h);          // as many as needed
//     shader->use(); camera.upload(shader->programId);
//     batch.draw(shader);                     // binds the texture, one call
#pragma once

#include "engine/AtlasDescription.h"
#include "engine/Math.h"
#include "engine/Sprite.h"

#include <cstddef>
#include <string>
#include <vector>

class Shader;
class Texture;

class SpriteBatch {
  public:
    // Quads the GPU buffers hold before the first growth.
    static constexpr std::size_t kInitialCapacity = 64;

    // Creates the vertex array and both buffers. Needs a current context.
    SpriteBatch();

    // Reads the pictures of the atlas `atlasName` ("data/textures/" +
    // atlasName + ".txt") and takes its texture, loading atlasName + ".png"
    // unless the texture registry already has it. Lines that do not parse are
    // reported and skipped, as for Sprite::loadFromAtlas. False, after the
    // same message as Sprite::loadFromAtlas, when the description cannot be
    // opened; the batch then keeps its pictures and texture.
    bool loadAtlas(const std::string& atlasName);

    // The picture that Sprite::loadFromAtlas would cut for `fileName`: the
    // first line whose name occurs within `fileName`. -1 when there is none.
    int findPicture(const std::string& fileName) const;

    // A picture's size in model units (its atlas rectangle's w and h), or
    // 0 × 0 for an unknown picture.
    Vec2 pictureSize(int picture) const;

    // The texture every quad samples; draw() binds it on unit 0. loadAtlas
    // sets it; text sets the font texture. Null draws with whatever is bound.
    void setTexture(Texture* texture) { sourceTexture = texture; }
    Texture* texture() const { return sourceTexture; }

    // Forgets the quads of the previous frame; keeps every buffer's capacity.
    void clear();

    // One quad showing `picture` upright, its lower-left corner at (x, y),
    // width × height in model units, untinted. An unknown picture adds
    // nothing.
    void add(int picture, float x, float y, float width, float height);

    // One quad covering `positionRect` (model units), sampling the texture at
    // `uvRect`'s left, bottom, right and top edges (texture coordinates, the
    // bottom edge's v given in uvRect.bottom), tinted by `colour`.
    void addQuad(const Rect& positionRect, const Rect& uvRect, const Vec4& colour);

    // Quads added since the last clear().
    std::size_t size() const { return vertices.size() / 4; }

    // Quads the GPU buffers hold without growing.
    std::size_t capacity() const { return gpuCapacity; }

    // Uploads the quads if they changed, sets "modelMatrix" to the identity
    // and the "texture" sampler to unit 0 in `shader`'s program, which must be
    // current (its camera uploaded), binds the texture and draws every quad
    // with one glDrawElements. An empty batch or a null shader issues no call.
    void draw(const Shader* shader);

    // How many draw calls this batch has issued since it was made.
    std::size_t drawCalls() const { return drawCallCount; }

  private:
    void upload();
    void grow(std::size_t quads);

    unsigned int vertexArray = 0;
    unsigned int vertexBuffer = 0;
    unsigned int indexBuffer = 0;
    std::vector<SpriteVertex> vertices; // four per quad, lower-left first
    std::vector<AtlasEntry> pictures;   // in description order
    Texture* sourceTexture = nullptr;
    std::size_t gpuCapacity = 0; // quads
    bool uploaded = false;       // the vertex buffer holds `vertices`
    std::size_t drawCallCount = 0;
};
