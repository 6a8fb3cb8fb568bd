// Breakout: a small game on the installed Velmora engine, and the second
// walk-through of its API after Bounce (see docs/engine.md in the engine's
// sources).
//
// A paddle at the bottom keeps a ball in play; every brick the ball hits
// fades out and scores. The paddle follows the arrow keys (or A and D) while
// they are held, and the mouse whenever it moves. Space or a click launches
// the ball; Escape quits.
//
// What it shows: pictures packed at start-up from separate PNG files, blended
// drawing (the bricks fade), filled rectangles and lines from the same batch,
// held keys and the mouse, overlapping sounds, and a game whose whole state
// is one object that the hooks capture: no global variables.
//
// It finds its data/ beside the program, so it runs from any folder.
#include <velmora/Application.h>
#include <velmora/Camera.h>
#include <velmora/Font.h>
#include <velmora/Input.h>
#include <velmora/Keys.h>
#include <velmora/SoundManager.h>
#include <velmora/SpriteBatch.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using velmora::Vec2;
using velmora::Vec4;

// The picture is 800 × 600 camera units, letterboxed to 4:3 in any window.
constexpr float kWidth = 800.0f;
constexpr float kHeight = 600.0f;
constexpr float kTopBar = 44.0f; // the score's strip at the top
constexpr int kColumns = 10;
constexpr int kRows = 6;
constexpr float kBrickW = 64.0f, kBrickH = 28.0f, kGap = 8.0f;
constexpr float kPaddleY = 48.0f;
constexpr float kPaddleSpeed = 640.0f; // units per second while a key is held
constexpr float kBallSpeed = 430.0f;
constexpr float kBallRadius = 12.0f;
constexpr float kFadeSeconds = 0.35f;
constexpr int kBalls = 3;
constexpr const char* kHit = "hit.wav";

const Vec4 kRowColours[kRows] = {{1.00f, 0.36f, 0.36f, 1}, {1.00f, 0.62f, 0.28f, 1},
                                 {1.00f, 0.88f, 0.30f, 1}, {0.45f, 0.88f, 0.42f, 1},
                                 {0.35f, 0.70f, 1.00f, 1}, {0.70f, 0.50f, 1.00f, 1}};

struct Brick {
    float x = 0, y = 0; // lower-left corner
    int row = 0;
    bool standing = true;
    float fade = 0; // seconds left of its fade-out once hit
};

class Breakout {
  public:
    bool load() {
        velmora::SoundManager::instance().loadSound(kHit);
        if (!batch.loadPictures({"pictures"})) {
            return false;
        }
        paddlePicture = batch.findPicture("paddle.png");
        ballPicture = batch.findPicture("ball.png");
        brickPicture = batch.findPicture("brick.png");
        // DejaVu Sans from the engine's data, at the two sizes drawn.
        if (!scoreFont.load("DejaVuSans.ttf", 28.0f) || !bannerFont.load("DejaVuSans.ttf", 30.0f)) {
            return false;
        }
        camera.ortho(0.0f, kWidth, 0.0f, kHeight, -1.0f, 1.0f);
        newRound();
        return true;
    }

    void update() {
        // The last frame's time: everything moves by it. A long frame (a
        // window dragged, a debugger) is taken as a short one, so the ball
        // never jumps through a brick.
        const double last = velmora::Application::instance().frameTimer().lastFrameSeconds();
        const float dt = std::min(static_cast<float>(last), 1.0f / 30.0f);
        movePaddle(dt);
        for (Brick& b : bricks) {
            b.fade = std::max(0.0f, b.fade - dt);
        }
        if (!launched) {
            ball = Vec2{paddleX, kPaddleY + 12.0f + kBallRadius};
            return;
        }
        moveBall(dt);
    }

    void draw() {
        batch.clear();
        // The score's strip at the top and its edge: shapes, drawn with the pictures.
        batch.addRectangle(0.0f, kHeight - kTopBar, kWidth, kTopBar,
                           Vec4{0.10f, 0.13f, 0.25f, 1.0f});
        batch.addLine(0.0f, kHeight - kTopBar, kWidth, kHeight - kTopBar, 2.0f,
                      Vec4{0.5f, 0.6f, 0.9f, 0.6f});
        for (const Brick& b : bricks) {
            Vec4 tint = kRowColours[b.row];
            if (!b.standing) {
                if (b.fade <= 0.0f) {
                    continue;
                }
                tint.w = b.fade / kFadeSeconds; // fades out, and grows a little as it goes
            }
            const float grow = 1.0f + 0.3f * (1.0f - tint.w);
            batch.add(brickPicture, b.x + kBrickW / 2, b.y + kBrickH / 2, 0.0f, grow, grow,
                      kBrickW / 2, kBrickH / 2, tint);
        }
        const Vec2 paddleSize = batch.pictureSize(paddlePicture);
        batch.add(paddlePicture, paddleX, kPaddleY, 0.0f, 1.0f, 1.0f, paddleSize.x / 2,
                  paddleSize.y / 2);
        batch.add(ballPicture, ball.x, ball.y, 0.0f, 1.0f, 1.0f, kBallRadius, kBallRadius);
        batch.draw(camera);

        char line[96];
        std::snprintf(line, sizeof line, "Score %d\t\tBalls %d", score, balls);
        scoreFont.draw(camera, line, 16.0f, kHeight - 8.0f, Vec4{1, 1, 1, 1});
        if (const char* message = banner()) {
            velmora::TextOptions centred;
            centred.align = velmora::TextAlign::Centre;
            bannerFont.draw(camera, message, kWidth / 2, 240.0f, Vec4{1, 1, 0.8f, 1}, centred);
        }
    }

    void onKey(int action, int key) {
        if (action == velmora::kKeyPress && key == velmora::kKeySpace) {
            launch();
        }
    }

    void onMouseButton(int action, int button) {
        if (action == velmora::kKeyPress && button == velmora::kMouseLeft) {
            launch();
        }
    }

  private:
    const char* banner() const {
        if (balls == 0) {
            return "Game over: Space to play again";
        }
        if (cleared()) {
            return "Cleared! Space for another round";
        }
        return launched ? nullptr : "Space or click: launch";
    }

    bool cleared() const {
        return std::none_of(bricks.begin(), bricks.end(),
                            [](const Brick& b) { return b.standing; });
    }

    void newRound() {
        bricks.clear();
        const float left = (kWidth - kColumns * kBrickW - (kColumns - 1) * kGap) / 2;
        for (int row = 0; row < kRows; ++row) {
            for (int column = 0; column < kColumns; ++column) {
                Brick b;
                b.x = left + column * (kBrickW + kGap);
                b.y = kHeight - kTopBar - 48.0f - (row + 1) * (kBrickH + kGap);
                b.row = row;
                bricks.push_back(b);
            }
        }
        launched = false;
    }

    void launch() {
        if (balls == 0) {
            balls = kBalls;
            score = 0;
            newRound();
            return;
        }
        if (cleared()) {
            newRound();
            return;
        }
        if (!launched) {
            launched = true;
            velocity = Vec2{kBallSpeed * 0.45f, kBallSpeed * 0.89f};
        }
    }

    void movePaddle(float dt) {
        const Vec2 mouse = camera.pictureToWorld(velmora::mousePosition());
        if (mouse.x != lastMouse.x || mouse.y != lastMouse.y) {
            paddleX = mouse.x; // the mouse moved: the paddle follows it
            lastMouse = mouse;
        }
        if (velmora::isKeyDown(velmora::kKeyLeft) || velmora::isKeyDown(velmora::kKeyA)) {
            paddleX -= kPaddleSpeed * dt;
        }
        if (velmora::isKeyDown(velmora::kKeyRight) || velmora::isKeyDown(velmora::kKeyD)) {
            paddleX += kPaddleSpeed * dt;
        }
        const float half = batch.pictureSize(paddlePicture).x / 2;
        paddleX = std::clamp(paddleX, half, kWidth - half);
    }

    void moveBall(float dt) {
        ball.x += velocity.x * dt;
        ball.y += velocity.y * dt;
        if ((ball.x < kBallRadius && velocity.x < 0) ||
            (ball.x > kWidth - kBallRadius && velocity.x > 0)) {
            velocity.x = -velocity.x;
            hitSound(0.9f);
        }
        if (ball.y > kHeight - kTopBar - kBallRadius && velocity.y > 0) {
            velocity.y = -velocity.y;
            hitSound(0.9f);
        }
        const Vec2 paddleSize = batch.pictureSize(paddlePicture);
        if (velocity.y < 0 && ball.y - kBallRadius < kPaddleY + paddleSize.y / 2 &&
            ball.y > kPaddleY - paddleSize.y / 2 &&
            std::fabs(ball.x - paddleX) < paddleSize.x / 2 + kBallRadius) {
            // Off the paddle at an angle that grows towards its ends.
            const float offset = std::clamp((ball.x - paddleX) / (paddleSize.x / 2), -1.0f, 1.0f);
            const float angle = 1.5708f - offset * 1.05f;
            velocity = Vec2{kBallSpeed * std::cos(angle), kBallSpeed * std::sin(angle)};
            hitSound(0.8f);
        }
        for (Brick& b : bricks) {
            if (b.standing && hitBrick(b)) {
                b.standing = false;
                b.fade = kFadeSeconds;
                score += 10 * (kRows - b.row);
                hitSound(1.0f + 0.08f * (kRows - b.row));
                break;
            }
        }
        if (ball.y < -kBallRadius) {
            --balls;
            launched = false;
        }
    }

    // Bounces the ball off `b` when they overlap, along the side it came through.
    bool hitBrick(const Brick& b) {
        const float nearX = std::clamp(ball.x, b.x, b.x + kBrickW);
        const float nearY = std::clamp(ball.y, b.y, b.y + kBrickH);
        const float dx = ball.x - nearX, dy = ball.y - nearY;
        if (dx * dx + dy * dy > kBallRadius * kBallRadius) {
            return false;
        }
        if (std::fabs(dx) > std::fabs(dy)) {
            velocity.x = dx > 0 ? std::fabs(velocity.x) : -std::fabs(velocity.x);
        } else {
            velocity.y = dy > 0 ? std::fabs(velocity.y) : -std::fabs(velocity.y);
        }
        return true;
    }

    // A voice of its own for every hit, so fast hits overlap; higher bricks
    // sound higher, and the sound sits where the ball is.
    void hitSound(float pitch) {
        velmora::SoundManager::instance().playVoice(kHit, 0.7f, pitch,
                                                    ball.x / kWidth * 2.0f - 1.0f);
    }

    velmora::SpriteBatch batch;
    velmora::Camera camera;
    velmora::Font scoreFont, bannerFont; // DejaVu Sans from the engine's data
    int paddlePicture = -1, ballPicture = -1, brickPicture = -1;
    std::vector<Brick> bricks;
    float paddleX = kWidth / 2;
    Vec2 lastMouse{-1, -1};
    Vec2 ball{kWidth / 2, 0};
    Vec2 velocity{0, 0};
    bool launched = false;
    int score = 0;
    int balls = kBalls;
};

} // namespace

int main(int argc, char** argv) {
    velmora::ApplicationSettings settings;
    settings.title = "Breakout — a Velmora example";
    settings.windowedWidth = 800;
    settings.windowedHeight = 600;
    settings.aspect = kWidth / kHeight;
    settings.clearColour = Vec4{0.04f, 0.05f, 0.12f, 1.0f};
    settings.dataDirectory = velmora::Application::executableDirectory() + "/data";

    velmora::Application& app = velmora::Application::instance();
    const bool fullscreen = argc > 1 && std::string(argv[1]) == "fullscreen";
    // The game lives in main's frame; the hooks reach it through the lambdas.
    // Its batch needs the context, so it is made in load.
    std::unique_ptr<Breakout> game;
    velmora::SceneHooks hooks;
    hooks.load = [&] {
        game = std::make_unique<Breakout>();
        return game->load();
    };
    hooks.update = [&] { game->update(); };
    hooks.draw = [&] { game->draw(); };
    hooks.onKey = [&](int action, int key) { game->onKey(action, key); };
    hooks.onMouseButton = [&](int action, int button) { game->onMouseButton(action, button); };
    app.setSceneHooks(hooks);
    if (!app.init(fullscreen, settings)) {
        return EXIT_FAILURE;
    }
    app.run();
    game.reset(); // its GL objects go while the context still exists
    return EXIT_SUCCESS;
}
