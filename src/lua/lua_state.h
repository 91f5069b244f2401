// The Lua bridge's state: the entry points bound from the Lua library, the
// user-command and callback tables, the modules already required, the
// animation timer and the spline table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <map>
#include <set>
#include <string>
#include <vector>

// The interpreter handle is opaque to the engine: Lua lives in the library.
struct lua_State;

namespace sorv {

using LuaCFunction = int (*)(lua_State*);

// Entry points of the Lua library, bound by name at start-up.
struct LuaApi {
  void (*Initialize)() = nullptr;
  lua_State* (*SL_GetL)() = nullptr;
  void (*Finalize)() = nullptr;
  int (*SL_call)(const char* name, int results) = nullptr;
  void (*SL_error)(lua_State* L, const char* fmt, ...) = nullptr;
  void (*SL_settop)(lua_State* L, int n) = nullptr;
  int (*SL_gettop)(lua_State* L) = nullptr;
  int (*SL_isnumber)(lua_State* L, int i) = nullptr;
  int (*SL_istable)(lua_State* L, int i) = nullptr;
  int (*SL_isstring)(lua_State* L, int i) = nullptr;
  int (*SL_isboolean)(lua_State* L, int i) = nullptr;
  int (*SL_isnil)(lua_State* L, int i) = nullptr;
  double (*SL_tonumber)(lua_State* L, int i) = nullptr;
  int (*SL_tointeger)(lua_State* L, int i) = nullptr;
  const char* (*SL_tostring)(lua_State* L, int i) = nullptr;
  int (*SL_toboolean)(lua_State* L, int i) = nullptr;
  void (*SL_pushnumber)(lua_State* L, double v) = nullptr;
  void (*SL_pushinteger)(lua_State* L, int v) = nullptr;
  void (*SL_pushstring)(lua_State* L, const char* s) = nullptr;
  void (*SL_pushboolean)(lua_State* L, int b) = nullptr;
  void (*SL_gettable)(lua_State* L, int i) = nullptr;
  void (*SL_pop)(lua_State* L, int n) = nullptr;
  int (*SL_dostring)(const char* text) = nullptr;
  void (*SL_register)(const char* name, LuaCFunction fn) = nullptr;
  void (*SL_getglobal)(lua_State* L, const char* name) = nullptr;
  int (*SL_paramcall)(int args, int results) = nullptr;
  // Our own library's additions; a library without them still works, with
  // chunks named by their text and no stop for a runaway loop.
  int (*SL_dobuffer)(const char* text, size_t size, const char* chunkName) = nullptr;
  void (*SL_setinterrupt)(int (*check)(void*), void* data) = nullptr;
};

constexpr int kSplineSlots = 256;
constexpr int kSplinePoints = 32;

struct SplineSlot {
  int32_t count = 0;
  double x[kSplinePoints] = {};
  double y[kSplinePoints] = {};
  double z[kSplinePoints] = {};  // second derivatives / 6
};

struct LuaState {
  LuaApi api;
  lua_State* L = nullptr;
  std::string library;  // the file the entry points came from

  std::map<std::string, std::string> userCommands;  // word -> "SVCOM_" + word
  std::map<std::string, std::string> callbacks;     // ":event" -> "SVCALL_" + event
  // The restart pass that last registered each entry: a new pass runs the
  // define block again, which is no second registration.
  std::map<std::string, int> registeredInPass;
  std::string lastError;  // Lua's message of the last failed callback
  std::array<bool, 11> hasCallback{};               // by LuaEvent, for the hot paths
  std::set<std::string> requiredModules;

  bool animationOn = false;
  uint32_t animationInterval = 15;
  uint32_t lastTick = 0;

  std::vector<SplineSlot> splines = std::vector<SplineSlot>(kSplineSlots);
  std::array<uint8_t, 256> scratch{};

  bool luaMain = false;         // the built-in script's main command runs
  bool systemLuaLoaded = false;
  bool inAnimation = false;     // the animation callback runs
  int depth = 0;                // nesting of engine calls into Lua

  // A script error raised inside a function Lua called: it travels through
  // Lua as a Lua error and is raised again once Lua has unwound.
  std::exception_ptr pending;
  std::string raiseMessage;  // what the Lua error says (code page 932)
};

}  // namespace sorv
