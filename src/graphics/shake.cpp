// Screen shakes and the other effects drawn straight onto the window from
// the display buffer: quake, quakex, quakey, yugami, flushout, panoramatest,
// and the block mosaics mosaicin and mosaicout. The shakes leave the display
// buffer as it was and show it again at the end.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "graphics/effect.h"
#include "graphics/transition.h"
#include "input/input.h"
#include "script/reader.h"
#include "shell/engine.h"

namespace sorv {
namespace {

// Amplitudes beyond this move the picture wholly off the screen anyway; the
// cap keeps the number of frames a script can ask for within reason.
constexpr int32_t kMaxAmplitude = 4096;
constexpr int64_t kFrameMs = 1000 / 60;

size_t Offset(int64_t x) { return static_cast<size_t>(x) * 3; }

// Shakes are effects too: instant at effect speed 2 and while text is skipped.
bool ShakesCut(Engine& e) {
  return e.effects.speed == 2 || e.interp.skipMode || (e.platform && SkipKeyHeld(e));
}

uint32_t NextRandom(EffectState& st) {
  uint32_t x = st.random;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  return st.random = x;
}

Surface& Frame(Engine& e) {
  Surface& f = e.effects.frame;
  if (f.width != e.scene.width || f.height != e.scene.height) CreateSurface(f, e.scene.width, e.scene.height);
  return f;
}

void PresentFrame(Engine& e, const Surface& f) {
  if (e.platform && !f.Empty()) e.platform->Present(f.bits.data(), f.width, f.height, f.stride);
}

// The display drawn `dx` right and `dy` down, what it uncovers black.
void DrawShifted(const Surface& display, Surface& f, int64_t dx, int64_t dy) {
  const int64_t w = f.width, h = f.height;
  std::fill(f.bits.begin(), f.bits.end(), uint8_t{0});
  dx = std::clamp<int64_t>(dx, -w, w);
  dy = std::clamp<int64_t>(dy, -h, h);
  int64_t x0 = std::max<int64_t>(0, dx), x1 = std::min<int64_t>(w, w + dx);
  if (x1 <= x0) return;
  for (int64_t y = std::max<int64_t>(0, dy); y < std::min<int64_t>(h, h + dy); ++y) {
    const uint8_t* src = display.Row(static_cast<int32_t>(h - 1 - (y - dy)));
    std::memcpy(f.Row(static_cast<int32_t>(h - 1 - y)) + Offset(x0), src + Offset(x0 - dx), Offset(x1 - x0));
  }
}

// The frame loop of the shakes: frame i of `count` is shown until due(i). A
// frame whose time has already passed is dropped (but never the last), so a
// shake asked to do more than the clock allows ends on time. The script
// chooses the count (quakex 4096 asks for 65,536 frames), but no display
// shows more than 60 a second: a frame that would come sooner than that
// after the one before is not drawn, the one before staying up in its time.
template <typename Due, typename Draw>
void ShakeFrames(Engine& e, int64_t count, Due due, Draw draw) {
  if (!ShakesCut(e) && !e.scene.display.Empty()) {
    EffectClock clock(e);
    int64_t shownAt = -kFrameMs;
    for (int64_t i = 0; i < count; ++i) {
      bool last = i + 1 == count;
      if (!last && clock.Elapsed() >= due(i)) continue;
      if (!last && clock.Elapsed() - shownAt < kFrameMs) {
        if (!clock.WaitUntil(due(i))) break;
        continue;
      }
      shownAt = clock.Elapsed();
      draw(i);
      if (!clock.WaitUntil(due(i))) break;
    }
  }
  PresentDisplay(e);
}

void Quake(Engine& e, bool horizontal, bool vertical) {
  int32_t a = std::min(ReadNumberArgument(e), kMaxAmplitude);
  int64_t d = NextNumber(e);
  Surface& f = Frame(e);
  if (horizontal && vertical) {
    ShakeFrames(e, d / 100, [](int64_t i) { return (i + 1) * 100; }, [&](int64_t) {
      int64_t dx = int64_t{a} * (static_cast<int64_t>(NextRandom(e.effects) % 7) - 3);
      int64_t dy = int64_t{a} * (static_cast<int64_t>(NextRandom(e.effects) % 7) - 3);
      DrawShifted(e.scene.display, f, dx, dy);
      PresentFrame(e, f);
    });
    return;
  }
  // Cycle i swings out to the limit and back on both sides in 16 positions:
  // the limit starts at 12a and the step at 3a, shrinking by 12 and 3.
  if (a <= 0) return PresentDisplay(e);
  int64_t each = d / (16 * int64_t{a});
  ShakeFrames(e, 16 * int64_t{a}, [&](int64_t i) { return (i + 1) * each; }, [&](int64_t i) {
    int64_t step = 3 * (int64_t{a} - i / 16);
    int64_t k = i % 16;  // 1..4 out, back to 0, -1..-4, back to 0
    int64_t n = k < 4 ? k + 1 : k < 8 ? 7 - k : k < 12 ? -(k - 7) : k - 15;
    DrawShifted(e.scene.display, f, horizontal ? n * step : 0, vertical ? n * step : 0);
    PresentFrame(e, f);
  });
}

// Each channel's mean over every square block of `b`, laid from the top-left.
void MeanBlocks(const Surface& source, Surface& target, int32_t b) {
  const int32_t w = target.width, h = target.height;
  for (int32_t by = 0; by < h; by += b) {
    int32_t rows = std::min(b, h - by);
    for (int32_t bx = 0; bx < w; bx += b) {
      int32_t cols = std::min(b, w - bx);
      uint64_t sum[3] = {0, 0, 0};
      for (int32_t y = by; y < by + rows; ++y) {
        const uint8_t* p = source.Row(h - 1 - y) + Offset(bx);
        for (int32_t x = 0; x < cols; ++x, p += 3) sum[0] += p[0], sum[1] += p[1], sum[2] += p[2];
      }
      uint64_t n = static_cast<uint64_t>(rows) * static_cast<uint64_t>(cols);
      uint8_t mean[3] = {static_cast<uint8_t>(sum[0] / n), static_cast<uint8_t>(sum[1] / n),
                         static_cast<uint8_t>(sum[2] / n)};
      for (int32_t y = by; y < by + rows; ++y) {
        uint8_t* p = target.Row(h - 1 - y) + Offset(bx);
        for (int32_t x = 0; x < cols; ++x, p += 3) std::memcpy(p, mean, 3);
      }
    }
  }
}

// Frames i = 0 .. count - 1 of block size size(i), frame i ending at
// (i + 1) x t / count. A frame equal to the one before is not drawn again,
// and when the clock has run ahead the frames it passed are skipped.
template <typename Size>
void MosaicFrames(Engine& e, int64_t count, int64_t t, Size size) {
  SceneState& sc = e.scene;
  if (sc.scene.Empty()) return;
  // Cut short, only the last frame is shown.
  bool cut = ShakesCut(e);
  if (cut) t = 0;
  EffectClock clock(e);
  int64_t largest = std::max(sc.width, sc.height);
  int64_t shown = -1;
  for (int64_t i = cut ? count - 1 : 0;;) {
    int64_t b = std::clamp<int64_t>(size(i), 1, largest);
    if (b != shown) {
      MeanBlocks(sc.scene, sc.display, static_cast<int32_t>(b));
      PresentDisplay(e);
      shown = b;
    }
    if (!clock.WaitUntil((i + 1) * t / count) || i == count - 1) return;
    int64_t byTime = t > 0 ? clock.Elapsed() * count / t : count;
    i = std::clamp(byTime, i + 1, count - 1);
  }
}

}  // namespace

void Cmd_quake(Engine& e) { Quake(e, true, true); }
void Cmd_quakex(Engine& e) { Quake(e, true, false); }
void Cmd_quakey(Engine& e) { Quake(e, false, true); }

// mosaicout m, n, t: the scene coarsening from blocks of m / n to m.
void Cmd_mosaicout(Engine& e) {
  int64_t m = ReadNumberArgument(e);
  int64_t n = NextNumber(e);
  int64_t t = NextNumber(e);
  if (n <= 0) return;
  MosaicFrames(e, n, t, [&](int64_t i) { return m * (i + 1) / n; });
}

// mosaicin m, n, t: the scene sharpening from blocks of m to single pixels.
// With no steps at all (n = 0) the scene is simply shown, for t ms.
void Cmd_mosaicin(Engine& e) {
  int64_t m = ReadNumberArgument(e);
  int64_t n = NextNumber(e);
  int64_t t = NextNumber(e);
  if (n < 0) return;
  MosaicFrames(e, n + 1, t, [&](int64_t i) { return n == 0 ? 1 : m * (n - i) / n; });
}

// flushout t: a flash. The picture brightens to white over the first half
// of t and comes back over the second.
void Cmd_flushout(Engine& e) {
  int64_t t = std::max(ReadNumberArgument(e), 0);
  Surface& f = Frame(e);
  const Surface& d = e.scene.display;
  int64_t count = std::max<int64_t>(1, t / kFrameMs);
  ShakeFrames(e, count, [&](int64_t i) { return (i + 1) * t / count; }, [&](int64_t i) {
    int64_t half = std::max<int64_t>(1, count / 2);
    int64_t towards = i < half ? i + 1 : count - 1 - i;
    uint16_t a = static_cast<uint16_t>(std::clamp<int64_t>(towards * 255 / half, 0, 255));
    for (size_t k = 0; k < f.bits.size(); ++k) {
      f.bits[k] = static_cast<uint8_t>(Div255(static_cast<uint16_t>(a * 255)) +
                                       Div255(static_cast<uint16_t>((255 - a) * d.bits[k])));
    }
    PresentFrame(e, f);
  });
}

// yugami a, d: the picture wavers, every line pushed sideways along a wave
// of amplitude a that fades out over d ms.
void Cmd_yugami(Engine& e) {
  int64_t a = std::clamp(ReadNumberArgument(e), -kMaxAmplitude, kMaxAmplitude);
  int64_t d = std::max(NextNumber(e), 0);
  Surface& f = Frame(e);
  const Surface& src = e.scene.display;
  int64_t count = d / kFrameMs;
  ShakeFrames(e, count, [&](int64_t i) { return (i + 1) * kFrameMs; }, [&](int64_t i) {
    double t = static_cast<double>(i * kFrameMs);
    double fade = 1.0 - t / static_cast<double>(std::max<int64_t>(d, 1));
    const int32_t w = f.width, h = f.height;
    std::fill(f.bits.begin(), f.bits.end(), uint8_t{0});
    for (int32_t y = 0; y < h; ++y) {
      double phase = 2 * std::numbers::pi * (y / 48.0 + t / 400.0);
      int64_t dx = std::clamp<int64_t>(std::lround(static_cast<double>(a) * fade * std::sin(phase)), -w, w);
      int64_t x0 = std::max<int64_t>(0, dx), x1 = std::min<int64_t>(w, w + dx);
      if (x1 > x0) std::memcpy(f.Row(y) + Offset(x0), src.Row(y) + Offset(x0 - dx), Offset(x1 - x0));
    }
    PresentFrame(e, f);
  });
}

// panoramatest d: the picture scrolls once round to the left, wrapping,
// over d ms.
void Cmd_panoramatest(Engine& e) {
  int64_t d = std::max(ReadNumberArgument(e), 0);
  Surface& f = Frame(e);
  const Surface& src = e.scene.display;
  int64_t count = d / kFrameMs;
  ShakeFrames(e, count, [&](int64_t i) { return (i + 1) * kFrameMs; }, [&](int64_t i) {
    const int32_t w = f.width, h = f.height;
    int64_t s = w > 0 ? (i + 1) * w / std::max<int64_t>(count, 1) % w : 0;
    for (int32_t y = 0; y < h; ++y) {
      std::memcpy(f.Row(y), src.Row(y) + Offset(s), Offset(w - s));
      std::memcpy(f.Row(y) + Offset(w - s), src.Row(y), Offset(s));
    }
    PresentFrame(e, f);
  });
}

}  // namespace sorv
