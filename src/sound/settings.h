// Sound settings chosen by the *define block.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sorv {

constexpr size_t kMaxSoundPlugins = 50;

struct SoundSettings {
  bool modeWaveDemo = false;
  bool noDv = false;
  bool openDeviceEarly = false;  // dsound
  // Default volumes 0-100 as the script gives them (not attenuations).
  int32_t defVoiceVol = 100, defSeVol = 100, defMp3Vol = 100, defBgmVol = 100;
  std::vector<std::string> plugins;  // soundpressplgin: "name.dll|ext" strings
  // Attenuations set by voicevol, sevol and mp3vol/bgmvol during this pass;
  // -1 = the default volume above still holds.
  int32_t voiceAtt = -1, seAtt = -1, musicAtt = -1;
};

}  // namespace sorv
