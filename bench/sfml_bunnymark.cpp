// The SFML bunnymark: the same benchmark as bench/bunnymark.cpp, written for
// SFML 2.5 as one of its users would write it. COUNT sprites, all showing the
// gauge's pointer cut from the game's atlas and stretched to a square of
// PIXELS (32 unless --size says otherwise), move by the rules of BunnyField
// and are drawn each frame as one sf::VertexArray of textured quads, in one
// draw call, in a 1024×768 window without vsync. After SECONDS it prints
//
//   COUNT sprites F frames/s C ms CPU/frame
//
// with F the average frame rate after the first second and C the CPU time of
// all the process's threads per frame over the same span, and quits. Run from
// the repository root:
//
//   sfml_bunnymark [--size PIXELS] COUNT SECONDS
#include "BunnyField.h"

#include <SFML/Graphics.hpp>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr const char* kPicture = "pointer.png";
constexpr const char* kAtlasDir = "data/textures/";
constexpr unsigned int kWidth = 1024;
constexpr unsigned int kHeight = 768;
constexpr double kWarmUpSeconds = 1.0;

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The picture's rectangle in texels of the atlas image, matched as the
// engine's sprites match a name: the first line whose name occurs within it.
bool findPicture(const sf::Vector2u& image, sf::FloatRect& rect) {
    std::ifstream description(std::string(kAtlasDir) + "atlas.txt");
    std::string line;
    while (std::getline(description, line)) {
        std::istringstream fields(line);
        std::string name;
        float x = 0, y = 0, w = 0, h = 0;
        if (fields >> name >> x >> y >> w >> h &&
            std::string(kPicture).find(name) != std::string::npos) {
            rect = {x * image.x, y * image.y, w * image.x, h * image.y};
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    int count = -1;
    double seconds = 0.0;
    float size = 32.0f;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
            size = static_cast<float>(std::atof(argv[++i]));
        } else if (positional == 0) {
            count = std::atoi(argv[i]);
            ++positional;
        } else if (positional == 1) {
            seconds = std::atof(argv[i]);
            ++positional;
        } else {
            positional = 3;
        }
    }
    if (positional != 2 || count < 0 || seconds <= kWarmUpSeconds || size <= 0.0f) {
        std::fprintf(stderr, "usage: sfml_bunnymark [--size PIXELS] COUNT SECONDS\n"
                             "       (SECONDS more than 1; run from the directory holding data/)\n");
        return EXIT_FAILURE;
    }

    sf::RenderWindow window(sf::VideoMode(kWidth, kHeight), "SFML bunnymark",
                            sf::Style::Titlebar | sf::Style::Close);
    window.setVerticalSyncEnabled(false);
    sf::Texture texture;
    if (!texture.loadFromFile(std::string(kAtlasDir) + "atlas.png")) {
        return EXIT_FAILURE;
    }
    texture.setSmooth(true);
    sf::FloatRect picture;
    if (!findPicture(texture.getSize(), picture)) {
        std::fprintf(stderr, "sfml_bunnymark: no picture \"%s\" in the atlas\n", kPicture);
        return EXIT_FAILURE;
    }

    BunnyField field(static_cast<std::size_t>(count), static_cast<float>(kWidth),
                     static_cast<float>(kHeight), size);
    sf::VertexArray quads(sf::Quads, static_cast<std::size_t>(count) * 4);
    const float left = picture.left;
    const float top = picture.top;
    const float right = picture.left + picture.width;
    const float bottom = picture.top + picture.height;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        quads[i * 4 + 0].texCoords = {left, top};
        quads[i * 4 + 1].texCoords = {right, top};
        quads[i * 4 + 2].texCoords = {right, bottom};
        quads[i * 4 + 3].texCoords = {left, bottom};
    }

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    double lastTime = 0.0;
    long counted = 0;
    double firstCounted = 0.0, lastCounted = 0.0, firstCpu = 0.0, lastCpu = 0.0;
    while (window.isOpen()) {
        sf::Event event;
        while (window.pollEvent(event)) {
            if (event.type == sf::Event::Closed ||
                (event.type == sf::Event::KeyPressed && event.key.code == sf::Keyboard::Escape)) {
                window.close();
            }
        }
        const double now = std::chrono::duration<double>(Clock::now() - start).count();
        if (now >= kWarmUpSeconds) {
            if (counted == 0) {
                firstCounted = now;
                firstCpu = cpuSeconds();
            }
            ++counted;
            lastCounted = now;
            lastCpu = cpuSeconds();
        }
        if (now >= seconds) {
            break;
        }
        field.step(now - lastTime);
        lastTime = now;
        // SFML's y grows downward from the top of the window.
        std::size_t i = 0;
        for (const Bunny& bunny : field.bunnies()) {
            const float x = bunny.x;
            const float y = static_cast<float>(kHeight) - size - bunny.y;
            quads[i + 0].position = {x, y};
            quads[i + 1].position = {x + size, y};
            quads[i + 2].position = {x + size, y + size};
            quads[i + 3].position = {x, y + size};
            i += 4;
        }
        window.clear();
        window.draw(quads, &texture);
        window.display();
    }

    double rate = 0.0;
    double cpu = 0.0;
    if (counted > 1 && lastCounted > firstCounted) {
        rate = static_cast<double>(counted - 1) / (lastCounted - firstCounted);
        cpu = (lastCpu - firstCpu) * 1000.0 / static_cast<double>(counted - 1);
    }
    std::printf("%d sprites %.1f frames/s %.2f ms CPU/frame\n", count, rate, cpu);
    std::fflush(stdout);
    return EXIT_SUCCESS;
}
