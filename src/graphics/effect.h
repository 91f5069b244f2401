// The effect argument every picture command ends with, and the one entry
// point that brings the composed scene onto the window.
#pragma once

#include <cstdint>
#include <string>

namespace sorv {

struct Engine;

struct EffectRequest {
  int32_t type = 0;
  int32_t duration = 0;
  std::string image;
};

// Reads "n" (entry n of the effect table) or "type, duration[, image]".
EffectRequest ReadEffectArgument(Engine& e);
// Composes the dirty rectangle and shows it: type 0 leaves it in the scene
// buffer for a later effect, type 1 shows it at once.
void RunEffect(Engine& e, const EffectRequest& effect);
// ReadEffectArgument followed by RunEffect.
void ReadAndRunEffect(Engine& e);

}  // namespace sorv
