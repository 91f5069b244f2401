// The *define block's settings: limits and messages, the menu model, the
// effect table, `game`, and the return to the defaults on a restart pass.
#include <gtest/gtest.h>

#include <string>

#include "shell/menu.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using test::RunScript;

std::string Define(const std::string& block, const std::string& body = "end\n") {
  return "*define\n" + block + "\ngame\n*start\n" + body;
}

void ExpectError(const std::string& block, const char* title, const char* message) {
  auto r = RunScript(Define(block));
  EXPECT_EQ(r.status, 1) << block;
  EXPECT_EQ(r.errorTitle, title) << block;
  EXPECT_EQ(r.errorMessage, message) << block;
}

std::vector<int> Commands(const std::vector<MenuItem>& menu) {
  std::vector<int> out;
  for (const MenuItem& m : menu) out.push_back(m.submenu ? 0 : m.command);
  return out;
}

TEST(DefineBlock, LimitsAndTheirMessages) {
  ExpectError("effect 1,10,500", "パラメータエラー", "effect命令の第一パラメータは2～255です。");
  ExpectError("effect 256,10,500", "パラメータエラー", "effect命令の第一パラメータは2～255です。");
  ExpectError("humanz 1000", "エラー", "humanz指定が範囲外です。");
  ExpectError("humanz -1", "エラー", "humanz指定が範囲外です。");
  ExpectError("defvoicevol 101", "エラー", "ボリュームは０～１００です。");
  ExpectError("defbgmvol -1", "エラー", "ボリュームは０～１００です。");
  ExpectError("setlayer 32,0,\"x.dll\"", "エラー", "レイヤ番号が不正です");
  ExpectError("savedir \"" + std::string(256, 'a') + "\"", "エラー", "ディレクトリ名が長すぎます。");
  ExpectError("luasub main", "エラー", "svlua.dllがありません。");
  ExpectError("rmenu \"save\",save,\"x\",quit", "エラー", "rmenu命令へのパラメータが間違っています。");
  // Refused although the file log is empty and the test would be false.
  ExpectError("if fchk \"a.bmp\" mov %1,1", "エラー", "fchk条件式は、定義ブロックでは使えません。");

  std::string plugins;
  for (int i = 0; i < 51; ++i) plugins += "soundpressplgin \"x.dll|ogg\"\n";
  ExpectError(plugins, "エラー", "Sound press plug-in設定が多すぎます。");
  plugins.resize(plugins.size() - std::string("soundpressplgin \"x.dll|ogg\"\n").size());
  auto fifty = RunScript(Define(plugins));
  EXPECT_EQ(fifty.status, 0) << fifty.errorText;
  EXPECT_EQ(fifty.engine->soundSettings.plugins.size(), 50u);
}

TEST(DefineBlock, BoundaryValuesAreAccepted) {
  auto r = RunScript(Define("humanz 0\ndefvoicevol 0\ndefsevol 100\neffect 255,10,20"));
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.engine->graphicsSettings.humanz, 0);
  EXPECT_EQ(r.engine->soundSettings.defVoiceVol, 0);
  EXPECT_EQ(r.engine->soundSettings.defSeVol, 100);
  EXPECT_EQ(r.engine->graphicsSettings.effects[255].duration, 20);
}

// Type 1 reads no duration: what follows the colon is the next statement.
TEST(DefineBlock, EffectReadsOnlyWhatItsTypeTakes) {
  auto r = RunScript(Define("effect 2,1:humanz 7\neffect 3,10,500\neffect 4,15,800,\"rule.bmp\"\neffect 5,18,300"));
  ASSERT_EQ(r.status, 0) << r.errorText;
  const auto& fx = r.engine->graphicsSettings.effects;
  EXPECT_EQ(r.engine->graphicsSettings.humanz, 7);
  EXPECT_EQ(fx[2].type, 1);
  EXPECT_EQ(fx[3].type, 10);
  EXPECT_EQ(fx[3].duration, 500);
  EXPECT_EQ(fx[4].image, "rule.bmp");
  EXPECT_EQ(fx[5].image, "");  // reported when the effect runs
  EXPECT_EQ(fx[6].type, -1);
  EXPECT_EQ(fx[1].type, 1);
}

TEST(MenuModel, ResetmenuOnlyOnceAndBeforeInsertmenu) {
  ExpectError("resetmenu\nresetmenu", "エラー", "resetmenuは一度だけしか使えません。");
  ExpectError("deletemenu\nresetmenu", "エラー", "resetmenuは一度だけしか使えません。");
  ExpectError("insertmenu \"終了\",end", "エラー", "resetmenuを使わないとメニューをカスタムできません。");
  ExpectError("resetmenu\ninsertmenu \"x\",quit", "エラー", "メニューカスタマイズ指定が間違っています。");
}

TEST(MenuModel, InsertedItemsAppearInReverseOrder) {
  auto r = RunScript(Define("resetmenu\ninsertmenu \"END\",END\ninsertmenu \"FULL\",FULL"));
  ASSERT_EQ(r.status, 0) << r.errorText;
  const auto& bar = r.engine->menu.bar;
  ASSERT_EQ(bar.size(), 2u);
  EXPECT_EQ(bar[0].text, "FULL");
  EXPECT_EQ(bar[0].command, kMenuFull);
  EXPECT_EQ(bar[1].command, kMenuEnd);
  EXPECT_TRUE(r.engine->menu.customised);
}

// A depth goes into the first submenu of each level; "font" brings the
// default font item and "textspeed" marks the script's speed item.
TEST(MenuModel, SubmenusDepthAndSpecialKeywords) {
  auto r = RunScript(Define(
      "resetmenu\ninsertmenu \"End\",end\ninsertmenu \"File\",sub\ninsertmenu \"Reset\",reset,1\n"
      "insertmenu \"Inner\",sub,1\ninsertmenu \"Speed\",textspeed,2\ninsertmenu \"Font\",font"));
  ASSERT_EQ(r.status, 0) << r.errorText;
  const auto& bar = r.engine->menu.bar;
  ASSERT_EQ(bar.size(), 3u);
  EXPECT_TRUE(bar[0].fontList);
  // The system's faces (slots 0-179) above "デフォルト".
  ASSERT_GE(bar[0].items.size(), 1u);
  EXPECT_EQ(bar[0].items.back().command, kMenuFontDefault);
  EXPECT_TRUE(bar[0].items.back().checked);
  for (size_t i = 0; i + 1 < bar[0].items.size(); ++i) EXPECT_LT(bar[0].items[i].command, kMaxFontSlots);
  ASSERT_TRUE(bar[1].submenu);
  EXPECT_EQ(Commands(bar[1].items), (std::vector<int>{0, kMenuReset}));
  EXPECT_EQ(Commands(bar[1].items[0].items), (std::vector<int>{kMenuTextSpeed}));
  EXPECT_EQ(bar[2].command, kMenuEnd);
  EXPECT_TRUE(r.engine->menu.hasTextSpeedItem);

  auto deep = RunScript(Define("resetmenu\ninsertmenu \"x\",end,1"));
  EXPECT_EQ(deep.status, 1);
  EXPECT_NE(deep.errorMessage.find("insertmenu"), std::string::npos);
}

TEST(MenuModel, DeleteKillAndVolumeItem) {
  auto r = RunScript(Define("delbgmvol\nkillmenu 0\nkillmenu 99"));
  ASSERT_EQ(r.status, 0) << r.errorText;
  auto& menu = r.engine->menu;
  EXPECT_EQ(menu.bar.size(), StandardMenu().size() - 1);
  EXPECT_EQ(menu.bar[0].text, "フォント");
  EXPECT_EQ(FindMenuItem(menu.bar, kMenuVolume), nullptr);
  EXPECT_NE(FindMenuItem(menu.bar, kMenuWaveOff), nullptr);
  EXPECT_FALSE(menu.removed);

  auto gone = RunScript(Define("deletemenu"));
  EXPECT_TRUE(gone.engine->menu.removed);
  EXPECT_TRUE(gone.engine->menu.customised);
}

TEST(DefineBlock, SettingsReachTheirRecords) {
  auto r = RunScript(Define(
      "defaultspeed 50,20,5\nclickstr \"\x81\x42\",2\nmaxkaisoupage 40\nlookbacksp 10,11\n"
      "menusetwindow 20,22,4,6,0,1,#112233\nmenuselectcolor #010203,#040506,#070809\n"
      "rmenu \"Save\",save,\"Load\",load,\"End\",end\nsavename \"S\",\"L\",\"N\"\n"
      "englishdialog\nversionstr \"Game 1.0\",\"(c) Maker\"\ndefaultfont \"Face\"\nbgalia 10,20,300,200\n"
      "setkinsoku \"a\",\"b\"\naddkinsoku \"c\",\"d\"\nsavenumber 12"));
  ASSERT_EQ(r.status, 0) << r.errorText;
  const Engine& e = *r.engine;
  EXPECT_EQ(e.textSettings.userSpeeds[2], 5);
  EXPECT_EQ(e.textSettings.clickChars, "\x81\x42");
  EXPECT_EQ(e.textSettings.pageLines, 2);
  EXPECT_EQ(e.textSettings.maxPages, 40);
  EXPECT_EQ(e.textSettings.lookbackDownSprite, 11);
  EXPECT_EQ(e.textSettings.lineStartForbidden, "ac");
  EXPECT_EQ(e.textSettings.lineEndForbidden, "bd");
  EXPECT_EQ(e.shellSettings.menuAdvanceX, 24);
  EXPECT_EQ(e.shellSettings.menuAdvanceY, 28);
  EXPECT_EQ(e.shellSettings.menuTint, 0x112233);
  EXPECT_EQ(e.shellSettings.menuDisabledColour, 0x070809);
  ASSERT_EQ(e.shellSettings.rightClickItems.size(), 3u);
  EXPECT_EQ(e.shellSettings.rightClickItems[2].code, 10);
  EXPECT_EQ(e.shellSettings.rightClickMode, kRightClickMenu);
  EXPECT_EQ(e.shellSettings.slotPrefix, "N");
  EXPECT_EQ(e.shellSettings.quitQuestion, "quit?");
  EXPECT_EQ(e.shellSettings.versionText[1], "(c) Maker");
  EXPECT_EQ(e.graphicsSettings.bgaliaH, 200);
  EXPECT_EQ(e.persistSettings.saveNumber, 12);
  // `game` hands the default face to the renderer and the menu.
  EXPECT_EQ(e.textSettings.currentFace, "Face");
  EXPECT_TRUE(e.interp.gameStarted);
}

TEST(DefineBlock, KinsokuListsStayBounded) {
  std::string block;
  for (int i = 0; i < 40; ++i) block += "addkinsoku \"" + std::string(20, 'x') + "\",\"\"\n";
  auto r = RunScript(Define(block));
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.engine->textSettings.lineStartForbidden.size(), kMaxKinsokuBytes);
}

// The first pass changes settings and starts again with definereset; the
// second pass must see the defaults (and may use resetmenu once more).
TEST(DefineBlock, RestartPassRestoresTheDefaults) {
  auto r = RunScript(
      "*define\nfileexist %1,\"second\"\n"
      "if %1 == 0 humanz 5:resetmenu:savenumber 3:defvoicevol 10:englishdialog:effect 9,10,100:roff\n"
      "if %1 == 1 resetmenu\n"
      "filecreate \"second\"\ngame\n*start\nfileexist %2,\"done\"\nif %2 == 1 end\nfilecreate \"done\"\ndefinereset\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  const Engine& e = *r.engine;
  EXPECT_EQ(e.graphicsSettings.humanz, 499);
  EXPECT_EQ(e.persistSettings.saveNumber, 9);
  EXPECT_EQ(e.soundSettings.defVoiceVol, 100);
  EXPECT_EQ(e.shellSettings.quitQuestion, "是否结束游戏？");
  EXPECT_EQ(e.shellSettings.rightClickMode, kRightClickHideWindow);
  EXPECT_EQ(e.graphicsSettings.effects[9].type, -1);
  EXPECT_TRUE(e.menu.customised);
  EXPECT_TRUE(e.menu.bar.empty());
}

TEST(DefineBlock, GameTicksTheMenuForTheWindowMode) {
  auto r = RunScript(Define("resetmenu\ninsertmenu \"W\",window\ninsertmenu \"F\",full"));
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_FALSE(r.engine->menu.bar[0].checked);
  EXPECT_TRUE(r.engine->menu.bar[1].checked);
}

}  // namespace
}  // namespace sorv
