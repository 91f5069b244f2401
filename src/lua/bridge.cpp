#include "lua/bridge.h"

#include "platform/fs.h"
#include "shell/engine.h"

namespace sorv {

namespace {
const char* const kEntries[] = {
    "Initialize",   "SL_GetL",       "Finalize",       "SL_call",        "SL_error",        "SL_settop",
    "SL_gettop",    "SL_isnumber",   "SL_istable",     "SL_isstring",    "SL_isboolean",    "SL_isnil",
    "SL_tonumber",  "SL_tointeger",  "SL_tostring",    "SL_toboolean",   "SL_pushnumber",   "SL_pushinteger",
    "SL_pushstring", "SL_pushboolean", "SL_gettable",  "SL_pop",         "SL_dostring",     "SL_register",
    "SL_getglobal", "SL_paramcall",
};

bool LibraryExists(const Engine& e, const std::string& name) {
  std::string so = name.substr(0, name.size() - 4) + ".so";
  return platform::IsRegularFile(e.Path(so)) || platform::IsRegularFile(e.Path(name));
}
}  // namespace

// The bridge's calls into Lua and the script-callable functions it registers
// come with the Lua bridge itself; here only its presence is established.
void BindLuaBridge(Engine& e) {
  std::string lib;
  if (LibraryExists(e, "svlua.dll")) {
    lib = "svlua.dll";
  } else if (LibraryExists(e, "dll\\svlua.dll")) {
    lib = "dll\\svlua.dll";
  } else {
    return;
  }
  for (const char* entry : kEntries) {
    void* p = BindEntry(e, lib, entry);
    if (std::string(entry) == "Initialize") e.app.luaPresent = p != nullptr;
  }
}

}  // namespace sorv
