// SpriteBatch: many textured shapes cut from one texture, placed anew each
// frame and drawn with a single draw call. A picture of an atlas is drawn as
// its tight mesh (TightMesh.h): a polygon of at most 16 vertices around the
// part of the picture that can pass the sprite program's half-alpha cut. It
// shades fewer fragments than the full quad and shows the same pixels, up to
// the rounding in which any two triangulations of a quad differ. The shapes
// are gathered on the CPU in the sprites' vertex layout and uploaded into one
// vertex and one index buffer that are reused from frame to frame. Both grow
// geometrically and never shrink, so once a batch has held its largest
// frame, building and drawing allocate nothing. Sprites of an atlas and the
// glyphs of text both draw through it.
//
// Typical frame:
//     batch.clear();
//     batch.add(bunny, x, y);                 // as many as needed
//     batch.draw(camera, *shader);            // one call, any program current
//
// Pictures come from an Atlas (Atlas.h): loadPictures packs PNG files,
// loadAtlas reads a pre-packed atlas, setAtlas shares one between batches.
//
// Ownership: a batch owns its vertex array and both buffers and deletes them
// when destroyed; it is move-only. It shares its atlas (std::shared_ptr), and
// refers to a texture given by setTexture without owning it.
#pragma once

#include "velmora/Atlas.h"
#include "velmora/Math.h"
#include "velmora/Sprite.h"
#include "engine/TightMesh.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

class Camera;
class Shader;
class Texture;

class SpriteBatch {
  public:
    // Vertices the GPU buffers hold before the first growth, in quads.
    static constexpr std::size_t kInitialCapacity = 64;

    // Creates the vertex array and both buffers. Needs a current context.
    SpriteBatch();
    // Deletes the vertex array and the buffers, if a context is still current.
    ~SpriteBatch();
    // The moved-from batch is left empty, without GL objects: it draws
    // nothing and may only be assigned to or destroyed.
    SpriteBatch(SpriteBatch&& other) noexcept;
    SpriteBatch& operator=(SpriteBatch&& other) noexcept;
    SpriteBatch(const SpriteBatch&) = delete;
    SpriteBatch& operator=(const SpriteBatch&) = delete;

    // Draws from the pre-packed atlas `atlasName` (Atlas::load): its
    // description "data/textures/" + atlasName + ".txt" and its image, which
    // the texture registry shares with the sprites of the same atlas. False
    // when the description cannot be opened; the batch then keeps its atlas.
    bool loadAtlas(const std::string& atlasName);

    // Draws from the PNG files `paths` (files, or folders of them), packed
    // into one texture now (Atlas::loadPictures): each picture at its own
    // size in texels, named by its file name. False, after one line naming
    // the sizes, when they do not fit into the largest texture the driver
    // allows; the batch then keeps its atlas.
    //
    //     batch.loadPictures({"pictures"});  // every PNG file of data/pictures/
    //     batch.add(batch.findPicture("ball.png"), x, y);
    bool loadPictures(const std::vector<std::string>& paths);

    // Draws from `atlas`, which the batch keeps alive as long as it uses it;
    // other batches may draw from the same one. Sets the texture to the
    // atlas's. Null leaves the batch without pictures. atlas() is null until
    // an atlas is set or loaded.
    void setAtlas(std::shared_ptr<const Atlas> atlas);
    const std::shared_ptr<const Atlas>& atlas() const { return pictures; }

    // The picture of the batch's atlas named exactly `name`, or -1 when there
    // is none.
    int findPicture(const std::string& name) const;

    // A picture's size in texels (Atlas::pictureSize), or 0 × 0 for an
    // unknown picture.
    Vec2 pictureSize(int picture) const;

    // The texture every shape samples; draw() binds it on unit 0. Setting an
    // atlas sets it to the atlas's; text sets the font texture. Null draws
    // with whatever is bound.
    void setTexture(Texture* texture) { sourceTexture = texture; }
    Texture* texture() const { return sourceTexture; }

    // Forgets the shapes of the previous frame; keeps every buffer's capacity.
    void clear();

    // Adds `picture` at its size in texels (one camera unit per texel),
    // scaled by `scaleX` × `scaleY`, turned by `rotation` radians
    // counter-clockwise (y up), so that its point (`originX`, `originY`),
    // texels from its lower-left corner, lands on (x, y). The texels are
    // multiplied by `tint`. The picture's tight mesh is used unless it is
    // switched off, the tint's alpha exceeds 1, or the mesh runs along the
    // picture's edge and the picture is turned (TightMesh::alongEdges). An
    // unknown picture adds nothing.
    void add(int picture, float x, float y, float rotation = 0.0f, float scaleX = 1.0f,
             float scaleY = 1.0f, float originX = 0.0f, float originY = 0.0f,
             const Vec4& tint = Vec4{1.0f, 1.0f, 1.0f, 1.0f});

    // One quad covering `positionRect` (camera units), sampling the texture
    // at `uvRect`'s left, bottom, right and top edges (texture coordinates,
    // the bottom edge's v given in uvRect.bottom), tinted by `colour`.
    void addQuad(const Rect& positionRect, const Rect& uvRect, const Vec4& colour);

    // Tight meshes assume a program that drops fragments below half alpha,
    // as "textured.glsl" does. Switch them off, for the whole batch or for
    // one picture, where the full quad is wanted (a program that blends, or
    // one that draws every texel). On by default.
    void setTightMeshes(bool on) { tightMeshes = on; }
    void setTightMesh(int picture, bool on);

    // The tight mesh add() would use for `picture`, or null when it would
    // add the full quad.
    const TightMesh* tightMesh(int picture) const;

    // Shapes added since the last clear().
    std::size_t size() const { return shapeCount; }

    // Vertices the GPU buffers hold without growing, in quads (four each).
    std::size_t capacity() const { return vertexCapacity / 4; }

    // Draws every shape with one glDrawElements through `shader`: sets its
    // program's "modelMatrix" (identity), "viewMatrix" and "projectionMatrix"
    // from `camera` and its "texture" sampler to unit 0 with
    // glProgramUniform*, so whichever program was current does not matter;
    // uploads the shapes if they changed, binds the texture on unit 0 and
    // leaves `shader`'s program current. An empty batch issues no call and
    // changes nothing.
    void draw(const Camera& camera, const Shader& shader);

    // How many draw calls this batch has issued since it was made.
    std::size_t drawCalls() const { return drawCallCount; }

  private:
    void addMesh(const AtlasPicture& picture, const TightMesh& mesh, float x, float y, float rotation,
                 float scaleX, float scaleY, float originX, float originY, const Vec4& tint);

    // The drawing data of a picture of the atlas, or null for an unknown one.
    const AtlasPicture* picture(int index) const {
        return pictures != nullptr ? pictures->picture(index) : nullptr;
    }

    void upload();
    void grow(std::size_t vertexCount, std::size_t indexCount);
    void release();
    void takeFrom(SpriteBatch& other) noexcept;

    unsigned int vertexArray = 0;
    unsigned int vertexBuffer = 0;
    unsigned int indexBuffer = 0;
    std::vector<SpriteVertex> vertices;
    std::vector<std::uint32_t> indices; // triangles into `vertices`
    std::shared_ptr<const Atlas> pictures;
    std::vector<bool> meshesOff;           // pictures whose tight mesh is switched off
    Texture* sourceTexture = nullptr;
    std::size_t shapeCount = 0;
    std::size_t vertexCapacity = 0; // vertices the GPU buffer holds
    std::size_t indexCapacity = 0;  // indices the GPU buffer holds
    bool uploaded = false;          // the GPU buffers hold `vertices` and `indices`
    bool tightMeshes = true;
    std::size_t drawCallCount = 0;
};

} // namespace velmora
