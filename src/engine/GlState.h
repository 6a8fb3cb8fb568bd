// Keepers of OpenGL state: each sets what one engine call relies on for its
// life and puts back what the game had when it ends, so that whatever a game
// leaves set between calls changes neither what the engine uploads, reads or
// draws, nor what the game finds afterwards. docs/engine.md ("OpenGL state")
// lists what each load and draw sets, restores and leaves to the game.
#pragma once

namespace velmora {

// Pixel-store state for one direction of transfer: the parameters that say
// how client memory is laid out, and the pixel buffer a transfer would go
// through instead.
struct PixelStore {
    int alignment = 4;
    int rowLength = 0;
    int imageHeight = 0;
    int skipRows = 0;
    int skipPixels = 0;
    int skipImages = 0;
    int swapBytes = 0;
    int lsbFirst = 0;
    int buffer = 0;
};

// While alive, uploads from client memory (glTex*Image*) read tightly packed
// rows: alignment 1, no row length, no skips, no byte swapping, and no pixel
// unpack buffer bound.
class UnpackStateKeeper {
  public:
    UnpackStateKeeper();
    ~UnpackStateKeeper();
    UnpackStateKeeper(const UnpackStateKeeper&) = delete;
    UnpackStateKeeper& operator=(const UnpackStateKeeper&) = delete;

  private:
    PixelStore saved;
};

// While alive, reads into client memory (glGetTextureSubImage, glReadPixels)
// write tightly packed rows, the same way round, and no pixel pack buffer is
// bound.
class PackStateKeeper {
  public:
    PackStateKeeper();
    ~PackStateKeeper();
    PackStateKeeper(const PackStateKeeper&) = delete;
    PackStateKeeper& operator=(const PackStateKeeper&) = delete;

  private:
    PixelStore saved;
};

// How a draw blends: off, or on with these factors (OpenGL enums) for the
// colour and for the alpha, the two added (GL_FUNC_ADD).
struct Blending {
    bool on = false;
    unsigned int source = 1, destination = 0, sourceAlpha = 1, destinationAlpha = 0;
};

// While alive, a sprite batch draws with its own vertex array `vertexArray`,
// its texture `texture` on unit 0 with no sampler object there (0: unit 0
// is left as it is), and with `blending` on draw buffer 0, the only one its
// programs write. Afterwards the vertex array, unit 0's 2D texture and
// sampler, and draw buffer 0's blending (switch, factors, equations) are the
// game's again; the other draw buffers' blending is never touched, nor is
// the active unit.
class BatchDrawStateKeeper {
  public:
    BatchDrawStateKeeper(unsigned int vertexArray, unsigned int texture, const Blending& blending);
    ~BatchDrawStateKeeper();
    BatchDrawStateKeeper(const BatchDrawStateKeeper&) = delete;
    BatchDrawStateKeeper& operator=(const BatchDrawStateKeeper&) = delete;

  private:
    int vertexArray = 0;
    bool textureSet = false;
    int texture = 0;
    int sampler = 0;
    unsigned char blendOn = 0;
    int blendFactors[4] = {1, 0, 1, 0};       // source and destination of colour, then of alpha
    int blendEquations[2] = {0x8006, 0x8006}; // GL_FUNC_ADD for colour and alpha
};

} // namespace velmora
