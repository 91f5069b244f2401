// The statement loop: classification of lines, display chunks, traps,
// save points and the error report.
#include <gtest/gtest.h>

#include <algorithm>

#include "interp/catalogue.h"
#include "interp/interp.h"
#include "script/script.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using test::RunGameDir;
using test::RunScript;
using test::TempDir;

const char kHead[] = "*define\ngame\n*start\n";

std::string Game(const std::string& body) { return kHead + body; }

TEST(Statements, LabelLineFollowedByStatements) {
  auto r = RunScript(Game("goto *here\n*here mov %1,3:mov %2,4\nend\n"));
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 3);
  EXPECT_EQ(r.Int(2), 4);
  EXPECT_TRUE(InLabelLog(*r.engine, "here"));
}

TEST(Statements, ReachingTheEndOfTheText) {
  auto r = RunScript(Game("mov %1,1\n; the last line is a comment"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorTitle, "スクリプトエラー");
  EXPECT_EQ(r.errorMessage, "ファイルの終端に達しました。");
  EXPECT_EQ(r.Int(1), 1);
}

TEST(Statements, DefineOnlyWordsAndUnknownWords) {
  auto r = RunScript(Game("savenumber 5\n"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errorTitle, "構文エラー");
  EXPECT_EQ(r.errorMessage, "不正な命令\"savenumber\"です。");

  r = RunScript(Game("frobnicate 1\n"));
  EXPECT_EQ(r.errorMessage, "不正な命令\"frobnicate\"です。");

  // A word whose family is not built in this version is named, never
  // skipped silently. Every family may be built: then there is nothing to try.
  for (const CommandEntry* c = CatalogueBegin(); c != CatalogueEnd(); ++c) {
    if (c->handler || c->defineOnly) continue;
    r = RunScript(Game(std::string(c->word) + "\n"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.errorTitle, "未実装命令");
    EXPECT_NE(r.errorMessage.find("\"" + std::string(c->word) + "\""), std::string::npos) << r.errorMessage;
    EXPECT_NE(r.errorMessage.find(c->family), std::string::npos) << r.errorMessage;
    break;
  }

  r = RunScript("*define\n\x82\xa0\ngame\n*start\nend\n");
  EXPECT_EQ(r.errorTitle, "定義ブロックエラー");
  EXPECT_EQ(r.errorMessage, "*defineブロックには、表示文はおけません。");
}

TEST(Statements, UnderscoreSelectsTheBuiltin) {
  auto r2 = RunScript(
      "*define\ndefsub mov\ngame\n*start\nmov\n_mov %2,5\nend\n"
      "*mov\n_add %3,1\nreturn\n");
  ASSERT_EQ(r2.status, 0) << r2.errorText;
  EXPECT_EQ(r2.Int(2), 5);
  EXPECT_EQ(r2.Int(3), 1);
}

TEST(Statements, InlineNumbersInFullWidth) {
  auto r = RunScript(Game("mov %5,7:mov %6,-12:mov %7,0\n%5\x81\x41%6\x81\x41%7\n!s%5 x\nend\n"));
  ASSERT_EQ(r.status, 0) << r.errorText;
  ASSERT_EQ(r.chunks().size(), 2u);
  EXPECT_EQ(r.chunks()[0], "\x82\x56\x81\x41\x81\x7C\x82\x50\x82\x51\x81\x41\x82\x4F");
  EXPECT_EQ(r.chunks()[1], "!s%5 x");
  std::string min = "\x81\x7C";
  for (char d : std::string("2147483648")) min += std::string("\x82") + static_cast<char>(0x4F + d - '0');
  EXPECT_EQ(FullWidthNumber(-2147483647 - 1), min);
}

TEST(Statements, StringVariablesAndBracesInText) {
  auto r = RunScript(Game("mov $1,\"Alice\"\n$1\x81\x41{%1,2}@text\\\nend\n"));
  ASSERT_EQ(r.status, 0) << r.errorText;
  ASSERT_EQ(r.chunks().size(), 1u);
  EXPECT_EQ(r.chunks()[0], "Alice\x81\x41{%1,2}@text\\");
}

TEST(Statements, LinePage2WithAFourLineWindow) {
  auto r = RunScript(
      "*define\nlinepage2 0\ngame\n*start\nsetwindow 21,16,23,4,26,26,0,2,0,1,1,#999999,0,0,639,479\n"
      "\x82\x50\n\x82\x51\n\x82\x52\n\x82\x53\n\x82\x54\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  std::vector<std::string> want = {"\x82\x50@", "\x82\x51@", "\x82\x52@", "\x82\x53\\", "\x82\x54@"};
  EXPECT_EQ(r.chunks(), want);

  auto lp = RunScript("*define\nlinepage\ngame\n*start\n1\n2\nend\n");
  EXPECT_EQ(lp.chunks(), (std::vector<std::string>{"1\\", "2\\"}));
}

TEST(Statements, PageTagJoinsLinesPaddedToTheWindowWidth) {
  auto r = RunScript("*define\npagetag\ngame\n*start\n\x82\xa0\n\x82\xa2@\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  ASSERT_GE(r.chunks().size(), 1u);
  std::string want = "\x82\xa0";
  for (int i = 1; i < 23; ++i) want += "\x81\x40";
  want += "\x82\xa2@";
  EXPECT_EQ(r.chunks()[0], want);
}

TEST(Statements, EnglishLines) {
  auto r = RunScript("*define\nenglish\ngame\n*start\n>Hello@>world\n>Odd\\\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.chunks(), (std::vector<std::string>{"Hello @", "world ", "Odd \\"}));
}

TEST(Statements, TimerTrapFiresOnAWrappedClock) {
  test::ScriptEngine se(Game("mov %1,1\nend\n*trapped\nmov %2,2\nend\n"));
  Engine& e = *se;
  e.script.pos = FindLabel(e, "start");
  e.interp.timerTrap.active = true;
  e.interp.timerTrap.label = "trapped";
  e.interp.timerTrap.start = 1000;  // the clock (0 here) is below the start
  e.interp.timerTrap.interval = 60000;
  RunStatements(e, false);
  EXPECT_EQ(e.values.intVars[1], 0);
  EXPECT_EQ(e.values.intVars[2], 2);
  EXPECT_TRUE(e.interp.timerTrap.label.empty());
}

TEST(Statements, TimerTrapWaitsForItsInterval) {
  test::ScriptEngine se(Game("mov %1,1\nend\n*trapped\nmov %2,2\nend\n"));
  Engine& e = *se;
  e.script.pos = FindLabel(e, "start");
  e.interp.timerTrap = TimerTrap{true, "trapped", 0, 500, 0};
  RunStatements(e, false);
  EXPECT_EQ(e.values.intVars[1], 1);
  EXPECT_EQ(e.values.intVars[2], 0);
}

TEST(Statements, ErrorLocationAndExcerpt) {
  for (const char* name : {"2.txt", "02.txt"}) {
    TempDir dir;
    dir.Write("0.txt", "*define\ngame\n*start\ngoto *two\n");
    dir.Write(name, "*two\nmov %1,1\n  mov %2,\n");
    auto r = RunGameDir(dir.path());
    EXPECT_EQ(r.status, 1);
    std::string want = "数字がくるべきところに数字がありません。\n\n" + std::string(name) +
                       " line:3\n\n|*two\n|mov %1,1\n>  mov %2,";
    EXPECT_EQ(r.errorText, want);
    EXPECT_NE(r.stderrText.find("構文エラー: " + want), std::string::npos) << r.stderrText;
  }
}

TEST(Statements, ScratchLineErrorsNameTheCall) {
  test::ScriptEngine se(Game("end\n"));
  Engine& e = *se;
  e.interp.scratchCommand = "bogus 1";
  se.At("bogus 1");
  auto err = test::ExpectScriptError([&] { RunStatements(e, false); });
  EXPECT_EQ(err.text, "不正な命令\"bogus\"です。\n\nSVExec呼び出し:bogus 1");
}

TEST(Statements, SavePointsAtCommandsAndPageStarts) {
  test::ScriptEngine se(Game("mov %1,1\n\x82\xa0\n\x82\xa2\nend\n"));
  Engine& e = *se;
  e.savePoints.recordPositions = true;
  e.script.pos = FindLabel(e, "start");
  RunStatements(e, false);
  const ScriptState& s = e.script;
  std::vector<int32_t> want = {FindLabel(e, "start") + 4, FindLabel(e, "start") + 9,
                               static_cast<int32_t>(std::string(s.data()).find("end") + 3)};
  // A save point behind each command word and one at the first line of a
  // page; the second line continues the page and takes none.
  EXPECT_EQ(e.savePoints.positions, want);

  test::ScriptEngine off("*define\nautosaveoff\ngame\n*start\nmov %1,1\nend\n");
  off->savePoints.recordPositions = true;
  RunStatements(*off, true);
  off->savePoints.positions.clear();  // `autosaveoff` itself came before the switch
  off->script.pos = FindLabel(*off, "start");
  RunStatements(*off, false);
  EXPECT_TRUE(off->savePoints.positions.empty());
}

TEST(Statements, AlreadyReadBits) {
  test::ScriptEngine se(Game("mov %1,1\nend\n"));
  Engine& e = *se;
  e.interp.readMap.assign(static_cast<size_t>(e.script.length) / 8 + 1, 0);
  int32_t start = FindLabel(e, "start");
  e.script.pos = start;
  e.interp.kidokuMode = true;
  e.interp.skipMode = true;
  RunStatements(e, false);
  EXPECT_TRUE(e.interp.readMap[static_cast<size_t>(start) / 8] & (1u << (start % 8)));
  EXPECT_FALSE(e.interp.skipMode);  // unread text ends skipping
  e.interp.skipMode = true;
  e.app.closeRequested = false;
  e.script.pos = start;
  RunStatements(e, false);
  EXPECT_TRUE(e.interp.skipMode);  // read text keeps it
}

// Statements run again take their command from what the first run found;
// what can change the answer must be seen: a defsub naming the word, a
// different text at the same position, the mode, the save point taken.
TEST(Statements, RunAgainAStatementFindsTheSameCommandUnlessItChanged) {
  // The second pass over "inc %250" runs the routine defined in between
  // (global variables, which the game's start keeps).
  auto r = RunScript(
      "*define\n*again\ninc %250\nif %251=77 goto *done\ndefsub inc\ngoto *again\n*done\ngame\n"
      "*start\nend\n*inc\ngetparam %252\nmov %251,77\nreturn\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(250), 1);
  EXPECT_EQ(r.Int(251), 77);
  EXPECT_EQ(r.Int(252), 1);

  // A loop: the same statements many times, with their save points.
  test::ScriptEngine se(Game("*l\nadd %0,1\nif %0<50 goto *l\nmov %1,%0\nend\n"));
  Engine& e = *se;
  e.savePoints.recordPositions = true;
  e.script.pos = FindLabel(e, "start");
  RunStatements(e, false);
  EXPECT_EQ(e.values.intVars[1], 50);
  int32_t add = FindLabel(e, "l") + 4;  // behind "add "
  EXPECT_EQ(std::count(e.savePoints.positions.begin(), e.savePoints.positions.end(), add), 50);

  // Another text at the same positions: the old commands are not run.
  LoadScriptFromText(e, Game("*l\nsub %0,1\nif %0>0 goto *l\nmov %1,7\nend\n"));
  BuildLabelIndex(e);
  e.values.intVars[0] = 20;
  e.app.closeRequested = false;
  e.script.pos = FindLabel(e, "start");
  RunStatements(e, false);
  EXPECT_EQ(e.values.intVars[0], 0);
  EXPECT_EQ(e.values.intVars[1], 7);

  // A word that is define-only outside the define block stays an error
  // after the define block ran it at the same place.
  auto d = RunScript("*define\n*top\nnumalias a,1\nif %0=1 goto *start\nmov %0,1\ngame\n*start\ngoto *top\n");
  EXPECT_EQ(d.status, 1);
  EXPECT_EQ(d.errorTitle, "構文エラー");
}

// A goto taken again goes where its text says: a label written directly
// is the same label, one in a string variable is read afresh.
TEST(Statements, GotoTakenAgainFollowsAChangedVariable) {
  auto r = RunScript(
      "*define\ngame\n*start\nmov $0,\"*b\"\n*top\ninc %0\nif %0=2 mov $0,\"*c\"\n"
      "if %0=3 goto *done\ngoto $0\n*b\nadd %1,1\ngoto *top\n*c\nadd %2,1\ngoto   *TOP\n"
      "*done\nif lchk *c mov %3,1\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 1);
  EXPECT_EQ(r.Int(2), 1);
  EXPECT_EQ(r.Int(3), 1);
}

// Labels passed in the flow of statements and by jumps reach the label log
// on every pass, also when the loop remembers the line or the jump.
TEST(Statements, LabelsPassedAgainStayInTheLabelLog) {
  auto r = RunScript(
      "*define\ngame\n*start\n*a\ninc %0\nif %0<3 goto *a\ngoto *b\n*never\nend\n*b\n"
      "if lchk *a mov %1,1\nif lchk *b mov %2,1\nif lchk *never mov %3,1\nend\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(0), 3);
  EXPECT_EQ(r.Int(1), 1);
  EXPECT_EQ(r.Int(2), 1);
  EXPECT_EQ(r.Int(3), 0);
}

}  // namespace
}  // namespace sorv

