// The text window's state: start values, buffers, pages, showing and hiding,
// cell geometry, and the window background and text layer the compositor
// draws.
#include "text/text_window.h"

#include <algorithm>
#include <cstring>

#include "graphics/surface.h"
#include "shell/engine.h"
#include "text/glyph_renderer.h"

namespace sorv {
namespace {

TextRect Intersect(TextRect a, TextRect b) {
  int32_t x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
  int64_t x1 = std::min<int64_t>(int64_t{a.x} + a.w, int64_t{b.x} + b.w);
  int64_t y1 = std::min<int64_t>(int64_t{a.y} + a.h, int64_t{b.y} + b.h);
  if (x1 <= x0 || y1 <= y0) return {x0, y0, 0, 0};
  return {x0, y0, static_cast<int32_t>(x1 - x0), static_cast<int32_t>(y1 - y0)};
}

// The window's own rectangle from its inclusive corners, unclamped.
TextRect RawWindowRect(const TextWindowState& w) {
  int64_t width = int64_t{w.right} - w.left + 1, height = int64_t{w.bottom} - w.top + 1;
  return {w.left, w.top, static_cast<int32_t>(std::clamp<int64_t>(width, 0, INT32_MAX)),
          static_cast<int32_t>(std::clamp<int64_t>(height, 0, INT32_MAX))};
}

// Without a compositor the own screen is rebuilt as black under the window.
void OwnRedraw(Engine& e, TextRect r) {
  ScreenView s = TextScreen(e);
  r = Intersect(r, {0, 0, s.width, s.height});
  for (int32_t y = r.y; y < r.y + r.h; ++y) std::memset(s.TopRow(y) + r.x * 3, 0, static_cast<size_t>(r.w) * 3);
  if (e.textWindow.window.shown) {
    DrawWindowBackground(e, s, r);
    DrawTextLayer(e, s, r);
  }
}

}  // namespace

void RedrawScreenRect(Engine& e, TextRect r) {
  if (e.textWindow.hooks.redraw) {
    e.textWindow.hooks.redraw(e, r);
  } else {
    OwnRedraw(e, r);
  }
}

const BlendTable& Blend() { return kBlend; }

ScreenView ViewOf(Surface& s) { return {s.bits.data(), s.width, s.height, s.stride}; }

ScreenView TextScreen(Engine& e) {
  if (e.textWindow.hooks.screenImage) return e.textWindow.hooks.screenImage(e);
  // Made when first asked for: a compositor that supplies the screen
  // leaves it unused.
  Surface& own = e.textWindow.ownScreen;
  const int32_t w = std::max(1, e.screenWidth), h = std::max(1, e.screenHeight);
  if (own.width != w || own.height != h) CreateSurface(own, w, h);
  return ViewOf(own);
}

void ResizeTextBuffers(Engine& e) {
  TextWindow& t = e.textWindow;
  int32_t w = std::max(1, e.screenWidth), h = std::max(1, e.screenHeight);
  t.layer.width = w;
  t.layer.height = h;
  t.layer.stride = static_cast<int32_t>(RowStride(24, w));
  t.layer.bits.assign(static_cast<size_t>(t.layer.stride) * static_cast<size_t>(h), 0);
  t.coverage.width = w;
  t.coverage.height = h;
  t.coverage.values.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
}

void ResetTextWindow(Engine& e) {
  TextWindow& t = e.textWindow;
  std::shared_ptr<GlyphRenderer> glyphs = std::move(t.glyphs);
  TextWindowHooks hooks = std::move(t.hooks);
  Surface own = std::move(t.ownScreen);
  t = TextWindow{};
  t.glyphs = std::move(glyphs);
  t.hooks = std::move(hooks);
  t.ownScreen = std::move(own);
  t.window.right = e.screenWidth;
  t.window.bottom = e.screenHeight;
  t.fonts.defaultFace = e.textSettings.defaultFace;
  ResizeTextBuffers(e);
  e.input.hooks.nextGlyphCell = [](Engine& en, int32_t& x, int32_t& y) { NextCellPosition(en, x, y); };
}

void StartGameFonts(Engine& e) {
  FontState& f = e.textWindow.fonts;
  f.defaultFace = e.textSettings.defaultFace;
  f.selectedFace = f.defaultFace;
  f.currentFace = f.selectedFace;
}

TextRect WindowRect(const Engine& e, int32_t grow) {
  TextRect r = RawWindowRect(e.textWindow.window);
  r.w += grow;
  r.h += grow;
  return Intersect(r, {0, 0, e.screenWidth, e.screenHeight});
}

void NewPage(Engine& e) {
  TextWindow& t = e.textWindow;
  t.cursor = TextCursor{};
  std::fill(t.layer.bits.begin(), t.layer.bits.end(), 0);
  std::fill(t.coverage.values.begin(), t.coverage.values.end(), 0);
  t.fonts.currentFace = t.fonts.selectedFace;
  t.verticalActive = t.verticalRequested;
  if (t.window.shown) RedrawScreenRect(e, WindowRect(e, 2));
  if (t.hooks.onNewPage) t.hooks.onNewPage(e);
}

namespace {

void ShowWindowChange(Engine& e) {
  TextRect r = WindowRect(e, 2);
  if (e.textWindow.hooks.windowChange) {
    e.textWindow.hooks.windowChange(e, r);
  } else {
    RedrawScreenRect(e, r);
  }
}

}  // namespace

void ShowTextWindow(Engine& e) {
  if (e.textWindow.window.shown) return;
  e.textWindow.window.shown = 1;
  ShowWindowChange(e);
}

void HideTextWindow(Engine& e, bool force) {
  TextWindowState& w = e.textWindow.window;
  if (!w.shown || (!w.eraseOnHide && !force)) return;
  w.shown = 0;
  ShowWindowChange(e);
}

void CellPosition(const Engine& e, int32_t column, int32_t line, int32_t& x, int32_t& y) {
  const TextWindowState& w = e.textWindow.window;
  if (e.textWindow.verticalActive) {
    x = (w.columns - line - 1) * w.advanceX + w.originX;
    y = column * w.advanceY + w.originY;
  } else {
    x = column * w.advanceX + w.originX;
    y = line * w.advanceY + w.originY;
  }
}

void NextCellPosition(const Engine& e, int32_t& x, int32_t& y) {
  CellPosition(e, e.textWindow.cursor.column, e.textWindow.cursor.line, x, y);
}

void DrawWindowBackground(Engine& e, ScreenView dst, TextRect r) {
  TextWindowState& w = e.textWindow.window;
  w.shown = 1;
  if (dst.Empty()) return;
  r = Intersect(Intersect(r, {0, 0, dst.width, dst.height}), RawWindowRect(w));
  if (r.Empty()) return;
  if (w.windowColour == -1) {
    Surface& img = w.windowImage.surface;
    if (img.Empty() || img.BitCount() != 24) return;
    TextRect ir = Intersect(r, {w.left, w.top, w.windowImage.CellWidth(), img.height});
    for (int32_t y = ir.y; y < ir.y + ir.h; ++y) {
      const uint8_t* src = img.TopRow(y - w.top) + static_cast<size_t>(ir.x - w.left) * 3;
      std::memcpy(dst.TopRow(y) + static_cast<size_t>(ir.x) * 3, src, static_cast<size_t>(ir.w) * 3);
    }
    return;
  }
  if ((w.windowColour & 0xFFFFFF) == 0xFFFFFF) return;
  const BlendTable& t = Blend();
  const uint8_t* rowB = t.Row(w.windowColour & 255);
  const uint8_t* rowG = t.Row((w.windowColour >> 8) & 255);
  const uint8_t* rowR = t.Row((w.windowColour >> 16) & 255);
  for (int32_t y = r.y; y < r.y + r.h; ++y) {
    uint8_t* p = dst.TopRow(y) + static_cast<size_t>(r.x) * 3;
    for (int32_t i = 0; i < r.w; ++i, p += 3) {
      p[0] = rowB[p[0]];
      p[1] = rowG[p[1]];
      p[2] = rowR[p[2]];
    }
  }
}

void DrawTextLayer(Engine& e, ScreenView dst, TextRect r) {
  TextWindow& t = e.textWindow;
  if (dst.Empty() || t.layer.bits.empty()) return;
  r = Intersect(Intersect(r, {0, 0, dst.width, dst.height}), {0, 0, t.layer.width, t.layer.height});
  const BlendTable& bt = Blend();
  ScreenView layer = t.layer.View();
  for (int32_t y = r.y; y < r.y + r.h; ++y) {
    uint8_t* p = dst.TopRow(y) + static_cast<size_t>(r.x) * 3;
    const uint8_t* l = layer.TopRow(y) + static_cast<size_t>(r.x) * 3;
    const uint8_t* c = &t.coverage.values[static_cast<size_t>(y) * t.coverage.width + r.x];
    for (int32_t i = 0; i < r.w; ++i, p += 3, l += 3) {
      if (c[i] == 0) continue;
      uint8_t keep = static_cast<uint8_t>(255 - c[i]);
      for (int k = 0; k < 3; ++k) p[k] = static_cast<uint8_t>(std::min(255, bt(p[k], keep) + l[k]));
    }
  }
}

}  // namespace sorv
