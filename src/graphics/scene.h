// The screen buffers as the shell sees them.
#pragma once

#include <cstdint>
#include <vector>

namespace sorv {

struct Engine;

struct SceneState {
  // The display buffer: what the window shows, 24-bit rows bottom-up.
  std::vector<uint8_t> display;
  int width = 0, height = 0, stride = 0;
};

// Re-creates the screen-sized buffers for the current screen size.
void RecreateSurfaces(Engine& e);
// Resets layers to their defaults and shows black.
void ResetScene(Engine& e);
// Hands the display buffer to the window.
void PresentDisplay(Engine& e);

}  // namespace sorv
