// What the bridge's sources share: calling into Lua with the engine's error
// handling, and the frame of a function Lua calls.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "lua/lua_state.h"
#include "shell/engine.h"

namespace sorv {

// The engine that owns the process's one Lua interpreter. The library keeps
// a single interpreter per process, so the functions it calls back find
// their engine here; set while the bridge is bound.
Engine* LuaOwner();

// Calls into Lua through `call` (an SL_call, SL_paramcall or SL_dostring of
// the bound library). A script error raised by an engine function inside
// Lua is raised again here, once Lua has unwound. Returns whether the call
// succeeded; on failure `error` gets Lua's message and the stack is back at
// `top`. On success the results stay for the caller.
template <typename Call>
bool CallIntoLua(Engine& e, int top, std::string& error, Call&& call);

// A failed call into Lua: the script error with `message` (UTF-8, may be
// empty) and Lua's own message (code page 932) below it. Does nothing when
// the failure was the interruption of a closing game.
void ReportLuaFailure(Engine& e, std::string_view message, const std::string& luaError);

// A Lua error raised from an engine function: Lua code may catch it.
struct LuaRaise : std::runtime_error {
  explicit LuaRaise(const std::string& utf8) : std::runtime_error(utf8) {}
};

// The frame of one engine function called from Lua.
struct LuaCall {
  Engine& e;
  lua_State* L;
  const LuaApi& api;

  // Tests the arguments in order: 'n' number, 's' string, 'b' boolean,
  // 't' table. The first mismatch raises "<name>の引数が間違っています。"
  // and the usage line.
  void Check(const char* name, const char* types, const char* usage = nullptr) const;
  int32_t Int(int i) const { return api.SL_tointeger(L, i); }
  double Num(int i) const { return api.SL_tonumber(L, i); }
  bool Bool(int i) const { return api.SL_toboolean(L, i) != 0; }
  std::string Str(int i) const {
    const char* s = api.SL_tostring(L, i);
    return s ? std::string(s) : std::string();
  }
  void Push(int32_t v) const { api.SL_pushinteger(L, v); }
  void PushNumber(double v) const { api.SL_pushnumber(L, v); }
  void PushBool(bool v) const { api.SL_pushboolean(L, v ? 1 : 0); }
  void PushString(const std::string& s) const { api.SL_pushstring(L, s.c_str()); }
};

// Runs a chunk of Lua text (already converted) under `chunkName`.
bool RunLuaChunk(Engine& e, const std::string& text, const std::string& chunkName, std::string& error);
// Reads a Lua file: the loose file, else the archives (SVA first when
// `svaFirst`, else SV2 first). False when found nowhere.
bool ReadLuaFile(Engine& e, const std::string& name, bool svaFirst, std::string& text);

// The registration of every engine function, in the order Lua code sees them.
void RegisterLuaFunctions(Engine& e);
// Recomposes and presents the whole frame.
void PresentLuaFrame(Engine& e);

// --- template body ---

void RaisePendingLuaError(Engine& e);

template <typename Call>
bool CallIntoLua(Engine& e, int top, std::string& error, Call&& call) {
  LuaState& lua = e.lua;
  ++lua.depth;
  bool ok = call() != 0;
  --lua.depth;
  if (lua.pending) {
    lua.api.SL_settop(lua.L, top);
    RaisePendingLuaError(e);
  }
  if (!ok) {
    if (lua.api.SL_gettop(lua.L) > top) {
      const char* m = lua.api.SL_tostring(lua.L, -1);
      error = m ? m : "";
    }
    lua.api.SL_settop(lua.L, top);
  }
  return ok;
}

}  // namespace sorv
