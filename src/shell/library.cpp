// The library table: optional run-time libraries bound by name.
#include <strings.h>

#include "platform/dynlib.h"
#include "shell/engine.h"

namespace sorv {

void* BindEntry(Engine& e, const std::string& libraryFile, const std::string& entryName) {
  LibraryEntry* freeSlot = nullptr;
  for (LibraryEntry& lib : e.app.libraries) {
    if (lib.handle && strcasecmp(lib.name.c_str(), libraryFile.c_str()) == 0) {
      return platform::FindSymbol(lib.handle, entryName);
    }
    if (!lib.handle && !freeSlot) freeSlot = &lib;
  }
  if (!freeSlot) return nullptr;
  void* handle = platform::OpenLibrary(e.gameDir, libraryFile);
  if (!handle) return nullptr;
  freeSlot->name = libraryFile;
  freeSlot->handle = handle;
  return platform::FindSymbol(handle, entryName);
}

void FreeLibraries(Engine& e) {
  for (LibraryEntry& lib : e.app.libraries) {
    if (lib.handle) platform::CloseLibrary(lib.handle);
    lib = LibraryEntry{};
  }
}

}  // namespace sorv
