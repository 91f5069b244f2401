// The SDL audio device on SDL's disk driver, writing what it plays to a raw
// file the tests read back; null (with the reason) where it cannot open.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/audio.h"

namespace sorv::test {

inline std::unique_ptr<platform::AudioDevice> OpenFileAudio(const std::string& out, std::string* why) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
  auto device = platform::CreateSdlAudio(why);
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("SDL_DISKAUDIOFILE");
  return device;
}

}  // namespace sorv::test
