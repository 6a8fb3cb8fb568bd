// bare_loop: the floor of the frame-rate comparison. A GLFW window whose loop
// only clears to black, swaps and polls: what any program pays per frame on
// this driver before it draws anything.
//
//   bare_loop [windowed]
#include "BenchWindow.h"

#include <cstdlib>

int main(int argc, char** argv) {
    int width = 0;
    int height = 0;
    GLFWwindow* window = bench::openBenchWindow(argc, argv, "bare loop", width, height);
    if (window == nullptr) {
        return EXIT_FAILURE;
    }
    bench::setLetterboxViewport(width, height);
    while (glfwWindowShouldClose(window) != GLFW_TRUE) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glfwSwapBuffers(window);
        glfwPollEvents();
    }
    glfwDestroyWindow(window);
    glfwTerminate();
    return EXIT_SUCCESS;
}
