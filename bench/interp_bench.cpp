// One million passes of a two-statement script loop through the real
// statement loop, beside Lua 5.4 running the same loop: once with the
// engine's start and end counted in, once the statements alone.
#include <lua.hpp>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>

#include "bench_report.h"
#include "platform/fs.h"
#include "platform/platform.h"
#include "shell/engine.h"
#include "shell/window.h"

namespace {

constexpr int kPasses = 1000000;

std::string MakeGameDir(int passes) {
  std::string templ = sorv::platform::TempDirectory() + "/sorv-bench-XXXXXX";
  std::string d = mkdtemp(templ.data());
  std::ofstream(d + "/0.txt") << "*define\ngame\n*start\n*l\nadd %0,1\nif %0<" << passes << " goto *l\nend\n";
  return d;
}

// Starts a headless engine on the loop of `passes` passes and runs it to its end.
void RunLoop(benchmark::State& state, const std::string& dir, int passes) {
  sorv::platform::Options options;
  options.headless = true;
  auto plat = sorv::platform::CreateHeadlessPlatform(options);
  auto e = std::make_unique<sorv::Engine>();
  e->platform = plat.get();
  e->gameDir = dir;
  plat->CreateMainWindow(640, 480);
  int status = sorv::RunEngine(*e);
  if (status != 0 || e->values.intVars[0] != passes) state.SkipWithError("the loop did not finish");
}

void BM_ScriptLoop(benchmark::State& state) {
  static const std::string dir = MakeGameDir(kPasses);
  for (auto _ : state) RunLoop(state, dir, kPasses);
  state.counters["statements/s"] =
      benchmark::Counter(2.0 * kPasses * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScriptLoop)->Unit(benchmark::kMillisecond);

// The same engine start and end around a single pass: what the loop above
// spends outside its statements.
void BM_EngineStartAndEnd(benchmark::State& state) {
  static const std::string dir = MakeGameDir(1);
  for (auto _ : state) RunLoop(state, dir, 1);
}
BENCHMARK(BM_EngineStartAndEnd)->Unit(benchmark::kMillisecond);

// The statements alone: each iteration runs the engine on the whole loop and
// on a single pass, one right after the other, and counts the difference, so
// that both halves meet the machine in the same state.
void BM_StatementsOnly(benchmark::State& state) {
  static const std::string whole = MakeGameDir(kPasses);
  static const std::string single = MakeGameDir(1);
  using Clock = std::chrono::steady_clock;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    RunLoop(state, single, 1);
    const auto t1 = Clock::now();
    RunLoop(state, whole, kPasses);
    const auto t2 = Clock::now();
    state.SetIterationTime(std::max(0.0, std::chrono::duration<double>((t2 - t1) - (t1 - t0)).count()));
  }
}
BENCHMARK(BM_StatementsOnly)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_LuaLoop(benchmark::State& state) {
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  // Variables live in a table as the script's numbered variables do.
  const std::string chunk = "local v = {[0]=0}\n::l::\nv[0] = v[0] + 1\nif v[0] < " + std::to_string(kPasses) +
                            " then goto l end\nreturn v[0]\n";
  luaL_loadstring(L, chunk.c_str());
  int ref = luaL_ref(L, LUA_REGISTRYINDEX);
  for (auto _ : state) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
    lua_call(L, 0, 1);
    benchmark::DoNotOptimize(lua_tointeger(L, -1));
    lua_pop(L, 1);
  }
  lua_close(L);
}
BENCHMARK(BM_LuaLoop)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return sorv::bench::RunAndReport(argc, argv,
                                   {{"script_loop_1M", "BM_ScriptLoop", "BM_LuaLoop", "lua5.4"},
                                    {"script_loop_1M_statements_only", "BM_StatementsOnly/manual_time", "BM_LuaLoop",
                                     "lua5.4"}});
}
