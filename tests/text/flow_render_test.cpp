// The text renderer on its own: chunks handed straight to it on an engine
// with a virtual clock, checked by where the cells went, what the waits did
// and how long the text took.
#include <gtest/gtest.h>

#include <string>

#include "input/fake_platform.h"
#include "input/input.h"
#include "platform/encoding.h"
#include "shell/engine.h"
#include "support/engine_fixture.h"
#include "text/textflow.h"

namespace sorv {
namespace {

using platform::SjisToUtf8;
using platform::Utf8ToSjis;

struct Rig {
  test::FakePlatform fake;
  test::ScriptEngine se{"*define\ngame\n*start\nend\n"};
  Rig() {
    se->platform = &fake;
    ResetTextWindow(e());
    fake.unattended = true;
  }
  Engine& e() { return *se; }
  TextFlowState& t() { return se->text; }
  void Show(const std::string& utf8) { ShowTextChunk(e(), Utf8ToSjis(utf8)); }
  // Elapsed virtual time of showing a chunk.
  uint32_t Timed(const std::string& utf8) {
    uint32_t start = fake.clock;
    Show(utf8);
    return fake.clock - start;
  }
  std::string CellText(size_t k) { return SjisToUtf8(std::string(t().pageCells.at(k).bytes, 2)); }
  int32_t X(int column) const { return 21 + 26 * column; }
  int32_t Y(int line) const { return 16 + 28 * line; }
};

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int k = 0; k < n; ++k) out += s;
  return out;
}

TEST(TextFlow, CharactersAdvanceAndTheChunkEndsTheLine) {
  Rig r;
  r.Show("あい");
  ASSERT_EQ(r.t().pageCells.size(), 2u);
  EXPECT_EQ(r.t().pageCells[0].x, r.X(0));
  EXPECT_EQ(r.t().pageCells[1].x, r.X(1));
  EXPECT_EQ(r.t().pageCells[1].y, r.Y(0));
  EXPECT_EQ(r.e().textWindow.cursor.line, 1);
  EXPECT_EQ(r.e().textWindow.cursor.column, 0);
  EXPECT_EQ(r.t().pageText, Utf8ToSjis("あい\n"));
  r.Show("う");
  EXPECT_EQ(r.t().pageCells[2].y, r.Y(1));
}

TEST(TextFlow, ClickWaitWaitsForAClickAndTheLineGoesOn) {
  Rig r;
  r.fake.unattended = false;
  r.fake.Click(500, 5, 5);
  r.e().textWindow.window.speed = 0;
  uint32_t took = r.Timed("あ@い");
  EXPECT_GE(took, 500u);
  EXPECT_LE(took, 502u);  // the pass that saw the click
  ASSERT_EQ(r.t().pageCells.size(), 2u);
  EXPECT_EQ(r.t().pageCells[1].x, r.X(1));
  EXPECT_EQ(r.t().pageCells[1].y, r.Y(0));
  ASSERT_EQ(r.t().cursorsShown.size(), 1u);
  EXPECT_EQ(r.t().cursorsShown[0].kind, 0);
  EXPECT_EQ(r.t().cursorsShown[0].x, r.X(1));  // relative cursor: behind the text
}

TEST(TextFlow, PageWaitClearsThePageAndDropsTheLineBreak) {
  Rig r;
  r.Show("あ\\い");
  ASSERT_EQ(r.t().pageCells.size(), 1u);
  EXPECT_EQ(r.CellText(0), "い");
  EXPECT_EQ(r.t().pageCells[0].x, r.X(0));
  EXPECT_EQ(r.t().pageCells[0].y, r.Y(0));
  EXPECT_EQ(r.t().cursorsShown.at(0).kind, 1);
  r.Show("う\\");
  EXPECT_EQ(r.e().textWindow.cursor.line, 0);  // no break after the page ended
  EXPECT_TRUE(r.t().pageCells.empty());
}

TEST(TextFlow, ForbiddenCharactersMoveTheBreak) {
  Rig r;
  // 22 characters, then a pair that must stay together in the last column.
  r.Show(Repeat("あ", 22) + "い。");
  EXPECT_EQ(r.CellText(22), "い");
  EXPECT_EQ(r.t().pageCells[22].x, r.X(0));
  EXPECT_EQ(r.t().pageCells[22].y, r.Y(1));
  r.Show(Repeat("あ", 22) + "「い");
  EXPECT_EQ(r.CellText(46), "「");
  EXPECT_EQ(r.t().pageCells[46].x, r.X(0));
  // Without the rules the line is simply filled.
  r.t().kinsokuOff = true;
  r.Show(Repeat("あ", 22) + "い。");
  EXPECT_EQ(r.t().pageCells[70].x, r.X(22));
  EXPECT_EQ(r.t().pageCells[71].x, r.X(0));
}

TEST(TextFlow, IndentAndTheOverflowError) {
  Rig r;
  r.t().indent = 2;
  r.Show(Repeat("あ", 24));
  EXPECT_EQ(r.t().pageCells[23].x, r.X(2));
  EXPECT_EQ(r.t().pageCells[23].y, r.Y(1));
  r.e().textWindow.cursor.line = 15;
  r.e().textWindow.cursor.column = 0;
  auto err = test::ExpectScriptError([&] { r.Show(Repeat("あ", 24)); });
  EXPECT_EQ(err.message, "文字が枠をはみ出してしまいました。");
}

TEST(TextFlow, LongUnbreakableRunsDoNotRunOffThePage) {
  Rig r;
  // A run of line-start forbidden characters longer than a line must wrap
  // like ordinary text rather than break before every character.
  r.Show("あ" + Repeat("ー", 30));
  EXPECT_EQ(r.e().textWindow.cursor.line, 2);
}

TEST(TextFlow, ClickCharactersInsertWaitsThatBecomePageWaitsAtTheEnd) {
  Rig r;
  r.e().textSettings.clickChars = Utf8ToSjis("。！");
  r.e().textSettings.pageLines = 2;
  r.Show("あ。。い");  // one wait, after the last of the pair
  ASSERT_EQ(r.t().cursorsShown.size(), 1u);
  EXPECT_EQ(r.t().cursorsShown[0].kind, 0);
  r.Show("う_。え！@");  // exempt, and a written wait follows: no extra one
  EXPECT_EQ(r.t().cursorsShown.size(), 2u);
  r.e().textWindow.cursor.line = 13;
  r.Show("か。");
  EXPECT_EQ(r.t().cursorsShown.back().kind, 0);
  r.Show("き。く");  // line 14 of 16: a page wait
  EXPECT_EQ(r.t().cursorsShown.back().kind, 1);
  ASSERT_EQ(r.t().pageCells.size(), 1u);
  EXPECT_EQ(r.CellText(0), "く");
}

TEST(TextFlow, UnderscoreDropsAWaitAndPageAtATimePassesClickWaits) {
  Rig r;
  r.Show("あ_@い_\\う");
  EXPECT_TRUE(r.t().cursorsShown.empty());
  EXPECT_EQ(r.t().pageCells.size(), 3u);
  r.t().pageAtATime = true;
  r.Show("え@お");
  EXPECT_TRUE(r.t().cursorsShown.empty());
}

TEST(TextFlow, SpeedsAndInstantDisplay) {
  Rig r;
  r.e().textWindow.window.speed = 100;
  EXPECT_EQ(r.Timed("あいう"), 300u);
  EXPECT_EQ(r.Timed("あ!s0いいいい"), 100u);  // inline 0: the rest unpaced
  EXPECT_EQ(r.e().textWindow.window.speed, 0);
  EXPECT_TRUE(InstantSpeed(r.e()));
  EXPECT_EQ(r.Timed("あいう"), 0u);
  r.Show("!sd");  // the user's choice: normal speed
  r.e().textSettings.userSpeeds[1] = 30;
  EXPECT_EQ(r.Timed("あいう"), 90u);
}

TEST(TextFlow, AClickDuringDrawingHurriesTheRestOfTheChunk) {
  Rig r;
  r.fake.unattended = false;
  r.e().textWindow.window.speed = 100;
  r.fake.Click(150, 5, 5);
  uint32_t took = r.Timed(Repeat("あ", 10));
  EXPECT_LT(took, 200u);
  EXPECT_FALSE(r.t().skipToPageEnd);
  // With clickskippage the click waits up to the page end go as well.
  r.e().textSettings.clickSkipPage = true;
  r.fake.unattended = true;
  r.fake.Click(r.fake.clock + 50, 5, 5);
  r.Show("ああ@い@う\\え@");
  EXPECT_EQ(r.t().cursorsShown.size(), 2u);  // the page wait and the one after it
}

TEST(TextFlow, InlineTimedWaits) {
  Rig r;
  r.fake.unattended = false;
  r.e().textWindow.window.speed = 0;
  r.fake.Click(100, 5, 5);
  r.fake.Press(300, vk::kReturn);
  EXPECT_EQ(r.Timed("!w1000"), 300u);  // only Enter ends it
  r.fake.Click(r.fake.clock + 100, 5, 5);
  EXPECT_EQ(r.Timed("!d1000"), 100u);
  EXPECT_EQ(r.Timed("!d50"), 50u);
}

TEST(TextFlow, SkipModePassesWaitsAndPacing) {
  Rig r;
  r.fake.unattended = false;
  r.e().textWindow.window.speed = 100;
  r.e().interp.skipMode = true;
  EXPECT_EQ(r.Timed("あい@う\\え"), 0u);
  EXPECT_EQ(r.CellText(0), "え");
}

TEST(TextFlow, AutoModeEndsAClickWaitAfterItsTime) {
  Rig r;
  r.fake.unattended = false;
  r.e().textWindow.window.speed = 0;
  r.e().input.autoMode = true;
  r.e().input.settings.autoModeTime = 700;
  EXPECT_EQ(r.Timed("あ@"), 700u);
  r.e().input.settings.autoModeTime = -100;  // 100 ms a character of the chunk
  EXPECT_EQ(r.Timed("あいう@"), 300u);
}

TEST(TextFlow, ColoursAndTextButtons) {
  Rig r;
  r.e().textWindow.colourTable.entries[3] = 0x123456;
  r.Show("あ#FF0000い&3う");
  EXPECT_EQ(r.t().pageCells[0].colour, 0xFFFFFF);
  EXPECT_EQ(r.t().pageCells[1].colour, 0xFF0000);
  EXPECT_EQ(r.t().pageCells[2].colour, 0x123456);
  r.e().textWindow.colour.Set(0xFFFFFF);
  r.Show("<5かき>く<け>");
  ASSERT_EQ(r.t().buttons.size(), 2u);
  EXPECT_EQ(r.t().buttons[0].number, 5);
  EXPECT_EQ(r.t().buttons[1].number, 6);
  EXPECT_EQ(SjisToUtf8(r.t().buttons[0].text), "かき");
  EXPECT_EQ(r.t().buttons[0].x, r.X(0));
  EXPECT_EQ(r.t().buttons[0].right, r.X(2) - 1);
  EXPECT_EQ(r.t().pageCells[3].colour, r.e().textWindow.linkColours[0]);
  EXPECT_EQ(r.t().pageCells[5].colour, 0xFFFFFF);
  // A new page numbers from textbtnstart again.
  r.t().textButtonStart = 10;
  ClearTextWindow(r.e());
  r.Show("<さ>");
  EXPECT_EQ(r.t().buttons.at(0).number, 10);
}

TEST(TextFlow, RubyGroups) {
  Rig r;
  r.t().rubyMode = 1;
  r.Show("(漢字/かんじ)だ");
  ASSERT_EQ(r.t().pageRubies.size(), 1u);
  const auto& ruby = r.t().pageRubies[0];
  EXPECT_EQ(SjisToUtf8(ruby.text), "かんじ");
  EXPECT_EQ(ruby.x, r.X(0));
  EXPECT_EQ(ruby.baseWidth, 52);
  ASSERT_EQ(r.t().pageCells.size(), 3u);  // the ruby is not drawn as text
  EXPECT_EQ(r.t().pageCells[0].y, r.Y(0) + 2);  // lines moved down for the ruby
  EXPECT_EQ(r.CellText(2), "だ");
  EXPECT_EQ(r.t().pageText, Utf8ToSjis("(漢字/かんじ)だ\n"));
  // A ruby wider than its base centres the base under it.
  r.Show("(字/かんじ)");
  EXPECT_EQ(r.t().pageCells[3].x, r.X(0) + 6);
  // A group never splits across lines.
  r.Show(Repeat("あ", 22) + "(漢字/かんじ)");
  EXPECT_EQ(r.t().pageRubies.back().x, r.X(0));
}

TEST(TextFlow, RubyOnlyThe2ModeMovesChunksWithRuby) {
  Rig r;
  r.t().rubyMode = 2;
  r.Show("あ");
  EXPECT_EQ(r.t().pageCells[0].y, r.Y(0));
  r.Show("(あ/い)");
  EXPECT_EQ(r.t().pageCells[1].y, r.Y(1) + 2 + 13);
}

TEST(TextFlow, InlineAssignmentsDrawNothing) {
  Rig r;
  r.Show("{%1,5 $2,abc , %3,-7}");
  EXPECT_EQ(r.e().values.intVars[1], 5);
  EXPECT_EQ(r.e().values.strVars[2], "abc ");
  EXPECT_EQ(r.e().values.intVars[3], -7);
  EXPECT_TRUE(r.t().pageCells.empty());
  auto err = test::ExpectScriptError([&] { r.Show("{#1,5}"); });
  EXPECT_EQ(err.message, "表示文中の{}の指定が間違っています。");
  err = test::ExpectScriptError([&] { r.Show("{%1,5"); });
  EXPECT_EQ(err.message, "表示文中の{}の指定が間違っています。");
  err = test::ExpectScriptError([&] { r.Show("{%99999,5}"); });
  EXPECT_EQ(err.message, "変数番号が範囲外をさしています。");
}

TEST(TextFlow, SlashJoinsTheNextLineOnlyAtTheEnd) {
  Rig r;
  r.Show("あ/");
  r.Show("い");
  EXPECT_EQ(r.t().pageCells[1].x, r.X(1));
  EXPECT_EQ(r.t().pageCells[1].y, r.Y(0));
  auto err = test::ExpectScriptError([&] { r.Show("あ/い"); });
  EXPECT_EQ(err.message, "表示文中の、/の次は改行文字でなければなりません。");
}

TEST(TextFlow, EnglishModeDrawsBytePairs) {
  Rig r;
  r.e().interp.english = true;
  r.Show("Hi #1 @ok");
  ASSERT_EQ(r.t().pageCells.size(), 4u);  // "Hi", " #", "1 ", the wait, "ok"
  EXPECT_EQ(std::string(r.t().pageCells[1].bytes, 2), " #");
  EXPECT_EQ(r.t().cursorsShown.size(), 1u);
}

TEST(TextFlow, CursorAnimationLoopsStopsOrSwings) {
  CursorAnimation a = CursorAnimationFor(":l/3,100,0;cursor0.bmp");
  EXPECT_EQ(a.cells, 3);
  EXPECT_EQ(a.delayMs, 100);
  std::string seen;
  for (uint32_t t = 100; t <= 500; t += 100) {
    a.Advance(t);
    seen += std::to_string(a.cell);
  }
  EXPECT_EQ(seen, "12012");
  a = CursorAnimationFor(":l/3,100,1;c.bmp");
  seen.clear();
  for (uint32_t t = 100; t <= 400; t += 100) {
    a.Advance(t);
    seen += std::to_string(a.cell);
  }
  EXPECT_EQ(seen, "1222");
  a = CursorAnimationFor(":l/3,100,2;c.bmp");
  seen.clear();
  for (uint32_t t = 100; t <= 500; t += 100) {
    a.Advance(t);
    seen += std::to_string(a.cell);
  }
  EXPECT_EQ(seen, "12101");
  EXPECT_EQ(CursorAnimationFor("cursor.bmp").cells, 1);
}

TEST(TextFlow, PlainTextReducesRubyToItsBase) {
  std::string out;
  ASSERT_TRUE(PlainText(Utf8ToSjis("(漢字/かんじ)だ\\よ"), out));
  EXPECT_EQ(SjisToUtf8(out), "漢字だよ");
  EXPECT_FALSE(PlainText("(abc", out));
  EXPECT_FALSE(PlainText("(a/b", out));
}

}  // namespace
}  // namespace sorv
