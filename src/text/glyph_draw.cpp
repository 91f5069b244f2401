// Drawing glyphs: the 3:1 filter, the shadow and glyph passes into the
// screen image and the text layer, the position checks of message text, and
// the string, ruby and number drawers built on them.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "interp/error.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "text/glyph_renderer.h"
#include "text/text_window.h"

namespace sorv {
namespace {

uint16_t CodeOf(const char sjis[2]) {
  auto lead = static_cast<unsigned char>(sjis[0]);
  if (!IsLeadByte(lead)) return lead;
  return static_cast<uint16_t>((lead << 8) | static_cast<unsigned char>(sjis[1]));
}

struct ColourBytes {
  uint8_t b, g, r;
};
ColourBytes Bytes(int32_t rgb) {
  return {static_cast<uint8_t>(rgb & 255), static_cast<uint8_t>((rgb >> 8) & 255),
          static_cast<uint8_t>((rgb >> 16) & 255)};
}

// Darkens the pixels under a coverage by (255 - c): the black shadow.
void ShadowPass(ScreenView dst, const GlyphCoverage& g, int32_t x, int32_t y) {
  const BlendTable& t = Blend();
  for (int32_t j = 0; j < g.h; ++j) {
    int32_t sy = y + j;
    if (sy < 0 || sy >= dst.height) continue;
    uint8_t* row = dst.TopRow(sy);
    for (int32_t i = 0; i < g.w; ++i) {
      int32_t sx = x + i;
      uint8_t c = g.values[static_cast<size_t>(j) * g.w + i];
      if (sx < 0 || sx >= dst.width || c == 0) continue;
      uint8_t* p = row + static_cast<size_t>(sx) * 3;
      for (int k = 0; k < 3; ++k) p[k] = t(p[k], static_cast<uint8_t>(255 - c));
    }
  }
}

// The glyph pass, with the one-pixel shadow to the right of each pixel when
// `rightShadow` is set (drawn over by the next pixel of the row).
void GlyphPass(Engine& e, ScreenView dst, const GlyphCoverage& g, int32_t x, int32_t y, ColourBytes col,
               bool rightShadow, bool writeLayer) {
  const BlendTable& t = Blend();
  TextWindow& tw = e.textWindow;
  ScreenView layer = tw.layer.View();
  bool layerOk = writeLayer && !tw.layer.bits.empty() && dst.width <= layer.width && dst.height <= layer.height;
  const uint8_t colour[3] = {col.b, col.g, col.r};
  for (int32_t j = 0; j < g.h; ++j) {
    int32_t sy = y + j;
    if (sy < 0 || sy >= dst.height) continue;
    uint8_t* row = dst.TopRow(sy);
    uint8_t* lrow = layerOk ? layer.TopRow(sy) : nullptr;
    uint8_t* crow = layerOk ? &tw.coverage.values[static_cast<size_t>(sy) * tw.coverage.width] : nullptr;
    for (int32_t i = 0; i < g.w; ++i) {
      int32_t sx = x + i;
      if (sx < 0 || sx >= dst.width) continue;
      uint8_t c = g.values[static_cast<size_t>(j) * g.w + i];
      if (c == 0) {
        // No coverage leaves the screen and its right neighbour as they are.
        if (crow) {
          crow[sx] = 0;
          std::memset(lrow + static_cast<size_t>(sx) * 3, 0, 3);
        }
        continue;
      }
      uint8_t* p = row + static_cast<size_t>(sx) * 3;
      for (int k = 0; k < 3; ++k) p[k] = BlendGlyphChannel(p[k], colour[k], c);
      if (crow) {
        crow[sx] = c;
        for (int k = 0; k < 3; ++k) lrow[static_cast<size_t>(sx) * 3 + k] = t(colour[k], c);
      }
      if (rightShadow && sx + 1 < dst.width) {
        uint8_t* q = p + 3;
        for (int k = 0; k < 3; ++k) q[k] = t(q[k], static_cast<uint8_t>(255 - c));
      }
    }
  }
}

void Present(Engine& e, TextRect r) {
  if (e.textWindow.hooks.present) e.textWindow.hooks.present(e, r);
}

// Cell start of a string drawer position: a negative value is an absolute
// pixel position.
int32_t CellStart(int32_t v, int32_t origin, int32_t advance) { return v < 0 ? -v : origin + v * advance; }

bool Overlaps(TextRect clip, int32_t x, int32_t y, int32_t w, int32_t h) {
  return x < clip.x + clip.w && y < clip.y + clip.h && x + w > clip.x && y + h > clip.y;
}

}  // namespace

void FilterScratch(const uint8_t* s, int32_t stride, int32_t w, int32_t h, uint8_t* out) {
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* r0 = s + static_cast<size_t>(3 * y) * stride;
    const uint8_t* r1 = r0 + stride;
    const uint8_t* r2 = r1 + stride;
    for (int32_t x = 0; x < w; ++x) {
      int32_t i = 3 * x;
      int sum = r0[i] + 2 * r0[i + 1] + r0[i + 2] + 2 * r1[i] + 4 * r1[i + 1] + 2 * r1[i + 2] + r2[i] +
                2 * r2[i + 1] + r2[i + 2];
      out[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(sum >> 4);
    }
  }
}

GlyphStyle WindowGlyphStyle(const Engine& e) {
  const TextWindow& t = e.textWindow;
  GlyphStyle s;
  s.face = t.fonts.currentFace;
  s.glyphW = t.window.glyphW;
  s.glyphH = t.window.glyphH;
  s.bold = t.window.bold != 0;
  s.shadow = t.window.shadow != 0;
  s.vertical = t.verticalActive;
  s.colour = t.colour.Rgb();
  return s;
}

const GlyphCoverage& GlyphCoverageFor(Engine& e, const GlyphStyle& style, const char sjis[2]) {
  GlyphKey key;
  key.face = style.face;
  key.cellW = style.glyphW;
  key.cellH = style.glyphH;
  key.bold = style.bold;
  key.vertical = style.vertical;
  key.code = CodeOf(sjis);
  return Glyphs(e).Coverage(key);
}

void DrawGlyph(Engine& e, ScreenView dst, const char sjis[2], int32_t x, int32_t y, const GlyphStyle& style) {
  if (dst.Empty()) return;
  const GlyphCoverage& g = GlyphCoverageFor(e, style, sjis);
  if (g.values.empty()) return;
  const ShadeState& sh = e.textWindow.shade;
  if (style.shadow && sh.offsetSet) ShadowPass(dst, g, x + sh.dx, y + sh.dy);
  GlyphPass(e, dst, g, x, y, Bytes(style.colour), style.shadow && !sh.offsetSet, style.writeLayer);
}

bool DrawGlyphChecked(Engine& e, const char sjis[2], int32_t x, int32_t y, const GlyphStyle& style, bool present) {
  const TextWindowState& w = e.textWindow.window;
  if (w.textMode == 0) ReportError(e, "エラー！", "textmodeが非表示設定なのに文字を書こうとしました。");
  int64_t gx = int64_t{x} + style.glyphW, gy = int64_t{y} + style.glyphH;
  if (x < 0 || y < 0 || gx >= e.screenWidth || gy >= e.screenHeight || x < w.left || y < w.top ||
      gx >= w.right || gy >= w.bottom) {
    ReportError(e, "エラー！", "文字がウィンドウからはみ出ました");
  }
  TextRect clip = WindowRect(e);
  if (int64_t{x} + w.advanceX < clip.x || int64_t{y} + w.advanceY < clip.y || x > w.right || y > w.bottom) {
    return false;
  }
  DrawGlyph(e, TextScreen(e), sjis, x, y, style);
  if (present) {
    const ShadeState& sh = e.textWindow.shade;
    TextRect r{x, y, style.glyphW, style.glyphH};
    if (style.shadow && sh.offsetSet) {
      r.w += std::max(0, sh.dx);
      r.h += std::max(0, sh.dy);
    } else if (style.shadow) {
      r.w += 1;  // the one-pixel shadow right of the cell
    }
    Present(e, r);
  }
  return true;
}

CellDrawn DrawCharacterAtCursor(Engine& e, const char sjis[2], bool present) {
  CellDrawn d;
  NextCellPosition(e, d.x, d.y);
  d.drawn = DrawGlyphChecked(e, sjis, d.x, d.y, WindowGlyphStyle(e), present);
  e.textWindow.cursor.column += 1;
  return d;
}

int32_t DrawString(Engine& e, std::string_view s, int32_t column, int32_t line, const StringDrawOptions& opt) {
  TextWindow& t = e.textWindow;
  const TextWindowState& w = t.window;
  bool absX = column < 0;
  int32_t x = CellStart(column, w.originX, w.advanceX), y = CellStart(line, w.originY, w.advanceY);
  TextRect clip = (opt.clipToScreen || t.menuShown) ? TextRect{0, 0, e.screenWidth, e.screenHeight} : WindowRect(e);
  ScreenView dst = TextScreen(e);
  GlyphStyle style = WindowGlyphStyle(e);
  style.colour = opt.colour;
  style.vertical = false;
  style.writeLayer = false;
  bool plain = t.mojiType == 1;
  // Columns are counted in half-width steps so single-byte text fits too.
  int32_t col = absX ? 0 : 2 * column, drawn = 0;
  int32_t minX = INT32_MAX, minY = INT32_MAX, maxX = INT32_MIN, maxY = INT32_MIN;
  for (size_t i = 0; i < s.size() && s[i] != '\0';) {
    bool wide = IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size();
    char ch[2] = {s[i], wide ? s[i + 1] : '\0'};
    i += wide ? 2 : 1;
    if (ch[0] == '\n') continue;
    int32_t cellW = wide ? style.glyphW : style.glyphW / 2;
    int32_t step = wide ? w.advanceX : w.advanceX / 2;
    if (Overlaps(clip, x, y, cellW, style.glyphH)) {
      GlyphStyle cs = style;
      cs.glyphW = cellW;
      if (plain) {
        // Plain strings go straight onto the screen at glyph size: no 3x
        // filter and no shadow.
        GlyphKey key{cs.face, cellW, cs.glyphH, cs.bold, false, true, CodeOf(ch)};
        const GlyphCoverage& g = Glyphs(e).Coverage(key);
        if (!g.values.empty()) GlyphPass(e, dst, g, x, y, Bytes(cs.colour), false, false);
      } else {
        DrawGlyph(e, dst, ch, x, y, cs);
      }
      ++drawn;
      minX = std::min(minX, x);
      minY = std::min(minY, y);
      maxX = std::max(maxX, x + cellW + 1);
      maxY = std::max(maxY, y + style.glyphH + 1);
    }
    x += step;
    col += wide ? 2 : 1;
    if (!absX && col >= 2 * w.columns) {
      col = 0;
      x = w.originX;
      y += w.advanceY;
    }
  }
  if (opt.present && drawn > 0) Present(e, {minX, minY, maxX - minX + 2, maxY - minY + 2});
  return drawn;
}

void DrawRuby(Engine& e, std::string_view ruby, int32_t baseX, int32_t baseY, int32_t baseWidth,
              const RubyStyle& rs, bool present) {
  TextWindow& t = e.textWindow;
  const TextWindowState& w = t.window;
  int32_t rubyW = rs.rubyW == -1 ? w.glyphW / 2 : rs.rubyW;
  int32_t rubyH = rs.rubyH == -1 ? w.glyphH / 2 : rs.rubyH;
  int32_t n = static_cast<int32_t>(std::min<size_t>(ruby.size(), 100));
  int32_t chars = n / 2;
  if (chars <= 0 || rubyW <= 0 || rubyH <= 0) return;
  GlyphStyle style;
  style.face = rs.face.empty() ? t.fonts.currentFace : rs.face;
  style.glyphW = rubyW;
  style.glyphH = rubyH;
  style.bold = true;
  style.shadow = w.shadow != 0;
  style.vertical = t.verticalActive;
  style.colour = rs.colour;
  ScreenView dst = TextScreen(e);
  int32_t m = 2 * baseWidth / (n + 1);
  int32_t inset = rubyW < m ? (m - rubyW) / 2 : 0;
  // The ruby group is centred over the base: the steps cover chars x m of it.
  int32_t lead = (baseWidth - chars * m) / 2;
  TextRect area{INT32_MAX, INT32_MAX, 0, 0};
  int32_t stepV = std::max(rubyH, baseWidth / std::max(1, chars) / 2);
  for (int32_t k = 0; k < chars; ++k) {
    const char ch[2] = {ruby[2 * k], ruby[2 * k + 1]};
    int32_t x, y;
    if (style.vertical) {
      x = baseX + w.glyphW;
      y = baseY + k * stepV;
    } else {
      x = baseX + lead + k * m + inset;
      y = baseY - rubyH;
    }
    DrawGlyph(e, dst, ch, x, y, style);
    area.x = std::min(area.x, x);
    area.y = std::min(area.y, y);
    area.w = std::max(area.w, x + rubyW + 2 - area.x);
    area.h = std::max(area.h, y + rubyH + 2 - area.y);
  }
  if (present) Present(e, area);
}

void DrawNumberDisplay(Engine& e, ScreenView dst, int32_t value, int32_t x, int32_t y, int32_t w, int32_t h,
                       int32_t colour, TextRect clip) {
  if (dst.Empty() || w <= 0 || h <= 0) return;
  char text[16];
  std::snprintf(text, sizeof text, "%3d", value);
  // The digits face as games have always named it (GB2312 "黑体").
  static const std::string kNumberFace = "\xBA\xDA\xCC\xE5";
  const BlendTable& t = Blend();
  ColourBytes c = Bytes(colour);
  const uint8_t col[3] = {c.b, c.g, c.r};
  // Only three cells fit the number's bitmap; longer text is cut there.
  for (int32_t k = 0; k < 3 && text[k] != '\0'; ++k) {
    GlyphKey key{kNumberFace, w, h, false, false, false, static_cast<uint16_t>(static_cast<unsigned char>(text[k]))};
    const GlyphCoverage& g = Glyphs(e).Coverage(key);
    if (g.values.empty()) continue;
    int32_t cx = x + k * w;
    for (int32_t j = 0; j < g.h; ++j) {
      int32_t sy = y + j;
      if (sy < std::max(0, clip.y) || sy >= std::min(dst.height, clip.y + clip.h)) continue;
      uint8_t* row = dst.TopRow(sy);
      for (int32_t i = 0; i < g.w; ++i) {
        int32_t sx = cx + i;
        if (sx < std::max(0, clip.x) || sx >= std::min(dst.width, clip.x + clip.w)) continue;
        uint8_t cv = g.values[static_cast<size_t>(j) * g.w + i];
        uint8_t* p = row + static_cast<size_t>(sx) * 3;
        for (int q = 0; q < 3; ++q) p[q] = static_cast<uint8_t>(std::min(255, t(p[q], 255 - cv) + t(col[q], cv)));
      }
    }
  }
}

}  // namespace sorv
