// The *define block's settings commands (besides those of the values,
// control-flow, image, archive and input code).
#pragma once

namespace sorv {

struct Engine;

// Every define-block setting back to its default: run at the start of every
// restart pass.
void RestoreDefineSettings(Engine& e);

void Cmd_savenumber(Engine& e);
void Cmd_mode_ext(Engine& e);
void Cmd_mode_wave_demo(Engine& e);
void Cmd_nodv(Engine& e);
void Cmd_errorsave(Engine& e);
void Cmd_maxkaisoupage(Engine& e);
void Cmd_clickskippage(Engine& e);
void Cmd_englishdialog(Engine& e);
void Cmd_dllfont(Engine& e);
void Cmd_addkinsoku(Engine& e);
void Cmd_setkinsoku(Engine& e);
void Cmd_windowchip(Engine& e);
void Cmd_lookbacksp(Engine& e);
void Cmd_setlayer(Engine& e);
void Cmd_luasub(Engine& e);
void Cmd_luacall(Engine& e);
void Cmd_defvoicevol(Engine& e);
void Cmd_defsevol(Engine& e);
void Cmd_defmp3vol(Engine& e);
void Cmd_defbgmvol(Engine& e);
void Cmd_savedir(Engine& e);
void Cmd_windowback(Engine& e);
void Cmd_kidokuskip(Engine& e);
void Cmd_dsound(Engine& e);
void Cmd_noteraseman(Engine& e);
void Cmd_mode_saya(Engine& e);
void Cmd_defaultspeed(Engine& e);
void Cmd_settextspeed(Engine& e);
void Cmd_lookbackbutton(Engine& e);
void Cmd_lookbackcolor(Engine& e);
void Cmd_savename(Engine& e);
void Cmd_clickstr(Engine& e);
void Cmd_filelog(Engine& e);
void Cmd_labellog(Engine& e);
void Cmd_soundpressplgin(Engine& e);
void Cmd_versionstr(Engine& e);
void Cmd_effectblank(Engine& e);
void Cmd_bgalia(Engine& e);
void Cmd_effect(Engine& e);
void Cmd_defaultfont(Engine& e);
void Cmd_selectcolor(Engine& e);
void Cmd_menuselectcolor(Engine& e);
void Cmd_lookbackvoice(Engine& e);
void Cmd_clickvoice(Engine& e);
void Cmd_selectvoice(Engine& e);
void Cmd_menuselectvoice(Engine& e);
void Cmd_effectcut(Engine& e);
void Cmd_humanz(Engine& e);
void Cmd_rlookback(Engine& e);
void Cmd_roff(Engine& e);
void Cmd_rmenu(Engine& e);
void Cmd_menusetwindow(Engine& e);

}  // namespace sorv
