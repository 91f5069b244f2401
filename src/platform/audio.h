// The audio device: numbered channels holding whole decoded sounds, and one
// music stream. The engine decides what plays where and how loud; a device
// only mixes. Two backends: sdl/ (SDL2_mixer on the platform's audio output)
// and headless/ (no output, but every channel's state kept on the platform
// clock, so tests can check what would be heard).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sorv::platform {

class Platform;

// The engine's 200 channels, then three of the device's own: a CD track,
// the single wave of `wave`, and the engine's own interface sounds.
constexpr int kAudioChannels = 203;
constexpr int kCdTrackChannel = 200;
constexpr int kWaveChannel = 201;
constexpr int kSystemSoundChannel = 202;

using SoundBytes = std::shared_ptr<const std::vector<uint8_t>>;

class AudioDevice {
 public:
  virtual ~AudioDevice() = default;
  virtual bool IsNull() const = 0;

  // Decodes a whole sound (WAV in any form the decoder knows, Ogg Vorbis,
  // MP3, FLAC) into channel `ch`, replacing and stopping what it held; the
  // sound starts `startMs` in. False, with the reason, when it cannot be
  // decoded; the channel is then empty.
  virtual bool LoadChannel(int ch, const SoundBytes& data, uint32_t startMs, std::string* error) = 0;
  virtual bool PlayChannel(int ch, bool loop) = 0;
  // Stops the channel and releases its sound.
  virtual void StopChannel(int ch) = 0;
  virtual bool ChannelLoaded(int ch) = 0;
  virtual bool ChannelPlaying(int ch) = 0;
  // Linear gain, 0 (silent) to 1 (as recorded).
  virtual void SetChannelGain(int ch, double gain) = 0;
  // When `ch` ends by itself, `next` starts looping in the same instant
  // (an introduction and its loop). `next` = -1 removes the link; stopping
  // `ch` never starts `next`.
  virtual void ChainChannel(int ch, int next) = 0;

  // The music stream: one file, streamed (any format of the channels, and
  // MIDI). A new one replaces the old.
  virtual bool PlayMusic(const SoundBytes& data, bool loop, double startSeconds, std::string* error) = 0;
  virtual void StopMusic() = 0;
  virtual bool MusicPlaying() = 0;
  virtual void SetMusicGain(double gain) = 0;

  // The PCM stream: sound the engine decodes as it goes (a movie's), 16-bit
  // stereo interleaved at StreamRate(), mixed over the channels and the
  // music. The device holds up to about a second of it; its position counts
  // only frames really played, so it stops while the stream runs dry and
  // can serve as the clock of whatever feeds it.
  // 0 when the device has no stream (its output is in a form we do not mix).
  virtual int StreamRate() const = 0;
  // Empties the stream and sets its position to 0.
  virtual void OpenStream() = 0;
  // Adds up to `frames` frames behind what waits; returns how many it took.
  virtual size_t QueueStream(const int16_t* samples, size_t frames) = 0;
  virtual size_t StreamQueued() = 0;    // frames waiting to be played
  virtual int64_t StreamPosition() = 0; // frames played since OpenStream
  virtual void SetStreamGain(double gain) = 0;
  // Drops what waits; the stream is silent until opened again. Never
  // throws: a player that is being destroyed calls it.
  virtual void CloseStream() = 0;
};

// Frames of the PCM stream a device holds.
constexpr size_t kStreamCapacityFrames = 44100;

// The SDL2_mixer device on the platform's audio output (44.1 kHz, 16-bit
// stereo), or nullptr with the reason when there is no output.
std::unique_ptr<AudioDevice> CreateSdlAudio(std::string* error = nullptr);
// The headless device; time is the platform's clock.
std::unique_ptr<AudioDevice> CreateNullAudio(Platform& clock);

// What a sound file is, read from its first bytes and its length.
enum class SoundFormat { Unknown, Wav, Ogg, Mp3, Midi, Flac };
struct SoundInfo {
  SoundFormat format = SoundFormat::Unknown;
  // Length in milliseconds; -1 when it cannot be told without playing
  // (MIDI), in which case the sound is taken to play until stopped.
  int64_t durationMs = -1;
};
SoundInfo ProbeSound(const uint8_t* data, size_t size);

}  // namespace sorv::platform
