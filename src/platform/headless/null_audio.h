// The headless audio device: nothing is heard, but every channel and the
// music keep their state (loaded, playing, looping, gain, position) on the
// platform clock, and every change is logged, so a test can tell what a
// player would have heard and when.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/platform.h"

namespace sorv::platform {

class NullAudio final : public AudioDevice {
 public:
  struct LogEntry {
    uint32_t ms = 0;
    std::string what;  // "load", "play", "loop", "stop", "end", "gain"
    int channel = -1;  // -1 for the music
    double gain = 0;
  };

  explicit NullAudio(Platform& clock) : clock_(clock) {}
  bool IsNull() const override { return true; }

  bool LoadChannel(int ch, const SoundBytes& data, uint32_t startMs, std::string* error) override;
  bool PlayChannel(int ch, bool loop) override;
  void StopChannel(int ch) override;
  bool ChannelLoaded(int ch) override;
  bool ChannelPlaying(int ch) override;
  void SetChannelGain(int ch, double gain) override;
  void ChainChannel(int ch, int next) override;

  bool PlayMusic(const SoundBytes& data, bool loop, double startSeconds, std::string* error) override;
  void StopMusic() override;
  bool MusicPlaying() override;
  void SetMusicGain(double gain) override;

  int StreamRate() const override { return 44100; }
  void OpenStream() override;
  size_t QueueStream(const int16_t* samples, size_t frames) override;
  size_t StreamQueued() override;
  int64_t StreamPosition() override;
  void SetStreamGain(double gain) override;
  void CloseStream() override;

  // What was queued on the stream: when, how many frames, the loudest
  // sample of them and the gain in force.
  struct StreamChunk {
    uint32_t ms = 0;
    size_t frames = 0;
    int peak = 0;
    double gain = 1;
  };

  // Inspection for tests.
  bool ChannelLooping(int ch);
  double ChannelGain(int ch) const;
  // Milliseconds into the sound, -1 when the channel is not playing.
  int64_t ChannelPositionMs(int ch);
  double MusicGain() const { return music_.gain; }
  bool MusicLooping() const { return music_.loop; }
  size_t MusicBytes() const { return music_.bytes; }
  size_t ChannelBytes(int ch) const;
  const std::vector<LogEntry>& Log() const { return log_; }
  const std::vector<StreamChunk>& StreamLog() const { return streamLog_; }
  bool StreamIsOpen() const { return stream_.open; }
  double StreamGain() const { return stream_.gain; }

 private:
  struct Voice {
    bool loaded = false, playing = false, loop = false;
    int64_t durationMs = 0;  // -1: until stopped
    uint32_t startMs = 0;    // clock time the sound's start corresponds to
    double gain = 1;
    int next = -1;
    size_t bytes = 0;
  };
  void Settle(int ch);
  void Note(const char* what, int ch, double gain = 0, uint32_t at = 0, bool atNow = true);
  static bool Valid(int ch) { return ch >= 0 && ch < kAudioChannels; }

  // The stream plays on the clock while it has frames: what has been
  // played is brought up to date whenever it is asked about.
  struct Stream {
    bool open = false;
    uint64_t queued = 0, played = 0;  // frames, since OpenStream
    uint32_t settledMs = 0;
    uint64_t carry = 0;               // frames x 1000 not yet whole
    double gain = 1;
  };
  void SettleStream();

  Platform& clock_;
  Stream stream_;
  std::vector<StreamChunk> streamLog_;
  std::array<Voice, kAudioChannels> channels_;
  Voice music_;
  std::vector<LogEntry> log_;
};

}  // namespace sorv::platform
