// The Lua bridge: the Lua library ("svlua.dll") bound by name, the functions
// Lua code calls back into the engine, the commands routed to Lua and the
// engine events handed to it.
#pragma once

#include <string>
#include <string_view>

namespace sorv {

struct Engine;

// Looks for the bridge in the game directory, then in "dll\", and binds its
// entry points; when the game's copy cannot be loaded (a Windows library),
// our own copy beside the executable stands in. Sets e.app.luaPresent when
// "Initialize" is bound, then starts the interpreter and registers the
// functions Lua code may call.
void BindLuaBridge(Engine& e);
// The bridge's "Finalize"; the interpreter is gone afterwards.
void FinalizeLuaBridge(Engine& e);

// The game reset's share: system.lua (once per process) and the reset callback.
void LuaGameReset(Engine& e);

// Commands registered with luasub: true when `word` (lower case) is one.
bool IsLuaCommand(const Engine& e, const std::string& word);
// Calls "SVCOM_" + word; the function reads its own arguments.
void RunLuaCommand(Engine& e, const std::string& word);

// One animation tick: runs the animation callback when the mode is on and
// its interval has passed (`force`: at once).
void LuaAnimationTick(Engine& e, bool force);

// The close path. LuaCloseHandled is false without a close callback (the
// engine asks its own question); otherwise `allow` is the callback's answer.
bool LuaCloseHandled(Engine& e, bool& allow);
void LuaEndCallback(Engine& e);

// The display-line hooks (tag, text0, text), each with its failure message.
void LuaTagHook(Engine& e, std::string_view tag);
void LuaText0Hook(Engine& e, std::string_view line);
void LuaTextHook(Engine& e, std::string_view chunk);

// The conversion every chunk from a file or from SL_dostring gets: carriage
// returns dropped, a backslash that is the second byte of a double-byte
// character inside a double-quoted string doubled.
std::string ConvertLuaSource(std::string_view text);

// Linear interpolation and the spline table's arithmetic. The failures are
// returned as messages (UTF-8) for the caller to raise in Lua.
bool LuaLinear(double x0, double y0, double x1, double y1, double x, double& y);
struct SplineSlot;
// Defines `slot` from up to 32 points (the rest is ignored).
void DefineSpline(SplineSlot& slot, const double* xs, const double* ys, int count);
// Evaluates; false with `error` set (UTF-8) for an x outside the points or
// points that are not strictly increasing.
bool EvaluateSpline(const SplineSlot& slot, double x, double& y, const char*& error);

// The system-call names Lua (SVSystemCall) and native plug-ins share: close,
// end, reset, full, window, automode, skip, skipoff. False for any other name.
bool RunSystemCallName(Engine& e, const std::string& what);

}  // namespace sorv
