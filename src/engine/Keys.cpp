// The key and button codes of Keys.h must stay the window library's.
#include "velmora/Keys.h"

#include <GLFW/glfw3.h>

namespace velmora {

namespace {

struct SameCode {
    int ours;
    int theirs;
};

constexpr SameCode kCodes[] = {
    {kKeyRelease, GLFW_RELEASE},
    {kKeyPress, GLFW_PRESS},
    {kKeyRepeat, GLFW_REPEAT},
    {kKeyA, GLFW_KEY_A},
    {kKeyZ, GLFW_KEY_Z},
    {kKey0, GLFW_KEY_0},
    {kKey9, GLFW_KEY_9},
    {kKeySpace, GLFW_KEY_SPACE},
    {kKeyApostrophe, GLFW_KEY_APOSTROPHE},
    {kKeyComma, GLFW_KEY_COMMA},
    {kKeyMinus, GLFW_KEY_MINUS},
    {kKeyPeriod, GLFW_KEY_PERIOD},
    {kKeySlash, GLFW_KEY_SLASH},
    {kKeySemicolon, GLFW_KEY_SEMICOLON},
    {kKeyEqual, GLFW_KEY_EQUAL},
    {kKeyLeftBracket, GLFW_KEY_LEFT_BRACKET},
    {kKeyBackslash, GLFW_KEY_BACKSLASH},
    {kKeyRightBracket, GLFW_KEY_RIGHT_BRACKET},
    {kKeyGraveAccent, GLFW_KEY_GRAVE_ACCENT},
    {kKeyEscape, GLFW_KEY_ESCAPE},
    {kKeyEnter, GLFW_KEY_ENTER},
    {kKeyTab, GLFW_KEY_TAB},
    {kKeyBackspace, GLFW_KEY_BACKSPACE},
    {kKeyInsert, GLFW_KEY_INSERT},
    {kKeyDelete, GLFW_KEY_DELETE},
    {kKeyRight, GLFW_KEY_RIGHT},
    {kKeyLeft, GLFW_KEY_LEFT},
    {kKeyDown, GLFW_KEY_DOWN},
    {kKeyUp, GLFW_KEY_UP},
    {kKeyPageUp, GLFW_KEY_PAGE_UP},
    {kKeyPageDown, GLFW_KEY_PAGE_DOWN},
    {kKeyHome, GLFW_KEY_HOME},
    {kKeyEnd, GLFW_KEY_END},
    {kKeyCapsLock, GLFW_KEY_CAPS_LOCK},
    {kKeyScrollLock, GLFW_KEY_SCROLL_LOCK},
    {kKeyNumLock, GLFW_KEY_NUM_LOCK},
    {kKeyPrintScreen, GLFW_KEY_PRINT_SCREEN},
    {kKeyPause, GLFW_KEY_PAUSE},
    {kKeyF1, GLFW_KEY_F1},
    {kKeyF12, GLFW_KEY_F12},
    {kKeyPad0, GLFW_KEY_KP_0},
    {kKeyPad9, GLFW_KEY_KP_9},
    {kKeyPadDecimal, GLFW_KEY_KP_DECIMAL},
    {kKeyPadDivide, GLFW_KEY_KP_DIVIDE},
    {kKeyPadMultiply, GLFW_KEY_KP_MULTIPLY},
    {kKeyPadSubtract, GLFW_KEY_KP_SUBTRACT},
    {kKeyPadAdd, GLFW_KEY_KP_ADD},
    {kKeyPadEnter, GLFW_KEY_KP_ENTER},
    {kKeyPadEqual, GLFW_KEY_KP_EQUAL},
    {kKeyLeftShift, GLFW_KEY_LEFT_SHIFT},
    {kKeyLeftControl, GLFW_KEY_LEFT_CONTROL},
    {kKeyLeftAlt, GLFW_KEY_LEFT_ALT},
    {kKeyLeftSuper, GLFW_KEY_LEFT_SUPER},
    {kKeyRightShift, GLFW_KEY_RIGHT_SHIFT},
    {kKeyRightControl, GLFW_KEY_RIGHT_CONTROL},
    {kKeyRightAlt, GLFW_KEY_RIGHT_ALT},
    {kKeyRightSuper, GLFW_KEY_RIGHT_SUPER},
    {kKeyMenu, GLFW_KEY_MENU},
    {kKeyLast, GLFW_KEY_LAST},
    {kModShift, GLFW_MOD_SHIFT},
    {kModControl, GLFW_MOD_CONTROL},
    {kModAlt, GLFW_MOD_ALT},
    {kModSuper, GLFW_MOD_SUPER},
    {kMouseLeft, GLFW_MOUSE_BUTTON_LEFT},
    {kMouseRight, GLFW_MOUSE_BUTTON_RIGHT},
    {kMouseMiddle, GLFW_MOUSE_BUTTON_MIDDLE},
    {kMouseLast, GLFW_MOUSE_BUTTON_LAST},
};

constexpr bool allCodesMatch() {
    for (const SameCode& code : kCodes) {
        if (code.ours != code.theirs) {
            return false;
        }
    }
    return true;
}

static_assert(allCodesMatch(), "a code of Keys.h differs from the window library's");
// The runs that Keys.h names by their first member.
static_assert(kKeyF2 - kKeyF1 == 1 && kKeyF12 - kKeyF1 == 11 && kKeyPad9 - kKeyPad0 == 9 &&
              kKeyZ - kKeyA == 25 && kKey9 - kKey0 == 9);

} // namespace

} // namespace velmora
