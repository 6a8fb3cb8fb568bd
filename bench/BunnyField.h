// BunnyField: the moving sprites of the bunnymark. Each sprite starts at a
// random place inside the field with a random velocity, falls under gravity,
// bounces off the floor losing some of its speed and off both side walls;
// nothing stops it above the top. Coordinates are pixels with y growing
// upward from the floor, positions are a sprite's lower-left corner. The LÖVE
// bunnymark (bench/love-bunnymark/main.lua) moves its sprites by the same
// rules, so that both programs draw the same scene.
#pragma once

#include <cstddef>
#include <vector>

struct Bunny {
    float x = 0.0f;
    float y = 0.0f;
    float vx = 0.0f; // pixels per second
    float vy = 0.0f;
};

class BunnyField {
  public:
    static constexpr float kGravity = 600.0f;       // pixels per second squared
    static constexpr float kFloorBounce = 0.85f;    // speed kept by a bounce off the floor
    static constexpr float kMaxStep = 1.0f / 30.0f; // seconds; longer frames are cut to this
    static constexpr float kMaxStartSpeed = 250.0f; // pixels per second, each axis

    // `count` sprites of `spriteSize` pixels square in a field of
    // width × height pixels, placed with the standard library's rand().
    BunnyField(std::size_t count, float width, float height, float spriteSize);

    // Advances every sprite by `seconds`, cut to kMaxStep.
    void step(double seconds);

    const std::vector<Bunny>& bunnies() const { return sprites; }
    std::vector<Bunny>& bunnies() { return sprites; }

  private:
    std::vector<Bunny> sprites;
    float right = 0.0f; // the largest x a sprite's corner may take
};
