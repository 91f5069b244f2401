// The button table and the commands that define buttons and the button
// wait's switches.
#include "input/buttons.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "graphics/image_load.h"
#include "graphics/scene.h"
#include "input/input.h"
#include "interp/error.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "text/textflow.h"

namespace sorv {
namespace {

constexpr const char* kOverflow = "ボタン定義がオーバーフローしました。btndef命令は適切に使われていますか？";

// The sprite a sprite button stands on, or null when the slot is out of
// range or has no picture (such buttons are not made).
const Sprite* SpriteWithImage(Engine& e, int32_t s) {
  if (s < 0 || s >= kSpriteSlots) return nullptr;
  const Sprite& sp = e.scene.sprites[static_cast<size_t>(s)];
  return sp.image.HasSurface() ? &sp : nullptr;
}

void SetRect(ButtonEntry& b, int32_t x, int32_t y, int32_t w, int32_t h) {
  b.left = x;
  b.top = y;
  b.width = w;
  b.height = h;
  b.right = static_cast<int32_t>(int64_t{x} + w - 1);
  b.bottom = static_cast<int32_t>(int64_t{y} + h - 1);
}

void AddButton(Engine& e, ButtonEntry b) {
  auto& table = e.buttons.table;
  if (table.size() >= kButtonSlots - 1) ReportError(e, "エラー", kOverflow);
  table.push_back(std::move(b));
}

ButtonEntry SpriteButton(const Sprite& sp, int32_t s, int32_t n) {
  ButtonEntry b;
  b.number = n;
  b.kind = ButtonKind::Sprite;
  b.sprite = s;
  SetRect(b, sp.x, sp.y, sp.image.CellWidth(), sp.image.surface.height);
  return b;
}

// spbtn and its relatives: s, n; `minCells` is the cell count the sprite
// needs for the button to be made.
void DefineSpriteButton(Engine& e, int32_t minCells) {
  int32_t s = ReadNumberArgument(e);
  int32_t n = NextNumber(e);
  const Sprite* sp = SpriteWithImage(e, s);
  if (!sp || sp->image.cellCount < minCells) return;
  AddButton(e, SpriteButton(*sp, s, n));
}

void DefineExtendedButton(Engine& e, int32_t minCells) {
  int32_t s = ReadNumberArgument(e);
  int32_t n = NextNumber(e);
  std::string action = NextString(e);
  const Sprite* sp = SpriteWithImage(e, s);
  if (!sp || sp->image.cellCount < minCells) return;
  ButtonEntry b = SpriteButton(*sp, s, n);
  b.kind = ButtonKind::Extended;
  b.action = std::move(action);
  AddButton(e, std::move(b));
}

// The argument of btndef: the bare word clear, or an image tag.
bool ReadClearOrTag(Engine& e, std::string& tag) {
  int32_t start = e.script.pos;
  std::string word;
  ReadWord(e, word);
  if (word == "clear") return true;
  e.script.pos = start;
  ReadStringArgument(e, tag);
  return false;
}

}  // namespace

void ResetButtons(Engine& e) { e.buttons = ButtonState{}; }

void Cmd_btndef(Engine& e) {
  std::string tag;
  bool clear = ReadClearOrTag(e, tag);
  ButtonState& b = e.buttons;
  b.table.clear();
  b.mask = -1;
  b.mouseOver = false;
  b.pressSelects = 0;
  b.opaqueOnly = false;
  b.areaY = 0;
  b.timeoutMs = -1;
  b.timeoutWaitsVoice = false;
  b.defaultAction.clear();
  b.textButtonsOff = false;
  b.hovered = -1;
  ResetKeySwitches(e);
  if (clear) return;
  b.image.Clear();
  b.imageTag = tag;
  if (!tag.empty()) LoadImage(e, b.image, tag);
}

void Cmd_btn(Engine& e) {
  ButtonEntry b;
  b.number = ReadNumberArgument(e);
  int32_t x = NextNumber(e), y = NextNumber(e), w = NextNumber(e), h = NextNumber(e);
  SetRect(b, x, y, w, h);
  b.sourceX = NextNumber(e);
  b.sourceY = NextNumber(e);
  b.kind = ButtonKind::Image;
  AddButton(e, std::move(b));
}

void Cmd_spbtn(Engine& e) { DefineSpriteButton(e, 1); }
void Cmd_existspbtn(Engine& e) { DefineSpriteButton(e, 1); }
void Cmd_cellcheckspbtn(Engine& e) { DefineSpriteButton(e, 2); }

void Cmd_spbtn2(Engine& e) {
  int32_t s = ReadNumberArgument(e);
  int32_t n = NextNumber(e);
  const Sprite* sp = SpriteWithImage(e, s);
  if (!sp) return;
  auto& table = e.buttons.table;
  auto it = std::find_if(table.begin(), table.end(), [n](const ButtonEntry& b) { return b.number == n; });
  if (it == table.end()) {
    AddButton(e, SpriteButton(*sp, s, n));
  } else {
    *it = SpriteButton(*sp, s, n);
  }
}

void Cmd_exbtn(Engine& e) { DefineExtendedButton(e, 1); }
void Cmd_cellcheckexbtn(Engine& e) { DefineExtendedButton(e, 2); }

void Cmd_exbtn_d(Engine& e) { ReadStringArgument(e, e.buttons.defaultAction); }

void Cmd_textexbtn(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  std::string action = NextString(e);
  for (TextButtonSlot& slot : e.text.buttons) {
    if (slot.number == n) slot.action = action;
  }
}

void Cmd_cselbtn(Engine& e) {
  int32_t k = ReadNumberArgument(e);
  ButtonEntry b;
  b.number = NextNumber(e);
  int32_t x = NextNumber(e), y = NextNumber(e);
  const auto& choices = e.buttons.customChoices;
  // A choice that was never given has no text to show: no button.
  if (k < 0 || static_cast<size_t>(k) >= choices.size()) return;
  const TextWindowState& w = e.textWindow.window;
  int64_t bytes = static_cast<int64_t>(choices[static_cast<size_t>(k)].text.size());
  int32_t width = static_cast<int32_t>(bytes * w.advanceX / 2), height = w.advanceY;
  if (e.textWindow.verticalActive) {
    width = w.advanceX;
    height = static_cast<int32_t>(bytes * w.advanceY / 2);
  }
  SetRect(b, x, y, width, height);
  b.kind = ButtonKind::String;
  b.choice = k;
  AddButton(e, std::move(b));
}

void Cmd_delbtn(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  for (ButtonEntry& b : e.buttons.table) {
    if (b.number == n) b.left = 999;
  }
}

void Cmd_maskbtn(Engine& e) { e.buttons.mask = ReadNumberArgument(e); }
void Cmd_transbtn(Engine& e) { e.buttons.opaqueOnly = true; }
void Cmd_textbtnoff(Engine& e) { e.buttons.textButtonsOff = true; }

void Cmd_btntime(Engine& e) {
  e.buttons.timeoutMs = ReadNumberArgument(e);
  e.buttons.timeoutWaitsVoice = false;
}

void Cmd_btntime2(Engine& e) {
  e.buttons.timeoutMs = ReadNumberArgument(e);
  e.buttons.timeoutWaitsVoice = true;
}

void Cmd_btndown(Engine& e) { e.buttons.pressSelects = ReadNumberArgument(e); }
void Cmd_btn0down(Engine& e) { e.buttons.pressOutsideSelects = true; }

void Cmd_getmouseover(Engine& e) {
  e.buttons.mouseOver = true;
  e.buttons.mouseOverMin = ReadNumberArgument(e);
  e.buttons.mouseOverMax = NextNumber(e);
}

void Cmd_btnarea(Engine& e) { e.buttons.areaY = ReadNumberArgument(e); }

}  // namespace sorv
