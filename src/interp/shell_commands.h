// Commands of the shell and the script source.
#pragma once

namespace sorv {

struct Engine;

void Cmd_game(Engine& e);
void Cmd_labelexist(Engine& e);
void Cmd_caption(Engine& e);
void Cmd_mesbox(Engine& e);
void Cmd_yesnobox(Engine& e);
void Cmd_okcancelbox(Engine& e);
void Cmd_getwindowsize(Engine& e);
void Cmd_minimizewindow(Engine& e);
void Cmd_autosaveoff(Engine& e);
void Cmd_english(Engine& e);
void Cmd_zenkakko(Engine& e);
void Cmd_pagetag(Engine& e);
void Cmd_linepage(Engine& e);
void Cmd_linepage2(Engine& e);

}  // namespace sorv
