// Process entry of the sorv executable.
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "check/check.h"
#include "interp/catalogue.h"
#include "interp/coverage.h"
#include "platform/fs.h"
#include "platform/instance_lock.h"
#include "platform/memory_budget.h"
#include "shell/cli.h"
#include "shell/engine.h"
#include "shell/window.h"

using namespace sorv;

namespace {

int ListCommands() {
  for (const CommandEntry* c = CatalogueBegin(); c != CatalogueEnd(); ++c) {
    std::printf("%s\t%s\t%s\n", c->word, c->family, c->handler ? "implemented" : "missing");
  }
  return 0;
}

// Start-up refusals are shown as a plain message box and end the process
// before anything else is created.
int Refuse(platform::Platform& p, const char* message) {
  p.ShowMessageBox("起動エラー", message, platform::MessageBoxButtons::Ok, platform::MessageBoxIcon::Error);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine cl = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (!cl.error.empty()) {
    std::fprintf(stderr, "sorv: %s\n\n%s", cl.error.c_str(), UsageText());
    return 2;
  }
  if (cl.help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  if (cl.version) {
    std::printf("sorv %s\n", SORV_VERSION);
    return 0;
  }
  if (cl.listCommands) return ListCommands();

  if (cl.memoryLimitMiB) platform::SetMemoryLimit(cl.memoryLimitMiB << 20);

  std::string gameDir = ChooseGameDirectory(cl.gameDir);
  if (!platform::IsDirectory(gameDir)) {
    std::fprintf(stderr, "sorv: %s is not a directory\n", gameDir.c_str());
    return 2;
  }
  if (cl.check) return RunCheck(gameDir);

  std::unique_ptr<platform::Platform> plat;
  try {
    plat = cl.options.headless ? platform::CreateHeadlessPlatform(cl.options)
                               : platform::CreateSdlPlatform(cl.options);
  } catch (const std::exception& ex) {
    std::fprintf(stderr, "sorv: %s\n", ex.what());
    return 2;
  }
  if (!plat) {
    std::fprintf(stderr, "sorv: cannot open a window (no display?); try --headless\n");
    return 2;
  }

  // Headless runs neither take nor check the lock, so tests run side by side.
  platform::InstanceLock lock;
  if (!cl.options.headless && !lock.Acquire("MutexDesu2")) {
    return Refuse(*plat, "同時に二つ実行しないでください");
  }
  int bpp = plat->DisplayBitsPerPixel();
  if (bpp == 1 || bpp == 4 || bpp == 8) {
    lock.Release();
    return Refuse(*plat, "このプログラムの実行にはハイカラー以上の環境が必要です。");
  }

  auto engine = std::make_unique<Engine>();
  engine->platform = plat.get();
  engine->gameDir = gameDir;
  engine->app.allowShell = cl.allowShell;
  engine->debug.toStderr = cl.trace;
  engine->debug.stepAtOpen = cl.step;
  UpdateTracing(*engine);
  engine->app.instanceLock = cl.options.headless ? nullptr : &lock;
  plat->CreateMainWindow(engine->screenWidth, engine->screenHeight);
  if (cl.options.fullscreen) {
    engine->app.fullscreen = true;
    plat->SetFullscreen(true);
  }
  if (!cl.choose.empty()) {
    // Plain "random" is seeded from the clock; the seed is shown so that a
    // run that found something can be repeated.
    ParseChoosePolicy(cl.choose, static_cast<uint64_t>(std::time(nullptr)), engine->app.choose);
    if (cl.choose == "random") {
      std::fprintf(stderr, "sorv: --choose random:%llu\n", static_cast<unsigned long long>(engine->app.choose.seed));
    }
  }
  CoverageRecorder coverage;
  if (!cl.coverageFile.empty()) engine->app.coverage = &coverage;
  int status = RunEngine(*engine);
  if (!cl.coverageFile.empty()) {
    std::string error;
    std::string summary = WriteCoverageReport(*engine, coverage, cl.coverageFile, error);
    if (summary.empty()) {
      std::fprintf(stderr, "sorv: --coverage: %s\n", error.c_str());
    } else {
      std::fprintf(stderr, "sorv: %s\n", summary.c_str());
    }
  }
  plat->Shutdown();
  return status;
}
