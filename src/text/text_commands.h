// Script commands of the text window.
#pragma once

namespace sorv {

struct Engine;

void Cmd_setwindow(Engine& e);
void Cmd_setwindow2(Engine& e);
void Cmd_underline(Engine& e);
void Cmd_setwindow3(Engine& e);
void Cmd_textcolor(Engine& e);
void Cmd_setcolor(Engine& e);
void Cmd_linkcolor(Engine& e);
void Cmd_shadedistance(Engine& e);
void Cmd_font(Engine& e);  // also setfont
void Cmd_spfont(Engine& e);
void Cmd_mojitype(Engine& e);
void Cmd_tateyoko(Engine& e);
void Cmd_locate(Engine& e);
void Cmd_puttext(Engine& e);
void Cmd_textclear(Engine& e);
void Cmd_texton(Engine& e);
void Cmd_textoff(Engine& e);
void Cmd_textmode(Engine& e);
void Cmd_texthide(Engine& e);
void Cmd_textshow(Engine& e);
void Cmd_erasetextwindow(Engine& e);

}  // namespace sorv
