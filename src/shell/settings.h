// Shell settings chosen by the *define block: the dialog and version texts,
// the right-click action with its menu look, and the look and sounds of the
// choice menus.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sorv {

// RightClickMode values.
constexpr int kRightClickNothing = -2;
constexpr int kRightClickBacklog = -1;
constexpr int kRightClickHideWindow = 0;
constexpr int kRightClickMenu = 1;
constexpr int kRightClickSubroutine = 2;

struct RightClickItem {
  std::string text;  // script bytes
  int code = 0;      // action code of the right-click handler
};

struct ShellSettings {
  bool modeExt = false;  // mode_ext / automode: kept, nothing reads it

  // Confirmation texts (UTF-8; shown in message boxes).
  std::string quitQuestion = "是否结束游戏？";
  std::string quitCaption = "结束确认";
  std::string resetQuestion = "是否返回到标题？";
  std::string resetCaption = "返回確認";
  std::array<std::string, 2> versionText = {"Sorvane Version 2.96", ""};  // UTF-8

  int rightClickMode = kRightClickHideWindow;
  std::vector<RightClickItem> rightClickItems;

  // Right-click menu layout (menusetwindow); the advances are stored with
  // the glyph size added.
  int32_t menuGlyphW = 26, menuGlyphH = 26, menuAdvanceX = 26, menuAdvanceY = 28;
  int32_t menuBold = 1, menuShadow = 1;
  int32_t menuTint = 0x999999;
  int32_t menuHoverColour = 0xFFFFFF, menuNormalColour = 0xAAAAAA, menuDisabledColour = 0x555599;
  std::array<std::string, 7> menuSounds;  // menuselectvoice

  // Slot menu texts (script bytes): "＜セーブ＞", "＜ロード＞", "しおり".
  std::string saveTitle = "\x81\x83\x83\x5A\x81\x5B\x83\x75\x81\x84";
  std::string loadTitle = "\x81\x83\x83\x8D\x81\x5B\x83\x68\x81\x84";
  std::string slotPrefix = "\x82\xB5\x82\xA8\x82\xE8";

  // Choice menus (selectcolor, selectvoice).
  int32_t choiceHoverColour = 0xFFFFFF, choiceNormalColour = 0xAAAAAA;
  std::array<std::string, 3> choiceSounds;  // entry, hover, click
};

}  // namespace sorv
