// What a game idle in a wait costs: one minute of virtual time in a button
// wait (a sprite button, nothing clicked), headless, measured as processor
// time. The reference is the same game ending at once, so the ratio says how
// many start-ups one idle minute is worth. Before the waits slept in slices
// (1 ms passes throughout) the median was 53.9 ms against 8.8 ms, ratio 6.1.
#include <unistd.h>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "bench_picture.h"
#include "bench_report.h"
#include "graphics/decoders/decoders.h"
#include "graphics/picture_files.h"
#include "platform/platform.h"
#include "shell/engine.h"
#include "shell/window.h"

namespace {

class GameDir {
 public:
  explicit GameDir(const std::string& body) {
    char tmpl[] = "/tmp/sorv-idle-XXXXXX";
    path_ = mkdtemp(tmpl) ? tmpl : "/tmp";
    Write("0.txt", "*define\ngame\n*start\n" + body);
    sorv::Surface s = sorv::test::MakePicture(40, 30, [](int32_t x, int32_t) { return x < 20 ? 0xFF0000u : 0x00FF00u; });
    std::vector<uint8_t> bmp = sorv::EncodeBmp(s);
    std::ofstream(path_ + "/b.bmp", std::ios::binary).write(reinterpret_cast<const char*>(bmp.data()),
                                                           static_cast<std::streamsize>(bmp.size()));
    // An events file that never clicks keeps the wait attended.
    Write("events", "3600000 close\n");
  }
  ~GameDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }

 private:
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(path_ + "/" + name, std::ios::binary) << text;
  }
  std::string path_;
};

void RunOnce(const GameDir& dir, int64_t maxTimeMs) {
  sorv::platform::Options o;
  o.headless = true;
  o.eventsFile = dir.path() + "/events";
  o.maxTimeMs = maxTimeMs;
  auto platform = sorv::platform::CreateHeadlessPlatform(o);
  auto e = std::make_unique<sorv::Engine>();
  e->platform = platform.get();
  e->gameDir = dir.path();
  platform->CreateMainWindow(e->screenWidth, e->screenHeight);
  int status = sorv::RunEngine(*e);
  platform->Shutdown();
  benchmark::DoNotOptimize(status);
}

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Processor time, not wall time, is what an idle wait must not spend.
void RunTimed(benchmark::State& state, const std::string& body) {
  GameDir dir(body);
  for (auto _ : state) {
    double start = CpuSeconds();
    RunOnce(dir, 60000);
    state.SetIterationTime(CpuSeconds() - start);
  }
}

void BM_ButtonWaitIdleMinute(benchmark::State& state) {
  RunTimed(state, "bg #204060,1\nlsp 1,\":a;b.bmp\",100,100\nprint 1\nbtndef clear\nspbtn 1,1\nbtnwait %0\nend\n");
}
BENCHMARK(BM_ButtonWaitIdleMinute)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_StartOnly(benchmark::State& state) {
  RunTimed(state, "bg #204060,1\nlsp 1,\":a;b.bmp\",100,100\nprint 1\nend\n");
}
BENCHMARK(BM_StartOnly)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

int main(int argc, char** argv) {
  // The headless message boxes and the time-limit note go to stderr.
  std::freopen("/dev/null", "w", stderr);
  return sorv::bench::RunAndReport(argc, argv, {{"idle_button_wait_minute", "BM_ButtonWaitIdleMinute/manual_time",
                                                 "BM_StartOnly/manual_time", "start_only"}});
}
