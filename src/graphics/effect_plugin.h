// Transition plug-ins: shared libraries exporting Effect, named by an
// effect of type 99 as "library/parameters".
#pragma once

#include <cstdint>

extern "C" {

// What the engine lends a transition plug-in for the length of one call.
// Both buffers are the screen's size, 24-bit, rows bottom-up (the first row
// in memory is the bottom line), pixels blue, green, red, `stride` bytes a row.
struct SorvEffectHost {
  uint32_t size;  // sizeof(SorvEffectHost), so that the record can grow
  int32_t width, height, stride;
  void* context;  // the engine's; passed back to every function below
  // Shows the display buffer on the window.
  void (*present)(void* context);
  // Dispatches the window's pending messages; non-zero when the transition
  // must end now (a click with click cut on, or the game is closing).
  int32_t (*pump)(void* context);
  // The engine's millisecond clock, and a sleep on it.
  uint32_t (*now)(void* context);
  void (*sleep)(void* context, uint32_t ms);
};

// Animates the transition from what `display` shows to `scene` over the
// rectangle (left, top, right, bottom; counted from the top-left, right and
// bottom exclusive) in about `duration` ms, drawing into `display` and
// presenting it, and returns when done. `parameters` is the text after the
// slash, as the script wrote it. Whatever it leaves, the engine copies the
// scene over the rectangle afterwards.
typedef void (*SorvEffect)(const SorvEffectHost* window, uint8_t* display, const uint8_t* scene,
                           const int32_t rect[4], const char* parameters, int32_t duration);
}
