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

void offerDownload(const std::string& path) {
    EM_ASM({
        var path = UTF8ToString($0);
        try {
            var link = document.createElement('a');
            link.href = URL.createObjectURL(new Blob([FS.readFile(path)]));
            link.download = path.split('/').pop();
            document.body.appendChild(link);
            link.click();
            link.remove();
            setTimeout(function () { URL.revokeObjectURL(link.href); }, 60000);
        } catch (error) {
            console.error('Cannot hand ' + path + ' to the browser: ' + error);
        }
    }, path.c_str());
}

void setFullscreen(bool on) {
    EM_ASM({
        var root = document.documentElement;
        var pending = Module.velmoraFullscreenAtGesture;
        if (pending) {
            window.removeEventListener('keydown', pending, true);
            window.removeEventListener('mousedown', pending, true);
            Module.velmoraFullscreenAtGesture = null;
        }
        if (!$0) {
            if (document.fullscreenElement && document.exitFullscreen) {
                document.exitFullscreen().catch(function () {});
            }
            return;
        }
        if (document.fullscreenElement || !root.requestFullscreen) {
            return;
        }
        var atGesture = function () {
            window.removeEventListener('keydown', atGesture, true);
            window.removeEventListener('mousedown', atGesture, true);
            Module.velmoraFullscreenAtGesture = null;
            root.requestFullscreen().catch(function () {});
        };
        // Without the player's gesture under way the browser refuses: wait
        // for the next one.
        if (navigator.userActivation && navigator.userActivation.isActive) {
            root.requestFullscreen().catch(function () {});
        } else {
            Module.velmoraFullscreenAtGesture = atGesture;
            window.addEventListener('keydown', atGesture, true);
            window.addEventListener('mousedown', atGesture, true);
        }
    }, on ? 1 : 0);
}

bool isFullscreen() {
    return EM_ASM_INT({ return document.fullscreenElement ? 1 : 0; }) != 0;
}

void endPage() {
    emscripten_cancel_main_loop();
    setFullscreen(false);
    EM_ASM({
        if (window.miniaudio && window.miniaudio.devices) {
            window.miniaudio.devices.forEach(function (device) {
                if (device && device.webaudio) {
                    device.webaudio.suspend();
                }
            });
        }
        var note = document.getElementById('note');
        if (!note) {
            note = document.createElement('div');
            note.id = 'note';
            note.style.cssText = 'position: fixed; left: 0; right: 0; top: 0; padding: 4px 8px;' +
                                 ' color: #ccc; background: #000; text-align: center;';
            document.body.appendChild(note);
        }
        note.textContent = 'The game has ended. Reload the page to play again.';
        note.className = 'ended';
    });
}

} // namespace velmora::web

