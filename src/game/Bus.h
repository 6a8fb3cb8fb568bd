// Bus: the one bus of the game, driving along a straight line from its start
// point (progress 0) through its end point (progress 1) and on beyond it.
#pragma once

class Bus {
  public:
    // The one bus, created on first call.
    static Bus& instance();

    // Back to the start point.
    void reset();
    // Drives for dt seconds. Progress is never clamped: past 1 the bus keeps
    // going along the same line, off to the left.
    void update(float dt);

    float speed = 0.5f; // progress per second
    float x = 0.33f;
    float y = 0.05f;
    float startX = 0.33f;
    float startY = 0.05f;
    float endX = -0.25f;
    float endY = 0.0f;
    float progress = 0.0f;

    Bus(const Bus&) = delete;
    Bus& operator=(const Bus&) = delete;

  private:
    Bus() = default;
};
