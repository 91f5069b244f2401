// The Lua callback table as the rest of the engine sees it: the events a game
// can register Lua functions for, and how the engine calls them. Callers
// report their own message when a call fails.
#pragma once

#include <string>

namespace sorv {

struct Engine;

enum class LuaEvent { Tag, Text0, Text, Animation, Close, End, Transition, SavePoint, Save, Load, Reset };

// True when the bridge is present and a function is registered for `ev`.
bool LuaHasCallback(const Engine& e, LuaEvent ev);

// Calls the registered function (no argument, or one integer). Returns false
// when the call failed; true when it ran or nothing is registered.
bool LuaCallback(Engine& e, LuaEvent ev);
bool LuaCallback(Engine& e, LuaEvent ev, int arg);

// Lua's own message (UTF-8) for the last LuaCallback that failed, to show
// below the caller's message.
std::string LuaCallbackError(const Engine& e);

}  // namespace sorv
