#include "engine/platform/web/WebPage.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cmath>

namespace velmora::web {

bool fitCanvasToPage(CanvasSize& size) {
    double cssWidth = 0.0;
    double cssHeight = 0.0;
    if (emscripten_get_element_css_size("#canvas", &cssWidth, &cssHeight) != EMSCRIPTEN_RESULT_SUCCESS) {
        return false;
    }
    const double ratio = emscripten_get_device_pixel_ratio();
    const int pixelWidth = static_cast<int>(std::lround(cssWidth * ratio));
    const int pixelHeight = static_cast<int>(std::lround(cssHeight * ratio));
    const int pageWidth = static_cast<int>(std::lround(cssWidth));
    const int pageHeight = static_cast<int>(std::lround(cssHeight));
    if (pixelWidth <= 0 || pixelHeight <= 0 || pageWidth <= 0 || pageHeight <= 0) {
        return false;
    }
    int shownWidth = 0;
    int shownHeight = 0;
    emscripten_get_canvas_element_size("#canvas", &shownWidth, &shownHeight);
    bool changed = pixelWidth != shownWidth || pixelHeight != shownHeight;
    if (changed) {
        emscripten_set_canvas_element_size("#canvas", pixelWidth, pixelHeight);
    }
    // Emscripten's GLFW reports its own record of the window's sizes, and
    // rewrites it (and the canvas) when it thinks the page changed. Older
    // ones keep one size, in the canvas's pixels, which is also what their
    // cursor comes in. Newer ones keep a framebuffer size besides, and give
    // the window's size and the cursor in CSS pixels; left alone, they size
    // the canvas to its CSS pixels and would have the picture drawn at that
    // size, into a corner of a canvas of a higher ratio.
    const int record = EM_ASM_INT({
        var active = (typeof GLFW !== 'undefined') ? GLFW.active : null;
        if (!active) {
            return 0;
        }
        var split = 'framebufferWidth' in active;
        var width = split ? $2 : $0;
        var height = split ? $3 : $1;
        var changed = active.width !== width || active.height !== height;
        active.width = width;
        active.height = height;
        if (split) {
            changed = changed || active.framebufferWidth !== $0 || active.framebufferHeight !== $1;
            active.framebufferWidth = $0;
            active.framebufferHeight = $1;
        }
        return (changed ? 1 : 0) | (split ? 2 : 0);
    }, pixelWidth, pixelHeight, pageWidth, pageHeight);
    changed = changed || (record & 1) != 0;
    if (!changed) {
        return false;
    }
    const bool split = (record & 2) != 0;
    size.windowWidth = split ? pageWidth : pixelWidth;
    size.windowHeight = split ? pageHeight : pixelHeight;
    size.pixelWidth = pixelWidth;
    size.pixelHeight = pixelHeight;
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

