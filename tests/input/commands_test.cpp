// Wait, timer and input-query commands run in whole headless games, with
// input from an events file in virtual time.
#include <gtest/gtest.h>

#include <string>

#include "input/commands.h"
#include "input/input.h"
#include "support/engine_fixture.h"

namespace sorv {
namespace {

using test::RunResult;
using test::RunWithEvents;

std::string Game(const std::string& body, const std::string& define = "") {
  return "*define\n" + define + "game\n*start\n" + body;
}

// Events files count from the start of the run, and the game proper starts
// a little later: these games start their clock at 1000 ms.
std::string Timed(const std::string& body) { return Game("waittimer 1000\nresettimer\n" + body); }

TEST(WaitCommands, DelayEndsOnAClickWaitDoesNot) {
  auto r = RunWithEvents(Timed("delay 1000\ngettimer %1\n"
                              "resettimer\nwait 1000\ngettimer %2\n"
                              "resettimer\nwait 1000\ngettimer %3\nend\n"),
                         "1100 click 5 5\n1500 click 5 5\n2200 click 5 5\n2300 key enter\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 100);
  EXPECT_EQ(r.Int(2), 1000);
  EXPECT_EQ(r.Int(3), 200);
}

TEST(WaitCommands, TimersAndWaittimer) {
  auto r = RunWithEvents(Game("resettimer\ngettimer %1\nwaittimer 250\ngettimer %2\n"
                              "waittimer 100\ngettimer %3\nend\n"),
                         "");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 1);  // never 0
  EXPECT_EQ(r.Int(2), 250);
  EXPECT_EQ(r.Int(3), 250);  // the base did not move: already passed
}

TEST(WaitCommands, ClickWaitsOfDisplayLinesWaitForTheClick) {
  auto r = RunWithEvents(Timed("\x82\xA0@\x82\xA2\\\ngettimer %1\nend\n"),
                         "1500 click 1 1\n1900 click 1 1\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 901);
}

TEST(WaitCommands, SkipModePassesClickWaitsUntilAClickEndsIt) {
  auto r = RunWithEvents(Timed("wait 10\nisskip %1\n\x82\xA0@\n\x82\xA0@\nwait 500\nisskip %2\n"
                              "\x82\xA0@\ngettimer %3\nend\n"),
                         "1005 text n\n1100 click 1 1\n1700 click 1 1\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 1);
  EXPECT_EQ(r.Int(2), 0);
  EXPECT_EQ(r.Int(3), 701);  // the first click only ended skipping
}

TEST(WaitCommands, ClickLrclickClickposAndTheArmedVariable) {
  auto r = RunWithEvents(Timed("clickpos %1,%2\nlrclick\ngetret %3\nlrclick\ngetret %4\n"
                              "lr_trap_value %5\nwait 500\nlr_trap_value %6\nlr_trap_value off\nwait 500\n"
                              "clickclear\nmov %7,0\nclickpos %7,%8\nend\n"),
                         "1010 click 30 40\n1020 rclick 1 1\n1030 click 1 1\n"
                         "1100 rclick 1 1\n1700 click 1 1\n2200 click 7 9\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  EXPECT_EQ(r.Int(1), 30);
  EXPECT_EQ(r.Int(2), 40);
  EXPECT_EQ(r.Int(3), 0);
  EXPECT_EQ(r.Int(4), 1);
  EXPECT_EQ(r.Int(5), -1);
  EXPECT_EQ(r.Int(6), 0);  // disarmed before the click came
  EXPECT_EQ(r.Int(7), 7);
  EXPECT_EQ(r.Int(8), 9);
}

TEST(QueryCommands, KeysPointerAndJoypad) {
  auto r = RunWithEvents(Timed("wait 50\ncheckkey %1,\"shift\"\ncheckkey %2,\"F5\"\ncheckkey %3,\"a\"\n"
                              "checkkey %4,\"ctrl\"\ncheckkey %5,\"nokey\"\nisctrl %6\nisdown %7\n"
                              "getmousepos %8,%9\nmovemousecursor 3,4\ngetmousepos %10,%11\n"
                              "mov %12,5\ngetjoypad %12,%13,%14,%15,%16,%17,%18,%19,%20,%21\nend\n"),
                         "1000 keydown shift\n1000 keydown f5\n1000 keydown a\n1000 keydown ctrl\n1000 mdown 30 40\n");
  ASSERT_EQ(r.status, 0) << r.errorText;
  for (int v = 1; v <= 4; ++v) EXPECT_EQ(r.Int(v), 1) << v;
  EXPECT_EQ(r.Int(5), 0);
  EXPECT_EQ(r.Int(6), 1);
  EXPECT_EQ(r.Int(7), 1);
  EXPECT_EQ(r.Int(8), 30);
  EXPECT_EQ(r.Int(9), 40);
  EXPECT_EQ(r.Int(10), 3);
  EXPECT_EQ(r.Int(11), 4);
  EXPECT_EQ(r.Int(12), 0);
}

TEST(QueryCommands, IsskipReportsAutoBeforeSkip) {
  test::ScriptEngine se("isskip %1\n");
  se->interp.skipMode = true;
  se->input.autoMode = true;
  se->script.pos = 6;
  Cmd_isskip(*se);
  EXPECT_EQ(se->values.intVars[1], 2);
  se->input.autoMode = false;
  se->script.pos = 6;
  Cmd_isskip(*se);
  EXPECT_EQ(se->values.intVars[1], 1);
}

TEST(QueryCommands, ArgumentsMustBeIntegerVariables) {
  struct Case {
    const char* line;
    const char* message;
  } cases[] = {
      {"isctrl $1", "isctrlの引数は数字変数です。"},
      {"isskip 1", "isskipの引数は数字変数です。"},
      {"isdown $1", "isdownの引数は数字変数です。"},
      {"gettimer $1", "gettimerの引数は数字変数です。"},
      {"getmousepos %1,$2", "getmouseposの第ニ引数は数字変数です。"},
      {"clickpos $1,%2", "clickposの第一引数は数字変数です。"},
      {"getcursorpos %1,2", "getcurposの第１，２引数は数字変数です。"},
      {"getjoypad %1,%2,%3,%4,%5,%6,%7,%8,%9,$10", "getjoypadの第十引数は数字変数です。"},
  };
  for (const Case& c : cases) {
    auto r = test::RunScript(Game(std::string(c.line) + "\nend\n"));
    EXPECT_EQ(r.status, 1) << c.line;
    EXPECT_EQ(r.errorTitle, "エラー") << c.line;
    EXPECT_EQ(r.errorMessage, c.message) << c.line;
  }
}

TEST(InputSettings, DefineSwitchesAndTheirReset) {
  auto r = test::RunScript(Game("automode_time -50\nautoclick 300\ngetpage\nescoutcursor 5,6\nend\n",
                                "usewheel\nuseescspc\nctrlalt\nmode_kanade\nbtnnowindowerase\n"));
  ASSERT_EQ(r.status, 0) << r.errorText;
  const InputSettings& s = r.engine->input.settings;
  EXPECT_TRUE(s.useWheel && s.useEscSpc && s.ctrlAlt && s.modeKanade && s.btnNoWindowErase);
  EXPECT_EQ(s.autoModeTime, -50);
  EXPECT_EQ(s.autoClickMs, 300);
  EXPECT_TRUE(s.getPage && s.escOutCursor);
  EXPECT_EQ(s.escOutY, 6);

  auto again = test::RunScript(Game("usewheel\nend\n"));
  EXPECT_EQ(again.status, 1);  // define-only
}

}  // namespace
}  // namespace sorv
