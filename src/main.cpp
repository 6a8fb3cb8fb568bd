// Velmora Demoengine: the bus-stop reaction game.
#include "engine/Application.h"
#include "game/Scene.h"

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    const bool fullscreen = fullscreenFromArguments(argc, argv, std::cout);
    Application& application = Application::instance();
    application.setSceneHooks(sceneHooks());
    if (!application.init(fullscreen)) {
        return EXIT_FAILURE;
    }
    application.run();
    return EXIT_SUCCESS;
}
