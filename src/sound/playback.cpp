// Channels, the single wave, CD tracks and MIDI, the interface sounds and
// the voice shorthands; the channel player library.
#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "interp/error.h"
#include "platform/fs.h"
#include "shell/engine.h"
#include "sound/internal.h"

namespace sorv {
namespace {

bool IsOggName(const std::string& name) {
  return name.size() >= 4 && strcasecmp(name.c_str() + name.size() - 4, ".ogg") == 0;
}

bool LoadIntoDevice(Engine& e, int device, const std::string& name, uint32_t startMs) {
  std::optional<SoundSource> src = FindSound(e, name);
  if (!src) return false;
  std::string why;
  if (!Device(e).LoadChannel(device, src->bytes, startMs, &why)) {
    ReportUnopenable(e, name);
    return false;
  }
  return true;
}

// CD tracks are audio files: cd\trackNN with the first extension found.
std::string CdTrackFile(Engine& e, int32_t track) {
  static const char* kExtensions[] = {"ogg", "mp3", "flac", "wav"};
  for (const char* ext : kExtensions) {
    std::string name = Format("cd\\track%02d.%s", track, ext);
    if (platform::IsRegularFile(e.Path(name))) return name;
  }
  return "";
}

double CdGain(const Engine& e) { return static_cast<double>(e.sound.cdVolume) / kCdVolumeMax; }

void PlayOnSystemChannel(Engine& e, const std::string& file) {
  if (file.empty() || !SoundCommandsActive(e)) return;
  if (!LoadIntoDevice(e, platform::kSystemSoundChannel, file, 0)) return;
  Device(e).SetChannelGain(platform::kSystemSoundChannel, AttenuationGain(EffectAttenuation(e)));
  Device(e).PlayChannel(platform::kSystemSoundChannel, false);
}

template <typename Fn>
void Bind(Engine& e, const std::string& lib, const char* entry, Fn& out) {
  out = reinterpret_cast<Fn>(BindEntry(e, lib, entry));
}

}  // namespace

// --- Channels ---------------------------------------------------------------

// Loads a channel; an Ogg file goes to the channel player when one is bound
// and opens it, anything else (or a refusal) to the mixer.
bool LoadChannelFile(Engine& e, int ch, const std::string& spec, double& startSeconds) {
  std::string name = SplitStartTime(spec, startSeconds);
  std::optional<SoundSource> src = FindSound(e, name);
  if (!src) return false;
  StopChannel(e, ch);
  SoundState& s = e.sound;
  if (s.player.present && IsOggName(name) && src->rangeUsable && PlayerOpen(e, ch, *src)) {
    s.viaPlayer[static_cast<size_t>(ch)] = true;
    return true;
  }
  std::string why;
  uint32_t startMs = static_cast<uint32_t>(startSeconds * 1000);
  if (!Device(e).LoadChannel(ch, src->bytes, startMs, &why)) {
    ReportUnopenable(e, name);
    return false;
  }
  return true;
}

void StartChannel(Engine& e, int ch, bool loop, double startSeconds) {
  SoundState& s = e.sound;
  s.channelAtt[static_cast<size_t>(ch)] = RoleAttenuation(e, ch);
  ApplyChannelGain(e, ch);
  if (s.viaPlayer[static_cast<size_t>(ch)]) {
    if (startSeconds > 0 && s.player.play2) {
      s.player.play2(ch, static_cast<int>(startSeconds));
    } else if (s.player.play) {
      s.player.play(ch, loop ? 1 : 0);
    }
    return;
  }
  Device(e).PlayChannel(ch, loop);
}

void PlayChannelFile(Engine& e, int ch, const std::string& file, bool loop) {
  if (ch < 0 || ch >= kSoundChannels || !SoundCommandsActive(e)) return;
  double seconds = 0;
  if (LoadChannelFile(e, ch, file, seconds)) StartChannel(e, ch, loop, seconds);
}

// --- The single wave --------------------------------------------------------

void PlayWave(Engine& e, const std::string& file, bool loop) {
  if (!SoundCommandsActive(e)) return;
  StopWave(e);
  if (!LoadIntoDevice(e, platform::kWaveChannel, file, 0)) return;
  Device(e).SetChannelGain(platform::kWaveChannel, AttenuationGain(EffectAttenuation(e)));
  Device(e).PlayChannel(platform::kWaveChannel, loop);
  e.sound.waveFile = loop ? file : "";
  e.sound.waveLoop = loop;
}

void StopWave(Engine& e) {
  Device(e).StopChannel(platform::kWaveChannel);
  e.sound.waveFile.clear();
  e.sound.waveLoop = false;
}

// --- CD tracks and MIDI -----------------------------------------------------

void PlayCdOrMidi(Engine& e, const std::string& what, bool loop) {
  SoundState& s = e.sound;
  if (!what.empty() && what[0] == '*') {
    if (!s.cdOn) return;
    StopCdAndMidi(e);
    int32_t track = std::atoi(what.c_str() + 1);
    std::string file = CdTrackFile(e, track);
    // Without the track's file there is nothing to hear, as with no disc.
    if (file.empty() || !LoadIntoDevice(e, platform::kCdTrackChannel, file, 0)) return;
    Device(e).SetChannelGain(platform::kCdTrackChannel, CdGain(e));
    Device(e).PlayChannel(platform::kCdTrackChannel, loop);
    s.cdTrack = track;
    s.cdLoop = loop;
    return;
  }
  if (!SoundCommandsActive(e)) return;
  StopCdAndMidi(e);
  StopMusic(e);  // MIDI plays on the music stream
  if (what.empty()) return;
  std::optional<SoundSource> src = FindSound(e, what);
  if (!src) return;
  std::string why;
  Device(e).SetMusicGain(AttenuationGain(MusicAttenuation(e)));
  if (!Device(e).PlayMusic(src->bytes, loop, 0, &why)) return ReportUnopenable(e, what);
  s.midiFile = what;
  s.midiLoop = loop;
}

// A CD track fades out over the cdfadeout time unless config.txt said
// cdfadeoff.
void StopCdAndMidi(Engine& e) {
  SoundState& s = e.sound;
  platform::AudioDevice& d = Device(e);
  if (s.cdTrack >= 0 && s.cdFadeOutMs > 0 && !e.app.cdFadeOff && d.ChannelPlaying(platform::kCdTrackChannel)) {
    uint32_t start = e.platform->NowMs();
    uint32_t elapsed = 0;
    while ((elapsed = e.platform->NowMs() - start) < static_cast<uint32_t>(s.cdFadeOutMs)) {
      d.SetChannelGain(platform::kCdTrackChannel, CdGain(e) * (1.0 - static_cast<double>(elapsed) / s.cdFadeOutMs));
      e.platform->SleepMs(10);
    }
  }
  d.StopChannel(platform::kCdTrackChannel);
  if (!s.midiFile.empty()) d.StopMusic();
  s.cdTrack = -1;
  s.cdLoop = false;
  s.midiFile.clear();
  s.midiLoop = false;
}

void SetCdVolume(Engine& e, int32_t volume) {
  e.sound.cdVolume = std::clamp<int32_t>(volume, 0, kCdVolumeMax);
  Device(e).SetChannelGain(platform::kCdTrackChannel, CdGain(e));
}

// --- Interface sounds and shorthands ----------------------------------------

void PlayClickVoice(Engine& e, int which) {
  PlayOnSystemChannel(e, which == 0 ? e.textSettings.clickSound : e.textSettings.pageSound);
}

void PlaySelectVoice(Engine& e, int which) {
  const auto& s = e.shellSettings.choiceSounds;
  if (which >= 0 && static_cast<size_t>(which) < s.size()) PlayOnSystemChannel(e, s[static_cast<size_t>(which)]);
}

void PlayMenuSelectVoice(Engine& e, int which) {
  const auto& s = e.shellSettings.menuSounds;
  if (which >= 0 && static_cast<size_t>(which) < s.size()) PlayOnSystemChannel(e, s[static_cast<size_t>(which)]);
}

void PlayLookbackVoice(Engine& e) { PlayOnSystemChannel(e, e.textSettings.lookbackVoice); }

bool PlayVoiceShorthand(Engine& e, const std::string& word) {
  if (word.rfind("dv", 0) == 0) {
    PlayChannelFile(e, kVoiceChannel, "voice\\" + word.substr(2) + ".wav", false);
  } else if (word.rfind("mv", 0) == 0) {
    if (SoundCommandsActive(e)) PlayMusicFile(e, "voice\\" + word.substr(2) + ".mp3", false, false);
  } else if (word.rfind("v", 0) == 0) {
    PlayWave(e, "voice\\" + word.substr(1) + ".wav", false);
  } else {
    return false;
  }
  return true;
}

void SetSoundEffectsOn(Engine& e, bool on) {
  e.sound.effectsOn = on;
  if (!on) {
    for (int ch = 0; ch < kSoundChannels; ++ch) StopChannel(e, ch);
    StopWave(e);
    int32_t fadeOut = e.sound.fadeOutMs;  // switched off means silent now
    e.sound.fadeOutMs = 0;
    StopMusic(e);
    e.sound.fadeOutMs = fadeOut;
  }
}

void SetCdAudioOn(Engine& e, bool on) {
  e.sound.cdOn = on;
  if (!on && e.sound.cdTrack >= 0) StopCdAndMidi(e);
}

// --- The channel player library ---------------------------------------------

void BindChannelPlayer(Engine& e) {
  static const char* kLibraries[] = {"dll\\svogg2.dll", "svogg2.dll", "svogg.dll"};
  ChannelPlayer& p = e.sound.player;
  p = ChannelPlayer{};
  for (const char* lib : kLibraries) {
    Bind(e, lib, "Open", p.open);
    if (!p.open) continue;
    p.library = lib;
    Bind(e, lib, "Initialize", p.initialize);
    Bind(e, lib, "Finalize", p.finalize);
    Bind(e, lib, "Close", p.close);
    Bind(e, lib, "Play", p.play);
    Bind(e, lib, "Play2", p.play2);
    Bind(e, lib, "IsPlaying", p.isPlaying);
    Bind(e, lib, "Volume", p.volume);
    if (std::string(lib) != "svogg.dll") Bind(e, lib, "Fade", p.fade);
    p.hasFade = p.fade != nullptr;
    // Without these the library cannot play anything, and the mixer keeps Ogg.
    p.present = p.play && p.isPlaying && p.close;
    if (p.present && p.initialize) p.initialize(nullptr);
    return;
  }
}

bool PlayerOpen(Engine& e, int ch, const SoundSource& src) {
  const ChannelPlayer& p = e.sound.player;
  if (!p.open || src.path.empty()) return false;
  if (src.offset > INT32_MAX || src.size > INT32_MAX) return false;
  return p.open(ch, src.path.c_str(), static_cast<int>(src.offset), static_cast<int>(src.size)) != 0;
}

}  // namespace sorv
