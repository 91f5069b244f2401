// The sound family's commands: each reads its arguments, then asks the
// sound code. Arguments are always read, even while sound is off, so the
// script goes on at the right place.
#include "sound/commands.h"

#include <algorithm>

#include "interp/error.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "sound/internal.h"
#include "values/values.h"

namespace sorv {
namespace {

int32_t ReadVolume(Engine& e, int32_t v) {
  if (v < 0 || v > 100) ReportError(e, "エラー", "ボリュームは０～１００です。");
  return v;
}

bool ValidChannel(int32_t ch) { return ch >= 0 && ch < kSoundChannels; }

void ChannelFile(Engine& e, bool loop) {
  int32_t ch = ReadNumberArgument(e);
  std::string file = NextString(e);
  PlayChannelFile(e, ch, file, loop);
}

void Music(Engine& e, bool loop, bool record) {
  std::string file = ReadString(e);
  if (file.empty()) return StopMusic(e);
  if (SoundCommandsActive(e)) PlayMusicFile(e, file, loop, record);
}

void Play(Engine& e, bool loop) {
  std::string what = ReadString(e);
  PlayCdOrMidi(e, what, loop);
}

void StoreVolume(Engine& e, const char* word, int32_t attenuation) {
  std::string message = Format("%sの引数は数字変数です。", word);
  int32_t var = ReadIntVarTarget(e, message.c_str());
  StoreIntLimited(e, var, 100 - attenuation);
}

void DwavePlay(Engine& e, bool loop) {
  int32_t ch = ReadNumberArgument(e);
  if (!ValidChannel(ch) || !SoundCommandsActive(e)) return;
  if (e.sound.viaPlayer[static_cast<size_t>(ch)] || Device(e).ChannelLoaded(ch)) StartChannel(e, ch, loop, 0);
}

}  // namespace

void Cmd_play(Engine& e) { Play(e, true); }
void Cmd_playonce(Engine& e) { Play(e, false); }
void Cmd_playstop(Engine& e) { StopCdAndMidi(e); }

void Cmd_stop(Engine& e) {
  StopCdAndMidi(e);
  StopMusic(e);
  StopWave(e);
}

void Cmd_mp3(Engine& e) { Music(e, false, false); }
void Cmd_mp3loop(Engine& e) { Music(e, true, true); }
void Cmd_mp3save(Engine& e) { Music(e, false, true); }
void Cmd_mp3stop(Engine& e) { StopMusic(e); }
void Cmd_mp3fadeout(Engine& e) { e.sound.fadeOutMs = std::max(0, ReadNumberArgument(e)); }
void Cmd_mp3fadein(Engine& e) { e.sound.fadeInMs = std::max(0, ReadNumberArgument(e)); }

void Cmd_loopbgm(Engine& e) {
  std::string intro = ReadString(e);
  std::string loop = NextString(e);
  if (intro.empty()) return StopMusic(e);
  if (SoundCommandsActive(e)) PlayLoopPair(e, intro, loop);
}

void Cmd_loopbgmstop(Engine& e) { StopLoopPair(e); }
void Cmd_bgmdownmode(Engine& e) { e.sound.duckMode = ReadNumberArgument(e) != 0; }

void Cmd_wave(Engine& e) { PlayWave(e, ReadString(e), false); }
void Cmd_waveloop(Engine& e) { PlayWave(e, ReadString(e), true); }
void Cmd_wavestop(Engine& e) { StopWave(e); }

void Cmd_dwave(Engine& e) { ChannelFile(e, false); }
void Cmd_dwaveloop(Engine& e) { ChannelFile(e, true); }

// dwave_dd channel, file[, n...]: played as dwave; the further numbers
// are read and have no effect.
void Cmd_dwave_dd(Engine& e) {
  int32_t ch = ReadNumberArgument(e);
  std::string file = NextString(e);
  while (SkipBlanks(e) == ',') NextNumber(e);
  PlayChannelFile(e, ch, file, false);
}

void Cmd_dwaveload(Engine& e) {
  int32_t ch = ReadNumberArgument(e);
  std::string file = NextString(e);
  if (!ValidChannel(ch) || !SoundCommandsActive(e)) return;
  double seconds = 0;
  LoadChannelFile(e, ch, file, seconds);
}

void Cmd_dwaveplay(Engine& e) { DwavePlay(e, false); }
void Cmd_dwaveplayloop(Engine& e) { DwavePlay(e, true); }

void Cmd_dwavestop(Engine& e) {
  int32_t ch = ReadNumberArgument(e);
  if (ValidChannel(ch)) StopChannel(e, ch);
}

void Cmd_chvol(Engine& e) {
  int32_t ch = ReadNumberArgument(e);
  int32_t volume = ReadVolume(e, NextNumber(e));
  if (!ValidChannel(ch)) return;
  e.sound.channelAtt[static_cast<size_t>(ch)] = 100 - volume;
  ApplyChannelGain(e, ch);
}

// The role volumes also reach what is playing now, so a volume setting is
// heard at once.
void Cmd_voicevol(Engine& e) {
  e.soundSettings.voiceAtt = 100 - ReadVolume(e, ReadNumberArgument(e));
  e.sound.channelAtt[kVoiceChannel] = e.soundSettings.voiceAtt;
  ApplyChannelGain(e, kVoiceChannel);
}

void Cmd_sevol(Engine& e) {
  int32_t a = 100 - ReadVolume(e, ReadNumberArgument(e));
  e.soundSettings.seAtt = a;
  for (int ch = 1; ch < kIntroChannel; ++ch) {
    if (!ChannelPlaying(e, ch)) continue;
    e.sound.channelAtt[static_cast<size_t>(ch)] = a;
    ApplyChannelGain(e, ch);
  }
  Device(e).SetChannelGain(platform::kWaveChannel, AttenuationGain(a));
}

void Cmd_mp3vol(Engine& e) {
  e.soundSettings.musicAtt = 100 - ReadVolume(e, ReadNumberArgument(e));
  if (e.sound.fade.active && !e.sound.fade.out) e.sound.fade = MusicFade{};
  e.sound.channelAtt[kIntroChannel] = e.sound.channelAtt[kLoopChannel] = e.soundSettings.musicAtt;
  ApplyMusicGain(e);
}

void Cmd_getvoicevol(Engine& e) { StoreVolume(e, "getvoicevol", VoiceAttenuation(e)); }
void Cmd_getsevol(Engine& e) { StoreVolume(e, "getsevol", EffectAttenuation(e)); }
void Cmd_getmp3vol(Engine& e) { StoreVolume(e, "getmp3vol", MusicAttenuation(e)); }

// The volume test of the volume dialog has no sound of its own here.
void Cmd_voltest(Engine&) {}

void Cmd_getcdvol(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "getcdvolの引数は数字変数です。");
  StoreIntLimited(e, var, e.sound.cdVolume);
}

void Cmd_setcdvol(Engine& e) { SetCdVolume(e, ReadNumberArgument(e)); }
void Cmd_setcdrestorevol(Engine& e) { e.sound.cdRestoreVolume = e.sound.cdVolume; }
void Cmd_resetcdrestorevol(Engine& e) { e.sound.cdRestoreVolume = e.sound.cdStartVolume; }
void Cmd_restorecdvol(Engine& e) { SetCdVolume(e, e.sound.cdRestoreVolume); }
void Cmd_cdfadeout(Engine& e) { e.sound.cdFadeOutMs = std::max(0, ReadNumberArgument(e)); }

}  // namespace sorv
