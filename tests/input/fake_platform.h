// A platform for the wait-loop tests: a virtual clock, input events queued
// at given times, and a focus switch the headless backend does not have.
#pragma once

#include <algorithm>
#include <deque>
#include <utility>

#include "platform/platform.h"
#include "support/windowless_platform.h"

namespace sorv::test {

class FakePlatform final : public WindowlessPlatform {
 public:
  using Event = platform::Event;

  // Queues an event that becomes visible once the clock reaches `atMs`.
  void At(uint32_t atMs, Event ev) { pending_.emplace_back(atMs, ev); }
  void Click(uint32_t atMs, int x, int y, platform::MouseButton b = platform::MouseButton::Left) {
    Event ev;
    ev.x = x;
    ev.y = y;
    ev.button = b;
    ev.type = Event::Type::MouseDown;
    At(atMs, ev);
    ev.type = Event::Type::MouseUp;
    At(atMs, ev);
  }
  void Clear() { pending_.clear(); }
  void Key(uint32_t atMs, int vk, Event::Type type) {
    Event ev;
    ev.type = type;
    ev.vk = vk;
    At(atMs, ev);
  }
  void Press(uint32_t atMs, int vk) {
    Key(atMs, vk, Event::Type::KeyDown);
    Key(atMs, vk, Event::Type::KeyUp);
  }
  void Wheel(uint32_t atMs, int notch) {
    Event ev;
    ev.type = Event::Type::Wheel;
    ev.wheel = notch;
    At(atMs, ev);
  }
  void Move(uint32_t atMs, int x, int y) {
    Event ev;
    ev.type = Event::Type::MouseMove;
    ev.x = x;
    ev.y = y;
    At(atMs, ev);
  }
  void Text(uint32_t atMs, uint32_t ch) {
    Event ev;
    ev.type = Event::Type::Text;
    ev.ch = ch;
    At(atMs, ev);
  }

  bool focus = true;
  bool unattended = false;
  uint32_t clock = 0;

  void Present(const uint8_t*, int, int, int) override {}
  bool PollEvent(Event& ev) override {
    if (pending_.empty() || pending_.front().first > clock) return false;
    ev = pending_.front().second;
    pending_.pop_front();
    return true;
  }
  bool HasFocus() const override { return focus; }
  bool Unattended() const override { return unattended; }
  uint32_t NowMs() override { return clock; }
  // A wait that never ends must not hang the test run.
  void SleepMs(uint32_t ms) override {
    clock += ms;
    if (clock > 600'000) throw platform::TimeLimitReached();
  }
  // As a real backend: an idle sleep ends when the next event is due.
  void IdleWaitMs(uint32_t ms) override {
    ++idleWaits;
    uint32_t until = clock + ms;
    if (!pending_.empty()) until = std::min(until, std::max(pending_.front().first, clock + 1));
    SleepMs(until - clock);
  }
  int idleWaits = 0;
  platform::MessageBoxAnswer ShowMessageBox(const std::string&, const std::string&, platform::MessageBoxButtons,
                                            platform::MessageBoxIcon) override {
    return platform::MessageBoxAnswer::Yes;
  }

 private:
  std::deque<std::pair<uint32_t, Event>> pending_;
};

}  // namespace sorv::test
