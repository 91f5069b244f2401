// Hook labels the engine calls by itself, click traps and the timer trap.
// The traps are only armed here; the statement loop fires them between
// statements.
#include <algorithm>
#include <cstdint>
#include <string>

#include "interp/control_flow.h"
#include "interp/error.h"
#include "interp/interp.h"
#include "platform/platform.h"
#include "script/reader.h"
#include "script/script.h"
#include "shell/app.h"
#include "shell/engine.h"

namespace sorv {

namespace {

// Label names are kept lower case without '*'; one given as a string keeps
// its case from the reader, so it is lowered here.
std::string ReadLowerLabel(Engine& e) {
  std::string label;
  ReadLabelName(e, label);
  for (char& c : label) c = static_cast<char>(LowerAscii(static_cast<unsigned char>(c)));
  return label;
}

void SetHookLabel(Engine& e, HookLabel& hook) {
  hook.label = ReadLowerLabel(e);
  hook.on = true;
}

// A click the player made before the trap was set must not fire it; that
// includes events the platform holds that the shell has not taken yet.
void DropPendingClicks(Engine& e) {
  FillMessageQueue(e);
  auto& queue = e.app.queue;
  queue.erase(std::remove_if(queue.begin(), queue.end(),
                             [](const platform::Event& ev) {
                               using T = platform::Event::Type;
                               return (ev.type == T::MouseUp && ev.button == platform::MouseButton::Left) ||
                                      ev.type == T::Text;
                             }),
              queue.end());
}

// "resume": a trap that fired while stopped jumps now.
void ResumeTrap(Engine& e, std::string& label, int& mode) {
  bool fired = mode == 2;
  mode = 0;
  // "off" may have emptied the label since it fired; there is nowhere to go.
  if (!fired || label.empty()) return;
  std::string target = std::move(label);
  label.clear();
  JumpToLabel(e, target);
}

// off / stop / resume; false for any other word.
bool TrapControlWord(Engine& e, std::string& label, int& mode) {
  std::string word;
  ReadWord(e, word);
  if (word == "off") {
    label.clear();
  } else if (word == "stop") {
    mode = 1;
  } else if (word == "resume") {
    ResumeTrap(e, label, mode);
  } else {
    return false;
  }
  return true;
}

void ClickTrapArgument(Engine& e) {
  ClickTrap& t = e.interp.clickTrap;
  if (SkipBlanks(e) == '*') {
    t.label = ReadLowerLabel(e);
    t.mode = 0;
    e.interp.timerTrap.active = false;
    DropPendingClicks(e);
    return;
  }
  if (!TrapControlWord(e, t.label, t.mode)) {
    ReportError(e, "エラー", "trap命令のパラメータは、offもしくは*ラベル名もしくはstopもしくはresumeです。");
  }
}

}  // namespace

void Cmd_textgosub(Engine& e) { SetHookLabel(e, e.interp.textGosub); }

void Cmd_pretextgosub(Engine& e) {
  SetHookLabel(e, e.interp.preTextGosub);
  e.interp.tagMode = true;
}

void Cmd_loadgosub(Engine& e) { SetHookLabel(e, e.interp.loadGosub); }

// A right click now calls the routine: the right-click mode becomes the
// subroutine mode, until rmenu, rlookback or roff choose another.
void Cmd_rgosub(Engine& e) {
  SetHookLabel(e, e.interp.rGosub);
  e.shellSettings.rightClickMode = kRightClickSubroutine;
}

void Cmd_trap(Engine& e) {
  ClickTrap& t = e.interp.clickTrap;
  t.leftOrSkip = false;
  t.leftAndRight = false;
  t.rightOnly = false;
  ClickTrapArgument(e);
}

void Cmd_lr_trap(Engine& e) {
  ClickTrap& t = e.interp.clickTrap;
  t.leftAndRight = true;
  t.rightOnly = false;
  ClickTrapArgument(e);
}

void Cmd_r_trap(Engine& e) {
  ClickTrap& t = e.interp.clickTrap;
  t.rightOnly = true;
  t.leftAndRight = false;
  ClickTrapArgument(e);
}

void Cmd_trap2(Engine& e) {
  e.interp.clickTrap.leftOrSkip = true;
  ClickTrapArgument(e);
}

void Cmd_lr_trap2(Engine& e) {
  ClickTrap& t = e.interp.clickTrap;
  t.leftAndRight = true;
  t.leftOrSkip = true;
  t.rightOnly = false;
  ClickTrapArgument(e);
}

// timertrap *label, ms  /  off / stop / resume
void Cmd_timertrap(Engine& e) {
  TimerTrap& t = e.interp.timerTrap;
  if (SkipBlanks(e) == '*') {
    t.active = true;
    t.label = ReadLowerLabel(e);
    t.mode = 0;
    ExpectComma(e);
    t.interval = static_cast<uint32_t>(ReadNumberArgument(e));
    t.start = e.platform ? e.platform->NowMs() : 0;
    return;
  }
  if (!TrapControlWord(e, t.label, t.mode)) {
    ReportError(e, "エラー",
                "timertrap命令の第一パラメータは、offもしくは*ラベル名もしくはstopもしくはresumeです。");
  }
}

}  // namespace sorv
