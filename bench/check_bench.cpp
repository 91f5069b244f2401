// `sorv --check` on a 5 MB script written with every construct, beside the
// engine's own loading and label indexing of the same script (the least any
// checker has to do before it reads a statement).
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>

#include "bench_report.h"
#include "check/check.h"
#include "platform/fs.h"
#include "script/script.h"
#include "shell/engine.h"

namespace {

constexpr size_t kScriptBytes = 5u << 20;

const std::string& ScriptDir() {
  static const std::string dir = [] {
    std::string templ = sorv::platform::TempDirectory() + "/sorv-check-bench-XXXXXX";
    std::string d = mkdtemp(templ.data());
    std::ofstream(d + "/bg.bmp") << "BM";
    std::ofstream out(d + "/0.txt", std::ios::binary);
    std::string head =
        ";$V4000L100000\n*define\nnumalias base,100\nstralias who,\"Ann\"\ndefsub helper\n"
        "effect 2,10,500\ngame\n*start\n";
    out << head;
    size_t written = head.size();
    for (int i = 0; written < kScriptBytes; ++i) {
      std::string n = std::to_string(i);
      std::string block =
          "*b" + n + "\n" +
          "mov %" + std::to_string(i % 4000) + ",base+" + n + "*2 : itoa $1,%0 : add $1,who+\"!\"\n" +
          "if %0 >= " + n + " && $1 != \"x\" gosub *b" + std::to_string(i / 2) + "\n" +
          "for %1=1 to 10 step 2 : add %2,?1[%1][0] mod 3 : next\n" +
          "bg \"bg.bmp\",2 : lsp 1,\":a;bg.bmp\",10,20 : select \"a\",*b" + n + ",\n  \"b\",*b" + n + "\n" +
          "helper " + n + ",\"t\" ; a comment\n" +
          "\x82\xa0\x82\xa2$1\x81\x41%0{%}!w100@\n";
      out << block;
      written += block.size();
    }
    out << "*helper\nreturn\n";
    return d;
  }();
  return dir;
}

void BM_Check(benchmark::State& state) {
  const std::string& dir = ScriptDir();
  size_t found = 0;
  for (auto _ : state) found += sorv::CheckGame(dir).size();
  if (found) state.SkipWithError("the generated script drew findings");
}
BENCHMARK(BM_Check)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_LoadAndIndex(benchmark::State& state) {
  const std::string& dir = ScriptDir();
  for (auto _ : state) {
    auto e = std::make_unique<sorv::Engine>();
    e->gameDir = dir;
    sorv::LoadScript(*e);
    sorv::BuildLabelIndex(*e);
    benchmark::DoNotOptimize(e->script.labels.size());
  }
}
BENCHMARK(BM_LoadAndIndex)->Unit(benchmark::kMillisecond)->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
  return sorv::bench::RunAndReport(
      argc, argv, {{"check_5mb_script", "BM_Check/repeats:5", "BM_LoadAndIndex/repeats:5", "load_and_index"}});
}
