// Helpers for tests that need an engine: a scratch game directory, a whole
// headless run of a script, and an engine positioned on a script text for
// the readers.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "interp/error.h"
#include "platform/platform.h"
#include "shell/engine.h"

namespace sorv::test {

// A fresh directory under the temporary directory, removed with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  void Write(const std::string& name, std::string_view content) const;

 private:
  std::string path_;
};

struct RunResult {
  int status = -1;
  std::string errorTitle, errorMessage, errorText;
  std::string stderrText;  // what the headless message boxes printed
  std::unique_ptr<platform::Platform> platform;
  std::unique_ptr<Engine> engine;
  const std::vector<std::string>& chunks() const { return engine->text.shownChunks; }
  int32_t Int(int n) const { return engine->values.intVars[static_cast<size_t>(n)]; }
  const std::string& Str(int n) const { return engine->values.strVars[static_cast<size_t>(n)]; }
};

// Runs a game directory through the real restart and run loops, headless.
RunResult RunGameDir(const std::string& dir, platform::Options options = {});
// Writes `script` as "0.txt" into a scratch directory and runs it.
RunResult RunScript(std::string_view script, platform::Options options = {});
// Runs `script` with `events` as its events file; `files` may add more files
// to the game directory first.
RunResult RunWithEvents(std::string_view script, std::string_view events,
                        const std::function<void(TempDir&)>& files = {});

// Runs a shell command line; its standard output and error go to `output`.
// The exit status, or -1 when it did not exit normally.
int RunProgram(const std::string& command, std::string* output);

// An engine positioned at the start of a script text, with the label index
// built and the banks allocated; for reader and evaluator tests.
class ScriptEngine {
 public:
  explicit ScriptEngine(std::string_view text);
  Engine& operator*() { return e; }
  Engine* operator->() { return &e; }
  // Places `line` at the scratch offset and positions the reader on it.
  void At(std::string_view line);
  Engine e;
};

// Calls fn() and returns the ScriptError it raised; fails the test if none.
template <typename Fn>
ScriptError ExpectScriptError(Fn&& fn);

}  // namespace sorv::test

#include <gtest/gtest.h>

template <typename Fn>
sorv::ScriptError sorv::test::ExpectScriptError(Fn&& fn) {
  try {
    fn();
  } catch (const ScriptError& err) {
    return err;
  }
  ADD_FAILURE() << "expected a script error";
  return ScriptError("", "", "");
}
