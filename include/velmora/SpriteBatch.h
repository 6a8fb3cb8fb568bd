// SpriteBatch: many pictures of one texture, and flat shapes, placed anew
// each frame and drawn with a single draw call.
//
// Typical frame:
//     batch.clear();
//     batch.add(bunny, x, y);                     // pictures, as many as needed
//     batch.addRectangle(x, y, w, h, colour);     // shapes, in the same call
//     batch.draw(camera);                         // one draw call
//
// Blending. A batch draws blended unless told otherwise: colours and the
// texture hold straight (not premultiplied) alpha, as PNG files and the tint
// give it, and each fragment lands as source × alpha + destination ×
// (1 − alpha). A tint's alpha fades a picture: 0.3 is a faint picture.
// setBlendMode chooses another way (BlendMode below); setBlended(false)
// draws cut out, like the game's sprite program: texels whose tinted alpha
// is below one half are dropped, the rest are opaque.
//
// Cost. Each shape is transformed on the CPU into a 20-byte vertex (2D
// position, texture coordinates, 8-bit colour) and the batch's own
// program applies one matrix per draw. An upright picture is added as its
// quad, which software rasterisers fill as one rectangle. A turned picture
// drawn large enough is added as its tight mesh, a polygon of at most 16
// vertices around the texels that can show (any alpha above 0 when blended,
// half alpha when cut out), which shades fewer fragments than its quad;
// drawn small, where the extra vertices would cost more than the fragments
// they save, as its quad. The pixels are the same either way, up to the
// rounding in which any two triangulations differ. Vertices and indices are
// gathered on the CPU and uploaded into buffers reused from frame to frame;
// both grow geometrically and never shrink, so once a batch has held its
// largest frame, building and drawing allocate nothing.
//
// Pictures come from an Atlas (Atlas.h): loadPictures packs PNG files,
// loadAtlas reads a pre-packed atlas, setAtlas shares one between batches.
//
// Ownership: a batch owns its vertex array, its buffers and its programs and
// deletes them when destroyed; it is move-only. It shares its atlas
// (std::shared_ptr), and refers to a texture given by setTexture without
// owning it.
#pragma once

#include "velmora/Atlas.h"
#include "velmora/Math.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

class Camera;
class Shader;

// How a batch's pixels land on what is already there (the destination),
// with source the texel times the tint, or the shape's colour, and a its
// alpha. Every blending mode leaves the destination's alpha as a + its
// alpha × (1 − a), as painting over it would.
enum class BlendMode {
    Alpha,         // source × a + destination × (1 − a): straight alpha, the default
    Additive,      // source × a + destination: glows, sparks, light
    Multiply,      // destination × (source × a + 1 − a): shade, tint what is there
    Premultiplied, // source + destination × (1 − a): colours already multiplied by
                   // their alpha, such as a canvas drawn into with Alpha
    CutOut         // alpha below one half dropped, the rest opaque; no blending
};
class Texture;
struct TightMesh;

class SpriteBatch {
  public:
    // Vertices the GPU buffers hold before the first growth, in quads.
    static constexpr std::size_t kInitialCapacity = 64;

    // Creates the vertex array and both buffers. Needs a current context.
    SpriteBatch();
    // Deletes the vertex array, the buffers and the programs, if a context is
    // still current.
    ~SpriteBatch();
    // The moved-from batch is left empty, without GL objects: it draws
    // nothing and may only be assigned to or destroyed.
    SpriteBatch(SpriteBatch&& other) noexcept;
    SpriteBatch& operator=(SpriteBatch&& other) noexcept;
    SpriteBatch(const SpriteBatch&) = delete;
    SpriteBatch& operator=(const SpriteBatch&) = delete;

    // Draws from the pre-packed atlas `atlasName` (Atlas::load): its
    // description "data/textures/" + atlasName + ".txt" ("data" being the
    // settings' dataDirectory) and its image, which the texture registry
    // shares with the sprites of the same atlas. False when the description
    // cannot be opened; the batch then keeps its atlas.
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
    // other batches may draw from the same one. The batch then draws with
    // the atlas's texture, asked of the atlas at each draw. Null leaves the
    // batch without pictures. atlas() is null until an atlas is set or
    // loaded.
    //
    // The game may load the shared atlas again (a new level) without setting
    // it anew: the batch follows, with the new pictures and texture; its
    // per-picture setTightMesh switches then start over.
    void setAtlas(std::shared_ptr<const Atlas> atlas);
    const std::shared_ptr<const Atlas>& atlas() const { return pictures; }

    // The picture of the batch's atlas named exactly `name`, or -1 when there
    // is none.
    int findPicture(const std::string& name) const;

    // A picture's size in texels (Atlas::pictureSize), or 0 × 0 for an
    // unknown picture.
    Vec2 pictureSize(int picture) const;

    // The texture every picture samples; draw() binds it on unit 0. Setting
    // an atlas makes it the atlas's, whatever texture the atlas holds at the
    // time; setTexture replaces that until the next setAtlas (text sets the
    // font texture). The texture must outlive the draws that use it. Null
    // draws with whatever is bound on unit 0.
    void setTexture(Texture* texture);
    Texture* texture() const;

    // How the batch blends (the default Alpha; see BlendMode). Set it before
    // adding: a picture's mesh is chosen for the way it will be drawn. Each
    // draw sets the mode's blending and puts the game's back.
    void setBlendMode(BlendMode blendMode) { mode = blendMode; }
    BlendMode blendMode() const { return mode; }
    // setBlended(true) is BlendMode::Alpha, false BlendMode::CutOut;
    // blended() is whether the mode is other than CutOut.
    void setBlended(bool on) { mode = on ? BlendMode::Alpha : BlendMode::CutOut; }
    bool blended() const { return mode != BlendMode::CutOut; }

    // Forgets the shapes of the previous frame; keeps every buffer's capacity.
    void clear();

    // Adds `picture` at its size in texels (one camera unit per texel),
    // scaled by `scaleX` × `scaleY`, turned by `rotation` radians
    // counter-clockwise (y up), so that its point (`originX`, `originY`),
    // texels from its lower-left corner, lands on (x, y). The texels are
    // multiplied by `tint`, each component taken within 0 to 1 in steps of
    // 1/255. An unknown picture adds nothing.
    void add(int picture, float x, float y, float rotation = 0.0f, float scaleX = 1.0f,
             float scaleY = 1.0f, float originX = 0.0f, float originY = 0.0f,
             const Vec4& tint = Vec4{1.0f, 1.0f, 1.0f, 1.0f});

    // One quad covering `positionRect` (camera units), sampling the texture
    // at `uvRect`'s left, bottom, right and top edges (texture coordinates,
    // `uvRect.bottom` the bottom edge's v), tinted by `colour`.
    void addQuad(const Rect& positionRect, const Rect& uvRect, const Vec4& colour);

    // A rectangle filled with `colour` (its alpha blends like a tint's),
    // `width` × `height` camera units, turned by `rotation` radians
    // counter-clockwise about its point (`originX`, `originY`), measured from
    // its lower-left corner, which lands on (x, y).
    void addRectangle(float x, float y, float width, float height, const Vec4& colour,
                      float rotation = 0.0f, float originX = 0.0f, float originY = 0.0f);

    // A line from (x0, y0) to (x1, y1), `width` camera units wide and
    // filled with `colour`: the rectangle around the segment, with square
    // ends flush with the end points. A line of no length adds nothing.
    void addLine(float x0, float y0, float x1, float y1, float width, const Vec4& colour);
    // The frame of the rectangle addRectangle would fill (unturned): its
    // sides `lineWidth` camera units wide, inside the rectangle, so that the
    // frame's outer edge is the filled rectangle's edge. A width of half the
    // smaller side or more fills it. Nothing for sizes or widths of 0 or less.
    void addRectangleOutline(float x, float y, float width, float height, float lineWidth,
                             const Vec4& colour);
    // A circle about (x, y) filled with `colour`, as a polygon of `segments`
    // sides (3 to 1024) with its corners on the circle (6: a hexagon), or,
    // with 0, of as many as keep its edge within a quarter pixel of the true
    // circle at the size the last draw's camera and viewport give it (8 at
    // least; one pixel per unit before the first draw), covering the
    // circle's area. Nothing for a radius of 0 or less.
    void addCircle(float x, float y, float radius, const Vec4& colour, int segments = 0);
    // The ring of that circle `lineWidth` units wide, inside its radius; a
    // width of the radius or more fills it.
    void addCircleOutline(float x, float y, float radius, float lineWidth, const Vec4& colour,
                          int segments = 0);
    // A convex polygon through `points` (camera units, either way round),
    // filled with `colour`. Nothing for fewer than 3 points or more than
    // 65536; a concave outline fills wrongly.
    void addPolygon(const std::vector<Vec2>& points, const Vec4& colour);

    // Tight meshes on or off, for the whole batch or for one picture (off:
    // always the full quad, for instance under a program of your own that
    // shows texels the mesh leaves out). On by default.
    void setTightMeshes(bool on) { meshesOn = on; }
    bool tightMeshes() const { return meshesOn; }
    void setTightMesh(int picture, bool on);
    // Whether `picture`'s own switch is on (false for an unknown picture);
    // the batch's switch above holds over it.
    bool isTightMeshOn(int picture) const;

    // The tight mesh add() would use for `picture` turned by `rotation` and
    // scaled by `scaleX` × `scaleY` in the current blending, or null when it
    // would add the full quad: meshes off, no mesh, upright, or drawn too
    // small to gain by it. The drawn size in pixels comes from the camera and
    // viewport of the last draw (one pixel per camera unit before the first).
    const TightMesh* tightMesh(int picture, float scaleX = 1.0f, float scaleY = 1.0f,
                               float rotation = 0.0f) const;

    // Shapes added since the last clear().
    std::size_t size() const { return shapeCount; }

    // Vertices the GPU buffers hold without growing, in quads (four each).
    std::size_t capacity() const { return vertexCapacity / 4; }

    // Draws every shape with one glMultiDrawElements through the batch's own
    // program, made on the first call, with `camera`'s projection × view as
    // its one matrix, into the bound framebuffer and the current viewport:
    // uploads the shapes if they changed and binds the texture on unit 0.
    // Afterwards the game's program, vertex array, active unit, unit 0's
    // texture and sampler, and blending (switch, factors and equations) are
    // as they were; docs/engine.md ("OpenGL state") lists what a draw
    // honours. An empty batch issues no call and changes nothing.
    void draw(const Camera& camera);

    // The same through a program of your own, which takes the position at
    // attribute 0 (x, y; z reads 0), the colour at 1 (four components within
    // 0 to 1) and the texture coordinate at 2 (u, v; -1, -1 for shapes,
    // which a program that samples regardless draws textured). Sets its "modelMatrix"
    // (identity), "viewMatrix" and "projectionMatrix" from `camera` and its
    // "texture" sampler to unit 0 with glProgramUniform*, and leaves it
    // current. Everything else is set and restored as above; cut-out drawing
    // relies on the program to drop the texels it should.
    void draw(const Camera& camera, const Shader& shader);

    // How many draw calls this batch has issued since it was made.
    std::size_t drawCalls() const { return drawCallCount; }

  private:
    // One vertex as the GPU reads it: 20 bytes.
    struct Vertex {
        float x, y;           // camera units
        float u, v;           // texture coordinates; -1, -1 for shapes
        std::uint8_t rgba[4]; // straight alpha
    };
    // What a picture saves by its tight meshes: texels of the quad that the
    // cut-out and the blended mesh leave out.
    struct Savings {
        float cutOut = 0.0f;
        float blended = 0.0f;
    };

    void addPoints(const Vec2* points, const float* uv, std::size_t count,
                   const std::uint16_t* triangles, std::size_t indexCount, const Vec2& at,
                   const Vec2& origin, const Vec2& scale, float rotation, const Vec4& colour);

    // Indices of a shape whose vertices start at `first`, and its place in the runs.
    void addIndices(std::size_t first, const std::uint16_t* triangles, std::size_t indexCount);
    int circleSides(float radius, int segments) const;
    void measurePixels(const Matrix4& transform);
    // Takes the atlas's pictures as they are now, and follows a reload of it.
    void takePictures() const;
    void followAtlas() const;
    std::uint64_t atlasLoad() const;
    void drawWith(unsigned int program);
    void upload();
    void grow(std::size_t vertexCount, std::size_t indexCount);
    void release();
    void takeFrom(SpriteBatch& other) noexcept;

    unsigned int vertexArray = 0;
    unsigned int vertexBuffer = 0;
    unsigned int indexBuffer = 0;
    // Blended pictures, blended with shapes, cut out, multiplied; each made
    // when first needed.
    unsigned int ownPrograms[4] = {0, 0, 0, 0};
    bool hasShapes = false; // a shape was added since the last clear()
    std::vector<Vertex> vertices;
    std::vector<std::uint32_t> indices;        // triangles into `vertices`
    std::vector<std::uint32_t> sentIndices;    // what the index buffer holds, from its start
    std::vector<int> runs;                     // index counts of the draw's runs, in order
    std::vector<const void*> runStarts;        // their offsets in the index buffer, at draw
    std::vector<Vec2> shapePoints;             // a circle's, while it is added
    std::vector<std::uint16_t> shapeTriangles; // a shape's triangles, while it is added
    std::shared_ptr<const Atlas> pictures;
    // Of the atlas's load the batch last saw (Atlas::Storage::load).
    mutable std::vector<bool> meshesOff;  // pictures whose tight meshes are switched off
    mutable std::vector<Savings> savings; // one per picture of the atlas
    mutable std::uint64_t seenLoad = 0;
    Texture* sourceTexture = nullptr; // set by setTexture
    bool textureFromAtlas = false;    // draw with the atlas's texture instead
    std::size_t shapeCount = 0;
    std::size_t vertexCapacity = 0;   // vertices the GPU buffer holds
    std::size_t indexCapacity = 0;    // indices the GPU buffer holds
    float pixelsPerSquareUnit = 1.0f; // of the last draw's camera and viewport
    bool uploaded = false;            // the GPU buffers hold `vertices` and `indices`
    bool meshesOn = true;
    BlendMode mode = BlendMode::Alpha;
    std::size_t drawCallCount = 0;
};

} // namespace velmora
