// The main window in whole headless games: the menu commands, the drawn menu
// bar (--menubar puts its strip in the screenshot, 20 rows above the
// picture), its mouse and keyboard tracking, the dialogs and the close
// question.
#include <gtest/gtest.h>

#include <string>

#include "platform/encoding.h"
#include "platform/png_reader.h"
#include "shell/dialogs.h"
#include "shell/menu.h"
#include "shell/menubar.h"
#include "shell/window.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using platform::Utf8ToSjis;

std::string Game(const std::string& define, const std::string& body) {
  return Utf8ToSjis("*define\n" + define + "game\n*start\n" + body);
}

struct PlayOptions {
  bool menuBar = false;
  bool screenshot = false;
  int64_t maxTimeMs = 60000;
  bool debug = false;
};

struct Outcome {
  test::RunResult r;
  platform::testing::RgbImage shot;
  Engine& e() { return *r.engine; }
  bool Checked(int command) { return FindMenuItem(r.engine->menu.bar, command)->checked; }
};

Outcome Play(const std::string& script, const std::string& events, PlayOptions run = {}) {
  test::TempDir dir;
  dir.Write("0.txt", script);
  dir.Write("events", events);
  if (run.debug) dir.Write("debug.314", "");
  platform::Options o;
  o.eventsFile = dir.File("events");
  o.menuBar = run.menuBar;
  o.maxTimeMs = run.maxTimeMs;
  if (run.screenshot) o.screenshotFile = dir.File("shot.png");
  Outcome out{test::RunGameDir(dir.path(), o), {}};
  if (run.screenshot) out.shot = platform::testing::ReadPngRgb(dir.File("shot.png"));
  return out;
}

// Pixels darker than the strip's grey in columns [x0, x1) of the strip
// (its bottom line left out): where a title's text was drawn.
int InkIn(const platform::testing::RgbImage& img, int x0, int x1) {
  int n = 0;
  for (int y = 0; y < kMenuBandHeight - 1; ++y) {
    for (int x = x0; x < x1; ++x) n += (img.At(x, y) & 0xFF) < 0x80;
  }
  return n;
}

constexpr const char* kWait = "あ@\nend\n";

TEST(MenuCommands, EachChangesWhatItNames) {
  Outcome o = Play(Game("", kWait),
                   "100 menu 40016\n110 menu 40007\n120 menu 40018\n130 menu 40002\n140 menu 40025\n"
                   "150 menu 40022\n1000 click 5 5\n");
  ASSERT_EQ(o.r.status, 0) << o.r.errorText;
  EXPECT_EQ(o.e().text.userSpeedIndex, 2);
  EXPECT_TRUE(o.Checked(kMenuTextFast));
  EXPECT_FALSE(o.Checked(kMenuTextMiddle));
  EXPECT_TRUE(o.e().text.pageAtATime);
  EXPECT_TRUE(o.Checked(kMenuClickPage));
  EXPECT_FALSE(o.Checked(kMenuClickDef));
  EXPECT_FALSE(o.e().sound.effectsOn);
  EXPECT_TRUE(o.Checked(kMenuWaveOff));
  EXPECT_FALSE(o.Checked(kMenuWaveOn));
  EXPECT_TRUE(o.e().app.fullscreen);
  EXPECT_TRUE(o.r.platform->IsFullscreen());
  EXPECT_TRUE(o.Checked(kMenuFull));
  EXPECT_FALSE(o.Checked(kMenuWindow));
  EXPECT_TRUE(o.e().interp.kidokuMode);
  EXPECT_FALSE(o.e().sound.cdOn);

  // And back: windowed, normal speed, page mode off, effects on.
  Outcome back = Play(Game("", kWait),
                      "100 menu 40002\n110 menu 40003\n120 menu 40014\n130 menu 40008\n140 menu 40017\n"
                      "1000 click 5 5\n");
  EXPECT_FALSE(back.e().app.fullscreen);
  EXPECT_FALSE(back.r.platform->IsFullscreen());
  EXPECT_EQ(back.e().text.userSpeedIndex, 0);
  EXPECT_FALSE(back.e().text.pageAtATime);
  EXPECT_TRUE(back.e().sound.effectsOn);
  EXPECT_TRUE(back.Checked(kMenuWindow));
}

TEST(MenuCommands, AutoModeAndSkipCarryTheGameWithoutClicks) {
  // Nobody clicks: only the mode moves the game on before the time runs out.
  PlayOptions quick;
  quick.maxTimeMs = 20000;
  Outcome none = Play(Game("", "あ@\nい@\nend\n"), "", quick);
  EXPECT_EQ(none.r.status, 3);
  Outcome autoMode = Play(Game("", "あ@\nい@\nend\n"), "100 menu 40019\n", quick);
  EXPECT_EQ(autoMode.r.status, 0);
  EXPECT_TRUE(autoMode.e().input.autoMode);
  Outcome skip = Play(Game("", "あ@\nい@\nう@\nend\n"), "100 menu 40006\n", quick);
  EXPECT_EQ(skip.r.status, 0);
  // With already-read skipping on, unread text is not skipped.
  Outcome unread = Play(Game("", "あ@\nい@\nend\n"), "100 menu 40025\n110 menu 40006\n", quick);
  EXPECT_EQ(unread.r.status, 3);
  EXPECT_FALSE(unread.e().interp.skipMode);
}

TEST(MenuBar, InsertedItemsAreDrawnInTheStripAndRunTheirCommands) {
  PlayOptions shot;
  shot.menuBar = true;
  shot.screenshot = true;
  const std::string define = "resetmenu\ninsertmenu \"終了\",END\ninsertmenu \"全画面\",FULL\n";
  Outcome o = Play(Game(define, "bg #336699,1\n" + std::string(kWait)), "1000 click 5 5\n", shot);
  ASSERT_EQ(o.r.status, 0) << o.r.errorText;
  ASSERT_TRUE(o.shot.ok);
  ASSERT_EQ(o.shot.width, 640);
  ASSERT_EQ(o.shot.height, 480 + kMenuBandHeight);
  // FULL was inserted last, so it is the first title: 全画面 then 終了.
  std::vector<TextRect> titles = MenuTitleRects(o.e());
  ASSERT_EQ(titles.size(), 2u);
  EXPECT_EQ(titles[0].w, 3 * kMenuGlyph + 10);
  EXPECT_GT(InkIn(o.shot, titles[0].x, titles[0].x + titles[0].w), 20);
  EXPECT_GT(InkIn(o.shot, titles[1].x, titles[1].x + titles[1].w), 20);
  EXPECT_EQ(InkIn(o.shot, titles[1].x + titles[1].w, 640), 0);
  EXPECT_EQ(o.shot.At(600, 5), 0xD4D0C8u);
  // The picture starts below it.
  const Surface& d = o.e().scene.display;
  const uint8_t* top = d.bits.data() + static_cast<size_t>(d.height - 1) * d.stride + 600 * 3;
  EXPECT_EQ(o.shot.At(600, kMenuBandHeight), uint32_t{top[2]} << 16 | uint32_t{top[1]} << 8 | top[0]);

  // A click on the first title runs FULL: full screen, and the strip goes.
  Outcome full = Play(Game(define, kWait), "500 click 20 -10\n1000 click 5 5\n", shot);
  EXPECT_TRUE(full.e().app.fullscreen);
  EXPECT_EQ(full.shot.height, 480);
  // The second ends the game after the question.
  Outcome end = Play(Game(define, "あ@\nmov %1,1\nend\n"), "500 click 70 -10\n0 answer yes\n1000 click 5 5\n", shot);
  EXPECT_TRUE(end.e().app.closeRequested);
  EXPECT_EQ(end.r.Int(1), 0);
}

TEST(MenuBar, DropDownsOpenByMouseAndKeyboardAndTheStripIsNotTheGames) {
  PlayOptions bar;
  bar.menuBar = true;
  // 画面 is the first title; its first item is フルスクリーン.
  Outcome mouse = Play(Game("", kWait), "500 click 10 -10\n600 click 30 10\n1000 click 5 5\n", bar);
  EXPECT_TRUE(mouse.e().app.fullscreen);
  // A later title's menu opens under it: 文字速度's third item is 高速.
  std::vector<TextRect> titles = MenuTitleRects(mouse.e());
  const std::string x = std::to_string(titles[3].x + 10);
  Outcome speed = Play(Game("", kWait), "500 click " + x + " -10\n600 click " + x + " 50\n1000 click 5 5\n", bar);
  EXPECT_EQ(speed.e().text.userSpeedIndex, 2);
  // F10, three titles right to 文字速度, down into it, down twice to 高速.
  Outcome keys = Play(Game("", kWait),
                      "500 key f10\n510 key right\n520 key right\n530 key right\n540 key down\n550 key down\n"
                      "560 key down\n570 key enter\n1000 click 5 5\n",
                      bar);
  EXPECT_EQ(keys.e().text.userSpeedIndex, 2);
  EXPECT_TRUE(keys.Checked(kMenuTextFast));
  // The nested CD-DA再生 submenu: title 8 (CD-DA), down, right, down, enter: オフ.
  Outcome nested = Play(Game("", kWait),
                        "500 key f10\n" + [] {
                          std::string s;
                          for (int i = 0; i < 7; ++i) s += std::to_string(501 + i) + " key right\n";
                          return s;
                        }() + "510 key down\n520 key down\n530 key right\n540 key down\n550 key enter\n"
                              "1000 click 5 5\n",
                        bar);
  EXPECT_FALSE(nested.e().sound.cdOn);
  // Escape and a press elsewhere leave the menu; clicks on the strip or on
  // an open menu never end the game's click wait.
  Outcome strip = Play(Game("", "あ@\ngettimer %1\nend\n"),
                       "300 click 630 -10\n400 key f10\n410 key escape\n"
                       "500 click 10 -10\n600 click 300 300\n1000 click 5 5\n",
                       bar);
  EXPECT_EQ(strip.r.status, 0) << strip.r.errorText;
  EXPECT_NEAR(strip.r.Int(1), 1000, 30);
  EXPECT_FALSE(strip.e().app.fullscreen);
  EXPECT_FALSE(strip.e().menu.busy);
}

TEST(MenuBar, KillmenuAndDeletemenuTakeTheStripAway) {
  PlayOptions bar;
  bar.menuBar = true;
  bar.screenshot = true;
  const std::string define = "resetmenu\ninsertmenu \"終了\",END\n";
  Outcome kept = Play(Game(define, kWait), "1000 click 5 5\n", bar);
  int w, h;
  kept.r.platform->ClientSize(w, h);
  EXPECT_EQ(h, 480 + kMenuBandHeight);
  Outcome killed = Play(Game(define + "killmenu 0\n", kWait), "1000 click 5 5\n", bar);
  ASSERT_EQ(killed.r.status, 0) << killed.r.errorText;
  killed.r.platform->ClientSize(w, h);
  EXPECT_EQ(h, 480);  // the window shrank by the strip
  EXPECT_EQ(killed.shot.height, 480);
  Outcome deleted = Play(Game("deletemenu\n", kWait), "500 menu 40029\n600 menu 40029\n1000 click 5 5\n", bar);
  deleted.r.platform->ClientSize(w, h);
  EXPECT_EQ(h, 480);  // and full screen and back does not bring it again
}

TEST(FullScreen, AltEnterTwiceComesBackWithTheStrip) {
  PlayOptions bar;
  bar.menuBar = true;
  Outcome once = Play(Game("", kWait), "500 keydown alt\n510 key enter\n520 keyup alt\n1000 click 5 5\n", bar);
  EXPECT_TRUE(once.e().app.fullscreen);
  EXPECT_EQ(once.e().menu.bandShown, 0);
  Outcome twice =
      Play(Game("", kWait), "500 keydown alt\n510 key enter\n520 key enter\n530 keyup alt\n1000 click 5 5\n", bar);
  EXPECT_FALSE(twice.e().app.fullscreen);
  EXPECT_EQ(twice.e().menu.bandShown, kMenuBandHeight);
  EXPECT_TRUE(twice.Checked(kMenuWindow));
  EXPECT_FALSE(twice.e().menu.busy);  // Alt released after Enter opens no menu
}

TEST(Dialogs, VersionBoxShowsTheVersionTexts) {
  Outcome plain = Play(Game("", kWait), "100 menu 40005\n200 key enter\n1000 click 5 5\n");
  EXPECT_NE(plain.r.stderrText.find("バージョン情報: Sorvane Version 2.96 OK"), std::string::npos) << plain.r.stderrText;
  Outcome o = Play(Game("versionstr \"夢の国 1.0\",\"(c) 2026\"\n", kWait), "100 menu 40005\n200 key enter\n1000 click 5 5\n");
  ASSERT_EQ(o.r.status, 0) << o.r.errorText;
  EXPECT_EQ(LastDialogStrings(o.e()), (std::vector<std::string>{"バージョン情報", "夢の国 1.0", "(c) 2026", "OK"}));
  EXPECT_FALSE(o.e().menu.busy);
}

TEST(Dialogs, DebugFlagTurnsTheVersionItemIntoTheVariableEditor) {
  PlayOptions debug;
  debug.debug = true;
  Outcome o = Play(Game("", "あ@\nend\n"),
                   "100 menu 40005\n110 text 12\n120 key enter\n130 text -345\n140 key enter\n1000 click 5 5\n", debug);
  ASSERT_EQ(o.r.status, 0) << o.r.errorText;
  EXPECT_EQ(o.r.Int(12), -345);
  Outcome bad = Play(Game("", "あ@\nend\n"), "100 menu 40005\n110 text 99999\n120 key enter\n1000 click 5 5\n", debug);
  EXPECT_EQ(bad.r.status, 1);
  EXPECT_EQ(bad.r.errorMessage, "変数番号が範囲外をさしています。");
}

TEST(Dialogs, SpeedSlidersStoreTheirValues) {
  const std::string define = "settextspeed 0,100\ndefaultspeed 40,10,0\n";
  Outcome text = Play(Game(define, kWait), "100 menu 40030\n110 key right\n120 key right\n130 key enter\n1000 click 5 5\n");
  EXPECT_EQ(text.e().textSettings.userSpeeds[0], 50);
  EXPECT_EQ(text.e().textWindow.window.speed, 50);
  Outcome cancelled = Play(Game(define, kWait), "100 menu 40030\n110 key right\n130 key escape\n1000 click 5 5\n");
  EXPECT_EQ(cancelled.e().textSettings.userSpeeds[0], 40);
  Outcome autoSpeed = Play(Game("", kWait), "100 menu 40031\n110 key left\n120 key left\n130 key enter\n1000 click 5 5\n");
  EXPECT_EQ(autoSpeed.e().input.settings.autoModeTime, 800);
  // A range narrower than the speed: the slider starts clamped into it.
  Outcome narrow = Play(Game("settextspeed 0,20\n", kWait), "100 menu 40030\n130 key enter\n1000 click 5 5\n");
  EXPECT_EQ(narrow.e().textSettings.userSpeeds[0], 20);
}

TEST(CloseRequest, NoKeepsTheGameRunningAndYesEndsIt) {
  const std::string body = "あ@\nmov %1,1\nend\n";
  Outcome no = Play(Game("", body), "100 close\n0 answer no\n1000 click 5 5\n");
  ASSERT_EQ(no.r.status, 0) << no.r.errorText;
  EXPECT_NE(no.r.stderrText.find("结束确认: 是否结束游戏？"), std::string::npos);
  EXPECT_EQ(no.r.Int(1), 1);
  Outcome yes = Play(Game("", body), "100 menu 40019\n100 close\n0 answer yes\n1000 click 5 5\n");
  EXPECT_EQ(yes.r.status, 0);
  EXPECT_EQ(yes.r.Int(1), 0);
  EXPECT_TRUE(yes.e().app.closeRequested);
  EXPECT_FALSE(yes.e().input.autoMode);  // closing turns the modes off
  // englishdialog's texts are the question's.
  Outcome english = Play(Game("englishdialog\n", body), "100 menu 40001\n0 answer no\n1000 click 5 5\n");
  EXPECT_NE(english.r.stderrText.find("quit: quit?"), std::string::npos) << english.r.stderrText;
  EXPECT_EQ(english.r.Int(1), 1);
}

TEST(FontMenu, FacesFillSlotsAndTheChoiceBecomesTheFace) {
  std::vector<std::string> faces = EnumerateMenuFonts();
  ASSERT_LE(faces.size(), static_cast<size_t>(kMaxFontSlots));
  for (const std::string& f : faces) EXPECT_TRUE(f.empty() || f[0] != '@');
  int slot = -1;
  for (size_t i = 0; i < faces.size() && slot < 0; ++i) {
    if (!faces[i].empty()) slot = static_cast<int>(i);
  }
  const std::string define = "resetmenu\ninsertmenu \"フォント\",font\n";
  Outcome o = Play(Game(define, kWait),
                   (slot >= 0 ? "100 menu " + std::to_string(slot) + "\n" : std::string()) + "1000 click 5 5\n");
  ASSERT_EQ(o.r.status, 0) << o.r.errorText;
  const MenuItem& sub = o.e().menu.bar.at(0);
  ASSERT_TRUE(sub.submenu);
  EXPECT_EQ(sub.items.back().command, kMenuFontDefault);  // the faces go above デフォルト
  if (slot < 0) GTEST_SKIP() << "no fixed-pitch Japanese face on this system";
  EXPECT_EQ(o.e().textSettings.currentFace, Utf8ToSjis(faces[static_cast<size_t>(slot)]));
  EXPECT_TRUE(o.Checked(slot));
  EXPECT_FALSE(o.Checked(kMenuFontDefault));
}

}  // namespace
}  // namespace sorv
