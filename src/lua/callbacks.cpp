#include "lua/callbacks.h"

namespace sorv {

// Until the bridge's callback table exists no event has a function.
bool LuaHasCallback(const Engine&, LuaEvent) { return false; }
bool LuaCallback(Engine&, LuaEvent) { return true; }
bool LuaCallback(Engine&, LuaEvent, int) { return true; }

}  // namespace sorv
