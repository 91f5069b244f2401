// The script checker behind `sorv --check`: reads every line of a game's
// script without running it and reports what would stop the game or
// surprise its author, as FILE:LINE: error|warning: message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sorv {

struct Engine;

struct Finding {
  std::string file;  // as the error reporter names it
  int line = 0;
  bool error = true;  // false: a warning
  std::string message;
};

struct CheckOptions {
  // Look image, sound and movie names up loose and in the archives.
  bool checkAssets = true;
};

// Checks the script already loaded into `e` (LoadScript or
// LoadScriptFromText); findings come in script order.
std::vector<Finding> CheckScript(Engine& e, const CheckOptions& options = {});

// Loads the game's script and checks it. A script that cannot be loaded at
// all is one error finding.
std::vector<Finding> CheckGame(const std::string& gameDir, const CheckOptions& options = {});

std::string FormatFinding(const Finding& f);

// `sorv --check`: prints the findings on stdout and a count on stderr;
// 0 when no error was found, 1 otherwise.
int RunCheck(const std::string& gameDir);

}  // namespace sorv
