// The sound state's life and its timed work: the device, volumes as gains,
// the music stream and the loopbgm pair, fades and ducking.
#include "sound/sound.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "input/input.h"
#include "interp/error.h"
#include "platform/fs.h"
#include "shell/engine.h"
#include "sound/internal.h"

namespace sorv {
namespace {

uint32_t Now(Engine& e) { return e.platform->NowMs(); }

bool Reached(uint32_t now, uint32_t due) { return static_cast<int32_t>(now - due) >= 0; }

int32_t ClampAtt(int32_t a) { return std::clamp<int32_t>(a, 0, 100); }

// The attenuation the music has now: a fade's, or the set one, plus ducking.
int32_t MusicNowAtt(const Engine& e) {
  const SoundState& s = e.sound;
  int32_t base = s.fade.active ? s.fade.current : MusicAttenuation(e);
  return ClampAtt(base + s.duckAtt);
}

// Fades and full skips both shorten to an eighth while text is skipped.
uint32_t FadeTime(Engine& e, int32_t ms) {
  if (ms <= 0) return 0;
  bool skipping = e.interp.skipMode || SkipKeyHeld(e);
  return static_cast<uint32_t>(skipping ? ms / 8 : ms);
}

void StartFade(Engine& e, bool out, bool pair, int32_t from, int32_t to, uint32_t ms) {
  MusicFade& f = e.sound.fade;
  f = MusicFade{};
  if (from == to || ms == 0) return;
  int32_t a = out ? from : to;  // the music's own attenuation
  f.active = true;
  f.out = out;
  f.pair = pair;
  f.current = from;
  f.target = to;
  f.stepMs = a >= 100 ? 10 : std::max<uint32_t>(1, ms / static_cast<uint32_t>(100 - a));
  f.due = Now(e) + f.stepMs;
  ApplyMusicGain(e);
}

void EndMusicNow(Engine& e) {
  SoundState& s = e.sound;
  platform::AudioDevice& d = Device(e);
  if (s.musicKind == MusicKind::Stream) d.StopMusic();
  if (s.musicKind == MusicKind::Pair) {
    d.StopChannel(kIntroChannel);
    d.StopChannel(kLoopChannel);
  }
  s.musicKind = MusicKind::None;
  s.loopPairState = 0;
  s.musicFile.clear();
  s.musicLoop = false;
  s.musicRecorded = false;
  s.fade = MusicFade{};
  ApplyMusicGain(e);
}

bool MusicAudible(Engine& e) {
  const SoundState& s = e.sound;
  if (s.musicKind == MusicKind::Stream) return Device(e).MusicPlaying();
  if (s.musicKind == MusicKind::Pair) return ChannelPlaying(e, kIntroChannel) || ChannelPlaying(e, kLoopChannel);
  return false;
}

// Runs a fade-out to its end. The pair's fade lets the window breathe (one
// message a step) and gives up when the program is closing.
void FadeOutAndWait(Engine& e, bool pair) {
  StartFade(e, true, pair, MusicNowAtt(e), 100, FadeTime(e, e.sound.fadeOutMs));
  while (e.sound.fade.active) {
    if (pair) {
      PumpMessageNoSleep(e);
      if (e.app.closeRequested) break;
    }
    SoundIdle(e);
    if (e.sound.fade.active) e.platform->SleepMs(1);
  }
}

void AdvanceFade(Engine& e, uint32_t now) {
  MusicFade& f = e.sound.fade;
  while (f.active && Reached(now, f.due)) {
    uint32_t late = now - f.due;
    f.current = f.current < f.target ? std::min(f.target, f.current + f.increment)
                                     : std::max(f.target, f.current - f.increment);
    if (f.current == f.target) {
      bool out = f.out;
      f = MusicFade{};
      if (out) {
        EndMusicNow(e);
      } else {
        ApplyMusicGain(e);
      }
      return;
    }
    ApplyMusicGain(e);
    if (late >= f.stepMs) {
      f.stepMs *= 2;
      f.increment *= 2;
    }
    f.due += f.stepMs;
  }
}

// Ducking: while the voice plays the music sinks 2 steps every 8 ms to half
// its volume (a quiet music no further than a quarter); it comes back the
// same way when the voice has ended.
void AdvanceDucking(Engine& e, uint32_t now) {
  SoundState& s = e.sound;
  if (!s.duckMode) {
    if (s.duckAtt != 0) {
      s.duckAtt = 0;
      ApplyMusicGain(e);
    }
    return;
  }
  if (!Reached(now, s.lastDuckStep + 8)) return;
  s.lastDuckStep = now;
  int32_t volume = 100 - MusicAttenuation(e);
  int32_t ducked = std::max(volume / 2, std::min(volume, 25));
  int32_t deepest = volume - ducked;
  bool voice = ChannelPlaying(e, kVoiceChannel);
  int32_t before = s.duckAtt;
  if (voice) {
    s.duckAtt = std::min(deepest, s.duckAtt + 2);
  } else {
    if (Device(e).ChannelLoaded(kVoiceChannel) && !s.viaPlayer[kVoiceChannel]) Device(e).StopChannel(kVoiceChannel);
    s.duckAtt = std::max(0, s.duckAtt - 2);
  }
  if (s.duckAtt != before) ApplyMusicGain(e);
}

// The introduction has ended: the loop was started by the mixer in the same
// instant (or is started now, when it could not be); the introduction's
// sound is released.
void AdvancePair(Engine& e) {
  SoundState& s = e.sound;
  if (s.musicKind != MusicKind::Pair || s.loopPairState != 1) return;
  if (ChannelPlaying(e, kIntroChannel)) return;
  platform::AudioDevice& d = Device(e);
  if (!d.ChannelPlaying(kLoopChannel)) d.PlayChannel(kLoopChannel, true);
  d.StopChannel(kIntroChannel);
  s.loopPairState = 2;
}

}  // namespace

platform::AudioDevice& Device(Engine& e) {
  if (!e.sound.device) e.sound.device = platform::CreateNullAudio(*e.platform);
  return *e.sound.device;
}

double AttenuationGain(int32_t a) {
  if (a >= 100) return 0;
  return std::pow(10.0, -25.0 * ClampAtt(a) / 2000.0);
}

int32_t AttenuationHundredthsDb(int32_t a) { return a >= 100 ? -10000 : -25 * ClampAtt(a); }

int32_t VoiceAttenuation(const Engine& e) {
  const SoundSettings& s = e.soundSettings;
  return s.voiceAtt >= 0 ? s.voiceAtt : ClampAtt(100 - s.defVoiceVol);
}

int32_t EffectAttenuation(const Engine& e) {
  const SoundSettings& s = e.soundSettings;
  return s.seAtt >= 0 ? s.seAtt : ClampAtt(100 - s.defSeVol);
}

// defmp3vol and defbgmvol both set the music's default; a changed bgm
// default wins.
int32_t MusicAttenuation(const Engine& e) {
  const SoundSettings& s = e.soundSettings;
  if (s.musicAtt >= 0) return s.musicAtt;
  return ClampAtt(100 - (s.defBgmVol != 100 ? s.defBgmVol : s.defMp3Vol));
}

int32_t RoleAttenuation(const Engine& e, int channel) {
  if (channel == kVoiceChannel) return VoiceAttenuation(e);
  if (channel == kIntroChannel || channel == kLoopChannel) return MusicAttenuation(e);
  return EffectAttenuation(e);
}

void ApplyChannelGain(Engine& e, int ch) {
  SoundState& s = e.sound;
  if (ch < 0 || ch >= kSoundChannels) return;
  bool music = ch == kIntroChannel || ch == kLoopChannel;
  int32_t a = music && s.musicKind == MusicKind::Pair ? MusicNowAtt(e) : s.channelAtt[static_cast<size_t>(ch)];
  if (s.viaPlayer[static_cast<size_t>(ch)] && s.player.volume) {
    s.player.volume(ch, AttenuationHundredthsDb(a));
    return;
  }
  Device(e).SetChannelGain(ch, AttenuationGain(a));
}

void ApplyMusicGain(Engine& e) {
  SoundState& s = e.sound;
  double gain = AttenuationGain(MusicNowAtt(e));
  platform::AudioDevice& d = Device(e);
  if (s.musicKind == MusicKind::Pair) {
    ApplyChannelGain(e, kIntroChannel);
    ApplyChannelGain(e, kLoopChannel);
  } else {
    d.SetMusicGain(gain);  // the stream, or MIDI on it
  }
}

bool ChannelPlaying(Engine& e, int ch) {
  SoundState& s = e.sound;
  if (ch < 0 || ch >= kSoundChannels) return false;
  if (s.viaPlayer[static_cast<size_t>(ch)]) return s.player.isPlaying && s.player.isPlaying(ch) != 0;
  return Device(e).ChannelPlaying(ch);
}

void StopChannel(Engine& e, int ch) {
  SoundState& s = e.sound;
  if (ch < 0 || ch >= kSoundChannels) return;
  if (s.viaPlayer[static_cast<size_t>(ch)]) {
    if (s.player.close) s.player.close(ch);
    s.viaPlayer[static_cast<size_t>(ch)] = false;
  }
  Device(e).StopChannel(ch);
}

bool VoiceChannelPlaying(Engine& e) { return e.sound.device && ChannelPlaying(e, kVoiceChannel); }

void InitialiseSound(Engine& e) {
  SoundState& s = e.sound;
  if (s.device) return;
  if (!e.platform->IsHeadless()) {
    std::string why;
    s.device = platform::CreateSdlAudio(&why);
    if (!s.device) std::fprintf(stderr, "sorv: no sound (%s)\n", why.c_str());
  }
  if (!s.device) s.device = platform::CreateNullAudio(*e.platform);
  BindChannelPlayer(e);
  e.input.hooks.idle.push_back(SoundIdle);
  e.input.hooks.voicePlaying = VoiceChannelPlaying;
}

void StopAllSound(Engine& e) {
  StopMovie(e);
  SoundState& s = e.sound;
  if (!s.device) return;
  for (int ch = 0; ch < kSoundChannels; ++ch) StopChannel(e, ch);
  platform::AudioDevice& d = Device(e);
  d.StopMusic();
  d.StopChannel(platform::kCdTrackChannel);
  d.StopChannel(platform::kWaveChannel);
  d.StopChannel(platform::kSystemSoundChannel);
  s.musicKind = MusicKind::None;
  s.loopPairState = 0;
  s.musicFile.clear();
  s.musicLoop = s.musicRecorded = false;
  s.fade = MusicFade{};
  s.duckAtt = 0;
  s.midiFile.clear();
  s.midiLoop = false;
  s.cdTrack = -1;
  s.cdLoop = false;
  s.waveFile.clear();
  s.waveLoop = false;
}

void CloseSound(Engine& e) {
  StopAllSound(e);
  SoundState& s = e.sound;
  if (s.player.present && s.player.finalize) s.player.finalize();
  s.player = ChannelPlayer{};
  s.device.reset();
}

void SoundIdle(Engine& e) {
  if (!e.sound.device) return;
  uint32_t now = Now(e);
  AdvancePair(e);
  AdvanceFade(e, now);
  AdvanceDucking(e, now);
}

bool SoundCommandsActive(Engine& e) {
  const SoundState& s = e.sound;
  if (!s.effectsOn) return false;
  return s.soundInSkip || !e.interp.skipMode;
}

// --- Music -------------------------------------------------------------------

void StopMusic(Engine& e) {
  SoundState& s = e.sound;
  if (s.musicKind == MusicKind::None) return;
  // A fade-out already running (a stop from inside a stop) just ends.
  if (s.fadeOutMs > 0 && !s.fade.out && MusicAudible(e)) FadeOutAndWait(e, s.musicKind == MusicKind::Pair);
  EndMusicNow(e);
}

void PlayMusicFile(Engine& e, const std::string& spec, bool loop, bool record) {
  StopMusic(e);
  StopCdAndMidi(e);
  if (spec.empty()) return;
  double seconds = 0;
  std::string name = SplitStartTime(spec, seconds);
  std::optional<SoundSource> src = FindSound(e, name);
  if (!src) return;
  SoundState& s = e.sound;
  s.musicKind = MusicKind::Stream;
  StartFade(e, false, false, 100, MusicAttenuation(e), FadeTime(e, s.fadeInMs));
  ApplyMusicGain(e);
  std::string why;
  if (!Device(e).PlayMusic(src->bytes, loop, seconds, &why)) {
    s.musicKind = MusicKind::None;
    s.fade = MusicFade{};
    ReportUnopenable(e, name);
    return;
  }
  s.musicFile = spec;
  s.musicLoop = loop;
  s.musicRecorded = record;
}

// The introduction on channel 198 once, then the loop on 199 for ever; the
// mixer switches in the instant the introduction ends.
void PlayLoopPair(Engine& e, const std::string& intro, const std::string& loop) {
  StopMusic(e);
  if (intro.empty()) return;
  std::optional<SoundSource> first = FindSound(e, intro);
  if (!first) return;
  std::optional<SoundSource> second = FindSound(e, loop);
  if (!second) return;
  platform::AudioDevice& d = Device(e);
  std::string why;
  if (!d.LoadChannel(kIntroChannel, first->bytes, 0, &why)) return ReportUnopenable(e, intro);
  if (!d.LoadChannel(kLoopChannel, second->bytes, 0, &why)) {
    d.StopChannel(kIntroChannel);
    return ReportUnopenable(e, loop);
  }
  SoundState& s = e.sound;
  s.musicKind = MusicKind::Pair;
  s.channelAtt[kIntroChannel] = s.channelAtt[kLoopChannel] = MusicAttenuation(e);
  StartFade(e, false, true, 100, MusicAttenuation(e), FadeTime(e, s.fadeInMs));
  ApplyMusicGain(e);
  d.ChainChannel(kIntroChannel, kLoopChannel);
  d.PlayChannel(kIntroChannel, false);
  s.loopPairState = 1;
}

void StopLoopPair(Engine& e) {
  if (e.sound.musicKind == MusicKind::Pair) StopMusic(e);
}

}  // namespace sorv
