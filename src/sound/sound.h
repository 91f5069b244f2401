// Sound: the 200 channels (0 voice, 1-197 effects, 198/199 the music pair of
// loopbgm), the music stream of the bgm family, CD tracks and MIDI of the
// play family, the single wave of `wave`, volumes kept as attenuations,
// fades and ducking. The audio device mixes; this code decides.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/audio.h"

namespace sorv {

struct Engine;

constexpr int kSoundChannels = 200;
constexpr int kVoiceChannel = 0;
constexpr int kIntroChannel = 198;
constexpr int kLoopChannel = 199;

// CD audio volume in the units of the mixer controls it stands for.
constexpr int32_t kCdVolumeMax = 65535;

// Entry points of the channel player library (svogg2 / svogg), bound by name.
// Open returns non-zero when it took the file; volumes are in hundredths of
// a decibel.
struct ChannelPlayer {
  bool present = false;
  bool hasFade = false;  // svogg2 has Fade, svogg has not
  std::string library;
  int (*initialize)(void* device) = nullptr;
  void (*finalize)() = nullptr;
  int (*open)(int channel, const char* file, int offset, int size) = nullptr;
  void (*close)(int channel) = nullptr;
  void (*play)(int channel, int loop) = nullptr;
  void (*play2)(int channel, int startSeconds) = nullptr;
  int (*isPlaying)(int channel) = nullptr;
  void (*volume)(int channel, int hundredthsOfDb) = nullptr;
  void (*fade)(int channel, int from, int to, int ms, int flag) = nullptr;
};

// A fade of the music attenuation, advanced by the idle step in steps of
// `stepMs`; a step that came late doubles both the step time and the
// increment, so a slow machine still ends the fade on time.
struct MusicFade {
  bool active = false;
  bool out = false;      // fading out: the music stops at the end
  bool pair = false;     // the loopbgm pair is fading (not the stream)
  int32_t current = 0;   // attenuation now
  int32_t target = 0;
  int32_t increment = 1;
  uint32_t stepMs = 10;
  uint32_t due = 0;      // clock time of the next step
};

enum class MusicKind { None, Stream, Pair };

struct SoundState {
  std::unique_ptr<platform::AudioDevice> device;
  ChannelPlayer player;

  std::array<int32_t, kSoundChannels> channelAtt{};  // per-channel attenuation
  std::array<bool, kSoundChannels> viaPlayer{};      // the channel player holds it

  // Music: the bgm family's stream or the loopbgm pair.
  MusicKind musicKind = MusicKind::None;
  std::string musicFile;      // current music (bgm family), for the save
  bool musicLoop = false;
  bool musicRecorded = false; // the save keeps the music
  int loopPairState = 0;      // 0 idle, 1 introduction, 2 loop
  int32_t fadeInMs = 0, fadeOutMs = 0;
  MusicFade fade;
  bool duckMode = false;      // bgmdownmode
  int32_t duckAtt = 0;        // attenuation the ducking adds now
  uint32_t lastDuckStep = 0;

  // The play family.
  std::string midiFile;
  bool midiLoop = false;
  int32_t cdTrack = -1;
  bool cdLoop = false;
  int32_t cdVolume = kCdVolumeMax, cdStartVolume = kCdVolumeMax, cdRestoreVolume = kCdVolumeMax;
  int32_t cdFadeOutMs = 0;

  // The single wave of `wave` / `waveloop`.
  std::string waveFile;
  bool waveLoop = false;

  // Menu switches and the skip setting.
  bool effectsOn = true;   // sound effects on / off
  bool cdOn = true;        // CD audio on / off
  bool soundInSkip = true; // sound commands also act while text is skipped
};

// Opens the audio device (once per process) and binds the channel player.
void InitialiseSound(Engine& e);
// Stops every channel, the music, CD audio and the wave.
void StopAllSound(Engine& e);
// The end of the process: the channel player's Finalize, the device closed.
void CloseSound(Engine& e);
// Timed sound work of the idle step: fades, ducking, the music pair.
void SoundIdle(Engine& e);

// Attenuations in force (the define block's defaults until a command sets one).
int32_t VoiceAttenuation(const Engine& e);
int32_t EffectAttenuation(const Engine& e);
int32_t MusicAttenuation(const Engine& e);
// Attenuation 0-100 to linear gain: -0.25 dB per step, 100 is silence.
double AttenuationGain(int32_t attenuation);
// The same as hundredths of a decibel (-10000 for silence).
int32_t AttenuationHundredthsDb(int32_t attenuation);

// Sounds the other subsystems play.
bool SoundCommandsActive(Engine& e);
void PlayChannelFile(Engine& e, int channel, const std::string& file, bool loop);
void StopChannel(Engine& e, int channel);
void PlayMusicFile(Engine& e, const std::string& file, bool loop, bool record);
void StopMusic(Engine& e);
void PlayLoopPair(Engine& e, const std::string& intro, const std::string& loop);
void StopLoopPair(Engine& e);
void PlayWave(Engine& e, const std::string& file, bool loop);
void StopWave(Engine& e);
// `play` argument: "*n" for CD track n, else a MIDI file.
void PlayCdOrMidi(Engine& e, const std::string& what, bool loop);
void StopCdAndMidi(Engine& e);
// The interface sounds: clickvoice (0 click, 1 page), selectvoice (0 entry,
// 1 hover, 2 click), menuselectvoice (0-6), lookbackvoice. An empty name
// plays nothing.
void PlayClickVoice(Engine& e, int which);
void PlaySelectVoice(Engine& e, int which);
void PlayMenuSelectVoice(Engine& e, int which);
void PlayLookbackVoice(Engine& e);
// Voice shorthands of the dispatcher: v..., dv..., mv.... False when the word
// is none of them.
bool PlayVoiceShorthand(Engine& e, const std::string& word);
bool VoiceChannelPlaying(Engine& e);
// Menu: sound effects on / off, CD audio on / off.
void SetSoundEffectsOn(Engine& e, bool on);
void SetCdAudioOn(Engine& e, bool on);

}  // namespace sorv
