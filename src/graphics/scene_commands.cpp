// Commands that change the layers: sprites, rotating sprites, background,
// standing images, filters, gauges and numbers, the draw-to-buffer commands
// and the sprite queries.
#include "graphics/scene_commands.h"

#include <algorithm>
#include <cstring>

#include "graphics/blend_table.h"
#include "graphics/effect.h"
#include "graphics/image_load.h"
#include "graphics/scene.h"
#include "input/buttons.h"
#include "interp/error.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "text/text_window.h"
#include "values/values.h"

namespace sorv {
namespace {

// An optional trailing ", number"; `out` is left alone when absent.
bool OptionalNumber(Engine& e, int32_t& out) {
  if (SkipBlanks(e) != ',') return false;
  ++e.script.pos;
  out = ReadNumberArgument(e);
  return true;
}

int32_t NextColourArgument(Engine& e) {
  ExpectComma(e);
  return ReadColourArgument(e);
}

int32_t ClampOpacity(int32_t o) { return std::clamp(o, 0, 255); }

// Slot numbers outside the tables are refused rather than written past them.
Sprite& SpriteSlot(Engine& e, int32_t n) {
  if (n < 0 || n >= kSpriteSlots) ReportError(e, "エラー", Format("スプライト番号%dは範囲外です。", n));
  return e.scene.sprites[static_cast<size_t>(n)];
}

Sprite2& Sprite2Slot(Engine& e, int32_t n) {
  if (n < 0 || n >= kSprite2Slots) ReportError(e, "エラー", Format("スプライト２番号%dは範囲外です。", n));
  return e.scene.sprite2[static_cast<size_t>(n)];
}

Sprite& DefinedSprite(Engine& e, int32_t n) {
  Sprite& sp = SpriteSlot(e, n);
  if (sp.tag.empty()) ReportError(e, "エラー", Format("定義されていないスプライト%dを使おうとしました。", n));
  return sp;
}

Sprite2& DefinedSprite2(Engine& e, int32_t n) {
  Sprite2& sp = Sprite2Slot(e, n);
  if (sp.tag.empty()) ReportError(e, "エラー", Format("定義されていないスプライト２%dを使おうとしました。", n));
  return sp;
}

bool IsPluginTag(const std::string& tag);

// A sprite a layer plug-in draws ("*n") may cover anything: its changes
// redraw the whole screen.
void MarkSprite(Engine& e, const Sprite& sp) {
  if (!sp.visible || sp.tag.empty()) return;
  if (IsPluginTag(sp.tag)) {
    MarkAllDirty(e);
  } else {
    MarkDirty(e, SpriteRect(sp));
  }
}

void MarkSprite2(Engine& e, const Sprite2& sp) {
  if (sp.visible && !sp.tag.empty()) MarkDirty(e, Sprite2Rect(sp));
}

bool IsPluginTag(const std::string& tag) { return tag.size() >= 2 && tag[0] == '*' && tag[1] >= '0' && tag[1] <= '9'; }

void LoadSlotImage(Engine& e, TaggedImage& image, const std::string& tag) {
  if (IsPluginTag(tag)) {
    image.Clear();
    image.tag = tag;
    return;
  }
  LoadImage(e, image, tag);
}

void LoadSprite(Engine& e, bool visible) {
  int32_t n = ReadNumberArgument(e);
  std::string tag = NextString(e);
  int32_t x = NextNumber(e), y = NextNumber(e);
  int32_t opacity = -1;
  bool withOpacity = OptionalNumber(e, opacity);
  Sprite& sp = SpriteSlot(e, n);
  MarkSprite(e, sp);
  sp.tag = tag;
  LoadSlotImage(e, sp.image, tag);
  sp.image.opacity = withOpacity ? ClampOpacity(opacity) : -1;
  sp.x = x, sp.y = y;
  sp.visible = visible;
  MarkSprite(e, sp);
}

void ClearSprite(Engine& e, Sprite& sp) {
  MarkSprite(e, sp);
  sp.image.Clear();
  sp.tag.clear();
  sp.x = sp.y = -1000;
  sp.visible = false;
}

void ClearSprite2(Engine& e, Sprite2& sp) {
  MarkSprite2(e, sp);
  sp = Sprite2{};
}

void LoadSprite2(Engine& e, bool visible, int32_t blend) {
  int32_t n = ReadNumberArgument(e);
  std::string tag = NextString(e);
  int32_t cx = NextNumber(e), cy = NextNumber(e);
  int32_t sx = NextNumber(e), sy = NextNumber(e), rot = NextNumber(e);
  int32_t opacity = 255;
  OptionalNumber(e, opacity);
  Sprite2& sp = Sprite2Slot(e, n);
  MarkSprite2(e, sp);
  sp.tag = tag;
  LoadSlotImage(e, sp.image, tag);
  sp.image.opacity = ClampOpacity(opacity);
  sp.cx = cx, sp.cy = cy, sp.scaleX = sx, sp.scaleY = sy, sp.rotation = rot;
  sp.visible = visible;
  sp.blend = blend;
  MarkSprite2(e, sp);
}

// msp's opacity change: an opaque sprite (-1) counts as 255.
int32_t ChangedOpacity(int32_t current, int32_t delta) {
  int64_t base = current < 0 ? 255 : current;
  return static_cast<int32_t>(std::clamp<int64_t>(base + delta, 0, 255));
}

int StandingPosition(Engine& e, const std::string& word, bool allowAll) {
  if (word.size() == 1) {
    switch (word[0] | 0x20) {
      case 'l': return kStandLeft;
      case 'c': return kStandCentre;
      case 'r': return kStandRight;
      case 'a': if (allowAll) return 3; break;
      default: break;
    }
  }
  ReportError(e, "構文エラー", Format("立ち絵の位置%sが正しくありません。", Sjis(word).c_str()));
}

// The position word of ld/cl: written bare (l, c, r, a) or as a string.
std::string ReadPositionWord(Engine& e) {
  std::string word;
  unsigned char c = SkipBlanks(e);
  if (IsWordStart(c)) {
    auto save = e.script.pos;
    ReadWord(e, word);
    if (!LookupStrAlias(e, word)) return word;
    e.script.pos = save;
  }
  ReadStringArgument(e, word);
  return word;
}

void ReleaseStanding(Engine& e, int i) {
  StandingImage& s = e.scene.standing[static_cast<size_t>(i)];
  if (!s.tag.empty()) MarkDirty(e, StandingRect(s));
  s.tag.clear();
  s.image.Clear();
}

void PlaceStanding(Engine& e, int i) {
  SceneState& sc = e.scene;
  StandingImage& s = sc.standing[static_cast<size_t>(i)];
  int32_t w = s.image.HasSurface() ? s.image.CellWidth() : 0;
  s.x = sc.standingCentre[static_cast<size_t>(i)] - w / 2;
  s.y = sc.baseLine - s.image.surface.height;
}

// The background surface size: the screen, or the bgalia size.
void BackgroundSize(const Engine& e, int32_t& w, int32_t& h) {
  const GraphicsSettings& g = e.graphicsSettings;
  w = e.scene.width, h = e.scene.height;
  if (g.bgaliaX != -1 && g.bgaliaW > 0 && g.bgaliaH > 0) w = g.bgaliaW, h = g.bgaliaH;
}

void FillBackground(Engine& e, int32_t colour) {
  int32_t w, h;
  BackgroundSize(e, w, h);
  TaggedImage& bg = e.scene.background;
  bg.Clear();
  CreateSurface(bg.surface, w, h);
  FillRect(bg.surface, Rect{0, 0, w, h}, colour);
}

// A picture of another size than the background is centred on black.
void LoadBackground(Engine& e, const std::string& tag) {
  int32_t w, h;
  BackgroundSize(e, w, h);
  TaggedImage loaded;
  LoadImage(e, loaded, tag);
  FillBackground(e, 0);
  TaggedImage& bg = e.scene.background;
  bg.tag = tag;
  if (!loaded.HasSurface()) return;
  loaded.transMode = kTransCopy;
  loaded.opacity = -1;
  int32_t iw = loaded.CellWidth(), ih = loaded.surface.height;
  if (iw == w && ih == h && loaded.surface.BitCount() == 24 && loaded.cellCount <= 1) {
    bg.surface = std::move(loaded.surface);
    return;
  }
  DrawImage(loaded, bg.surface, w / 2 - iw / 2, h / 2 - ih / 2, Rect{0, 0, w, h});
}

bool ColourWord(const std::string& word, int32_t& colour) {
  if (word == "black") return colour = 0x000000, true;
  if (word == "white") return colour = 0xFFFFFF, true;
  return false;
}

bool ParseHexColour(const std::string& s, int32_t& colour) {
  if (s.size() < 7 || s[0] != '#') return false;
  int32_t v = 0;
  for (size_t i = 1; i < 7; ++i) {
    char c = s[i];
    int d = c >= '0' && c <= '9' ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : -1;
    if (d < 0) return false;
    v = v * 16 + d;
  }
  colour = v;
  return true;
}

Rect NumberRect(const NumberDisplay& n) {
  // Room for a sign and ten digits.
  int64_t w = static_cast<int64_t>(std::max(n.charWidth, 0)) * 11;
  return Rect{n.x, n.y, static_cast<int32_t>(std::min<int64_t>(n.x + w, INT32_MAX)), n.y + std::max(n.charHeight, 0)};
}

Rect GaugeRect(const Gauge& g) { return Rect{g.x, g.y, g.x + std::max(g.width, 0), g.y + std::max(g.height, 0)}; }

Rect ScreenRect(const Engine& e) { return Rect{0, 0, e.scene.width, e.scene.height}; }

}  // namespace

// --- sprites ---

void Cmd_lsp(Engine& e) { LoadSprite(e, true); }
void Cmd_lsph(Engine& e) { LoadSprite(e, false); }

void Cmd_csp(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  if (n == -1) {
    for (Sprite& sp : e.scene.sprites) ClearSprite(e, sp);
    return;
  }
  ClearSprite(e, SpriteSlot(e, n));
}

void Cmd_vsp(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  int32_t v = NextNumber(e);
  Sprite& sp = SpriteSlot(e, n);
  MarkSprite(e, sp);
  sp.visible = v != 0;
  MarkSprite(e, sp);
}

void Cmd_msp(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  int32_t dx = NextNumber(e), dy = NextNumber(e);
  int32_t dopacity = 0;
  bool withOpacity = OptionalNumber(e, dopacity);
  Sprite& sp = DefinedSprite(e, n);
  MarkSprite(e, sp);
  sp.x += dx, sp.y += dy;
  if (withOpacity) sp.image.opacity = ChangedOpacity(sp.image.opacity, dopacity);
  MarkSprite(e, sp);
}

void Cmd_amsp(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  int32_t x = NextNumber(e), y = NextNumber(e);
  int32_t opacity = 0;
  bool withOpacity = OptionalNumber(e, opacity);
  Sprite& sp = DefinedSprite(e, n);
  MarkSprite(e, sp);
  sp.x = x, sp.y = y;
  if (withOpacity) sp.image.opacity = ClampOpacity(opacity);
  MarkSprite(e, sp);
}

void Cmd_cell(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  int32_t c = NextNumber(e);
  Sprite& sp = SpriteSlot(e, n);
  sp.image.currentCell = std::clamp(c, 0, std::max(sp.image.cellCount, 1) - 1);
  if (e.platform) sp.image.loadTime = e.platform->NowMs();
  MarkSprite(e, sp);
}

void Cmd_lsp2(Engine& e) { LoadSprite2(e, true, kBlendNormal); }
void Cmd_lsph2(Engine& e) { LoadSprite2(e, false, kBlendNormal); }
void Cmd_lsp2add(Engine& e) { LoadSprite2(e, true, kBlendAdd); }
void Cmd_lsph2add(Engine& e) { LoadSprite2(e, false, kBlendAdd); }
void Cmd_lsp2sub(Engine& e) { LoadSprite2(e, true, kBlendSubtract); }
void Cmd_lsph2sub(Engine& e) { LoadSprite2(e, false, kBlendSubtract); }

void Cmd_csp2(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  if (n == -1) {
    for (Sprite2& sp : e.scene.sprite2) ClearSprite2(e, sp);
    return;
  }
  ClearSprite2(e, Sprite2Slot(e, n));
}

void Cmd_vsp2(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  int32_t v = NextNumber(e);
  Sprite2& sp = Sprite2Slot(e, n);
  MarkSprite2(e, sp);
  sp.visible = v != 0;
  MarkSprite2(e, sp);
}

void Cmd_msp2(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  int32_t v[5];
  for (int32_t& x : v) x = NextNumber(e);
  int32_t dopacity = 0;
  bool withOpacity = OptionalNumber(e, dopacity);
  Sprite2& sp = DefinedSprite2(e, n);
  MarkSprite2(e, sp);
  sp.cx += v[0], sp.cy += v[1], sp.scaleX += v[2], sp.scaleY += v[3], sp.rotation += v[4];
  // Brought back once, not reduced: a step of more than a turn stays outside.
  if (sp.rotation >= 360) sp.rotation -= 360;
  else if (sp.rotation < 0) sp.rotation += 360;
  if (withOpacity) sp.image.opacity = ChangedOpacity(sp.image.opacity, dopacity);
  MarkSprite2(e, sp);
}

void Cmd_amsp2(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  int32_t v[5];
  for (int32_t& x : v) x = NextNumber(e);
  int32_t opacity = 0;
  bool withOpacity = OptionalNumber(e, opacity);
  Sprite2& sp = DefinedSprite2(e, n);
  MarkSprite2(e, sp);
  sp.cx = v[0], sp.cy = v[1], sp.scaleX = v[2], sp.scaleY = v[3], sp.rotation = v[4];
  if (withOpacity) sp.image.opacity = ClampOpacity(opacity);
  MarkSprite2(e, sp);
}

void Cmd_allsphide(Engine& e) {
  e.scene.allSpHide = true;
  MarkAllDirty(e);
}

void Cmd_allspresume(Engine& e) {
  e.scene.allSpHide = false;
  MarkAllDirty(e);
}

void Cmd_allsp2hide(Engine& e) {
  e.scene.allSp2Hide = true;
  MarkAllDirty(e);
}

void Cmd_allsp2resume(Engine& e) {
  e.scene.allSp2Hide = false;
  MarkAllDirty(e);
}

void Cmd_sphide(Engine& e) {
  e.scene.hideFirst = ReadNumberArgument(e);
  e.scene.hideLast = NextNumber(e);
  MarkAllDirty(e);
}

void Cmd_spresume(Engine& e) {
  e.scene.hideFirst = 9999;
  e.scene.hideLast = -9999;
  MarkAllDirty(e);
}

// --- background and standing images ---

namespace {

// A picture change shown through a transition takes the text window away
// first when erasetextwindow allows it, so the transition shows the picture
// without the window; the next text brings it back. An instant refresh
// (type 1) is no transition: the page being read stays on screen, as it does
// after setwindow2 forced it shown. erasetextwindow 2 keeps the window for
// the standing-image commands.
void RunLayerEffect(Engine& e, const EffectRequest& effect, bool standingCommand) {
  TextWindowState& w = e.textWindow.window;
  if (effect.type != 0 && effect.type != 1 && w.shown && w.eraseOnHide && !(standingCommand && w.keepOnStanding)) {
    w.shown = 0;
    TextRect r = WindowRect(e, 2);
    MarkDirty(e, Rect{r.x, r.y, r.x + r.w, r.y + r.h});
  }
  RunEffect(e, effect);
}

}  // namespace

void Cmd_bg(Engine& e) {
  std::string arg;
  int32_t colour = 0;
  bool isColour = false;
  unsigned char c = SkipBlanks(e);
  if (c == '#') {
    colour = ReadColourArgument(e);
    isColour = true;
    arg = Format("#%06x", colour);
  } else {
    bool bare = false;
    if (IsWordStart(c)) {
      auto save = e.script.pos;
      ReadWord(e, arg);
      bare = !LookupStrAlias(e, arg) && ColourWord(arg, colour);
      if (!bare) e.script.pos = save;
    }
    if (!bare) ReadStringArgument(e, arg);
    isColour = bare || ColourWord(arg, colour) || ParseHexColour(arg, colour);
  }
  ExpectComma(e);
  EffectRequest effect = ReadEffectArgument(e);

  for (int i = 0; i < 3; ++i) ReleaseStanding(e, i);
  e.scene.backgroundName = arg;
  if (isColour) {
    FillBackground(e, colour);
  } else {
    LoadBackground(e, arg);
  }
  MarkAllDirty(e);
  RunLayerEffect(e, effect, false);
}

void Cmd_ld(Engine& e) {
  int i = StandingPosition(e, ReadPositionWord(e), false);
  std::string tag = NextString(e);
  ExpectComma(e);
  EffectRequest effect = ReadEffectArgument(e);
  StandingImage& s = e.scene.standing[static_cast<size_t>(i)];
  Rect old = s.tag.empty() ? Rect{} : StandingRect(s);
  s.tag = tag;
  LoadImage(e, s.image, tag);
  s.image.opacity = s.opacity;
  PlaceStanding(e, i);
  MarkDirty(e, old.Union(StandingRect(s)));
  RunLayerEffect(e, effect, true);
}

void Cmd_cl(Engine& e) {
  int i = StandingPosition(e, ReadPositionWord(e), true);
  ExpectComma(e);
  EffectRequest effect = ReadEffectArgument(e);
  if (i == 3) {
    for (int k = 0; k < 3; ++k) ReleaseStanding(e, k);
  } else {
    ReleaseStanding(e, i);
  }
  RunLayerEffect(e, effect, true);
}

void Cmd_humanpos(Engine& e) {
  SceneState& sc = e.scene;
  sc.standingCentre[kStandLeft] = ReadNumberArgument(e);
  sc.standingCentre[kStandCentre] = NextNumber(e);
  sc.standingCentre[kStandRight] = NextNumber(e);
  int32_t base = 0;
  if (OptionalNumber(e, base)) sc.baseLine = base;
}

void Cmd_humanorder(Engine& e) {
  std::string order;
  ReadStringArgument(e, order);
  ExpectComma(e);
  EffectRequest effect = ReadEffectArgument(e);
  if (order.size() > 3) order.resize(3);
  e.scene.humanOrder = order;
  for (const StandingImage& s : e.scene.standing) {
    if (!s.tag.empty()) MarkDirty(e, StandingRect(s));
  }
  RunLayerEffect(e, effect, true);
}

void Cmd_print(Engine& e) { RunLayerEffect(e, ReadEffectArgument(e), false); }

// --- filters, gauges, numbers ---

void Cmd_monocro(Engine& e) {
  SkipBlanks(e);
  std::string arg;
  int32_t colour = 0;
  if (e.script.cur() == '#') {
    colour = ReadColourArgument(e);
    e.scene.monochrome = true;
    e.scene.monochromeTint = colour;
  } else {
    auto save = e.script.pos;
    if (IsWordStart(e.script.cur())) ReadWord(e, arg);
    if (arg != "off" || LookupStrAlias(e, arg)) {
      e.script.pos = save;
      arg.clear();
      if (SkipBlanks(e) == '"' || e.script.cur() == '$' || IsWordStart(e.script.cur())) ReadStringArgument(e, arg);
    }
    if (arg == "off") {
      e.scene.monochrome = false;
    } else if (ParseHexColour(arg, colour)) {
      e.scene.monochrome = true;
      e.scene.monochromeTint = colour;
    } else {
      ReportError(e, "構文エラー", "monocro命令の次は#rrggbbで色指定、もしくは、offでモノクロ指定を解除、です。");
    }
  }
  MarkAllDirty(e);
}

void Cmd_nega(Engine& e) {
  e.scene.nega = ReadNumberArgument(e);
  MarkAllDirty(e);
}

void Cmd_bar(Engine& e) {
  int32_t slot = ReadNumberArgument(e);
  Gauge g;
  g.value = NextNumber(e);
  g.x = NextNumber(e), g.y = NextNumber(e);
  g.width = NextNumber(e), g.height = NextNumber(e);
  g.maximum = NextNumber(e);
  g.colour = NextColourArgument(e);
  if (slot < 0 || slot >= kGaugeSlots) ReportError(e, "エラー", Format("bar番号%dは範囲外です。", slot));
  Gauge& old = e.scene.gauges[static_cast<size_t>(slot)];
  if (old.x != -1) MarkDirty(e, GaugeRect(old));
  old = g;
  MarkDirty(e, GaugeRect(g));
}

void Cmd_barclear(Engine& e) {
  for (Gauge& g : e.scene.gauges) {
    if (g.x != -1) MarkDirty(e, GaugeRect(g));
    g.x = -1;
  }
}

void Cmd_prnum(Engine& e) {
  int32_t slot = ReadNumberArgument(e);
  NumberDisplay n;
  n.value = NextNumber(e);
  n.x = NextNumber(e), n.y = NextNumber(e);
  n.charWidth = NextNumber(e), n.charHeight = NextNumber(e);
  n.colour = NextColourArgument(e);
  if (slot < 0 || slot >= kNumberSlots) ReportError(e, "エラー", Format("prnum番号%dは範囲外です。", slot));
  NumberDisplay& old = e.scene.numbers[static_cast<size_t>(slot)];
  if (old.x != -1) MarkDirty(e, NumberRect(old));
  old = n;
  MarkDirty(e, NumberRect(n));
}

void Cmd_prnumclear(Engine& e) {
  for (NumberDisplay& n : e.scene.numbers) {
    if (n.x != -1) MarkDirty(e, NumberRect(n));
    n.x = -1;
  }
}

// --- drawing straight into the display buffer ---

void Cmd_drawclear(Engine& e) { FillRect(e.scene.display, ScreenRect(e), 0); }

void Cmd_drawfill(Engine& e) {
  int32_t r = ReadNumberArgument(e);
  int32_t g = NextNumber(e), b = NextNumber(e);
  FillRect(e.scene.display, ScreenRect(e), ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF));
}

void Cmd_drawbg(Engine& e) {
  TaggedImage& bg = e.scene.background;
  bg.transMode = kTransCopy;
  DrawImage(bg, e.scene.display, 0, 0, ScreenRect(e));
}

void Cmd_drawbg2(Engine& e) {
  int32_t cx = ReadNumberArgument(e);
  int32_t cy = NextNumber(e), sx = NextNumber(e), sy = NextNumber(e), rot = NextNumber(e);
  TaggedImage& bg = e.scene.background;
  bg.transMode = kTransCopy;
  bg.cellCount = 1;
  bg.currentCell = 0;
  bg.opacity = 255;
  DrawImageTransformed(rot, bg, e.scene.display, cx, cy, sx, sy, kBlendNormal, ScreenRect(e));
}

namespace {

// drawsp's cell is limited to 0 .. cell count (drawing clamps it again).
Sprite& PrepareDrawnSprite(Engine& e, int32_t n, int32_t cell, int32_t opacity) {
  Sprite& sp = SpriteSlot(e, n);
  sp.image.currentCell = std::clamp(cell, 0, std::max(sp.image.cellCount, 1));
  sp.image.opacity = ClampOpacity(opacity);
  return sp;
}

}  // namespace

void Cmd_drawsp(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  int32_t cell = NextNumber(e), opacity = NextNumber(e), x = NextNumber(e), y = NextNumber(e);
  Sprite& sp = PrepareDrawnSprite(e, n, cell, opacity);
  DrawImage(sp.image, e.scene.display, x, y, ScreenRect(e));
}

void Cmd_drawsp2(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  int32_t cell = NextNumber(e), opacity = NextNumber(e), cx = NextNumber(e), cy = NextNumber(e);
  int32_t sx = NextNumber(e), sy = NextNumber(e), rot = NextNumber(e);
  Sprite& sp = SpriteSlot(e, n);
  int32_t kept = sp.image.opacity;
  PrepareDrawnSprite(e, n, cell, opacity);
  DrawImageTransformed(rot, sp.image, e.scene.display, cx, cy, sx, sy, kBlendNormal, ScreenRect(e));
  sp.image.opacity = kept;
}

void Cmd_drawsp3(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  int32_t cell = NextNumber(e), opacity = NextNumber(e), x = NextNumber(e), y = NextNumber(e);
  int32_t a = NextNumber(e), b = NextNumber(e), c = NextNumber(e), d = NextNumber(e);
  Sprite& sp = SpriteSlot(e, n);
  int32_t kept = sp.image.opacity;
  PrepareDrawnSprite(e, n, cell, opacity);
  if (sp.image.HasSurface()) sp.image.transMode = kTransAlpha;
  DrawImageMatrix(sp.image, e.scene.display, x, y, a, b, c, d, ScreenRect(e));
  sp.image.opacity = kept;
}

void Cmd_drawtext(Engine& e) {
  ScreenView view = ViewOf(e.scene.display);
  TextRect r = WindowRect(e);
  DrawWindowBackground(e, view, r);
  DrawTextLayer(e, view, r);
}

void Cmd_draw(Engine& e) { PresentDisplay(e); }
void Cmd_repaint(Engine& e) { PresentDisplay(e); }

// The C, P, M and S items of a button's action string, run at once.
void Cmd_spstr(Engine& e) {
  std::string action;
  ReadStringArgument(e, action);
  RunActionString(e, action);
}

void Cmd_getbgname(Engine& e) {
  int32_t v = ReadStrVarTarget(e, "getbgnameの第一引数は文字列変数です。");
  e.values.strVars[static_cast<size_t>(v)] = e.scene.backgroundName;
}

// Loads sprite n's picture again from its file (changed on disk, or after
// a filter); place, visibility and opacity stay.
void Cmd_spreload(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  Sprite& sp = DefinedSprite(e, n);
  int32_t opacity = sp.image.opacity, cell = sp.image.currentCell;
  MarkSprite(e, sp);
  sp.image.Clear();
  LoadSlotImage(e, sp.image, sp.tag);
  sp.image.opacity = opacity;
  sp.image.currentCell = std::clamp(cell, 0, std::max(sp.image.cellCount - 1, 0));
  MarkSprite(e, sp);
}

// The window shows the display buffer, so copying what it shows into the
// display buffer leaves it as it is.
void Cmd_ofscpy(Engine& e) { (void)e; }

void Cmd_bgcopy(Engine& e) {
  Cmd_ofscpy(e);
  int32_t w, h;
  BackgroundSize(e, w, h);
  TaggedImage& bg = e.scene.background;
  bg.Clear();
  CreateSurface(bg.surface, e.scene.width, e.scene.height);
  CopyRect(e.scene.display, bg.surface, ScreenRect(e));
  bg.tag.clear();
  e.scene.backgroundName = "*bgcpy";
}

// --- queries ---

void Cmd_getspmode(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "getspmodeの第一引数は数字変数です。");
  int32_t n = NextNumber(e);
  StoreIntLimited(e, var, SpriteSlot(e, n).visible ? 1 : 0);
}

void Cmd_getsppos(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  ExpectComma(e);
  int32_t vx = ReadIntVarTarget(e, "getspposの第二引数は数字変数です。");
  ExpectComma(e);
  int32_t vy = ReadIntVarTarget(e, "getspposの第三引数は数字変数です。");
  const Sprite& sp = SpriteSlot(e, n);
  StoreIntLimited(e, vx, sp.x);
  StoreIntLimited(e, vy, sp.y);
}

void Cmd_getspsize(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  ExpectComma(e);
  int32_t vw = ReadIntVarTarget(e, "getspsizeの第ニ引数は数字変数です。");
  ExpectComma(e);
  int32_t vh = ReadIntVarTarget(e, "getspsizeの第三引数は数字変数です。");
  const Sprite& sp = SpriteSlot(e, n);
  StoreIntLimited(e, vw, sp.image.HasSurface() ? sp.image.CellWidth() : 0);
  StoreIntLimited(e, vh, sp.image.surface.height);
}

// --- text sprites, gradients, blt, standing opacity ---

namespace {

// strsp n,"text",x,y,columns,rows,glyph w,glyph h,pitch x,pitch y,bold,shadow[,#colour...]
void StringSprite(Engine& e, bool visible) {
  int32_t n = ReadNumberArgument(e);
  StringSpriteLayout l;
  l.text = NextString(e);
  int32_t x = NextNumber(e), y = NextNumber(e);
  l.columns = NextNumber(e);
  l.rows = NextNumber(e);
  l.glyphW = NextNumber(e);
  l.glyphH = NextNumber(e);
  l.pitchX = NextNumber(e);
  l.pitchY = NextNumber(e);
  l.bold = NextNumber(e) != 0;
  l.shadow = NextNumber(e) != 0;
  while (SkipBlanks(e) == ',') l.colours.push_back(NextColourArgument(e));
  Sprite& sp = SpriteSlot(e, n);
  MarkSprite(e, sp);
  sp.image.Clear();
  if (!RenderStringSprite(e, sp.image, l)) {
    ReportError(e, "エラー", Format("strspの文字列スプライト%dの大きさが範囲外です。", n));
  }
  // The tag names the sprite as a text sprite of the same text, so that
  // what asks for the tag (and a reload) sees the text.
  std::string tag = Format(":s/%d,%d,%d;", l.glyphW, l.glyphH, l.pitchX);
  for (int32_t c : l.colours) tag += Format("#%06x", c & 0xFFFFFF);
  if (l.colours.empty()) tag += "#ffffff";
  sp.tag = tag + l.text;
  sp.image.tag = sp.tag;
  sp.image.opacity = -1;
  sp.x = x, sp.y = y;
  sp.visible = visible;
  MarkSprite(e, sp);
}

uint8_t Mix(int32_t from, int32_t to, int64_t at, int64_t span) {
  if (span <= 0) return static_cast<uint8_t>(std::clamp(from, 0, 255));
  return static_cast<uint8_t>(std::clamp<int64_t>(from + (int64_t{to} - from) * at / span, 0, 255));
}

}  // namespace

void Cmd_strsp(Engine& e) { StringSprite(e, true); }
void Cmd_strsph(Engine& e) { StringSprite(e, false); }

// sp_rgb_gradation n,r1,g1,b1,r2,g2,b2,kr,kg,kb,dir: every cell's colour
// part becomes a gradient from colour 1 to colour 2, top to bottom (dir 0)
// or left to right (any other dir); pixels of the key colour stay. A text
// sprite keeps its glyph edges: the gradient is weighted by the coverage its
// mask half holds.
void Cmd_sp_rgb_gradation(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  int32_t c1[3], c2[3], key[3];
  for (int32_t& v : c1) v = NextNumber(e);
  for (int32_t& v : c2) v = NextNumber(e);
  for (int32_t& v : key) v = NextNumber(e);
  bool across = NextNumber(e) != 0;
  Sprite& sp = DefinedSprite(e, n);
  TaggedImage& img = sp.image;
  if (!img.HasSurface() || img.surface.BitCount() != 24) return;
  bool alpha = img.transMode == kTransAlpha;
  int32_t cells = std::max(img.cellCount, 1);
  int32_t cellW = img.surface.width / cells;
  int32_t partW = alpha ? cellW / 2 : cellW;
  int32_t h = img.surface.height;
  for (int32_t cell = 0; cell < cells; ++cell) {
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* row = img.surface.TopRow(y);
      for (int32_t x = 0; x < partW; ++x) {
        uint8_t* p = row + static_cast<size_t>(cell * cellW + x) * 3;
        if (p[2] == key[0] && p[1] == key[1] && p[0] == key[2]) continue;
        int64_t at = across ? x : y, span = (across ? partW : h) - 1;
        uint8_t rgb[3] = {Mix(c1[0], c2[0], at, span), Mix(c1[1], c2[1], at, span), Mix(c1[2], c2[2], at, span)};
        if (alpha && img.textSprite) {
          uint8_t coverage = static_cast<uint8_t>(255 - p[static_cast<size_t>(partW) * 3]);
          for (uint8_t& v : rgb) v = kBlend(v, coverage);
        }
        p[0] = rgb[2], p[1] = rgb[1], p[2] = rgb[0];
      }
    }
  }
  MarkSprite(e, sp);
}

// blt dx,dy,dw,dh,sx,sy,sw,sh: a rectangle of the btndef picture straight
// onto the window, scaled (nearest pixel) when the sizes differ. It goes to
// the display buffer only, so the next refresh of that area covers it.
void Cmd_blt(Engine& e) {
  int32_t dx = ReadNumberArgument(e), dy = NextNumber(e), dw = NextNumber(e), dh = NextNumber(e);
  int32_t sx = NextNumber(e), sy = NextNumber(e), sw = NextNumber(e), sh = NextNumber(e);
  SceneState& sc = e.scene;
  const Surface& src = e.buttons.image.surface;
  if (src.Empty() || sc.display.Empty() || dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  Surface converted;
  const Surface* from = &src;
  if (src.BitCount() != 24) {
    if (!ConvertTo24(src, converted)) return;
    from = &converted;
  }
  Rect target = Rect{dx, dy, dx + dw, dy + dh}.Intersect(Rect{0, 0, sc.width, sc.height});
  if (target.Empty()) return;
  for (int32_t y = target.top; y < target.bottom; ++y) {
    int64_t py = sy + (int64_t{y} - dy) * sh / dh;
    if (py < 0 || py >= from->height) continue;
    const uint8_t* srow = from->TopRow(static_cast<int32_t>(py));
    uint8_t* drow = sc.display.TopRow(y);
    for (int32_t x = target.left; x < target.right; ++x) {
      int64_t px = sx + (int64_t{x} - dx) * sw / dw;
      if (px < 0 || px >= from->width) continue;
      std::memcpy(drow + static_cast<size_t>(x) * 3, srow + static_cast<size_t>(px) * 3, 3);
    }
  }
  PresentDisplay(e);
}

// tal l|c|r,opacity: the standing image's opacity (0-255), kept for that
// position; shown at the next refresh.
void Cmd_tal(Engine& e) {
  int i = StandingPosition(e, ReadPositionWord(e), false);
  int32_t opacity = ClampOpacity(NextNumber(e));
  StandingImage& s = e.scene.standing[static_cast<size_t>(i)];
  s.opacity = opacity >= 255 ? -1 : opacity;
  s.image.opacity = s.opacity;
  if (!s.tag.empty()) MarkDirty(e, StandingRect(s));
}

}  // namespace sorv
