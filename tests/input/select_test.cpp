// The choice menu, custom choices and the bexec family in whole headless
// games.
#include <gtest/gtest.h>

#include <string>

#include "input/buttons.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using test::RunResult;
using test::RunWithEvents;

std::string Game(const std::string& body) {
  return "*define\ngame\n*start\nwaittimer 1000\nresettimer\n" + body;
}

// "a", "ii", "uuu" in full-width characters.
const std::string kA = "\"\x82\xA0\"", kIi = "\"\x82\xA2\x82\xA2\"", kUuu = "\"\x82\xA4\x82\xA4\x82\xA4\"";

// The default window: choices start at the cursor (column 0, line 0), one
// line each, 28 pixels apart from y 16; the widest is 3 columns of 26.
TEST(ChoiceMenu, SelectJumpsToTheClickedChoicesLabel) {
  auto r = RunWithEvents(Game("select " + kA + ",*a,\n  " + kIi + ",*b, " + kUuu + ",*c\n"
                              "*a\nmov %1,1\nend\n*b\nmov %1,2\nend\n*c\nmov %1,3\nend\n"),
                         "1100 click 200 50\n1200 click 60 50\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 2);  // the first click was right of the widest choice
}

TEST(ChoiceMenu, SelnumSkipsEmptyTextsAndSelgosubReturns) {
  auto r = RunWithEvents(Game("selnum %1,\"\"," + kA + "," + kIi + "\n"
                              "selgosub " + kA + ",*sub\nmov %3,%2+10\nend\n*sub\nmov %2,5\nreturn\n"),
                         "1100 click 30 50\n1200 click 30 20\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 1);  // the empty text takes no line
  EXPECT_EQ(r.Int(3), 15);
}

TEST(ChoiceMenu, RightClickRunsTheRightClickAction) {
  // The default action hides the window until a click; the next click chooses.
  auto r = RunWithEvents(Game("selnum %1," + kA + "," + kIi + "\ngettimer %2\nend\n"),
                         "1100 rclick 30 20\n1300 click 30 20\n1500 click 30 20\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 0);
  EXPECT_NEAR(r.Int(2), 500, 2);
}

TEST(ChoiceMenu, UnattendedRunsTakeTheFirstChoice) {
  auto r = test::RunScript("*define\ngame\n*start\nselect " + kA + ",*a," + kIi + ",*b\n"
                           "*a\nmov %1,1\nend\n*b\nmov %1,2\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 1);
}

TEST(ChoiceMenu, FiftyChoicesAtMost) {
  std::string fifty = "selnum %1";
  for (int i = 0; i < 50; ++i) fifty += "," + kA;
  auto ok = test::RunScript("*define\ngame\n*start\n" + fifty + "\nend\n");
  ASSERT_EQ(ok.status, 0) << ok.errorText;
  auto over = test::RunScript("*define\ngame\n*start\n" + fifty + "," + kA + "\nend\n");
  EXPECT_EQ(over.status, 1);
  EXPECT_EQ(over.errorTitle, "エラー");
  EXPECT_EQ(over.errorMessage, "選択肢が多すぎます。選択肢は50個までです。");
}

TEST(CustomChoices, CselCallsCustomselWithStringButtons) {
  auto r = RunWithEvents(Game("csel " + kA + ",*a," + kIi + ",*b\n"
                              "cselgoto %2-10\n*a\nmov %3,1\nend\n*b\nmov %3,2\nend\n"
                              "*customsel\ngetcselnum %1\ngetcselstr $1,1\ngetcselstr $2,7\n"
                              "cselbtn 0,10,100,300\ncselbtn 1,11,100,340\ncselbtn 9,12,0,0\n"
                              "btnwait %2\nreturn\n"),
                         "1100 click 140 350\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 2);
  EXPECT_EQ(r.Str(1), "\x82\xA2\x82\xA2");
  EXPECT_EQ(r.Str(2), "");
  EXPECT_EQ(r.Int(2), 11);  // 4 bytes x 26 / 2 = 52 pixels wide
  EXPECT_EQ(r.Int(3), 2);
}

TEST(CustomChoices, NextcselLooksPastCommentsAtTheReturnPoint) {
  auto r = test::RunScript("*define\ngame\n*start\ngosub *check\n; a comment\n  csel \"x\",*start\n"
                           "*done\nmov %2,%1\ngosub *check\nmov %9,0\n*done2\nend\n"
                           "*check\nnextcsel %1\nif %2 == 0 return *done\nreturn *done2\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(2), 1);
  EXPECT_EQ(r.Int(1), 0);
}

TEST(Bexec, ResultsNameWhatHappened) {
  auto r = RunWithEvents(
      Game("lsp 4,\":s/20,20,0;#FF0000#00FF00#0000FF\x82\xA0\",100,100\nprint 1\nbsp 4\nbsp 5\n"
           "bexec $1\nbexec $2\nbexec $3\nbexec %1\nbexec $4\nbtime 100\nbexec $5\nbcursor\nbexec $6\nend\n"),
      "1100 click 105 105\n1200 click 5 5\n1300 rclick 5 5\n1400 click 110 110\n1500 key f3\n"
      "1700 key up\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Str(1), "S4");
  EXPECT_EQ(r.Str(2), "LCLICK");
  EXPECT_EQ(r.Str(3), "RCLICK");
  EXPECT_EQ(r.Int(1), 4);
  EXPECT_EQ(r.Str(4), "F3");
  EXPECT_EQ(r.Str(5), "TIMEOUT");
  EXPECT_EQ(r.Str(6), "UP");
  // Three cells: the click action showed cell 2; sprite 5 has no picture.
  ASSERT_EQ(r.engine->buttons.bexec.entries.size(), 1u);
  EXPECT_EQ(r.engine->buttons.bexec.entries[0].click, "P4,2");
}

TEST(Bexec, TheTwoHundredFiftySeventhEntryIsAnError) {
  auto r = test::RunScript("*define\ngame\n*start\nlsp 1,\":s/20,20,0;#FF0000\x82\xA0\",0,0\n"
                           "for %1=1 to 257\nbsp 1\nnext\nend\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorMessage, "ボタンが多すぎます。");
}

}  // namespace
}  // namespace sorv
