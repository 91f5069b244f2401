// Hit testing, hover drawing and the button-wait commands: what the button
// wait's loop needs to know about the buttons on screen.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "graphics/scene.h"
#include "input/buttons.h"
#include "input/input.h"
#include "interp/error.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "text/textflow.h"
#include "text/text_window.h"
#include "values/values.h"

namespace sorv {
namespace {

int32_t TableSize(const Engine& e) { return static_cast<int32_t>(e.buttons.table.size()); }

bool OnSprite(const ButtonEntry& b) { return b.kind == ButtonKind::Sprite || b.kind == ButtonKind::Extended; }

bool TableHit(Engine& e, const ButtonEntry& b, int32_t x, int32_t y) {
  if (b.number <= e.buttons.mask) return false;
  if (x < b.left || x > b.right || y < b.top || y > b.bottom) return false;
  return !(e.buttons.opaqueOnly && OnSprite(b)) || SpriteOpaqueAt(e, b.sprite, x, y);
}

// A text button is hit strictly inside its cells; one that wrapped to the
// next line (its right edge left of its start) covers the rest of the first
// line and the start of the second.
bool TextButtonHit(const Engine& e, const TextButtonSlot& t, int32_t x, int32_t y) {
  if (t.number <= e.buttons.mask) return false;
  const TextWindowState& w = e.textWindow.window;
  int64_t lineEnd = int64_t{t.y} + w.advanceY;
  if (t.right >= t.x) return t.x < x && x < t.right && t.y < y && y < lineEnd;
  int64_t windowEnd = int64_t{w.originX} + int64_t{w.advanceX} * w.columns;
  bool first = t.x < x && x < windowEnd && t.y < y && y < lineEnd;
  bool second = w.originX < x && x < t.right && lineEnd < y && y < lineEnd + w.advanceY;
  return first || second;
}

// The glyph cells of the page that belong to a text button.
bool CellInButton(const Engine& e, const TextButtonSlot& t, const TextFlowState::Cell& c) {
  if (c.y == t.y) return c.x >= t.x && (t.right < t.x || c.x <= t.right);
  return t.right < t.x && c.y == t.y + e.textWindow.window.advanceY && c.x < t.right;
}

// Redraws a text button's glyphs in a link colour. The glyphs go into the
// text layer too, so the recomposition puts them back as drawn.
void RecolourTextButton(Engine& e, size_t k, int32_t colour) {
  const TextButtonSlot& t = e.text.buttons[k];
  GlyphStyle style = WindowGlyphStyle(e);
  style.colour = colour;
  style.writeLayer = true;
  Rect area;
  for (TextFlowState::Cell& c : e.text.pageCells) {
    if (!CellInButton(e, t, c)) continue;
    DrawGlyph(e, TextScreen(e), c.bytes, c.x, c.y, style);
    c.colour = colour;
    area = area.Union(Rect{c.x, c.y, c.x + style.glyphW + 2, c.y + style.glyphH + 2});
  }
  if (!area.Empty()) RedrawScreenRect(e, TextRect{area.left, area.top, area.right - area.left, area.bottom - area.top});
}

void ShowDisplayRect(Engine& e, const Rect& r) {
  CopySceneToDisplay(e, r);
  PresentDisplay(e);
}

// The hovered look of an image button is a plain copy out of the button
// image, whatever colour key the image's tag names.
void DrawImageButtonHovered(Engine& e, const ButtonEntry& b) {
  TaggedImage& img = e.buttons.image;
  if (!img.HasSurface() || e.scene.scene.Empty()) return;
  Rect r{b.left, b.top, b.left + b.width, b.top + b.height};
  int32_t mode = img.transMode;
  if (mode != kTransAlpha) img.transMode = kTransCopy;
  DrawImage(img, e.scene.scene, b.left - b.sourceX, b.top - b.sourceY, r);
  img.transMode = mode;
  ShowDisplayRect(e, r);
}

void DrawImageButtonNormal(Engine& e, const ButtonEntry& b) {
  Rect r{b.left, b.top, b.left + b.width, b.top + b.height};
  ComposeRect(e, r);
  ShowDisplayRect(e, r);
}

void SetSpriteCell(Engine& e, int32_t s, int32_t cell) {
  if (s < 0 || s >= kSpriteSlots) return;
  Sprite& sp = e.scene.sprites[static_cast<size_t>(s)];
  if (!sp.image.HasSurface()) return;
  sp.image.currentCell = std::clamp(cell, 0, std::max(sp.image.cellCount - 1, 0));
  MarkDirty(e, SpriteRect(sp));
}

void DrawStringButton(Engine& e, const ButtonEntry& b, bool hovered) {
  const auto& choices = e.buttons.customChoices;
  if (b.choice < 0 || static_cast<size_t>(b.choice) >= choices.size()) return;
  StringDrawOptions opt;
  const ShellSettings& s = e.shellSettings;
  opt.colour = hovered ? s.choiceHoverColour : s.choiceNormalColour;
  opt.clipToScreen = true;
  // The strings are not part of the text layer: put back what is under
  // them first, so the new colour is not blended over the old one.
  RedrawScreenRect(e, TextRect{b.left, b.top, b.width + 2, b.height + 2});
  DrawString(e, choices[static_cast<size_t>(b.choice)].text, -b.left, -b.top, opt);
}

// Draws button `index` hovered or normal. Extended buttons have no look of
// their own: their action strings do the drawing.
void DrawButton(Engine& e, int32_t index, bool hovered) {
  ButtonState& bs = e.buttons;
  if (index < 0) return;
  if (index >= TableSize(e)) {
    size_t k = static_cast<size_t>(index - TableSize(e));
    if (k >= e.text.buttons.size()) return;
    RecolourTextButton(e, k, e.textWindow.linkColours[hovered ? 1 : 0]);
    if (hovered && !e.text.buttons[k].action.empty()) RunActionString(e, e.text.buttons[k].action);
    return;
  }
  const ButtonEntry& b = bs.table[static_cast<size_t>(index)];
  switch (b.kind) {
    case ButtonKind::Image:
      hovered ? DrawImageButtonHovered(e, b) : DrawImageButtonNormal(e, b);
      break;
    case ButtonKind::Sprite:
      SetSpriteCell(e, b.sprite, hovered ? 1 : 0);
      break;
    case ButtonKind::Extended:
      if (hovered) RunActionString(e, std::string(b.action));
      break;
    case ButtonKind::String:
      DrawStringButton(e, b, hovered);
      break;
  }
}

void ChangeHover(Engine& e, int32_t now) {
  ButtonState& bs = e.buttons;
  if (now == bs.hovered) return;
  int32_t old = bs.hovered;
  bs.hovered = now;
  DrawButton(e, old, false);
  if (!bs.defaultAction.empty()) RunActionString(e, std::string(bs.defaultAction));
  DrawButton(e, now, true);
  RedrawDirty(e);
}

void DrawAllNormal(Engine& e) {
  ButtonState& bs = e.buttons;
  // A text button left lit by the last wait goes back to its link colour.
  if (bs.hovered >= TableSize(e)) DrawButton(e, bs.hovered, false);
  bs.hovered = -1;
  bool extended = false;
  for (int32_t i = 0; i < TableSize(e); ++i) {
    if (bs.table[static_cast<size_t>(i)].number <= bs.mask) continue;
    extended = extended || bs.table[static_cast<size_t>(i)].kind == ButtonKind::Extended;
    DrawButton(e, i, false);
  }
  if (extended && !bs.defaultAction.empty()) RunActionString(e, std::string(bs.defaultAction));
  RedrawDirty(e);
}

// Where the arrow keys put the pointer on button `index`: its top-left, or
// with transbtn the first opaque pixel of a sprite button.
void ButtonAnchor(Engine& e, int32_t index, int32_t& x, int32_t& y) {
  if (index >= TableSize(e)) {
    const TextButtonSlot& t = e.text.buttons[static_cast<size_t>(index - TableSize(e))];
    x = t.x + 1;
    y = t.y + 1;
    return;
  }
  const ButtonEntry& b = e.buttons.table[static_cast<size_t>(index)];
  x = b.left;
  y = b.top;
  if (!e.buttons.opaqueOnly || !OnSprite(b)) return;
  for (int32_t py = b.top; py <= b.bottom; ++py) {
    for (int32_t px = b.left; px <= b.right; ++px) {
      if (SpriteOpaqueAt(e, b.sprite, px, py)) {
        x = px;
        y = py;
        return;
      }
    }
  }
}

bool NeighbourButton(Engine& e, bool withText, int direction, int32_t& x, int32_t& y) {
  std::vector<int32_t> order;
  for (int32_t i = 0; i < TableSize(e); ++i) {
    if (e.buttons.table[static_cast<size_t>(i)].number > e.buttons.mask) order.push_back(i);
  }
  if (withText) {
    for (size_t k = 0; k < e.text.buttons.size(); ++k) {
      if (e.text.buttons[k].number > e.buttons.mask) order.push_back(TableSize(e) + static_cast<int32_t>(k));
    }
  }
  if (order.empty()) return false;
  auto it = std::find(order.begin(), order.end(), e.buttons.hovered);
  int64_t n = static_cast<int64_t>(order.size()), at;
  if (it == order.end()) {
    at = direction > 0 ? 0 : n - 1;
  } else {
    at = ((it - order.begin()) + direction + n) % n;
  }
  ButtonAnchor(e, order[static_cast<size_t>(at)], x, y);
  return true;
}

void EndPage(Engine& e) {
  if (e.text.hooks.commitPage) e.text.hooks.commitPage(e);
  ClearTextWindow(e);
}

void FreeButtons(Engine& e) {
  e.buttons.table.clear();
  e.buttons.image.Clear();
  e.buttons.imageTag.clear();
  e.buttons.hovered = -1;
}

}  // namespace

std::optional<int32_t> ButtonIndexAt(Engine& e, int32_t x, int32_t y, bool textButtons) {
  std::optional<int32_t> hit;
  for (int32_t i = 0; i < TableSize(e); ++i) {
    if (TableHit(e, e.buttons.table[static_cast<size_t>(i)], x, y)) hit = i;
  }
  if (!textButtons) return hit;
  for (size_t k = 0; k < e.text.buttons.size(); ++k) {
    if (TextButtonHit(e, e.text.buttons[k], x, y)) hit = TableSize(e) + static_cast<int32_t>(k);
  }
  return hit;
}

int32_t ButtonNumber(const Engine& e, int32_t index) {
  int32_t n = static_cast<int32_t>(e.buttons.table.size());
  if (index < n) return e.buttons.table[static_cast<size_t>(index)].number;
  return e.text.buttons[static_cast<size_t>(index - n)].number;
}

void RedrawDirty(Engine& e) {
  Rect r = e.scene.dirty;
  e.scene.dirty = Rect{};
  if (r.Empty()) return;
  ComposeRect(e, r);
  ShowDisplayRect(e, r);
}

bool SpriteOpaqueAt(Engine& e, int32_t s, int32_t x, int32_t y) {
  if (s < 0 || s >= kSpriteSlots) return false;
  const Sprite& sp = e.scene.sprites[static_cast<size_t>(s)];
  if (!sp.image.HasSurface()) return false;
  // Drawn over black and over white: a transparent pixel leaves both as
  // they were, anything else changes one of them.
  Surface probe;
  if (!CreateSurface(probe, 1, 1)) return false;
  Rect one{0, 0, 1, 1};
  uint8_t onBlack[3], onWhite[3];
  DrawImage(sp.image, probe, sp.x - x, sp.y - y, one);
  PixelColour(probe, 0, 0, onBlack);
  FillRect(probe, one, 0xFFFFFF);
  DrawImage(sp.image, probe, sp.x - x, sp.y - y, one);
  PixelColour(probe, 0, 0, onWhite);
  bool blackKept = onBlack[0] == 0 && onBlack[1] == 0 && onBlack[2] == 0;
  bool whiteKept = onWhite[0] == 255 && onWhite[1] == 255 && onWhite[2] == 255;
  return !(blackKept && whiteKept);
}

int32_t WaitOnButtons(Engine& e, bool textButtonMode, bool selectMode) {
  ButtonState& bs = e.buttons;
  bool withText = textButtonMode && !bs.textButtonsOff;
  ButtonWaitRequest r;
  r.textButtonMode = textButtonMode;
  r.selectMode = selectMode;
  r.timeoutMs = bs.timeoutMs;
  r.timeoutWaitsVoice = bs.timeoutWaitsVoice;
  r.areaY = bs.areaY;
  r.mouseOver = bs.mouseOver;
  r.mouseOverMin = bs.mouseOverMin;
  r.mouseOverMax = bs.mouseOverMax;
  r.pressSelects = bs.pressSelects;
  r.pressOutsideSelects = bs.pressOutsideSelects;
  r.rightClickCode = bs.cancelCode;
  r.stringButtons = std::any_of(bs.table.begin(), bs.table.end(),
                                [](const ButtonEntry& b) { return b.kind == ButtonKind::String; });
  r.buttonAt = [&e, withText](int32_t x, int32_t y) -> std::optional<int32_t> {
    std::optional<int32_t> i = ButtonIndexAt(e, x, y, withText);
    if (!i) return std::nullopt;
    return ButtonNumber(e, *i);
  };
  r.buttonNumbers = [&e, withText] {
    std::vector<int32_t> numbers;
    int32_t count = TableSize(e) + (withText ? static_cast<int32_t>(e.text.buttons.size()) : 0);
    for (int32_t i = 0; i < count; ++i) numbers.push_back(ButtonNumber(e, i));
    return numbers;
  };
  r.hover = [&e, withText](int32_t x, int32_t y) { ChangeHover(e, ButtonIndexAt(e, x, y, withText).value_or(-1)); };
  r.drawAllNormal = [&e] { DrawAllNormal(e); };
  r.hideTextWindow = [&e] { HideTextWindow(e); };
  r.restoreScreen = [&e] {
    MarkAllDirty(e);
    RedrawDirty(e);
  };
  r.endPage = [&e] { EndPage(e); };
  r.neighbourButton = [&e, withText](int direction, int32_t& x, int32_t& y) {
    return NeighbourButton(e, withText, direction, x, y);
  };
  return RunButtonWait(e, r);
}

void Cmd_btnwait(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "btnwaitの第一引数は数字変数です。", "エラー");
  int32_t result = WaitOnButtons(e, false, false);
  if (result >= 1) FreeButtons(e);
  StoreIntLimited(e, var, result);
}

void Cmd_btnwait2(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "btnwaitの第一引数は数字変数です。", "エラー");
  StoreIntLimited(e, var, WaitOnButtons(e, false, false));
}

void Cmd_textbtnwait(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "textbtnwaitの第一引数は数字変数です。", "エラー");
  StoreIntLimited(e, var, WaitOnButtons(e, true, false));
}

void Cmd_selectbtnwait(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "textbtnwaitの第一引数は数字変数です。", "エラー");
  StoreIntLimited(e, var, WaitOnButtons(e, true, true));
}

void Cmd_tbtnwait(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "tbtnwaitの第一引数は数字変数です。", "エラー");
  StoreIntLimited(e, var, 0);
  e.text.buttons.clear();
}

void Cmd_getbtntimer(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "getbtntimerの引数は数字変数です。", "エラー");
  StoreIntLimited(e, var, static_cast<int32_t>(e.input.lastButtonWaitMs));
}

// btncancel n: the code a right click returns from the button waits (-1
// until set). A game whose custom menu treats right click as one of its own
// buttons gives that button's number; restarting the game sets it back.
void Cmd_btncancel(Engine& e) { e.buttons.cancelCode = ReadNumberArgument(e); }

// gettextbtnstr $v,n: the text of the page's text button n; empty when the
// page has none of that number.
void Cmd_gettextbtnstr(Engine& e) {
  int32_t var = ReadStrVarTarget(e, "gettextbtnstrの第一引数は文字列変数です。");
  ExpectComma(e);
  int32_t n = ReadNumberArgument(e);
  std::string text;
  for (const TextButtonSlot& t : e.text.buttons) {
    if (t.number == n) {
      text = t.text;
      break;
    }
  }
  e.values.strVars[static_cast<size_t>(var)] = std::move(text);
}

// erasetextbtn: the page's text buttons stop being buttons. Their glyphs are
// drawn again in the text colour, so they read as the rest of the page.
void Cmd_erasetextbtn(Engine& e) {
  ButtonState& bs = e.buttons;
  if (bs.hovered >= TableSize(e)) bs.hovered = -1;
  int32_t colour = e.textWindow.colour.Rgb();
  for (size_t k = 0; k < e.text.buttons.size(); ++k) RecolourTextButton(e, k, colour);
  e.text.buttons.clear();
}

}  // namespace sorv
