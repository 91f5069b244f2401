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
// when the name is refused (see NormaliseGameName), and when what the name
// resolves to lies outside the game directory: a symbolic link inside the
// game must not lead a reader or a writer out of it.
bool ResolveGameFile(Engine& e, const std::string& scriptName, std::string& path);

// As ResolveGameFile, but a refused name is a script error of `command`.
std::string GameFileOrError(Engine& e, const std::string& scriptName, const char* command);

// Pictures, sounds and archives a script names: the path of the loose file,
// or a script error when the name leads out of the game directory (the same
// refusal as the file commands give).
std::string AssetPathOrError(Engine& e, const std::string& scriptName);

// Libraries a script names (plug-ins of every kind): the same refusal, with
// the library's name in the message. Checks the name as written and, for a
// ".dll" name, the ".so" stand-in too.
void CheckLibraryName(Engine& e, const std::string& libraryName);

}  // namespace sorv
