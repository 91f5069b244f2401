// What the sound sources share among themselves: finding a sound's bytes,
// the channel player, and applying volumes.
#pragma once

#include <optional>
#include <string>

#include "sound/sound.h"

namespace sorv {

// A sound found by name, with where it lies (the channel player opens
// files itself and is told the range of an archive entry).
struct SoundSource {
  platform::SoundBytes bytes;
  std::string path;      // the loose file or the archive, as a file system path
  uint64_t offset = 0;   // of the entry in the archive
  uint64_t size = 0;
  bool rangeUsable = false;  // the bytes lie unchanged at path/offset/size
};

// Looks a sound up: loose file, SV2, SVA, the archive plug-ins; a sound
// plug-in registered for the name's extension then expands it. A missing
// file is reported ("ファイル%sを開けません。") unless noloaderror is on,
// and then nothing is returned.
std::optional<SoundSource> FindSound(Engine& e, const std::string& name);
void ReportUnopenable(Engine& e, const std::string& name);

// "(t)name": a start time in seconds before the name. Returns the name and
// sets `seconds` (0 without one).
std::string SplitStartTime(const std::string& spec, double& seconds);

// The channel player library.
void BindChannelPlayer(Engine& e);
bool PlayerOpen(Engine& e, int channel, const SoundSource& src);

// Channel loading and starting (dwaveload and dwaveplay apart).
bool LoadChannelFile(Engine& e, int channel, const std::string& spec, double& startSeconds);
void StartChannel(Engine& e, int channel, bool loop, double startSeconds);
void SetCdVolume(Engine& e, int32_t volume);

// The volume a channel's role gives it: voice, effects or music.
int32_t RoleAttenuation(const Engine& e, int channel);
void ApplyChannelGain(Engine& e, int channel);
void ApplyMusicGain(Engine& e);
bool ChannelPlaying(Engine& e, int channel);
platform::AudioDevice& Device(Engine& e);

}  // namespace sorv
