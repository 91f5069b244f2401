// The Lua bridge's own cost: the engine calling an empty Lua function (a
// callback) and Lua calling back into the engine (SVGetIntValue), each beside
// plain Lua 5.4 doing the same through its C API with nothing in between.
#include <lua.hpp>

#include <fstream>
#include <memory>
#include <string>

#include "bench_report.h"
#include "lua/bridge.h"
#include "lua/callbacks.h"
#include "lua/lua_call.h"
#include "platform/fs.h"
#include "platform/platform.h"
#include "script/script.h"
#include "shell/engine.h"

namespace {

constexpr int kCallsPerLoop = 1000;

const char kChunk[] =
    "function SVCALL_save(n) end\n"
    "function calls(k) local s = 0 for i = 1, k do s = s + SVGetIntValue(1) end return s end\n";

// An engine with the bridge bound: the game directory ships a Windows copy
// of the library, so ours beside the benchmark program is used.
struct BridgeEngine {
  std::unique_ptr<sorv::platform::Platform> plat;
  sorv::Engine e;
  bool ok = false;
  BridgeEngine() {
    std::string templ = sorv::platform::TempDirectory() + "/sorv-bench-XXXXXX";
    std::string dir = mkdtemp(templ.data());
    std::ofstream(dir + "/svlua.dll") << "MZ";
    sorv::platform::Options options;
    options.headless = true;
    plat = sorv::platform::CreateHeadlessPlatform(options);
    e.platform = plat.get();
    e.gameDir = dir;
    sorv::LoadScriptFromText(e, "*define\ngame\n*start\nend\n");
    sorv::BindLuaBridge(e);
    if (!e.app.luaPresent) return;
    std::string error;
    ok = sorv::RunLuaChunk(e, kChunk, "bench", error);
    e.lua.hasCallback[static_cast<size_t>(sorv::LuaEvent::Save)] = true;
    e.values.intVars[1] = 1;
  }
  ~BridgeEngine() { sorv::FinalizeLuaBridge(e); }
};

BridgeEngine& Bridge() {
  static BridgeEngine b;
  return b;
}

void BM_BridgeCallback(benchmark::State& state) {
  BridgeEngine& b = Bridge();
  if (!b.ok) state.SkipWithError("the Lua library is not beside the program");
  for (auto _ : state) benchmark::DoNotOptimize(sorv::LuaCallback(b.e, sorv::LuaEvent::Save, 3));
}
BENCHMARK(BM_BridgeCallback);

void BM_BridgeSvCalls(benchmark::State& state) {
  BridgeEngine& b = Bridge();
  if (!b.ok) state.SkipWithError("the Lua library is not beside the program");
  const sorv::LuaApi& api = b.e.lua.api;
  lua_State* L = b.e.lua.L;
  for (auto _ : state) {
    api.SL_getglobal(L, "calls");
    api.SL_pushinteger(L, kCallsPerLoop);
    api.SL_paramcall(1, 1);
    benchmark::DoNotOptimize(api.SL_tointeger(L, -1));
    api.SL_settop(L, 0);
  }
}
BENCHMARK(BM_BridgeSvCalls);

// The references: the same Lua functions in a plain state, the engine
// function replaced by a C function reading an array.
int gVars[4] = {0, 1, 0, 0};

int PlainGetIntValue(lua_State* L) {
  lua_pushinteger(L, gVars[lua_tointeger(L, 1) & 3]);
  return 1;
}

lua_State* PlainState() {
  static lua_State* L = [] {
    lua_State* s = luaL_newstate();
    luaL_openlibs(s);
    lua_register(s, "SVGetIntValue", PlainGetIntValue);
    luaL_dostring(s, kChunk);
    return s;
  }();
  return L;
}

void BM_PlainPcall(benchmark::State& state) {
  lua_State* L = PlainState();
  for (auto _ : state) {
    lua_getglobal(L, "SVCALL_save");
    lua_pushinteger(L, 3);
    benchmark::DoNotOptimize(lua_pcall(L, 1, 0, 0));
  }
}
BENCHMARK(BM_PlainPcall);

void BM_PlainCCalls(benchmark::State& state) {
  lua_State* L = PlainState();
  for (auto _ : state) {
    lua_getglobal(L, "calls");
    lua_pushinteger(L, kCallsPerLoop);
    lua_pcall(L, 1, 1, 0);
    benchmark::DoNotOptimize(lua_tointeger(L, -1));
    lua_settop(L, 0);
  }
}
BENCHMARK(BM_PlainCCalls);

}  // namespace

int main(int argc, char** argv) {
  return sorv::bench::RunAndReport(argc, argv,
                                   {{"lua_callback_empty", "BM_BridgeCallback", "BM_PlainPcall", "lua_pcall"},
                                    {"lua_sv_call_x1000", "BM_BridgeSvCalls", "BM_PlainCCalls", "lua_cfunction"}});
}
