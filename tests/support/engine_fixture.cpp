#include "support/engine_fixture.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "shell/window.h"

namespace sorv::test {

namespace {
void RemoveTree(const std::string& path) {
  if (DIR* d = opendir(path.c_str())) {
    while (dirent* ent = readdir(d)) {
      std::string name = ent->d_name;
      if (name == "." || name == "..") continue;
      std::string child = path + "/" + name;
      struct stat st;
      if (lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        RemoveTree(child);
      } else {
        unlink(child.c_str());
      }
    }
    closedir(d);
  }
  rmdir(path.c_str());
}
}  // namespace

TempDir::TempDir() {
  std::string templ = platform::TempDirectory() + "/sorv-test-XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back(0);
  if (!mkdtemp(buf.data())) std::abort();
  path_ = buf.data();
}

TempDir::~TempDir() { RemoveTree(path_); }

void TempDir::Write(const std::string& name, std::string_view content) const {
  std::string full = File(name);
  size_t slash = full.rfind('/');
  if (slash != std::string::npos && slash > path_.size()) mkdir(full.substr(0, slash).c_str(), 0755);
  std::ofstream out(full, std::ios::binary);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

RunResult RunGameDir(const std::string& dir, platform::Options options) {
  options.headless = true;
  RunResult r;
  r.platform = platform::CreateHeadlessPlatform(options);
  r.engine = std::make_unique<Engine>();
  r.engine->platform = r.platform.get();
  r.engine->gameDir = dir;
  r.platform->CreateMainWindow(r.engine->screenWidth, r.engine->screenHeight);
  testing::internal::CaptureStderr();
  r.status = RunEngine(*r.engine);
  r.platform->Shutdown();
  r.stderrText = testing::internal::GetCapturedStderr();
  r.errorTitle = r.engine->app.errorTitle;
  r.errorMessage = r.engine->app.errorMessage;
  r.errorText = r.engine->app.errorText;
  return r;
}

RunResult RunScript(std::string_view script, platform::Options options) {
  TempDir dir;
  dir.Write("0.txt", script);
  return RunGameDir(dir.path(), std::move(options));
}

RunResult RunWithEvents(std::string_view script, std::string_view events,
                        const std::function<void(TempDir&)>& files) {
  TempDir dir;
  dir.Write("0.txt", script);
  dir.Write("events", events);
  if (files) files(dir);
  platform::Options options;
  options.eventsFile = dir.File("events");
  return RunGameDir(dir.path(), options);
}

int RunProgram(const std::string& command, std::string* output) {
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) output->append(buf, n);
  int st = pclose(p);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

ScriptEngine::ScriptEngine(std::string_view text) {
  LoadScriptFromText(e, text);
  BuildLabelIndex(e);
  e.script.pos = 0;
}

void ScriptEngine::At(std::string_view line) {
  // Tests may place lines longer than the scratch area holds.
  size_t need = static_cast<size_t>(e.script.scratchOffset) + line.size() + 2;
  if (e.script.buffer.size() < need) e.script.buffer.resize(need, '\0');
  if (!PlaceScratchLine(e, line)) ADD_FAILURE() << "line does not fit";
}

}  // namespace sorv::test
