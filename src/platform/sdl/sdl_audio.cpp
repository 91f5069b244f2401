// The audio device over SDL2_mixer: one mixer channel per engine channel,
// SDL_mixer's music for the stream. SDL_mixer mixes on its own callback
// thread; the work of ours there is starting a loop the instant its
// introduction ends, under one mutex shared with the engine, and adding the
// PCM stream (a movie's sound) after the mix, from a ring under another.
#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/audio.h"
#include "platform/fs.h"

namespace sorv::platform {
namespace {

constexpr const char* kSoundFonts[] = {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2"};

int MixVolume(double gain) {
  if (!(gain > 0)) return 0;
  return static_cast<int>(std::lround(std::min(gain, 1.0) * MIX_MAX_VOLUME));
}

class SdlAudio;
// SDL_mixer's end-of-channel callback takes no user pointer; there is one
// mixer per process, and this is it.
SdlAudio* g_device = nullptr;

class SdlAudio final : public AudioDevice {
 public:
  SdlAudio() { next_.fill(-1); }
  ~SdlAudio() override {
    if (!opened_) return;
    Mix_ChannelFinished(nullptr);
    Mix_SetPostMix(nullptr, nullptr);
    Mix_HaltChannel(-1);
    for (Mix_Chunk*& c : chunks_) {
      if (c) Mix_FreeChunk(c);
      c = nullptr;
    }
    StopMusic();
    Mix_CloseAudio();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    g_device = nullptr;
  }

  bool Open(std::string* error) {
    if (g_device) return Fail(error, "the audio device is open already");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return Fail(error, SDL_GetError());
    Mix_Init(MIX_INIT_OGG | MIX_INIT_MP3 | MIX_INIT_FLAC | MIX_INIT_MID);
    if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) != 0) {
      std::string why = Mix_GetError();
      Mix_Quit();
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return Fail(error, why);
    }
    Mix_AllocateChannels(kAudioChannels);
    if (!std::getenv("SDL_SOUNDFONTS")) {
      for (const char* font : kSoundFonts) {
        if (IsRegularFile(font)) {
          Mix_SetSoundFonts(font);
          break;
        }
      }
    }
    g_device = this;
    opened_ = true;
    Mix_ChannelFinished(&SdlAudio::OnChannelFinished);
    Uint16 format = 0;
    if (Mix_QuerySpec(&rate_, &format, &outChannels_) && format == AUDIO_S16SYS && outChannels_ > 0) {
      streamRing_.assign(kStreamCapacityFrames * 2, 0);
      Mix_SetPostMix(&SdlAudio::MixStream, this);
    }
    return true;
  }

  bool IsNull() const override { return false; }

  bool LoadChannel(int ch, const SoundBytes& data, uint32_t startMs, std::string* error) override {
    if (!Valid(ch) || !data) return Fail(error, "no such channel");
    StopChannel(ch);
    SDL_RWops* rw = SDL_RWFromConstMem(data->data(), static_cast<int>(data->size()));
    Mix_Chunk* chunk = rw ? Mix_LoadWAV_RW(rw, 1) : nullptr;
    if (!chunk) return Fail(error, Mix_GetError());
    if (startMs > 0) SkipStart(chunk, startMs);
    std::lock_guard<std::mutex> lock(mutex_);
    chunks_[static_cast<size_t>(ch)] = chunk;
    return true;
  }

  bool PlayChannel(int ch, bool loop) override {
    Mix_Chunk* chunk = Chunk(ch);
    if (!chunk) return false;
    return Mix_PlayChannel(ch, chunk, loop ? -1 : 0) >= 0;
  }

  void StopChannel(int ch) override {
    if (!Valid(ch)) return;
    Mix_Chunk* old = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      next_[static_cast<size_t>(ch)] = -1;
      std::swap(old, chunks_[static_cast<size_t>(ch)]);
    }
    Mix_HaltChannel(ch);
    if (old) Mix_FreeChunk(old);
  }

  bool ChannelLoaded(int ch) override { return Chunk(ch) != nullptr; }
  bool ChannelPlaying(int ch) override { return Valid(ch) && Mix_Playing(ch) != 0; }
  void SetChannelGain(int ch, double gain) override {
    if (Valid(ch)) Mix_Volume(ch, MixVolume(gain));
  }

  void ChainChannel(int ch, int next) override {
    if (!Valid(ch)) return;
    std::lock_guard<std::mutex> lock(mutex_);
    next_[static_cast<size_t>(ch)] = Valid(next) ? next : -1;
  }

  bool PlayMusic(const SoundBytes& data, bool loop, double startSeconds, std::string* error) override {
    StopMusic();
    if (!data) return Fail(error, "no music");
    SDL_RWops* rw = SDL_RWFromConstMem(data->data(), static_cast<int>(data->size()));
    music_ = rw ? Mix_LoadMUS_RW(rw, 1) : nullptr;
    if (!music_) return Fail(error, Mix_GetError());
    musicData_ = data;  // the stream reads from these bytes while it plays
    if (Mix_PlayMusic(music_, loop ? -1 : 1) != 0) {
      std::string why = Mix_GetError();
      StopMusic();
      return Fail(error, why);
    }
    if (startSeconds > 0) Mix_SetMusicPosition(startSeconds);
    return true;
  }

  void StopMusic() override {
    if (!music_) return;
    Mix_HaltMusic();
    Mix_FreeMusic(music_);
    music_ = nullptr;
    musicData_.reset();
  }

  bool MusicPlaying() override { return music_ && Mix_PlayingMusic() != 0; }
  void SetMusicGain(double gain) override { Mix_VolumeMusic(MixVolume(gain)); }

  int StreamRate() const override { return streamRing_.empty() ? 0 : rate_; }

  void OpenStream() override {
    std::lock_guard<std::mutex> lock(streamMutex_);
    streamOpen_ = !streamRing_.empty();
    streamRead_ = streamCount_ = 0;
    streamPlayed_ = 0;
  }

  size_t QueueStream(const int16_t* samples, size_t frames) override {
    std::lock_guard<std::mutex> lock(streamMutex_);
    if (!streamOpen_ || !samples) return 0;
    size_t take = std::min(frames, kStreamCapacityFrames - streamCount_);
    size_t write = (streamRead_ + streamCount_) % kStreamCapacityFrames;
    for (size_t i = 0; i < take; ++i) {
      streamRing_[write * 2] = samples[i * 2];
      streamRing_[write * 2 + 1] = samples[i * 2 + 1];
      write = write + 1 == kStreamCapacityFrames ? 0 : write + 1;
    }
    streamCount_ += take;
    return take;
  }

  size_t StreamQueued() override {
    std::lock_guard<std::mutex> lock(streamMutex_);
    return streamCount_;
  }

  int64_t StreamPosition() override {
    std::lock_guard<std::mutex> lock(streamMutex_);
    return streamPlayed_;
  }

  void SetStreamGain(double gain) override {
    std::lock_guard<std::mutex> lock(streamMutex_);
    streamGain_ = static_cast<int>(std::lround(std::clamp(gain, 0.0, 1.0) * 256));
  }

  void CloseStream() override {
    std::lock_guard<std::mutex> lock(streamMutex_);
    streamOpen_ = false;
    streamRead_ = streamCount_ = 0;
  }

 private:
  static bool Valid(int ch) { return ch >= 0 && ch < kAudioChannels; }
  static bool Fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
  }

  Mix_Chunk* Chunk(int ch) {
    if (!Valid(ch)) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    return chunks_[static_cast<size_t>(ch)];
  }

  // Drops the first `ms` of a decoded sound (a start offset).
  static void SkipStart(Mix_Chunk* chunk, uint32_t ms) {
    int freq = 0, channels = 0;
    Uint16 format = 0;
    if (!Mix_QuerySpec(&freq, &format, &channels)) return;
    uint64_t frame = static_cast<uint64_t>(channels) * (SDL_AUDIO_BITSIZE(format) / 8);
    uint64_t skip = static_cast<uint64_t>(ms) * static_cast<uint64_t>(freq) / 1000 * frame;
    if (skip >= chunk->alen) {
      chunk->alen = 0;
      return;
    }
    std::memmove(chunk->abuf, chunk->abuf + skip, chunk->alen - skip);
    chunk->alen -= static_cast<Uint32>(skip);
  }

  // Runs on the mixer's thread, inside its lock (SDL's audio lock is
  // recursive, so starting a channel here is allowed). A channel halted by
  // the engine has had its link removed first, so only a natural end starts
  // the loop.
  static void OnChannelFinished(int ch) {
    SdlAudio* self = g_device;
    if (!self || !Valid(ch)) return;
    Mix_Chunk* chunk = nullptr;
    int next = -1;
    {
      std::lock_guard<std::mutex> lock(self->mutex_);
      std::swap(next, self->next_[static_cast<size_t>(ch)]);
      if (next >= 0) chunk = self->chunks_[static_cast<size_t>(next)];
    }
    if (chunk) Mix_PlayChannel(next, chunk, -1);
  }

  // Runs on the mixer's thread after everything else is mixed: adds the
  // stream's waiting frames to the output, saturating. The output's
  // channels beyond the first two get nothing; a mono output gets the mean.
  static void MixStream(void* self, Uint8* out, int len) {
    auto* d = static_cast<SdlAudio*>(self);
    std::lock_guard<std::mutex> lock(d->streamMutex_);
    if (!d->streamOpen_ || d->streamCount_ == 0) return;
    auto* pcm = reinterpret_cast<int16_t*>(out);
    size_t channels = static_cast<size_t>(d->outChannels_);
    size_t frames = static_cast<size_t>(len) / (2 * channels);
    size_t n = std::min(frames, d->streamCount_);
    auto add = [gain = d->streamGain_](int16_t& to, int from) {
      int v = to + ((from * gain) >> 8);
      to = static_cast<int16_t>(std::clamp(v, -32768, 32767));
    };
    for (size_t i = 0; i < n; ++i) {
      int l = d->streamRing_[d->streamRead_ * 2], r = d->streamRing_[d->streamRead_ * 2 + 1];
      int16_t* frame = pcm + i * channels;
      if (channels == 1) {
        add(frame[0], (l + r) / 2);
      } else {
        add(frame[0], l);
        add(frame[1], r);
      }
      d->streamRead_ = d->streamRead_ + 1 == kStreamCapacityFrames ? 0 : d->streamRead_ + 1;
    }
    d->streamCount_ -= n;
    d->streamPlayed_ += static_cast<int64_t>(n);
  }

  bool opened_ = false;
  int rate_ = 0, outChannels_ = 0;
  std::mutex streamMutex_;  // the stream's ring, shared with the mixer's thread
  std::vector<int16_t> streamRing_;
  size_t streamRead_ = 0, streamCount_ = 0;  // frames
  int64_t streamPlayed_ = 0;
  int streamGain_ = 256;  // in 256ths
  bool streamOpen_ = false;
  std::mutex mutex_;  // chunks_ and next_, shared with the mixer's thread
  std::array<Mix_Chunk*, kAudioChannels> chunks_{};
  std::array<int, kAudioChannels> next_{};
  Mix_Music* music_ = nullptr;
  SoundBytes musicData_;
};

}  // namespace

std::unique_ptr<AudioDevice> CreateSdlAudio(std::string* error) {
  auto device = std::make_unique<SdlAudio>();
  if (!device->Open(error)) return nullptr;
  return device;
}

}  // namespace sorv::platform
