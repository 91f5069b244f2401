// The Lua bridge library ("svlua.dll"), bound by name when the game ships it.
#pragma once

namespace sorv {

struct Engine;

// Looks for the bridge in the game directory, then in "dll\", and binds its
// entry points. Sets e.app.luaPresent when "Initialize" is bound.
void BindLuaBridge(Engine& e);

}  // namespace sorv
