// A platform for frame-level tests of the effects: a virtual clock that only
// sleeps move, clicks at given times, and every presented frame kept with
// the time it was presented at.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/picture_files.h"
#include "graphics/scene.h"
#include "platform/platform.h"
#include "support/windowless_platform.h"
#include "shell/engine.h"
#include "support/engine_fixture.h"

namespace sorv::test {

struct ShownFrame {
  uint32_t timeMs = 0;
  int32_t width = 0, height = 0, stride = 0;
  std::vector<uint8_t> bits;  // bottom-up BGR, as presented
  uint32_t At(int32_t x, int32_t y) const {
    const uint8_t* p = bits.data() + static_cast<size_t>(height - 1 - y) * stride + static_cast<size_t>(x) * 3;
    return uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
  }
};

class FramePlatform final : public WindowlessPlatform {
 public:
  std::vector<ShownFrame> frames;
  std::vector<std::pair<uint32_t, platform::Event>> events;  // (time, event), in time order
  std::vector<std::string> boxes;                           // message boxes shown
  uint32_t clock = 1000;
  size_t next = 0;

  void ClickAt(uint32_t t) {
    platform::Event down;
    down.type = platform::Event::Type::MouseDown;
    platform::Event up = down;
    up.type = platform::Event::Type::MouseUp;
    events.push_back({t, down});
    events.push_back({t, up});
  }

  void Present(const uint8_t* bits, int width, int height, int stride) override {
    ShownFrame f{clock, width, height, stride, {}};
    f.bits.assign(bits, bits + static_cast<size_t>(stride) * height);
    frames.push_back(std::move(f));
  }
  bool PollEvent(platform::Event& ev) override {
    if (next >= events.size() || events[next].first > clock) return false;
    ev = events[next++].second;
    return true;
  }
  bool HasFocus() const override { return true; }
  bool Unattended() const override { return false; }
  uint32_t NowMs() override { return clock; }
  void SleepMs(uint32_t ms) override { clock += ms; }
  platform::MessageBoxAnswer ShowMessageBox(const std::string& title, const std::string& text,
                                            platform::MessageBoxButtons, platform::MessageBoxIcon) override {
    boxes.push_back(title + ": " + text);
    return platform::MessageBoxAnswer::Ok;
  }
};

// An engine of w x h on a FramePlatform whose display shows `before` and
// whose background (and so the next composition) is `after`.
struct EffectBench {
  FramePlatform platform;
  ScriptEngine engine{"*start\n"};
  Engine& e = *engine;
  EffectBench(int32_t w, int32_t h, const Surface& before, const Surface& after) {
    e.platform = &platform;
    e.screenWidth = w;
    e.screenHeight = h;
    RecreateSurfaces(e);
    e.scene.display = before;
    e.scene.scene = before;
    e.scene.background.surface = after;
    MarkAllDirty(e);
  }
  uint32_t Shown(int32_t x, int32_t y) const { return test::At(e.scene.display, x, y); }
  uint32_t Elapsed() const { return platform.clock - 1000; }
};

}  // namespace sorv::test
