#include "engine/GlState.h"

#include <GL/glew.h>

namespace velmora {

namespace {

struct StoreNames {
    GLenum alignment, rowLength, imageHeight, skipRows, skipPixels, skipImages, swapBytes, lsbFirst,
        bufferBinding, bufferTarget;
};

constexpr StoreNames kUnpack{
    GL_UNPACK_ALIGNMENT,   GL_UNPACK_ROW_LENGTH,  GL_UNPACK_IMAGE_HEIGHT,
    GL_UNPACK_SKIP_ROWS,   GL_UNPACK_SKIP_PIXELS, GL_UNPACK_SKIP_IMAGES,
    GL_UNPACK_SWAP_BYTES,  GL_UNPACK_LSB_FIRST,   GL_PIXEL_UNPACK_BUFFER_BINDING,
    GL_PIXEL_UNPACK_BUFFER};
constexpr StoreNames kPack{GL_PACK_ALIGNMENT,   GL_PACK_ROW_LENGTH,  GL_PACK_IMAGE_HEIGHT,
                           GL_PACK_SKIP_ROWS,   GL_PACK_SKIP_PIXELS, GL_PACK_SKIP_IMAGES,
                           GL_PACK_SWAP_BYTES,  GL_PACK_LSB_FIRST,   GL_PIXEL_PACK_BUFFER_BINDING,
                           GL_PIXEL_PACK_BUFFER};

PixelStore readStore(const StoreNames& names) {
    PixelStore store;
    glGetIntegerv(names.alignment, &store.alignment);
    glGetIntegerv(names.rowLength, &store.rowLength);
    glGetIntegerv(names.imageHeight, &store.imageHeight);
    glGetIntegerv(names.skipRows, &store.skipRows);
    glGetIntegerv(names.skipPixels, &store.skipPixels);
    glGetIntegerv(names.skipImages, &store.skipImages);
    glGetIntegerv(names.swapBytes, &store.swapBytes);
    glGetIntegerv(names.lsbFirst, &store.lsbFirst);
    glGetIntegerv(names.bufferBinding, &store.buffer);
    return store;
}

void writeStore(const StoreNames& names, const PixelStore& store) {
    glPixelStorei(names.alignment, store.alignment);
    glPixelStorei(names.rowLength, store.rowLength);
    glPixelStorei(names.imageHeight, store.imageHeight);
    glPixelStorei(names.skipRows, store.skipRows);
    glPixelStorei(names.skipPixels, store.skipPixels);
    glPixelStorei(names.skipImages, store.skipImages);
    glPixelStorei(names.swapBytes, store.swapBytes);
    glPixelStorei(names.lsbFirst, store.lsbFirst);
    glBindBuffer(names.bufferTarget, static_cast<GLuint>(store.buffer));
}

// Rows of bytes as they lie in memory, one after the other.
PixelStore tightlyPacked() {
    PixelStore store;
    store.alignment = 1;
    return store;
}

// Runs `work` with unit 0 active, then makes the game's unit active again.
template <typename Work> void onUnitZero(Work work) {
    GLint active = GL_TEXTURE0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    if (active != GL_TEXTURE0) {
        glActiveTexture(GL_TEXTURE0);
    }
    work();
    if (active != GL_TEXTURE0) {
        glActiveTexture(static_cast<GLenum>(active));
    }
}

} // namespace

UnpackStateKeeper::UnpackStateKeeper() : saved(readStore(kUnpack)) {
    writeStore(kUnpack, tightlyPacked());
}

UnpackStateKeeper::~UnpackStateKeeper() {
    writeStore(kUnpack, saved);
}

PackStateKeeper::PackStateKeeper() : saved(readStore(kPack)) {
    writeStore(kPack, tightlyPacked());
}

PackStateKeeper::~PackStateKeeper() {
    writeStore(kPack, saved);
}

BatchDrawStateKeeper::BatchDrawStateKeeper(unsigned int ownVertexArray, unsigned int ownTexture,
                                           const Blending& blending) {
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray);
    // The batch's program writes draw buffer 0 only, so only its blending
    // is set and put back: a game drawing into several colour attachments
    // keeps each other buffer's own blending.
    blendOn = glIsEnabledi(GL_BLEND, 0);
    glGetIntegeri_v(GL_BLEND_SRC_RGB, 0, &blendFactors[0]);
    glGetIntegeri_v(GL_BLEND_DST_RGB, 0, &blendFactors[1]);
    glGetIntegeri_v(GL_BLEND_SRC_ALPHA, 0, &blendFactors[2]);
    glGetIntegeri_v(GL_BLEND_DST_ALPHA, 0, &blendFactors[3]);
    glGetIntegeri_v(GL_BLEND_EQUATION_RGB, 0, &blendEquations[0]);
    glGetIntegeri_v(GL_BLEND_EQUATION_ALPHA, 0, &blendEquations[1]);
    if (blending.on) {
        glEnablei(GL_BLEND, 0);
        glBlendEquationi(0, GL_FUNC_ADD);
        glBlendFuncSeparatei(0, blending.source, blending.destination, blending.sourceAlpha,
                             blending.destinationAlpha);
    } else {
        glDisablei(GL_BLEND, 0);
    }
    if (ownTexture != 0) {
        textureSet = true;
        onUnitZero([this] {
            glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
            glGetIntegerv(GL_SAMPLER_BINDING, &sampler);
        });
        // Binds without touching the active unit.
        glBindTextureUnit(0, ownTexture);
        glBindSampler(0, 0);
    }
    glBindVertexArray(ownVertexArray);
}

BatchDrawStateKeeper::~BatchDrawStateKeeper() {
    glBindVertexArray(static_cast<GLuint>(vertexArray));
    if (textureSet) {
        // glBindTextureUnit(0, 0) would unbind every target of the unit, not
        // only the 2D one the batch used.
        onUnitZero([this] { glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture)); });
        glBindSampler(0, static_cast<GLuint>(sampler));
    }
    glBlendEquationSeparatei(0, static_cast<GLenum>(blendEquations[0]),
                             static_cast<GLenum>(blendEquations[1]));
    glBlendFuncSeparatei(0, static_cast<GLenum>(blendFactors[0]),
                         static_cast<GLenum>(blendFactors[1]), static_cast<GLenum>(blendFactors[2]),
                         static_cast<GLenum>(blendFactors[3]));
    if (blendOn != 0) {
        glEnablei(GL_BLEND, 0);
    } else {
        glDisablei(GL_BLEND, 0);
    }
}

} // namespace velmora
