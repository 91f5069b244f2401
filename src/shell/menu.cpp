#include "shell/menu.h"

#include <cstring>

#include "interp/error.h"
#include "script/reader.h"
#include "shell/engine.h"

namespace sorv {
namespace {

MenuItem Item(const char* text, int command, bool checked = false) {
  MenuItem m;
  m.text = text;
  m.command = command;
  m.checked = checked;
  return m;
}

MenuItem Submenu(const char* text, std::vector<MenuItem> items) {
  MenuItem m;
  m.text = text;
  m.submenu = true;
  m.items = std::move(items);
  return m;
}

MenuItem FontSubmenu(std::string text) {
  MenuItem m = Submenu("", {Item("デフォルト", kMenuFontDefault, true)});
  m.text = std::move(text);
  m.fontList = true;
  return m;
}

struct Keyword {
  const char* word;
  int command;
};

// The fixed words an inserted item may name.
constexpr Keyword kKeywords[] = {
    {"reset", kMenuReset},          {"end", kMenuEnd},
    {"full", kMenuFull},            {"window", kMenuWindow},
    {"version", kMenuVersion},      {"skip", kMenuSkip},
    {"auto", kMenuAuto},            {"cddrive", kMenuCdDrive},
    {"dwavevolume", kMenuVolume},   {"waveon", kMenuWaveOn},
    {"waveoff", kMenuWaveOff},      {"cdon", kMenuCdOn},
    {"cdoff", kMenuCdOff},          {"textslow", kMenuTextSlow},
    {"textmiddle", kMenuTextMiddle}, {"textfast", kMenuTextFast},
    {"clickdef", kMenuClickDef},    {"clickpage", kMenuClickPage},
    {"kidokuon", kMenuKidokuOn},    {"kidokuoff", kMenuKidokuOff},
    {"textspeed", kMenuTextSpeed},  {"autospeed", kMenuAutoSpeed},
};

bool RemoveCommand(std::vector<MenuItem>& menu, int command) {
  bool removed = false;
  for (size_t i = 0; i < menu.size();) {
    if (!menu[i].submenu && menu[i].command == command) {
      menu.erase(menu.begin() + static_cast<std::ptrdiff_t>(i));
      removed = true;
      continue;
    }
    if (menu[i].submenu) removed |= RemoveCommand(menu[i].items, command);
    ++i;
  }
  return removed;
}

void SetChecked(std::vector<MenuItem>& menu, int command, bool checked) {
  for (MenuItem& m : menu) {
    if (m.submenu) {
      SetChecked(m.items, command, checked);
    } else if (m.command == command) {
      m.checked = checked;
    }
  }
}

// The menu `depth` submenus down, always through the first submenu of each
// level; nullptr when a level has none.
std::vector<MenuItem>* MenuAtDepth(std::vector<MenuItem>& bar, int32_t depth) {
  std::vector<MenuItem>* menu = &bar;
  for (int32_t d = 0; d < depth; ++d) {
    MenuItem* sub = nullptr;
    for (MenuItem& m : *menu) {
      if (m.submenu) {
        sub = &m;
        break;
      }
    }
    if (!sub) return nullptr;
    menu = &sub->items;
  }
  return menu;
}

}  // namespace

std::vector<MenuItem> StandardMenu() {
  return {
      Submenu("画面", {Item("フルスクリーン", kMenuFull), Item("ウィンドウ", kMenuWindow, true)}),
      FontSubmenu("フォント"),
      Submenu("表示形式", {Item("デフォルト", kMenuClickDef, true), Item("一ページごと", kMenuClickPage)}),
      Submenu("文字速度", {Item("低速", kMenuTextSlow), Item("普通", kMenuTextMiddle, true),
                           Item("高速", kMenuTextFast)}),
      Submenu("ボリューム", {Item("オン", kMenuWaveOn, true), Item("オフ", kMenuWaveOff),
                             Item("ボリューム", kMenuVolume)}),
      Item("選択肢まで進む", kMenuSkip),
      Item("オートモード", kMenuAuto),
      Submenu("CD-DA", {Item("演奏ドライブ選択", kMenuCdDrive),
                        Submenu("CD-DA再生", {Item("オン", kMenuCdOn, true), Item("オフ", kMenuCdOff)})}),
      Item("バージョン情報", kMenuVersion),
      Item("終了", kMenuEnd),
  };
}

void RestoreMenu(Engine& e) {
  MenuState fresh;
  fresh.bar = StandardMenu();
  fresh.revision = e.menu.revision + 1;
  fresh.bandShown = e.menu.bandShown;
  fresh.bandWidth = e.menu.bandWidth;
  fresh.busy = e.menu.busy;
  e.menu = std::move(fresh);
}

void FillFontMenu(Engine& e, MenuItem& fontMenu) {
  std::vector<std::string> faces = EnumerateMenuFonts();
  e.menu.fontSlots.assign(kMaxFontSlots, std::string());
  // Each face goes just before "デフォルト", so they keep their order above it.
  auto at = fontMenu.items.begin();
  for (MenuItem& m : fontMenu.items) {
    if (m.command == kMenuFontDefault) break;
    ++at;
  }
  std::vector<MenuItem> items;
  for (size_t slot = 0; slot < faces.size() && slot < kMaxFontSlots; ++slot) {
    if (faces[slot].empty()) continue;
    e.menu.fontSlots[slot] = faces[slot];
    MenuItem m;
    m.text = faces[slot];
    m.command = static_cast<int>(slot);
    items.push_back(std::move(m));
  }
  fontMenu.items.insert(at, items.begin(), items.end());
  ++e.menu.revision;
}

int MenuKeywordCommand(std::string_view keyword) {
  for (const Keyword& k : kKeywords) {
    if (keyword == k.word) return k.command;
  }
  return 0;
}

MenuItem* FindMenuItem(std::vector<MenuItem>& menu, int command) {
  for (MenuItem& m : menu) {
    if (!m.submenu && m.command == command) return &m;
    if (m.submenu) {
      if (MenuItem* found = FindMenuItem(m.items, command)) return found;
    }
  }
  return nullptr;
}

void CheckMenuItem(Engine& e, int command, bool checked) { SetChecked(e.menu.bar, command, checked); }

void TickMenuSettings(Engine& e) {
  if (e.menu.removed) return;
  CheckMenuItem(e, kMenuFull, e.app.fullscreen);
  CheckMenuItem(e, kMenuWindow, !e.app.fullscreen);
  CheckMenuItem(e, kMenuKidokuOn, e.interp.kidokuMode);
  CheckMenuItem(e, kMenuKidokuOff, !e.interp.kidokuMode);
  CheckMenuItem(e, kMenuFontDefault, e.menu.checkedFont == kMenuFontDefault);
}

void Cmd_resetmenu(Engine& e) {
  if (e.menu.customised) ReportError(e, "エラー", "resetmenuは一度だけしか使えません。");
  e.menu.customised = true;
  e.menu.bar.clear();
  ++e.menu.revision;
}

// insertmenu text, keyword [, depth]: the item goes to the top of the menu
// it lands in, so a script lists its items bottom-up.
void Cmd_insertmenu(Engine& e) {
  if (!e.menu.customised) ReportError(e, "エラー", "resetmenuを使わないとメニューをカスタムできません。");
  std::string text, keyword;
  ReadStringArgument(e, text);
  ExpectComma(e);
  ReadWord(e, keyword);
  int32_t depth = 0;
  if (SkipBlanks(e) == ',') {
    ExpectComma(e);
    depth = ReadNumberArgument(e);
  }
  MenuItem item;
  item.text = Sjis(text);
  if (keyword == "font") {
    item = FontSubmenu(item.text);
    FillFontMenu(e, item);
  } else if (keyword == "sub") {
    item.submenu = true;
  } else if (int command = MenuKeywordCommand(keyword)) {
    item.command = command;
    if (command == kMenuTextSpeed) e.menu.hasTextSpeedItem = true;
  } else {
    ReportError(e, "エラー", "メニューカスタマイズ指定が間違っています。");
  }
  std::vector<MenuItem>* menu = depth < 0 ? nullptr : MenuAtDepth(e.menu.bar, depth);
  if (!menu) ReportError(e, "エラー", Format("insertmenuの階層%dにサブメニューがありません。", depth));
  menu->insert(menu->begin(), std::move(item));
  ++e.menu.revision;
}

void Cmd_deletemenu(Engine& e) {
  e.menu.removed = true;
  e.menu.customised = true;
  ++e.menu.revision;
}

// killmenu n: removes the item at position n of the bar; a position past
// the end removes nothing.
void Cmd_killmenu(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  std::vector<MenuItem>& bar = e.menu.bar;
  if (n >= 0 && static_cast<size_t>(n) < bar.size()) bar.erase(bar.begin() + n);
  ++e.menu.revision;
}

void Cmd_delbgmvol(Engine& e) {
  RemoveCommand(e.menu.bar, kMenuVolume);
  ++e.menu.revision;
}

}  // namespace sorv
