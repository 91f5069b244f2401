// The menu bar as the player sees it: a strip above the game picture that
// the engine draws itself with the game's font, the drop-down menus over the
// picture, and the modal tracking of mouse and keys while one is open (the
// game stands still meanwhile, as it did under a system menu).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "text/text_window.h"

namespace sorv {

struct Engine;
struct MenuItem;

constexpr int kMenuBandHeight = 20;  // rows of one line of the strip
constexpr int kMenuRowHeight = 20;   // rows of a drop-down item
constexpr int kMenuGlyph = 12;       // glyph size of menu texts

// The strip the window should show now: none in full screen, after
// deletemenu, with an empty bar, or where the platform has no room for one.
int WantedMenuBand(const Engine& e);
// Brings the window's strip up to date: its height and its pixels.
void UpdateMenuBand(Engine& e);

// Where each title of the bar sits in the strip (y 0 is its top row).
std::vector<TextRect> MenuTitleRects(const Engine& e);
// The strip's height: a line of titles, more when they wrap.
int MenuBandHeight(const Engine& e);
// Draws the strip into a bottom-up BGR buffer of `width` x MenuBandHeight;
// `highlight` is the open title or -1.
void DrawMenuBand(Engine& e, std::vector<uint8_t>& bits, int width, int highlight);

// Drawing of the menu and the dialogs, into bottom-up BGR views, clipped.
void Put(const ScreenView& v, int x, int y, int32_t rgb);
void Fill(const ScreenView& v, TextRect r, int32_t rgb);
void Frame(const ScreenView& v, TextRect r, int32_t rgb);
// Shift-JIS text at the menu's glyph size in the game's face; its advance.
void DrawText(Engine& e, const ScreenView& v, const std::string& sjis, int x, int y, int32_t colour);
int TextWidth(const std::string& sjis);

// The next window message for a modal loop of the window's own (a menu or a
// dialog): those already taken from the platform first.
bool TakeWindowEvent(Engine& e, platform::Event& ev);

// The window procedure's part: a mouse event over the strip (y < 0), F10 or
// a lone Alt. Opens the menu and tracks it until a command is chosen (run at
// once) or the menu is left. True when the event belonged to the menu.
bool MenuBarEvent(Engine& e, const platform::Event& ev);

}  // namespace sorv
