// The wait primitive and the waits built on it: timed waits, the click wait
// and the left-or-right wait. Every pass pumps at most one message, runs the
// idle step and sleeps a millisecond, so a wait costs little processor time
// and, on the headless backend, advances the virtual clock.
#include <algorithm>
#include <deque>
#include <iterator>

#include "input/input.h"
#include "shell/engine.h"

namespace sorv {
namespace {

uint32_t Now(Engine& e) { return e.platform->NowMs(); }

// Whether `ms` have passed since `start`; a clock that wrapped below the
// start counts as passed, so no wait can hang on a wrap.
bool TimeUp(uint32_t now, uint32_t start, int64_t ms) {
  if (now < start) return true;
  return static_cast<int64_t>(now) - static_cast<int64_t>(start) >= ms;
}

int64_t AutoModeWait(const Engine& e, int32_t chunkChars) {
  int64_t t = e.input.settings.autoModeTime;
  return t >= 0 ? t : -t * std::max<int32_t>(chunkChars, 0);
}

bool VoicePlaying(Engine& e) {
  const auto& hook = e.input.hooks.voicePlaying;
  return hook && hook(e);
}

}  // namespace

void DiscardPendingInput(Engine& e, bool rightAndMiddleToo) {
  using T = platform::Event::Type;
  FillMessageQueue(e);
  auto& q = e.app.queue;
  // A left press whose release is dropped goes with it, so that the button
  // is not left held.
  std::deque<platform::Event> kept;
  for (const platform::Event& ev : q) {
    if (ev.type == T::Text) continue;
    if (ev.type == T::MouseUp && ev.button == platform::MouseButton::Left) {
      for (auto it = kept.rbegin(); it != kept.rend(); ++it) {
        if (it->type == T::MouseDown && it->button == platform::MouseButton::Left) {
          kept.erase(std::next(it).base());
          break;
        }
      }
      e.input.leftHeld = false;
      continue;
    }
    if (ev.type == T::MouseUp && rightAndMiddleToo) continue;
    kept.push_back(ev);
  }
  q.swap(kept);
}

bool PumpInput(Engine& e) {
  if (PumpMessageNoSleep(e) == 0) return false;
  if (e.platform) e.input.lastInputMs = e.platform->NowMs();
  return true;
}

void RunIdleStep(Engine& e) {
  for (const auto& step : e.input.hooks.idle) step(e);
}

namespace {

// A wait wakes every millisecond for this long after the last input, so a
// pointer sweeping over buttons is followed at once; after that it sleeps in
// slices (the idle step, cell animations included, then runs about a
// hundred times a second, which is what keeps an idle game off the processor).
constexpr uint32_t kBusyAfterInputMs = 250;
constexpr int64_t kIdleSliceMs = 10;

// The nearer of two deadlines, either of which may be kNoDeadline.
int64_t Soonest(int64_t a, int64_t b) {
  if (a == kNoDeadline) return b;
  if (b == kNoDeadline) return a;
  return std::min(a, b);
}

void IdleSleep(Engine& e, int64_t untilDeadlineMs) {
  uint32_t now = Now(e);
  int64_t ms = 1;
  if (now - e.input.lastInputMs >= kBusyAfterInputMs) {
    ms = kIdleSliceMs;
    if (untilDeadlineMs != kNoDeadline) ms = std::clamp<int64_t>(untilDeadlineMs, 1, kIdleSliceMs);
  }
  e.platform->IdleWaitMs(static_cast<uint32_t>(ms));
}

}  // namespace

void IdlePass(Engine& e, int64_t untilDeadlineMs) {
  RunIdleStep(e);
  IdleSleep(e, untilDeadlineMs);
}

int64_t MsUntil(uint32_t now, uint32_t start, int64_t ms) {
  if (now < start) return 0;
  return std::max<int64_t>(0, ms - (static_cast<int64_t>(now) - static_cast<int64_t>(start)));
}

bool WaitAbandoned(const Engine& e) {
  return e.app.resetRequested || e.app.closeRequested || e.app.restartRequested;
}

bool TimedWait(Engine& e, int32_t ms, TimedWaitKind kind) {
  DiscardPendingInput(e);
  if (WaitAbandoned(e) || !e.platform) return true;
  bool interruptible = kind == TimedWaitKind::Interruptible;
  uint32_t start = Now(e);
  bool enterSeenDown = false;
  while (true) {
    bool got = PumpInput(e);
    if (interruptible) {
      // The click latch stays set: a click trap still sees the click that
      // cut the delay short.
      if (got && e.input.lastMessage == InputMessage::LeftUp) return true;
      if (SkipKeyHeld(e) || e.interp.skipMode) return true;
    }
    if (KeyHeld(e, vk::kReturn)) {
      enterSeenDown = true;
    } else if (enterSeenDown) {
      return true;
    }
    RunIdleStep(e);
    if (TimeUp(Now(e), start, ms) || WaitAbandoned(e)) return false;
    if (!got) IdleSleep(e, MsUntil(Now(e), start, ms));
  }
}

WaitEnd WaitForClick(Engine& e, const ClickWaitRequest& request) {
  InputState& in = e.input;
  InterpState& interp = e.interp;
  DiscardPendingInput(e);
  interp.leftClickFlag = false;
  bool autoClick = in.settings.autoClickMs > 0;
  if (!autoClick) {
    if (SkipKeyHeld(e)) return WaitEnd::SkipKey;
    if (interp.skipMode) return WaitEnd::SkipMode;
  }
  if (!e.platform) return WaitEnd::Unattended;  // an engine without a window
  if (e.platform->Unattended()) {
    // Nobody will click: answer at once, but let time pass so that a game
    // looping on a wait still reaches its time limit.
    e.platform->SleepMs(1);
    return WaitEnd::Unattended;
  }
  uint32_t start = Now(e);
  bool savedGlobals = false;
  bool escapeDown = false;
  while (true) {
    if (WaitAbandoned(e)) return WaitEnd::Interrupted;
    uint32_t now = Now(e);
    if (!savedGlobals && TimeUp(now, start, 1000)) {
      savedGlobals = true;
      if (in.hooks.saveGlobalFiles) in.hooks.saveGlobalFiles(e);
    }
    if (in.autoMode && !VoicePlaying(e) && TimeUp(now, start, AutoModeWait(e, request.chunkChars))) {
      return WaitEnd::AutoMode;
    }
    if (autoClick && TimeUp(now, start, in.settings.autoClickMs)) return WaitEnd::AutoClick;

    bool got = PumpInput(e);
    if (interp.leftClickFlag) {
      interp.leftClickFlag = false;
      return WaitEnd::Click;
    }
    if (SkipKeyHeld(e)) return WaitEnd::SkipKey;
    if (interp.skipMode) return WaitEnd::SkipMode;
    if (!autoClick && request.rightClickAction) {
      bool rightClick = interp.rightClickFlag;
      // Escape acts once it is released, so its release does not reach
      // whatever the action opens.
      if (KeyHeld(e, vk::kEscape)) {
        escapeDown = true;
      } else if (escapeDown) {
        escapeDown = false;
        rightClick = true;
      }
      if (rightClick) {
        interp.rightClickFlag = false;
        if (in.hooks.rightClickAction && in.hooks.rightClickAction(e)) return WaitEnd::Interrupted;
      }
    }
    if (got && in.lastMessage == InputMessage::Wheel && in.wheelDelta > 0 && in.hooks.openBacklog) {
      in.hooks.openBacklog(e);
    }
    int64_t until = savedGlobals ? kNoDeadline : MsUntil(Now(e), start, 1000);
    if (in.autoMode) until = Soonest(until, MsUntil(Now(e), start, AutoModeWait(e, request.chunkChars)));
    if (autoClick) until = Soonest(until, MsUntil(Now(e), start, in.settings.autoClickMs));
    IdlePass(e, until);
    if (request.eachPass) request.eachPass();
  }
}

int32_t WaitLeftOrRight(Engine& e) {
  InterpState& interp = e.interp;
  interp.leftClickFlag = interp.rightClickFlag = false;
  if (!e.platform) return 1;
  if (e.platform->Unattended()) {
    e.platform->SleepMs(1);
    return 1;
  }
  while (!WaitAbandoned(e)) {
    bool got = PumpInput(e);
    if (interp.leftClickFlag || interp.rightClickFlag) {
      int32_t result = interp.leftClickFlag ? 1 : 0;
      interp.leftClickFlag = interp.rightClickFlag = false;
      return result;
    }
    RunIdleStep(e);
    if (!got) IdleSleep(e, kNoDeadline);
  }
  return -1;
}

}  // namespace sorv
