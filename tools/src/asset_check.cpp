// asset_check: verifies the data files that only a GL driver can judge.
//
//   asset_check shaders FILE...     compiles each shader file for both stages
//                                   behind the loader's exact header and links
//                                   it; exit status 1 if any fails.
//   asset_check atlas PNG [RUNS]    times decoding PNG with the engine's
//                                   stb_image build and uploading it the way
//                                   the texture loader does.
//
// It opens a hidden window with the window library's default hints, like the
// game, so the context is the one the game would get.
#include "ShaderCheck.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <stb_image.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <time.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double millisSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of the whole process (all threads), in milliseconds. On a shared
// machine this tracks the work done better than the wall clock does.
double cpuMillis() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1.0e6;
}

struct Timings {
    std::vector<double> wall;
    std::vector<double> cpu;

    void print(const char* what) {
        std::sort(wall.begin(), wall.end());
        std::sort(cpu.begin(), cpu.end());
        std::printf("  %s ms: wall min %.1f median %.1f max %.1f; cpu min %.1f median %.1f\n", what,
                    wall.front(), wall[wall.size() / 2], wall.back(), cpu.front(),
                    cpu[cpu.size() / 2]);
    }
};

bool readFile(const char* path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    out = text.str();
    return true;
}

bool checkShader(const char* path) {
    std::string text;
    if (!readFile(path, text)) {
        std::printf("%s: cannot read\n", path);
        return false;
    }
    ShaderCheck check(text);
    std::printf("%s: %s\n%s", path, check.ok() ? "ok" : "FAILED", check.report().c_str());
    return check.ok();
}

bool timeAtlas(const char* path, int runs) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    double megabytes = in ? static_cast<double>(in.tellg()) / (1024.0 * 1024.0) : 0.0;
    Timings decode;
    Timings upload;
    int w = 0, h = 0, n = 0;
    for (int run = 0; run < runs; ++run) {
        Clock::time_point start = Clock::now();
        double cpuStart = cpuMillis();
        unsigned char* pixels = stbi_load(path, &w, &h, &n, 0);
        decode.wall.push_back(millisSince(start));
        decode.cpu.push_back(cpuMillis() - cpuStart);
        if (!pixels) {
            std::printf("%s: cannot decode\n", path);
            return false;
        }
        start = Clock::now();
        cpuStart = cpuMillis();
        GLuint texture = 0;
        glCreateTextures(GL_TEXTURE_2D, 1, &texture);
        glTextureParameteri(texture, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTextureParameteri(texture, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTextureStorage2D(texture, 1, n == 4 ? GL_RGBA8 : GL_RGB8, w, h);
        glTextureSubImage2D(texture, 0, 0, 0, w, h, n == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE,
                            pixels);
        glGenerateTextureMipmap(texture);
        glFinish();
        upload.wall.push_back(millisSince(start));
        upload.cpu.push_back(cpuMillis() - cpuStart);
        glDeleteTextures(1, &texture);
        stbi_image_free(pixels);
    }
    std::printf("%s: %dx%d, %d channels, %.2f MB file, %.1f MB pixels\n", path, w, h, n, megabytes,
                static_cast<double>(w) * h * n / (1024.0 * 1024.0));
    // The game decodes once, in a fresh process: the first run pays for the
    // fresh memory (page faults) that later runs may find recycled.
    std::printf("  first run: decode wall %.1f cpu %.1f ms, upload wall %.1f cpu %.1f ms\n",
                decode.wall[0], decode.cpu[0], upload.wall[0], upload.cpu[0]);
    std::printf("  %d runs\n", runs);
    decode.print("decode");
    upload.print("upload");
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: asset_check shaders FILE... | atlas PNG [RUNS]\n");
        return 2;
    }
    if (!glfwInit()) {
        std::fprintf(stderr, "asset_check: no window system\n");
        return 1;
    }
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    GLFWwindow* window = glfwCreateWindow(64, 64, "asset_check", nullptr, nullptr);
    if (!window) {
        std::fprintf(stderr, "asset_check: no GL context\n");
        glfwTerminate();
        return 1;
    }
    glfwMakeContextCurrent(window);
    glewInit();
    std::printf("GL %s, %s\n", reinterpret_cast<const char*>(glGetString(GL_VERSION)),
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

    bool ok = true;
    std::string mode = argv[1];
    if (mode == "shaders") {
        for (int i = 2; i < argc; ++i) {
            ok = checkShader(argv[i]) && ok;
        }
    } else if (mode == "atlas") {
        ok = timeAtlas(argv[2], argc > 3 ? std::max(1, std::atoi(argv[3])) : 5);
    } else {
        std::fprintf(stderr, "asset_check: unknown mode %s\n", argv[1]);
        ok = false;
    }
    glfwDestroyWindow(window);
    glfwTerminate();
    return ok ? 0 : 1;
}
