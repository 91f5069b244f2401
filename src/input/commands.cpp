// Commands of waits, clicks, keys, timers and the pointer.
#include "input/commands.h"

#include <algorithm>
#include <string>

#include "input/input.h"
#include "interp/error.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "values/values.h"

namespace sorv {
namespace {

const char kError[] = "エラー";

int32_t IntTarget(Engine& e, const char* message) { return ReadIntVarTarget(e, message, kError); }

void StoreInt(Engine& e, int32_t var, int32_t value) { StoreIntLimited(e, var, value); }

// Reads "%x, %y" with the command's two messages and stores the pair.
void StorePair(Engine& e, const char* first, const char* second, int32_t x, int32_t y) {
  int32_t vx = IntTarget(e, first);
  ExpectComma(e);
  int32_t vy = IntTarget(e, second);
  StoreInt(e, vx, x);
  StoreInt(e, vy, y);
}

// The next glyph cell from the text window's start geometry, for as long as
// the text window does not supply its own.
void NextGlyphCell(Engine& e, int32_t& x, int32_t& y) {
  if (e.input.hooks.nextGlyphCell) {
    e.input.hooks.nextGlyphCell(e, x, y);
    return;
  }
  NextCellPosition(e, x, y);
}

ClickWaitRequest PlainClick() {
  ClickWaitRequest r;
  r.rightClickAction = false;
  return r;
}

}  // namespace

void Cmd_wait(Engine& e) { TimedWait(e, ReadNumberArgument(e), TimedWaitKind::EnterOnly); }
void Cmd_delay(Engine& e) { TimedWait(e, ReadNumberArgument(e), TimedWaitKind::Interruptible); }

// Waits for the sprite's animation to reach its end, then for one more cell.
void Cmd_spwait(Engine& e) {
  int32_t sprite = ReadNumberArgument(e);
  auto& animating = e.input.hooks.spriteAnimating;
  if (!animating) return;
  uint32_t cellMs = 0;
  while (!WaitAbandoned(e) && animating(e, sprite, cellMs)) {
    PumpInput(e);
    IdlePass(e);
  }
  uint32_t start = e.platform->NowMs();
  while (!WaitAbandoned(e)) {
    uint32_t now = e.platform->NowMs();
    if (now < start || now - start >= cellMs) break;
    PumpInput(e);
    IdlePass(e, MsUntil(now, start, cellMs));
  }
}

// A return to the start confirmed during the wait ends it; the statement
// loop then restarts the game.
void Cmd_click(Engine& e) { WaitForClick(e, PlainClick()); }

void Cmd_clickpos(Engine& e) {
  int32_t vx = IntTarget(e, "clickposの第一引数は数字変数です。");
  ExpectComma(e);
  int32_t vy = IntTarget(e, "clickposの第ニ引数は数字変数です。");
  WaitForClick(e, PlainClick());
  StoreInt(e, vx, e.input.clickX);
  StoreInt(e, vy, e.input.clickY);
}

void Cmd_lrclick(Engine& e) { e.values.returnNumber = std::max(WaitLeftOrRight(e), 0); }

void Cmd_clickclear(Engine& e) { e.input.clickX = e.input.clickY = -1; }

// lr_trap_value %v arms the variable (set to 0 now); "off" disarms it.
void Cmd_lr_trap_value(Engine& e) {
  if (SkipBlanks(e) == '%') {
    int32_t var = IntTarget(e, "lr_trap_valueの引数は数字変数です。");
    StoreInt(e, var, 0);
    e.input.clickToVariable = var;
    return;
  }
  std::string word;
  ReadWord(e, word);
  if (word != "off") ReportError(e, kError, "lr_trap_valueの引数は数字変数かoffです。");
  e.input.clickToVariable = -1;
}

void Cmd_resettimer(Engine& e) { e.input.timerBase = e.platform->NowMs(); }

void Cmd_waittimer(Engine& e) {
  int64_t ms = ReadNumberArgument(e);
  uint32_t base = e.input.timerBase;
  while (!WaitAbandoned(e)) {
    uint32_t now = e.platform->NowMs();
    if (now < base || static_cast<int64_t>(now) - base >= ms) break;
    PumpInput(e);
    IdlePass(e, MsUntil(now, base, ms));
  }
}

void Cmd_gettimer(Engine& e) {
  int32_t var = IntTarget(e, "gettimerの引数は数字変数です。");
  int32_t elapsed = static_cast<int32_t>(e.platform->NowMs() - e.input.timerBase);
  StoreInt(e, var, std::max(elapsed, 1));
}

void Cmd_automode_time(Engine& e) { e.input.settings.autoModeTime = ReadNumberArgument(e); }
void Cmd_autoclick(Engine& e) { e.input.settings.autoClickMs = std::max(ReadNumberArgument(e), 0); }
void Cmd_skipoff(Engine& e) { EndSkipAndAuto(e); }

void Cmd_isdown(Engine& e) {
  StoreInt(e, IntTarget(e, "isdownの引数は数字変数です。"), LeftButtonHeld(e) ? 1 : 0);
}

// Ctrl is read whether or not the window has the focus.
void Cmd_isctrl(Engine& e) {
  StoreInt(e, IntTarget(e, "isctrlの引数は数字変数です。"), e.input.keyHeld[vk::kControl] ? 1 : 0);
}

void Cmd_isskip(Engine& e) {
  int32_t value = e.input.autoMode ? 2 : e.interp.skipMode ? 1 : 0;
  StoreInt(e, IntTarget(e, "isskipの引数は数字変数です。"), value);
}

// 1 when the wait a text subroutine took over was a page wait.
void Cmd_ispage(Engine& e) {
  StoreInt(e, IntTarget(e, "ispageの引数は数字変数です。"), e.interp.interruptedWait == '\\' ? 1 : 0);
}

void Cmd_isfull(Engine& e) {
  StoreInt(e, IntTarget(e, "isfullの引数は数字変数です。"), e.app.fullscreen ? 1 : 0);
}

void Cmd_checkkey(Engine& e) {
  int32_t var = IntTarget(e, "checkkeyの第一引数は数字変数です。");
  ExpectComma(e);
  std::string name;
  ReadStringArgument(e, name);
  int key = KeyFromName(name);
  StoreInt(e, var, key != 0 && KeyHeld(e, key) ? 1 : 0);
}

// No joypad is read: all ten values are 0.
void Cmd_getjoypad(Engine& e) {
  static const char* const kOrdinals[] = {"一", "ニ", "三", "四", "五", "六", "七", "八", "九", "十"};
  int32_t vars[10];
  for (int i = 0; i < 10; ++i) {
    if (i > 0) ExpectComma(e);
    vars[i] = IntTarget(e, Format("getjoypadの第%s引数は数字変数です。", kOrdinals[i]).c_str());
  }
  for (int32_t var : vars) StoreInt(e, var, 0);
}

void Cmd_getmousepos(Engine& e) {
  StorePair(e, "getmouseposの第一引数は数字変数です。", "getmouseposの第ニ引数は数字変数です。", e.input.pointerX,
            e.input.pointerY);
}

void Cmd_getcursorpos(Engine& e) {
  int32_t x = 0, y = 0;
  NextGlyphCell(e, x, y);
  const char* message = "getcurposの第１，２引数は数字変数です。";
  StorePair(e, message, message, x, y);
}

void Cmd_mousemode(Engine& e) { e.input.pointerVisible = ReadNumberArgument(e) != 0; }

// The pointer image of the window; the platform shows its own arrow, so the
// name is read and kept out of the way.
void Cmd_mousecursor(Engine& e) {
  std::string name;
  ReadStringArgument(e, name);
}

void Cmd_movemousecursor(Engine& e) {
  int32_t x = ReadNumberArgument(e);
  int32_t y = NextNumber(e);
  MovePointer(e, x, y);
}

void Cmd_getcursor(Engine& e) { e.input.settings.getCursor = true; }
void Cmd_getmclick(Engine& e) { e.input.settings.getMiddleClick = true; }
void Cmd_spclclk(Engine& e) { e.input.settings.spaceIsClick = true; }
void Cmd_getpage(Engine& e) { e.input.settings.getPage = true; }
void Cmd_getpageup(Engine& e) { e.input.settings.getPageUp = true; }
void Cmd_getskipoff(Engine& e) { e.input.settings.getSkipOff = true; }
void Cmd_getinsert(Engine& e) { e.input.settings.getInsert = true; }
void Cmd_getzxc(Engine& e) { e.input.settings.getZxc = true; }
void Cmd_getfunction(Engine& e) { e.input.settings.getFunction = true; }
void Cmd_gettab(Engine& e) { e.input.settings.getTab = true; }
void Cmd_getenter(Engine& e) { e.input.settings.getEnter = true; }

void Cmd_escoutcursor(Engine& e) {
  InputSettings& s = e.input.settings;
  s.escOutX = ReadNumberArgument(e);
  s.escOutY = NextNumber(e);
  s.escOutCursor = true;
}

void Cmd_usewheel(Engine& e) { e.input.settings.useWheel = true; }
void Cmd_useescspc(Engine& e) { e.input.settings.useEscSpc = true; }
void Cmd_ctrlalt(Engine& e) { e.input.settings.ctrlAlt = true; }
void Cmd_mode_kanade(Engine& e) { e.input.settings.modeKanade = true; }
void Cmd_btnnowindowerase(Engine& e) { e.input.settings.btnNoWindowErase = true; }

}  // namespace sorv
