// From process start to the first presented frame of the demo game,
// headless: the engine binary beside this program run on a copy of the demo
// with a virtual-time budget of 501 ms. The demo presents its first frame at
// virtual time 500 ms (as the frame list of --dump-frames shows) and the
// budget ends the run right after it; virtual time costs nothing, so the
// figure is start-up, first frame and the close path together (an upper
// bound). The time is the child's processor time, user and system,
// which a machine busy with other work does not inflate; its wall time is
// the counter beside it. The reference is the 100 ms budget.
#include <spawn.h>
#include <sys/resource.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_report.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

fs::path Here() { return fs::read_symlink("/proc/self/exe").parent_path(); }

// The demo from the source tree (the build directory lies inside it), or
// where SORV_DEMO_DIR says.
fs::path DemoSource() {
  if (const char* d = std::getenv("SORV_DEMO_DIR")) return d;
  return Here().parent_path() / "examples" / "demo";
}

class DemoCopy {
 public:
  DemoCopy() {
    char tmpl[] = "/tmp/sorv-startup-XXXXXX";
    if (!mkdtemp(tmpl)) return;
    path_ = tmpl;
    std::error_code ec;
    fs::copy(DemoSource(), path_, fs::copy_options::recursive, ec);
    if (ec) path_.clear();
  }
  ~DemoCopy() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

void BM_StartToFirstFrame(benchmark::State& state) {
  const fs::path sorv = Here() / "sorv";
  DemoCopy demo;
  if (demo.path().empty() || !fs::exists(sorv)) {
    state.SkipWithError("no demo copy or no engine binary beside the benchmark");
    return;
  }
  std::vector<std::string> args = {sorv.string(), "--headless", "--max-time", "501", demo.path().string()};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
  double wall = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ) != 0) {
      state.SkipWithError("the engine did not start");
      break;
    }
    int status = 0;
    rusage use{};
    wait4(pid, &status, 0, &use);
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    // Status 3: the time budget ended the run, as intended.
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 3) {
      state.SkipWithError("the demo did not run to its time budget");
      break;
    }
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
    state.SetIterationTime(seconds(use.ru_utime) + seconds(use.ru_stime));
  }
  posix_spawn_file_actions_destroy(&quiet);
  state.counters["wall_ms"] = benchmark::Counter(wall * 1e3 / static_cast<double>(std::max<int64_t>(state.iterations(), 1)));
}
BENCHMARK(BM_StartToFirstFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);

void BM_Budget100ms(benchmark::State& state) {
  for (auto _ : state) state.SetIterationTime(0.1);
}
BENCHMARK(BM_Budget100ms)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  return sorv::bench::RunAndReport(argc, argv,
                                   {{"startup_first_frame_demo", "BM_StartToFirstFrame/iterations:20/manual_time",
                                     "BM_Budget100ms/iterations:1/manual_time", "budget_100ms"}});
}
