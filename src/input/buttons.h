// Buttons and choices: the button table that btndef and its relatives fill,
// hit testing and hover drawing for the button waits, the action strings of
// extended buttons, the classic choice menu (select and relatives), custom
// choices (csel) and the string-result button family (bsp / bexec).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/tagged_image.h"

namespace sorv {

struct Engine;

// At most this many entries: the table holds one more, and defining a button
// when all but one are used is an error.
constexpr size_t kButtonSlots = 512;
constexpr size_t kMaxChoices = 50;
constexpr size_t kBexecSlots = 256;

enum class ButtonKind { Image, Sprite, Extended, String };

struct ButtonEntry {
  int32_t number = 0;  // what a button wait returns for it
  int32_t left = 0, top = 0, width = 0, height = 0;
  int32_t right = 0, bottom = 0;  // inclusive
  ButtonKind kind = ButtonKind::Image;
  int32_t sourceX = 0, sourceY = 0;  // image buttons: where the hovered look is in the button image
  int32_t sprite = -1;               // sprite and extended buttons
  int32_t choice = -1;               // string buttons: the custom choice shown
  std::string action;                // extended buttons
};

struct Choice {
  std::string text;   // script bytes
  std::string label;  // lower case, without '*'
};

struct BexecEntry {
  int32_t sprite = 0;
  std::string normal, hover, click;
};

struct BexecState {
  std::vector<BexecEntry> entries;
  std::string defaultAction;
  int32_t timeoutMs = -1;  // btime; -1 = none
  bool timeoutWaitsVoice = false;
  bool clockRunning = false;
  uint32_t clockStart = 0;
  bool pressSelects = false;   // bdown
  bool opaqueOnly = false;     // btrans
  bool cursorKeys = false;     // bcursor
};

struct ButtonState {
  std::vector<ButtonEntry> table;  // ButtonTable
  TaggedImage image;               // the button image of btndef
  std::string imageTag;

  int32_t mask = -1;             // maskbtn: only numbers above it take part
  bool opaqueOnly = false;       // transbtn
  bool textButtonsOff = false;   // textbtnoff
  int32_t timeoutMs = -1;        // btntime / btntime2
  bool timeoutWaitsVoice = false;
  int32_t pressSelects = 0;      // btndown
  bool pressOutsideSelects = false;  // btn0down
  bool mouseOver = false;        // getmouseover
  int32_t mouseOverMin = 0, mouseOverMax = 0;
  int32_t areaY = 0;             // btnarea; 0 = off
  std::string defaultAction;     // exbtn_d
  int32_t cancelCode = -1;       // btncancel: what a right click returns

  // The button drawn hovered during a wait: an index into the table, or
  // table size + k for text button k of the page; -1 = none.
  int32_t hovered = -1;

  std::vector<Choice> customChoices;  // csel
  BexecState bexec;
};

// Empties every table and switch (the start of a game).
void ResetButtons(Engine& e);

// Hit testing: the index of the button under (x, y) as `hovered` counts them,
// with text buttons taking part when `textButtons` is set.
std::optional<int32_t> ButtonIndexAt(Engine& e, int32_t x, int32_t y, bool textButtons);
// The number a button index stands for.
int32_t ButtonNumber(const Engine& e, int32_t index);

// Runs an action string; a malformed one is a script error.
void RunActionString(Engine& e, std::string_view action);
// Composes what the action strings and hover changes marked and shows it.
void RedrawDirty(Engine& e);
// Whether the picture of sprite `s` is opaque at screen point (x, y).
bool SpriteOpaqueAt(Engine& e, int32_t s, int32_t x, int32_t y);

// The button wait of btnwait and its relatives, with the buttons of the
// table (and the page's text buttons in text-button mode).
int32_t WaitOnButtons(Engine& e, bool textButtonMode, bool selectMode);

// Definition commands.
void Cmd_btndef(Engine& e);
void Cmd_btn(Engine& e);
void Cmd_spbtn(Engine& e);
void Cmd_spbtn2(Engine& e);
void Cmd_cellcheckspbtn(Engine& e);
void Cmd_existspbtn(Engine& e);
void Cmd_exbtn(Engine& e);
void Cmd_cellcheckexbtn(Engine& e);
void Cmd_exbtn_d(Engine& e);
void Cmd_textexbtn(Engine& e);
void Cmd_cselbtn(Engine& e);
void Cmd_delbtn(Engine& e);
void Cmd_maskbtn(Engine& e);
void Cmd_transbtn(Engine& e);
void Cmd_textbtnoff(Engine& e);
void Cmd_btntime(Engine& e);
void Cmd_btntime2(Engine& e);
void Cmd_btndown(Engine& e);
void Cmd_btn0down(Engine& e);
void Cmd_getmouseover(Engine& e);
void Cmd_btnarea(Engine& e);

// Waits.
void Cmd_btnwait(Engine& e);
void Cmd_btnwait2(Engine& e);
void Cmd_textbtnwait(Engine& e);
void Cmd_selectbtnwait(Engine& e);
void Cmd_tbtnwait(Engine& e);
void Cmd_getbtntimer(Engine& e);
void Cmd_btncancel(Engine& e);
void Cmd_gettextbtnstr(Engine& e);
void Cmd_erasetextbtn(Engine& e);

// The choice menu and custom choices.
void Cmd_select(Engine& e);
void Cmd_selgosub(Engine& e);
void Cmd_selnum(Engine& e);
void Cmd_csel(Engine& e);
void Cmd_getcselnum(Engine& e);
void Cmd_getcselstr(Engine& e);
void Cmd_cselgoto(Engine& e);
void Cmd_nextcsel(Engine& e);

// The bexec family.
void Cmd_bsp(Engine& e);
void Cmd_bdef(Engine& e);
void Cmd_bclear(Engine& e);
void Cmd_btime(Engine& e);
void Cmd_bdown(Engine& e);
void Cmd_btrans(Engine& e);
void Cmd_bcursor(Engine& e);
void Cmd_bexec(Engine& e);

}  // namespace sorv
