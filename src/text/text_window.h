// The text window: its geometry and background, fonts, glyph colours,
// shading, vertical writing, the text cursor, and the drawing of one glyph.
//
// Every glyph is drawn by the engine itself: the character is rasterised at
// three times its cell size into a scratch bitmap, reduced to one 8-bit
// coverage value per screen pixel with a 1-2-1 / 2-4-2 / 1-2-1 filter, and
// blended in the text colour onto the screen image through BlendTable. The
// same coverage goes to the TextLayer and CoverageMap so that the compositor
// can put the text back after the background under the window changes.
//
// Coordinates are screen pixels, x to the right and y downwards from the top
// left, whatever the bottom-up row order of the buffers.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/blend_table.h"
#include "graphics/tagged_image.h"

namespace sorv {

struct Engine;

// A rectangle given by its top-left corner and size.
struct TextRect {
  int32_t x = 0, y = 0, w = 0, h = 0;
  bool Empty() const { return w <= 0 || h <= 0; }
};

// A view of a 24-bit bottom-up BGR buffer (the screen image, a surface, a
// test buffer). Does not own the pixels.
struct ScreenView {
  uint8_t* bits = nullptr;
  int32_t width = 0, height = 0, stride = 0;
  bool Empty() const { return bits == nullptr || width <= 0 || height <= 0; }
  // Row y counted from the top of the screen.
  uint8_t* TopRow(int32_t y) const { return bits + static_cast<size_t>(height - 1 - y) * static_cast<size_t>(stride); }
};
ScreenView ViewOf(Surface& s);

// T[a][v] = floor(a x v / 255): every multiply and blend of the text path goes
// through it (the compositor's table).
const BlendTable& Blend();

// The geometry and background of the window. Start values are those a game
// sees before its first `setwindow`.
struct TextWindowState {
  int32_t originX = 21, originY = 16;  // top-left of the first glyph cell
  int32_t columns = 23, rows = 16;     // characters a line, lines a page
  int32_t glyphW = 26, glyphH = 26;
  int32_t advanceX = 26, advanceY = 28;  // glyph size + pitch, + line spacing
  int32_t speed = 20;                    // ms a character; -1: the user's choice
  int32_t bold = 1, shadow = 1;
  int32_t windowColour = 0x999999;  // multiply tint; -1 when the background is an image
  std::string windowImageTag;       // the image's tag (at most 255 bytes)
  TaggedImage windowImage;
  int32_t left = 0, top = 0, right = 640, bottom = 480;  // inclusive
  int32_t shown = 0;        // the background is on screen
  int32_t eraseOnHide = 1;  // erasetextwindow: hide the window before effects
  bool keepOnStanding = false;  // erasetextwindow 2: standing-image commands leave it
  int32_t textMode = 1;     // 0: text may not be drawn
};

struct TextCursor {
  int32_t column = 0;  // within the line
  int32_t line = 0;    // within the page
};

// Face names are kept as the script wrote them (Shift-JIS or GB2312 bytes).
struct FontState {
  std::string defaultFace;   // defaultfont
  std::string selectedFace;  // font, setfont, the Font menu
  std::string currentFace;   // what glyphs are drawn with; set at each new page
};

struct ColourTable {
  std::array<int32_t, 256> entries{};  // 0xRRGGBB, setcolor
};

struct TextColour {
  uint8_t r = 255, g = 255, b = 255;
  int32_t Rgb() const { return (r << 16) | (g << 8) | b; }
  void Set(int32_t rgb) { r = (rgb >> 16) & 255; g = (rgb >> 8) & 255; b = rgb & 255; }
};

struct ShadeState {
  int32_t dx = 0, dy = 0;
  bool offsetSet = false;  // shadedistance was given: offset shadow instead of the 1-pixel one
};

// The font of string sprites (spfont); unset = follow the text window.
struct SpriteFont {
  bool set = false;
  std::string face;
  int32_t glyphW = 26, glyphH = 26, advanceX = 26, advanceY = 28;
  int32_t bold = 1, shadow = 1;
};

// Only the text pixels of the current page: colour x coverage, 24-bit
// bottom-up, screen-sized, black at each new page.
struct TextLayer {
  std::vector<uint8_t> bits;
  int32_t width = 0, height = 0, stride = 0;
  ScreenView View() { return {bits.data(), width, height, stride}; }
};

// The last coverage written to each screen pixel, rows from the top
// (index y x width + x), zero at each new page.
struct CoverageMap {
  std::vector<uint8_t> values;
  int32_t width = 0, height = 0;
  uint8_t At(int32_t x, int32_t y) const { return values[static_cast<size_t>(y) * width + x]; }
};

// 8-bit coverage of one glyph cell, rows from the top.
struct GlyphCoverage {
  int32_t w = 0, h = 0;
  std::vector<uint8_t> values;
};

// What a glyph is drawn with; filled from the window by default.
struct GlyphStyle {
  std::string face;  // as the script wrote it
  int32_t glyphW = 26, glyphH = 26;
  bool bold = true;
  bool shadow = true;
  bool vertical = false;
  int32_t colour = 0xFFFFFF;
  bool writeLayer = true;  // also write TextLayer and CoverageMap
};

class GlyphRenderer;  // FreeType faces and the coverage cache

// Hooks the compositor fills in. Until it does, the text window draws into a
// screen image of its own and nothing reaches the window.
struct TextWindowHooks {
  std::function<ScreenView(Engine&)> screenImage;
  // Recompose a rectangle of the screen image from the layers (the window
  // background and the text included) and show it.
  std::function<void(Engine&, TextRect)> redraw;
  // The window appeared or went: bring the rectangle on screen, through
  // the window effect when the game set one. Unset: as redraw.
  std::function<void(Engine&, TextRect)> windowChange;
  // Copy a rectangle of the screen image to the window as it is.
  std::function<void(Engine&, TextRect)> present;
  // Make sprite n visible or not (window chips).
  std::function<void(Engine&, int32_t sprite, bool visible)> setSpriteVisible;
  // The backlog: commit the current page to the message log (textclear),
  // and empty the whole log (setwindow).
  std::function<void(Engine&)> commitPage;
  std::function<void(Engine&)> clearMessageLog;
  // Called by NewPage after the window's part, for the text flow's own page
  // state (text buttons, skip flags).
  std::function<void(Engine&)> onNewPage;
};

// Everything the text window owns; one member of Engine.
struct TextWindow {
  TextWindowState window;
  TextCursor cursor;
  FontState fonts;
  TextColour colour;
  ColourTable colourTable;
  int32_t linkColours[2] = {0xFFFF00, 0x00FFFF};  // normal, under the mouse
  ShadeState shade;
  bool verticalRequested = false;  // tateyoko
  bool verticalActive = false;
  SpriteFont spriteFont;
  int32_t mojiType = 0;    // 1: menu strings drawn plainly at glyph size
  bool menuShown = false;  // the string drawer clips to the screen instead of the window
  // underline n: kept for scripts that set it; glyphs are never underlined,
  // the window's font is made without the underline attribute.
  int32_t underline = 0;
  TextLayer layer;
  CoverageMap coverage;
  Surface ownScreen;  // the screen image while no compositor supplies one
  TextWindowHooks hooks;
  std::shared_ptr<GlyphRenderer> glyphs;
};

// ---- Life cycle --------------------------------------------------------

// Start values of every record (a restart pass); sizes the buffers to the
// screen and keeps the glyph cache.
void ResetTextWindow(Engine& e);
// The start of a game: the default face becomes the selected face.
void StartGameFonts(Engine& e);
// Re-sizes TextLayer, CoverageMap and the own screen image to the screen.
void ResizeTextBuffers(Engine& e);

// ---- Pages and showing -------------------------------------------------

// The window's part of a new page: cursor to 0,0, TextLayer black,
// CoverageMap zero, the selected face becomes the current face, the
// requested writing direction becomes active; if the window is shown its
// rectangle grown by 2 is redrawn. The text flow resets its own page state
// (text buttons, skip flags) beside this.
void NewPage(Engine& e);
// Shows the window if it is not shown (the first glyph of a chunk does
// this): background over the rectangle grown by 2, and the screen updated.
void ShowTextWindow(Engine& e);
// Hides the window when it is shown and eraseOnHide is set, or always with
// `force` (textoff, setwindow).
void HideTextWindow(Engine& e, bool force = false);
// The window rectangle (inclusive corners turned into a TextRect), clamped
// to the screen, grown by `grow` pixels right and down.
TextRect WindowRect(const Engine& e, int32_t grow = 0);

// ---- Geometry ----------------------------------------------------------

// Top-left of the glyph cell at (column, line) in the active direction,
// without the ruby-line offsets the text flow adds.
void CellPosition(const Engine& e, int32_t column, int32_t line, int32_t& x, int32_t& y);
// The next glyph cell of the cursor (getcursorpos).
void NextCellPosition(const Engine& e, int32_t& x, int32_t& y);

// ---- Glyphs ------------------------------------------------------------

// The style of message text now: current face, window size, bold and
// shadow, the active direction and TextColour.
GlyphStyle WindowGlyphStyle(const Engine& e);

// Checks and draws one two-byte character with its cell's top-left at (x, y):
// textMode 0 and a cell outside the screen or the window are script errors;
// a cell that does not overlap the window is skipped (false). With `present`
// the glyph rectangle is copied to the window at once. Does not move the
// cursor.
bool DrawGlyphChecked(Engine& e, const char sjis[2], int32_t x, int32_t y, const GlyphStyle& style,
                      bool present);

// Draws at the cursor's cell with the window style (colour: TextColour),
// then advances the cursor column. Returns the cell drawn.
struct CellDrawn {
  int32_t x = 0, y = 0;
  bool drawn = false;
};
CellDrawn DrawCharacterAtCursor(Engine& e, const char sjis[2], bool present);

// The unchecked glyph pipeline into any buffer, clipped to it: shadow
// passes, coverage blend, and (with style.writeLayer) TextLayer and
// CoverageMap of the engine.
void DrawGlyph(Engine& e, ScreenView dst, const char sjis[2], int32_t x, int32_t y, const GlyphStyle& style);

// The coverage of one character, rasterised at 3x and filtered; cached per
// (face, size, bold, direction, character). Empty for an undecodable one.
const GlyphCoverage& GlyphCoverageFor(Engine& e, const GlyphStyle& style, const char sjis[2]);

// Reduces a white-on-black scratch (one byte a pixel, 3w x 3h, rows from the
// top) to w x h coverage with the 1-2-1 / 2-4-2 / 1-2-1 filter.
void FilterScratch(const uint8_t* scratch, int32_t scratchStride, int32_t w, int32_t h, uint8_t* out);

// One pixel of the glyph pass: p = min(255, T[p][255 - c] + T[colour][c]).
inline uint8_t BlendGlyphChannel(uint8_t p, uint8_t colour, uint8_t c) {
  int v = kBlend(p, 255 - c) + kBlend(colour, c);
  return static_cast<uint8_t>(v > 255 ? 255 : v);
}

// ---- Strings, ruby and numbers ----------------------------------------

struct StringDrawOptions {
  int32_t colour = 0xFFFFFF;
  bool clipToScreen = false;  // a menu is shown: clip to the screen, not the window
  bool present = true;
};
// Draws Shift-JIS text from cell (column, line) — negative values are
// absolute pixel positions (their magnitude) — advancing column and line
// (wrapping at `columns`, "\n" or a single-byte character breaks nothing).
// Clipped, never an error. Returns the number of characters drawn.
int32_t DrawString(Engine& e, std::string_view sjis, int32_t column, int32_t line, const StringDrawOptions& opt);

struct RubyStyle {
  std::string face;     // empty: the current face
  int32_t rubyW = -1;   // -1: half the glyph
  int32_t rubyH = -1;
  int32_t colour = 0xFFFFFF;
};
// Draws ruby text over a base that starts at cell (baseX, baseY) and is
// `baseWidth` pixels long (horizontal) or tall (vertical).
void DrawRuby(Engine& e, std::string_view rubySjis, int32_t baseX, int32_t baseY, int32_t baseWidth,
              const RubyStyle& style, bool present);

// A number display: value as "%3d" in three w x h cells at (x, y), in
// `colour`, through the glyph filter and blend, clipped to `clip`.
void DrawNumberDisplay(Engine& e, ScreenView dst, int32_t value, int32_t x, int32_t y, int32_t w, int32_t h,
                       int32_t colour, TextRect clip);

// ---- For the compositor -----------------------------------------------

// The window background over `r` of `dst` (clamped to the window and the
// buffer): the window image, or the multiply tint unless it is white. Marks
// the window shown.
void DrawWindowBackground(Engine& e, ScreenView dst, TextRect r);
// Puts the page's text back over `r` of `dst`:
// p = min(255, T[p][255 - coverage] + layer).
void DrawTextLayer(Engine& e, ScreenView dst, TextRect r);

// The screen image the glyphs go to (the compositor's, or the own one).
ScreenView TextScreen(Engine& e);
// Recomposes a rectangle of the screen and shows it (the compositor's
// redraw, or the own screen's black-background stand-in).
void RedrawScreenRect(Engine& e, TextRect r);

}  // namespace sorv
