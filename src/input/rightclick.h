// The right-click action and the screens it opens: the system menu built
// from the rmenu items, the save and load slot menus, and the yes/no
// confirmation. All of them are drawn by the engine on the game screen: the
// scene composed without the text window, tinted with the menu tint, and
// the strings drawn with the menu's glyph size, advances, bold and shadow.
// `systemcall` runs the same actions from the script.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorv {

struct Engine;

// Action codes of the right-click handler (rmenu and systemcall keywords).
enum RightClickCode : int32_t {
  kActLookback = 0,
  kActWindowErase = 1,
  kActLoad = 2,
  kActSave = 3,
  kActReset = 4,
  kActSkip = 5,
  kActSaveDialog = 6,
  kActLoadDialog = 7,
  kActLookback2 = 8,
  kActResetDialog = 9,
  kActEnd = 10,
};

// What the slot menus need from the save files.
struct SlotAccess {
  // The modification time of slot n's file; nothing when it does not exist.
  std::function<std::optional<std::time_t>(Engine&, int32_t slot)> fileTime;
  // Writes slot n from the last save point; false when it failed.
  std::function<bool(Engine&, int32_t slot)> save;
  // Loads slot n; true when the game now continues from it.
  std::function<bool(Engine&, int32_t slot)> load;
};

struct RightClickState {
  int32_t enabled = 1;         // rmode; a game reset turns it on again
  bool active = false;         // RightClickActive: the handler is running
  bool forSystemcall = false;  // the handler runs for systemcall
  bool loadHappened = false;   // the handler loaded a game: the wait ends
  SlotAccess slots;
  // The strings of the last menu screen, in drawing order (the tests and
  // the headless runner read them).
  std::vector<std::string> screenStrings;
};

// Hooks of the waits (right click, wheel) and the default slot access.
void InstallRightClickHooks(Engine& e);
// A game reset: the enable switch on, no handler running.
void ResetRightClick(Engine& e);

// item -1: as a right click; 0..10: that action directly (systemcall).
// Returns true when the wait that called it must end (a load, a reset, the
// end of the game, the right-click subroutine).
bool RunRightClickAction(Engine& e, int32_t item);

// The slot menu: the chosen row (slot = row + 1) or -1; `nameOut` receives
// the row's prefix and numeral.
int32_t ShowSlotMenu(Engine& e, bool forSave, std::string& nameOut);
// 1 yes, 0 no, -1 cancelled.
int32_t ConfirmInWindow(Engine& e, std::string_view questionSjis);
// The menu of rmenu items: the chosen entry or -1.
int32_t ShowRightClickMenu(Engine& e);
// The volume screen (the menu's volume item): music, effects and voice,
// changed with Left/Right or a click on a bar.
void ShowVolumeScreen(Engine& e);
// Hides the text window until the player clicks or presses Space or Escape.
void HideWindowUntilClick(Engine& e);

// The texts of one slot row: prefix, numeral and the file's date, or the
// dashes of an empty slot. `count` is the number of slots on the menu.
std::string SlotRowText(const Engine& e, int32_t slot, int32_t count, const std::optional<std::time_t>& when);
// "%2d月%2d日%2d時%02d分" with every digit a numeral and every space a
// full-width space.
std::string SlotDateText(const std::tm& t);

// ---- Commands ----
void Cmd_rmode(Engine& e);
void Cmd_systemcall(Engine& e);
void Cmd_menu_full(Engine& e);
void Cmd_menu_window(Engine& e);
void Cmd_menu_click_page(Engine& e);
void Cmd_menu_click_def(Engine& e);
void Cmd_menu_automode(Engine& e);
void Cmd_menu_dwavvol(Engine& e);
void Cmd_menu_cd_on(Engine& e);
void Cmd_menu_cd_off(Engine& e);
void Cmd_menu_end(Engine& e);

}  // namespace sorv
