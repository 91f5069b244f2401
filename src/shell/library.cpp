// The library table: optional run-time libraries bound by name.
#include <strings.h>

#include "interp/game_paths.h"
#include "platform/dynlib.h"
#include "shell/engine.h"

namespace sorv {

namespace {

void* Bind(Engine& e, const std::string& libraryFile, const std::string& entryName, bool confined) {
  LibraryEntry* freeSlot = nullptr;
  for (LibraryEntry& lib : e.app.libraries) {
    if (lib.handle && strcasecmp(lib.name.c_str(), libraryFile.c_str()) == 0) {
      return platform::FindSymbol(lib.handle, entryName);
    }
    if (!lib.handle && !freeSlot) freeSlot = &lib;
  }
  if (!freeSlot) return nullptr;
  // Checked before anything is opened: loading runs the library's code.
  if (confined) CheckLibraryName(e, libraryFile);
  void* handle = platform::OpenLibrary(e.gameDir, libraryFile);
  if (!handle) return nullptr;
  freeSlot->name = libraryFile;
  freeSlot->handle = handle;
  return platform::FindSymbol(handle, entryName);
}

}  // namespace

void* BindEntry(Engine& e, const std::string& libraryFile, const std::string& entryName) {
  return Bind(e, libraryFile, entryName, true);
}

void* BindEntryAnywhere(Engine& e, const std::string& libraryFile, const std::string& entryName) {
  return Bind(e, libraryFile, entryName, false);
}

void FreeLibraries(Engine& e) {
  for (LibraryEntry& lib : e.app.libraries) {
    if (lib.handle) platform::CloseLibrary(lib.handle);
    lib = LibraryEntry{};
  }
}

}  // namespace sorv
