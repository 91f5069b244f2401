#include "lua/bridge.h"

#include "interp/error.h"
#include "lua/lua_call.h"
#include "platform/encoding.h"
#include "platform/fs.h"
#include "shell/engine.h"
#include "shell/window.h"

namespace sorv {

namespace {

Engine* gOwner = nullptr;

bool LibraryExists(const Engine& e, const std::string& name) {
  std::string so = name.substr(0, name.size() - 4) + ".so";
  return platform::IsRegularFile(e.Path(so)) || platform::IsRegularFile(e.Path(name));
}

// The game's own library is bound inside the game directory only; ours,
// beside the executable, is the engine's and bound where it lies.
template <typename T>
void Bind(Engine& e, const std::string& lib, bool ours, const char* name, T& out) {
  out = reinterpret_cast<T>(ours ? BindEntryAnywhere(e, lib, name) : BindEntry(e, lib, name));
}

// The entries in the order the engine has always bound them, then our own
// library's additions.
LuaApi BindAll(Engine& e, const std::string& lib, bool ours) {
  LuaApi a;
  Bind(e, lib, ours, "Initialize", a.Initialize);
  if (!a.Initialize) return a;
  Bind(e, lib, ours, "SL_GetL", a.SL_GetL);
  Bind(e, lib, ours, "Finalize", a.Finalize);
  Bind(e, lib, ours, "SL_call", a.SL_call);
  Bind(e, lib, ours, "SL_error", a.SL_error);
  Bind(e, lib, ours, "SL_settop", a.SL_settop);
  Bind(e, lib, ours, "SL_gettop", a.SL_gettop);
  Bind(e, lib, ours, "SL_isnumber", a.SL_isnumber);
  Bind(e, lib, ours, "SL_istable", a.SL_istable);
  Bind(e, lib, ours, "SL_isstring", a.SL_isstring);
  Bind(e, lib, ours, "SL_isboolean", a.SL_isboolean);
  Bind(e, lib, ours, "SL_isnil", a.SL_isnil);
  Bind(e, lib, ours, "SL_tonumber", a.SL_tonumber);
  Bind(e, lib, ours, "SL_tointeger", a.SL_tointeger);
  Bind(e, lib, ours, "SL_tostring", a.SL_tostring);
  Bind(e, lib, ours, "SL_toboolean", a.SL_toboolean);
  Bind(e, lib, ours, "SL_pushnumber", a.SL_pushnumber);
  Bind(e, lib, ours, "SL_pushinteger", a.SL_pushinteger);
  Bind(e, lib, ours, "SL_pushstring", a.SL_pushstring);
  Bind(e, lib, ours, "SL_pushboolean", a.SL_pushboolean);
  Bind(e, lib, ours, "SL_gettable", a.SL_gettable);
  Bind(e, lib, ours, "SL_pop", a.SL_pop);
  Bind(e, lib, ours, "SL_dostring", a.SL_dostring);
  Bind(e, lib, ours, "SL_register", a.SL_register);
  Bind(e, lib, ours, "SL_getglobal", a.SL_getglobal);
  Bind(e, lib, ours, "SL_paramcall", a.SL_paramcall);
  Bind(e, lib, ours, "SL_dobuffer", a.SL_dobuffer);
  Bind(e, lib, ours, "SL_setinterrupt", a.SL_setinterrupt);
  return a;
}

// A library missing any of these would fail at its first use; it counts as
// one we cannot load.
bool Complete(const LuaApi& a) {
  return a.Initialize && a.SL_GetL && a.Finalize && a.SL_call && a.SL_error && a.SL_settop && a.SL_gettop &&
         a.SL_isnumber && a.SL_istable && a.SL_isstring && a.SL_isboolean && a.SL_isnil && a.SL_tonumber &&
         a.SL_tointeger && a.SL_tostring && a.SL_toboolean && a.SL_pushnumber && a.SL_pushinteger &&
         a.SL_pushstring && a.SL_pushboolean && a.SL_gettable && a.SL_pop && a.SL_dostring && a.SL_register &&
         a.SL_getglobal && a.SL_paramcall;
}

// Asked by the library every so many Lua instructions: a game whose Lua code
// never returns must still close when the player closes the window. The
// close question (or the close callback) runs from here.
int InterruptCheck(void* data) {
  Engine& e = *static_cast<Engine*>(data);
  if (e.app.closeRequested || e.app.restartRequested) return 1;
  if (!e.platform || e.lua.pending) return 0;
  try {
    // Without a player the clock only moves when the engine sleeps; a loop
    // that never sleeps is given about the time it would take.
    if (e.platform->IsHeadless()) e.platform->SleepMs(5);
    FillMessageQueue(e);
    auto& q = e.app.queue;
    for (auto it = q.begin(); it != q.end(); ++it) {
      if (it->type != platform::Event::Type::Close) continue;
      q.erase(it);
      RequestClose(e);
      break;
    }
  } catch (...) {
    e.lua.pending = std::current_exception();
    return 1;
  }
  return e.app.closeRequested ? 1 : 0;
}

}  // namespace

Engine* LuaOwner() { return gOwner; }

void BindLuaBridge(Engine& e) {
  std::string lib;
  if (LibraryExists(e, "svlua.dll")) {
    lib = "svlua.dll";
  } else if (LibraryExists(e, "dll\\svlua.dll")) {
    lib = "dll\\svlua.dll";
  } else {
    return;
  }
  LuaApi api = BindAll(e, lib, false);
  if (!Complete(api)) {
    // A game made for Windows ships a library this system cannot load; our
    // own build beside the executable takes its place.
    lib = platform::ExecutableDirectory() + "/svlua.dll";
    api = BindAll(e, lib, true);
  }
  if (!Complete(api)) return;
  LuaState& lua = e.lua;
  lua = LuaState{};
  lua.api = api;
  lua.library = lib;
  gOwner = &e;
  api.Initialize();
  lua.L = api.SL_GetL();
  if (!lua.L) {
    gOwner = nullptr;
    return;
  }
  e.app.luaPresent = true;
  RegisterLuaFunctions(e);
  lua.scratch.fill(0);
  lua.animationOn = false;
  lua.animationInterval = 15;
  if (api.SL_setinterrupt) api.SL_setinterrupt(InterruptCheck, &e);
  e.input.hooks.idle.push_back([](Engine& en) { LuaAnimationTick(en, false); });
}

void FinalizeLuaBridge(Engine& e) {
  if (!e.app.luaPresent) return;
  e.lua.api.Finalize();
  e.lua.L = nullptr;
  e.app.luaPresent = false;
  if (gOwner == &e) gOwner = nullptr;
}

void RaisePendingLuaError(Engine& e) {
  std::exception_ptr p = e.lua.pending;
  e.lua.pending = nullptr;
  std::rethrow_exception(p);
}

void ReportLuaFailure(Engine& e, std::string_view message, const std::string& luaError) {
  if (e.app.closeRequested || e.app.restartRequested) return;
  std::string text(message);
  if (!luaError.empty()) {
    if (!text.empty()) text += "\n";
    text += Sjis(luaError);
  }
  ReportError(e, "エラー", text);
}

bool RunLuaChunk(Engine& e, const std::string& text, const std::string& chunkName, std::string& error) {
  LuaState& lua = e.lua;
  int top = lua.api.SL_gettop(lua.L);
  return CallIntoLua(e, top, error, [&] {
    if (lua.api.SL_dobuffer) return lua.api.SL_dobuffer(text.data(), text.size(), ("@" + chunkName).c_str());
    return lua.api.SL_dostring(text.c_str());
  });
}

std::string ConvertLuaSource(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  bool inside = false;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\r') continue;
    if (c == '\n') {
      inside = false;
    } else if (c == '"') {
      // A quote escaped by a backslash that is itself not escaped stays inside.
      size_t slashes = 0;
      for (size_t j = out.size(); j > 0 && out[j - 1] == '\\'; --j) ++slashes;
      if (slashes % 2 == 0) inside = !inside;
    } else if (inside && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) && i + 1 < text.size()) {
      out.push_back(static_cast<char>(c));
      char second = text[++i];
      out.push_back(second);
      if (second == '\\') out.push_back('\\');
      continue;
    }
    out.push_back(static_cast<char>(c));
  }
  return out;
}

}  // namespace sorv
