// Buttons in whole headless games: definitions, hit testing, the waits and
// what they return, hover drawing and action strings.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "graphics/picture_files.h"
#include "graphics/scene.h"
#include "input/buttons.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using test::RunResult;
using test::RunWithEvents;

// Events count from the start of the run; the games start their own clock
// at 1000 ms so the times below are easy to read.
std::string Game(const std::string& body, const std::string& define = "") {
  return "*define\n" + define + "game\n*start\nwaittimer 1000\nresettimer\n" + body;
}

// Two full-width characters on a 20 x 20 grid, two cells: a 40 x 20 sprite.
const char* kTwoCellSprite = "\":s/20,20,0;#FF0000#00FF00\x82\xA0\x82\xA0\"";

TEST(ButtonCommands, BtnwaitKeepsButtonsOnZeroAndFreesThemOnAHit) {
  auto r = RunWithEvents(Game("btndef \"\"\nbtn 3,100,100,50,50,0,0\n"
                              "btnwait %1\nbtnwait %2\nbtnwait %3\nend\n"),
                         "1100 click 10 10\n1200 click 149 149\n1300 click 120 120\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 0);
  EXPECT_EQ(r.Int(2), 3);  // right and bottom are inclusive
  EXPECT_EQ(r.Int(3), 0);  // the hit emptied the table
  EXPECT_TRUE(r.engine->buttons.table.empty());
}

TEST(ButtonCommands, Btnwait2KeepsEverythingAndGetbtntimerMeasures) {
  auto r = RunWithEvents(Game("btndef \"\"\nbtn 3,100,100,50,50,0,0\n"
                              "btnwait2 %1\ngetbtntimer %2\nbtnwait2 %3\nend\n"),
                         "1250 click 120 120\n1300 click 120 120\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 3);
  EXPECT_NEAR(r.Int(2), 250, 2);
  EXPECT_EQ(r.Int(3), 3);
}

TEST(ButtonCommands, LastHitWinsMaskAndDelbtn) {
  auto r = RunWithEvents(Game("btndef \"\"\n"
                              "btn 1,0,0,100,100,0,0\nbtn 2,50,50,100,100,0,0\nbtn 7,300,0,50,50,0,0\n"
                              "btn 4,400,0,50,50,0,0\n"
                              "btnwait2 %1\nmaskbtn 5\nbtnwait2 %2\nbtnwait2 %3\nmaskbtn -1\n"
                              "delbtn 4\nbtnwait2 %4\nbtnwait2 %5\nend\n"),
                         "1100 click 60 60\n1200 click 60 60\n1300 click 310 10\n"
                         "1400 click 410 10\n1500 click 10 10\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 2);  // both are hit: the later one wins
  EXPECT_EQ(r.Int(2), 0);  // 1 and 2 are masked
  EXPECT_EQ(r.Int(3), 7);
  EXPECT_EQ(r.Int(4), 0);  // deleted: its left edge moved to 999
  EXPECT_EQ(r.Int(5), 1);
  ASSERT_EQ(r.engine->buttons.table.size(), 4u);
  EXPECT_EQ(r.engine->buttons.table[3].left, 999);
}

TEST(ButtonCommands, RightClickAndTheWheelWithUsewheel) {
  auto r = RunWithEvents(Game("btndef \"\"\nbtnwait %1\nbtnwait %2\nbtnwait %3\nend\n", "usewheel\n"),
                         "1100 rclick 10 10\n1200 wheel 1\n1300 wheel -1\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), -1);
  EXPECT_EQ(r.Int(2), -2);
  EXPECT_EQ(r.Int(3), -3);

  // Without usewheel the wheel does not end the wait.
  auto plain = RunWithEvents(Game("btndef \"\"\nbtnwait %1\ngettimer %2\nend\n"),
                             "1100 wheel 1\n1300 click 10 10\n");
  ASSERT_EQ(plain.status, 0) << plain.errorText;
  EXPECT_EQ(plain.Int(1), 0);
  EXPECT_NEAR(plain.Int(2), 300, 2);
}

TEST(ButtonCommands, TimeoutsAndBtndefResettingThem) {
  auto r = RunWithEvents(Game("btndef \"\"\nbtntime 200\nbtnwait %1\nbtndef clear\nbtnwait %2\nend\n", "usewheel\n"),
                         "1500 click 1 1\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), -5);
  EXPECT_EQ(r.Int(2), 0);  // btndef took the timeout away: the click ended it
}

TEST(ButtonCommands, SkipModePassesClickWaitsAndEndsAtBtnwait) {
  auto r = RunWithEvents(Game("wait 10\n\x82\xA0@\x82\xA0@\n\x82\xA0\\\nisskip %1\ngettimer %2\n"
                              "btndef \"\"\nbtnwait %3\nisskip %4\ngettimer %5\nend\n"),
                         "1005 text n\n1500 click 5 5\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 1);
  EXPECT_LT(r.Int(2), 200);  // no wait held the text up
  EXPECT_EQ(r.Int(3), 0);
  EXPECT_EQ(r.Int(4), 0);    // the button wait turned skipping off
  EXPECT_NEAR(r.Int(5), 500, 2);  // and waited for the click
}

TEST(TextButtons, AClickedTextButtonReturnsItsNumber) {
  // "a<1 b c>d": the button covers columns 1 and 2 of the first line.
  auto r = RunWithEvents(Game("\x82\xA0<1\x82\xA2\x82\xA4>\x82\xA6<\x82\xA8>\n"
                              "textbtnwait %1\ntextbtnwait %2\ntextbtnwait %3\nbtnwait2 %4\n"
                              "tbtnwait %5\ntextbtnwait %6\nend\n"),
                         "1500 click 60 30\n1600 click 140 30\n1700 click 10 30\n1800 click 60 30\n"
                         "1900 click 60 30\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 1);
  EXPECT_EQ(r.Int(2), 2);  // numbered on from the explicit 1
  EXPECT_EQ(r.Int(3), 0);  // left of the button
  EXPECT_EQ(r.Int(4), 0);  // btnwait2 does not look at text buttons
  EXPECT_EQ(r.Int(5), 0);
  EXPECT_EQ(r.Int(6), 0);  // tbtnwait emptied the page's buttons
}

TEST(TextButtons, TheButtonUnderThePointerTakesTheSecondLinkColour) {
  auto r = RunWithEvents(Game("linkcolor #112233,#445566\n\x82\xA0<\x82\xA2\x82\xA4>\x82\xA6\n"
                              "textbtnwait %1\nend\n"),
                         "1500 move 60 30\n1600 click 60 30\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 1);
  const auto& cells = r.engine->text.pageCells;
  ASSERT_EQ(cells.size(), 4u);
  EXPECT_EQ(cells[0].colour, 0xFFFFFF);
  EXPECT_EQ(cells[1].colour, 0x445566);
  EXPECT_EQ(cells[2].colour, 0x445566);
  EXPECT_EQ(cells[3].colour, 0xFFFFFF);
}

// The default window: origin 21, 16; cells 26 x 28; 23 columns (x < 619).
TEST(TextButtons, HitTestingOfOneLineAndWrappedButtons) {
  test::ScriptEngine se("end\n");
  Engine& e = *se;
  e.text.buttons.push_back({4, 47, 16, 98, "", ""});   // columns 1-2 of line 0
  e.text.buttons.push_back({5, 567, 16, 72, "", ""});  // column 21 on, wrapped to columns 0-1 of line 1
  auto at = [&](int32_t x, int32_t y) {
    std::optional<int32_t> i = ButtonIndexAt(e, x, y, true);
    return i ? ButtonNumber(e, *i) : -1;
  };
  EXPECT_EQ(at(48, 17), 4);
  EXPECT_EQ(at(47, 30), -1);  // the edges themselves do not count
  EXPECT_EQ(at(98, 30), -1);
  EXPECT_EQ(at(60, 44), -1);
  EXPECT_EQ(at(618, 30), 5);  // first line: to the window's last column
  EXPECT_EQ(at(619, 30), -1);
  EXPECT_EQ(at(50, 50), 5);   // second line: from the origin to the right edge
  EXPECT_EQ(at(21, 50), -1);
  EXPECT_EQ(at(72, 50), -1);
  EXPECT_EQ(at(600, 50), -1);
  EXPECT_EQ(ButtonIndexAt(e, 50, 50, false), std::nullopt);  // textbtnoff or btnwait
  e.buttons.mask = 4;
  EXPECT_EQ(at(48, 17), -1);
}

TEST(TextButtons, TextbtnoffAndTextexbtnActions) {
  auto r = RunWithEvents(Game(std::string("lsp 5,") + kTwoCellSprite + ",300,300\nvsp 5,0\n" +
                              "\x82\xA0<\x82\xA2\x82\xA4>\n"
                              "textexbtn 1,\"P5,1\"\ntextbtnwait %1\ntextbtnoff\ntextbtnwait %2\nend\n"),
                         "1500 move 60 30\n1600 click 60 30\n1700 click 60 30\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 1);
  EXPECT_EQ(r.Int(2), 0);
  // The second wait put the lit button back in the first link colour.
  const auto& cells = r.engine->text.pageCells;
  ASSERT_EQ(cells.size(), 3u);
  EXPECT_EQ(cells[1].colour, r.engine->textWindow.linkColours[0]);
  EXPECT_EQ(cells[2].colour, r.engine->textWindow.linkColours[0]);
  const Sprite& sp = r.engine->scene.sprites[5];
  EXPECT_TRUE(sp.visible);  // the hover ran the button's action
  EXPECT_EQ(sp.image.currentCell, 1);
}

TEST(SpriteButtons, HoverShowsCellOne) {
  auto r = RunWithEvents(Game(std::string("lsp 1,") + kTwoCellSprite + ",100,100\nprint 1\n" +
                              "btndef \"\"\nspbtn 1,8\nspbtn 2,9\nbtnwait2 %1\nend\n"),
                         "1100 move 110 110\n1150 click 110 110\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 8);
  EXPECT_EQ(r.engine->buttons.table.size(), 1u);  // sprite 2 has no picture
  EXPECT_EQ(r.engine->scene.sprites[1].image.currentCell, 1);
}

TEST(SpriteButtons, TransbtnNeedsAnOpaquePixel) {
  // The left half has the top-left pixel's colour: transparent.
  auto write = [](test::TempDir& dir) {
    dir.Write("sp.png", test::Bytes(test::EncodePng(40, 20, [](int32_t x, int32_t) {
                return x < 20 ? 0xFFFF00FFu : 0xFFFF0000u;
              })));
  };
  auto r = RunWithEvents(Game("lsp 3,\"sp.png\",300,300\nprint 1\nbtndef \"\"\nspbtn 3,9\n"
                              "btnwait2 %1\ntransbtn\nbtnwait2 %2\nbtnwait2 %3\nend\n"),
                         "1100 click 305 305\n1200 click 305 305\n1300 click 330 305\n", write);
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 9);
  EXPECT_EQ(r.Int(2), 0);
  EXPECT_EQ(r.Int(3), 9);
}

TEST(ImageButtons, HoverCopiesFromTheButtonImageAndLeavingRestores) {
  auto write = [](test::TempDir& dir) {
    dir.Write("btn.png", test::Bytes(test::EncodePng(40, 20, [](int32_t x, int32_t) {
                return x < 20 ? 0xFFFF0000u : 0xFF0000FFu;
              })));
  };
  auto r = RunWithEvents(Game("bg #102030,1\nbtndef \"btn.png\"\nbtn 1,100,100,20,20,20,0\n"
                              "btnwait2 %1\nend\n"),
                         "1100 move 105 105\n1200 move 300 300\n1300 move 110 110\n1400 click 500 400\n",
                         write);
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 0);
  EXPECT_EQ(test::At(r.engine->scene.display, 110, 110), 0x0000FFu);  // from x 20 of the image
  EXPECT_EQ(test::At(r.engine->scene.display, 99, 110), 0x102030u);

  auto left = RunWithEvents(Game("bg #102030,1\nbtndef \"btn.png\"\nbtn 1,100,100,20,20,20,0\n"
                                 "btnwait2 %1\nend\n"),
                            "1100 move 105 105\n1200 move 300 300\n1400 click 500 400\n", write);
  ASSERT_EQ(left.status, 0) << left.errorText;
  EXPECT_EQ(test::At(left.engine->scene.display, 110, 110), 0x102030u);
}

TEST(ButtonTable, OverflowAtTheFiveHundredTwelfthButton) {
  auto ok = test::RunScript("*define\ngame\n*start\nbtndef \"\"\nfor %1=1 to 511\nbtn %1,0,0,1,1,0,0\nnext\nend\n");
  ASSERT_EQ(ok.status, 0) << ok.errorText;
  EXPECT_EQ(ok.engine->buttons.table.size(), 511u);

  auto over = test::RunScript("*define\ngame\n*start\nbtndef \"\"\nfor %1=1 to 512\nbtn %1,0,0,1,1,0,0\nnext\nend\n");
  EXPECT_EQ(over.status, 1);
  EXPECT_EQ(over.errorTitle, "エラー");
  EXPECT_EQ(over.errorMessage, "ボタン定義がオーバーフローしました。btndef命令は適切に使われていますか？");
}

TEST(ButtonTable, WaitTargetsMustBeIntegerVariables) {
  const char* cases[][2] = {{"btnwait $1", "btnwaitの第一引数は数字変数です。"},
                            {"btnwait2 $1", "btnwaitの第一引数は数字変数です。"},
                            {"textbtnwait $1", "textbtnwaitの第一引数は数字変数です。"},
                            {"selectbtnwait $1", "textbtnwaitの第一引数は数字変数です。"},
                            {"tbtnwait $1", "tbtnwaitの第一引数は数字変数です。"}};
  for (auto& c : cases) {
    auto r = test::RunScript(std::string("*define\ngame\n*start\n") + c[0] + "\nend\n");
    EXPECT_EQ(r.status, 1) << c[0];
    EXPECT_EQ(r.errorMessage, c[1]) << c[0];
  }
}

TEST(ActionStrings, SpriteItemsAndMalformedStrings) {
  test::ScriptEngine se("end\n");
  Engine& e = *se;
  for (int s = 1; s <= 4; ++s) {
    Sprite& sp = e.scene.sprites[static_cast<size_t>(s)];
    ASSERT_TRUE(CreateSurface(sp.image.surface, 20, 10));
    sp.image.cellCount = 2;
    sp.visible = true;
  }
  RunActionString(e, " C1-2\tP3,1 M4,10,-5 P7 C900-2000");
  EXPECT_FALSE(e.scene.sprites[1].visible);
  EXPECT_FALSE(e.scene.sprites[2].visible);
  EXPECT_EQ(e.scene.sprites[3].image.currentCell, 1);
  EXPECT_EQ(e.scene.sprites[4].x, 10);
  EXPECT_EQ(e.scene.sprites[4].y, -5);
  EXPECT_FALSE(e.scene.sprites[7].visible);  // no picture: skipped
  RunActionString(e, "P3,9");
  EXPECT_EQ(e.scene.sprites[3].image.currentCell, 1);  // held to the last cell

  for (const char* bad : {"X1", "P", "S1(a.wav)", "S1,a.wav", "S1,(a.wav", "M1,2"}) {
    auto err = test::ExpectScriptError([&] { RunActionString(e, bad); });
    EXPECT_EQ(err.title, "エラー") << bad;
    EXPECT_EQ(err.message, std::string("拡張ボタン指定が間違っています：") + bad) << bad;
  }
}

TEST(ActionStrings, AMalformedDefaultActionStopsTheGame) {
  auto r = RunWithEvents(Game(std::string("lsp 1,") + kTwoCellSprite + ",100,100\n" +
                              "btndef \"\"\nexbtn_d \"Q1\"\nexbtn 1,1,\"P1,1\"\nbtnwait %1\nend\n"),
                         "1500 click 1 1\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorMessage, "拡張ボタン指定が間違っています：Q1");
}

TEST(ExtendedButtons, HoverRunsTheDefaultThenTheButtonsAction) {
  std::string setup = std::string("lsp 1,") + kTwoCellSprite + ",100,100\nlsp 2," + kTwoCellSprite +
                      ",300,300\nprint 1\nbtndef \"\"\nexbtn_d \"C2\"\nexbtn 1,1,\"P2,1\"\n";
  auto over = RunWithEvents(Game(setup + "btnwait2 %1\nend\n"), "1100 move 110 110\n1200 click 110 110\n");
  ASSERT_EQ(over.status, 0) << over.errorText;
  EXPECT_EQ(over.Int(1), 1);
  EXPECT_TRUE(over.engine->scene.sprites[2].visible);
  EXPECT_EQ(over.engine->scene.sprites[2].image.currentCell, 1);

  auto away = RunWithEvents(Game(setup + "btnwait2 %1\nend\n"),
                            "1100 move 110 110\n1150 move 5 5\n1200 click 5 5\n");
  ASSERT_EQ(away.status, 0) << away.errorText;
  EXPECT_EQ(away.Int(1), 0);
  EXPECT_FALSE(away.engine->scene.sprites[2].visible);  // leaving ran the default action
}

}  // namespace
}  // namespace sorv
