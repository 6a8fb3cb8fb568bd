// The key codes of Keys.h must stay the window library's.
#include "velmora/Keys.h"

#include <GLFW/glfw3.h>

namespace velmora {

static_assert(kKeyRelease == GLFW_RELEASE && kKeyPress == GLFW_PRESS && kKeyRepeat == GLFW_REPEAT);
static_assert(kKeySpace == GLFW_KEY_SPACE && kKeyEscape == GLFW_KEY_ESCAPE && kKeyEnter == GLFW_KEY_ENTER);
static_assert(kKeyRight == GLFW_KEY_RIGHT && kKeyLeft == GLFW_KEY_LEFT && kKeyDown == GLFW_KEY_DOWN &&
              kKeyUp == GLFW_KEY_UP);
static_assert(kKeyF1 == GLFW_KEY_F1 && kKeyF1 + 11 == GLFW_KEY_F12 && 'A' == GLFW_KEY_A);

} // namespace velmora
