// Numeric arguments and `if` conditions are re-read from the script text every
// time a statement runs, so their cost is paid on every pass of a game's loops.
// Measured beside Lua 5.4 running an already compiled chunk that computes the
// same thing, and beside a hand-written C++ function (the floor).
#include <benchmark/benchmark.h>
#include <lua.hpp>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "script/reader.h"
#include "script/script.h"
#include "shell/engine.h"
#include "values/commands.h"

namespace {

// Variables 1 ... 6 hold these; the condition below holds for them, so all
// six terms of the AND chain are evaluated.
constexpr int32_t kVars[7] = {0, 3, 5, 7, 4, 50, 0};

const char* const kExprScript = "\n(%1+%2*3-%4/2) mod 7\n";
const char* const kCondScript = "\n%1 == 3 & %2 < 10 & %3 >= 0 & %4 != 7 & %5 <= 100 & %6 > -5 X\n";
const char* const kExprLua = "return (v1 + v2*3 - v4//2) % 7";
const char* const kCondLua = "return v1 == 3 and v2 < 10 and v3 >= 0 and v4 ~= 7 and v5 <= 100 and v6 > -5";

// An engine whose script is one expression line, after an empty first line.
void Prepare(sorv::Engine& e, const char* script) {
  sorv::LoadScriptFromText(e, script);
  for (int i = 1; i <= 6; ++i) e.values.intVars[static_cast<size_t>(i)] = kVars[i];
}

void EngineExpr(benchmark::State& state) {
  sorv::Engine e;
  Prepare(e, kExprScript);
  for (auto _ : state) {
    e.script.pos = 1;
    benchmark::DoNotOptimize(sorv::ReadNumberArgument(e));
  }
  e.script.pos = 1;
  if (sorv::ReadNumberArgument(e) != 2) state.SkipWithError("wrong value");
}

void EngineCondition(benchmark::State& state) {
  sorv::Engine e;
  Prepare(e, kCondScript);
  for (auto _ : state) {
    e.script.pos = 1;
    sorv::Cmd_if(e);
    benchmark::DoNotOptimize(e.script.pos);
  }
  if (e.script.cur() != 'X') state.SkipWithError("condition did not hold");
}

// A Lua state with v1 ... v6 as globals and the chunk compiled once.
struct LuaChunk {
  lua_State* L = luaL_newstate();
  int ref = LUA_NOREF;
  explicit LuaChunk(const char* source) {
    luaL_openlibs(L);
    for (int i = 1; i <= 6; ++i) {
      const char name[3] = {'v', static_cast<char>('0' + i), '\0'};
      lua_pushinteger(L, kVars[i]);
      lua_setglobal(L, name);
    }
    if (luaL_loadstring(L, source) != LUA_OK) std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
    ref = luaL_ref(L, LUA_REGISTRYINDEX);
  }
  ~LuaChunk() { lua_close(L); }
  // Runs the chunk and leaves its result on the stack.
  bool Call() {
    lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
    return lua_pcall(L, 0, 1, 0) == LUA_OK;
  }
};

void LuaExpr(benchmark::State& state) {
  LuaChunk lua(kExprLua);
  for (auto _ : state) {
    lua.Call();
    benchmark::DoNotOptimize(lua_tointeger(lua.L, -1));
    lua_pop(lua.L, 1);
  }
}

void LuaCondition(benchmark::State& state) {
  LuaChunk lua(kCondLua);
  for (auto _ : state) {
    lua.Call();
    benchmark::DoNotOptimize(lua_toboolean(lua.L, -1));
    lua_pop(lua.L, 1);
  }
}

[[gnu::noinline]] int32_t HandExpr(const int32_t* v) { return (v[1] + v[2] * 3 - v[4] / 2) % 7; }
[[gnu::noinline]] bool HandCondition(const int32_t* v) {
  return v[1] == 3 && v[2] < 10 && v[3] >= 0 && v[4] != 7 && v[5] <= 100 && v[6] > -5;
}

void CppExpr(benchmark::State& state) {
  int32_t vars[7];
  for (int i = 0; i < 7; ++i) vars[i] = kVars[i];
  for (auto _ : state) {
    benchmark::DoNotOptimize(vars);
    benchmark::DoNotOptimize(HandExpr(vars));
  }
}

void CppCondition(benchmark::State& state) {
  int32_t vars[7];
  for (int i = 0; i < 7; ++i) vars[i] = kVars[i];
  for (auto _ : state) {
    benchmark::DoNotOptimize(vars);
    benchmark::DoNotOptimize(HandCondition(vars));
  }
}

void Register(const char* name, void (*fn)(benchmark::State&)) {
  benchmark::RegisterBenchmark(name, fn)
      ->Unit(benchmark::kNanosecond)
      ->Repetitions(5)
      ->ReportAggregatesOnly(true);
}

// Keeps the median real time per iteration of every benchmark (or the single
// run's time when repetitions were turned off) while printing as usual.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  // No colours: the BENCH lines printed after the table must start their lines.
  CollectingReporter() : ConsoleReporter(OO_Tabular) {}
  std::map<std::string, double> ns;

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const std::string& name = run.run_name.function_name;
      const double t = run.GetAdjustedRealTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        ns[name] = t;
      } else if (run.run_type == Run::RT_Iteration && !ns.count(name)) {
        ns[name] = t;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

void PrintPair(const CollectingReporter& r, const char* name, const char* engine, const char* refName,
               const char* ref) {
  auto a = r.ns.find(engine), b = r.ns.find(ref);
  if (a == r.ns.end() || b == r.ns.end() || b->second <= 0) return;
  std::printf("BENCH %s engine_ns=%.1f reference=%s reference_ns=%.1f ratio=%.2f\n", name, a->second, refName,
              b->second, a->second / b->second);
}

}  // namespace

int main(int argc, char** argv) {
  Register("engine_expr", EngineExpr);
  Register("lua_expr", LuaExpr);
  Register("cpp_expr", CppExpr);
  Register("engine_if6", EngineCondition);
  Register("lua_if6", LuaCondition);
  Register("cpp_if6", CppCondition);
  benchmark::Initialize(&argc, argv);
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  PrintPair(reporter, "expr_mod7", "engine_expr", "lua5.4", "lua_expr");
  PrintPair(reporter, "expr_mod7", "engine_expr", "cpp", "cpp_expr");
  PrintPair(reporter, "if_six_terms", "engine_if6", "lua5.4", "lua_if6");
  PrintPair(reporter, "if_six_terms", "engine_if6", "cpp", "cpp_if6");
  return 0;
}
