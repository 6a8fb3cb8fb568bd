// Canvas: a texture to draw into. Between begin() and end() every sprite
// batch and text draw lands in the canvas instead of the window; its texture
// is then drawn like any picture, through a batch or a program of the game's
// own.
//
//     Canvas scene(320, 240);
//     scene.begin();                   // the canvas's framebuffer and viewport
//     scene.clear({0, 0, 0, 1});
//     batch.draw(sceneCamera);         // into the canvas
//     scene.end();                     // the window's again
//     screen.setTexture(scene.texture());
//     screen.addQuad({0, 0, 960, 720}, scene.texCoords(), {1, 1, 1, 1}); // upright
//
// Orientation. Like every framebuffer, the canvas holds its bottom row at
// v = 0, where an atlas holds its image's top row; texCoords() gives the
// rectangle that shows it upright, and atlas() a picture of it that does.
//
// Nesting. A canvas begun while another is begun draws into itself until its
// end(), which goes back to the outer one. Canvases end in the reverse order
// of their begin.
//
// Failures. A size of 0 or less, or above the largest texture or
// renderbuffer the driver allows, is reported in one line on standard error
// and gives a canvas that is not valid(): it still begins and ends, but what
// is drawn into it goes nowhere, its texture shows nothing (one transparent
// texel, reported as 0 × 0) and it reads back no pixels. Misuse (ending a
// canvas that is not the innermost begun one, beginning one twice, resizing
// one that is begun) is reported in one line too and changes nothing.
// Nothing throws.
//
// Ownership: a canvas owns its framebuffer and its texture and deletes them
// when destroyed, if a context is still current. It is move-only; texture()
// and atlas() are the same objects after a move. Making, beginning, ending,
// clearing, resizing, reading and filtering need a current OpenGL 4.5
// context; the size and state queries do not.
#pragma once

#include "velmora/Math.h"
#include "velmora/Texture.h"

#include <memory>
#include <vector>

namespace velmora {

class Atlas;

class Canvas {
  public:
    // A canvas of width × height pixels, transparent black, filtered
    // linearly and clamped at its edges. An unacceptable size gives an
    // invalid canvas (see the top of this file).
    Canvas(int width, int height);
    // Ends the canvas first when it is begun, then deletes its framebuffer
    // and texture (if a context is current). Batches still holding its
    // atlas() then draw nothing from it.
    ~Canvas();
    // The moved-from canvas is invalid and owns nothing.
    Canvas(Canvas&& other) noexcept;
    Canvas& operator=(Canvas&& other) noexcept;
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Whether the canvas has pixels to draw into.
    bool valid() const { return pixelWidth > 0; }
    explicit operator bool() const { return valid(); }
    // Its size in pixels; 0 × 0 when invalid.
    int width() const { return pixelWidth; }
    int height() const { return pixelHeight; }

    // Binds the canvas's framebuffer for drawing (GL_DRAW_FRAMEBUFFER) and
    // sets the viewport to the whole canvas, after noting which framebuffer
    // and viewport were there. Nothing else changes: the scissor, the write
    // masks and the blending the game set apply inside the canvas too.
    void begin();
    // Binds the draw framebuffer and sets the viewport noted at begin().
    void end();
    // Whether begin() was called and end() not yet.
    bool begun() const { return isBegun; }

    // Begins a canvas for the life of the object and ends it after:
    //     { Canvas::Scope into(scene); batch.draw(camera); }
    class Scope {
      public:
        // A canvas begun already is left as it is, without a word.
        explicit Scope(Canvas& canvas) : canvas(canvas), began(false) {
            if (!canvas.begun()) {
                canvas.begin();
                began = canvas.begun();
            }
        }
        // Ends only what it began: a canvas begun already stays begun.
        ~Scope() {
            if (began) {
                canvas.end();
            }
        }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

      private:
        Canvas& canvas;
        bool began;
    };

    // Fills the whole canvas with `colour` (red, green, blue, alpha in
    // 0..1), begun or not; neither the scissor nor the write masks hold it
    // back. Binds nothing.
    void clear(const Vec4& colour);

    // Makes the canvas width × height pixels, transparent black; the same
    // size keeps the pixels. The filter, texture() and atlas() stay; the
    // texture's id changes. False, with the canvas unchanged and one line on
    // standard error, for an unacceptable size or a begun canvas. An invalid
    // canvas given an acceptable size becomes valid.
    bool resize(int width, int height);

    // The canvas's pixels, width × height × 4 bytes of red, green, blue and
    // alpha, rows top first and tightly packed, as an image file holds them;
    // empty for an invalid canvas. Reads with the pixel-pack state the engine
    // needs and puts back the game's (pack parameters and GL_PIXEL_PACK_BUFFER).
    std::vector<unsigned char> readPixels() const;

    // The texture the canvas draws into, for SpriteBatch::setTexture or a
    // program of the game's own. It belongs to the canvas; the same object
    // through moves and resizes. Never null, except after a move.
    Texture* texture() const { return pixels.get(); }

    // The texture coordinates of the canvas's left, bottom, right and top
    // edges for SpriteBatch::addQuad, which show it upright: {0, 0, 1, 1}.
    Rect texCoords() const { return Rect{0.0f, 0.0f, 1.0f, 1.0f}; }

    // An atlas of one picture, number 0 named "canvas": the whole canvas,
    // upright, at its size in texels (updated by resize). A batch drawing
    // from it (SpriteBatch::setAtlas) places, turns, scales and tints the
    // canvas like any picture. Drawn as its quad, never a tight mesh: the
    // canvas's alpha changes from frame to frame.
    std::shared_ptr<const Atlas> atlas() const { return picture; }

    // Linear (the default) or nearest filtering for the canvas's texture,
    // kept through resize.
    void setFilter(Filter filter);
    Filter filter() const { return filtering; }

  private:
    void release();
    bool allocate(int width, int height);

    int pixelWidth = 0;
    int pixelHeight = 0;
    unsigned int framebuffer = 0;
    std::unique_ptr<Texture> pixels;
    std::shared_ptr<Atlas> picture;
    Filter filtering = Filter::Linear;
    bool isBegun = false;
    int outerFramebuffer = 0;
    int outerViewport[4] = {0, 0, 0, 0};
};

} // namespace velmora
