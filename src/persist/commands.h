// Commands of the save family.
#pragma once

namespace sorv {

struct Engine;

void Cmd_savegame(Engine& e);
void Cmd_savegame2(Engine& e);
void Cmd_loadgame(Engine& e);
void Cmd_saveon(Engine& e);
void Cmd_saveoff(Engine& e);
void Cmd_savepoint(Engine& e);
void Cmd_savefileexist(Engine& e);
void Cmd_getsavestr(Engine& e);
void Cmd_savetime(Engine& e);
void Cmd_savetime2(Engine& e);
void Cmd_getscreenshot(Engine& e);
void Cmd_savescreenshot(Engine& e);
void Cmd_savescreenshot2(Engine& e);
void Cmd_deletescreenshot(Engine& e);

}  // namespace sorv
