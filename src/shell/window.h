// The main window's message handling.
#pragma once

#include "platform/platform.h"

namespace sorv {

struct Engine;

void WindowProc(Engine& e, const platform::Event& ev);
// The player asked to close: ask the quit question, then close.
void RequestClose(Engine& e);

// Runs a menu command (the bar's items, insertmenu keywords, font slots
// 0-179). Unknown numbers do nothing.
void RunMenuCommand(Engine& e, int command);
// Full screen and back, with the check marks and the menu strip.
void EnterFullscreen(Engine& e);
void LeaveFullscreen(Engine& e);

// Runs the engine in an already created platform until the game ends;
// returns the process exit status.
int RunEngine(Engine& e);

}  // namespace sorv
