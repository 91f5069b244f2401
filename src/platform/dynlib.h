// Shared libraries bound by name at run time (the engine's optional
// capabilities and the plug-ins scripts name).
#pragma once

#include <string>

namespace sorv::platform {

// Opens a shared library. A name ending in ".dll" (any case) is tried first
// with the platform's suffix (".so") in its place and then as written.
// Relative names resolve against `baseDir`, backslashes are taken as
// directory separators, and letter case is matched loosely as games written
// for case-insensitive file systems expect. Returns nullptr when absent.
void* OpenLibrary(const std::string& baseDir, const std::string& name);
void* FindSymbol(void* library, const std::string& entryName);
void CloseLibrary(void* library);

// Why OpenLibrary(baseDir, name) finds no library, for the player: the
// loader's own message for a file that is there but cannot be loaded, or
// "not found".
std::string LibraryLoadError(const std::string& baseDir, const std::string& name);
// The file a loaded library came from.
std::string LibraryFile(void* library);

}  // namespace sorv::platform
