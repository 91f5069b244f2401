// svlua: the Lua library games load by name ("svlua.dll"). It owns the one
// Lua interpreter of the process and hands the engine a small C interface
// whose entries all begin with SL_. The engine never links Lua itself.
//
// Failures of the protected entries (SL_call, SL_paramcall, SL_dostring,
// SL_dobuffer) return 0 and leave the error message on top of the stack, so
// the engine can show it before it restores the stack height.
#include <lua.hpp>

#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#define SL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

lua_State* gL = nullptr;

// The engine's question "should running Lua code stop now?" (the game is
// being closed), asked every kHookInstructions VM instructions so that a
// script stuck in a loop cannot hold the window open.
int (*gInterrupt)(void*) = nullptr;
void* gInterruptData = nullptr;
constexpr int kHookInstructions = 1 << 20;

void CountHook(lua_State* L, lua_Debug*) {
  if (gInterrupt && gInterrupt(gInterruptData)) luaL_error(L, "Lua script interrupted: the game is closing");
}

// Calls what lies on the stack (function, then nargs arguments). On failure
// only the message is left above the base; an error value that is not a
// string (error{} or error(nil)) is turned into text for the engine.
int ProtectedCall(int nargs, int nresults) {
  if (lua_pcall(gL, nargs, nresults, 0) == LUA_OK) return 1;
  if (lua_type(gL, -1) != LUA_TSTRING) {
    const char* type = luaL_typename(gL, -1);
    lua_pushfstring(gL, "(error object is a %s value)", type);
    lua_remove(gL, -2);
  }
  return 0;
}

}  // namespace

SL_EXPORT void Initialize() {
  if (gL) lua_close(gL);
  gL = luaL_newstate();
  if (!gL) return;
  luaL_openlibs(gL);
  lua_sethook(gL, CountHook, LUA_MASKCOUNT, kHookInstructions);
}

SL_EXPORT void Finalize() {
  if (gL) lua_close(gL);
  gL = nullptr;
  gInterrupt = nullptr;
  gInterruptData = nullptr;
}

SL_EXPORT lua_State* SL_GetL() { return gL; }

SL_EXPORT int SL_call(const char* name, int nresults) {
  if (!gL) return 0;
  lua_getglobal(gL, name);
  return ProtectedCall(0, nresults);
}

SL_EXPORT int SL_paramcall(int nargs, int nresults) {
  if (!gL) return 0;
  return ProtectedCall(nargs, nresults);
}

SL_EXPORT int SL_dobuffer(const char* text, size_t size, const char* chunkName) {
  if (!gL) return 0;
  if (luaL_loadbuffer(gL, text, size, chunkName) != LUA_OK) return 0;
  return ProtectedCall(0, 0);
}

SL_EXPORT int SL_dostring(const char* text) {
  if (!gL || !text) return 0;
  return SL_dobuffer(text, std::strlen(text), text);
}

SL_EXPORT void SL_setinterrupt(int (*check)(void*), void* data) {
  gInterrupt = check;
  gInterruptData = data;
}

// Raises a Lua error with the caller's position in front of the message,
// as luaL_error does, but with the full printf format.
SL_EXPORT void SL_error(lua_State* L, const char* fmt, ...) {
  char buf[2048];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  luaL_where(L, 1);
  lua_pushstring(L, buf);
  lua_concat(L, 2);
  lua_error(L);
}

SL_EXPORT void SL_settop(lua_State* L, int n) { lua_settop(L, n); }
SL_EXPORT int SL_gettop(lua_State* L) { return lua_gettop(L); }
SL_EXPORT int SL_isnumber(lua_State* L, int i) { return lua_isnumber(L, i); }
SL_EXPORT int SL_istable(lua_State* L, int i) { return lua_istable(L, i); }
SL_EXPORT int SL_isstring(lua_State* L, int i) { return lua_isstring(L, i); }
SL_EXPORT int SL_isboolean(lua_State* L, int i) { return lua_isboolean(L, i); }
SL_EXPORT int SL_isnil(lua_State* L, int i) { return lua_isnil(L, i); }
SL_EXPORT double SL_tonumber(lua_State* L, int i) { return static_cast<double>(lua_tonumber(L, i)); }

// Games pass positions and sizes computed with floating point (x / 2); they
// are truncated toward zero as a 32-bit integer, not refused.
SL_EXPORT int SL_tointeger(lua_State* L, int i) {
  int isInt = 0;
  lua_Integer v = lua_tointegerx(L, i, &isInt);
  if (isInt) return static_cast<int>(static_cast<unsigned int>(v));
  double d = static_cast<double>(lua_tonumber(L, i));
  if (std::isnan(d)) return 0;
  if (d >= 2147483647.0) return INT_MAX;
  if (d <= -2147483648.0) return INT_MIN;
  return static_cast<int>(d);
}

SL_EXPORT const char* SL_tostring(lua_State* L, int i) { return lua_tostring(L, i); }
SL_EXPORT int SL_toboolean(lua_State* L, int i) { return lua_toboolean(L, i); }
SL_EXPORT void SL_pushnumber(lua_State* L, double v) { lua_pushnumber(L, v); }
SL_EXPORT void SL_pushinteger(lua_State* L, int v) { lua_pushinteger(L, v); }
SL_EXPORT void SL_pushstring(lua_State* L, const char* s) { lua_pushstring(L, s); }
SL_EXPORT void SL_pushboolean(lua_State* L, int b) { lua_pushboolean(L, b); }
SL_EXPORT void SL_gettable(lua_State* L, int i) { lua_gettable(L, i); }
SL_EXPORT void SL_pop(lua_State* L, int n) { lua_pop(L, n); }
SL_EXPORT void SL_register(const char* name, lua_CFunction fn) {
  if (gL) lua_register(gL, name, fn);
}
SL_EXPORT void SL_getglobal(lua_State* L, const char* name) { lua_getglobal(L, name); }
