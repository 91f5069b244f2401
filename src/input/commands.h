// Commands of waits, clicks, keys, timers and the pointer, and the input
// switches of the *define block.
#pragma once

namespace sorv {

struct Engine;

void Cmd_wait(Engine& e);
void Cmd_delay(Engine& e);
void Cmd_spwait(Engine& e);
void Cmd_click(Engine& e);
void Cmd_clickpos(Engine& e);
void Cmd_lrclick(Engine& e);
void Cmd_clickclear(Engine& e);
void Cmd_lr_trap_value(Engine& e);
void Cmd_resettimer(Engine& e);
void Cmd_waittimer(Engine& e);
void Cmd_gettimer(Engine& e);
void Cmd_automode_time(Engine& e);
void Cmd_autoclick(Engine& e);
void Cmd_skipoff(Engine& e);

void Cmd_isdown(Engine& e);
void Cmd_isctrl(Engine& e);
void Cmd_isskip(Engine& e);
void Cmd_ispage(Engine& e);
void Cmd_isfull(Engine& e);
void Cmd_checkkey(Engine& e);
void Cmd_getjoypad(Engine& e);
void Cmd_getmousepos(Engine& e);
void Cmd_getcursorpos(Engine& e);
void Cmd_mousemode(Engine& e);
void Cmd_mousecursor(Engine& e);
void Cmd_movemousecursor(Engine& e);

// Key switches of the button wait.
void Cmd_getcursor(Engine& e);
void Cmd_getmclick(Engine& e);
void Cmd_spclclk(Engine& e);
void Cmd_getpage(Engine& e);
void Cmd_getpageup(Engine& e);
void Cmd_getskipoff(Engine& e);
void Cmd_getinsert(Engine& e);
void Cmd_getzxc(Engine& e);
void Cmd_getfunction(Engine& e);
void Cmd_gettab(Engine& e);
void Cmd_getenter(Engine& e);
void Cmd_escoutcursor(Engine& e);

// *define block.
void Cmd_usewheel(Engine& e);
void Cmd_useescspc(Engine& e);
void Cmd_ctrlalt(Engine& e);
void Cmd_mode_kanade(Engine& e);
void Cmd_btnnowindowerase(Engine& e);

}  // namespace sorv
