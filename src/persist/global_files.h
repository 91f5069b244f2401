// The files that outlive a game: the global variables ("gloval.sav"), the
// player's settings ("envdata"), the already-read map ("kidoku.dat") and the
// file and label logs ("Sorvflog.dat", "Sorvllog.dat").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sorv {

struct Engine;

// envdata fields whose owners are the menus and settings dialogs: kept as
// read and written back.
struct EnvExtras {
  int32_t menuSwitch2 = 0, menuSwitch4 = 0, menuSwitch6 = 0;
  std::string face2;
  int32_t settings[3] = {0, 0, 0};
  int32_t switch12 = 0;
  int32_t value14 = 0;
};

// The envdata record, field by field.
struct Environment {
  int32_t fullscreen = 0;
  int32_t menuSwitch2 = 0;
  int32_t speedChoice = 1;
  int32_t menuSwitch4 = 0;
  std::string face;
  int32_t menuSwitch6 = 0;
  std::string face2;
  int32_t settings[3] = {0, 0, 0};
  int32_t kidokuMode = 0;
  int32_t switch12 = 0;
  std::string saveDir;
  int32_t value14 = 0;
};

std::vector<uint8_t> EnvironmentBytes(const Environment& env);
Environment ParseEnvironment(const uint8_t* data, size_t size);
std::vector<uint8_t> GlobalVariableBytes(const Engine& e);
void ParseGlobalVariables(Engine& e, const uint8_t* data, size_t size);
std::vector<uint8_t> LogBytes(const std::vector<std::string>& names);
std::vector<std::string> ParseLog(const uint8_t* data, size_t size, size_t capacity);

void SaveGlobalFiles(Engine& e);
// The restart pass: the global variables (cleared when there is no file),
// and the save directory kept in envdata (before the *define block).
void LoadGlobalVariables(Engine& e);
void ReadSaveDirectory(Engine& e);
// After the *define block: the already-read map (kidokuskip), the logs,
// and the player's settings.
void LoadAfterDefine(Engine& e);
void ApplyEnvironment(Engine& e);

}  // namespace sorv
