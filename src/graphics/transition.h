// The pieces the effect runner is built from: the exact blend kernels, the
// frame clock that paces transitions on the platform clock, and the built-in
// transitions themselves.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/blend_table.h"
#include "graphics/effect.h"
#include "graphics/scene.h"

namespace sorv {

// --- kernels over one row of bytes (effect_blend.cpp) ---

// Cross-fade: every second byte of `dst` (those whose index has the parity
// `phase`) becomes T[w][scene] + T[255 - w][old]; the others are kept.
void CrossFadeBytes(uint8_t* dst, const uint8_t* scene, const uint8_t* old, size_t n, int32_t w, int32_t phase);
// Soft rule: with a = clamp(level - rule, 0, 255) per byte, dst becomes
// T[a][scene] + T[255 - a][old].
void SoftRuleBytes(uint8_t* dst, const uint8_t* scene, const uint8_t* old, const uint8_t* rule, size_t n,
                   int32_t level);
// Which code the two blending kernels run: 0 the plain loops, 1 the
// baseline vector code, 2 (the default) the widest the processor has. The
// results are the same at every level; the tests compare them.
void SetBlendKernelLevel(int level);
// Rule: every byte whose rule value is at most `level` takes the scene's.
void RuleBytes(uint8_t* dst, const uint8_t* scene, const uint8_t* rule, size_t n, int32_t level);

// --- pacing ---

// A transition's time line on the platform clock. Waiting pumps the window's
// messages; a left click with click cut on, or the game closing, stops it.
class EffectClock {
 public:
  // The window waits for the display's refresh while a transition runs.
  explicit EffectClock(Engine& e);
  ~EffectClock();
  EffectClock(const EffectClock&) = delete;
  EffectClock& operator=(const EffectClock&) = delete;
  // Milliseconds since the transition began.
  int64_t Elapsed();
  // Sleeps until `ms` after the start (nothing when that has passed),
  // pumping messages. False when the transition must stop.
  bool WaitUntil(int64_t ms);
  // Pumps what is pending without sleeping; false when it must stop.
  bool Poll();
  bool stopped() const { return stopped_; }

 private:
  Engine& e_;
  uint32_t start_;
  bool stopped_ = false;
};

// Sleeps `ms` on the platform clock, keeping the window's messages flowing.
void PauseMs(Engine& e, int64_t ms);

// --- the built-in transitions (transition.cpp) ---

bool IsBuiltInTransition(int32_t type);
// Runs transition `type` (2..18, 90) over `r` (clipped, composed) and
// returns the area the final copy of the scene must cover.
Rect RunTransition(Engine& e, const EffectRequest& effect, const Rect& r);

// Fills `rule` with the rule value of every screen byte: the first byte of
// each pixel of `image`, tiled from the top-left when smaller than the screen.
void BuildRuleMap(const Surface& image, int32_t width, int32_t height, int32_t stride, std::vector<uint8_t>& rule);

}  // namespace sorv
