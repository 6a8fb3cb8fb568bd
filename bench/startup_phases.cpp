// startup_phases: where the game's start-up time goes. It repeats the game's
// start-up, phase by phase and with the engine's own calls in the game's
// order (window and context, GLEW, the atlas and its ten sprites, the sprite
// shader, the sound engine and the eleven sounds, the font, the first frame),
// and prints the wall time of each phase in milliseconds:
//
//   phase <key> <milliseconds>
//
// Run it from the directory that holds data/, in a fresh process per
// measurement (the engine's registries and singletons live for the process).
// Launched through bench_launch, it also reports the time from before exec to
// the start of main.
#include "velmora/Application.h"
#include "velmora/Camera.h"
#include "velmora/Renderer.h"
#include "velmora/Shader.h"
#include "velmora/SoundManager.h"
#include "velmora/Sprite.h"
#include "velmora/TextRenderer.h"
#include "velmora/Texture.h"
#include "velmora/Viewport.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <stb_image.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

using namespace velmora;

namespace {

double nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double phaseStart = 0.0;

void begin() {
    phaseStart = nowMs();
}

void end(const char* key) {
    std::printf("phase %s %.3f\n", key, nowMs() - phaseStart);
}

// The game's ten sprites, in the order the scene creates them.
const char* const kSprites[10][2] = {
    {"Bus", "Bussi5.png"},
    {"BusFull", "Bussi5_full.png"},
    {"BusStopTitle", "pysakki.png"},
    {"BusStopTitleGame", "pysakki_peli.png"},
    {"Background", "tausta_ukkeli.png"},
    {"BackgroundEmpty", "tausta.png"},
    {"Title", "title.png"},
    {"GaugeBg", "gauge.png"},
    {"GaugePointer", "pointer.png"},
    {"PressSpace", "press.png"},
};

const char* const kSounds[] = {"grunt1.mp3",   "grunt2.mp3",   "grunt3.mp3",  "grunt4.mp3",
                               "bus_miss.mp3", "bus_stop.mp3", "succes1.mp3", "succes2.mp3"};

// The first frame the player sees: the first title picture through the
// game's camera, then the swap; glFinish waits until it is really done.
void drawFirstFrame(GLFWwindow* window, Renderer& renderer, Shader* shader, Sprite* title) {
    renderer.clear();
    Camera camera;
    camera.ortho(0.0f, 1.333f, 0.0f, 1.0f, -1.0f, 1.0f);
    camera.scale(4.28f, 5.23f, 1.0f);
    camera.translate(Vec3{0.0f, 0.0f, 0.0f});
    camera.upload(shader->programId);
    textureRegistry["atlas"]->bind();
    shader->use();
    shader->setInt("texture", 0);
    title->draw(shader);
    glfwSwapBuffers(window);
    glFinish();
}

} // namespace

int main() {
    const double mainStart = nowMs();
    if (const char* launched = std::getenv("SWAPCOUNT_T0_NS")) {
        const double launchMs = static_cast<double>(std::strtoull(launched, nullptr, 10)) / 1e6;
        std::printf("phase exec_to_main %.3f\n", mainStart - launchMs);
    }

    begin();
    // As Application::init: with only an X display named, no Wayland probe.
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* x11 = std::getenv("DISPLAY");
    if (x11 != nullptr && *x11 != '\0' && (wayland == nullptr || *wayland == '\0') &&
        glfwPlatformSupported(GLFW_PLATFORM_X11) == GLFW_TRUE) {
        glfwInitHint(GLFW_PLATFORM, GLFW_PLATFORM_X11);
    }
    if (glfwInit() != GLFW_TRUE) {
        std::fprintf(stderr, "startup_phases: no GLFW\n");
        return EXIT_FAILURE;
    }
    end("glfw_init");

    begin();
    glfwWindowHint(GLFW_DEPTH_BITS, 0); // as the engine asks
    glfwWindowHint(GLFW_STENCIL_BITS, 0);
    GLFWwindow* window =
        glfwCreateWindow(kWindowedWidth, kWindowedHeight, kWindowTitle, nullptr, nullptr);
    if (window == nullptr) {
        std::fprintf(stderr, "startup_phases: no window\n");
        return EXIT_FAILURE;
    }
    glfwMakeContextCurrent(window);
    glfwSetKeyCallback(window, Application::keyCallback);
    end("window_and_context");

    begin();
    Renderer renderer;
    renderer.init();
    const Viewport viewport = letterboxViewport(kWindowedWidth, kWindowedHeight);
    glViewport(viewport.x, viewport.y, viewport.width, viewport.height);
    end("glew_and_viewport");

    // The scene's first sprite loads the atlas image; the other nine only cut
    // their quads. The image is loaded here, under the same name, so that
    // its decode and upload show apart from the sprites.
    begin();
    Texture::load("atlas.png");
    end("atlas_image");

    begin();
    Sprite* sprites[10] = {};
    for (int i = 0; i < 10; ++i) {
        sprites[i] = new Sprite();
        sprites[i]->loadFromAtlas(kSprites[i][0], "atlas", kSprites[i][1]);
    }
    end("ten_sprites");

    begin();
    Shader* shader = Shader::load("textured.glsl");
    if (shader == nullptr) {
        return EXIT_FAILURE;
    }
    shader->use();
    end("sprite_shader");

    begin();
    SoundManager& sound = SoundManager::instance();
    end("sound_engine");

    begin();
    sound.loadSound("stab.mp3");
    sound.loadSound("loop.mp3");
    sound.play("loop.mp3", true);
    for (const char* name : kSounds) {
        sound.loadSound(name);
    }
    end("eleven_sounds");

    begin();
    textRenderer.init();
    textRenderer.loadFont("font.png", "font.csv");
    end("font");

    begin();
    drawFirstFrame(window, renderer, shader, sprites[6]);
    end("first_frame");

    std::printf("phase total %.3f\n", nowMs() - mainStart);

    // Not part of the game's start-up: the atlas PNG decode alone, to tell
    // the decoder's share of atlas_image from the upload's.
    begin();
    int w = 0, h = 0, channels = 0;
    unsigned char* pixels = stbi_load("data/textures/atlas.png", &w, &h, &channels, 0);
    end("atlas_decode_only");
    stbi_image_free(pixels);
    std::printf("atlas %dx%d, %d channels\n", w, h, channels);
    std::fflush(stdout);

    glfwDestroyWindow(window);
    glfwTerminate();
    return EXIT_SUCCESS;
}
