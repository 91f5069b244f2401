// The menu bar as data: the standard menu, the script's customisation
// (resetmenu, insertmenu, deletemenu, killmenu, delbgmvol) and the check
// marks. The window code draws whatever this model holds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sorv {

struct Engine;

// Menu command numbers.
enum MenuCommand : int {
  kMenuEnd = 40001,
  kMenuFull = 40002,
  kMenuWindow = 40003,
  kMenuFontDefault = 40004,
  kMenuVersion = 40005,
  kMenuSkip = 40006,
  kMenuClickPage = 40007,
  kMenuClickDef = 40008,
  kMenuTextSlow = 40014,
  kMenuTextMiddle = 40015,
  kMenuTextFast = 40016,
  kMenuWaveOn = 40017,
  kMenuWaveOff = 40018,
  kMenuAuto = 40019,
  kMenuCdDrive = 40020,
  kMenuCdOn = 40021,
  kMenuCdOff = 40022,
  kMenuVolume = 40024,
  kMenuKidokuOn = 40025,
  kMenuKidokuOff = 40026,
  kMenuReset = 40028,
  kMenuToggleFull = 40029,
  kMenuTextSpeed = 40030,
  kMenuAutoSpeed = 40031,
};

constexpr int kMaxFontSlots = 180;

struct MenuItem {
  std::string text;  // UTF-8
  int command = 0;   // 0 for a submenu
  bool checked = false;
  bool submenu = false;
  bool fontList = false;  // a font submenu: the font slots go before "デフォルト"
  std::vector<MenuItem> items;
};

struct MenuState {
  std::vector<MenuItem> bar;
  bool customised = false;  // resetmenu or deletemenu ran
  bool removed = false;     // deletemenu: the bar is never shown again
  bool hiddenByFullscreen = false;
  bool hasTextSpeedItem = false;  // an inserted "textspeed" item
  int checkedFont = kMenuFontDefault;
  std::string menuFace;  // face of the menu's font items (script bytes)
  std::vector<std::string> fontSlots;  // face names of the font items 0-179 (UTF-8)
  bool fontsFilled = false;            // the standard font submenu holds the system's faces
  uint32_t revision = 0;               // bumped whenever the bar's items change

  // What the window shows of it (kept across a restart pass).
  int bandShown = 0;                   // strip height the window has now
  uint32_t bandRevision = ~0u;         // revision the strip was drawn from
  int bandWidth = 0;
  bool bandFullscreen = false;         // full screen as the strip last saw it
  bool busy = false;                   // a menu or dialog is open: no second one
  bool altAlone = false;               // Alt is down and no other key came since
  std::vector<std::string> dialogStrings;  // what the last dialog box showed (UTF-8)
};

// The menu bar of a fresh window.
std::vector<MenuItem> StandardMenu();
void RestoreMenu(Engine& e);

// Fills a font submenu with the system's fixed-pitch Japanese faces (at
// most 180 slots, each item's command its slot number).
void FillFontMenu(Engine& e, MenuItem& fontMenu);
// The faces that font enumeration offers, in slot order; a slot that was
// counted but not offered is empty (UTF-8).
std::vector<std::string> EnumerateMenuFonts();

// The command number of an insertmenu keyword (lower case); 0 when the
// keyword names no command.
int MenuKeywordCommand(std::string_view keyword);

// Finds the item with `command` anywhere in the bar, or nullptr.
MenuItem* FindMenuItem(std::vector<MenuItem>& menu, int command);
// Sets the check mark of every item with `command`.
void CheckMenuItem(Engine& e, int command, bool checked);
// Ticks the items that show the current settings (done by `game`).
void TickMenuSettings(Engine& e);

void Cmd_resetmenu(Engine& e);
void Cmd_insertmenu(Engine& e);
void Cmd_deletemenu(Engine& e);
void Cmd_killmenu(Engine& e);
void Cmd_delbgmvol(Engine& e);

}  // namespace sorv
