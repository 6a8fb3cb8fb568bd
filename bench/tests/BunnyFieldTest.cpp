// The bunnymark's motion: sprites must start inside the field, fall, bounce
// off the floor with 0.85 of their speed and off both walls, and never take a
// longer step than 1/30 s, or the engine and LÖVE would not draw the same
// scene.
#include "BunnyField.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(BunnyField, StartsEverySpriteInsideTheFieldWithABoundedVelocity) {
    const BunnyField field(500, 1024.0f, 768.0f, 32.0f);
    ASSERT_EQ(field.bunnies().size(), 500u);
    int movingSideways = 0;
    for (const Bunny& bunny : field.bunnies()) {
        EXPECT_GE(bunny.x, 0.0f);
        EXPECT_LE(bunny.x, 992.0f);
        EXPECT_GE(bunny.y, 0.0f);
        EXPECT_LE(bunny.y, 736.0f);
        EXPECT_LE(std::abs(bunny.vx), BunnyField::kMaxStartSpeed);
        EXPECT_LE(std::abs(bunny.vy), BunnyField::kMaxStartSpeed);
        movingSideways += bunny.vx != 0.0f ? 1 : 0;
    }
    EXPECT_GT(movingSideways, 490);
}

TEST(BunnyField, FallsBouncesOffTheFloorAndTheWallsAndCapsTheStep) {
    const float dt = 1.0f / 30.0f;
    BunnyField field(4, 100.0f, 100.0f, 10.0f);
    std::vector<Bunny>& b = field.bunnies();
    b[0] = {50.0f, 50.0f, 30.0f, 0.0f};  // in the air
    b[1] = {20.0f, 0.1f, 0.0f, -300.0f}; // about to hit the floor
    b[2] = {89.0f, 50.0f, 300.0f, 0.0f}; // about to hit the right wall
    b[3] = {1.0f, 50.0f, -300.0f, 0.0f}; // about to hit the left wall
    field.step(1.0);                     // a whole second is cut to 1/30 s

    EXPECT_NEAR(b[0].vy, -600.0f * dt, 1e-3f);
    EXPECT_NEAR(b[0].x, 50.0f + 30.0f * dt, 1e-3f);
    EXPECT_NEAR(b[0].y, 50.0f - 600.0f * dt * dt, 1e-3f);

    EXPECT_EQ(b[1].y, 0.0f);
    EXPECT_NEAR(b[1].vy, (300.0f + 600.0f * dt) * 0.85f, 1e-2f);

    EXPECT_EQ(b[2].x, 90.0f);
    EXPECT_EQ(b[2].vx, -300.0f);
    EXPECT_EQ(b[3].x, 0.0f);
    EXPECT_EQ(b[3].vx, 300.0f);
}

} // namespace
