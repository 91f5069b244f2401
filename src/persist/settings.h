// Save and log settings chosen by the *define block.
#pragma once

#include <cstdint>
#include <string>

namespace sorv {

struct PersistSettings {
  int32_t saveNumber = 9;  // slots offered by the save and load menus
  std::string saveDir;     // empty: the game directory
  bool errorSave = false;  // a script error saves to slot 999 first
  bool fileLog = false;
  bool labelLog = false;
  bool kidokuSkip = false;  // the already-read map is loaded and skipping honours it
};

}  // namespace sorv
