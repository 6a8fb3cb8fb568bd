#include "velmora/Canvas.h"

#include "velmora/Atlas.h"

#include "engine/GlState.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <utility>

namespace velmora {

namespace {

// The framebuffers of the canvases begun now, innermost last. One context
// draws at a time, from one thread.
std::vector<unsigned int> begunCanvases;

// The longest side a canvas may have: its texture and, were it a
// renderbuffer, its storage both have to fit.
int largestSide() {
    GLint textureSide = 0;
    GLint renderbufferSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &textureSide);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbufferSide);
    return std::min(textureSide, renderbufferSide);
}

bool sizeAcceptable(int width, int height) {
    const int largest = largestSide();
    if (textureSizeAcceptable(width, height, largest)) {
        return true;
    }
    std::cerr << "Canvas of " << width << " x " << height
              << " pixels refused: each side takes 1 to " << largest << " pixels, at most "
              << kMaxTexturePixels << " pixels in all" << std::endl;
    return false;
}

// A texture of one transparent texel, which shows nothing wherever drawn:
// what an invalid canvas offers in place of its pixels.
GLuint makeEmptyTexture() {
    GLuint texture = 0;
    glCreateTextures(GL_TEXTURE_2D, 1, &texture);
    glTextureStorage2D(texture, 1, GL_RGBA8, 1, 1);
    const float transparent[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glClearTexImage(texture, 0, GL_RGBA, GL_FLOAT, transparent);
    return texture;
}

} // namespace

Canvas::Canvas(int width, int height)
    : pixels(std::make_unique<Texture>()), picture(std::make_shared<Atlas>()) {
    glCreateFramebuffers(1, &framebuffer);
    // Without an attachment the framebuffer is still complete at this size,
    // and takes what an invalid canvas is given to draw without keeping it.
    glNamedFramebufferParameteri(framebuffer, GL_FRAMEBUFFER_DEFAULT_WIDTH, 1);
    glNamedFramebufferParameteri(framebuffer, GL_FRAMEBUFFER_DEFAULT_HEIGHT, 1);
    if (!sizeAcceptable(width, height) || !allocate(width, height)) {
        pixels->textureId = makeEmptyTexture();
    }
}

Canvas::~Canvas() {
    release();
}

Canvas::Canvas(Canvas&& other) noexcept
    : pixelWidth(std::exchange(other.pixelWidth, 0)),
      pixelHeight(std::exchange(other.pixelHeight, 0)),
      framebuffer(std::exchange(other.framebuffer, 0)), pixels(std::move(other.pixels)),
      picture(std::move(other.picture)), filtering(other.filtering),
      isBegun(std::exchange(other.isBegun, false)), outerFramebuffer(other.outerFramebuffer) {
    std::memcpy(outerViewport, other.outerViewport, sizeof outerViewport);
}

Canvas& Canvas::operator=(Canvas&& other) noexcept {
    if (this != &other) {
        release();
        pixelWidth = std::exchange(other.pixelWidth, 0);
        pixelHeight = std::exchange(other.pixelHeight, 0);
        framebuffer = std::exchange(other.framebuffer, 0);
        pixels = std::move(other.pixels);
        picture = std::move(other.picture);
        filtering = other.filtering;
        isBegun = std::exchange(other.isBegun, false);
        outerFramebuffer = other.outerFramebuffer;
        std::memcpy(outerViewport, other.outerViewport, sizeof outerViewport);
    }
    return *this;
}

void Canvas::release() {
    if (isBegun) {
        end();
        // Ended out of order, it is still gone: the canvases begun inside it
        // go back to a framebuffer that no longer exists.
        begunCanvases.erase(std::remove(begunCanvases.begin(), begunCanvases.end(), framebuffer),
                            begunCanvases.end());
        isBegun = false;
    }
    if (picture != nullptr) {
        picture->showWhole(nullptr, 0, 0, Rect{}, "");
    }
    // A canvas that outlives its window has nothing left to delete: the
    // context took its objects with it.
    if (glfwGetCurrentContext() != nullptr) {
        if (pixels != nullptr) {
            glDeleteTextures(1, &pixels->textureId);
        }
        glDeleteFramebuffers(1, &framebuffer);
    }
    framebuffer = 0;
    pixelWidth = 0;
    pixelHeight = 0;
}

bool Canvas::allocate(int width, int height) {
    GLuint texture = 0;
    glCreateTextures(GL_TEXTURE_2D, 1, &texture);
    glTextureStorage2D(texture, 1, GL_RGBA8, width, height);
    glTextureParameteri(texture, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTextureParameteri(texture, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glNamedFramebufferTexture(framebuffer, GL_COLOR_ATTACHMENT0, texture, 0);
    if (glCheckNamedFramebufferStatus(framebuffer, GL_DRAW_FRAMEBUFFER) !=
        GL_FRAMEBUFFER_COMPLETE) {
        std::cerr << "Canvas of " << width << " x " << height
                  << " pixels refused: the driver cannot draw into it" << std::endl;
        // The canvas stays as it was: a valid one draws into its pixels again.
        glNamedFramebufferTexture(framebuffer, GL_COLOR_ATTACHMENT0,
                                  valid() ? pixels->textureId : 0, 0);
        glDeleteTextures(1, &texture);
        return false;
    }
    const float transparent[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glClearTexImage(texture, 0, GL_RGBA, GL_FLOAT, transparent);
    glDeleteTextures(1, &pixels->textureId);
    *pixels = Texture{texture, static_cast<unsigned int>(width), static_cast<unsigned int>(height)};
    pixels->setFilter(filtering);
    pixelWidth = width;
    pixelHeight = height;
    picture->showWhole(pixels.get(), width, height, texCoords(), "canvas");
    return true;
}

void Canvas::begin() {
    if (framebuffer == 0 || isBegun) {
        std::cerr << (isBegun ? "Canvas::begin: the canvas is begun already"
                              : "Canvas::begin: the canvas was moved away")
                  << std::endl;
        return;
    }
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &outerFramebuffer);
    glGetIntegerv(GL_VIEWPORT, outerViewport);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, std::max(pixelWidth, 1), std::max(pixelHeight, 1));
    begunCanvases.push_back(framebuffer);
    isBegun = true;
}

void Canvas::end() {
    if (!isBegun || begunCanvases.empty() || begunCanvases.back() != framebuffer) {
        std::cerr << (isBegun ? "Canvas::end: a canvas begun inside this one is not ended"
                              : "Canvas::end: the canvas is not begun")
                  << std::endl;
        return;
    }
    begunCanvases.pop_back();
    isBegun = false;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(outerFramebuffer));
    glViewport(outerViewport[0], outerViewport[1], outerViewport[2], outerViewport[3]);
}

void Canvas::clear(const Vec4& colour) {
    if (valid()) {
        const float rgba[4] = {colour.x, colour.y, colour.z, colour.w};
        glClearTexImage(pixels->textureId, 0, GL_RGBA, GL_FLOAT, rgba);
    }
}

bool Canvas::resize(int width, int height) {
    if (framebuffer == 0 || isBegun) {
        std::cerr << (isBegun ? "Canvas::resize: refused while the canvas is begun"
                              : "Canvas::resize: the canvas was moved away")
                  << std::endl;
        return false;
    }
    if (width == pixelWidth && height == pixelHeight) {
        return true;
    }
    return sizeAcceptable(width, height) && allocate(width, height);
}

std::vector<unsigned char> Canvas::readPixels() const {
    if (!valid()) {
        return {};
    }
    const std::size_t row = static_cast<std::size_t>(pixelWidth) * 4;
    std::vector<unsigned char> bottomFirst(row * static_cast<std::size_t>(pixelHeight));
    {
        const PackStateKeeper packState;
        glGetTextureImage(pixels->textureId, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                          static_cast<GLsizei>(bottomFirst.size()), bottomFirst.data());
    }
    std::vector<unsigned char> topFirst(bottomFirst.size());
    for (int y = 0; y < pixelHeight; ++y) {
        std::copy_n(&bottomFirst[row * static_cast<std::size_t>(pixelHeight - 1 - y)], row,
                    &topFirst[row * static_cast<std::size_t>(y)]);
    }
    return topFirst;
}

void Canvas::setFilter(Filter filter) {
    filtering = filter;
    if (valid()) {
        pixels->setFilter(filter);
    }
}

} // namespace velmora
