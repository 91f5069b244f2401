// Layer plug-in slots filled by `setlayer`.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <set>
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
  bool initialized = false;  // `game` ran Initialize
  bool finalized = false;    // Finalize ran; it runs once
};

// The engine's side of the plug-in calls.
struct PluginState {
  bool running = false;  // a command plug-in is running
  // A script error (or any other) raised inside an exported function while a
  // plug-in was calling it: it cannot travel through the plug-in's frames,
  // so it is kept here and raised when the plug-in returns.
  std::exception_ptr pending;
  std::set<void*> dibBlocks;        // pixel blocks AllocDIB handed out
  std::set<std::string> reported;   // libraries whose load failure was told
};

}  // namespace sorv
