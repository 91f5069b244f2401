// Input and the wait loop: the latches the window procedure sets from mouse
// and keyboard messages, the skip and auto modes, the held-key table the key
// polls read, and the waits built on one primitive (pump one message, run the
// idle step, sleep a millisecond of the platform clock).
//
// The left and right click latches and skipMode are the interpreter's own
// flags (e.interp.leftClickFlag, rightClickFlag, skipMode): the statement
// loop's traps read them between statements, so they are kept in one place.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace sorv {

struct Engine;

// Windows virtual-key codes the waits and queries use.
namespace vk {
constexpr int kBackspace = 0x08, kTab = 0x09, kReturn = 0x0D, kShift = 0x10, kControl = 0x11,
              kAlt = 0x12, kEscape = 0x1B, kSpace = 0x20, kPageUp = 0x21, kPageDown = 0x22,
              kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28, kInsert = 0x2D, kF1 = 0x70;
}  // namespace vk

// The identifier of the last message the window procedure received.
enum class InputMessage {
  None, LeftDown, LeftUp, RightDown, RightUp, MiddleDown, MiddleUp, Wheel, Move, Char, KeyDown, KeyUp, Other
};

// What later subsystems plug into the waits. Each is optional; an empty one
// means the subsystem is not there and the wait goes on without it.
struct InputHooks {
  // Timed work of the idle step (cell animation, the Lua animation hook,
  // layer timers, redrawing what changed), run in order on every pass.
  std::vector<std::function<void(Engine&)>> idle;
  // The right-click action of a click wait; true when it left the text
  // (a load, a jump from the menu, the subroutine mode) and the wait must end.
  std::function<bool(Engine&)> rightClickAction;
  std::function<void(Engine&)> openBacklog;        // wheel up in a click wait
  std::function<void(Engine&)> saveGlobalFiles;    // a second into a click or button wait
  std::function<bool(Engine&)> voicePlaying;       // auto mode and btntime2 wait for the voice
  std::function<void(Engine&)> stopButtonSound;    // the button-wait sound
  std::function<void(Engine&)> copyPageText;       // Shift+C in a button wait
  // True while sprite `sprite`'s cell animation has not reached its end;
  // `cellMs` receives its time a cell (spwait).
  std::function<bool(Engine&, int32_t sprite, uint32_t& cellMs)> spriteAnimating;
  // Screen position of the next glyph cell (getcursorpos).
  std::function<void(Engine&, int32_t& x, int32_t& y)> nextGlyphCell;
};

// Settings of the *define block and of the key-switch commands; every
// restart pass starts again from these values.
struct InputSettings {
  bool ctrlAlt = false;           // the skip key needs Alt as well as Ctrl
  bool useWheel = false;          // the wheel ends button waits
  bool useEscSpc = false;         // Escape and Space end button waits
  bool modeKanade = false;        // button waits post no initial pointer move
  bool btnNoWindowErase = false;  // button waits leave the text window shown
  int32_t autoModeTime = 1000;    // ms; negative: -t ms a character of the chunk
  int32_t autoClickMs = 0;        // 0 = off

  // Key switches of the button wait (btndef turns them all off again).
  bool getPage = false, getPageUp = false, getEnter = false, getTab = false, getFunction = false,
       getCursor = false, getInsert = false, getZxc = false, spaceIsClick = false, getMiddleClick = false,
       getSkipOff = false;
  bool escOutCursor = false;
  int32_t escOutX = 0, escOutY = 0;
};

struct InputState {
  InputMessage lastMessage = InputMessage::None;
  int32_t lastParam = 0;  // x of a mouse message, the character, or the wheel delta
  int32_t lastY = 0;
  int32_t clickX = -1, clickY = -1;  // clickPos
  bool middleClick = false;
  bool leftDown = false, rightDown = false;  // latched on press
  int32_t wheelDelta = 0;
  bool autoMode = false;
  int32_t clickToVariable = -1;  // lr_trap_value: armed integer variable, -1 = off

  // Held state of every key and of the left button, from the messages seen;
  // the polls of the waits read it. Cleared when the window loses focus,
  // since the releases then go elsewhere.
  std::array<bool, 256> keyHeld{};
  bool leftHeld = false;
  int32_t pointerX = 0, pointerY = 0;  // the pointer in client coordinates
  bool pointerVisible = true;          // mousemode

  uint32_t timerBase = 0;          // resettimer
  uint32_t lastButtonWaitMs = 0;   // getbtntimer
  uint32_t lastInputMs = 0;        // when a wait last pumped a message

  InputSettings settings;
  InputHooks hooks;
};

// The window procedure's handling of one input message.
void HandleInputEvent(Engine& e, const platform::Event& ev);
// Settings and modes back to their defaults (a restart pass); held keys, the
// pointer, the timer and the hooks stay.
void RestoreInputDefaults(Engine& e);
// btndef: every key switch, getmclick, getskipoff, spclclk and escoutcursor off.
void ResetKeySwitches(Engine& e);

// Key polls: false unless the engine's window has the focus.
bool KeyHeld(Engine& e, int vkCode);
bool SkipKeyHeld(Engine& e);
bool LeftButtonHeld(Engine& e);
// Key names of checkkey and the plug-in key query; 0 for no key.
int KeyFromName(std::string_view name);

void StartSkipMode(Engine& e);
void StartAutoMode(Engine& e);
void EndSkipAndAuto(Engine& e);
// Moves the pointer to a client position and lets the window see the move.
void MovePointer(Engine& e, int32_t x, int32_t y);

// --- The wait primitive ------------------------------------------------------

// Removes pending left-button releases and character messages (and right and
// middle releases when asked) from the message queue.
void DiscardPendingInput(Engine& e, bool rightAndMiddleToo = false);
// Dispatches at most one message; true when one was dispatched.
bool PumpInput(Engine& e);
// The idle step: the hooks' timed work.
void RunIdleStep(Engine& e);
// The end of one pass of a wait: the idle step and a sleep. The sleep is a
// millisecond while input is coming in; once the player has been still for a
// while it grows to a slice that ends early on input, never past
// `untilDeadlineMs`, the time left to the wait's next deadline (kNoDeadline
// for none; the default 0 keeps the millisecond passes).
constexpr int64_t kNoDeadline = -1;
void IdlePass(Engine& e, int64_t untilDeadlineMs = 0);
// Milliseconds from `now` until `ms` after `start` (0 when passed).
int64_t MsUntil(uint32_t now, uint32_t start, int64_t ms);
// True when a wait must end for the engine's sake: a confirmed return to
// the start, a confirmed close or a restart pass.
bool WaitAbandoned(const Engine& e);

// Timed waits: `wait` and inline !w (only Enter ends them early), `delay`
// and inline !d (also a left click and the skip key; skip mode ends them at
// once). Returns true when ended before the time ran out.
enum class TimedWaitKind { EnterOnly, Interruptible };
bool TimedWait(Engine& e, int32_t ms, TimedWaitKind kind);

// The click wait of the text flow ("@", "\", `click`).
enum class WaitKind { Click = 1, Page = 2 };
enum class WaitEnd { Click, SkipKey, SkipMode, AutoMode, AutoClick, Unattended, Interrupted };
struct ClickWaitRequest {
  WaitKind kind = WaitKind::Click;
  int32_t chunkChars = 0;          // characters of the chunk, for a negative auto time
  bool rightClickAction = true;    // false: the right-click menu is disabled (`click`)
  std::function<void()> eachPass;  // the cursor animation
};
WaitEnd WaitForClick(Engine& e, const ClickWaitRequest& request);

// `lrclick`: 1 for a left click, 0 for a right click (-1 when abandoned).
int32_t WaitLeftOrRight(Engine& e);

// The button wait behind btnwait, btnwait2, textbtnwait and selectbtnwait.
// The buttons code describes the wait and supplies hit testing and drawing;
// the loop decides which event ends it and returns the code.
struct ButtonWaitRequest {
  bool textButtonMode = false;  // textbtnwait, selectbtnwait
  bool selectMode = false;      // selectbtnwait
  int32_t timeoutMs = -1;       // btntime / btntime2; -1 = none
  bool timeoutWaitsVoice = false;
  int32_t areaY = 0;            // btnarea; 0 = off
  bool mouseOver = false;       // getmouseover
  int32_t mouseOverMin = 0, mouseOverMax = 0;
  int32_t pressSelects = 0;     // btndown
  bool pressOutsideSelects = false;  // btn0down
  bool stringButtons = false;   // custom choices are shown
  int32_t rightClickCode = -1;  // btncancel

  // The number of the button under a point, or nothing.
  std::function<std::optional<int32_t>(int32_t x, int32_t y)> buttonAt;
  // The numbers of every button of the wait, in table order (for unattended
  // runs that answer by a policy).
  std::function<std::vector<int32_t>()> buttonNumbers;
  // Redraws hover changes for the pointer at (x, y).
  std::function<void(int32_t x, int32_t y)> hover;
  std::function<void()> drawAllNormal;   // every button in its normal state, screen updated
  std::function<void()> hideTextWindow;  // as erasetextwindow allows
  std::function<void()> restoreScreen;   // before the btnarea return
  std::function<void()> endPage;         // new page, page committed to the log
  // Top-left of the previous (-1) or next (+1) button from the pointer, wrapping.
  std::function<bool(int direction, int32_t& x, int32_t& y)> neighbourButton;
};
int32_t RunButtonWait(Engine& e, const ButtonWaitRequest& request);

}  // namespace sorv
