// Layer plug-in slots filled by `setlayer`.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace sorv {

constexpr int kLayerSlots = 32;

// Entry points of a layer plug-in, as its library exports them.
using LayerInitialize = void (*)(const char* parameters);
using LayerFinalize = void (*)();
using LayerTimer = int32_t (*)();
using LayerDraw = void (*)(void* pixels, void* rect);
using LayerMessage = int32_t (*)(const char* text, int32_t* retInt, char* retString);

struct LayerSlot {
  bool used = false;
  int32_t interval = 0;  // ms between Timer calls; 0 = none
  uint32_t lastTimer = 0;
  std::string parameters;
  LayerInitialize initialize = nullptr;
  LayerFinalize finalize = nullptr;
  LayerTimer timer = nullptr;
  LayerDraw draw = nullptr;
  LayerMessage message = nullptr;
};

struct LayerSettings {
  std::array<LayerSlot, kLayerSlots> slots;
};

}  // namespace sorv
