// The command line of the sorv executable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace sorv {

struct CommandLine {
  platform::Options options;
  std::string gameDir;  // empty: chosen by ChooseGameDirectory
  bool help = false;
  bool version = false;
  bool listCommands = false;
  bool allowShell = false;  // winexec and shell may start what lies outside the game
  bool check = false;       // --check: read the script, report its faults, run nothing
  bool trace = false;       // --trace: every command's trace line on stderr
  bool step = false;        // --step: the debug window's step box starts ticked
  std::string choose;       // --choose POLICY (validated), empty: the default
  std::string coverageFile; // --coverage FILE
  uint64_t memoryLimitMiB = 0;  // 0: the default budget (see platform/memory_budget.h)
  std::string error;  // a usage error
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);
const char* UsageText();
// Without a game directory: the current directory when it holds a script,
// else the executable's directory.
std::string ChooseGameDirectory(const std::string& given);
bool HoldsScript(const std::string& dir);

}  // namespace sorv
