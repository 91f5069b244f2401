// Saves: the statement loop with save points taken (as games run it) beside
// Lua 5.4 and beside the same loop under saveoff, and the time to write and
// to load a slot holding a full scene.
#include <lua.hpp>

#include <fstream>
#include <memory>
#include <string>

#include "bench_report.h"
#include "persist/bitmap_file.h"
#include "persist/savepoint.h"
#include "persist/slots.h"
#include "platform/fs.h"
#include "platform/platform.h"
#include "shell/engine.h"
#include "shell/window.h"

namespace {

constexpr int kPasses = 1000000;

std::string MakeGame(const std::string& script) {
  std::string templ = sorv::platform::TempDirectory() + "/sorv-bench-XXXXXX";
  std::string d = mkdtemp(templ.data());
  std::ofstream(d + "/0.txt") << script;
  return d;
}

const std::string& LoopGame(bool saveOff) {
  static const std::string on = MakeGame("*define\ngame\n*start\n*l\nadd %0,1\nif %0<" + std::to_string(kPasses) +
                                         " goto *l\nend\n");
  static const std::string off = MakeGame("*define\ngame\n*start\nsaveoff\n*l\nadd %0,1\nif %0<" +
                                          std::to_string(kPasses) + " goto *l\nend\n");
  return saveOff ? off : on;
}

struct Run {
  std::unique_ptr<sorv::platform::Platform> plat;
  std::unique_ptr<sorv::Engine> e;
  int status = 0;
};

Run RunGame(const std::string& dir) {
  Run r;
  sorv::platform::Options options;
  options.headless = true;
  r.plat = sorv::platform::CreateHeadlessPlatform(options);
  r.e = std::make_unique<sorv::Engine>();
  r.e->platform = r.plat.get();
  r.e->gameDir = dir;
  r.plat->CreateMainWindow(640, 480);
  r.status = sorv::RunEngine(*r.e);
  return r;
}

void Loop(benchmark::State& state, bool saveOff) {
  for (auto _ : state) {
    Run r = RunGame(LoopGame(saveOff));
    if (r.status != 0 || r.e->values.intVars[0] != kPasses) state.SkipWithError("the loop did not finish");
  }
  state.counters["statements/s"] =
      benchmark::Counter(2.0 * kPasses * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
void BM_LoopWithSavePoints(benchmark::State& state) { Loop(state, false); }
void BM_LoopWithoutSavePoints(benchmark::State& state) { Loop(state, true); }
BENCHMARK(BM_LoopWithSavePoints)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoopWithoutSavePoints)->Unit(benchmark::kMillisecond);

void BM_LuaLoop(benchmark::State& state) {
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
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

// A scene that fills the record: every sprite and rotating sprite named,
// every variable below the border set, a background picture.
Run& FullScene() {
  static Run r = [] {
    std::string script = "*define\ndim ?0[999]\ngame\n*start\nbg \"p.bmp\",1\n";
    for (int i = 0; i < 1000; ++i) script += "lsp " + std::to_string(i) + ",\"p.bmp\"," + std::to_string(i % 600) + ",10\n";
    for (int i = 0; i < 256; ++i) script += "lsp2 " + std::to_string(i) + ",\"p.bmp\",100,100,100,100,0\n";
    for (int i = 0; i < 200; ++i) script += "mov %" + std::to_string(i) + "," + std::to_string(i) + ":mov $" +
                                            std::to_string(i) + ",\"variable text " + std::to_string(i) + "\"\n";
    script += "savepoint\nend\n";
    std::string dir = MakeGame(script);
    sorv::Surface s;
    sorv::CreateSurface(s, 16, 16);
    auto bmp = sorv::BitmapFileBytes(s);
    sorv::platform::WriteFileAtomic(dir + "/p.bmp", bmp.data(), bmp.size());
    return RunGame(dir);
  }();
  return r;
}

void BM_WriteSlot(benchmark::State& state) {
  sorv::Engine& e = *FullScene().e;
  for (auto _ : state) {
    sorv::TakeSavePoint(e);
    if (!sorv::SaveSlot(e, 1)) state.SkipWithError("the slot was not written");
  }
  state.counters["bytes"] = static_cast<double>(sorv::FinishedSaveImage(e).size());
}
BENCHMARK(BM_WriteSlot)->Unit(benchmark::kMicrosecond);

// The floor of a slot write: the same bytes written aside and renamed.
void BM_WriteSameBytes(benchmark::State& state) {
  sorv::Engine& e = *FullScene().e;
  const std::vector<uint8_t> bytes = sorv::FinishedSaveImage(e);
  for (auto _ : state) {
    if (!sorv::WriteEngineFile(e, "copy.dat", bytes.data(), bytes.size())) state.SkipWithError("no write");
  }
}
BENCHMARK(BM_WriteSameBytes)->Unit(benchmark::kMicrosecond);

void BM_LoadSlot(benchmark::State& state) {
  sorv::Engine& e = *FullScene().e;
  sorv::TakeSavePoint(e);
  sorv::SaveSlot(e, 2);
  for (auto _ : state) {
    if (sorv::LoadSlot(e, 2) != sorv::LoadResult::Loaded) state.SkipWithError("the slot did not load");
  }
}
BENCHMARK(BM_LoadSlot)->Unit(benchmark::kMicrosecond);

// The floor of a load: reading the file's bytes.
void BM_ReadSlotBytes(benchmark::State& state) {
  sorv::Engine& e = *FullScene().e;
  const std::string path = sorv::WritePath(e, "save2.dat");
  for (auto _ : state) benchmark::DoNotOptimize(sorv::platform::ReadWholeFile(path, 1 << 24));
}
BENCHMARK(BM_ReadSlotBytes)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return sorv::bench::RunAndReport(argc, argv,
                                   {{"script_loop_savepoints_1M", "BM_LoopWithSavePoints", "BM_LuaLoop", "lua5.4"},
                                    {"savepoint_cost_1M", "BM_LoopWithSavePoints", "BM_LoopWithoutSavePoints",
                                     "saveoff"},
                                    {"save_slot_write", "BM_WriteSlot", "BM_WriteSameBytes", "atomic_write"},
                                    {"save_slot_load", "BM_LoadSlot", "BM_ReadSlotBytes", "read_file"}});
}
