#include "game/Overlay.h"

#include "velmora/Application.h"
#include "velmora/Camera.h"
#include "velmora/TextRenderer.h"
#include "game/Game.h"
#include "game/Scene.h"

#include <GLFW/glfw3.h>

#include <cstdio>
#include <string_view>

using namespace velmora;

namespace {

// In picture units, where the picture is 1 high: the text's em, the gap to
// the picture's corner and the panel's padding around the text.
constexpr float kTextSize = 0.032f;
constexpr float kMargin = 0.015f;
constexpr float kPadding = 0.01f;

constexpr Vec4 kTextColour{1.0f, 0.92f, 0.45f, 1.0f};
constexpr Vec4 kPanelColour{0.06f, 0.06f, 0.1f, 1.0f};

// The letterboxed picture, its height one unit: the overlay keeps its place
// and proportions whatever size the window has.
Camera pictureCamera() {
    Camera camera;
    camera.ortho(0.0f, kPictureWidth, 0.0f, 1.0f, -1.0f, 1.0f);
    return camera;
}

} // namespace

void Overlay::onKey(int action, int key) {
    if (action == GLFW_PRESS && key == GLFW_KEY_F3) {
        visible = !visible;
    }
}

std::size_t Overlay::format(const Score& score, const FrameTimer& frames, char* buffer,
                            std::size_t size) const {
    if (size == 0) {
        return 0;
    }
    const int length = std::snprintf(
        buffer, size, "%.1f fps  %.1f ms\nattempts %d  hits %d  misses %d\nstreak %d  best %d",
        frames.framesPerSecond(), frames.lastFrameSeconds() * 1000.0, score.attempts, score.hits,
        score.misses, score.streak, score.bestStreak);
    if (length < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return static_cast<std::size_t>(length) < size ? static_cast<std::size_t>(length) : size - 1;
}

Rect Overlay::panelRect(const char* text) const {
    const Vec2 box = textRenderer.measureText(text, kTextSize);
    const float top = 1.0f - kMargin;
    return {kMargin, top - box.y - 2.0f * kPadding, kMargin + box.x + 2.0f * kPadding, top};
}

void Overlay::draw(const Score& score) const {
    if (!visible) {
        return;
    }
    // Formatted on the stack: showing the overlay allocates nothing per frame.
    char text[160];
    const std::size_t length =
        format(score, Application::instance().frameTimer(), text, sizeof text);
    const Rect panel = panelRect(text);
    const Camera camera = pictureCamera();
    textRenderer.drawPanel(camera, panel, kPanelColour);
    textRenderer.drawText(camera, std::string_view(text, length), panel.left + kPadding,
                          panel.top - kPadding, kTextSize, kTextColour);
}
