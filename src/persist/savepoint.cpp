#include "persist/savepoint.h"

#include "shell/engine.h"

namespace sorv {

// The snapshot into the save image is made by the save-slot code; until it
// exists a save point only counts itself and, when asked to, remembers where
// it was taken.
void TakeSavePoint(Engine& e) {
  ++e.savePoints.count;
  if (e.savePoints.recordPositions) e.savePoints.positions.push_back(e.script.pos);
  e.interp.savePointThisPass = true;
}

}  // namespace sorv
