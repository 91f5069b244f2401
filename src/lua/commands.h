// The script commands of the Lua bridge.
#pragma once

namespace sorv {

struct Engine;

void Cmd_luasub(Engine& e);   // luasub word
void Cmd_luacall(Engine& e);  // luacall event
void Cmd_luastr(Engine& e);   // luastr "chunk"

}  // namespace sorv
