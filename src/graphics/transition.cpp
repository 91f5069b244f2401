// The built-in transitions. Each draws into the display buffer and presents
// it, frame by frame, on the effect clock; the runner copies the scene over
// what the transition returns once it ends, so a transition cut short by a
// click still ends on the exact scene.
#include <algorithm>
#include <cstring>

#include "graphics/image_load.h"
#include "graphics/transition.h"
#include "input/input.h"
#include "shell/engine.h"

namespace sorv {
namespace {

// Blending transitions never present faster than a 60 Hz display refreshes:
// frame k is due at k x 1000 / 60 ms, so every refresh gets a new level and
// none is wasted on a frame the display never shows.
constexpr int64_t kFramesPerSecond = 60;

int64_t FrameDue(int64_t frame) { return frame * 1000 / kFramesPerSecond; }

// The time at which a level growing `scale` steps over `d` ms reaches `level`.
int64_t LevelDue(int64_t level, int64_t scale, int64_t d) {
  if (d <= 0) return 0;
  return (level * d + scale - 1) / scale;
}

// The level for the time passed, at least one more than the last.
int32_t NextLevel(int32_t level, int64_t elapsed, int64_t scale, int64_t d, int32_t top) {
  if (d <= 0) return top;
  int64_t byTime = elapsed * scale / d;
  return static_cast<int32_t>(std::min<int64_t>(top, std::max<int64_t>(level + 1, byTime)));
}

Rect Screen(const Engine& e) { return Rect{0, 0, e.scene.width, e.scene.height}; }

// The display as it was when the transition began, for the blending ones.
const Surface& SnapshotOld(Engine& e, const Rect& r) {
  Surface& old = e.effects.old;
  if (old.width != e.scene.width || old.height != e.scene.height) CreateSurface(old, e.scene.width, e.scene.height);
  CopyRect(e.scene.display, old, r);
  return old;
}

size_t Offset(int32_t x) { return static_cast<size_t>(x) * 3; }
size_t SpanBytes(const Rect& r) { return static_cast<size_t>(r.right - r.left) * 3; }

void CopyPixel(SceneState& sc, int32_t x, int32_t y) {
  std::memcpy(sc.display.TopRow(y) + Offset(x), sc.scene.TopRow(y) + Offset(x), 3);
}
void CopyColumn(SceneState& sc, int32_t x, const Rect& r) {
  for (int32_t y = r.top; y < r.bottom; ++y) CopyPixel(sc, x, y);
}
// Calls f with each stored row the rectangle covers, in the order they lie
// in memory (the bottom of the picture first): the blending kernels read
// and write whole rows, and the processor fetches ahead well only in that
// direction (an 800 x 600 soft-rule frame takes about a tenth longer
// walked the other way).
template <class F>
void ForRowsUpward(const SceneState& sc, const Rect& r, F f) {
  for (int32_t row = sc.height - r.bottom; row < sc.height - r.top; ++row) f(row);
}
void CopyRowSpan(SceneState& sc, int32_t y, const Rect& r) {
  std::memcpy(sc.display.TopRow(y) + Offset(r.left), sc.scene.TopRow(y) + Offset(r.left), SpanBytes(r));
}
void CopyLine(SceneState& sc, bool column, int32_t c, const Rect& r) {
  if (column) {
    CopyColumn(sc, c, r);
  } else {
    CopyRowSpan(sc, c, r);
  }
}

// 2-5: sixteen passes, each copying every sixteenth column (row).
void Blinds(Engine& e, const EffectRequest& fx, const Rect& r, bool columns, bool reverse) {
  EffectClock clock(e);
  SceneState& sc = e.scene;
  int32_t from = columns ? r.left : r.top, to = columns ? r.right : r.bottom;
  for (int32_t s = 0; s < 16; ++s) {
    int32_t k = reverse ? 15 - s : s;
    for (int32_t c = from + k; c < to; c += 16) CopyLine(sc, columns, c, r);
    PresentDisplay(e);
    if (!clock.WaitUntil(int64_t{fx.duration} * (s + 1) / 16)) return;
  }
}

// 6-9: a curtain of 24 lines 23 apart sweeping across. The sweep runs at
// least until every line of the screen has been reached, so that on small
// screens no line waits for the final copy.
void Curtain(Engine& e, const EffectRequest& fx, const Rect& r, bool columns, bool reverse) {
  EffectClock clock(e);
  SceneState& sc = e.scene;
  int64_t extent = columns ? sc.width : sc.height;
  int64_t limit = columns ? extent * 1170 / 640 - 1 : extent * 1010 / 480 - 1;
  limit = std::max<int64_t>(limit, extent - 1 + 23 * 23);
  int64_t den = columns ? 30720 : 20160;
  int32_t from = columns ? r.left : r.top, to = columns ? r.right : r.bottom;
  int64_t steps = limit / 24 + 1;
  for (int64_t m = 0; m < steps; ++m) {
    int64_t s = reverse ? limit - 24 * m : 24 * m;
    for (int64_t j = 0; j < 24; ++j) {
      int64_t c = s - 23 * j;
      if (c >= from && c < to) CopyLine(sc, columns, static_cast<int32_t>(c), r);
    }
    PresentDisplay(e);
    if (!clock.WaitUntil(int64_t{fx.duration} * extent * (m + 1) / den)) return;
  }
}

// One step of a push: the shown picture moves `shift` pixels and the
// scene's next strip comes in behind it. `done` is how far it has come.
void PushStep(SceneState& sc, int32_t type, int32_t done, int32_t shift) {
  const int32_t w = sc.width, h = sc.height;
  const size_t stride = static_cast<size_t>(sc.display.stride);
  uint8_t* bits = sc.display.bits.data();
  switch (type) {
    case 11:  // right: the scene's columns from the right edge enter at the left
      for (int32_t y = 0; y < h; ++y) {
        uint8_t* row = sc.display.Row(y);
        std::memmove(row + Offset(shift), row, Offset(w - shift));
        std::memcpy(row, sc.scene.Row(y) + Offset(w - done - shift), Offset(shift));
      }
      break;
    case 12:  // left: the scene's columns from the left edge enter at the right
      for (int32_t y = 0; y < h; ++y) {
        uint8_t* row = sc.display.Row(y);
        std::memmove(row, row + Offset(shift), Offset(w - shift));
        std::memcpy(row + Offset(w - shift), sc.scene.Row(y) + Offset(done), Offset(shift));
      }
      break;
    case 13:  // down (rows are stored bottom-up, so the picture moves to lower rows)
      std::memmove(bits, bits + stride * static_cast<size_t>(shift), stride * static_cast<size_t>(h - shift));
      for (int32_t i = 0; i < shift; ++i) {
        std::memcpy(sc.display.TopRow(i), sc.scene.TopRow(h - done - shift + i), stride);
      }
      break;
    default:  // 14, up
      std::memmove(bits + stride * static_cast<size_t>(shift), bits, stride * static_cast<size_t>(h - shift));
      for (int32_t i = 0; i < shift; ++i) {
        std::memcpy(sc.display.TopRow(h - shift + i), sc.scene.TopRow(done + i), stride);
      }
      break;
  }
}

// 11-14: the whole picture is pushed out by the scene, 8 columns or 6 rows a
// step; the last step takes what is left when the size is not a multiple.
void Push(Engine& e, const EffectRequest& fx, int32_t type) {
  EffectClock clock(e);
  SceneState& sc = e.scene;
  bool horizontal = type == 11 || type == 12;
  int32_t unit = horizontal ? 8 : 6;
  int32_t extent = horizontal ? sc.width : sc.height;
  int64_t den = horizontal ? 51200 : 38400;
  int32_t done = 0;
  for (int64_t step = 1; done < extent; ++step) {
    int32_t shift = std::min(unit, extent - done);
    PushStep(sc, type, done, shift);
    done += shift;
    PresentDisplay(e);
    if (!clock.WaitUntil(int64_t{fx.duration} * extent * step / den)) return;
  }
}

// Fills `target` with square blocks of `b` laid from the bottom-left corner,
// each the colour of its own bottom-left pixel in `source`.
void CornerBlocks(const Surface& source, Surface& target, int32_t b) {
  const int32_t w = target.width, h = target.height;
  for (int32_t by = 0; by < h; by += b) {
    int32_t rows = std::min(b, h - by);
    for (int32_t bx = 0; bx < w; bx += b) {
      int32_t cols = std::min(b, w - bx);
      const uint8_t* c = source.Row(by) + Offset(bx);
      uint8_t* first = target.Row(by) + Offset(bx);
      for (int32_t i = 0; i < cols; ++i) std::memcpy(first + Offset(i), c, 3);
      for (int32_t y = 1; y < rows; ++y) std::memcpy(target.Row(by + y) + Offset(bx), first, Offset(cols));
    }
  }
}

// 16 (out: the old picture coarsening) and 17 (in: the scene sharpening).
void CornerMosaic(Engine& e, const EffectRequest& fx, bool out) {
  EffectClock clock(e);
  SceneState& sc = e.scene;
  bool small = sc.width < 640;
  int32_t largest = small ? 80 : 160;
  int64_t each = int64_t{fx.duration} / (small ? 5 : 10);
  std::vector<int32_t> sizes;
  for (int32_t b = 5; b <= largest; b *= 2) sizes.push_back(b);
  if (!out) std::reverse(sizes.begin(), sizes.end());
  const Surface& source = out ? SnapshotOld(e, Screen(e)) : sc.scene;
  for (size_t i = 0; i < sizes.size(); ++i) {
    CornerBlocks(source, sc.display, sizes[i]);
    PresentDisplay(e);
    if (!clock.WaitUntil(each * static_cast<int64_t>(i + 1))) return;
  }
  PauseMs(e, e.graphicsSettings.effectBlank);
}

// 90: the display shown again ten times, then the pause.
void Repaints(Engine& e, const EffectRequest& fx) {
  EffectClock clock(e);
  for (int64_t i = 1; i <= 10; ++i) {
    PresentDisplay(e);
    if (!clock.WaitUntil(int64_t{fx.duration} * i / 10)) return;
  }
  PauseMs(e, e.graphicsSettings.effectBlank);
}

// The frame loop the three level-driven transitions share: draw the level,
// present, and move on to the level the time has reached, at least one
// further, never faster than the display refreshes.
template <typename DrawLevel>
void LevelLoop(Engine& e, int64_t d, int32_t first, int32_t top, int64_t scale, DrawLevel draw) {
  EffectClock clock(e);
  int32_t level = d <= 0 ? top : first;
  for (int64_t frame = 1;; ++frame) {
    draw(level, frame);
    PresentDisplay(e);
    if (level >= top) return;
    int64_t due = std::max(FrameDue(frame), LevelDue(level + 1, scale, d));
    if (!clock.WaitUntil(due)) return;
    level = NextLevel(level, clock.Elapsed(), scale, d, top);
  }
}

void CrossFade(Engine& e, const EffectRequest& fx, const Rect& r) {
  SceneState& sc = e.scene;
  const Surface& old = SnapshotOld(e, r);
  LevelLoop(e, fx.duration, 1, 255, 256, [&](int32_t w, int64_t frame) {
    int32_t phase = static_cast<int32_t>((frame - 1) & 1);
    ForRowsUpward(sc, r, [&](int32_t row) {
      CrossFadeBytes(sc.display.Row(row) + Offset(r.left), sc.scene.Row(row) + Offset(r.left),
                     old.Row(row) + Offset(r.left), SpanBytes(r), w, phase);
    });
  });
}

void LoadRule(Engine& e, const std::string& tag) {
  TaggedImage image;
  LoadImage(e, image, tag);
  image.transMode = kTransCopy;
  BuildRuleMap(image.surface, e.scene.width, e.scene.height, e.scene.display.stride, e.effects.rule);
}

void Rule(Engine& e, const EffectRequest& fx, const Rect& r) {
  LoadRule(e, fx.image);
  SceneState& sc = e.scene;
  const std::vector<uint8_t>& rule = e.effects.rule;
  LevelLoop(e, fx.duration, 1, 255, 256, [&](int32_t level, int64_t) {
    ForRowsUpward(sc, r, [&](int32_t row) {
      size_t at = static_cast<size_t>(row) * static_cast<size_t>(sc.display.stride) + Offset(r.left);
      RuleBytes(sc.display.Row(row) + Offset(r.left), sc.scene.Row(row) + Offset(r.left), rule.data() + at,
                SpanBytes(r), level);
    });
  });
}

void SoftRule(Engine& e, const EffectRequest& fx, const Rect& r) {
  LoadRule(e, fx.image);
  SceneState& sc = e.scene;
  const Surface& old = SnapshotOld(e, r);
  const std::vector<uint8_t>& rule = e.effects.rule;
  LevelLoop(e, fx.duration, 1, 511, 512, [&](int32_t level, int64_t) {
    ForRowsUpward(sc, r, [&](int32_t row) {
      size_t at = static_cast<size_t>(row) * static_cast<size_t>(sc.display.stride) + Offset(r.left);
      SoftRuleBytes(sc.display.Row(row) + Offset(r.left), sc.scene.Row(row) + Offset(r.left),
                    old.Row(row) + Offset(r.left), rule.data() + at, SpanBytes(r), level);
    });
  });
}

}  // namespace

EffectClock::EffectClock(Engine& e) : e_(e), start_(e.platform ? e.platform->NowMs() : 0) {
  if (e_.platform) e_.platform->SetVsync(true);
}

EffectClock::~EffectClock() {
  if (e_.platform) e_.platform->SetVsync(false);
}

int64_t EffectClock::Elapsed() {
  if (!e_.platform) return INT64_MAX / 4;
  return static_cast<uint32_t>(e_.platform->NowMs() - start_);
}

bool EffectClock::Poll() {
  if (stopped_) return false;
  if (!e_.platform) return true;
  bool clicked = false;
  FillMessageQueue(e_);
  while (!e_.app.queue.empty()) {
    const platform::Event& ev = e_.app.queue.front();
    bool press = ev.type == platform::Event::Type::MouseDown || ev.type == platform::Event::Type::MouseUp;
    clicked = clicked || (press && ev.button == platform::MouseButton::Left);
    PumpInput(e_);
  }
  if (WaitAbandoned(e_) || (clicked && e_.effects.clickCut)) stopped_ = true;
  return !stopped_;
}

bool EffectClock::WaitUntil(int64_t ms) {
  while (true) {
    if (!Poll()) return false;
    int64_t left = ms - Elapsed();
    if (left <= 0) return true;
    e_.platform->SleepMs(static_cast<uint32_t>(std::min<int64_t>(left, 5)));
  }
}

void PauseMs(Engine& e, int64_t ms) {
  if (!e.platform || ms <= 0) return;
  uint32_t start = e.platform->NowMs();
  while (true) {
    FillMessageQueue(e);
    while (!e.app.queue.empty()) PumpInput(e);
    if (WaitAbandoned(e)) return;
    int64_t left = ms - static_cast<uint32_t>(e.platform->NowMs() - start);
    if (left <= 0) return;
    e.platform->SleepMs(static_cast<uint32_t>(std::min<int64_t>(left, 5)));
  }
}

void BuildRuleMap(const Surface& image, int32_t width, int32_t height, int32_t stride, std::vector<uint8_t>& rule) {
  rule.assign(static_cast<size_t>(stride) * static_cast<size_t>(std::max(height, 0)), 0);
  if (image.Empty() || image.width <= 0 || image.height <= 0) return;
  // One row of the picture's first bytes, then each screen row from it.
  const int32_t used = std::min(image.width, width);  // columns a screen row can reach
  std::vector<uint8_t> line(static_cast<size_t>(std::max(used, 1)));
  for (int32_t y = 0; y < height; ++y) {
    int32_t iy = image.height - 1 - (y % image.height);  // rows from the top, tiled
    for (int32_t x = 0; x < used; ++x) {
      uint8_t bgr[3];
      PixelColour(image, x, iy, bgr);
      line[static_cast<size_t>(x)] = bgr[0];
    }
    uint8_t* out = rule.data() + static_cast<size_t>(height - 1 - y) * static_cast<size_t>(stride);
    for (int32_t x = 0; x < width; ++x) {
      uint8_t v = line[static_cast<size_t>(x % image.width)];
      out[Offset(x)] = out[Offset(x) + 1] = out[Offset(x) + 2] = v;
    }
  }
}

bool IsBuiltInTransition(int32_t type) { return (type >= 1 && type <= 18) || type == 90; }

Rect RunTransition(Engine& e, const EffectRequest& fx, const Rect& r) {
  switch (fx.type) {
    case 2: case 3: Blinds(e, fx, r, true, fx.type == 3); break;
    case 4: case 5: Blinds(e, fx, r, false, fx.type == 5); break;
    case 6: case 7: Curtain(e, fx, r, true, fx.type == 7); break;
    case 8: case 9: Curtain(e, fx, r, false, fx.type == 9); break;
    case 10: CrossFade(e, fx, r); break;
    case 11: case 12: case 13: case 14: Push(e, fx, fx.type); return Screen(e);
    case 15: Rule(e, fx, r); break;
    case 16: case 17: CornerMosaic(e, fx, fx.type == 16); return Screen(e);
    case 18: SoftRule(e, fx, r); break;
    case 90: Repaints(e, fx); break;
    default: break;  // 1: only the final copy
  }
  return r;
}

}  // namespace sorv
