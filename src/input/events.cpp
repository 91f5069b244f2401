// The window procedure's input handling: mouse, wheel and keyboard messages
// become the latches, the held-key table and the pointer position that the
// waits and the queries read.
#include <cctype>

#include "input/input.h"
#include "shell/engine.h"

namespace sorv {
namespace {

using platform::Event;
using platform::MouseButton;

constexpr int32_t kWheelDelta = 120;  // one notch, as the wheel message gives it

// Keys whose press also types a character, as keyboard translation does on
// the platform games were written for. The platform layer reports no text
// for most of them; Space it reports as text too, and that copy is dropped.
uint32_t CharacterOfKey(int vkCode) {
  switch (vkCode) {
    case vk::kReturn: return '\r';
    case vk::kSpace: return ' ';
    case vk::kEscape: return 0x1B;
    case vk::kTab: return '\t';
    case vk::kBackspace: return 0x08;
    default: return 0;
  }
}

void StoreArmedVariable(Engine& e, int32_t value) {
  InputState& in = e.input;
  if (in.clickToVariable < 0) return;
  int32_t var = in.clickToVariable;
  in.clickToVariable = -1;
  if (static_cast<size_t>(var) < e.values.intVars.size()) StoreIntLimited(e, var, value);
}

void RecordPosition(InputState& in, const Event& ev) {
  in.lastParam = ev.x;
  in.lastY = ev.y;
  in.clickX = ev.x;
  in.clickY = ev.y;
}

void ButtonPress(Engine& e, const Event& ev) {
  InputState& in = e.input;
  RecordPosition(in, ev);
  switch (ev.button) {
    case MouseButton::Left:
      in.lastMessage = InputMessage::LeftDown;
      in.leftDown = in.leftHeld = true;
      break;
    case MouseButton::Right:
      in.lastMessage = InputMessage::RightDown;
      in.rightDown = true;
      break;
    case MouseButton::Middle:
      in.lastMessage = InputMessage::MiddleDown;
      break;
  }
}

// A release while skipping or in auto mode only ends those modes: the click
// is used up, so a second click is needed to pass a wait.
void ButtonRelease(Engine& e, const Event& ev) {
  InputState& in = e.input;
  if (ev.button == MouseButton::Left) in.leftHeld = false;
  in.lastMessage = ev.button == MouseButton::Left    ? InputMessage::LeftUp
                   : ev.button == MouseButton::Right ? InputMessage::RightUp
                                                     : InputMessage::MiddleUp;
  if (e.interp.skipMode || in.autoMode) {
    EndSkipAndAuto(e);
    return;
  }
  RecordPosition(in, ev);
  switch (ev.button) {
    case MouseButton::Left:
      e.interp.leftClickFlag = true;
      StoreArmedVariable(e, 1);
      break;
    case MouseButton::Right:
      e.interp.rightClickFlag = true;
      StoreArmedVariable(e, -1);
      break;
    case MouseButton::Middle:
      in.middleClick = true;
      StoreArmedVariable(e, -1);
      break;
  }
}

void Character(Engine& e, uint32_t ch) {
  InputState& in = e.input;
  in.lastMessage = InputMessage::Char;
  e.interp.skipMode = false;
  in.lastParam = static_cast<int32_t>(ch);
  if (ch == 'n') StartSkipMode(e);
  if (ch == ' ' || (ch == '\r' && !in.settings.getEnter)) e.interp.leftClickFlag = true;
}

void KeyPress(Engine& e, const Event& ev) {
  InputState& in = e.input;
  in.lastMessage = InputMessage::KeyDown;
  in.keyHeld[static_cast<size_t>(ev.vk) & 0xFF] = true;
  if (uint32_t ch = CharacterOfKey(ev.vk)) {
    // The character arrives as the next message, right behind its key.
    Event text;
    text.type = Event::Type::Text;
    text.ch = ch;
    text.vk = ev.vk;
    text.x = in.pointerX;
    text.y = in.pointerY;
    e.app.queue.push_front(text);
  }
}

}  // namespace

void HandleInputEvent(Engine& e, const Event& ev) {
  InputState& in = e.input;
  switch (ev.type) {
    case Event::Type::MouseDown:
      in.pointerX = ev.x;
      in.pointerY = ev.y;
      ButtonPress(e, ev);
      break;
    case Event::Type::MouseUp:
      in.pointerX = ev.x;
      in.pointerY = ev.y;
      ButtonRelease(e, ev);
      break;
    case Event::Type::MouseMove:
      in.lastMessage = InputMessage::Move;
      in.pointerX = in.lastParam = ev.x;
      in.pointerY = in.lastY = ev.y;
      break;
    case Event::Type::Wheel:
      in.lastMessage = InputMessage::Wheel;
      in.wheelDelta = in.lastParam = ev.wheel > 0 ? kWheelDelta : -kWheelDelta;
      break;
    case Event::Type::Text:
      // Text without a key behind it that a key press already typed.
      if (ev.vk == 0 && ev.ch == ' ') {
        in.lastMessage = InputMessage::Other;
        break;
      }
      Character(e, ev.ch);
      break;
    case Event::Type::KeyDown:
      KeyPress(e, ev);
      break;
    case Event::Type::KeyUp:
      in.lastMessage = InputMessage::KeyUp;
      in.keyHeld[static_cast<size_t>(ev.vk) & 0xFF] = false;
      break;
    case Event::Type::FocusLost:
      in.lastMessage = InputMessage::Other;
      in.keyHeld.fill(false);
      in.leftHeld = false;
      break;
    default:
      in.lastMessage = InputMessage::Other;
      break;
  }
}

void RestoreInputDefaults(Engine& e) {
  InputState& in = e.input;
  in.settings = InputSettings{};
  in.autoMode = false;
  in.clickToVariable = -1;
  in.middleClick = in.leftDown = in.rightDown = false;
  in.clickX = in.clickY = -1;
  in.lastMessage = InputMessage::None;
}

void ResetKeySwitches(Engine& e) {
  InputSettings& s = e.input.settings;
  s.getPage = s.getPageUp = s.getEnter = s.getTab = s.getFunction = s.getCursor = s.getInsert = s.getZxc = false;
  s.spaceIsClick = s.getMiddleClick = s.getSkipOff = s.escOutCursor = false;
}

bool KeyHeld(Engine& e, int vkCode) {
  if (!e.platform || !e.platform->HasFocus()) return false;
  return e.input.keyHeld[static_cast<size_t>(vkCode) & 0xFF];
}

bool SkipKeyHeld(Engine& e) {
  return KeyHeld(e, vk::kControl) && (!e.input.settings.ctrlAlt || KeyHeld(e, vk::kAlt));
}

bool LeftButtonHeld(Engine& e) { return e.platform && e.platform->HasFocus() && e.input.leftHeld; }

int KeyFromName(std::string_view name) {
  if (name.size() == 1) return std::toupper(static_cast<unsigned char>(name[0]));
  if (name.size() > 63) return 0;
  std::string upper(name);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  struct Named {
    const char* name;
    int vkCode;
  };
  static constexpr Named kNames[] = {
      {"SPACE", vk::kSpace},   {"ESC", vk::kEscape},       {"CTRL", vk::kControl}, {"UP", vk::kUp},
      {"DOWN", vk::kDown},     {"LEFT", vk::kLeft},        {"RIGHT", vk::kRight},  {"RETURN", vk::kReturn},
      {"ENTER", vk::kReturn},  {"PAGEUP", vk::kPageUp},    {"PAGEDOWN", vk::kPageDown},
      {"SHIFT", vk::kShift},
  };
  for (const Named& n : kNames) {
    if (upper == n.name) return n.vkCode;
  }
  if (upper.size() >= 2 && upper.size() <= 3 && upper[0] == 'F' && upper[1] >= '1' && upper[1] <= '9') {
    int n = upper[1] - '0';
    if (upper.size() == 3) {
      if (upper[2] < '0' || upper[2] > '9') return 0;
      n = n * 10 + (upper[2] - '0');
    }
    if (n >= 1 && n <= 12) return vk::kF1 + n - 1;
  }
  return 0;
}

void StartSkipMode(Engine& e) { e.interp.skipMode = true; }
void StartAutoMode(Engine& e) { e.input.autoMode = true; }

void EndSkipAndAuto(Engine& e) {
  e.interp.skipMode = false;
  e.input.autoMode = false;
}

void MovePointer(Engine& e, int32_t x, int32_t y) {
  e.input.pointerX = x;
  e.input.pointerY = y;
  Event move;
  move.type = Event::Type::MouseMove;
  move.x = x;
  move.y = y;
  e.app.queue.push_back(move);
}

}  // namespace sorv
