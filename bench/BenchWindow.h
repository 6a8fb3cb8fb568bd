// BenchWindow: the window of the comparison programs, opened the way the game
// opens its own (GLFW's default hints; full screen on the primary monitor at
// its current mode, or 1024×768 with the argument "windowed"; letter-boxed
// 4:3 viewport; Escape closes), but written out here without any engine code
// so that the comparison measures only what the programs draw.
#pragma once

#include <GLFW/glfw3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bench {

inline void closeOnEscape(GLFWwindow* window, int key, int, int action, int) {
    if (key == GLFW_KEY_ESCAPE && action == GLFW_PRESS) {
        glfwSetWindowShouldClose(window, GLFW_TRUE);
    }
}

// As the game does: with only an X display named, skip GLFW's Wayland probe.
inline void preferX11WhenOnlyXIsNamed() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* x11 = std::getenv("DISPLAY");
    if (x11 != nullptr && *x11 != '\0' && (wayland == nullptr || *wayland == '\0') &&
        glfwPlatformSupported(GLFW_PLATFORM_X11) == GLFW_TRUE) {
        glfwInitHint(GLFW_PLATFORM, GLFW_PLATFORM_X11);
    }
}

// Opens the window and makes its context current; null (after a message on
// standard error) when that is impossible. `width`/`height` receive its size.
inline GLFWwindow* openBenchWindow(int argc, char** argv, const char* title, int& width,
                                   int& height) {
    const bool fullscreen = !(argc >= 2 && std::strcmp(argv[1], "windowed") == 0);
    preferX11WhenOnlyXIsNamed();
    if (glfwInit() != GLFW_TRUE) {
        std::fprintf(stderr, "Failed to initialize GLFW\n");
        return nullptr;
    }
    GLFWmonitor* monitor = nullptr;
    width = 1024;
    height = 768;
    if (fullscreen) {
        monitor = glfwGetPrimaryMonitor();
        const GLFWvidmode* mode = monitor != nullptr ? glfwGetVideoMode(monitor) : nullptr;
        if (mode == nullptr) {
            std::fprintf(stderr, "No monitor to go full screen on\n");
            glfwTerminate();
            return nullptr;
        }
        width = mode->width;
        height = mode->height;
    }
    // The engine's window: no depth or stencil buffer.
    glfwWindowHint(GLFW_DEPTH_BITS, 0);
    glfwWindowHint(GLFW_STENCIL_BITS, 0);
    GLFWwindow* window = glfwCreateWindow(width, height, title, monitor, nullptr);
    if (window == nullptr) {
        std::fprintf(stderr, "Failed to create GLFW window\n");
        glfwTerminate();
        return nullptr;
    }
    glfwMakeContextCurrent(window);
    glfwSetKeyCallback(window, closeOnEscape);
    return window;
}

// The largest centred 4:3 rectangle, in 32-bit float with truncation, as the
// game computes its viewport.
inline void setLetterboxViewport(int width, int height) {
    const float aspect = 4.0f / 3.0f;
    const float ratio = static_cast<float>(width) / static_cast<float>(height);
    if (ratio > aspect) {
        const int w = static_cast<int>(static_cast<float>(height) * aspect);
        glViewport((width - w) / 2, 0, w, height);
    } else {
        const int h = static_cast<int>(static_cast<float>(width) / aspect);
        glViewport(0, (height - h) / 2, width, h);
    }
}

} // namespace bench
