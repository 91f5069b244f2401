// Loading and indexing a large script beside a plain read of the same files;
// a jump to the last of 100,000 labels beside a jump to the first.
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench_report.h"
#include "platform/fs.h"
#include "script/script.h"
#include "shell/engine.h"

namespace {

constexpr int kLabels = 100000;
constexpr int kFiles = 10;

// A game directory with about 20 MB of script in ten files and 100,000
// labels, its lines ended by `eol`.
std::string MakeScriptDir(const std::string& eol) {
  std::string templ = sorv::platform::TempDirectory() + "/sorv-bench-XXXXXX";
  std::string d = mkdtemp(templ.data());
  std::string line = "mov %1,%2+3:add $1,\"\x82\xa0\x82\xa2\x82\xa4\":if %1>5 goto *l0 ; padding to be read" + eol;
  int label = 0;
  for (int f = 0; f < kFiles; ++f) {
    std::ofstream out(d + "/" + std::to_string(f) + ".txt", std::ios::binary);
    if (f == 0) out << ";$L200000" << eol << "*define" << eol << "game" << eol << "*start" << eol;
    for (int i = 0; i < kLabels / kFiles; ++i) {
      out << "*l" << label++ << eol;
      for (int k = 0; k < 3; ++k) out << line;
    }
  }
  return d;
}

const std::string& ScriptDir() {
  static const std::string dir = MakeScriptDir("\n");
  return dir;
}

// The same with CR LF line ends, as most games are written.
const std::string& CrLfScriptDir() {
  static const std::string dir = MakeScriptDir("\r\n");
  return dir;
}

void LoadAndIndex(benchmark::State& state, const std::string& dir) {
  for (auto _ : state) {
    auto e = std::make_unique<sorv::Engine>();
    e->gameDir = dir;
    sorv::LoadScript(*e);
    sorv::BuildLabelIndex(*e);
    benchmark::DoNotOptimize(e->script.labels.size());
  }
}

void BM_LoadAndIndex(benchmark::State& state) { LoadAndIndex(state, ScriptDir()); }
BENCHMARK(BM_LoadAndIndex)->Unit(benchmark::kMillisecond);
void BM_LoadAndIndexCrLf(benchmark::State& state) { LoadAndIndex(state, CrLfScriptDir()); }
BENCHMARK(BM_LoadAndIndexCrLf)->Unit(benchmark::kMillisecond);

// The reference reads the same files the way the loader must keep them:
// end to end in one buffer allocated for the whole script, not zeroed first.
void PlainRead(benchmark::State& state, const std::string& dir) {
  std::vector<std::string> paths;
  for (int f = 0; f < kFiles; ++f) paths.push_back(dir + "/" + std::to_string(f) + ".txt");
  for (auto _ : state) {
    uint64_t total = 0;
    for (const std::string& p : paths) total += sorv::platform::RegularFileSize(p).value_or(0);
    std::unique_ptr<char[]> buffer(new char[total]);
    size_t at = 0;
    for (const std::string& p : paths) {
      size_t got = 0;
      sorv::platform::ReadFileInto(p, buffer.get() + at, total - at, got);
      at += got;
    }
    benchmark::DoNotOptimize(buffer.get());
    benchmark::DoNotOptimize(at);
  }
}

void BM_PlainRead(benchmark::State& state) { PlainRead(state, ScriptDir()); }
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);
void BM_PlainReadCrLf(benchmark::State& state) { PlainRead(state, CrLfScriptDir()); }
BENCHMARK(BM_PlainReadCrLf)->Unit(benchmark::kMillisecond);

// What the reference used to be: each file into a vector of its own, which
// the allocator hands back warm in the cache for the next file.
void BM_PlainReadPerFile(benchmark::State& state) {
  const std::string& dir = ScriptDir();
  for (auto _ : state) {
    size_t total = 0;
    for (int f = 0; f < kFiles; ++f) {
      auto data = sorv::platform::ReadWholeFile(dir + "/" + std::to_string(f) + ".txt", 1ull << 30);
      total += data->size();
    }
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_PlainReadPerFile)->Unit(benchmark::kMillisecond);

sorv::Engine& Loaded() {
  static std::unique_ptr<sorv::Engine> e = [] {
    auto p = std::make_unique<sorv::Engine>();
    p->gameDir = ScriptDir();
    sorv::LoadScript(*p);
    sorv::BuildLabelIndex(*p);
    return p;
  }();
  return *e;
}

void BM_JumpFirst(benchmark::State& state) {
  sorv::Engine& e = Loaded();
  for (auto _ : state) {
    sorv::JumpToLabel(e, "l0");
    benchmark::DoNotOptimize(e.script.pos);
  }
}
BENCHMARK(BM_JumpFirst);

void BM_JumpLast(benchmark::State& state) {
  sorv::Engine& e = Loaded();
  std::string last = std::to_string(kLabels - 1);
  last.insert(0, 1, 'l');
  for (auto _ : state) {
    sorv::JumpToLabel(e, last);
    benchmark::DoNotOptimize(e.script.pos);
  }
}
BENCHMARK(BM_JumpLast);

}  // namespace

int main(int argc, char** argv) {
  return sorv::bench::RunAndReport(argc, argv,
                                   {{"script_load_index_20MB", "BM_LoadAndIndex", "BM_PlainRead", "plain_read"},
                                    {"script_load_index_20MB_crlf", "BM_LoadAndIndexCrLf", "BM_PlainReadCrLf",
                                     "plain_read"},
                                    {"jump_last_of_100k", "BM_JumpLast", "BM_JumpFirst", "jump_first"}});
}
namespace {
void BM_LoadOnly(benchmark::State& state) {
  const std::string& dir = ScriptDir();
  for (auto _ : state) {
    auto e = std::make_unique<sorv::Engine>();
    e->gameDir = dir;
    sorv::LoadScript(*e);
    benchmark::DoNotOptimize(e->script.length);
  }
}
BENCHMARK(BM_LoadOnly)->Unit(benchmark::kMillisecond);
void BM_IndexOnly(benchmark::State& state) {
  sorv::Engine& e = Loaded();
  for (auto _ : state) {
    sorv::BuildLabelIndex(e);
    benchmark::DoNotOptimize(e.script.labels.size());
  }
}
BENCHMARK(BM_IndexOnly)->Unit(benchmark::kMillisecond);
}
