#include "engine/web/WebPage.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cmath>

namespace velmora::web {

bool fitCanvasToPage(GLFWwindow* /*window*/, int* width, int* height) {
    double cssWidth = 0.0;
    double cssHeight = 0.0;
    if (emscripten_get_element_css_size("#canvas", &cssWidth, &cssHeight) != EMSCRIPTEN_RESULT_SUCCESS) {
        return false;
    }
    const double ratio = emscripten_get_device_pixel_ratio();
    const int wantedWidth = static_cast<int>(std::lround(cssWidth * ratio));
    const int wantedHeight = static_cast<int>(std::lround(cssHeight * ratio));
    int shownWidth = 0;
    int shownHeight = 0;
    emscripten_get_canvas_element_size("#canvas", &shownWidth, &shownHeight);
    if (wantedWidth <= 0 || wantedHeight <= 0 ||
        (wantedWidth == shownWidth && wantedHeight == shownHeight)) {
        return false;
    }
    emscripten_set_canvas_element_size("#canvas", wantedWidth, wantedHeight);
    // Emscripten's GLFW keeps its own idea of the window's size, which
    // glfwGetWindowSize and glfwGetFramebufferSize report; the cursor comes
    // in the canvas's pixels already.
    EM_ASM({
        if (typeof GLFW !== 'undefined' && GLFW.active) {
            GLFW.active.width = $0;
            GLFW.active.height = $1;
        }
    }, wantedWidth, wantedHeight);
    if (width != nullptr) {
        *width = wantedWidth;
    }
    if (height != nullptr) {
        *height = wantedHeight;
    }
    return true;
}

void frameShown() {
    EM_ASM({
        Module.velmoraFrames = (Module.velmoraFrames || 0) + 1;
        if (Module.velmoraFrames === 1) {
            Module.velmoraFirstFrameAt = performance.now();
        }
    });
}

} // namespace velmora::web
