// The sound family's commands.
#pragma once

namespace sorv {

struct Engine;

void Cmd_play(Engine& e);
void Cmd_playonce(Engine& e);
void Cmd_playstop(Engine& e);
void Cmd_stop(Engine& e);
void Cmd_mp3(Engine& e);
void Cmd_mp3loop(Engine& e);
void Cmd_mp3save(Engine& e);
void Cmd_mp3stop(Engine& e);
void Cmd_mp3fadeout(Engine& e);
void Cmd_mp3fadein(Engine& e);
void Cmd_loopbgm(Engine& e);
void Cmd_loopbgmstop(Engine& e);
void Cmd_bgmdownmode(Engine& e);
void Cmd_wave(Engine& e);
void Cmd_waveloop(Engine& e);
void Cmd_wavestop(Engine& e);
void Cmd_dwave(Engine& e);
void Cmd_dwave_dd(Engine& e);
void Cmd_dwaveload(Engine& e);
void Cmd_dwaveplay(Engine& e);
void Cmd_dwaveplayloop(Engine& e);
void Cmd_dwaveloop(Engine& e);
void Cmd_dwavestop(Engine& e);
void Cmd_chvol(Engine& e);
void Cmd_voicevol(Engine& e);
void Cmd_sevol(Engine& e);
void Cmd_mp3vol(Engine& e);
void Cmd_getvoicevol(Engine& e);
void Cmd_getsevol(Engine& e);
void Cmd_getmp3vol(Engine& e);
void Cmd_voltest(Engine& e);
void Cmd_getcdvol(Engine& e);
void Cmd_setcdvol(Engine& e);
void Cmd_setcdrestorevol(Engine& e);
void Cmd_resetcdrestorevol(Engine& e);
void Cmd_restorecdvol(Engine& e);
void Cmd_cdfadeout(Engine& e);

}  // namespace sorv
