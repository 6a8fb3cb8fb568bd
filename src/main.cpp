// Velmora Demoengine: the bus-stop reaction game.
#include "velmora/Application.h"
#include "velmora/SoundManager.h"
#include "game/Scene.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#ifdef _WIN32
#include <filesystem>
#include <system_error>
#endif

using namespace velmora;

namespace {

// The audio device's thread is stuck inside the audio library, so the
// ordinary exit, which would free and unload what that thread still uses,
// cannot be risked. The window and GLFW close as usual, the console is
// flushed, and the process ends here, successfully: quitting worked.
void quitWithoutTheAudioDevice() {
    Application::instance().shutDown();
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(EXIT_SUCCESS);
}

// The bus game's window: named after the engine, 1024×768 when windowed,
// letterboxed to the picture's 4:3 on black, the frame clock in the title,
// Escape quits, the cursor hidden and held in full screen, the driver's own
// swap interval, GLFW's default depth and stencil buffers, and the assets
// under data/ of the working directory.
ApplicationSettings gameSettings() {
    ApplicationSettings settings;
    settings.title = "Velmora Demoengine";
    settings.windowedWidth = 1024;
    settings.windowedHeight = 768;
    settings.aspect = kPictureAspect;
    settings.clockInTitle = true;
    settings.escapeQuits = true;
    settings.clearColour = Vec4{0.0f, 0.0f, 0.0f, 1.0f};
    settings.vsync = Vsync::DriverDefault;
    settings.dataDirectory = "data";
    settings.captureCursor = true;
    // The window the bus game has always had: GLFW's own depth and stencil
    // buffers, which it never uses.
    settings.depthBits = kGlfwDefaultDepthBits;
    settings.stencilBits = kGlfwDefaultStencilBits;
    return settings;
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // data/ lies beside the program, which a player starts from anywhere (a
    // shortcut, another folder's console): as the Linux launcher does, the
    // game runs in its own folder.
    std::error_code ignored;
    std::filesystem::current_path(std::filesystem::u8path(Application::executableDirectory()),
                                  ignored);
#endif
    const bool fullscreen = fullscreenFromArguments(argc, argv, std::cout);
    Application& application = Application::instance();
    application.setSceneHooks(sceneHooks());
    SoundManager::setStuckShutdownHandler(quitWithoutTheAudioDevice);
    if (!application.init(fullscreen, gameSettings())) {
        return EXIT_FAILURE;
    }
    application.run();
    return EXIT_SUCCESS;
}
