// Text sprites: an image tag of the colon-s form becomes a picture of its
// text, one cell per colour. Each cell is a colour half (the glyphs in that
// colour on black, so the colour is already multiplied by coverage) and a
// mask half (the glyphs in black on white), drawn by the text window's glyph
// pipeline.
#include <algorithm>
#include <cstring>

#include "graphics/scene.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "text/text_window.h"

namespace sorv {
namespace {

struct TextSpriteSize {
  int64_t glyphW = 0, glyphH = 0, pitch = 0, half = 0, height = 0;
  int32_t style = 0;
};

TextSpriteSize SizeOf(const Engine& e, const TextSpriteSpec& t) {
  TextSpriteSize s;
  s.glyphW = t.sized ? t.width : e.images.textSpriteFontWidth;
  s.glyphH = t.sized ? t.height : e.images.textSpriteFontHeight;
  s.pitch = t.sized ? t.pitch : 0;
  s.style = t.style >= 0 ? t.style : e.images.textSpriteStyle;
  s.half = static_cast<int64_t>(t.text.size()) * (s.glyphW + s.pitch) / 2;
  if (s.pitch < 0) s.half += s.glyphW - (s.glyphW + s.pitch);
  s.height = s.glyphH;
  if (s.style == 2) s.half += 2, s.height += 2;
  s.half = std::max<int64_t>(s.half, 1);
  return s;
}

// Draws the text into a half-cell surface in `colour`.
void DrawHalf(Engine& e, Surface& half, const TextSpriteSpec& t, const TextSpriteSize& size, int32_t colour) {
  const SpriteFont& sf = e.textWindow.spriteFont;
  GlyphStyle style;
  style.face = sf.set ? sf.face : e.textWindow.fonts.currentFace;
  style.glyphW = static_cast<int32_t>(std::clamp<int64_t>(size.glyphW, 1, 512));
  style.glyphH = static_cast<int32_t>(std::clamp<int64_t>(size.glyphH, 1, 512));
  style.bold = sf.set ? sf.bold != 0 : e.textWindow.window.bold != 0;
  style.shadow = size.style == 2;
  style.colour = colour;
  style.writeLayer = false;
  ScreenView view = ViewOf(half);
  const std::string& s = t.text;
  for (size_t i = 0; i < s.size();) {
    bool wide = IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size();
    char ch[2] = {s[i], wide ? s[i + 1] : '\0'};
    int64_t x = static_cast<int64_t>(i) * (size.glyphW + size.pitch) / 2;
    if (x < half.width) DrawGlyph(e, view, ch, static_cast<int32_t>(x), 0, style);
    i += wide ? 2 : 1;
  }
}

void PasteHalf(const Surface& half, Surface& into, int32_t x0) {
  for (int32_t y = 0; y < half.height; ++y) {
    std::memcpy(into.Row(y) + static_cast<size_t>(x0) * 3, half.Row(y), static_cast<size_t>(half.width) * 3);
  }
}

}  // namespace

void RenderTextSprite(Engine& e, TaggedImage& image) {
  const TextSpriteSpec& t = image.textSpriteSpec;
  TextSpriteSize size = SizeOf(e, t);
  int64_t cells = static_cast<int64_t>(t.colours.size());
  if (cells <= 0 || !SurfaceSizeAllowed(size.half * 2 * cells, size.height, 24)) return;
  int32_t half = static_cast<int32_t>(size.half), h = static_cast<int32_t>(size.height);
  if (!CreateSurface(image.surface, half * 2 * static_cast<int32_t>(cells), h)) return;
  image.transMode = kTransAlpha;
  image.textSprite = true;
  Surface colourHalf, maskHalf;
  for (int64_t c = 0; c < cells; ++c) {
    CreateSurface(colourHalf, half, h);
    DrawHalf(e, colourHalf, t, size, t.colours[static_cast<size_t>(c)]);
    CreateSurface(maskHalf, half, h);
    FillRect(maskHalf, Rect{0, 0, half, h}, 0xFFFFFF);
    DrawHalf(e, maskHalf, t, size, 0x000000);
    PasteHalf(colourHalf, image.surface, static_cast<int32_t>(c) * half * 2);
    PasteHalf(maskHalf, image.surface, static_cast<int32_t>(c) * half * 2 + half);
  }
}

bool RenderStringSprite(Engine& e, TaggedImage& image, const StringSpriteLayout& l) {
  int64_t advanceX = int64_t{l.glyphW} + l.pitchX, advanceY = int64_t{l.glyphH} + l.pitchY;
  int64_t half = std::max<int64_t>(int64_t{std::max(l.columns, 1)} * advanceX, 1);
  int64_t height = std::max<int64_t>(int64_t{std::max(l.rows, 1)} * advanceY, 1);
  std::vector<int32_t> colours = l.colours.empty() ? std::vector<int32_t>{0xFFFFFF} : l.colours;
  int64_t cells = static_cast<int64_t>(colours.size());
  if (l.glyphW <= 0 || l.glyphH <= 0 || advanceX <= 0 || advanceY <= 0 ||
      !SurfaceSizeAllowed(half * 2 * cells, height, 24)) {
    return false;
  }
  int32_t w = static_cast<int32_t>(half), h = static_cast<int32_t>(height);
  if (!CreateSurface(image.surface, w * 2 * static_cast<int32_t>(cells), h)) return false;
  image.transMode = kTransAlpha;
  image.textSprite = true;
  image.cellCount = static_cast<int32_t>(cells);
  image.currentCell = 0;
  GlyphStyle style;
  const SpriteFont& sf = e.textWindow.spriteFont;
  style.face = sf.set ? sf.face : e.textWindow.fonts.currentFace;
  style.glyphW = std::min(l.glyphW, 512);
  style.glyphH = std::min(l.glyphH, 512);
  style.bold = l.bold;
  style.shadow = l.shadow;
  style.writeLayer = false;
  Surface colourHalf, maskHalf;
  for (int64_t c = 0; c < cells; ++c) {
    CreateSurface(colourHalf, w, h);
    CreateSurface(maskHalf, w, h);
    FillRect(maskHalf, Rect{0, 0, w, h}, 0xFFFFFF);
    // Full-width characters take a cell, half-width ones half a cell; a
    // character that does not fit the line starts the next one.
    int64_t halves = 0, row = 0;
    const std::string& s = l.text;
    for (size_t i = 0; i < s.size() && row < std::max(l.rows, 1);) {
      bool wide = IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size();
      char ch[2] = {s[i], wide ? s[i + 1] : '\0'};
      i += wide ? 2 : 1;
      if (ch[0] == '\n') {
        halves = 0, ++row;
        continue;
      }
      int64_t need = wide ? 2 : 1;
      if (halves + need > int64_t{std::max(l.columns, 1)} * 2) {
        halves = 0;
        if (++row >= std::max(l.rows, 1)) break;
      }
      int32_t x = static_cast<int32_t>(halves * advanceX / 2), y = static_cast<int32_t>(row * advanceY);
      style.colour = colours[static_cast<size_t>(c)];
      DrawGlyph(e, ViewOf(colourHalf), ch, x, y, style);
      style.colour = 0x000000;
      DrawGlyph(e, ViewOf(maskHalf), ch, x, y, style);
      halves += need;
    }
    PasteHalf(colourHalf, image.surface, static_cast<int32_t>(c) * w * 2);
    PasteHalf(maskHalf, image.surface, static_cast<int32_t>(c) * w * 2 + w);
  }
  return true;
}

}  // namespace sorv
