#include <dlfcn.h>

#include "movie/av_backend.h"
#include "platform/fs.h"

namespace sorv {

const AvBackend* LoadAvBackend(std::string* error) {
  static std::string why;
  static const AvBackend* const table = []() -> const AvBackend* {
    const std::string path = platform::ExecutableDirectory() + "/sorv-av.so";
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
      const char* reason = dlerror();
      why = "movies need sorv-av.so beside the engine: " + std::string(reason ? reason : path);
      return nullptr;
    }
    using Entry = const AvBackend* (*)();
    auto entry = reinterpret_cast<Entry>(dlsym(lib, "sorv_av_backend"));
    const AvBackend* t = entry ? entry() : nullptr;
    if (!t || t->version != kAvBackendVersion || t->sourceBytes != sizeof(MovieSource)) {
      why = path + " was not built with this engine";
      dlclose(lib);
      return nullptr;
    }
    return t;  // stays loaded for the rest of the run
  }();
  if (!table && error) *error = why;
  return table;
}

}  // namespace sorv
