// Script commands of the text window: geometry and background, colours,
// fonts, shading, writing direction, the cursor, pages and showing.
#include "text/text_commands.h"

#include <cstring>
#include <string>

#include "graphics/image_load.h"
#include "interp/error.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "text/textflow.h"
#include "text/text_window.h"

namespace sorv {
namespace {

// Face names and image tags live in 256-byte records; longer text is cut so
// that what is kept is what a saved game can hold.
constexpr size_t kMaxNameBytes = 255;

std::string Bounded(std::string s) {
  if (s.size() > kMaxNameBytes) s.resize(kMaxNameBytes);
  return s;
}

// A window background: '#rrggbb', a string that begins with '#', or an
// image tag. Returns true for a colour (in `colour`), false for a tag.
bool ReadBackground(Engine& e, int32_t& colour, std::string& tag) {
  if (SkipBlanks(e) == '#') {
    colour = ReadColourArgument(e);
    return true;
  }
  ReadStringArgument(e, tag);
  if (!tag.empty() && tag[0] == '#') {
    std::string text = tag;
    text.resize(7, '\0');
    colour = ReadColour(e, text.c_str() + 1);
    return true;
  }
  return false;
}

void LoadWindowImage(Engine& e, TextWindowState& w, const std::string& tag) {
  w.windowImageTag = Bounded(tag);
  LoadImage(e, w.windowImage, w.windowImageTag);
  Surface& s = w.windowImage.surface;
  if (!s.Empty() && s.BitCount() != 24) {
    Surface converted;
    if (ConvertTo24(s, converted)) s = std::move(converted);
  }
  w.windowColour = -1;
}

void SetWindowCommon(Engine& e, bool keepLog) {
  TextWindowState w = e.textWindow.window;
  w.originX = ReadNumberArgument(e);
  w.originY = NextNumber(e);
  int32_t columns = NextNumber(e);
  int32_t rows = NextNumber(e);
  if (columns < 0 || rows < 0) ReportError(e, "エラー", "setwindowの縦横文字数指定が間違っています。");
  w.columns = columns;
  w.rows = rows;
  w.glyphW = NextNumber(e);
  w.glyphH = NextNumber(e);
  w.advanceX = w.glyphW + NextNumber(e);
  w.advanceY = w.glyphH + NextNumber(e);
  w.speed = NextNumber(e);
  w.bold = NextNumber(e);
  w.shadow = NextNumber(e);
  ExpectComma(e);
  int32_t colour = 0;
  std::string tag;
  if (ReadBackground(e, colour, tag)) {
    w.windowColour = colour;
    w.left = NextNumber(e);
    w.top = NextNumber(e);
    w.right = NextNumber(e);
    w.bottom = NextNumber(e);
  } else {
    w.left = NextNumber(e);
    w.top = NextNumber(e);
    LoadWindowImage(e, w, tag);
    w.right = w.left + w.windowImage.CellWidth() - 1;
    w.bottom = w.top + w.windowImage.surface.height - 1;
  }
  TextWindow& t = e.textWindow;
  HideTextWindow(e, true);
  if (!keepLog && t.hooks.clearMessageLog) t.hooks.clearMessageLog(e);
  w.shown = 0;
  t.window = std::move(w);
  ClearTextWindow(e);
  RedrawScreenRect(e, WindowRect(e, 2));
}

void SetChipsVisible(Engine& e, bool visible) {
  if (!e.textWindow.hooks.setSpriteVisible) return;
  for (int32_t sprite : e.textSettings.windowChips) e.textWindow.hooks.setSpriteVisible(e, sprite, visible);
}

bool AtWord(Engine& e, const char* word) {
  const char* p = e.script.data() + e.script.pos;
  size_t n = std::strlen(word);
  for (size_t i = 0; i < n; ++i) {
    if (LowerAscii(static_cast<unsigned char>(p[i])) != static_cast<unsigned char>(word[i])) return false;
  }
  return !IsWordByte(static_cast<unsigned char>(p[n]));
}

}  // namespace

void Cmd_setwindow(Engine& e) { SetWindowCommon(e, false); }
void Cmd_setwindow3(Engine& e) { SetWindowCommon(e, true); }

void Cmd_setwindow2(Engine& e) {
  TextWindowState& w = e.textWindow.window;
  int32_t colour = 0;
  std::string tag;
  if (ReadBackground(e, colour, tag)) {
    w.windowColour = colour;
  } else {
    LoadWindowImage(e, w, tag);
  }
  w.shown = 1;
  RedrawScreenRect(e, WindowRect(e, 2));
}

void Cmd_underline(Engine& e) { e.textWindow.underline = ReadNumberArgument(e); }

void Cmd_textcolor(Engine& e) { e.textWindow.colour.Set(ReadColourArgument(e)); }

void Cmd_setcolor(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  if (n < 0 || n > 255) ReportError(e, "エラー", "setcolorの番号は0-255です");
  ExpectComma(e);
  e.textWindow.colourTable.entries[static_cast<size_t>(n)] = ReadColourArgument(e);
}

void Cmd_linkcolor(Engine& e) {
  int32_t normal = ReadColourArgument(e);
  ExpectComma(e);
  e.textWindow.linkColours[0] = normal;
  e.textWindow.linkColours[1] = ReadColourArgument(e);
}

void Cmd_shadedistance(Engine& e) {
  ShadeState& s = e.textWindow.shade;
  s.dx = ReadNumberArgument(e);
  s.dy = NextNumber(e);
  s.offsetSet = true;
}

void Cmd_font(Engine& e) {
  std::string face;
  ReadStringArgument(e, face);
  e.textWindow.fonts.selectedFace = Bounded(face);
}

// spfont face[, w, h, pitch, spacing, bold, shadow] | clear
void Cmd_spfont(Engine& e) {
  SpriteFont& f = e.textWindow.spriteFont;
  unsigned char c = SkipBlanks(e);
  if (AtWord(e, "clear")) {
    std::string word;
    ReadWord(e, word);
    f = SpriteFont{};
    return;
  }
  if (c != '"' && c != '$' && !IsWordStart(c)) ReportError(e, "エラー", "spfontの引数は、文字列もしくはclearです。");
  std::string face;
  ReadStringArgument(e, face);
  const TextWindowState& w = e.textWindow.window;
  f.set = true;
  f.face = Bounded(face);
  if (SkipBlanks(e) != ',') {
    f.glyphW = w.glyphW;
    f.glyphH = w.glyphH;
    f.advanceX = w.advanceX;
    f.advanceY = w.advanceY;
    f.bold = w.bold;
    f.shadow = w.shadow;
    return;
  }
  f.glyphW = NextNumber(e);
  f.glyphH = NextNumber(e);
  f.advanceX = f.glyphW + NextNumber(e);
  f.advanceY = f.glyphH + NextNumber(e);
  f.bold = NextNumber(e);
  f.shadow = NextNumber(e);
}

void Cmd_mojitype(Engine& e) { e.textWindow.mojiType = ReadNumberArgument(e); }

void Cmd_tateyoko(Engine& e) {
  TextWindow& t = e.textWindow;
  t.verticalRequested = ReadNumberArgument(e) != 0;
  if (t.cursor.column == 0 && t.cursor.line == 0) t.verticalActive = t.verticalRequested;
}

void Cmd_locate(Engine& e) {
  int32_t column = ReadNumberArgument(e);
  int32_t line = NextNumber(e);
  e.textWindow.cursor = {column, line};
}

void Cmd_puttext(Engine& e) {
  std::string text;
  ReadStringArgument(e, text);
  ShowTextChunk(e, text);
}

void Cmd_textclear(Engine& e) {
  if (e.textWindow.hooks.commitPage) e.textWindow.hooks.commitPage(e);
  ClearTextWindow(e);
}

void Cmd_texton(Engine& e) {
  SetChipsVisible(e, true);
  RedrawScreenRect(e, WindowRect(e, 1));
}

void Cmd_textoff(Engine& e) {
  SetChipsVisible(e, false);
  HideTextWindow(e, true);
}

void Cmd_textmode(Engine& e) { e.textWindow.window.textMode = ReadNumberArgument(e); }

// The window and its text leave the screen and come back as they were.
void Cmd_texthide(Engine& e) { HideTextWindow(e, true); }
void Cmd_textshow(Engine& e) { ShowTextWindow(e); }

void Cmd_erasetextwindow(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  TextWindowState& w = e.textWindow.window;
  w.eraseOnHide = n != 0 ? 1 : 0;
  w.keepOnStanding = n == 2;
}

}  // namespace sorv
