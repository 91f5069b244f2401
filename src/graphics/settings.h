// Composition and transition settings chosen by the *define block.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace sorv {

constexpr int kEffectSlots = 256;

// An entry of the effect table; type -1 is an undefined effect.
struct EffectEntry {
  int32_t type = -1;
  int32_t duration = 0;
  std::string image;  // rule image (types 15 and 18) or plug-in name (99)
};

struct GraphicsSettings {
  int32_t humanz = 499;  // sprites above this number lie behind the standing images
  // bgalia: backgrounds built at w x h and shown at (x, y); x = -1 means off.
  int32_t bgaliaX = -1, bgaliaY = 0, bgaliaW = 0, bgaliaH = 0;
  bool windowBack = false;   // text window composed beneath the sprites
  bool notEraseMan = false;  // allsphide leaves the standing images
  bool modeSaya = false;

  int32_t effectBlank = 30;  // ms slept after every effect but type 1
  bool effectCut = false;    // skipping text makes effects instant
  std::array<EffectEntry, kEffectSlots> effects = MakeEffectTable();

 private:
  static std::array<EffectEntry, kEffectSlots> MakeEffectTable() {
    std::array<EffectEntry, kEffectSlots> t{};
    t[0].type = 0;
    t[1].type = 1;
    return t;
  }
};

}  // namespace sorv
