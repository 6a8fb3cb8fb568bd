#include "support/GlContext.h"

#include "velmora/Renderer.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

using namespace velmora;

namespace testsupport {

bool runningInCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::strcmp(ci, "true") == 0;
}

bool displayAvailable() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

bool acquireGlContext(std::string& why) {
    static GLFWwindow* window = nullptr;
    static std::string failure;
    if (window != nullptr) {
        glfwMakeContextCurrent(window);
        return true;
    }
    if (!failure.empty()) {
        why = failure;
        return false;
    }
    // Connecting to the test X server now and then fails for a moment while
    // other test processes come and go; a few spaced attempts ride that out.
    bool initialised = false;
    for (int attempt = 0; attempt < 5 && !initialised; ++attempt) {
        if (attempt > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        initialised = glfwInit() == GLFW_TRUE;
    }
    if (!initialised) {
        why = failure = "glfwInit failed (no usable display?)";
        return false;
    }
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    window = glfwCreateWindow(64, 64, "velmora test", nullptr, nullptr);
    glfwDefaultWindowHints();
    if (window == nullptr) {
        why = failure = "could not create a window with an OpenGL context";
        return false;
    }
    glfwMakeContextCurrent(window);
    Renderer renderer;
    if (renderer.init() != 0) {
        why = failure = "GLEW could not load the OpenGL entry points";
        return false;
    }
    const GlVersion version = Renderer::contextVersion();
    if (!meetsRequiredVersion(version)) {
        why = failure = "the context is OpenGL " + std::to_string(version.major) + "." +
                        std::to_string(version.minor) + ", 4.5 is needed";
        return false;
    }
    return true;
}

} // namespace testsupport
