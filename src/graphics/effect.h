// The effect argument every picture command ends with, the one entry point
// that brings the composed scene onto the window, and the effect settings
// the game changes while it runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/surface.h"

namespace sorv {

struct Engine;

struct EffectRequest {
  int32_t type = 0;
  int32_t duration = 0;
  std::string image;  // rule image (15, 18) or "library/parameters" (99)
};

// The effect used when the text window is shown or hidden: an effect-table
// number, or with a duration written an inline effect of that type.
struct WindowEffect {
  int32_t number = 1;
  int32_t duration = 0;
  std::string image;
  bool inlineForm = false;
};

struct EffectState {
  int32_t speed = 0;       // 0 normal, 1 durations halved, 2 everything instant
  bool clickCut = true;    // a click ends a running effect at once
  WindowEffect windowEffect;

  // Work buffers kept between effects so that a transition allocates once.
  Surface old;             // the display as it was when the transition began
  Surface frame;           // what the shakes draw before presenting
  std::vector<uint8_t> rule;  // rule value of every byte of the screen, rows as in a surface
  uint32_t random = 0x2545F491u;  // the shakes' own generator; scripts' random numbers stay untouched
};

// Settings back to their defaults (a restart pass); the buffers stay.
void RestoreEffectDefaults(Engine& e);

// Reads "n" (entry n of the effect table) or "type, duration[, image]".
EffectRequest ReadEffectArgument(Engine& e);
// Composes the dirty rectangle and shows it through the transition asked
// for: type 0 leaves it in the scene buffer for a later effect.
void RunEffect(Engine& e, const EffectRequest& effect);
// As RunEffect over the whole screen towards what the scene buffer holds
// now, without composing the layers into it (drawing done off screen).
void RunEffectOverScene(Engine& e, const EffectRequest& effect);
// ReadEffectArgument followed by RunEffect.
void ReadAndRunEffect(Engine& e);
// The text window's show/hide effect as a request.
EffectRequest WindowEffectRequest(const Engine& e);

// Commands.
void Cmd_effectskip(Engine& e);
void Cmd_seteffectspeed(Engine& e);
void Cmd_geteffectspeed(Engine& e);
void Cmd_windoweffect(Engine& e);
void Cmd_quake(Engine& e);
void Cmd_quakex(Engine& e);
void Cmd_quakey(Engine& e);
void Cmd_mosaicin(Engine& e);
void Cmd_mosaicout(Engine& e);
void Cmd_flushout(Engine& e);
void Cmd_yugami(Engine& e);
void Cmd_panoramatest(Engine& e);

}  // namespace sorv
