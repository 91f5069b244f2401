#include "platform/headless/null_audio.h"

#include <algorithm>
#include <cstdlib>

namespace sorv::platform {

std::unique_ptr<AudioDevice> CreateNullAudio(Platform& clock) { return std::make_unique<NullAudio>(clock); }

namespace {

// The sound as the device would decode it: unknown data fails the same way
// the real decoder fails on it.
bool Probe(const SoundBytes& data, bool allowMidi, int64_t& durationMs, std::string* error) {
  if (!data || data->empty()) {
    if (error) *error = "empty sound";
    return false;
  }
  SoundInfo info = ProbeSound(data->data(), data->size());
  if (info.format == SoundFormat::Unknown || (info.format == SoundFormat::Midi && !allowMidi)) {
    if (error) *error = "unrecognised sound data";
    return false;
  }
  durationMs = info.durationMs;
  return true;
}

}  // namespace

void NullAudio::Note(const char* what, int ch, double gain, uint32_t at, bool atNow) {
  log_.push_back({atNow ? clock_.NowMs() : at, what, ch, gain});
}

// Brings a channel up to the clock: a sound played once has ended when its
// length has passed, and its chained channel then started at that instant.
void NullAudio::Settle(int ch) {
  Voice& v = channels_[static_cast<size_t>(ch)];
  if (!v.playing || v.loop || v.durationMs < 0) return;
  uint32_t now = clock_.NowMs();
  int64_t elapsed = static_cast<int64_t>(static_cast<uint32_t>(now - v.startMs));
  if (elapsed < v.durationMs) return;
  v.playing = false;
  uint32_t endMs = v.startMs + static_cast<uint32_t>(v.durationMs);
  Note("end", ch, 0, endMs, false);
  int next = v.next;
  v.next = -1;
  if (Valid(next) && channels_[static_cast<size_t>(next)].loaded) {
    Voice& n = channels_[static_cast<size_t>(next)];
    n.playing = true;
    n.loop = true;
    n.startMs = endMs;
    Note("loop", next, n.gain, endMs, false);
  }
}

bool NullAudio::LoadChannel(int ch, const SoundBytes& data, uint32_t startMs, std::string* error) {
  if (!Valid(ch)) return false;
  StopChannel(ch);
  int64_t duration = 0;
  if (!Probe(data, false, duration, error)) return false;
  Voice& v = channels_[static_cast<size_t>(ch)];
  v.loaded = true;
  v.durationMs = duration < 0 ? -1 : (duration > startMs ? duration - startMs : 0);
  v.bytes = data->size();
  Note("load", ch, v.gain);
  return true;
}

bool NullAudio::PlayChannel(int ch, bool loop) {
  if (!Valid(ch) || !channels_[static_cast<size_t>(ch)].loaded) return false;
  Voice& v = channels_[static_cast<size_t>(ch)];
  v.playing = true;
  v.loop = loop;
  v.startMs = clock_.NowMs();
  Note(loop ? "loop" : "play", ch, v.gain);
  return true;
}

void NullAudio::StopChannel(int ch) {
  if (!Valid(ch)) return;
  Settle(ch);
  Voice& v = channels_[static_cast<size_t>(ch)];
  if (v.loaded) Note("stop", ch);
  double gain = v.gain;
  v = Voice{};
  v.gain = gain;
}

bool NullAudio::ChannelLoaded(int ch) { return Valid(ch) && channels_[static_cast<size_t>(ch)].loaded; }

bool NullAudio::ChannelPlaying(int ch) {
  if (!Valid(ch)) return false;
  Settle(ch);
  return channels_[static_cast<size_t>(ch)].playing;
}

void NullAudio::SetChannelGain(int ch, double gain) {
  if (!Valid(ch)) return;
  Settle(ch);
  Voice& v = channels_[static_cast<size_t>(ch)];
  if (v.gain == gain) return;
  v.gain = gain;
  Note("gain", ch, gain);
}

void NullAudio::ChainChannel(int ch, int next) {
  if (!Valid(ch)) return;
  Settle(ch);
  channels_[static_cast<size_t>(ch)].next = next;
}

bool NullAudio::PlayMusic(const SoundBytes& data, bool loop, double startSeconds, std::string* error) {
  StopMusic();
  int64_t duration = 0;
  if (!Probe(data, true, duration, error)) return false;
  int64_t skip = static_cast<int64_t>(startSeconds * 1000);
  music_.loaded = music_.playing = true;
  music_.loop = loop;
  music_.durationMs = duration < 0 ? -1 : (duration > skip ? duration - skip : 0);
  music_.startMs = clock_.NowMs();
  music_.bytes = data->size();
  Note(loop ? "loop" : "play", -1, music_.gain);
  return true;
}

void NullAudio::StopMusic() {
  if (music_.loaded) Note("stop", -1);
  double gain = music_.gain;
  music_ = Voice{};
  music_.gain = gain;
}

bool NullAudio::MusicPlaying() {
  if (!music_.playing || music_.loop || music_.durationMs < 0) return music_.playing;
  uint32_t elapsed = clock_.NowMs() - music_.startMs;
  return elapsed < music_.durationMs;
}

void NullAudio::SetMusicGain(double gain) {
  if (music_.gain == gain) return;
  music_.gain = gain;
  Note("gain", -1, gain);
}

bool NullAudio::ChannelLooping(int ch) { return ChannelPlaying(ch) && channels_[static_cast<size_t>(ch)].loop; }

double NullAudio::ChannelGain(int ch) const { return Valid(ch) ? channels_[static_cast<size_t>(ch)].gain : 0; }

size_t NullAudio::ChannelBytes(int ch) const { return Valid(ch) ? channels_[static_cast<size_t>(ch)].bytes : 0; }

int64_t NullAudio::ChannelPositionMs(int ch) {
  if (!ChannelPlaying(ch)) return -1;
  const Voice& v = channels_[static_cast<size_t>(ch)];
  int64_t elapsed = static_cast<uint32_t>(clock_.NowMs() - v.startMs);
  return v.loop && v.durationMs > 0 ? elapsed % v.durationMs : elapsed;
}

void NullAudio::SettleStream() {
  uint32_t now = clock_.NowMs();
  uint32_t elapsed = now - stream_.settledMs;
  stream_.settledMs = now;
  if (!stream_.open) return;
  uint64_t waiting = stream_.queued - stream_.played;
  uint64_t units = static_cast<uint64_t>(elapsed) * static_cast<uint64_t>(StreamRate()) + stream_.carry;
  uint64_t frames = units / 1000;
  if (frames >= waiting) {
    // Ran dry: the device plays silence, and the position waits.
    stream_.played = stream_.queued;
    stream_.carry = 0;
    return;
  }
  stream_.played += frames;
  stream_.carry = units % 1000;
}

void NullAudio::OpenStream() {
  double gain = stream_.gain;
  stream_ = Stream{};
  stream_.open = true;
  stream_.gain = gain;
  stream_.settledMs = clock_.NowMs();
}

size_t NullAudio::QueueStream(const int16_t* samples, size_t frames) {
  if (!stream_.open || !samples) return 0;
  SettleStream();
  uint64_t waiting = stream_.queued - stream_.played;
  size_t room = waiting >= kStreamCapacityFrames ? 0 : kStreamCapacityFrames - static_cast<size_t>(waiting);
  size_t take = std::min(room, frames);
  if (take == 0) return 0;
  int peak = 0;
  for (size_t i = 0; i < take * 2; ++i) peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
  stream_.queued += take;
  streamLog_.push_back({clock_.NowMs(), take, peak, stream_.gain});
  return take;
}

size_t NullAudio::StreamQueued() {
  SettleStream();
  return static_cast<size_t>(stream_.queued - stream_.played);
}

int64_t NullAudio::StreamPosition() {
  SettleStream();
  return static_cast<int64_t>(stream_.played);
}

void NullAudio::SetStreamGain(double gain) { stream_.gain = gain; }

void NullAudio::CloseStream() {
  // Closing runs while a movie is torn down, also when the run's time limit
  // is what tore it down: the clock's complaint is not repeated here (the
  // next reading of the clock makes it again).
  try {
    SettleStream();
  } catch (const TimeLimitReached&) {
  }
  stream_.open = false;
  stream_.queued = stream_.played;
}

}  // namespace sorv::platform
