// Save points: the moments at which the game state is snapshotted for saving.
#pragma once

#include <cstdint>
#include <vector>

namespace sorv {

struct Engine;

struct SavePointState {
  // Until the save image exists, the places where save points were taken are
  // recorded so that their placement can be checked.
  std::vector<int32_t> positions;
  uint64_t count = 0;
  bool recordPositions = false;
};

void TakeSavePoint(Engine& e);

}  // namespace sorv
