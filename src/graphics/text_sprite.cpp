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

}  // namespace sorv
