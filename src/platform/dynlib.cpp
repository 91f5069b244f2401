// Libraries bound by name. Games name Windows DLLs ("svlua.dll",
// "dll\svpng.dll"); our stand-ins are built as ".so" files under the same
// names, so the platform suffix is tried first and the name as written second.
#include "platform/dynlib.h"

#include <dlfcn.h>
#include <link.h>
#include <strings.h>

#include <vector>

#include "platform/fs.h"

namespace sorv::platform {

namespace {

bool EndsWithDll(const std::string& name) {
  return name.size() >= 4 && strcasecmp(name.c_str() + name.size() - 4, ".dll") == 0;
}

void* OpenPath(const std::string& baseDir, const std::string& name) {
  std::string path = ResolvePath(baseDir, name);
  // A bare name would make dlopen search the system's library path instead
  // of the game directory.
  if (path.find('/') == std::string::npos) path = "./" + path;
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

void* OpenLibrary(const std::string& baseDir, const std::string& name) {
  if (name.empty()) return nullptr;
  if (EndsWithDll(name)) {
    if (void* lib = OpenPath(baseDir, name.substr(0, name.size() - 4) + ".so")) return lib;
  }
  return OpenPath(baseDir, name);
}

void* FindSymbol(void* library, const std::string& entryName) {
  if (!library) return nullptr;
  return dlsym(library, entryName.c_str());
}

void CloseLibrary(void* library) {
  if (library) dlclose(library);
}

std::string LibraryLoadError(const std::string& baseDir, const std::string& name) {
  std::vector<std::string> tries;
  if (EndsWithDll(name)) tries.push_back(name.substr(0, name.size() - 4) + ".so");
  tries.push_back(name);
  for (const std::string& n : tries) {
    std::string path = ResolvePath(baseDir, n);
    if (!IsRegularFile(path)) continue;
    if (path.find('/') == std::string::npos) path = "./" + path;
    if (void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
      dlclose(lib);
      return "loads now";
    }
    const char* why = dlerror();
    return why ? why : "cannot be loaded";
  }
  return "not found";
}

std::string LibraryFile(void* library) {
  link_map* map = nullptr;
  if (!library || dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return std::string();
  return map->l_name;
}

}  // namespace sorv::platform
