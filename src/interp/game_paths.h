// File names given by scripts. Scripts are untrusted: every file command goes
// through these helpers, which keep names inside the game directory (the save
// directory lies inside it too).
#pragma once

#include <string>

namespace sorv {

struct Engine;

// Normalises a script's file name ('\' or '/' separators, "." and ".."
// components) to a game-relative name. False for an absolute name (leading
// separator or drive letter) and for ".." that climbs out of the game
// directory.
bool NormaliseGameName(const std::string& scriptName, std::string& relative);

// Resolves a script's file name to a path inside the game directory. False
// when the name is refused (see NormaliseGameName).
bool ResolveGameFile(Engine& e, const std::string& scriptName, std::string& path);

// As ResolveGameFile, but a refused name is a script error of `command`.
std::string GameFileOrError(Engine& e, const std::string& scriptName, const char* command);

}  // namespace sorv
