// The audio device over SDL2_mixer: one mixer channel per engine channel,
// SDL_mixer's music for the stream. SDL_mixer mixes on its own callback
// thread; the only work of ours there is starting a loop the instant its
// introduction ends, and one mutex guards what that shares with the engine.
#include <SDL.h>
#include <SDL_mixer.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

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

  bool opened_ = false;
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
