// Keys: the codes of the keyboard's keys and of the mouse's buttons, as the
// scene's hooks receive them and as isKeyDown and isMouseButtonDown
// (<velmora/Input.h>) take them, so that a game reads its input without the
// window library's header. They are the window library's own numbers
// (checked against it when the engine is built).
//
// A key is named by its place on a US keyboard, whatever the player's layout
// prints on it: kKeyZ is the key left of X on a QWERTY keyboard and the key
// left of X on an AZERTY one (where it reads W). A printable key's code is
// its upper-case ASCII character, so 'A' == kKeyA and '7' == kKey7.
#pragma once

namespace velmora {

// What happened to a key or a mouse button.
constexpr int kKeyRelease = 0;
constexpr int kKeyPress = 1;
constexpr int kKeyRepeat = 2; // a key held long enough for the system's key repeat

// Letters and digits (the row above the letters; the keypad's are below).
constexpr int kKeyA = 'A', kKeyB = 'B', kKeyC = 'C', kKeyD = 'D', kKeyE = 'E', kKeyF = 'F',
              kKeyG = 'G', kKeyH = 'H', kKeyI = 'I', kKeyJ = 'J', kKeyK = 'K', kKeyL = 'L',
              kKeyM = 'M', kKeyN = 'N', kKeyO = 'O', kKeyP = 'P', kKeyQ = 'Q', kKeyR = 'R',
              kKeyS = 'S', kKeyT = 'T', kKeyU = 'U', kKeyV = 'V', kKeyW = 'W', kKeyX = 'X',
              kKeyY = 'Y', kKeyZ = 'Z';
constexpr int kKey0 = '0', kKey1 = '1', kKey2 = '2', kKey3 = '3', kKey4 = '4', kKey5 = '5',
              kKey6 = '6', kKey7 = '7', kKey8 = '8', kKey9 = '9';

// Punctuation.
constexpr int kKeySpace = ' ';
constexpr int kKeyApostrophe = '\'', kKeyComma = ',', kKeyMinus = '-', kKeyPeriod = '.',
              kKeySlash = '/', kKeySemicolon = ';', kKeyEqual = '=', kKeyLeftBracket = '[',
              kKeyBackslash = '\\', kKeyRightBracket = ']', kKeyGraveAccent = '`';

// Editing and moving about.
constexpr int kKeyEscape = 256; // a press quits while ApplicationSettings::escapeQuits
constexpr int kKeyEnter = 257;
constexpr int kKeyTab = 258;
constexpr int kKeyBackspace = 259;
constexpr int kKeyInsert = 260;
constexpr int kKeyDelete = 261;
constexpr int kKeyRight = 262;
constexpr int kKeyLeft = 263;
constexpr int kKeyDown = 264;
constexpr int kKeyUp = 265;
constexpr int kKeyPageUp = 266;
constexpr int kKeyPageDown = 267;
constexpr int kKeyHome = 268;
constexpr int kKeyEnd = 269;
constexpr int kKeyCapsLock = 280;
constexpr int kKeyScrollLock = 281;
constexpr int kKeyNumLock = 282;
constexpr int kKeyPrintScreen = 283;
constexpr int kKeyPause = 284;

// Function keys: kKeyF1 + n - 1 is Fn.
constexpr int kKeyF1 = 290, kKeyF2 = 291, kKeyF3 = 292, kKeyF4 = 293, kKeyF5 = 294, kKeyF6 = 295,
              kKeyF7 = 296, kKeyF8 = 297, kKeyF9 = 298, kKeyF10 = 299, kKeyF11 = 300, kKeyF12 = 301;

// The keypad: kKeyPad0 + n is its digit n.
constexpr int kKeyPad0 = 320, kKeyPad1 = 321, kKeyPad2 = 322, kKeyPad3 = 323, kKeyPad4 = 324,
              kKeyPad5 = 325, kKeyPad6 = 326, kKeyPad7 = 327, kKeyPad8 = 328, kKeyPad9 = 329;
constexpr int kKeyPadDecimal = 330, kKeyPadDivide = 331, kKeyPadMultiply = 332,
              kKeyPadSubtract = 333, kKeyPadAdd = 334, kKeyPadEnter = 335, kKeyPadEqual = 336;

// Modifiers, each side its own key: a game that takes either Shift asks for
// both.
constexpr int kKeyLeftShift = 340;
constexpr int kKeyLeftControl = 341;
constexpr int kKeyLeftAlt = 342;
constexpr int kKeyLeftSuper = 343; // the "Windows" or "Command" key
constexpr int kKeyRightShift = 344;
constexpr int kKeyRightControl = 345;
constexpr int kKeyRightAlt = 346;
constexpr int kKeyRightSuper = 347;
constexpr int kKeyMenu = 348;

// The highest key code; every key above lies in kKeySpace … kKeyLast.
constexpr int kKeyLast = kKeyMenu;

// The modifiers held at a key event, one bit each in the `mods` of a
// three-parameter onKey hook: `mods & kModShift` is true while either Shift
// is down. Caps Lock and Num Lock are not reported. A modifier's own
// press and release may or may not carry its bit (X11 reports the state
// before the event): for the modifier keys themselves, look at the key.
constexpr int kModShift = 0x1;
constexpr int kModControl = 0x2;
constexpr int kModAlt = 0x4;
constexpr int kModSuper = 0x8;

// Mouse buttons. A mouse with more has them as 3 … 7.
constexpr int kMouseLeft = 0;
constexpr int kMouseRight = 1;
constexpr int kMouseMiddle = 2;
constexpr int kMouseLast = 7;

} // namespace velmora
