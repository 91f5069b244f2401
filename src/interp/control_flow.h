// Control flow: jumps, subroutines, loops, user-defined commands and their
// parameters, the hook labels the engine calls by itself, click and timer
// traps, and the commands that end, reset or restart the game.
//
// Every handler is called with ScriptPos just behind its command word and
// reads its own arguments. Subroutines, user commands, loops and hooks share
// the one call stack of InterpState: a gosub frame is one entry (the return
// position, >= 0), a for frame four (variable, end, step, -(position behind
// the for)), so the sign of the top entry tells a loop from a subroutine.
#pragma once

#include <string>

namespace sorv {

struct Engine;

// Jumps and subroutines.
void Cmd_goto(Engine& e);
void Cmd_gosub(Engine& e);
void Cmd_return(Engine& e);
void Cmd_noreturn(Engine& e);

// Counted loops.
void Cmd_for(Engine& e);
void Cmd_next(Engine& e);
void Cmd_break(Engine& e);

// Relative and computed jumps.
void Cmd_jumpf(Engine& e);
void Cmd_jumpb(Engine& e);
void Cmd_skip(Engine& e);
void Cmd_tablegoto(Engine& e);

// User-defined commands and their parameters.
void Cmd_defsub(Engine& e);
void Cmd_getparam(Engine& e);
void Cmd_getparam2(Engine& e);
void Cmd_gettag(Engine& e);

// Hook labels (define block).
void Cmd_textgosub(Engine& e);
void Cmd_pretextgosub(Engine& e);
void Cmd_loadgosub(Engine& e);
void Cmd_rgosub(Engine& e);

// Click traps and the timer trap.
void Cmd_trap(Engine& e);
void Cmd_lr_trap(Engine& e);
void Cmd_r_trap(Engine& e);
void Cmd_trap2(Engine& e);
void Cmd_lr_trap2(Engine& e);
void Cmd_timertrap(Engine& e);

// Ending, resetting and restarting.
void Cmd_end(Engine& e);
void Cmd_reset(Engine& e);
void Cmd_definereset(Engine& e);

// A subroutine the engine calls by itself (text-gosub, pretextgosub,
// load-gosub, right-click gosub): reports `overflowMessage` under
// "スタックエラー" when the stack is full, pushes ScriptPos and jumps to
// `label` (lower case, without '*').
void CallEngineSubroutine(Engine& e, const std::string& label, const char* overflowMessage);

// Scans forward statement by statement for the word "next" and leaves
// ScriptPos behind it, or at the end of the text. Nested loops are not
// counted: the first "next" ends the scan.
void ScanToNext(Engine& e);

}  // namespace sorv
