// The screen buffers, the dirty rectangle, the layer order of a composition
// and the cell animation the waits run.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "graphics/effect.h"
#include "graphics/scene.h"
#include "shell/engine.h"
#include "text/text_window.h"

namespace sorv {
namespace {

Rect Screen(const Engine& e) { return Rect{0, 0, e.scene.width, e.scene.height}; }

bool InHiddenRange(const SceneState& sc, int32_t n) { return n >= sc.hideFirst && n <= sc.hideLast; }

// A tag "*n" hands the sprite to plug-in draw callback n.
bool PluginSprite(const std::string& tag, int32_t& callback) {
  if (tag.size() < 2 || tag[0] != '*' || tag[1] < '0' || tag[1] > '9') return false;
  callback = std::atoi(tag.c_str() + 1);
  return true;
}

void DrawSprite(Engine& e, int32_t n, const Rect& r) {
  SceneState& sc = e.scene;
  Sprite& sp = sc.sprites[static_cast<size_t>(n)];
  if (sp.tag.empty() || !sp.visible || InHiddenRange(sc, n)) return;
  int32_t callback = 0;
  if (PluginSprite(sp.tag, callback)) {
    if (sc.hooks.drawPluginSprite) sc.hooks.drawPluginSprite(e, callback, sc.scene, r, n);
    return;
  }
  DrawImage(sp.image, sc.scene, sp.x, sp.y, r);
}

void DrawSpriteRange(Engine& e, int32_t from, int32_t downTo, const Rect& r) {
  if (e.scene.allSpHide) return;
  for (int32_t n = std::min(from, kSpriteSlots - 1); n >= std::max(downTo, 0); --n) DrawSprite(e, n, r);
}

int StandingIndex(char c) {
  switch (c) {
    case 'l': case 'L': return kStandLeft;
    case 'c': case 'C': return kStandCentre;
    case 'r': case 'R': return kStandRight;
    default: return -1;
  }
}

void DrawStanding(Engine& e, const Rect& r) {
  SceneState& sc = e.scene;
  if (sc.allSpHide && !e.graphicsSettings.notEraseMan) return;
  auto draw = [&](int i) {
    StandingImage& s = sc.standing[static_cast<size_t>(i)];
    if (!s.tag.empty()) DrawImage(s.image, sc.scene, s.x, s.y, r);
  };
  if (sc.humanOrder.empty()) {
    for (int i = 0; i < 3; ++i) draw(i);
    return;
  }
  // The order names the front first, so it is drawn from its end.
  for (auto it = sc.humanOrder.rbegin(); it != sc.humanOrder.rend(); ++it) {
    int i = StandingIndex(*it);
    if (i >= 0) draw(i);
  }
}

void DrawBackground(Engine& e, const Rect& r) {
  SceneState& sc = e.scene;
  const GraphicsSettings& g = e.graphicsSettings;
  if (g.bgaliaX == -1) {
    // Until a background is loaded the screen's background is black: what
    // was drawn over it before must not stay behind.
    if (!sc.background.HasSurface()) FillRect(sc.scene, r, 0);
    DrawImage(sc.background, sc.scene, 0, 0, r);
    return;
  }
  FillRect(sc.scene, r, 0);
  Rect area = Rect{g.bgaliaX, g.bgaliaY, g.bgaliaX + g.bgaliaW, g.bgaliaY + g.bgaliaH}.Intersect(r);
  DrawImage(sc.background, sc.scene, g.bgaliaX, g.bgaliaY, area);
}

void DrawSprite2s(Engine& e, const Rect& r) {
  SceneState& sc = e.scene;
  if (sc.allSp2Hide) return;
  for (int32_t n = kSprite2Slots - 1; n >= 0; --n) {
    const Sprite2& s = sc.sprite2[static_cast<size_t>(n)];
    if (s.tag.empty() || !s.visible) continue;
    DrawImageTransformed(s.rotation, s.image, sc.scene, s.cx, s.cy, s.scaleX, s.scaleY, s.blend, r);
  }
}

void DrawFilters(Engine& e, const Rect& r) {
  SceneState& sc = e.scene;
  if (sc.nega == 1) NegateRect(sc.scene, r);
  if (sc.monochrome) MonochromeRect(sc.scene, r, sc.monochromeTint);
  if (sc.nega == 2) NegateRect(sc.scene, r);
}

void DrawTextLayer(Engine& e, const Rect& r) { DrawTextWindowLayer(e, e.scene.scene, r); }

TextRect ToTextRect(const Rect& r) { return TextRect{r.left, r.top, r.right - r.left, r.bottom - r.top}; }
Rect FromTextRect(const TextRect& r) { return Rect{r.x, r.y, r.x + r.w, r.y + r.h}; }

// What the text window needs from the compositor: the buffer its glyphs go
// to, a recomposition of a rectangle, a plain copy to the window, and the
// visibility of its window chips.
void InstallTextWindowHooks(Engine& e) {
  TextWindowHooks& h = e.textWindow.hooks;
  h.screenImage = [](Engine& en) { return ViewOf(en.scene.scene); };
  h.redraw = [](Engine& en, TextRect r) {
    Rect rect = FromTextRect(r);
    ComposeRect(en, rect);
    CopySceneToDisplay(en, rect);
    PresentDisplay(en);
  };
  h.windowChange = [](Engine& en, TextRect r) {
    EffectRequest effect = WindowEffectRequest(en);
    if (effect.type == 1) {
      en.textWindow.hooks.redraw(en, r);
      return;
    }
    MarkDirty(en, FromTextRect(r));
    RunEffect(en, effect);
  };
  h.present = [](Engine& en, TextRect r) {
    CopySceneToDisplay(en, FromTextRect(r));
    PresentDisplay(en);
  };
  h.setSpriteVisible = [](Engine& en, int32_t n, bool visible) {
    if (n < 0 || n >= kSpriteSlots) return;
    Sprite& sp = en.scene.sprites[static_cast<size_t>(n)];
    if (sp.visible == visible) return;
    MarkDirty(en, SpriteRect(sp));
    sp.visible = visible;
  };
  e.images.renderTextSprite = RenderTextSprite;
}

void DrawGaugesAndNumbers(Engine& e, const Rect& r) {
  SceneState& sc = e.scene;
  for (const Gauge& g : sc.gauges) {
    // A maximum of 0 or less would divide by zero: such a bar shows nothing.
    if (g.x == -1 || g.maximum <= 0) continue;
    int64_t w = static_cast<int64_t>(g.width) * g.value / g.maximum;
    if (w <= 0) continue;
    w = std::min<int64_t>(w, INT32_MAX - std::max(g.x, 0));
    FillRect(sc.scene, Rect{g.x, g.y, g.x + static_cast<int32_t>(w), g.y + g.height}.Intersect(r), g.colour);
  }
  for (const NumberDisplay& n : sc.numbers) {
    if (n.x == -1) continue;
    DrawNumberDisplay(e, ViewOf(sc.scene), n.value, n.x, n.y, n.charWidth, n.charHeight, n.colour, ToTextRect(r));
  }
}

int32_t CellTimeOf(const TaggedImage& img) {
  if (img.cellTime != kCellTimeList) return img.cellTime;
  size_t i = static_cast<size_t>(std::max(img.currentCell, 0));
  return i < img.cellTimes.size() ? img.cellTimes[i] : kCellNeverAdvance;
}

bool Animated(const Sprite& sp) {
  int32_t callback = 0;
  return !sp.tag.empty() && sp.visible && sp.image.cellCount > 1 && sp.image.animationMode != 3 &&
         sp.image.cellTime != kCellNeverAdvance && !PluginSprite(sp.tag, callback);
}

void AdvanceCell(TaggedImage& img) {
  int32_t cells = img.cellCount;
  int32_t cell = img.currentCell + img.animationStep;
  if (cell < 0 || cell >= cells) {
    switch (img.animationMode) {
      case 0: cell = 0; break;
      case 1: cell = cells - 1; break;
      case 2:
        img.animationStep = -img.animationStep;
        cell += 2 * img.animationStep;
        cell = std::clamp(cell, 0, cells - 1);
        break;
      default: cell = img.currentCell; break;
    }
  }
  img.currentCell = cell;
}

}  // namespace

void RecreateSurfaces(Engine& e) {
  SceneState& sc = e.scene;
  sc.width = e.screenWidth;
  sc.height = e.screenHeight;
  CreateSurface(sc.scene, sc.width, sc.height);
  CreateSurface(sc.display, sc.width, sc.height);
  if (!sc.idleInstalled) {
    sc.idleInstalled = true;
    e.input.hooks.idle.push_back(SceneIdle);
    e.input.hooks.spriteAnimating = SpriteAnimating;
    InstallTextWindowHooks(e);
  }
}

void ResetScene(Engine& e) {
  SceneState& sc = e.scene;
  SceneHooks hooks = std::move(sc.hooks);
  bool idle = sc.idleInstalled;
  Surface scene = std::move(sc.scene), display = std::move(sc.display);
  int32_t w = sc.width, h = sc.height;
  sc = SceneState{};
  sc.hooks = std::move(hooks);
  sc.idleInstalled = idle;
  sc.scene = std::move(scene), sc.display = std::move(display);
  sc.width = w, sc.height = h;
  sc.standingCentre = {w / 4, w / 2, w * 3 / 4};
  sc.baseLine = h;
  sc.backgroundName = "black";
  FillRect(sc.scene, Screen(e), 0);
  FillRect(sc.display, Screen(e), 0);
  PresentDisplay(e);
}

void PresentDisplay(Engine& e) {
  SceneState& sc = e.scene;
  if (!e.platform || sc.display.Empty()) return;
  e.platform->Present(sc.display.bits.data(), sc.width, sc.height, sc.display.stride);
}

void MarkDirty(Engine& e, const Rect& r) { e.scene.dirty = e.scene.dirty.Union(r.Intersect(Screen(e))); }

void MarkAllDirty(Engine& e) { MarkDirty(e, Screen(e)); }

void ComposeRect(Engine& e, const Rect& r0) {
  SceneState& sc = e.scene;
  Rect r = r0.Intersect(Screen(e));
  if (r.Empty() || sc.scene.Empty()) return;
  const GraphicsSettings& g = e.graphicsSettings;
  int32_t humanz = std::clamp(g.humanz, 0, kSpriteSlots - 1);
  DrawBackground(e, r);
  DrawSpriteRange(e, kSpriteSlots - 1, humanz + 1, r);
  DrawStanding(e, r);
  if (g.windowBack) {
    DrawFilters(e, r);
    DrawSprite2s(e, r);
    DrawTextLayer(e, r);
  }
  DrawSpriteRange(e, humanz, 0, r);
  if (!g.windowBack) {
    DrawSprite2s(e, r);
    DrawFilters(e, r);
  }
  DrawGaugesAndNumbers(e, r);
  if (!g.windowBack) DrawTextLayer(e, r);
}

void CopySceneToDisplay(Engine& e, const Rect& r) { CopyRect(e.scene.scene, e.scene.display, r); }

void DrawTextWindowLayer(Engine& e, Surface& target, const Rect& r0) {
  if (!e.textWindow.window.shown) return;
  Rect r = r0.Intersect(Rect{0, 0, target.width, target.height});
  if (r.Empty()) return;
  ScreenView view = ViewOf(target);
  DrawWindowBackground(e, view, ToTextRect(r));
  DrawTextLayer(e, view, ToTextRect(r));
}

Rect SpriteRect(const Sprite& s) {
  int32_t w = s.image.HasSurface() ? s.image.CellWidth() : 0;
  return Rect{s.x, s.y, s.x + w, s.y + s.image.surface.height};
}

Rect StandingRect(const StandingImage& s) {
  int32_t w = s.image.HasSurface() ? s.image.CellWidth() : 0;
  return Rect{s.x, s.y, s.x + w, s.y + s.image.surface.height};
}

Rect Sprite2Rect(const Sprite2& s) {
  if (!s.image.HasSurface()) return Rect{};
  int64_t w = static_cast<int64_t>(std::abs(s.scaleX)) * s.image.CellWidth() / 100;
  int64_t h = static_cast<int64_t>(std::abs(s.scaleY)) * s.image.surface.height / 100;
  int64_t r = static_cast<int64_t>(std::sqrt(static_cast<double>(w * w + h * h)) / 2) + 2;
  r = std::min<int64_t>(r, 1 << 20);
  return Rect{s.cx - static_cast<int32_t>(r), s.cy - static_cast<int32_t>(r), s.cx + static_cast<int32_t>(r),
              s.cy + static_cast<int32_t>(r)};
}

Rect AnimateCells(Engine& e, uint32_t now) {
  SceneState& sc = e.scene;
  Rect changed;
  for (int32_t n = 0; n < kSpriteSlots; ++n) {
    Sprite& sp = sc.sprites[static_cast<size_t>(n)];
    int32_t callback = 0;
    if (!sp.tag.empty() && sp.visible && PluginSprite(sp.tag, callback)) {
      if (sc.hooks.pluginSpriteTimer && sc.hooks.pluginSpriteTimer(e, callback, n)) changed = Screen(e);
      continue;
    }
    if (!Animated(sp)) continue;
    TaggedImage& img = sp.image;
    // A clock that wrapped below the last change counts as time up.
    bool due = now < img.loadTime || static_cast<int64_t>(now - img.loadTime) > CellTimeOf(img);
    if (!due) continue;
    if (img.animationMode == 1 && img.currentCell >= img.cellCount - 1) continue;
    AdvanceCell(img);
    img.loadTime = now;
    changed = changed.Union(SpriteRect(sp).Intersect(Screen(e)));
  }
  return changed;
}

void SceneIdle(Engine& e) {
  if (!e.platform || e.scene.scene.Empty()) return;
  Rect changed = AnimateCells(e, e.platform->NowMs());
  if (changed.Empty()) return;
  ComposeRect(e, changed);
  CopySceneToDisplay(e, changed);
  PresentDisplay(e);
}

bool SpriteAnimating(Engine& e, int32_t n, uint32_t& cellMs) {
  if (n < 0 || n >= kSpriteSlots) return false;
  const Sprite& sp = e.scene.sprites[static_cast<size_t>(n)];
  if (!Animated(sp)) return false;
  const TaggedImage& img = sp.image;
  int32_t t = CellTimeOf(img);
  cellMs = t < 0 ? 0u : static_cast<uint32_t>(t);
  if (img.animationStep < 0) return img.currentCell > 0;
  return img.currentCell < img.cellCount - 1;
}

}  // namespace sorv
