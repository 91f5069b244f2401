#include "graphics/scene.h"

#include <algorithm>

#include "shell/engine.h"

namespace sorv {

void RecreateSurfaces(Engine& e) {
  SceneState& sc = e.scene;
  sc.width = e.screenWidth;
  sc.height = e.screenHeight;
  sc.stride = (sc.width * 3 + 3) & ~3;
  sc.display.assign(static_cast<size_t>(sc.stride) * static_cast<size_t>(sc.height), 0);
}

void ResetScene(Engine& e) {
  std::fill(e.scene.display.begin(), e.scene.display.end(), 0);
  PresentDisplay(e);
}

void PresentDisplay(Engine& e) {
  SceneState& sc = e.scene;
  if (!e.platform || sc.display.empty()) return;
  e.platform->Present(sc.display.data(), sc.width, sc.height, sc.stride);
}

}  // namespace sorv
